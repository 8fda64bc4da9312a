// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/rw_date_time.h"

#include <algorithm>

#include "qelkit/foundation/internal/civil_time.h"
#include "qelkit/foundation/internal/tz_zone.h"
#include "qelkit/internal/ascii.h"

using qelkit_internal::floorDiv;
using qelkit_internal::kPosixFrom1901;
using qelkit_internal::kSecondsPerDay;

namespace {

constexpr rwint64 kMsPerDay = kSecondsPerDay * 1000;
// Seconds from 0000-03-01 to 1970-01-01.
constexpr std::int64_t kMarchZeroSeconds = qelkit_internal::kMarchZeroToPosixEpoch * kSecondsPerDay;

// The date fields (year, month, day, day of year, weekday) of the local day converted last on
// this thread, packed as RWDateTime keeps them. Instants of a series mostly share a local day,
// so the calendar conversion is done once per day. Keyed by the day number from 0000-03-01
// plus one, so the zero entry matches no day.
//
// Initial-exec TLS keeps the lookup a plain load. Measured against the default model (through
// TLS descriptors), which costs a call per lookup, BM_RWDateTimeFields/series:1 ran 25-30%
// slower, so the initial-exec model stays. Both entries take 48 bytes of the static TLS that
// glibc keeps in reserve for libraries loaded with dlopen (dlopen_test loads it that way).
struct LastDay {
    std::uint64_t key;
    std::uint64_t dateFields;
};
thread_local LastDay lastDay __attribute__((tls_model("initial-exec"))) = {0, 0};

// The stretch of instants [lo, hi) around the one converted last on this thread in
// RWZone::os() over which both the offset and the local day stay the same: an instant in it
// needs no zone lookup and no calendar conversion, only its distance from local midnight.
// os() never changes, so the stretch stays true for the life of the process.
struct OsStretch {
    std::int64_t lo;
    std::int64_t hi;
    std::int64_t midnight;  // the instant the local day starts at, under the stretch's offset
    std::uint64_t dateFields;
};
thread_local OsStretch lastOsStretch
    __attribute__((tls_model("initial-exec"))) = {INT64_MAX, INT64_MIN, 0, 0};

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
    // An instant far outside the representable years would overflow the millisecond count. The
    // range holds whole seconds, so a second in it keeps every one of its milliseconds in it.
    rwint64 count = 0;
    if (__builtin_mul_overflow(static_cast<rwint64>(t.seconds()), rwint64{1000}, &count) ||
        !inRange(count))
        return;
    ms_ = count + ms;
    state_ = valid_;
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
            if (qelkit_internal::isSpace(s[i]))
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

std::uint64_t RWDateTime::convert(const RWZone& z) const {
    // The header spells the range out as numbers: they must be the first and last millisecond of
    // years 1..9999, counted from 1901-01-01 00:00:00 UTC.
    static_assert(RWDateTime::kFirstMs ==
                      (qelkit_internal::kFirstDay * kSecondsPerDay + kPosixFrom1901) * 1000,
                  "first millisecond of year 1");
    static_assert(
        RWDateTime::kLastMs ==
            ((qelkit_internal::kLastDay + 1) * kSecondsPerDay + kPosixFrom1901) * 1000 - 1,
        "last millisecond of year 9999");
    if (state_ != valid_) return 0;
    // Valid counts are at least kFirstMs, so the shifted count divides as an unsigned number
    // (a multiplication and a shift, no correction for negative values).
    const std::int64_t second =
        static_cast<std::int64_t>(static_cast<std::uint64_t>(ms_ - kFirstMs) / 1000) +
        kFirstMs / 1000;
    const std::int64_t posix = second - kPosixFrom1901;
    const auto put = [](std::uint64_t value, Packed f) {
        return (value & ((std::uint64_t{1} << f.width) - 1)) << f.shift;
    };
    const auto timeFields = [&put](std::uint64_t secondOfDay) {
        return put(secondOfDay / 60 % 60, kMinute) | put(secondOfDay / 3600, kHour) |
               put(secondOfDay % 60, kSecond);
    };
    // The packed date of local day `days`, through the per-thread entry of the last day.
    const auto dateFields = [&put](std::int64_t days) {
        const std::uint64_t key =
            static_cast<std::uint64_t>(days + qelkit_internal::kMarchZeroToPosixEpoch) + 1;
        LastDay& last = lastDay;
        if (last.key == key) return last.dateFields;
        const qelkit_internal::Civil c = qelkit_internal::civilFromDays(days);
        // A reading that the zone's offset pushes into year 0 or 10000 keeps its other
        // fields, so the packed value is still not 0.
        const std::uint64_t date =
            put(c.day, kMday) | put(c.month, kMonth) |
            put(static_cast<std::uint64_t>(qelkit_internal::floorMod(days + 3, 7)) + 1, kWday) |
            put(c.dayOfYear + 1, kYday) | put(static_cast<std::uint64_t>(c.year), kYear);
        last = LastDay{key, date};
        return date;
    };

    if (&z == RWZone::builtOs()) {
        OsStretch& s = lastOsStretch;
        if (!(posix >= s.lo && posix < s.hi)) {
            const qelkit_internal::TzSpan span = qelkit_internal::tzZoneOfOs().spanAt(posix);
            // Local seconds from 0000-03-01 are not negative for any valid instant: the day
            // divides as an unsigned number.
            const std::int64_t days =
                static_cast<std::int64_t>(
                    static_cast<std::uint64_t>(posix + span.gmtoff + kMarchZeroSeconds) /
                    kSecondsPerDay) -
                qelkit_internal::kMarchZeroToPosixEpoch;
            s.midnight = days * kSecondsPerDay - span.gmtoff;
            s.lo = std::max(span.start, s.midnight);
            s.hi = std::min(span.end, s.midnight + kSecondsPerDay);
            s.dateFields = dateFields(days);
        }
        const std::uint64_t fields =
            s.dateFields | timeFields(static_cast<std::uint64_t>(posix - s.midnight));
        // Another thread reading the same object stores the same bits.
        osFields_.store(fields, std::memory_order_relaxed);
        return fields;
    }

    const std::int64_t local = posix - z.offsetAt(posix);
    // Local seconds from 0000-03-01: non-negative for every reading of years 1..9999 in a
    // zone less than a day from UTC.
    const std::int64_t fromMarchZero = local + kMarchZeroSeconds;
    std::int64_t days;
    std::uint64_t secondOfDay;
    if (fromMarchZero >= 0) {
        const std::uint64_t dayNumber = static_cast<std::uint64_t>(fromMarchZero) / 86400;
        days = static_cast<std::int64_t>(dayNumber) - qelkit_internal::kMarchZeroToPosixEpoch;
        secondOfDay = static_cast<std::uint64_t>(fromMarchZero) - dayNumber * 86400;
    } else {
        days = floorDiv(local, kSecondsPerDay);
        secondOfDay = static_cast<std::uint64_t>(local - days * kSecondsPerDay);
    }
    return dateFields(days) | timeFields(secondOfDay);
}
unsigned RWDateTime::milliSecond() const {
    return isValid() ? static_cast<unsigned>(qelkit_internal::floorMod(ms_, 1000)) : 0;
}

unsigned long RWDateTime::julian(const RWZone& z) const {
    std::uint64_t fields = osFields_.load(std::memory_order_relaxed);
    if (fields == 0 || &z != RWZone::builtOs()) fields = convert(z);
    if (fields == 0) return 0;
    const auto get = [fields](Packed f) {
        return static_cast<unsigned>(fields >> f.shift) & ((1u << f.width) - 1);
    };
    const std::int64_t days = qelkit_internal::daysFromCivil(get(kYear), 1, 1) + get(kYday) - 1;
    return static_cast<unsigned long>(days + qelkit_internal::kJdnOfPosixEpoch);
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
    osFields_.store(0, std::memory_order_relaxed);
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
    osFields_.store(0, std::memory_order_relaxed);
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
QELKIT_RW_DATE_TIME_STEP(Minute, rwint64{60} * 1000)
QELKIT_RW_DATE_TIME_STEP(Hour, rwint64{3600} * 1000)
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
