// SPDX-License-Identifier: Apache-2.0
// RWDate: a calendar day, held as its proleptic-Gregorian Julian Day Number (1901-01-01 is
// 2415386, 1970-01-01 is 2440588). Valid days run from 1 January of year 1 to 31 December 9999;
// the day number 0 is the invalid date. Arithmetic is closed-form (no loops over years or
// months).
#ifndef QELKIT_FOUNDATION_RW_DATE_H
#define QELKIT_FOUNDATION_RW_DATE_H

#include <ctime>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_defs.h"
#include "qelkit/foundation/rw_locale.h"
#include "qelkit/foundation/rw_zone.h"

class RWTime;

class QELKIT_API RWDate {
  public:
    // Today in RWZone::local().
    RWDate();
    // The day with Julian Day Number `julianDay` (0: invalid).
    explicit RWDate(unsigned long julianDay) : jday_(julianDay) {}
    // Day `dayOfYear` (1..365 or 366) of `year`; invalid when out of range.
    RWDate(unsigned dayOfYear, unsigned year);
    // `day` of `month` (1..12) of `year`; a year below 100 means 1900 + year (this
    // constructor only). Invalid when the day does not exist.
    RWDate(unsigned day, unsigned month, unsigned year);
    // As above with the month given by its full or three-letter name in `locale`.
    RWDate(unsigned day, const char* monthName, unsigned year,
           const RWLocale& locale = RWLocale::global());
    // The date `text` reads as through `loc.stringToDate`; invalid when it does not parse.
    RWDate(const RWCString& text, const RWLocale& loc = RWLocale::global());
    // The day on which `t` falls in zone `z`; invalid for the invalid time.
    RWDate(const RWTime& t, const RWZone& z = RWZone::local());
    // tm_mday, tm_mon and tm_year only (tm_year + 1900 taken literally).
    explicit RWDate(const struct tm* t);

    RWBoolean isValid() const { return jday_ != 0; }
    unsigned long julian() const { return jday_; }
    void julian(unsigned long j) { jday_ = j; }
    // Day of the year, 1..366.
    unsigned day() const;
    unsigned dayOfMonth() const;
    // 1..12.
    unsigned month() const;
    unsigned year() const;
    // 1 (Monday) .. 7 (Sunday).
    unsigned weekDay() const;
    RWBoolean leap() const;
    // Fills tm_mday, tm_mon, tm_year, tm_wday, tm_yday, and zeroes the time fields and
    // tm_isdst; for the invalid date every field set is -1.
    void extract(struct tm* t) const;
    // Formatting, at midnight in standard time (%Z is the standard name of RWZone::local());
    // see RWLocale::asString. The invalid date gives "#INVALID#".
    RWCString asString(char format = 'x', const RWLocale& loc = RWLocale::global()) const;
    RWCString asString(const char* format, const RWLocale& loc = RWLocale::global()) const;

    bool operator==(const RWDate& d) const { return jday_ == d.jday_; }
    bool operator!=(const RWDate& d) const { return jday_ != d.jday_; }
    bool operator<(const RWDate& d) const { return jday_ < d.jday_; }
    bool operator<=(const RWDate& d) const { return jday_ <= d.jday_; }
    bool operator>(const RWDate& d) const { return jday_ > d.jday_; }
    bool operator>=(const RWDate& d) const { return jday_ >= d.jday_; }
    RWDate& operator++() {
        ++jday_;
        return *this;
    }
    RWDate& operator--() {
        --jday_;
        return *this;
    }
    RWDate operator++(int) {
        RWDate old = *this;
        ++jday_;
        return old;
    }
    RWDate operator--(int) {
        RWDate old = *this;
        --jday_;
        return old;
    }
    RWDate& operator+=(unsigned long days) {
        jday_ += days;
        return *this;
    }
    RWDate& operator-=(unsigned long days) {
        jday_ -= days;
        return *this;
    }

    // Days in `month` (1..12) of `year` (0 for a month out of range).
    static unsigned daysInMonthYear(unsigned month, unsigned year);
    static unsigned daysInYear(unsigned year);
    static RWBoolean leapYear(unsigned year);
    // Day `d` exists in month `m` of year `y`.
    static RWBoolean dayWithinMonth(unsigned m, unsigned d, unsigned y);
    // 1..12 for a month name in `loc`, else 0.
    static unsigned indexOfMonth(const RWCString& name, const RWLocale& loc = RWLocale::global());

    // Julian Day Number of a proleptic-Gregorian civil date (no validation).
    static long jdnFromCivil(long year, unsigned month, unsigned day) noexcept;
    // Civil date of a Julian Day Number.
    static void civilFromJdn(long jdn, long* year, unsigned* month, unsigned* day) noexcept;

  private:
    unsigned long jday_ = 0;
};

inline RWDate operator+(const RWDate& d, unsigned long days) { return RWDate(d.julian() + days); }
inline RWDate operator+(unsigned long days, const RWDate& d) { return RWDate(d.julian() + days); }
inline RWDate operator-(const RWDate& d, unsigned long days) { return RWDate(d.julian() - days); }
// Days between two dates.
inline unsigned long operator-(const RWDate& a, const RWDate& b) { return a.julian() - b.julian(); }

#endif  // QELKIT_FOUNDATION_RW_DATE_H
