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
    static const struct {
        const char* name;
        int day;
    } NAMES[] = {{"Sunday", 7}, {"Monday", 1}, {"Friday", 5}, {"Saturday", 6}};
    for (const auto& entry : NAMES) {
        if (dayName == entry.name) {
            _startOfWeek = entry.day;
            return;
        }
    }
    QelString msg("Error - start of week value unrecognized: ");
    msg.append(dayName);
    throw NqException(msg);
}
