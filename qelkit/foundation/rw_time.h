// SPDX-License-Identifier: Apache-2.0
// RWTime: an instant to the second, counted as unsigned seconds since 1901-01-01 00:00:00 UTC
// (POSIX time t is t + 2177452800). The count 0 is the invalid time; every other count is
// valid. The count is 64-bit, so instants after 2037 (up to the end of 9999) are reachable.
// Times built from fields or dates outside 1901-01-01 00:00:01 UTC .. 9999-12-31 23:59:59 UTC
// are invalid; fields are never normalised.
#ifndef QELKIT_FOUNDATION_RW_TIME_H
#define QELKIT_FOUNDATION_RW_TIME_H

#include <ctime>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_defs.h"
#include "qelkit/foundation/rw_locale.h"
#include "qelkit/foundation/rw_zone.h"

class RWDate;

class QELKIT_API RWTime {
  public:
    // Seconds from 1901-01-01 to 1970-01-01.
    static constexpr unsigned long posixOffset = 2177452800UL;

    // Now.
    RWTime();
    // The raw count (0: invalid). Write RWTime(0UL): RWTime(0) is ambiguous.
    explicit RWTime(unsigned long seconds) : sec_(seconds) {}
    // Today (in `z`) at the given wall-clock time.
    RWTime(unsigned hour, unsigned minute, unsigned second = 0, const RWZone& z = RWZone::local());
    // Day `d` at the given wall-clock time in `z`.
    RWTime(const RWDate& d, unsigned hour = 0, unsigned minute = 0, unsigned second = 0,
           const RWZone& z = RWZone::local());
    // Wall-clock fields tm_year..tm_sec in `z` (tm_wday, tm_yday, tm_isdst ignored); out of
    // range fields give the invalid time.
    RWTime(const struct tm* t, const RWZone& z = RWZone::local());

    static RWTime currentTime();
    // Day `d` at h:m:s in `z`; the invalid time for an invalid date or fields.
    static RWTime buildFrom(const RWDate& d, unsigned h, unsigned m, unsigned s,
                            const RWZone& z = RWZone::local());

    unsigned long seconds() const { return sec_; }
    RWBoolean isValid() const { return sec_ != 0; }
    // Fills every tm field in `z` (tm_wday 0 = Sunday, tm_yday 0-based, tm_isdst by the zone,
    // tm_gmtoff seconds east, tm_zone the zone's name, kept for the life of the process); for
    // the invalid time every int field is -1, tm_gmtoff 0 and tm_zone null.
    void extract(struct tm* t, const RWZone& z = RWZone::local()) const;
    unsigned hour(const RWZone& z = RWZone::local()) const;
    unsigned minute(const RWZone& z = RWZone::local()) const;
    // The wall-clock second in RWZone::local() (zones of local mean time had offsets in
    // seconds). All of these give 0 for the invalid time.
    unsigned second() const;
    RWBoolean isDST(const RWZone& z = RWZone::local()) const;
    // Formatting; see RWLocale::asString. '\0' means "%x %X"; the invalid time "#INVALID#".
    RWCString asString(char format = '\0', const RWZone& z = RWZone::local(),
                       const RWLocale& loc = RWLocale::global()) const;
    RWCString asString(const char* format, const RWZone& z = RWZone::local(),
                       const RWLocale& loc = RWLocale::global()) const;
    unsigned hash() const;

    bool operator==(const RWTime& t) const { return sec_ == t.sec_; }
    bool operator!=(const RWTime& t) const { return sec_ != t.sec_; }
    bool operator<(const RWTime& t) const { return sec_ < t.sec_; }
    bool operator<=(const RWTime& t) const { return sec_ <= t.sec_; }
    bool operator>(const RWTime& t) const { return sec_ > t.sec_; }
    bool operator>=(const RWTime& t) const { return sec_ >= t.sec_; }
    RWTime& operator+=(unsigned long s) {
        sec_ += s;
        return *this;
    }
    RWTime& operator-=(unsigned long s) {
        sec_ -= s;
        return *this;
    }

  private:
    unsigned long sec_ = 0;
};

inline RWTime operator+(const RWTime& t, unsigned long s) { return RWTime(t.seconds() + s); }
inline RWTime operator+(unsigned long s, const RWTime& t) { return RWTime(t.seconds() + s); }
inline RWTime operator-(const RWTime& t, unsigned long s) { return RWTime(t.seconds() - s); }

#endif  // QELKIT_FOUNDATION_RW_TIME_H
