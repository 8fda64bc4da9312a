// SPDX-License-Identifier: Apache-2.0
// Runs with TZ=America/Sao_Paulo in three processes: NQ_USE_BROKEN_DATECONVERT=1 with the
// default field order M/D/Y, the same with NQ_AMBIGUOUS_DATEFORMAT=D/M/Y, and
// NQ_ENABLE_DST_RULES=1 alone. A test whose setting is not on skips.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "qelkit/datetime/nq_string_to_date.h"
#include "qelkit/datetime/qel_zone.h"
#include "qelkit/records/nq_exception.h"
#include "tests/output_capture.h"

namespace {

using output_capture::traces;

// clang-format off
// Each row holds the expectation for both field orders, and whether the text is ambiguous.
TEST(BrokenDateConvert, DatesFollowTheAmbiguousFieldOrder) {
    if (std::getenv("NQ_USE_BROKEN_DATECONVERT") == nullptr) GTEST_SKIP();
    const bool dmy = std::getenv("NQ_AMBIGUOUS_DATEFORMAT") != nullptr;
    const std::tuple<const char*, const char*, const char*, bool> cases[] = {
        {"04/09/2007", "2007-04-09", "2007-09-04", true},
        {"2007/04/09", "2007-04-09", "2007-04-09", false},
        {"13/12/07", "Date format obviously incorrect for 13/12/07", "2007-12-13", true},
        {"07-04-09", "2009-07-04", "2009-04-07", true},
        {"04/09", "invalid", "invalid", false}};
    const output_capture::TraceCapture sink;
    for (const auto& [text, mdy, dmyWant, ambiguous] : cases) {
        traces.clear();
        std::string outcome;
        try {
            const RWDateTime dt = NqStringToDate::nq::date(text);
            outcome = dt.isValid() ? std::string(dt.asString("%Y-%m-%d")) : "invalid";
        } catch (const NqException& e) {
            outcome = e.why();
        }
        EXPECT_EQ(outcome, dmy ? dmyWant : mdy) << text;
        const std::string warning = std::string("NqStringConvert::setDateAll()|ERROR: Ambiguous date '") + text + "'.  Using format " + (dmy ? "D/M/Y" : "M/D/Y");
        EXPECT_EQ(ambiguous, !traces.empty() && traces[0] == warning) << text;
    }
}
// clang-format on

// Clocks jumped from 00:00 to 01:00 on 4 November 2018: that midnight does not exist, so
// nq::datetime cannot take the date it parsed as the date its midnight reads back. It must then
// agree with the two field parsers run one after the other.
TEST(StringToDateGap, DateAndTimeAgreeWithTheStepsAroundAMidnightGap) {
    for (const char* day : {"2018-11-03", "2018-11-04", "2018-11-05", "2019-02-17"}) {
        RWDateTime steps(RWDateTime::invalid);
        ASSERT_TRUE(NqStringToDate::setDateYYYYMMDD(steps, day));
        ASSERT_TRUE(NqStringToDate::setTime24HR(steps, "10:30:15"));
        const RWDateTime fused = NqStringToDate::nq::datetime(QelString(day) + " 10:30:15");
        EXPECT_TRUE(fused.isValid()) << day;
        EXPECT_EQ(fused, steps) << day;
    }
}

TEST(DstRules, ZoneGuardKeepsTheSystemZone) {
    if (std::getenv("NQ_ENABLE_DST_RULES") == nullptr) GTEST_SKIP();
    ASSERT_TRUE(__envEnableDSTRules.isOn());
    const RWZone* before = &RWZone::local();
    const QelZone guard;
    EXPECT_EQ(before, &RWZone::local());
}

}  // namespace
