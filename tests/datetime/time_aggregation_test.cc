// SPDX-License-Identifier: Apache-2.0
#include <date/date.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/datetime/qel_date.h"
#include "qelkit/foundation/rw_zone.h"
#include "tests/datetime/period_reference.h"
#include "tests/output_capture.h"

namespace {

using namespace output_capture;
using namespace period_reference;

// Installs a zone `offset` seconds west of UTC as the local zone, and captures trace lines.
struct FixedZone {
    RWZoneSimple zone;
    const RWZone* previous = RWZone::local(&zone);
    const TraceCapture sink;
    explicit FixedZone(long offset) : zone(offset, "X") {}
    ~FixedZone() { RWZone::local(previous); }
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

// Exact names only. Every short name and description reads back to its code (so the names are
// distinct, and name, code and name again agree), codes() lists the table, and the short names
// are those of the tool's --help; then the other spellings the names allow, and texts that
// fromString's substring rules would still take for some period.
TEST(TimeAggregationText, NamesReadBackExactly) {
    std::string listed, names;
    for (const TimeAggregationType code : NqTimeAggregation::codes()) {
        const NqTimeAggregation p(code);
        listed += char(code);
        names += std::string(names.empty() ? "" : ", ") + p.name().data();
        for (const QelString& text : {p.name(), QelString(p.aggregationDesc())}) {
            TimeAggregationType got = code == None ? Year : None;
            EXPECT_TRUE(NqTimeAggregation::fromName(text, got) && got == code) << text.data();
        }
    }
    EXPECT_EQ(ALL_CODES, listed);
    EXPECT_EQ("minute, 2 minute, 5 minute, 10 minute, 15 minute, 30 minute, hour, all hours, week-hour, "
              "month-hour, day, week, month, year, none", names);
    EXPECT_STREQ("unknown", period('Z').name().data());
    const std::pair<const char*, TimeAggregationType> accepted[] = {
        {"1 minute", OneMinute}, {"2 minutes", TwoMinute}, {"5min", FiveMinute}, {"Ten-Minute", TenMinute},
        {"quarter_hour", FifteenMinute}, {"30 MINUTE", HalfHour}, {"thirty mins", HalfHour}, {"one hour", Hour},
        {"1 Hour", Hour}, {"hourly", Hour}, {"Month Hour", MonthHour}, {"  day ", Day}, {"daily", Day}, {"weeks", Week},
        {"weekly", Week}, {"Monthly", Month}, {"yearly", Year}};
    for (const auto& [text, code] : accepted) {
        TimeAggregationType got = None;
        EXPECT_TRUE(NqTimeAggregation::fromName(text, got) && got == code) << text;
    }
    for (const char* text : {"45 minute", "20 minute", "60 minute", "3 hours", "quarterly", "hourglass", "", "half",
                             "quarter", "fortnight", "minute 15", "15", "day day", "unknown", "hour\nday"}) {
        TimeAggregationType got = Year;
        EXPECT_FALSE(NqTimeAggregation::fromName(text, got) || got != Year) << text;
    }
}

// The lengths follow from each other and from the calendar: maxDays is the longest actualDays
// of any day of 2096-2104, around a century that is no leap year (by the date library), maxMinutes and maxSeconds its length or,
// below a day, the fixed length aggrSeconds, whose period fromSeconds names.
TEST(TimeAggregationText, LengthsAgreeWithTheCalendar) {
    using namespace date;
    std::string codes = ALL_CODES;
    for (char code : codes + "Z") {
        const NqTimeAggregation p = period(code);
        int longest = 0;
        for (sys_days d = sys_days(2096_y / 1 / 1); d < sys_days(2105_y / 1 / 1); d += days(1)) {
            const year_month_day ymd(d);
            const unsigned y = unsigned(int(ymd.year())), m = unsigned(ymd.month());
            const int want = code == 'D'   ? 1
                             : code == 'W' ? 7
                             : code == 'M' ? int(unsigned((ymd.year() / ymd.month() / last).day()))
                             : code == 'Y' ? (ymd.year().is_leap() ? 366 : 365)
                                           : 0;
            ASSERT_EQ(want, p.actualDays(RWDate(unsigned(ymd.day()), m, y))) << code;
            longest = std::max(longest, want);
        }
        EXPECT_EQ(longest, p.maxDays()) << code;
        EXPECT_EQ(p.maxSeconds(), 60 * p.maxMinutes()) << code;
        EXPECT_EQ(p.maxMinutes(), p.maxDays() ? 1440 * p.maxDays() : p.aggrSeconds() / 60) << code;
        EXPECT_EQ(code, p.aggrSeconds() ? char(NqTimeAggregation::fromSeconds(p.aggrSeconds())) : code);
    }
}

// Without a start of week the configured one (Sunday) is used.
TEST(TimeAggregationTruncate, DefaultStartOfWeekIsSunday) {
    const FixedZone zone(0);
    ASSERT_EQ(7, QelDate::startOfWeek());
    const RWTime wednesday = utc(2007, 4, 11, 14, 37, 52);
    EXPECT_EQ(utc(2007, 4, 8, 14), period('U').truncate(wednesday));
    EXPECT_EQ(utc(2006, 12, 31), period('Y').truncate(wednesday));
    EXPECT_EQ(utc(1970, 1, 1), period('A').truncate(wednesday));
}
// clang-format on

// Eight years of local days and most of 1901 (where instants take the library's general path),
// three times of day, then random instants of 1902-9997, under fixed offsets that move the local
// day across the UTC one (the last one beyond two days, which only the step-by-step path
// takes): every code against the calendar.
TEST(TimeAggregationTruncate, EveryCodeMatchesTheCalendarUnderFixedOffsets) {
    using namespace date;
    std::mt19937_64 rng(20070411);
    for (long offset : {0L, -50400L, 34200L, -180000L}) {  // seconds west of UTC
        const FixedZone zone(offset);
        const WallClock clock{true, offset};
        std::vector<std::int64_t> walls;
        for (const auto& [from, to] :
             {std::pair{sys_days(1901_y / 2 / 1), sys_days(1902_y / 1 / 1)},
              std::pair{sys_days(2000_y / 1 / 1), sys_days(2008_y / 1 / 1)}})
            for (sys_days day = from; day < to; day += days(1))
                for (long secs : {0L, 45296L, 86399L}) walls.push_back(secondsOf(day) + secs);
        std::uniform_int_distribution<std::int64_t> any(secondsOf(1902_y / 1 / 1),
                                                        secondsOf(9998_y / 1 / 1));
        for (int i = 0; i < 5000; ++i) walls.push_back(any(rng));
        for (const std::int64_t wall : walls) {
            const std::int64_t t = clock.instant(wall);
            const unsigned sow = 1 + unsigned(t % 7 + 7) % 7;
            for (const char* code = ALL_CODES; *code; ++code)
                ASSERT_EQ(fromPosix(clock.instant(wallStart(*code, clock.wall(t), sow))).seconds(),
                          period(*code).truncate(fromPosix(t), int(sow)).seconds())
                    << *code << " " << t << " " << sow;
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
