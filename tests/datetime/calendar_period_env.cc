// SPDX-License-Identifier: Apache-2.0
// Period starts in the process zone against period_reference.h (Hinnant's date library for the
// calendar, glibc for the zone), one process per TZ, since RWZone::os() reads it once:
// calendarTruncate of weeks, week-hours and week-numbering years for four times of every day of
// 2000-2040 and every start of week, and, where the zone has no daylight time, truncate as well;
// truncate of every code around each change of the zone's offset in 1968, 1971, 2007 and 2036.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "qelkit/datetime/qel_zone.h"
#include "qelkit/foundation/rw_zone.h"
#include "tests/datetime/period_reference.h"

namespace {

using date::days;
using date::sys_days;
using namespace period_reference;

const WallClock zone;

void checkDays(sys_days from, sys_days to, bool alsoTruncate) {
    for (sys_days day = from; day <= to; day += days(1)) {
        for (const int second : {0, 1800, 45296, 86399}) {
            const std::int64_t t = zone.instant(secondsOf(day) + second);
            for (unsigned sow = 1; sow <= 7; ++sow) {
                for (const char code : {'W', 'U', 'Y'}) {
                    const std::int64_t want = zone.instant(wallStart(code, zone.wall(t), sow));
                    if (t == -1 || want == -1) continue;
                    const RWTime time = fromPosix(t);
                    ASSERT_EQ(period(code).calendarTruncate(time, int(sow)).seconds(),
                              fromPosix(want).seconds())
                        << code << " of " << date::year_month_day(day) << " +" << second
                        << "s, week from " << sow;
                    if (alsoTruncate) {
                        ASSERT_EQ(period(code).truncate(time, int(sow)).seconds(),
                                  fromPosix(want).seconds())
                            << code << " of " << date::year_month_day(day);
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

// From two days before each change to eight after (so that week walks cross it from every
// weekday), at odd steps that meet every minute of the hour, and around each start found.
TEST(Truncate, EveryCodeFollowsTheWallClockAcrossOffsetChanges) {
    std::vector<std::int64_t> changes;
    for (const int year : {1968, 1971, 2007, 2036})
        for (std::int64_t t = secondsOf(date::year(year) / 1 / 1);
             t < secondsOf(date::year(year + 1) / 1 / 1); t += 3600)
            if (zone.wall(t) - t != zone.wall(t + 3600) - (t + 3600)) changes.push_back(t);
    EXPECT_EQ(changes.empty(), !RWZone::os().daylightObserved());
    for (const std::int64_t change : changes) {
        for (std::int64_t t = change - 2 * 86400; t < change + 8 * 86400; t += 997) {
            for (const char* code = ALL_CODES; *code; ++code) {
                const unsigned sow = 1 + unsigned(t % 7 + 7) % 7;
                const std::int64_t start =
                    std::int64_t(period(*code).truncate(fromPosix(t), int(sow)).seconds()) -
                    std::int64_t(RWTime::posixOffset);
                for (const std::int64_t u : {t, start - 1, start, start + 1}) {
                    const std::int64_t want = truncateStart(zone, *code, u, sow);
                    if (want == -1) continue;
                    ASSERT_EQ(period(*code).truncate(fromPosix(u), int(sow)).seconds(),
                              fromPosix(want).seconds())
                        << *code << " at " << u << ", week from " << sow;
                }
            }
        }
    }
}

TEST(CalendarTruncate, OtherCodesAndBadStartsAreTruncate) {
    const RWTime time = fromPosix(zone.instant(secondsOf(date::year(2026) / 3 / 30) + 1800));
    for (const char code : {'O', 'H', 'D', 'M', 'V', 'A', 'N'})
        EXPECT_EQ(period(code).calendarTruncate(time, 7), period(code).truncate(time, 7)) << code;
    EXPECT_FALSE(period('W').calendarTruncate(time, 0).isValid());
    EXPECT_FALSE(period('W').calendarTruncate(RWTime(0UL), 7).isValid());
    // 1901-01-01 is a Tuesday: its Sunday week starts before the first instant of RWTime.
    EXPECT_FALSE(period('W').calendarTruncate(RWTime(86400UL * 2), 7).isValid());
}

}  // namespace
