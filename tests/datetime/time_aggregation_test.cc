#include <date/date.h>
#include <date/iso_week.h>
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/datetime/qel_date.h"
#include "qelkit/foundation/nq_trace.h"
#include "tests/datetime/period_reference.h"

namespace {

using period_reference::literalTruncate;
using period_reference::LocalZone;

constexpr const char* ALL_CODES = "OBFTQPHAUVDWMYN";

// RWTime of a UTC civil time, computed through the date library, not through qelkit.
RWTime utc(int y, unsigned m, unsigned d, int h = 0, int mi = 0, int s = 0) {
    const long long days = date::sys_days(date::year(y) / m / d).time_since_epoch().count();
    return RWTime(static_cast<unsigned long>(days * 86400 + h * 3600 + mi * 60 + s) +
                  RWTime::posixOffset);
}
RWTime utc(date::sys_days day) {
    return RWTime(day.time_since_epoch().count() * 86400UL + RWTime::posixOffset);
}

NqTimeAggregation period(char code) {
    return NqTimeAggregation(static_cast<TimeAggregationType>(code));
}

// Collects the trace lines written while it lives, as "origin|message".
struct TraceCapture {
    static std::vector<std::string>* target;
    std::vector<std::string> lines;
    NqTraceSink previous;
    TraceCapture() : previous(NqTraceStatic::setSink(add)) { target = &lines; }
    ~TraceCapture() { NqTraceStatic::setSink(previous); }
    static void add(const char* origin, const char* message) {
        target->push_back(std::string(origin) + "|" + message);
    }
};
std::vector<std::string>* TraceCapture::target = nullptr;

// clang-format off
TEST(TimeAggregationText, FromStringTestsSubstringsInOrder) {
    const std::pair<const char*, char> cases[] = {
        {"", 'N'}, {"fortnight", 'N'}, {"Ten Minute", 'T'}, {"Quarter", 'Q'}, {"HALF", 'P'},
        {"week-hour", 'U'}, {"thirty minutes", 'P'}, {"15 minute", 'Q'}, {"5 minute", 'F'},
        {"12 minute", 'B'}, {"minutes", 'O'}, {"All Hours", 'A'}, {"Month-Hour", 'V'},
        {"half hour", 'P'}, {"quarter hour", 'Q'}, {"hourly", 'H'}, {"per day", 'D'},
        {"weekly", 'W'}, {"Monthly", 'M'}, {"YEAR", 'Y'}, {"two minute", 'B'}};
    for (const auto& [text, code] : cases) EXPECT_EQ(code, NqTimeAggregation::fromString(text)) << text;
    for (const char* code = ALL_CODES; *code; ++code) {
        EXPECT_EQ(*code, NqTimeAggregation::fromString(period(*code).aggregationDesc()));
    }
    const std::pair<int, char> seconds[] = {{60, 'O'}, {120, 'B'}, {300, 'F'}, {600, 'T'}, {900, 'Q'},
        {1800, 'P'}, {3600, 'H'}, {86400, 'N'}, {0, 'N'}, {-60, 'N'}, {61, 'N'}};
    for (const auto& [secs, code] : seconds) EXPECT_EQ(code, NqTimeAggregation::fromSeconds(secs));
}

TEST(TimeAggregationText, ColumnsFollowTheCode) {
    const std::tuple<char, const char*, int, int, int, int, const char*> rows[] = {
        {'O', "One Minute", 60, 60, 1, 0, "'YYYY-MM-DD HH24:MI'"},
        {'B', "Two Minute", 120, 120, 2, 0, "'YYYY-MM-DD HH24:MI'"},
        {'F', "Five Minute", 300, 300, 5, 0, "'YYYY-MM-DD HH24:MI'"},
        {'T', "Ten Minute", 600, 600, 10, 0, "'YYYY-MM-DD HH24:MI'"},
        {'Q', "Fifteen Minute", 900, 900, 15, 0, "'YYYY-MM-DD HH24:MI'"},
        {'P', "Half-Hour", 1800, 1800, 30, 0, "'YYYY-MM-DD HH24:MI'"},
        {'H', "Hour", 3600, 3600, 60, 0, "'YYYY-MM-DD HH24'"},
        {'A', "All Hours", 0, 0, 0, 0, "'Unrecognized Frequency'"},
        {'U', "Week-Hour", 0, 0, 0, 0, "'IYYY-IW HH24'"},
        {'V', "Month-Hour", 0, 0, 0, 0, "'YYYY-MM HH24'"},
        {'D', "Day", 0, 86400, 1440, 1, "'YYYY-MM-DD'"},
        {'W', "Week", 0, 604800, 10080, 7, "'IYYY-IW'"},
        {'M', "Month", 0, 2678400, 44640, 31, "'YYYY-MM'"},
        {'Y', "Year", 0, 31622400, 527040, 366, "'YYYY'"},
        {'N', "None", 0, 0, 0, 0, "'YYYY-MM-DD HH24:MI:SS'"},
        {'Z', "Unknown", 0, 0, 0, 0, "'Unrecognized Frequency'"}};
    for (const auto& [code, desc, aggr, maxS, maxM, maxD, format] : rows) {
        const NqTimeAggregation p = period(code);
        EXPECT_EQ(code, p.code());
        EXPECT_EQ(std::string(1, code), p.toString().data());
        EXPECT_EQ(std::make_tuple(std::string(desc), aggr, maxS, maxM, maxD, std::string(format)),
                  std::make_tuple(std::string(p.aggregationDesc()), p.aggrSeconds(), p.maxSeconds(),
                                  p.maxMinutes(), p.maxDays(), std::string(p.oracleDateFormat().data())));
    }
    // Periods that share a format share one constant object.
    EXPECT_EQ(&period('O').oracleDateFormat(), &period('P').oracleDateFormat());
}

TEST(TimeAggregationText, OracleToCharAndActualDays) {
    EXPECT_STREQ("to_char(d, 'YYYY-MM-DD')", period('D').oracleToChar("d").data());
    EXPECT_STREQ("to_char(d, 'Unrecognized Frequency')", period('A').oracleToChar("d").data());
    EXPECT_STREQ("to_char(ts+1, 'IYYY-IW')", period('W').oracleToChar("ts").data());
    const std::tuple<char, RWDate, int> cases[] = {
        {'M', RWDate(1, 2, 2008), 29}, {'M', RWDate(29, 2, 2008), 29}, {'M', RWDate(9, 2, 2007), 28},
        {'M', RWDate(9, 4, 2007), 30}, {'Y', RWDate(9, 4, 2008), 366}, {'Y', RWDate(9, 4, 1900), 365},
        {'D', RWDate(9, 4, 2007), 1}, {'W', RWDate(9, 4, 2007), 7}, {'H', RWDate(9, 4, 2007), 0}};
    for (const auto& [code, day, n] : cases) EXPECT_EQ(n, period(code).actualDays(day)) << code;
}

// Local time is UTC for these tests.
class UtcPeriods : public ::testing::Test {
  protected:
    RWZoneSimple utcZone{0, "UTC"};
    LocalZone guard{utcZone};
};

TEST_F(UtcPeriods, SubDailyCodesRoundTheMinuteDown) {
    const RWTime t = utc(2007, 4, 11, 14, 37, 52);
    const std::pair<char, int> cases[] = {{'O', 37}, {'B', 36}, {'F', 35}, {'T', 30}, {'Q', 30}, {'P', 30}, {'H', 0}};
    for (const auto& [code, minute] : cases) EXPECT_EQ(utc(2007, 4, 11, 14, minute), period(code).truncate(t)) << code;
    EXPECT_EQ(t, period('N').truncate(t));
    EXPECT_EQ(utc(1970, 1, 1), period('A').truncate(t));
}

// A second before the start of a period, at it and after it.
TEST_F(UtcPeriods, EveryCodeAroundItsBoundary) {
    const std::tuple<char, int, RWTime, RWTime> cases[] = {
        {'O', 7, utc(2007, 4, 11, 14, 38), utc(2007, 4, 11, 14, 37)},
        {'B', 7, utc(2007, 4, 11, 14, 38), utc(2007, 4, 11, 14, 36)},
        {'F', 7, utc(2007, 4, 11, 14, 40), utc(2007, 4, 11, 14, 35)},
        {'T', 7, utc(2007, 4, 11, 14, 40), utc(2007, 4, 11, 14, 30)},
        {'Q', 7, utc(2007, 4, 11, 15, 0), utc(2007, 4, 11, 14, 45)},
        {'P', 7, utc(2007, 4, 11, 0, 0), utc(2007, 4, 10, 23, 30)},
        {'H', 7, utc(2008, 1, 1, 0, 0), utc(2007, 12, 31, 23, 0)},
        {'D', 7, utc(2008, 3, 1), utc(2008, 2, 29)},
        {'W', 7, utc(2007, 4, 15), utc(2007, 4, 8)},
        {'W', 3, utc(2007, 4, 11), utc(2007, 4, 4)},
        {'U', 1, utc(2007, 4, 9), utc(2007, 4, 2, 23)},
        {'V', 7, utc(2007, 5, 1), utc(2007, 4, 1, 23)},
        {'M', 7, utc(2008, 3, 1), utc(2008, 2, 1)},
        {'Y', 1, utc(2008, 12, 29), utc(2007, 12, 31)},
        {'Y', 7, utc(2006, 12, 31), utc(2006, 1, 1)}};
    for (const auto& [code, sow, boundary, previous] : cases) {
        const NqTimeAggregation p = period(code);
        EXPECT_EQ(previous, p.truncate(boundary - 1, sow)) << code << sow;
        EXPECT_EQ(boundary, p.truncate(boundary, sow)) << code << sow;
        EXPECT_EQ(boundary, p.truncate(boundary + 1, sow)) << code << sow;
    }
}

TEST_F(UtcPeriods, WeeksAndYearsStartOnTheConfiguredDay) {
    ASSERT_EQ(7, QelDate::startOfWeek());
    const RWTime wednesday = utc(2007, 4, 11, 14, 37);
    EXPECT_EQ(utc(2007, 4, 8), period('W').truncate(wednesday));
    EXPECT_EQ(utc(2007, 4, 8, 14), period('U').truncate(wednesday));
    EXPECT_EQ(utc(2007, 4, 8), period('W').truncate(utc(2007, 4, 8)));
    EXPECT_EQ(utc(2006, 12, 31), period('Y').truncate(utc(2007, 6, 1)));
    EXPECT_EQ(utc(2008, 12, 29), period('Y').truncate(utc(2008, 12, 30), 1));
    EXPECT_EQ(utc(2008, 12, 29), period('Y').truncate(utc(2010, 1, 2), 1));
}
// clang-format on

// Twenty years of days, three times of day, every start of week, against the date library.
TEST_F(UtcPeriods, WeekWalksMatchTheCalendarOverTwentyYears) {
    using namespace date;
    for (sys_days day = sys_days(2000_y / 1 / 1); day < sys_days(2020_y / 1 / 1); day += days(1)) {
        const unsigned isoDay = weekday(day).iso_encoding();
        const int year = int(year_month_day(day).year());
        for (int sow = 1; sow <= 7; ++sow) {
            const sys_days weekStart = day - days((isoDay - sow + 7) % 7);
            sys_days yearStart;
            for (int y = year + 1;; --y) {
                yearStart =
                    sys_days(date::year(y) / January / Thursday[1]) - days((4 - sow + 7) % 7);
                if (yearStart <= day) break;
            }
            if (sow == 1) {
                const auto isoYear = iso_week::year_weeknum_weekday(day).year();
                ASSERT_EQ(sys_days(isoYear / iso_week::weeknum(1) / iso_week::mon), yearStart);
            }
            for (long secs : {0L, 45296L, 86399L}) {
                const RWTime t = utc(day) + static_cast<unsigned long>(secs);
                ASSERT_EQ(utc(weekStart), period('W').truncate(t, sow)) << t.seconds() << sow;
                ASSERT_EQ(utc(weekStart) + secs / 3600 * 3600UL, period('U').truncate(t, sow));
                ASSERT_EQ(utc(yearStart), period('Y').truncate(t, sow)) << t.seconds() << sow;
            }
        }
    }
}

// Under fixed offsets the weekday walks are replaced by arithmetic; it must agree with them.
TEST(TimeAggregationTruncate, ArithmeticMatchesTheLiteralWalkUnderFixedOffsets) {
    // Results before 1901 are invalid and traced; those traces are expected here.
    const TraceCapture quiet;
    unsigned long long state = 12345;
    for (long offset : {0L, 3600L, -3600L, -19800L, 34200L, -50400L, 43200L}) {
        RWZoneSimple zone(offset, "X");
        LocalZone guard(zone);
        for (int i = 0; i < 3000; ++i) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            // 1901-12-20 .. about 2110, finer near the low end of the arithmetic range.
            const unsigned long secs = i < 100 ? 31536000UL - 864000 + (state >> 44) % 1728000
                                               : 30000000UL + (state >> 20) % 6600000000ULL;
            const RWTime t(secs);
            const int sow = 1 + static_cast<int>(state >> 60) % 7;
            for (const char* code = ALL_CODES; *code; ++code) {
                ASSERT_EQ(literalTruncate(*code, t, sow), period(*code).truncate(t, sow))
                    << *code << " " << secs << " " << sow << " " << offset;
            }
        }
    }
}

