// SPDX-License-Identifier: Apache-2.0
// calendarTruncate against glibc and Hinnant date, one process per TZ (RWZone::os() reads it
// once): for four times of every day of 2000-2040 and every start of week, the week, week-hour
// and week-numbering year start by calendar days. The calendar comes from date.h (the
// week-numbering year is the year of the Thursday of the row's week); local instants come from
// mktime. Where the zone has no daylight time, truncate must agree as well.
#include <date/date.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/datetime/qel_zone.h"
#include "qelkit/foundation/rw_zone.h"

namespace {

using date::days;
using date::sys_days;

// The POSIX instant of local `day` at `second` past midnight, by glibc.
long long localInstant(sys_days day, int second) {
    const date::year_month_day ymd(day);
    std::tm tm{};
    tm.tm_year = static_cast<int>(ymd.year()) - 1900;
    tm.tm_mon = static_cast<int>(static_cast<unsigned>(ymd.month())) - 1;
    tm.tm_mday = static_cast<int>(static_cast<unsigned>(ymd.day()));
    tm.tm_hour = second / 3600;
    tm.tm_min = second / 60 % 60;
    tm.tm_sec = second % 60;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

sys_days weekStart(sys_days day, date::weekday first) { return day - (date::weekday(day) - first); }

void checkDays(sys_days from, sys_days to, bool alsoTruncate) {
    const NqTimeAggregation week(Week), weekHour(WeekHour), year(Year);
    for (sys_days day = from; day <= to; day += days(1)) {
        for (const int second : {0, 1800, 45296, 86399}) {
            const long long t = localInstant(day, second);
            const RWTime time(static_cast<unsigned long>(t) + RWTime::posixOffset);
            for (unsigned sow = 1; sow <= 7; ++sow) {
                const date::weekday first(sow % 7);
                const sys_days start = weekStart(day, first);
                // The Thursday of this week names its year; that year's first Thursday, its week.
                const sys_days thursday = start + (date::Thursday - first);
                const date::year y = date::year_month_day(thursday).year();
                const sys_days jan1 = y / date::January / 1;
                const sys_days yearStart =
                    weekStart(jan1 + (date::Thursday - date::weekday(jan1)), first);
                const struct {
                    const NqTimeAggregation& period;
                    long long want;
                } cases[] = {{week, localInstant(start, 0)},
                             {weekHour, localInstant(start, second / 3600 * 3600)},
                             {year, localInstant(yearStart, 0)}};
                for (const auto& c : cases) {
                    // A start before the first instant of RWTime is the invalid time, 0.
                    const long long want =
                        std::max(0LL, c.want + static_cast<long long>(RWTime::posixOffset));
                    ASSERT_EQ(c.period.calendarTruncate(time, static_cast<int>(sow)).seconds(),
                              want)
                        << c.period.aggregationDesc() << " of " << date::year_month_day(day) << " +"
                        << second << "s, week from " << sow;
                    if (alsoTruncate) {
                        ASSERT_EQ(c.period.truncate(time, static_cast<int>(sow)).seconds(), want)
                            << c.period.aggregationDesc() << " of " << date::year_month_day(day);
                    }
                }
            }
        }
    }
}

TEST(CalendarTruncate, WeeksAndYearsStartAtLocalMidnight) {
    const bool fixed = !RWZone::os().daylightObserved();
    checkDays(sys_days(date::year(2000) / 1 / 1), sys_days(date::year(2040) / 12 / 31), fixed);
    if (!fixed) return;
    // Most of 1901, where instants take the general path and some years start before 1901;
    // under a frozen zone (the fast path of truncate); then the last year of the calendar,
    // where truncate gives up on the year 10000 (the search for a week-numbering year's
    // start tries the next year first), and calendarTruncate must not.
    checkDays(sys_days(date::year(1901) / 2 / 1), sys_days(date::year(1901) / 12 / 31), true);
    QelZone frozen;
    checkDays(sys_days(date::year(2026) / 1 / 1), sys_days(date::year(2026) / 12 / 31), true);
    checkDays(sys_days(date::year(9999) / 1 / 1), sys_days(date::year(9999) / 12 / 31), false);
}

TEST(CalendarTruncate, OtherCodesAndBadStartsAreTruncate) {
    const RWTime time(
        static_cast<unsigned long>(localInstant(sys_days(date::year(2026) / 3 / 30), 1800)) +
        RWTime::posixOffset);
    for (const char code : {'O', 'H', 'D', 'M', 'V', 'A', 'N'}) {
        const NqTimeAggregation p(static_cast<TimeAggregationType>(code));
        EXPECT_EQ(p.calendarTruncate(time, 7).seconds(), p.truncate(time, 7).seconds()) << code;
    }
    EXPECT_FALSE(NqTimeAggregation(Week).calendarTruncate(time, 0).isValid());
    EXPECT_FALSE(NqTimeAggregation(Week).calendarTruncate(RWTime(0UL), 7).isValid());
    // 1901-01-01 is a Tuesday: its Sunday week starts before the first instant of RWTime.
    EXPECT_FALSE(NqTimeAggregation(Week).calendarTruncate(RWTime(86400UL * 2), 7).isValid());
}

}  // namespace
