// SPDX-License-Identifier: Apache-2.0
// RWDateTime: an instant to the millisecond, valid from 1 January of year 1 to the end of 9999,
// counted in milliseconds from 1901-01-01 00:00:00 UTC (negative before). Built from fields it
// is strict: out-of-range fields give the invalid value, never a normalised one. Accessors read
// the instant in a zone (RWZone::local() by default); on an invalid or null value every
// accessor returns 0 and nothing is thrown.
#ifndef QELKIT_FOUNDATION_RW_DATE_TIME_H
#define QELKIT_FOUNDATION_RW_DATE_TIME_H

#include <atomic>
#include <cstdint>
#include <ctime>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_date.h"
#include "qelkit/foundation/rw_defs.h"
#include "qelkit/foundation/rw_locale.h"
#include "qelkit/foundation/rw_time.h"
#include "qelkit/foundation/rw_zone.h"

class QELKIT_API RWDateTime {
  public:
    enum InitialState { invalid = 0, null = 1, setCurrentTime = 2 };
    enum SetType { setDate = 0, setTime = 1, setBoth = 2 };

    // invalid and null are not valid values; setCurrentTime is now. Write
    // RWDateTime(RWDateTime::invalid): RWDateTime(0) is ambiguous.
    explicit RWDateTime(InitialState s = invalid);
    // `t` plus `ms` milliseconds (invalid for the invalid time or ms above 999).
    RWDateTime(const RWTime& t, unsigned ms = 0);
    // Wall-clock fields tm_year..tm_sec in `z`, strictly checked.
    RWDateTime(const struct tm* t, unsigned ms = 0, const RWZone& z = RWZone::local());
    // Wall-clock fields in `z`: month 1..12, an existing day, hour 0..23, minute and second
    // 0..59, ms 0..999, year 1..9999 taken literally; anything else is invalid.
    RWDateTime(unsigned day, unsigned month, unsigned year, unsigned hour = 0, unsigned minute = 0,
               unsigned second = 0, unsigned ms = 0, const RWZone& z = RWZone::local());
    // Day `d` at the given wall-clock time in `z`.
    RWDateTime(const RWDate& d, unsigned hour = 0, unsigned minute = 0, unsigned second = 0,
               unsigned ms = 0, const RWZone& z = RWZone::local());
    // Text through the locale's date and/or time parser: setDate reads a date (00:00:00.000),
    // setTime a time of day (today in `z`), setBoth a date followed by a time starting at the
    // first blank-separated word holding ':'. Invalid when the text does not parse.
    RWDateTime(const RWCString& text, SetType set = setBoth,
               const RWLocale& loc = RWLocale::global(), const RWZone& z = RWZone::local());
    // Milliseconds since 1901-01-01 00:00:00 UTC; invalid outside years 1..9999.
    explicit RWDateTime(rwint64 msSince1901)
        : ms_(msSince1901), state_(inRange(msSince1901) ? valid_ : invalid_) {}

    // Copies carry the remembered reading along with the instant.
    RWDateTime(const RWDateTime& o) noexcept
        : ms_(o.ms_), state_(o.state_), osFields_(o.osFields_.load(std::memory_order_relaxed)) {}
    RWDateTime& operator=(const RWDateTime& o) noexcept {
        ms_ = o.ms_;
        state_ = o.state_;
        osFields_.store(o.osFields_.load(std::memory_order_relaxed), std::memory_order_relaxed);
        return *this;
    }

    RWBoolean isValid() const { return state_ == valid_; }
    RWBoolean isNull() const { return state_ == null_; }

    // Fields of the wall-clock reading in `z`. The reading in RWZone::os() is converted by the
    // first accessor that asks for it and kept in the object, so the others are a load and a
    // shift; readings in other zones are converted on each call.
    unsigned year(const RWZone& z = RWZone::local()) const { return field(z, kYear); }
    unsigned month(const RWZone& z = RWZone::local()) const { return field(z, kMonth); }
    unsigned dayOfMonth(const RWZone& z = RWZone::local()) const { return field(z, kMday); }
    // Day of the year, 1..366.
    unsigned day(const RWZone& z = RWZone::local()) const { return field(z, kYday); }
    unsigned hour(const RWZone& z = RWZone::local()) const { return field(z, kHour); }
    unsigned minute(const RWZone& z = RWZone::local()) const { return field(z, kMinute); }
    // The wall-clock second in RWZone::local().
    unsigned second() const { return field(RWZone::local(), kSecond); }
    unsigned milliSecond() const;
    // 1 (Monday) .. 7 (Sunday).
    unsigned weekDay(const RWZone& z = RWZone::local()) const { return field(z, kWday); }
    unsigned long julian(const RWZone& z = RWZone::local()) const;
    // Milliseconds since 1901-01-01 00:00:00 UTC (0 for an invalid or null value).
    rwint64 milliSeconds() const { return state_ == valid_ ? ms_ : 0; }

