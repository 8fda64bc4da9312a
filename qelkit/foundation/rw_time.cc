// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/rw_time.h"

#include <algorithm>

#include "qelkit/foundation/internal/civil_time.h"
#include "qelkit/foundation/rw_date.h"

using qelkit_internal::kPosixFrom1901;
using qelkit_internal::kSecondsPerDay;

namespace {

// The last second of 9999-12-31 UTC, counted from 1901.
constexpr std::int64_t kLastSecond =
    (qelkit_internal::kLastDay + 1) * kSecondsPerDay - 1 + kPosixFrom1901;

// Seconds since the POSIX epoch of a count. A count is read as a signed number (instants
// before 1901 wrap around) and held within 2^62 seconds, some 146 billion years, either way, so
// that nothing computed from it later can overflow.
std::int64_t posixOf(unsigned long count) {
    constexpr std::int64_t kReach = std::int64_t{1} << 62;
    return std::clamp(static_cast<std::int64_t>(count), -kReach, kReach) - kPosixFrom1901;
}

// The count of the instant whose wall-clock reading in `z` is `wall`, or 0 outside the range.
unsigned long countFromWall(std::int64_t wall, const RWZone& z) {
    const std::int64_t count = z.utcFromLocal(wall) + kPosixFrom1901;
    return count >= 1 && count <= kLastSecond ? static_cast<unsigned long>(count) : 0;
}

// Seconds of the local day at the instant: offsets need not be whole minutes (local mean
// time before the zones were standardised).
std::int64_t localSeconds(unsigned long count, const RWZone& z, bool* dst = nullptr) {
    const std::int64_t posix = posixOf(count);
    return posix - z.offsetAt(posix, dst);
}

}  // namespace

RWTime::RWTime() : sec_(currentTime().sec_) {}

RWTime::RWTime(unsigned hour, unsigned minute, unsigned second, const RWZone& z)
    : sec_(buildFrom(RWDate(currentTime(), z), hour, minute, second, z).sec_) {}

RWTime::RWTime(const RWDate& d, unsigned hour, unsigned minute, unsigned second, const RWZone& z)
    : sec_(buildFrom(d, hour, minute, second, z).sec_) {}

RWTime::RWTime(const struct tm* t, const RWZone& z) {
    if (!t || t->tm_mon < 0 || t->tm_mday < 1 || t->tm_hour < 0 || t->tm_hour > 23 ||
        t->tm_min < 0 || t->tm_min > 59 || t->tm_sec < 0 || t->tm_sec > 59)
        return;
    const std::int64_t y = static_cast<std::int64_t>(t->tm_year) + 1900;
    const unsigned m = static_cast<unsigned>(t->tm_mon) + 1;
    const unsigned d = static_cast<unsigned>(t->tm_mday);
    if (!qelkit_internal::validCivil(y, m, d)) return;
    sec_ = countFromWall(qelkit_internal::wallSeconds(qelkit_internal::daysFromCivil(y, m, d),
                                                      static_cast<unsigned>(t->tm_hour),
                                                      static_cast<unsigned>(t->tm_min),
                                                      static_cast<unsigned>(t->tm_sec)),
                         z);
}

RWTime RWTime::currentTime() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return RWTime(static_cast<unsigned long>(now.tv_sec + kPosixFrom1901));
}

RWTime RWTime::buildFrom(const RWDate& d, unsigned h, unsigned m, unsigned s, const RWZone& z) {
    if (!d.isValid() || h > 23 || m > 59 || s > 59) return RWTime(0UL);
    const std::int64_t days =
        static_cast<std::int64_t>(d.julian()) - qelkit_internal::kJdnOfPosixEpoch;
    return RWTime(countFromWall(qelkit_internal::wallSeconds(days, h, m, s), z));
}

void RWTime::extract(struct tm* t, const RWZone& z) const {
    if (!isValid())
        qelkit_internal::fillInvalidTm(t);
    else
        qelkit_internal::fillTm(posixOf(sec_), z, t);
}

unsigned RWTime::hour(const RWZone& z) const {
    if (!isValid()) return 0;
    return static_cast<unsigned>(qelkit_internal::floorMod(localSeconds(sec_, z), kSecondsPerDay) /
                                 3600);
}

unsigned RWTime::minute(const RWZone& z) const {
    if (!isValid()) return 0;
    return static_cast<unsigned>(qelkit_internal::floorMod(localSeconds(sec_, z), 3600) / 60);
}

unsigned RWTime::second() const {
    if (!isValid()) return 0;
    return static_cast<unsigned>(
        qelkit_internal::floorMod(localSeconds(sec_, RWZone::local()), 60));
}

RWBoolean RWTime::isDST(const RWZone& z) const {
    if (!isValid()) return false;
    bool dst = false;
    localSeconds(sec_, z, &dst);
    return dst;
}

RWCString RWTime::asString(char format, const RWZone& z, const RWLocale& loc) const {
    if (!isValid()) return RWCString("#INVALID#");
    struct tm t;
    extract(&t, z);
    return loc.asString(&t, format, z);
}

RWCString RWTime::asString(const char* format, const RWZone& z, const RWLocale& loc) const {
    if (!isValid()) return RWCString("#INVALID#");
    struct tm t;
    extract(&t, z);
    return loc.asString(&t, format, z);
}

unsigned RWTime::hash() const {
    return static_cast<unsigned>(sec_ ^ (static_cast<std::uint64_t>(sec_) >> 32));
}
