// SPDX-License-Identifier: Apache-2.0
#include "qelkit/datetime/qel_date.h"

#include "qelkit/records/nq_exception.h"

// Constant-initialised: valid before any load-time code runs.
int QelDate::_startOfWeek = 7;

void QelDate::setStartOfWeek(int day) {
    if (day < 1 || day > 7) {
        QelString msg("error - start of week value out of range (1..7): ");
        msg.append(QelString(day, QelString::formatInt));
        throw NqException(msg);
    }
    _startOfWeek = day;
}

void QelDate::setStartOfWeek(const QelString& dayName) {
    const int day = startOfWeekFromName(dayName);
    if (day == 0) {
        QelString msg("Error - start of week value unrecognized: ");
        msg.append(dayName);
        throw NqException(msg);
    }
    _startOfWeek = day;
}

int QelDate::startOfWeekFromName(const QelString& dayName) noexcept {
    // The days a week may start on by name.
    for (const int day : {7, 1, 5, 6})
        if (dayName == QelDate::dayName(day)) return day;
    return 0;
}

const char* QelDate::dayName(int day) noexcept {
    static const char* const NAMES[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                        "Friday", "Saturday", "Sunday"};
    return day >= 1 && day <= 7 ? NAMES[day - 1] : nullptr;
}