    // The same instant to the second; the invalid RWTime when invalid or outside its range.
    RWTime toRWTime() const;
    RWDate toRWDate(const RWZone& z = RWZone::local()) const;
    // Fills every tm field in `z` as RWTime::extract does; for an invalid value every int field
    // is -1.
    void extract(struct tm* t, const RWZone& z = RWZone::local()) const;

    // Exact millisecond steps (a day is always 86,400,000 ms); invalid stays invalid and
    // leaving the range gives invalid.
    RWDateTime& incrementMillisecond(rwint64 n);
    RWDateTime& decrementMillisecond(rwint64 n);
    RWDateTime& incrementSecond(rwint64 n);
    RWDateTime& decrementSecond(rwint64 n);
    RWDateTime& incrementMinute(rwint64 n);
    RWDateTime& decrementMinute(rwint64 n);
    RWDateTime& incrementHour(rwint64 n);
    RWDateTime& decrementHour(rwint64 n);
    RWDateTime& incrementDay(rwint64 n);
    RWDateTime& decrementDay(rwint64 n);

    // Formatting (locale, then zone); see RWLocale::asString. Invalid or null: "#INVALID#".
    RWCString asString(char format, const RWLocale& loc = RWLocale::global(),
                       const RWZone& z = RWZone::local()) const;
    RWCString asString(const char* format, const RWLocale& loc = RWLocale::global(),
                       const RWZone& z = RWZone::local()) const;

    // By instant; invalid and null values are equal to each other and below every valid one.
    bool operator==(const RWDateTime& o) const { return key() == o.key(); }
    bool operator!=(const RWDateTime& o) const { return key() != o.key(); }
    bool operator<(const RWDateTime& o) const { return key() < o.key(); }
    bool operator<=(const RWDateTime& o) const { return key() <= o.key(); }
    bool operator>(const RWDateTime& o) const { return key() > o.key(); }
    bool operator>=(const RWDateTime& o) const { return key() >= o.key(); }

  private:
    enum State : unsigned char { invalid_, null_, valid_ };
    // Ordering key: every non-valid value sorts below every valid one.
    rwint64 key() const { return state_ == valid_ ? ms_ : INT64_MIN; }

    // The first and last millisecond of years 1..9999.
    static constexpr rwint64 kFirstMs = -59958144000000;
    static constexpr rwint64 kLastMs = 255579753599999;
    static constexpr bool inRange(rwint64 ms) { return ms >= kFirstMs && ms <= kLastMs; }

    // The wall-clock fields of a reading packed into 64 bits: {shift, width} of each. A valid
    // reading is never 0 (its year is at least 1), so 0 means "not converted yet".
    struct Packed {
        unsigned char shift, width;
    };
    static constexpr Packed kMinute{0, 6};
    static constexpr Packed kHour{6, 5};
    static constexpr Packed kSecond{11, 6};
    static constexpr Packed kMday{17, 5};
    static constexpr Packed kMonth{22, 4};
    static constexpr Packed kWday{26, 3};   // 1 Monday .. 7 Sunday
    static constexpr Packed kYday{29, 9};   // 1..366
    static constexpr Packed kYear{38, 14};  // 1..9999

    // One field of the reading in `z`: the kept os() reading when there is one, else a fresh
    // conversion (0 for an invalid or null value).
    unsigned field(const RWZone& z, Packed f) const {
        std::uint64_t fields = osFields_.load(std::memory_order_relaxed);
        if (fields == 0 || &z != RWZone::builtOs()) fields = convert(z);
        return static_cast<unsigned>(fields >> f.shift) & ((1u << f.width) - 1);
    }
    // The packed reading of the instant in `z`, kept in osFields_ when `z` is os(); 0 when the
    // value is invalid or null.
    std::uint64_t convert(const RWZone& z) const;

    rwint64 ms_ = 0;
    State state_ = invalid_;
    // The packed reading in RWZone::os(), or 0. Relaxed atomic: a shared const value may be
    // read by several threads, each of which may fill it with the same bits.
    mutable std::atomic<std::uint64_t> osFields_{0};
};

#endif  // QELKIT_FOUNDATION_RW_DATE_TIME_H
