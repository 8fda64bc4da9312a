// SPDX-License-Identifier: Apache-2.0
// Test helpers for period truncation: the period of a code, every code, and UTC instants computed
// through the date library rather than through qelkit.
#ifndef QELKIT_TESTS_DATETIME_PERIOD_REFERENCE_H
#define QELKIT_TESTS_DATETIME_PERIOD_REFERENCE_H

#include <date/date.h>

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/foundation/rw_time.h"

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

}  // namespace period_reference

#endif  // QELKIT_TESTS_DATETIME_PERIOD_REFERENCE_H
