// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/nq_trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qelkit/foundation/rw_cstring.h"
#include "tests/output_capture.h"

namespace {

using namespace output_capture;

TEST(Trace, SinkReplacesStandardErrorAndGetsTextsUpToNul) {
    traces.clear();
    EXPECT_EQ(nullptr, NqTraceStatic::setSink(collectTrace));  // the default was active
    const RWCString withNul("ab\0cd", 5);
    EXPECT_EQ("", cerrOf([&] {
                  NqTraceStatic::output("origin", "line\n");
                  NqTraceStatic::output(withNul, withNul);
                  NqTraceStatic::output(nullptr, static_cast<const char*>(nullptr));
              }));
    EXPECT_EQ(collectTrace, NqTraceStatic::setSink(nullptr));  // restores the default
    EXPECT_EQ((std::vector<std::string>{"origin|line\n", "ab|ab", "|"}), traces);
}

TEST(Trace, DefaultSinkWritesOneLinePerCallToStandardError) {
    EXPECT_EQ("GetDate::parseDate(): bad field\no: ends with newline\n: \n", cerrOf([] {
                  NqTraceStatic::output("GetDate::parseDate()", "bad field");
                  NqTraceStatic::output("o", "ends with newline\n");
                  NqTraceStatic::output(nullptr, static_cast<const char*>(nullptr));
              }));
}

}  // namespace
