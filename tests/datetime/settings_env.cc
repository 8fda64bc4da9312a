// SPDX-License-Identifier: Apache-2.0
// Runs with TZ=Europe/London, in one process per setting (each started with one of
// NQ_TRACE_GETDATE, NQ_TRACE_DATECONVERT, NQ_DATEOUTPUTFMT, NQ_TIMEOUTPUTFMT set; a test whose
// setting is not on skips): GetDate reading through a DATEMSK template file written here, with
// the trace of each step; the trace of NqStringToDate's field parsers; the output formats after
// the first locale guard; period truncation across daylight-saving changes with and without the
// zone guard, which freezes the offset in force now (whatever today's date is).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <string_view>
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
    const std::string dir = ::testing::TempDir(), file = dir + "qelkit_getdate_templates", missing = dir + "qelkit_no_such_file";
    ASSERT_TRUE(std::ofstream(file) << "%Y-%m-%d %H:%M\n");
    const char* const msk = file.c_str();
    const std::string R = "Error: RWTime unable to parse date - ", P = "Error: Failed to parse date: \"", NUL = "WARNING: Attempt to parse null date string";
    const std::tuple<const char*, const char*, const char*, RWTime, Lines> cases[] = {
        {"04/09/07", nullptr, msk, local(2007, 4, 9), {"04/09/07"}},
        {"1950-04-09 10:00", "", msk, local(2050, 4, 9, 10), {"1950-04-09 10:00  <>"}},
        {"2007-02-31 10:00", "", msk, local(0), {"2007-02-31 10:00  <>", P + "2007-02-31 10:00\". The input specification is invalid (for example, February 31).\n"}},
        {"04/09/2007", "", msk, local(0), {"04/09/2007  <>", P + "04/09/2007\". There is no line in the template that matches the input.\n"}},
        {"1 2", "", missing.c_str(), local(0), {"1 2  <>", P + "1 2\". Failed to get file status information.\n"}},
        {"1 2", "", dir.c_str(), local(0), {"1 2  <>", P + "1 2\". The template file is not a regular file.\n"}},
        {"1 2", nullptr, nullptr, local(0), {"1 2", R + "1 2", "1 2  <>", P + "1 2\". The DATEMSK environment variable is null or undefined.\n"}},
        {"2007-04-09 14:09:43", "%Y-%m-%d %H:%M:%S", msk, local(2007, 4, 9, 14, 9, 43), {"2007-04-09 14:09:43  <%Y-%m-%d %H:%M:%S>"}},
        {"0000-01-02", "%Y-%m-%d", msk, local(2000, 1, 2), {"0000-01-02  <%Y-%m-%d>"}},
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
        {NqStringToDate::nq::time, "14", {"NqStringConvert::setTime24HR()|14", "NqStringToDate::nq::time() Error |14"}},
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

// The instant of a London wall-clock time by glibc's mktime, or -1 inside a daylight gap or
// overlap, where the reading has no single instant.
std::int64_t glibcInstant(date::sys_days day, int hour, int minute) {
    const date::year_month_day ymd{day};
    std::int64_t found = -1;
    for (int dst : {0, 1}) {
        struct tm x = {};
        x.tm_year = int(ymd.year()) - 1900, x.tm_mon = int(unsigned(ymd.month())) - 1;
        x.tm_mday = int(unsigned(ymd.day())), x.tm_hour = hour, x.tm_min = minute;
        x.tm_isdst = dst;
        const std::time_t t = std::mktime(&x);
        struct tm back;
        localtime_r(&t, &back);
        if (back.tm_mday != int(unsigned(ymd.day())) || back.tm_hour != hour ||
            back.tm_min != minute)
            continue;  // mktime moved a reading that does not exist with this flag
        if (found != -1 && found != t) return -1;
        found = t;
    }
    return found;
}

// glibc's London reading of an instant: its local day and weekday (1 Monday .. 7 Sunday).
date::sys_days localDay(std::int64_t t, struct tm* w) {
    const std::time_t tt = static_cast<std::time_t>(t);
    localtime_r(&tt, w);
    return date::sys_days{date::year(w->tm_year + 1900) / (w->tm_mon + 1) / w->tm_mday};
}
unsigned weekDay(std::int64_t t) {
    struct tm w;
    localDay(t, &w);
    return w.tm_wday == 0 ? 7 : unsigned(w.tm_wday);
}

// The period start the truncation rules give, computed with glibc's London time (POSIX seconds;
// -1 where the wall-clock start has no single instant). The weekday walks step 24 hours.
std::int64_t glibcStart(char code, std::int64_t t, unsigned sow) {
    struct tm w;
    const date::sys_days day = localDay(t, &w);
    const date::year_month_day ymd{day};
    const int hour = w.tm_hour;
    const std::string_view subHour = "OBFTQPH";
    static const int step[] = {1, 2, 5, 10, 15, 30, 60};
    if (const std::size_t i = subHour.find(code); i != std::string_view::npos)
        return glibcInstant(day, hour, w.tm_min / step[i] * step[i]);
    std::int64_t s = t;
    switch (code) {
        case 'D':
            return glibcInstant(day, 0, 0);
        case 'M':
        case 'V':
            return glibcInstant(date::sys_days{ymd.year() / ymd.month() / 1},
                                code == 'V' ? hour : 0, 0);
        case 'A':
            return glibcInstant(date::sys_days{date::year(1970) / 1 / 1}, 0, 0);
        case 'W':
        case 'U':
            while (weekDay(s) != sow) s -= 86400;
            return glibcInstant(localDay(s, &w), code == 'U' ? hour : 0, 0);
        case 'Y':
            // The week holding the year's first Thursday starts the year.
            for (int y = int(ymd.year()) + 1;; --y) {
                s = glibcInstant(date::sys_days{date::year(y) / 1 / 1}, 0, 0);
                while (weekDay(s) != 4) s += 86400;
                while (weekDay(s) != sow) s -= 86400;
                if (s <= t) return s;
            }
        default:
            return t;
    }
}

// Every code and start of week over the eight days either side of changes (1968-71 British
// Standard Time included), at odd steps so that every minute of the hour comes up, and around
// each period start found, against glibc. One of the four processes is enough.
TEST(PeriodLondon, DaylightDaysFollowTheWallClock) {
    REQUIRE_SETTING("NQ_TIMEOUTPUTFMT");
    for (const RWTime& change : {utc(1968, 2, 18, 2), utc(1971, 10, 31, 2), utc(2007, 3, 25, 1),
                                 utc(2007, 10, 28, 1), utc(2036, 10, 26, 1)}) {
        for (RWTime t = change - 8 * 86400UL; t < change + 8 * 86400UL; t += 997) {
            for (const char* code = ALL_CODES; *code; ++code) {
                const unsigned sow = 1 + t.seconds() % 7;
                const RWTime start = period(*code).truncate(t, sow);
                for (const RWTime& u : {t, start - 1, start, start + 1}) {
                    const std::int64_t want =
                        glibcStart(*code, std::int64_t(u.seconds()) - RWTime::posixOffset, sow);
                    if (want == -1) continue;
                    ASSERT_EQ(want + RWTime::posixOffset, period(*code).truncate(u, sow).seconds())
                        << *code << " " << u.seconds() << " " << sow;
                }
            }
        }
    }
}

TEST(PeriodLondon, ZoneGuardFreezesTheOffsetInForceNow) {
    tzset();
    const std::time_t now = std::time(nullptr);
    struct tm local = {};
    localtime_r(&now, &local);
    const QelZone guard;
    EXPECT_EQ(-local.tm_gmtoff, RWZone::local().timeZoneOffset());
    EXPECT_EQ(-local.tm_gmtoff, RWZone::local().altZoneOffset());
    // Noon UTC in January and in July both read noon plus the frozen offset.
    const unsigned frozenHour = static_cast<unsigned>(12 + local.tm_gmtoff / 3600);
    EXPECT_EQ(frozenHour, utc(2007, 1, 15, 12).hour());
    EXPECT_EQ(frozenHour, utc(2007, 7, 15, 12).hour());
}

}  // namespace
