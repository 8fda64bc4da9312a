#include "qelkit/foundation/rw_date_time.h"

#include "qelkit/foundation/internal/civil_time.h"

using qelkit_internal::floorDiv;
using qelkit_internal::kPosixFrom1901;
using qelkit_internal::kSecondsPerDay;

namespace {

constexpr rwint64 kMsPerDay = kSecondsPerDay * 1000;
// The first and last millisecond of years 1..9999, counted from 1901-01-01 00:00:00 UTC.
constexpr rwint64 kFirstMs = (qelkit_internal::kFirstDay * kSecondsPerDay + kPosixFrom1901) * 1000;
constexpr rwint64 kLastMs =
    ((qelkit_internal::kLastDay + 1) * kSecondsPerDay + kPosixFrom1901) * 1000 - 1;

bool inRange(rwint64 ms) { return ms >= kFirstMs && ms <= kLastMs; }

// The wall-clock reading of an instant in a zone.
struct LocalReading {
    const RWZone* zone;
    rwint64 ms;         // the instant read
    std::int64_t days;  // the local day, from 1970-01-01
    unsigned secondOfDay;
    unsigned hour;
    unsigned minute;
    qelkit_internal::Civil civil;
};

// The last reading made in the operating system's zone on this thread. Callers usually ask
// for several fields of one instant in a row (year, month, day, hour, minute), so the zone
// lookup and the calendar conversion are done once for all of them, without locks; and
// instants of a series often share a local day, whose date is then reused. Only os() is
// remembered: it lives as long as the process and its rules never change, so its address
// identifies it, while another zone object may die and a different one take its address.
// Initial-exec TLS keeps the lookup a plain load (the entry is a few dozen bytes).
thread_local LocalReading lastOsReading __attribute__((tls_model("initial-exec"))) = {};

__attribute__((noinline)) const LocalReading& computeReading(rwint64 ms, const RWZone& z,
                                                             LocalReading& scratch) {
    LocalReading& last = lastOsReading;
    const bool isOs = &z == &RWZone::os();
    LocalReading& r = isOs ? last : scratch;
    // Valid counts are at least kFirstMs, so the shifted count divides as an unsigned number
    // (a multiplication and a shift, no correction for negative values).
    const std::int64_t second =
        static_cast<std::int64_t>(static_cast<std::uint64_t>(ms - kFirstMs) / 1000) +
        kFirstMs / 1000;
    const std::int64_t posix = second - kPosixFrom1901;
    const std::int64_t local = posix - z.offsetAt(posix);
    // Local seconds from 0000-03-01: non-negative for every reading of years 1..9999.
    const std::int64_t fromMarchZero =
        local + qelkit_internal::kMarchZeroToPosixEpoch * kSecondsPerDay;
    std::int64_t days;
    if (fromMarchZero >= 0) {
        const std::uint64_t dayNumber = static_cast<std::uint64_t>(fromMarchZero) / 86400;
        days = static_cast<std::int64_t>(dayNumber) - qelkit_internal::kMarchZeroToPosixEpoch;
        r.secondOfDay =
            static_cast<unsigned>(static_cast<std::uint64_t>(fromMarchZero) - dayNumber * 86400);
    } else {
        days = floorDiv(local, kSecondsPerDay);
        r.secondOfDay = static_cast<unsigned>(local - days * kSecondsPerDay);
    }
    r.hour = r.secondOfDay / 3600;
    r.minute = r.secondOfDay / 60 % 60;
    if (!(isOs && last.zone == &z && last.days == days))
        r.civil = qelkit_internal::civilFromDays(days);
    r.days = days;
    r.ms = ms;
    r.zone = &z;
    return r;
}

// The reading of `ms` in `z`: the remembered one, or one computed into `scratch` (or into the
// remembered entry when `z` is os()).
inline const LocalReading& readLocal(rwint64 ms, const RWZone& z, LocalReading& scratch) {
    const LocalReading& last = lastOsReading;
    if (last.ms == ms && last.zone == &z) return last;
    return computeReading(ms, z, scratch);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace

RWDateTime::RWDateTime(InitialState s) {
    if (s == null) {
        state_ = null_;
    } else if (s == setCurrentTime) {
        struct timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        ms_ = (static_cast<rwint64>(now.tv_sec) + kPosixFrom1901) * 1000 + now.tv_nsec / 1000000;
        state_ = valid_;
    }
}

RWDateTime::RWDateTime(const RWTime& t, unsigned ms) {
    if (!t.isValid() || ms > 999) return;
    ms_ = static_cast<rwint64>(t.seconds()) * 1000 + ms;
    state_ = inRange(ms_) ? valid_ : invalid_;
}

RWDateTime::RWDateTime(const struct tm* t, unsigned ms, const RWZone& z) {
    if (!t || t->tm_mon < 0 || t->tm_mday < 1 || t->tm_hour < 0 || t->tm_min < 0 || t->tm_sec < 0)
        return;
    const std::int64_t year = static_cast<std::int64_t>(t->tm_year) + 1900;
    if (year < 1 || year > 9999) return;
    *this = RWDateTime(static_cast<unsigned>(t->tm_mday), static_cast<unsigned>(t->tm_mon) + 1,
                       static_cast<unsigned>(year), static_cast<unsigned>(t->tm_hour),
                       static_cast<unsigned>(t->tm_min), static_cast<unsigned>(t->tm_sec), ms, z);
}

RWDateTime::RWDateTime(unsigned day, unsigned month, unsigned year, unsigned hour, unsigned minute,
                       unsigned second, unsigned ms, const RWZone& z) {
    if (!qelkit_internal::validCivil(year, month, day) || hour > 23 || minute > 59 || second > 59 ||
        ms > 999)
        return;
    const std::int64_t wall = qelkit_internal::wallSeconds(
        qelkit_internal::daysFromCivil(year, month, day), hour, minute, second);
    ms_ = (z.utcFromLocal(wall) + kPosixFrom1901) * 1000 + ms;
    state_ = inRange(ms_) ? valid_ : invalid_;
}

RWDateTime::RWDateTime(const RWDate& d, unsigned hour, unsigned minute, unsigned second,
                       unsigned ms, const RWZone& z) {
    if (!d.isValid()) return;
    const qelkit_internal::Civil c = qelkit_internal::civilFromDays(
        static_cast<std::int64_t>(d.julian()) - qelkit_internal::kJdnOfPosixEpoch);
    *this = RWDateTime(c.day, c.month, static_cast<unsigned>(c.year), hour, minute, second, ms, z);
}

RWDateTime::RWDateTime(const RWCString& text, SetType set, const RWLocale& loc, const RWZone& z) {
    struct tm t = {};
    if (set == setDate) {
        if (!loc.stringToDate(text, &t)) return;
    } else if (set == setTime) {
        if (!loc.stringToTime(text, &t)) return;
        const RWDate today(RWTime::currentTime(), z);
        t.tm_mday = static_cast<int>(today.dayOfMonth());
        t.tm_mon = static_cast<int>(today.month()) - 1;
        t.tm_year = static_cast<int>(today.year()) - 1900;
    } else {
        // The time starts at the first blank-separated word that holds ':'.
        const char* s = text.data();
        const std::size_t n = text.length();
        std::size_t word = 0;
        std::size_t timeStart = n;
        for (std::size_t i = 0; i < n && timeStart == n; ++i) {
            if (isBlank(s[i]))
                word = i + 1;
            else if (s[i] == ':')
                timeStart = word;
        }
        if (timeStart == n || timeStart == 0) return;
        if (!loc.stringToDate(RWCString(s, timeStart), &t) ||
            !loc.stringToTime(RWCString(s + timeStart, n - timeStart), &t))
            return;
    }
    *this = RWDateTime(&t, 0, z);
}

RWDateTime::RWDateTime(rwint64 msSince1901) : ms_(msSince1901) {
    state_ = inRange(ms_) ? valid_ : invalid_;
}

unsigned RWDateTime::year(const RWZone& z) const {
    LocalReading scratch;
    return isValid() ? static_cast<unsigned>(readLocal(ms_, z, scratch).civil.year) : 0;
}

unsigned RWDateTime::month(const RWZone& z) const {
    LocalReading scratch;
    return isValid() ? readLocal(ms_, z, scratch).civil.month : 0;
}

unsigned RWDateTime::dayOfMonth(const RWZone& z) const {
    LocalReading scratch;
    return isValid() ? readLocal(ms_, z, scratch).civil.day : 0;
}

unsigned RWDateTime::day(const RWZone& z) const {
    LocalReading scratch;
    return isValid() ? readLocal(ms_, z, scratch).civil.dayOfYear + 1 : 0;
}

unsigned RWDateTime::hour(const RWZone& z) const {
    LocalReading scratch;
    return isValid() ? readLocal(ms_, z, scratch).hour : 0;
}

unsigned RWDateTime::minute(const RWZone& z) const {
    LocalReading scratch;
    return isValid() ? readLocal(ms_, z, scratch).minute : 0;
}

// In the local zone: offsets of local mean time were not whole minutes.
unsigned RWDateTime::second() const {
    LocalReading scratch;
    return isValid() ? readLocal(ms_, RWZone::local(), scratch).secondOfDay % 60 : 0;
}

unsigned RWDateTime::milliSecond() const {
    return isValid() ? static_cast<unsigned>(qelkit_internal::floorMod(ms_, 1000)) : 0;
}

// Julian Day 0 fell on a Monday.
unsigned RWDateTime::weekDay(const RWZone& z) const {
    const unsigned long jdn = julian(z);
    return jdn != 0 ? static_cast<unsigned>(jdn % 7 + 1) : 0;
}

unsigned long RWDateTime::julian(const RWZone& z) const {
    LocalReading scratch;
    return isValid() ? static_cast<unsigned long>(readLocal(ms_, z, scratch).days +
                                                  qelkit_internal::kJdnOfPosixEpoch)
                     : 0;
}

RWTime RWDateTime::toRWTime() const {
    if (!isValid() || ms_ < 1000) return RWTime(0UL);
    return RWTime(static_cast<unsigned long>(ms_ / 1000));
}

RWDate RWDateTime::toRWDate(const RWZone& z) const { return RWDate(julian(z)); }

void RWDateTime::extract(struct tm* t, const RWZone& z) const {
    if (!isValid())
        qelkit_internal::fillInvalidTm(t);
    else
        qelkit_internal::fillTm(floorDiv(ms_, 1000) - kPosixFrom1901, z, t);
}

RWDateTime& RWDateTime::incrementMillisecond(rwint64 n) {
    if (!isValid()) return *this;
    rwint64 sum;
    if (__builtin_add_overflow(ms_, n, &sum) || !inRange(sum)) {
        state_ = invalid_;
        ms_ = 0;
    } else {
        ms_ = sum;
    }
    return *this;
}

RWDateTime& RWDateTime::decrementMillisecond(rwint64 n) {
    if (!isValid()) return *this;
    rwint64 diff;
    if (__builtin_sub_overflow(ms_, n, &diff) || !inRange(diff)) {
        state_ = invalid_;
        ms_ = 0;
    } else {
        ms_ = diff;
    }
    return *this;
}

namespace {

// `n` units of `unitMs` milliseconds, or false when the product does not fit.
bool scaled(rwint64 n, rwint64 unitMs, rwint64* out) {
    return !__builtin_mul_overflow(n, unitMs, out);
}

}  // namespace

#define QELKIT_RW_DATE_TIME_STEP(unit, unitMs)                       \
    RWDateTime& RWDateTime::increment##unit(rwint64 n) {             \
        rwint64 ms;                                                  \
        if (scaled(n, unitMs, &ms)) return incrementMillisecond(ms); \
        if (isValid()) *this = RWDateTime(RWDateTime::invalid);      \
        return *this;                                                \
    }                                                                \
    RWDateTime& RWDateTime::decrement##unit(rwint64 n) {             \
        rwint64 ms;                                                  \
        if (scaled(n, unitMs, &ms)) return decrementMillisecond(ms); \
        if (isValid()) *this = RWDateTime(RWDateTime::invalid);      \
        return *this;                                                \
    }

QELKIT_RW_DATE_TIME_STEP(Second, 1000)
QELKIT_RW_DATE_TIME_STEP(Minute, 60 * 1000)
QELKIT_RW_DATE_TIME_STEP(Hour, 3600 * 1000)
QELKIT_RW_DATE_TIME_STEP(Day, kMsPerDay)

#undef QELKIT_RW_DATE_TIME_STEP

RWCString RWDateTime::asString(char format, const RWLocale& loc, const RWZone& z) const {
    if (!isValid()) return RWCString("#INVALID#");
    struct tm t;
    extract(&t, z);
    return loc.asString(&t, format, z);
}

RWCString RWDateTime::asString(const char* format, const RWLocale& loc, const RWZone& z) const {
    if (!isValid()) return RWCString("#INVALID#");
    struct tm t;
    extract(&t, z);
    return loc.asString(&t, format, z);
}
