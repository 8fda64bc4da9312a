// SPDX-License-Identifier: Apache-2.0
// Period starts against period_reference.h (Hinnant's date library for the calendar, glibc for
// the zone), one process per TZ, since RWZone::os() reads it once. At random instants of
// 1901-9999 and every 997 seconds through the days around each change of the zone's offset in
// 1968, 1971, 2007 and 2036, and at both sides of a start found there: truncate,
// calendarTruncate and QelPeriod::start of every code, for any start of week. Where the zone has
// no daylight time, also under installed fixed offsets (one more than two days west, which only
// truncate's step-by-step path takes) and under a frozen zone. Then QelPeriod::next.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "qelkit/datetime/qel_date.h"
#include "qelkit/datetime/qel_period.h"
#include "qelkit/datetime/qel_zone.h"
#include "qelkit/foundation/rw_zone.h"
#include "tests/datetime/period_reference.h"

namespace {

using namespace period_reference;
using namespace date;

// Every code's start at `t` with weeks from `sow`, in the local zone that `z` reads.
void checkInstant(const WallClock& z, std::int64_t t, unsigned sow) {
    const RWTime time = fromPosix(t);
    const std::int64_t wall = z.wall(t);
    for (const char* code = ALL_CODES; *code; ++code) {
        const NqTimeAggregation p = period(*code);
        const std::int64_t want = truncateStart(z, *code, t, sow);
        // Without a start of week the default one, Sunday, is used.
        const RWTime got = sow == 7 ? p.truncate(time) : p.truncate(time, int(sow));
        // Truncate gives up on week-numbering years that reach into the year 10000.
        if (want != -1 && wall < secondsOf(9999_y / 1 / 1)) {
            ASSERT_EQ(fromPosix(want).seconds(), got.seconds())
                << *code << " at " << t << "/" << sow;
        }
        const std::int64_t calendar = wallStart(*code, wall, sow), at = z.instant(calendar);
        if (at != -1) {
            ASSERT_EQ(fromPosix(at).seconds(), p.calendarTruncate(time, int(sow)).seconds())
                << *code << " at " << t << "/" << sow;
        } else if (*code != 'U' && *code != 'V') {
            continue;
        }
        // QelPeriod labels week- and month-hours by the calendar, whether or not they exist.
        const bool held = at == -1 || at > -std::int64_t(RWTime::posixOffset);
        std::int64_t start = 0;
        ASSERT_TRUE(held == QelPeriod(TimeAggregationType(*code))
                                .start(t, wall, int(sow), RWZone::local(), start) &&
                    (!held || start == calendar))
            << *code << " at " << t << "/" << sow << ": " << start;
    }
}

void checkZone(const WallClock& z) {
    std::mt19937_64 rng(20070411);
    // Every eighth instant reads in the last week of 9999, up to the last instant RWTime holds.
    const std::int64_t end = secondsOf(year(10000) / 1 / 1);
    std::uniform_int_distribution<std::int64_t> any(secondsOf(1901_y / 2 / 1), end - 3 * 86400),
        last(end - 7 * 86400, end - 1);
    std::vector<std::int64_t> instants;
    for (int i = 0; i < 2000; ++i)
        instants.push_back(i % 8 ? any(rng) : std::min(z.instant(last(rng)), end - 1));
    for (const int y : {1968, 1971, 2007, 2036})
        for (std::int64_t t = secondsOf(year(y) / 1 / 1); t < secondsOf(year(y + 1) / 1 / 1);
             t += 3600)
            if (z.wall(t) - t != z.wall(t + 3600) - (t + 3600))
                for (std::int64_t u = t - 2 * 86400; u < t + 8 * 86400; u += 997)
                    instants.push_back(u);
    for (std::size_t i = 0; i < instants.size(); ++i) {
        const std::int64_t t = instants[i];
        const unsigned sow = 1 + unsigned(rng() % 7);
        const std::int64_t s = z.instant(wallStart(ALL_CODES[i % 15], z.wall(t), sow));
        for (const std::int64_t u : {t, s - 1, s}) checkInstant(z, u, sow);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

TEST(PeriodStart, EveryCodeFollowsTheCalendarOfTheZone) {
    ASSERT_EQ(7, QelDate::startOfWeek());
    checkZone(WallClock{});
    if (RWZone::os().daylightObserved()) return;
    {
        const QelZone frozen;
        checkZone(WallClock{});
    }
    for (const long west : {-180000L, 34200L}) {
        const RWZoneSimple fixed(west, "X");
        const RWZone* const previous = RWZone::local(&fixed);
        checkZone(WallClock{true, west});
        RWZone::local(previous);
    }
}

// next(): the period after a start begins at the first wall reading past that start that
// start() puts in another period, and every reading between lies in the first one.
TEST(PeriodStart, NextStartsWhereThePeriodEnds) {
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<std::int64_t> any(secondsOf(1903_y / 1 / 1),
                                                    secondsOf(9990_y / 1 / 1));
    const RWZone& zone = RWZone::os();
    std::vector<QelPeriod> periods{QelPeriod::quarter(), QelPeriod::length(7 * 3600),
                                   QelPeriod::length(90)};
    for (const char* code = "OBFTQPHDWMY"; *code; ++code)
        periods.emplace_back(TimeAggregationType(*code));
    auto startOf = [&](const QelPeriod& p, std::int64_t wall, int sow) {
        std::int64_t s = 0;
        EXPECT_TRUE(p.start(zone.utcFromLocal(wall), wall, sow, zone, s)) << p.name();
        return s;
    };
    for (int i = 0; i < 300; ++i) {
        const std::int64_t t = any(rng), wall = t - zone.offsetAt(t);
        const int sow = 1 + int(rng() % 7);
        for (const QelPeriod& p : periods) {
            const std::int64_t s = startOf(p, wall, sow);
            std::int64_t n = 0;
            ASSERT_TRUE(p.next(s, sow, zone, n)) << p.name() << " at " << t;
            EXPECT_GT(n, s) << p.name();
            EXPECT_EQ(n, startOf(p, n, sow)) << p.name() << " at " << t;
            EXPECT_EQ(s, startOf(p, n - 1, sow)) << p.name() << " at " << t;
        }
    }
    std::int64_t n = 0;
    EXPECT_FALSE(QelPeriod(AllHours).next(0, 7, zone, n));
}

}  // namespace
