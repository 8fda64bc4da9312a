// SPDX-License-Identifier: Apache-2.0
#include "qelkit/datetime/qel_time_io.h"

#include <ctime>

#include "qelkit/foundation/rw_locale.h"

// Constant-initialised: holds its value before any code runs.
const char* timeIOFormat = "%Y-%m-%d %H:%M:%S";

QelTimeIO::QelTimeIO(const QelString& text, const RWZone& zone)
    : _time(RWTime::currentTime()), _zone(zone) {
    struct tm tm = {};
    if (strptime(text.data(), timeIOFormat, &tm) == nullptr) return;
    if (tm.tm_year == -1900) {
        tm.tm_year = 100;
    } else if (tm.tm_year < 0) {
        tm.tm_year += 1900;
    }
    tm.tm_isdst = -1;
    _time = RWTime(&tm, _zone);
}

QelTimeIO::operator QelString() const {
    return QelString(_time.asString(timeIOFormat, _zone, RWLocale::global()));
}
