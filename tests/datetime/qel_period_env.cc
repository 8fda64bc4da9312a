// SPDX-License-Identifier: Apache-2.0
// QelPeriod, one process per TZ (RWZone::os() reads it once): its names; where the next period
// starts, under the process zone; lengths and quarters against the calendar (Hinnant's date
// library); the edges of the calendar worked out by hand. The starts of named periods are
// NqTimeAggregation::calendarTruncate's, checked against the calendar by calendar_period_env.cc
// and time_aggregation_test.cc; qelkit-agg's tests check the week-hour and month-hour labels.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "qelkit/datetime/qel_period.h"
#include "tests/datetime/period_reference.h"

namespace {

using namespace period_reference;
using namespace date;

// clang-format off
TEST(QelPeriod, Names) {
    struct Case { const char* text; QelPeriod::Kind kind; char code; std::int64_t seconds; const char* name; bool dividesDay; };
    const Case accepted[] = {
        {"hour", QelPeriod::Named, 'H', 0, "hour", false}, {" 1 Hours", QelPeriod::Named, 'H', 0, "hour", false},
        {"05 minutes", QelPeriod::Named, 'F', 0, "5 minute", false}, {"Week-Hour", QelPeriod::Named, 'U', 0, "week-hour", false},
        {" QUARTER ", QelPeriod::Quarter, 'N', 0, "quarter", false}, {"20 minutes", QelPeriod::Length, 'N', 1200, "20 minute", true},
        {"6 hour", QelPeriod::Length, 'N', 21600, "6 hour", true}, {"90 Seconds", QelPeriod::Length, 'N', 90, "90 second", true},
        {"60 minute", QelPeriod::Length, 'N', 3600, "1 hour", true}, {"7days", QelPeriod::Length, 'N', 604800, "7 day", false},
        {"7 minute", QelPeriod::Length, 'N', 420, "7 minute", false},
        {"9223372036854775807 second", QelPeriod::Length, 'N', 9223372036854775807, "9223372036854775807 second", false}};
    for (const Case& c : accepted) {
        QelPeriod p = QelPeriod::quarter();
        std::string why;
        ASSERT_TRUE(QelPeriod::fromName(c.text, p, why)) << c.text << ": " << why;
        EXPECT_EQ(std::make_tuple(c.kind, c.code, c.seconds, std::string(c.name), c.dividesDay),
                  std::make_tuple(p.kind(), char(p.code()), p.seconds(), p.name(), p.dividesDay())) << c.text;
    }
    for (const char* text : {"0 minute", "quarters", "20 fortnights", "minute 20", "-5 second", "20", "",
                             "9223372036854775808 second", "106751991167301 day", "1.5 hour", "20 minutess"}) {
        QelPeriod p(Month);
        std::string why;
        EXPECT_FALSE(QelPeriod::fromName(text, p, why)) << text;
        EXPECT_NE(std::string::npos, why.find("N second, minute, hour or day")) << text;
        EXPECT_EQ(Month, p.code()) << text;
    }
}
// clang-format on

// next(): the period after a start begins at the first wall reading past that start that
// start() puts in another period, and every reading between lies in the first one.
TEST(QelPeriod, NextStartsWhereThePeriodEnds) {
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

// Lengths: the start is the multiple of the length at or below the wall reading, unless that
// lies before year 1; quarters: the calendar's. Then the edges: RWTime starts at 1901-01-01
// 00:00:01 UTC (a Tuesday), the calendar runs from year 1 to the end of 9999.
TEST(QelPeriod, LengthsQuartersAndTheEdges) {
    const RWZone& utc = RWZone::utc();
    const std::int64_t first = secondsOf(1901_y / 1 / 1),
                       last = secondsOf(9999_y / 12 / 31) + 86399, year1 = secondsOf(1_y / 1 / 1),
                       refused = -7;
    std::mt19937_64 rng(19691231);
    std::uniform_int_distribution<std::int64_t> any(year1, last);
    for (int i = 0; i < 20000; ++i) {
        const std::int64_t wall = any(rng), length = std::int64_t{1} << (i % 40);
        std::int64_t start = 0;
        EXPECT_TRUE(QelPeriod::length(length).start(0, wall, 1, utc, start)
                        ? start % length == 0 && start <= wall && wall - start < length
                        : wall - year1 < (wall % length + length) % length)
            << wall << " " << length;
        const year_month_day ymd(floor<days>(sys_seconds(std::chrono::seconds(wall))));
        const month from(unsigned(ymd.month()) - (unsigned(ymd.month()) - 1) % 3);
        ASSERT_TRUE(QelPeriod::quarter().start(0, wall, 1, utc, start));
        EXPECT_EQ(secondsOf(ymd.year() / from / 1), start) << wall;
    }
    // clang-format off
    const struct { QelPeriod period; std::int64_t wall; int sow; std::int64_t start; } edges[] = {
        {QelPeriod(Day), first + 43200, 7, refused}, {QelPeriod(Day), first + 86400, 7, first + 86400},
        {QelPeriod(Week), first + 5 * 86400, 7, first + 5 * 86400}, {QelPeriod(Week), first + 4 * 86400, 7, refused},
        {QelPeriod(Week), first + 5 * 86400, 8, refused}, {QelPeriod(Day), last, 7, last - 86399},
        {QelPeriod(None), last + 1, 7, refused}, {QelPeriod::length(1200), -600, 1, -1200},
        {QelPeriod::length(604800), 604799, 1, 0}, {QelPeriod::length(604800), -1, 1, -604800},
        {QelPeriod::length(86400), year1, 1, year1}, {QelPeriod::length(604800), year1, 1, refused},
        {QelPeriod::length(60), year1 - 1, 1, refused}, {QelPeriod::quarter(), last, 1, secondsOf(9999_y / 10 / 1)},
        {QelPeriod::quarter(), last + 1, 1, refused}};
    // clang-format on
    for (const auto& e : edges) {
        std::int64_t start = refused;
        EXPECT_EQ(e.start != refused, e.period.start(e.wall, e.wall, e.sow, utc, start))
            << e.period.name() << " " << e.wall;
        EXPECT_EQ(e.start, start) << e.period.name() << " " << e.wall;
    }
}

}  // namespace
