// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/rw_zone.h"

#include <atomic>
#include <cstdlib>

#include "qelkit/foundation/internal/tz_rule.h"
#include "qelkit/foundation/internal/tz_zone.h"
#include "qelkit/internal/calendar.h"

using qelkit_internal::TzZone;

namespace {

constexpr std::int64_t kDay = qelkit_internal::kSecondsPerDay;

// The wall-clock fields of `t` counted as seconds since 1970-01-01 00:00:00; months outside
// 0..11 carry into the year, other fields are taken as they are.
std::int64_t wallFromTm(const struct tm* t) {
    std::int64_t year = std::int64_t{t->tm_year} + 1900;
    std::int64_t month = t->tm_mon;
    year += month >= 0 ? month / 12 : -((11 - month) / 12);
    month -= (month >= 0 ? month / 12 : -((11 - month) / 12)) * 12;
    const std::int64_t days =
        qelkit_internal::daysFromCivil(year, static_cast<unsigned>(month) + 1, 1) + t->tm_mday - 1;
    return days * kDay + std::int64_t{t->tm_hour} * 3600 + std::int64_t{t->tm_min} * 60 + t->tm_sec;
}

// The date and time fields of a wall-clock count (tm_isdst, tm_wday, tm_yday left alone).
void tmFromWall(std::int64_t wall, struct tm* t) {
    const qelkit_internal::CivilTime c = qelkit_internal::civilTimeFromSeconds(wall);
    t->tm_year = static_cast<int>(c.date.year - 1900);
    t->tm_mon = static_cast<int>(c.date.month) - 1;
    t->tm_mday = static_cast<int>(c.date.day);
    t->tm_hour = static_cast<int>(c.hour);
    t->tm_min = static_cast<int>(c.minute);
    t->tm_sec = static_cast<int>(c.second);
}

// The operating system's zone: TZ (else /etc/localtime) read once, with glibc's rules.
class OsZone : public RWZone {
  public:
    explicit OsZone(const char* tz) : zone_(tz), stdName_(zone_.name(0)), altName_(zone_.name(1)) {}

    long timeZoneOffset() const override { return zone_.timezone(); }
    long altZoneOffset() const override { return zone_.altzone(); }
    RWBoolean daylightObserved() const override { return zone_.daylight(); }
    RWBoolean isDaylight(const struct tm* t) const override {
        bool dst = false;
        offsetAt(zone_.utcFromLocal(wallFromTm(t)), &dst);
        return dst;
    }
    RWCString timeZoneName() const override { return stdName_; }
    RWCString altZoneName() const override { return altName_; }
    long offsetAt(std::int64_t utc, bool* isDst) const override {
        bool dst = false;
        const long gmtoff = zone_.gmtoffAt(utc, &dst);
        if (isDst) *isDst = dst;
        return -gmtoff;
    }
    std::int64_t utcFromLocal(std::int64_t wall) const override { return zone_.utcFromLocal(wall); }
    const TzZone& tz() const noexcept { return zone_; }

  private:
    TzZone zone_;
    RWCString stdName_;
    RWCString altName_;
};

}  // namespace

std::atomic<const RWZone*> RWZone::localZone_{nullptr};
std::atomic<const RWZone*> RWZone::os_{nullptr};

RWZone::~RWZone() = default;

long RWZone::offsetAt(std::int64_t utc, bool* isDst) const {
    struct tm t = {};
    tmFromWall(utc - timeZoneOffset(), &t);
    const bool dst = isDaylight(&t);
    if (isDst) *isDst = dst;
    return dst ? altZoneOffset() : timeZoneOffset();
}

std::int64_t RWZone::utcFromLocal(std::int64_t wall) const {
    struct tm t = {};
    tmFromWall(wall, &t);
    return wall + (isDaylight(&t) ? altZoneOffset() : timeZoneOffset());
}

const RWZone* RWZone::local(const RWZone* zone) {
    const RWZone* previous = localZone_.exchange(zone ? zone : &os(), std::memory_order_acq_rel);
    return previous ? previous : &os();
}

const RWZone& RWZone::os() {
    // Built on first use and never destroyed: objects converting times during static
    // destruction still find it. The process owns it. Once built it becomes the local zone
    // unless an application installed another first.
    static const RWZone* const zone = [] {
        const RWZone* built = new OsZone(std::getenv("TZ"));
        os_.store(built, std::memory_order_release);
        const RWZone* none = nullptr;
        localZone_.compare_exchange_strong(none, built, std::memory_order_acq_rel);
        return built;
    }();
    return *zone;
}

const TzZone& qelkit_internal::tzZoneOfOs() {
    return static_cast<const OsZone&>(RWZone::os()).tz();
}

std::unique_ptr<RWZone> RWZone::named(const std::string& name) {
    if (!TzZone::known(name)) return nullptr;
    return std::make_unique<OsZone>(name.c_str());
}

const RWZone& RWZone::utc() {
    static const RWZone* const zone = new RWZoneSimple(0, "UTC");  // never destroyed, as os()
    return *zone;
}

RWZoneSimple::RWZoneSimple(long offsetWest, const RWCString& name)
    : offset_(offsetWest), name_(name) {}

long RWZoneSimple::timeZoneOffset() const { return offset_; }
long RWZoneSimple::altZoneOffset() const { return offset_; }
RWBoolean RWZoneSimple::daylightObserved() const { return false; }
RWBoolean RWZoneSimple::isDaylight(const struct tm*) const { return false; }
RWCString RWZoneSimple::timeZoneName() const { return name_; }
RWCString RWZoneSimple::altZoneName() const { return name_; }

long RWZoneSimple::offsetAt(std::int64_t, bool* isDst) const {
    if (isDst) *isDst = false;
    return offset_;
}

std::int64_t RWZoneSimple::utcFromLocal(std::int64_t wall) const { return wall + offset_; }
