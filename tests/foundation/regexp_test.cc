// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "qelkit/foundation/rw_cregexp.h"
#include "qelkit/foundation/rw_cstring.h"

namespace {

using namespace std::string_literals;
using Found = std::pair<std::size_t, std::size_t>;  // position, length
const Found kNone{RW_NPOS, 0};

Found search(const RWCRegexp& re, const std::string& subject, std::size_t start = 0) {
    std::size_t len = 99;
    const std::size_t pos = re.index(RWCString(subject.data(), subject.size()), &len, start);
    return {pos, len};
}

TEST(RWCRegexp, FindsLeftmostLongestMatch) {
    const std::string pct = "%[123456789][0123456789]?", a70(70, 'a');
    const std::tuple<std::string, std::string, std::size_t, std::size_t, std::size_t> cases[] = {
        // clang-format off
        // Leftmost first, then longest; a search may start past an earlier match.
        {pct, "a %12b", 0, 2, 3}, {pct, "%123", 0, 0, 3}, {pct, "%0 %9x", 0, 3, 2},
        {"%[1-9]", "x%1 %2", 2, 4, 2}, {"a*", "baaa", 0, 0, 0}, {"ab*c?", "xabbbcd", 0, 1, 5},
        {"x*y", "xxxz xxy", 0, 5, 3}, {"a?a?aa", "aaa", 0, 0, 3}, {"", "abc", 3, 3, 0},
        {"", "abc", 4, RW_NPOS, 0}, {a70, a70.substr(1) + "b" + a70 + "a", 0, 70, 70},
        // NUL and high bytes are ordinary bytes in subject and pattern.
        {"a.c", "za\0c"s, 0, 1, 3}, {"a\0+b"s, "a\0\0\0b"s, 0, 0, 5}, {"\xe9+", "c\xe9", 0, 1, 1},
        {"[^\x01-\xff]", "ab\0"s, 0, 2, 1}, {"[\x80-\xff]", "ab\xc3", 0, 2, 1},
        // Anchors, and "^" / "$" elsewhere as plain bytes.
        {"^ab", "abab", 1, RW_NPOS, 0}, {"ab$", "abab", 0, 2, 2}, {"b*$", "abb", 0, 1, 2},
        {"$", "abc", 1, 3, 0}, {"^$", "", 0, 0, 0}, {"a^b", "xa^b", 0, 1, 3},
        {"a$*", "a$$", 0, 0, 3}, {"a\\$", "a$x", 0, 0, 2}, {"a\\\\$", "a\\a\\", 0, 2, 2},
        // Sets: "]" first and "-" first or last are members, "\" quotes inside too.
        {"[]a]+", "x]a]", 0, 1, 3}, {"[a-]", "x-", 0, 1, 1}, {"[-a]", "x-", 0, 1, 1},
        {"[^]]", "]]x", 0, 2, 1}, {"[a\\]]+", "x]a", 0, 1, 2}, {"[\\^\\-]+", "a-^b", 0, 1, 2},
        {"[a-cx-z]+", "dbyaw", 0, 1, 3}, {"\\.\\*+", "a.**", 0, 1, 3},
        // clang-format on
    };
    for (const auto& [pattern, subject, start, pos, len] : cases) {
        const RWCRegexp re(RWCString(pattern.data(), pattern.size()));
        EXPECT_EQ(search(re, subject, start), Found(pos, len))
            << "pattern '" << pattern << "' subject '" << subject << "'";
    }
}

TEST(RWCRegexp, MalformedOrOverlongPatternsFindNothing) {
    for (const char* pattern : {"[abc", "[]", "*a", "^*", "a**", "abc\\", "[z-a]", "[a\\"}) {
        const RWCRegexp re(pattern);
        EXPECT_EQ(re.status(), RWCRegexp::ILLEGAL) << pattern;
        EXPECT_EQ(search(re, "abc[]*+?\\"), kNone) << pattern;
    }
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
