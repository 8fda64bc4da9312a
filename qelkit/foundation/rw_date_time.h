// RWDateTime: an instant to the millisecond, valid from 1 January of year 1 to the end of 9999,
// counted in milliseconds from 1901-01-01 00:00:00 UTC (negative before). Built from fields it
// is strict: out-of-range fields give the invalid value, never a normalised one. Accessors read
// the instant in a zone (RWZone::local() by default); on an invalid or null value every
// accessor returns 0 and nothing is thrown.
#ifndef QELKIT_FOUNDATION_RW_DATE_TIME_H
#define QELKIT_FOUNDATION_RW_DATE_TIME_H

#include <cstdint>
#include <ctime>

#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_date.h"
#include "qelkit/foundation/rw_defs.h"
#include "qelkit/foundation/rw_locale.h"
#include "qelkit/foundation/rw_time.h"
#include "qelkit/foundation/rw_zone.h"

class RWDateTime {
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
    explicit RWDateTime(rwint64 msSince1901);

    RWBoolean isValid() const { return state_ == valid_; }
    RWBoolean isNull() const { return state_ == null_; }

    // Fields of the wall-clock reading in `z`. The last reading in RWZone::os() is remembered
    // per thread, so asking for several fields of one instant converts it once.
    unsigned year(const RWZone& z = RWZone::local()) const;
    unsigned month(const RWZone& z = RWZone::local()) const;
    unsigned dayOfMonth(const RWZone& z = RWZone::local()) const;
    // Day of the year, 1..366.
    unsigned day(const RWZone& z = RWZone::local()) const;
    unsigned hour(const RWZone& z = RWZone::local()) const;
    unsigned minute(const RWZone& z = RWZone::local()) const;
    // The wall-clock second in RWZone::local().
    unsigned second() const;
    unsigned milliSecond() const;
    // 1 (Monday) .. 7 (Sunday).
    unsigned weekDay(const RWZone& z = RWZone::local()) const;
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

    rwint64 ms_ = 0;
    State state_ = invalid_;
};

#endif  // QELKIT_FOUNDATION_RW_DATE_TIME_H