// clang-format off
TEST_F(UtcPeriods, FailuresAreTracedAndReturnInvalid) {
    const std::string tag = "NqTimeAggregation::truncate()|";
    const RWTime t = utc(2007, 4, 11, 14, 37, 52);
    const std::tuple<char, RWTime, int, unsigned long, std::vector<std::string>> cases[] = {
        {'H', RWTime(0UL), 7, 0, {tag + "Error: Invalid date conversion. date= #INVALID# to=#INVALID#",
                                  tag + "Error: Invalid date truncation. date= #INVALID#(#INVALID#) -> #INVALID#  Aggregation: Hour"}},
        {'O', RWTime(1UL), 7, 0, {tag + "Error: Invalid date truncation. date= 01/01/01 00:00:01(1901-01-01T00:00:01) -> #INVALID#  Aggregation: One Minute"}},
        {'N', RWTime(1UL), 7, 1, {}},
        {'Z', t, 7, t.seconds(), {tag + "default = 04/11/07 14:37:52"}},
        {'W', t, 0, 0, {tag + "Error: start of week out of range (1..7): 0  Aggregation: Week"}},
        {'U', t, 8, 0, {tag + "Error: start of week out of range (1..7): 8  Aggregation: Week-Hour"}},
        {'Y', t, INT_MIN, 0, {tag + "Error: start of week out of range (1..7): -2147483648  Aggregation: Year"}},
        {'H', t, 0, 0, {tag + "Error: start of week out of range (1..7): 0  Aggregation: Hour"}}};
    for (const auto& [code, time, sow, result, lines] : cases) {
        const TraceCapture capture;
        EXPECT_EQ(result, period(code).truncate(time, sow).seconds()) << code;
        EXPECT_EQ(lines, capture.lines) << code;
    }
}
// clang-format on

}  // namespace
