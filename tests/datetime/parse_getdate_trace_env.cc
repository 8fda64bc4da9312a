// Runs with NQ_TRACE_GETDATE=1 and TZ=Europe/London in its environment.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "qelkit/datetime/get_date.h"
#include "qelkit/foundation/nq_trace.h"

namespace {

std::vector<std::string> traces;
void capture(const char* origin, const char* message) {
    EXPECT_STREQ(origin, "GetDate::parseDate()");
    traces.emplace_back(message);
}

using Lines = std::vector<std::string>;

// The trace lines of GetDate(text, format) with DATEMSK set to `datemsk` (null: unset).
Lines traced(const char* text, const char* format, const char* datemsk) {
    traces.clear();
    datemsk ? setenv("DATEMSK", datemsk, 1) : unsetenv("DATEMSK");
    const NqTraceSink previous = NqTraceStatic::setSink(capture);
    const GetDate g(text, format);
    NqTraceStatic::setSink(previous);
    return traces;
}

TEST(GetDateTrace, EachStepAndFailureIsTraced) {
    EXPECT_EQ(traced("", "%Y", nullptr), Lines{"WARNING: Attempt to parse null date string"});
    EXPECT_EQ(traced("x", "%Y", nullptr),
              (Lines{"x  <%Y>", "Error: strptime failed for conversion format - %Y; Date: x"}));
    EXPECT_EQ(traced("2007-04-09", nullptr, nullptr), Lines{"2007-04-09"});
    EXPECT_EQ(traced("1 2", nullptr, nullptr),
              (Lines{"1 2", "Error: RWTime unable to parse date - 1 2", "1 2  <>",
                     "Error: Failed to parse date: \"1 2\". The DATEMSK environment variable is "
                     "null or undefined.\n"}));
}

TEST(GetDateTrace, TemplateFailuresNameTheirReason) {
    const std::string dir = ::testing::TempDir(), file = dir + "qelkit_getdate_trace_templates";
    std::FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("%Y-%m-%d %H:%M\n", f);
    std::fclose(f);
    const std::string missing = dir + "qelkit_no_such_file";
    struct Case {
        const char* datemsk;
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {missing.c_str(), "1 2", "Failed to get file status information.\n"},
        {dir.c_str(), "1 2", "The template file is not a regular file.\n"},
        {file.c_str(), "1 2", "There is no line in the template that matches the input.\n"},
        {file.c_str(), "2007-02-31 10:00",
         "The input specification is invalid (for example, February 31).\n"},
        {file.c_str(), "2007-07-01 12:00", nullptr},
    };
    for (const Case& c : cases) {
        Lines want{std::string(c.text) + "  <>"};
        if (c.reason)
            want.push_back("Error: Failed to parse date: \"" + std::string(c.text) + "\". " +
                           c.reason);
        EXPECT_EQ(traced(c.text, "", c.datemsk), want) << c.text;
    }
    std::remove(file.c_str());
}

TEST(GetDateTrace, LocalTimesFollowDaylightSaving) {
    EXPECT_EQ(GetDate("2007-07-01 12:00", "%Y-%m-%d %H:%M").mktime(), 1183287600L);
    EXPECT_EQ(GetDate("2007-01-01 12:00", "%Y-%m-%d %H:%M").mktime(), 1167652800L);
    EXPECT_EQ(GetDate("1968-07-01 12:00", "%Y-%m-%d %H:%M").time(),
              RWTime(3108366000UL + RWTime::posixOffset));
}

}  // namespace
