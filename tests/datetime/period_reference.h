// SPDX-License-Identifier: Apache-2.0
// Test helpers for period truncation, computed through Hinnant's date library and glibc rather
// than through qelkit: the period of a code, every code, UTC instants, and the period starts the
// wall clock of a zone gives.
#ifndef QELKIT_TESTS_DATETIME_PERIOD_REFERENCE_H
#define QELKIT_TESTS_DATETIME_PERIOD_REFERENCE_H

#include <date/date.h>

#include <cstdint>
#include <ctime>
#include <string_view>

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

// The RWTime of POSIX seconds: the invalid time before the first instant RWTime holds.
inline RWTime fromPosix(std::int64_t t) {
    return RWTime(t < -std::int64_t(RWTime::posixOffset)
                      ? 0UL
                      : static_cast<unsigned long>(t) + RWTime::posixOffset);
}

// A zone's wall clock as POSIX seconds read as UTC: a fixed offset (seconds west of UTC), or,
// unless fixed, the process zone (TZ) as glibc reads it.
struct WallClock {
    bool fixed = false;
    long west = 0;

    std::int64_t wall(std::int64_t t) const {
        if (fixed) return t - west;
        const std::time_t tt = static_cast<std::time_t>(t);
        std::tm tm;
        localtime_r(&tt, &tm);
        return t + tm.tm_gmtoff;
    }
    // The instant that reads `w`, or -1 where no instant or two do (a daylight-saving change).
    std::int64_t instant(std::int64_t w) const {
        if (fixed) return w + west;
        std::int64_t found = -1;
        for (const std::int64_t probe : {w - 172800, w + 172800}) {
            const std::int64_t t = w - (wall(probe) - probe);
            if (wall(t) != w || t == found) continue;
            if (found != -1) return -1;
            found = t;
        }
        return found;
    }
};

inline std::int64_t secondsOf(date::sys_days d) { return d.time_since_epoch().count() * 86400LL; }

// The start, on the wall clock, of the period of `code` that holds wall-clock time `w` by the
// calendar, weeks starting on `sow` (1 Monday .. 7 Sunday). The week-numbering year starts with
// the week of its first Thursday, and a week belongs to the year of its Thursday.
inline std::int64_t wallStart(char code, std::int64_t w, unsigned sow) {
    using namespace date;
    const sys_days day = floor<days>(sys_seconds(std::chrono::seconds(w)));
    const std::int64_t midnight = secondsOf(day), minute = (w - midnight) / 60;
    const std::int64_t hour = minute / 60 * 3600;
    const year_month_day ymd(day);
    const weekday first(sow % 7);
    const auto weekOf = [first](sys_days d) { return d - (weekday(d) - first); };
    if (const std::size_t i = std::string_view("OBFTQPH").find(code); i != std::string_view::npos) {
        static const int step[] = {1, 2, 5, 10, 15, 30, 60};
        return midnight + minute / step[i] * step[i] * 60;
    }
    switch (code) {
        case 'D':
            return midnight;
        case 'M':
        case 'V':
            return secondsOf(ymd.year() / ymd.month() / 1) + (code == 'V' ? hour : 0);
        case 'W':
        case 'U':
            return secondsOf(weekOf(day)) + (code == 'U' ? hour : 0);
        case 'Y': {
            const sys_days jan1 = year_month_day(weekOf(day) + (Thursday - first)).year() / 1 / 1;
            return secondsOf(weekOf(jan1 + (Thursday - weekday(jan1))));
        }
        case 'A':
            return 0;
        default:
            return w;
    }
}

// The start truncate gives (POSIX seconds; -1 where its wall-clock time has no single instant):
// the instant itself for None, else the calendar's, except that the weeks of a zone with daylight
// saving are found by steps of 24 hours back from the instant to the first one on the starting
// weekday, whose local midnight (for the week-hour, the hour of the instant) starts the week.
inline std::int64_t truncateStart(const WallClock& z, char code, std::int64_t t, unsigned sow) {
    if (code == 'N') return t;
    if (z.fixed || (code != 'W' && code != 'U')) return z.instant(wallStart(code, z.wall(t), sow));
    std::int64_t s = t;
    while (
        date::weekday(date::floor<date::days>(date::sys_seconds(std::chrono::seconds(z.wall(s)))))
            .iso_encoding() != sow)
        s -= 86400;
    const std::int64_t hour =
        code == 'U' ? (wallStart('H', z.wall(t), sow) - wallStart('D', z.wall(t), sow)) : 0;
    return z.instant(wallStart('D', z.wall(s), sow) + hour);
}

}  // namespace period_reference

#endif  // QELKIT_TESTS_DATETIME_PERIOD_REFERENCE_H
