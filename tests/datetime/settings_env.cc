// SPDX-License-Identifier: Apache-2.0
// Runs with TZ=Europe/London, in one process per setting (each started with one of
// NQ_TRACE_GETDATE, NQ_TRACE_DATECONVERT, NQ_DATEOUTPUTFMT, NQ_TIMEOUTPUTFMT set; a test whose
// setting is not on skips): GetDate reading through a DATEMSK template file written here, with
// the trace of each step; the trace of NqStringToDate's field parsers; the output formats after
// the first locale guard; the zone guard, which freezes the offset in force now (whatever today's
// date is) and puts back the zone before it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "qelkit/datetime/get_date.h"
#include "qelkit/datetime/nq_string_to_date.h"
#include "qelkit/datetime/qel_locale_snapshot.h"
#include "qelkit/datetime/qel_zone.h"
#include "tests/datetime/period_reference.h"
#include "tests/output_capture.h"

namespace {

using Lines = std::vector<std::string>;
using namespace output_capture;
using namespace period_reference;

// Skips the calling test unless the process was started with `name` set.
#define REQUIRE_SETTING(name) \
    if (std::getenv(name) == nullptr) GTEST_SKIP() << name << " is not set in this process"

// Local wall-clock time as an RWTime; year 0 stands for the invalid time.
RWTime local(int y, int mo = 1, int d = 1, int h = 0, int mi = 0, int s = 0) {
    return y ? RWDateTime(d, mo, y, h, mi, s, 0).toRWTime() : RWTime(0UL);
}

// clang-format off
TEST(GetDateTrace, ReadsTextByLocaleParserTemplatesOrFormatAndTracesEachStep) {
    REQUIRE_SETTING("NQ_TRACE_GETDATE");
    const std::string dir = ::testing::TempDir(), file = dir + "qelkit_getdate_templates";
    ASSERT_TRUE(std::ofstream(file) << "%Y-%m-%d %H:%M\n");
    const char* const msk = file.c_str();
    const std::string R = "Error: RWTime unable to parse date - ", P = "Error: Failed to parse date: \"", NUL = "WARNING: Attempt to parse null date string";
    const std::tuple<const char*, const char*, const char*, RWTime, Lines> cases[] = {
        {"04/09/07", nullptr, msk, local(2007, 4, 9), {"04/09/07"}},
        {"1950-04-09 10:00", "", msk, local(2050, 4, 9, 10), {"1950-04-09 10:00  <>"}},
        {"2007-02-31 10:00", "", msk, local(0), {"2007-02-31 10:00  <>", P + "2007-02-31 10:00\". The input specification is invalid (for example, February 31).\n"}},
        {"1 2", "", dir.c_str(), local(0), {"1 2  <>", P + "1 2\". The template file is not a regular file.\n"}},
        {"1 2", nullptr, nullptr, local(0), {"1 2", R + "1 2", "1 2  <>", P + "1 2\". The DATEMSK environment variable is null or undefined.\n"}},
        {"2007-04-09 14:09:43", "%Y-%m-%d %H:%M:%S", msk, local(2007, 4, 9, 14, 9, 43), {"2007-04-09 14:09:43  <%Y-%m-%d %H:%M:%S>"}},
        {"0000-01-02", "%Y-%m-%d", msk, local(2000, 1, 2), {"0000-01-02  <%Y-%m-%d>"}},
        {"0001-01-02", "%Y-%m-%d", msk, local(2001, 1, 2), {"0001-01-02  <%Y-%m-%d>"}},
        {"1968-03-01", "%Y-%m-%d", msk, local(2068, 3, 1), {"1968-03-01  <%Y-%m-%d>"}},
        {"1969-01-01", "%Y-%m-%d", msk, local(1969), {"1969-01-01  <%Y-%m-%d>"}},
        {"", "%Y", msk, local(0), {NUL}},
        {nullptr, nullptr, msk, local(0), {"", R, NUL}}};
    const TraceCapture sink;
    for (const auto& [text, format, datemsk, time, lines] : cases) {
        traces.clear();
        datemsk ? setenv("DATEMSK", datemsk, 1) : unsetenv("DATEMSK");
        EXPECT_EQ(time, GetDate(text, format).time()) << (text ? text : "(null)");
        Lines want;
        for (const std::string& line : lines) want.push_back("GetDate::parseDate()|" + line);
        EXPECT_EQ(want, traces) << (text ? text : "(null)");
    }
    std::remove(file.c_str());
}
// clang-format on

TEST(GetDateTrace, ConstructorsMoveYearsBefore1969OnAndMktimeWrapsTo32Bits) {
    REQUIRE_SETTING("NQ_TRACE_GETDATE");
    EXPECT_EQ(1183287600L, GetDate(local(2007, 7, 1, 12)).mktime());  // 11:00 UTC: BST
    EXPECT_EQ(-2147483648L, GetDate(RWTime(RWTime::posixOffset + 2147483648UL)).mktime());
    tm t{};
    t.tm_year = 50, t.tm_mon = 5, t.tm_mday = 15, t.tm_hour = 10;
    EXPECT_EQ(GetDate(&t).time(), local(2050, 6, 15, 10));
    EXPECT_EQ(GetDate(RWDate(1, 7, 1968)).time(), utc(2068, 6, 30, 23));
    // A failed parse keeps the held instant; parseDate() leaves the year alone.
    GetDate g(local(2007, 4, 9));
    g.parseDate("x", "%Y");
    EXPECT_EQ(g.time(), local(2007, 4, 9));
    g.parseDate("1950-01-01", "%Y-%m-%d");
    EXPECT_EQ(g.time(), local(1950));
    g.fixYear();
    EXPECT_EQ(g.time(), local(2050));
}

// clang-format off
TEST(StringToDateTrace, FieldParsersTraceInputAndBrokenDownTime) {
    REQUIRE_SETTING("NQ_TRACE_DATECONVERT");
    using Convert = RWDateTime (*)(const QelString&);
    const std::tuple<Convert, const char*, Lines> cases[] = {
        {NqStringToDate::nq::datetime, "2007-04-09 14:09:43",
         {"NqStringConvert::setDateYYYYMMDD()|2007-04-09", "NqStringConvert::setDateFromTm()|TM: 107 3 9 0 0 0 0 0",
          "NqStringConvert::setTime24HR()| 14:09:43", "NqStringConvert::setTimeFromTm()|TM: 107 3 9 14 9 43 0 0"}},
        {NqStringToDate::qel::date, "2007/4/9 x", {"NqStringConvert::setDateAll()|2007/4/9 x", "NqStringConvert::setDateFromTm()|TM: 107 3 9 0 0 0 0 0"}}};
    const TraceCapture sink;
    for (const auto& [convert, text, want] : cases) {
        traces.clear();
        convert(text);
        EXPECT_EQ(want, traces) << text;
    }
}
// clang-format on

// A format set in the environment survives the first guard; an unset one follows the time
// locale (POSIX here: not "en_UK").
TEST(OutputFormats, SetFormatsSurviveTheFirstGuard) {
    const char* date = std::getenv("NQ_DATEOUTPUTFMT");
    const char* time = std::getenv("NQ_TIMEOUTPUTFMT");
    if (date == nullptr && time == nullptr) GTEST_SKIP() << "no output format set";
    const QelLocaleSnapshot guard("de");
    EXPECT_STREQ(date ? date : "%m/%d/%Y", QelLocaleSnapshot::dateOutputFormat().data());
    EXPECT_STREQ(time ? time : "%H:%M:%S", QelLocaleSnapshot::timeOutputFormat().data());
}

TEST(PeriodLondon, ZoneGuardFreezesTheOffsetInForceNowAndRestoresInReverseOrder) {
    ASSERT_FALSE(__envEnableDSTRules.isOn());
    tzset();
    const std::time_t now = std::time(nullptr);
    struct tm local = {};
    localtime_r(&now, &local);
    const RWZone* before = &RWZone::local();
    {
        const QelZone guard;
        const RWZone* fixed = &RWZone::local();
        EXPECT_TRUE(fixed != before && !fixed->daylightObserved());
        EXPECT_EQ(-local.tm_gmtoff, fixed->timeZoneOffset());
        EXPECT_EQ(-local.tm_gmtoff, fixed->altZoneOffset());
        // Noon UTC in January and in July both read noon plus the frozen offset.
        const unsigned frozenHour = static_cast<unsigned>(12 + local.tm_gmtoff / 3600);
        EXPECT_EQ(frozenHour, utc(2007, 1, 15, 12).hour());
        EXPECT_EQ(frozenHour, utc(2007, 7, 15, 12).hour());
        {
            const QelZone inner;
            EXPECT_NE(fixed, &RWZone::local());
        }
        EXPECT_EQ(fixed, &RWZone::local());
    }
    EXPECT_EQ(before, &RWZone::local());
}

}  // namespace
