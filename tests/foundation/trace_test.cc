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
                  NqTraceStatic::output("origin", withNul);
                  NqTraceStatic::output(RWCString("o2"), "m2");
                  NqTraceStatic::output(withNul, RWCString("m3"));
                  NqTraceStatic::output(nullptr, static_cast<const char*>(nullptr));
              }));
    EXPECT_EQ(capture, NqTraceStatic::setSink(nullptr));  // restores the default
    EXPECT_EQ((std::vector<std::string>{"origin|line\n", "origin|ab", "o2|m2", "ab|m3", "|"}),
              captured);
}

TEST(Trace, DefaultSinkWritesOneLinePerCallToStandardError) {
    struct Case {
        const char* origin;
        const char* message;
        const char* line;
    } const cases[] = {
        {"GetDate::parseDate()", "bad field", "GetDate::parseDate(): bad field\n"},
        {"o", "ends with newline\n", "o: ends with newline\n"},
        {"o", "", "o: \n"},
        {nullptr, nullptr, ": \n"},
        {"o", "two\nlines", "o: two\nlines\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.line, standardError([&] { NqTraceStatic::output(c.origin, c.message); }));
    }
}

}  // namespace
