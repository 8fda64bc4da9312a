// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/nq_trace.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "qelkit/foundation/rw_cstring.h"

namespace {

std::vector<std::string> captured;

void capture(const char* origin, const char* message) {
    captured.push_back(std::string(origin) + "|" + message);
}

// Runs `body` with std::cerr redirected and returns what was written to it.
template <class Body>
std::string standardError(Body body) {
    std::ostringstream text;
    std::streambuf* const saved = std::cerr.rdbuf(text.rdbuf());
    body();
    std::cerr.rdbuf(saved);
    return text.str();
}

TEST(Trace, SinkReplacesStandardErrorAndGetsTextsUpToNul) {
    captured.clear();
    EXPECT_EQ(nullptr, NqTraceStatic::setSink(capture));  // the default was active
    const RWCString withNul("ab\0cd", 5);
    EXPECT_EQ("", standardError([&] {
                  NqTraceStatic::output("origin", "line\n");
                  NqTraceStatic::output(withNul, withNul);
                  NqTraceStatic::output(nullptr, static_cast<const char*>(nullptr));
              }));
    EXPECT_EQ(capture, NqTraceStatic::setSink(nullptr));  // restores the default
    EXPECT_EQ((std::vector<std::string>{"origin|line\n", "ab|ab", "|"}), captured);
}

TEST(Trace, DefaultSinkWritesOneLinePerCallToStandardError) {
    EXPECT_EQ("GetDate::parseDate(): bad field\no: ends with newline\n: \n", standardError([] {
                  NqTraceStatic::output("GetDate::parseDate()", "bad field");
                  NqTraceStatic::output("o", "ends with newline\n");
                  NqTraceStatic::output(nullptr, static_cast<const char*>(nullptr));
              }));
}

}  // namespace
