// SPDX-License-Identifier: Apache-2.0
// Test helpers for period truncation: UTC instants computed through the date library rather than
// through qelkit, and the truncation walked step by step through RWDateTime exactly as the period
// rules describe it (24-hour steps, weekday tests), to compare the library's arithmetic against.
#ifndef QELKIT_TESTS_DATETIME_PERIOD_REFERENCE_H
#define QELKIT_TESTS_DATETIME_PERIOD_REFERENCE_H

#include <date/date.h>

#include <string_view>

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/foundation/rw_date_time.h"

namespace period_reference {

inline constexpr const char* ALL_CODES = "OBFTQPHAUVDWMYN";

// RWTime of a UTC civil time.
inline RWTime utc(int y, unsigned m, unsigned d, int h = 0, int mi = 0, int s = 0) {
    const long long days = date::sys_days(date::year(y) / m / d).time_since_epoch().count();
    return RWTime(static_cast<unsigned long>(days * 86400 + h * 3600 + mi * 60 + s) +
                  RWTime::posixOffset);
}

inline NqTimeAggregation period(char code) {
    return NqTimeAggregation(static_cast<TimeAggregationType>(code));
}

inline RWDateTime walkBack(RWDateTime dt, unsigned sow) {
    while (dt.isValid() && dt.weekDay() != sow) dt.decrementMillisecond(86400000);
    return dt;
}

// Truncation of a valid instant in local time, literally; startOfWeek 1..7.
inline RWTime literalTruncate(char code, const RWTime& time, unsigned sow) {
    const RWDateTime w(time, 0);
    const unsigned h = w.hour(), mi = w.minute(), d = w.dayOfMonth(), m = w.month(), y = w.year();
    auto at = [](unsigned dd, unsigned mm, unsigned yy, unsigned hh, unsigned mn) {
        return RWDateTime(dd, mm, yy, hh, mn, 0, 0).toRWTime();
    };
    static const unsigned STEP[] = {1, 2, 5, 10, 15, 30, 60};  // minutes of O B F T Q P H
    const std::size_t sub = std::string_view("OBFTQPH").find(code);
    if (sub != std::string_view::npos) return at(d, m, y, h, mi / STEP[sub] * STEP[sub]);
    if (code == 'D') return at(d, m, y, 0, 0);
    if (code == 'M' || code == 'V') return at(1, m, y, code == 'V' ? h : 0, 0);
    if (code == 'A') return at(1, 1, 1970, 0, 0);
    if (code == 'W' || code == 'U') {
        const RWDateTime s = walkBack(w, sow);
        return at(s.dayOfMonth(), s.month(), s.year(), code == 'U' ? h : 0, 0);
    }
    if (code != 'Y') return w.toRWTime();  // 'N' and unknown codes
    // The week holding the year's first Thursday starts the year.
    for (unsigned yy = y + 1;; --yy) {
        RWDateTime c(1, 1, yy);
        while (c.weekDay() != 4) c.incrementMillisecond(86400000);
        c = walkBack(c, sow);
        if (c <= w) return c.toRWTime();
    }
}

}  // namespace period_reference

#endif  // QELKIT_TESTS_DATETIME_PERIOD_REFERENCE_H
