// SPDX-License-Identifier: Apache-2.0
// GetDate: turns a date given as text (with or without a conversion format), a broken-down
// time, an RWTime, an RWDate or a raw second count into one RWTime instant in the local zone.
// Text goes first to the locale-driven date parser, then to the platform's getdate() templates
// (the file named by DATEMSK), or, when a format is given, to strptime() alone. Every
// constructor that yields a valid instant (except the default and copy constructors) moves
// years before 1969 one century forward. Nothing is thrown: a failed parse leaves the invalid
// time (0), and the reason goes to the trace while NQ_TRACE_GETDATE is on.
#ifndef QELKIT_DATETIME_GET_DATE_H
#define QELKIT_DATETIME_GET_DATE_H

#include <ctime>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_date.h"
#include "qelkit/foundation/rw_time.h"

class QELKIT_API GetDate {
  public:
    // Now, without the year correction.
    GetDate();
    // The raw RWTime second count (since 1901-01-01 UTC, not POSIX); 0 gives the invalid time.
    explicit GetDate(long seconds);
    // Midnight local time of `date`.
    explicit GetDate(const RWDate& date);
    // A copy of `time`, corrected like every parsed instant.
    explicit GetDate(const RWTime& time);
    // A copy of the other's instant, without the year correction.
    GetDate(const GetDate& other);
    // parseDate(text).
    explicit GetDate(const char* text);
    // parseDate(text, format) for a non-null format, else parseDate(text).
    GetDate(const char* text, const char* format);
    // Wall-clock fields in RWZone::local().
    explicit GetDate(tm* t);
    virtual ~GetDate();

    // Copies the instant, without the year correction.
    GetDate& operator=(const GetDate& other);

    // The instant (the invalid RWTime when nothing could be parsed).
    RWTime time() const { return _time; }
    // The day of the instant in RWZone::local().
    RWDate date() const;
    // 1 when the instant is not the invalid time, else 0.
    int isValid() const { return _time.isValid() ? 1 : 0; }
    // POSIX seconds as a signed 32-bit result with two's-complement wrap-around (the invalid
    // time gives 2117514496; instants after 2038-01-19 03:14:07 UTC wrap).
    long mktime() const;
    // Moves an instant whose local year is before 1969 one century forward.
    void fixYear();
    // Locale-driven date parser, then the DATEMSK templates. Stores only on success.
    void parseDate(const char* text);
    // strptime() with a non-empty `format`; getdate() with "" (or null), which reads the
    // template file named by DATEMSK at each call. Stores only on success; safe to run on
    // several threads at once.
    void parseDate(const char* text, const char* format);

  private:
    RWTime _time;
};

#endif  // QELKIT_DATETIME_GET_DATE_H
