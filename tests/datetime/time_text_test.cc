// SPDX-License-Identifier: Apache-2.0
// The patterns QelTimeText refuses, with the reason. What it reads is checked elsewhere:
// time_text_fuzz holds the epoch formats to the decimal digits of the text, patterns to the
// fields the text was written from, and every layout to its own plain writing; qelkit-agg's
// tests (agg_cli_test.py, agg_differential.py) check the values of the default layouts.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "qelkit/datetime/qel_time_text.h"

namespace {

// clang-format off
TEST(TimeText, PatternsRefusedWithTheReason) {
    const std::pair<std::string, const char*> refused[] = {
        {"%Y-%m", "needs a year (%Y or %y), a month (%m or %b) and a day"}, {"%H:%M", "needs a year"},
        {"%Y-%m-%d %q", "%q is no directive"}, {"%Y-%m-%d %", "ends with a lone '%'"},
        {"%Y-%m-%d %y", "%y gives the year a second time (after %Y)"},
        {"%b %e %d %Y", "%d gives the day a second time (after %e)"},
        {"%Y-%m-%d %I:%M", "%I needs %p"}, {"%Y-%m-%d %H %p", "%p needs the hour as %I"},
        {"%Y-%m-%d %p", "%p needs the hour as %I"}, {"%Y-%m-%d" + std::string(44, 'x'), "more than 48 steps"}};
    for (const auto& [pattern, reason] : refused) {
        QelTimeText reader(QelTimeText::MonthFirst);
        std::string why;
        EXPECT_FALSE(QelTimeText::pattern(pattern, reader, why)) << pattern;
        EXPECT_NE(std::string::npos, why.find(reason)) << pattern << ": " << why;
        EXPECT_EQ(QelTimeText::MonthFirst, reader.format()) << pattern;
    }
    // 48 steps are taken; a reader made as a pattern without one reads nothing.
    QelTimeText reader(QelTimeText::MonthFirst), empty(QelTimeText::Pattern);
    std::string why;
    EXPECT_TRUE(QelTimeText::pattern("%Y-%m-%d" + std::string(43, 'x'), reader, why)) << why;
    EXPECT_EQ(QelTimeText::Pattern, reader.format());
    QelTimeText::Time t;
    EXPECT_EQ(QelTimeText::NoLayout, empty.read("2023-06-01", t));
}
// clang-format on

}  // namespace
