// SPDX-License-Identifier: Apache-2.0
// Periods by name, their lengths, truncate's failures, and QelPeriod's names, lengths, quarters
// and the edges of the calendar; period_env.cc checks the starts in several zones.
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
#include "qelkit/datetime/qel_period.h"
#include "qelkit/foundation/rw_zone.h"
#include "tests/datetime/period_reference.h"
#include "tests/output_capture.h"

namespace {

using namespace output_capture;
using namespace period_reference;
using namespace date;

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
        {"", 'N'}, {"fortnight", 'N'}, {"HALF", 'P'}, {"thirty minutes", 'P'}, {"15 minute", 'Q'}, {"12 minute", 'B'},
        {"minutes", 'O'}, {"quarter hour", 'Q'}, {"per day", 'D'}};
    for (const auto& [text, code] : cases) EXPECT_EQ(code, NqTimeAggregation::fromString(text)) << text;
    for (const char* code = ALL_CODES; *code; ++code)
        EXPECT_EQ(*code, NqTimeAggregation::fromString(period(*code).aggregationDesc()));
    for (const int secs : {86400, 0, -60, 61}) EXPECT_EQ(None, NqTimeAggregation::fromSeconds(secs));
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
        {"quarter_hour", FifteenMinute}, {"30 MINUTE", HalfHour}, {"thirty mins", HalfHour}, {"1 Hour", Hour},
        {"Month Hour", MonthHour}, {"  day ", Day}, {"weeks", Week}, {"Monthly", Month}};
    for (const auto& [text, code] : accepted) {
        TimeAggregationType got = None;
        EXPECT_TRUE(NqTimeAggregation::fromName(text, got) && got == code) << text;
    }
    for (const char* text : {"45 minute", "3 hours", "quarterly", "hourglass", "", "half", "minute 15", "15", "day day",
                             "hour\nday"}) {
        TimeAggregationType got = Year;
        EXPECT_FALSE(NqTimeAggregation::fromName(text, got) || got != Year) << text;
    }
}

// The lengths follow from each other and from the calendar: maxDays is the longest actualDays
// of any day of 2096-2104, around a century that is no leap year (by the date library), maxMinutes and maxSeconds its length or,
// below a day, the fixed length aggrSeconds, whose period fromSeconds names.
TEST(TimeAggregationText, LengthsAgreeWithTheCalendar) {
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

// clang-format off
TEST(QelPeriod, Names) {
    struct Case { const char* text; QelPeriod::Kind kind; char code; std::int64_t seconds; const char* name; bool dividesDay; };
    const Case accepted[] = {
        {"hour", QelPeriod::Named, 'H', 0, "hour", false}, {" 1 Hours", QelPeriod::Named, 'H', 0, "hour", false},
        {"05 minutes", QelPeriod::Named, 'F', 0, "5 minute", false},
        {" QUARTER ", QelPeriod::Quarter, 'N', 0, "quarter", false}, {"20 minutes", QelPeriod::Length, 'N', 1200, "20 minute", true},
        {"90 Seconds", QelPeriod::Length, 'N', 90, "90 second", true},
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
