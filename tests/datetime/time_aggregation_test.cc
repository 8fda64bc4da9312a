// SPDX-License-Identifier: Apache-2.0
#include <date/date.h>
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/datetime/qel_date.h"
#include "qelkit/foundation/nq_trace.h"
#include "qelkit/foundation/rw_zone.h"
#include "tests/datetime/period_reference.h"

namespace {

using namespace period_reference;

std::vector<std::string> traces;
void capture(const char* origin, const char* message) {
    traces.push_back(std::string(origin) + "|" + message);
}

// Installs a zone `offset` seconds west of UTC as the local zone, and captures trace lines.
struct FixedZone {
    RWZoneSimple zone;
    const RWZone* previous = RWZone::local(&zone);
    NqTraceSink sink = NqTraceStatic::setSink(capture);
    explicit FixedZone(long offset) : zone(offset, "X") { traces.clear(); }
    FixedZone(const FixedZone&) = delete;
    ~FixedZone() { RWZone::local(previous), NqTraceStatic::setSink(sink); }
};

// clang-format off
TEST(TimeAggregationText, FromStringTestsSubstringsInOrder) {
    const std::pair<const char*, char> cases[] = {
        {"", 'N'}, {"fortnight", 'N'}, {"HALF", 'P'}, {"week-hour", 'U'}, {"thirty minutes", 'P'}, {"15 minute", 'Q'},
        {"5 minute", 'F'}, {"12 minute", 'B'}, {"minutes", 'O'}, {"quarter hour", 'Q'}, {"hourly", 'H'}, {"per day", 'D'},
        {"weekly", 'W'}, {"Monthly", 'M'}, {"YEAR", 'Y'}};
    for (const auto& [text, code] : cases) EXPECT_EQ(code, NqTimeAggregation::fromString(text)) << text;
    for (const char* code = ALL_CODES; *code; ++code)
        EXPECT_EQ(*code, NqTimeAggregation::fromString(period(*code).aggregationDesc()));
    const std::pair<int, char> seconds[] = {{60, 'O'}, {120, 'B'}, {300, 'F'}, {600, 'T'}, {900, 'Q'},
        {1800, 'P'}, {3600, 'H'}, {86400, 'N'}, {0, 'N'}, {-60, 'N'}, {61, 'N'}};
    for (const auto& [secs, code] : seconds) EXPECT_EQ(code, NqTimeAggregation::fromSeconds(secs));
}

TEST(TimeAggregationText, ColumnsFollowTheCode) {
    const char *const MINUTE = "'YYYY-MM-DD HH24:MI'", *const NONE = "'Unrecognized Frequency'";
    const std::tuple<char, const char*, int, int, int, int, const char*> rows[] = {
        {'O', "One Minute", 60, 60, 1, 0, MINUTE}, {'B', "Two Minute", 120, 120, 2, 0, MINUTE},
        {'F', "Five Minute", 300, 300, 5, 0, MINUTE}, {'T', "Ten Minute", 600, 600, 10, 0, MINUTE},
        {'Q', "Fifteen Minute", 900, 900, 15, 0, MINUTE}, {'P', "Half-Hour", 1800, 1800, 30, 0, MINUTE},
        {'H', "Hour", 3600, 3600, 60, 0, "'YYYY-MM-DD HH24'"}, {'A', "All Hours", 0, 0, 0, 0, NONE},
        {'U', "Week-Hour", 0, 0, 0, 0, "'IYYY-IW HH24'"}, {'V', "Month-Hour", 0, 0, 0, 0, "'YYYY-MM HH24'"},
        {'D', "Day", 0, 86400, 1440, 1, "'YYYY-MM-DD'"}, {'W', "Week", 0, 604800, 10080, 7, "'IYYY-IW'"},
        {'M', "Month", 0, 2678400, 44640, 31, "'YYYY-MM'"}, {'Y', "Year", 0, 31622400, 527040, 366, "'YYYY'"},
        {'N', "None", 0, 0, 0, 0, "'YYYY-MM-DD HH24:MI:SS'"}, {'Z', "Unknown", 0, 0, 0, 0, NONE}};
    for (const auto& [code, desc, aggr, maxS, maxM, maxD, format] : rows) {
        const NqTimeAggregation p = period(code);
        EXPECT_EQ(std::make_tuple(code, std::string(1, code), std::string(desc), aggr, maxS, maxM, maxD, std::string(format)),
                  std::make_tuple(p.code(), std::string(p.toString().data()), std::string(p.aggregationDesc()), p.aggrSeconds(),
                                  p.maxSeconds(), p.maxMinutes(), p.maxDays(), std::string(p.oracleDateFormat().data())));
    }
    EXPECT_STREQ("to_char(d, 'YYYY-MM-DD')", period('D').oracleToChar("d").data());
    EXPECT_STREQ("to_char(ts+1, 'IYYY-IW')", period('W').oracleToChar("ts").data());
    const std::tuple<char, RWDate, int> days[] = {
        {'M', RWDate(1, 2, 2008), 29}, {'M', RWDate(9, 2, 2007), 28}, {'M', RWDate(9, 4, 2007), 30}, {'Y', RWDate(9, 4, 2008), 366},
        {'Y', RWDate(9, 4, 1900), 365}, {'W', RWDate(9, 4, 2007), 7}, {'D', RWDate(9, 4, 2007), 1}, {'H', RWDate(9, 4, 2007), 0}};
    for (const auto& [code, day, n] : days) EXPECT_EQ(n, period(code).actualDays(day)) << code;
}

// A second before the start of a period, at it and after it; local time is UTC.
TEST(TimeAggregationTruncate, EveryCodeAroundItsBoundary) {
    const FixedZone zone(0);
    const std::tuple<char, int, RWTime, RWTime> cases[] = {
        {'O', 7, utc(2007, 4, 11, 14, 38), utc(2007, 4, 11, 14, 37)}, {'B', 7, utc(2007, 4, 11, 14, 38), utc(2007, 4, 11, 14, 36)},
        {'F', 7, utc(2007, 4, 11, 14, 40), utc(2007, 4, 11, 14, 35)}, {'T', 7, utc(2007, 4, 11, 14, 40), utc(2007, 4, 11, 14, 30)},
        {'Q', 7, utc(2007, 4, 11, 15, 0), utc(2007, 4, 11, 14, 45)}, {'P', 7, utc(2007, 4, 11, 0, 0), utc(2007, 4, 10, 23, 30)},
        {'H', 7, utc(2008, 1, 1, 0, 0), utc(2007, 12, 31, 23, 0)}, {'D', 7, utc(2008, 3, 1), utc(2008, 2, 29)},
        {'W', 3, utc(2007, 4, 11), utc(2007, 4, 4)}, {'U', 1, utc(2007, 4, 9), utc(2007, 4, 2, 23)},
        {'V', 7, utc(2007, 5, 1), utc(2007, 4, 1, 23)}, {'M', 7, utc(2008, 3, 1), utc(2008, 2, 1)}};
    for (const auto& [code, sow, boundary, previous] : cases) {
        EXPECT_EQ(previous, period(code).truncate(boundary - 1, sow)) << code << sow;
        EXPECT_EQ(boundary, period(code).truncate(boundary, sow)) << code << sow;
        EXPECT_EQ(boundary, period(code).truncate(boundary + 1, sow)) << code << sow;
    }
    // Without a start of week the configured one (Sunday) is used.
    ASSERT_EQ(7, QelDate::startOfWeek());
    const RWTime wednesday = utc(2007, 4, 11, 14, 37, 52);
    EXPECT_EQ(utc(2007, 4, 8, 14), period('U').truncate(wednesday));
    EXPECT_EQ(utc(2006, 12, 31), period('Y').truncate(wednesday));
    EXPECT_EQ(utc(1970, 1, 1), period('A').truncate(wednesday));
}
// clang-format on

// Twenty years of local days, three times of day, every start of week, under fixed offsets that
// move the local day across the UTC one, against the date library.
TEST(TimeAggregationTruncate, WeekWalksMatchTheCalendarOverTwentyYears) {
    using namespace date;
    for (long offset : {0L, -50400L, 34200L}) {  // seconds west of UTC
        const FixedZone zone(offset);
        // The instant of local midnight starting `d`.
        const auto at = [offset](sys_days d) {
            return utc(1970, 1, 1) +
                   static_cast<unsigned long>(d.time_since_epoch().count() * 86400 + offset);
        };
        for (sys_days day = sys_days(2000_y / 1 / 1); day < sys_days(2020_y / 1 / 1);
             day += days(1)) {
            for (unsigned sow = 1; sow <= 7; ++sow) {
                const sys_days weekStart = day - days((weekday(day).iso_encoding() + 7 - sow) % 7);
                // A year starts on the week holding its first Thursday.
                const auto yearStart = [sow](int y) {
                    return sys_days(year(y) / January / Thursday[1]) - days((4 + 7 - sow) % 7);
                };
                int y = int(year_month_day(day).year()) + 1;
                while (yearStart(y) > day) --y;
                for (unsigned long secs : {0UL, 45296UL, 86399UL}) {
                    const RWTime t = at(day) + secs;
                    ASSERT_EQ(at(weekStart), period('W').truncate(t, sow))
                        << t.seconds() << " " << sow;
                    ASSERT_EQ(at(weekStart) + secs / 3600 * 3600, period('U').truncate(t, sow));
                    ASSERT_EQ(at(yearStart(y)), period('Y').truncate(t, sow))
                        << t.seconds() << " " << sow;
                }
            }
        }
    }
}

// clang-format off
TEST(TimeAggregationTruncate, FailuresAreTracedAndReturnInvalid) {
    const std::string tag = "NqTimeAggregation::truncate()|";
    const RWTime t = utc(2007, 4, 11, 14, 37, 52);
    const std::tuple<char, RWTime, int, unsigned long, std::vector<std::string>> cases[] = {
        {'H', RWTime(0UL), 7, 0, {tag + "Error: Invalid date conversion. date= #INVALID# to=#INVALID#",
                                  tag + "Error: Invalid date truncation. date= #INVALID#(#INVALID#) -> #INVALID#  Aggregation: Hour"}},
        {'O', RWTime(1UL), 7, 0, {tag + "Error: Invalid date truncation. date= 01/01/01 00:00:01(1901-01-01T00:00:01) -> #INVALID#  Aggregation: One Minute"}},
        {'N', RWTime(1UL), 7, 1, {}},
        {'Z', t, 7, t.seconds(), {tag + "default = 04/11/07 14:37:52"}},
        {'U', t, 8, 0, {tag + "Error: start of week out of range (1..7): 8  Aggregation: Week-Hour"}},
        {'Y', t, INT_MIN, 0, {tag + "Error: start of week out of range (1..7): -2147483648  Aggregation: Year"}},
        {'H', t, 0, 0, {tag + "Error: start of week out of range (1..7): 0  Aggregation: Hour"}}};
    for (const auto& [code, time, sow, result, lines] : cases) {
        const FixedZone zone(0);
        EXPECT_EQ(result, period(code).truncate(time, sow).seconds()) << code;
        EXPECT_EQ(lines, traces) << code;
    }
}
// clang-format on

}  // namespace
