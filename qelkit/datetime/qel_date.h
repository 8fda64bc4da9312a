// SPDX-License-Identifier: Apache-2.0
// QelDate: the library-wide first day of the week, used by the week, week-hour and year
// truncations of NqTimeAggregation, and the names of the days. It has no instances. The setting
// is a plain int read without a lock: set it during start-up, before other threads use the
// library; the name lookups may run on several threads at once.
#ifndef QELKIT_DATETIME_QEL_DATE_H
#define QELKIT_DATETIME_QEL_DATE_H

#include "qelkit/export.h"
#include "qelkit/strings/qel_string.h"

class QELKIT_API QelDate {
  public:
    QelDate() = delete;

    // The current first day of the week, 1 (Monday) .. 7 (Sunday); 7 until changed.
    static int startOfWeek() noexcept { return _startOfWeek; }
    // Stores `day` (1 Monday .. 7 Sunday). Throws NqException "error - start of week value out
    // of range (1..7): <day>" for any other value, leaving the setting unchanged.
    static void setStartOfWeek(int day);
    // "Sunday", "Monday", "Friday" or "Saturday", exactly (case-sensitive). Throws NqException
    // "Error - start of week value unrecognized: <dayName>" for any other text, leaving the
    // setting unchanged.
    static void setStartOfWeek(const QelString& dayName);
    // The day setStartOfWeek(dayName) sets for `dayName`: 7 for "Sunday", 1 "Monday", 5 "Friday",
    // 6 "Saturday"; 0 for any other text.
    static int startOfWeekFromName(const QelString& dayName) noexcept;
    // The English name of day `day`: "Monday" for 1 .. "Sunday" for 7; null outside 1..7.
    static const char* dayName(int day) noexcept;

  private:
    static int _startOfWeek;
};

#endif  // QELKIT_DATETIME_QEL_DATE_H
