// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <utility>
#include <vector>

#include "qelkit/foundation/rw_cregexp.h"
#include "qelkit/foundation/rw_cstring.h"

namespace {

using Found = std::pair<std::size_t, std::size_t>;  // position, length
Found search(const RWCRegexp& re, const std::string& subject, std::size_t start = 0) {
    std::size_t len = 99;
    const std::size_t pos = re.index(RWCString(subject.data(), subject.size()), &len, start);
    return {pos, len};
}

// Which patterns are legal, and what a search finds, is the regexp fuzz target's (its corpus
// holds the malformed patterns); the length limit lies beyond its inputs.
TEST(RWCRegexp, PatternsBeyondMaxAtomsAreTooLong) {
    EXPECT_EQ(RWCRegexp(RWCString('a', RWCRegexp::maxAtoms)).status(), RWCRegexp::OK);
    EXPECT_EQ(RWCRegexp(RWCString('a', RWCRegexp::maxAtoms + 1)).status(), RWCRegexp::TOOLONG);
}

TEST(RWCRegexp, CopiesKeepTheirPatternAndStringsSearchWithThem) {
    RWCRegexp re("%[1-9][0-9]?");
    const RWCRegexp copy(re);
    re = "[";
    RWCString s("ab %12 %3");
    EXPECT_EQ(s.index(copy), 3u);
    EXPECT_TRUE(s(copy, 4) == "%3");
    EXPECT_TRUE(static_cast<const RWCString&>(s)(copy, 8).isNull());
    s(copy) = "X";
    EXPECT_TRUE(s == "ab X %3");
}

TEST(RWCRegexp, StaysLinearWhenEveryStartFailsLate) {
    // From each start "a*" runs to the "c" before failing: trying every start would be quadratic.
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(search(RWCRegexp("a*b"), std::string(100000, 'a') + "cab"), Found(100001, 2));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
}

TEST(RWCRegexp, ConcurrentSearchesOfOneExpressionAgree) {
    const RWCRegexp re("%[1-9][0-9]?");
    std::vector<std::future<int>> runs;
    for (int t = 0; t < 4; ++t)
        runs.push_back(std::async(std::launch::async, [&re] {
            int wrong = 0;
            for (int i = 0; i < 2000; ++i) wrong += search(re, "x %1 y %23", 5) != Found(7, 3);
            return wrong;
        }));
    for (std::future<int>& run : runs) EXPECT_EQ(run.get(), 0);
}

}  // namespace
