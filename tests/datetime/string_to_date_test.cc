// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "qelkit/datetime/nq_string_to_date.h"
#include "qelkit/records/nq_exception.h"
#include "tests/output_capture.h"

namespace {

using S = NqStringToDate;
using namespace output_capture;

// Local "YYYY-MM-DD hh:mm:ss.mmm" of a valid value, else "invalid".
std::string show(const RWDateTime& dt) {
    if (!dt.isValid()) return "invalid";
    return std::string(dt.asString("%Y-%m-%d %H:%M:%S.")) +
           std::to_string(dt.milliSecond() + 1000).substr(1);
}

class StringToDate : public ::testing::Test {
  protected:
    const TraceCapture sink_;
};

// clang-format off
// An invalid result is traced under the conversion's tag ("" here: no trace expected). The values
// of the nq conversions are string_to_date_fuzz's, against a literal reading of their steps.
TEST_F(StringToDate, ConversionsReadFieldsAndThrowOnMalformedOnes) {
    using Convert = RWDateTime (*)(const QelString&);
    const std::tuple<Convert, const char*, const char*, const char*> cases[] = {
        {S::nq::date, "2007-02-31", "invalid", "NqStringToDate::nq::date() Error |2007-02-31"},
        {S::nq::datetime, "2007-04-09 25:00", "invalid", "NqStringToDate::nq::datetime() Error |2007-04-09 25:00"},
        {S::qel::time, "14.09", "invalid", "NqStringToDate::qel::time() Error |14.09"},
        {S::qel::date, "Apr 9, 2007", "2007-04-09 00:00:00.000", ""},
        {S::qel::datetime, "04/09/2007 2:09 PM", "2007-04-09 14:09:00.000", ""},
        {S::qel::datetime, "2007-04-09T14:09:43", "2007-04-09 00:00:00.000", ""}};
    for (const auto& [convert, text, want, trace] : cases) {
        traces.clear();
        try {
            EXPECT_EQ(show(convert(text)), want) << text;
        } catch (const NqException& e) {
            EXPECT_EQ(std::string("throw: ") + e.why(), want) << text;
        }
        EXPECT_EQ(*trace ? std::vector<std::string>{trace} : std::vector<std::string>{}, traces) << text;
    }
}

TEST_F(StringToDate, FieldOrderFollowsFormatUnlessFirstFieldIsAYear) {
    const std::tuple<const char*, const char*, const char*, bool> cases[] = {
        {"2007/04/09", "D/M/Y", "2007-04-09 00:00:00.000", false}, {"07-04-09", "Y-M-D", "2007-04-09 00:00:00.000", false},
        {"1 2 69", "M/D/Y", "1969-01-02 00:00:00.000", true}, {"1 2 3", "M", "invalid", true}, {"04/09", "M/D/Y", "not stored", false},
        {"04/09/07", "M/D/Y/D", "2007-04-09 00:00:00.000", true}};  // the first three letters count
    for (const auto& [text, format, want, ambiguous] : cases) {
        traces.clear();
        RWDateTime dt(RWDateTime::invalid);
        EXPECT_EQ(S::setDateAll(dt, text, format) ? show(dt) : "not stored", want) << text;
        const std::string msg = std::string("NqStringConvert::setDateAll()|ERROR: Ambiguous date '") + text + "'.  Using format " + format;
        EXPECT_EQ(traces, ambiguous ? std::vector<std::string>{msg} : std::vector<std::string>{});
    }
}

// clang-format on

}  // namespace
