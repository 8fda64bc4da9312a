#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qelkit/foundation/rw_ctokenizer.h"

namespace {

std::string str(const RWCSubString& s) {
    return std::string(RWCConstSubString(s).data(), s.length());
}

TEST(RWCTokenizer, SkipsDelimiterRunsAndEndsWithNullToken) {
    const struct {
        std::string text;
        const char* delims;  // null: the default white-space set
        std::vector<std::string> expected;
    } cases[] = {
        {"  one two  ", nullptr, {"one", "two"}},
        {"", nullptr, {}},
        {",,a,,b", ",", {"a", "b"}},
        {"a\tb\n c", nullptr, {"a", "b", "c"}},
        {std::string("a\0b\0", 4), ",", {"a", "b"}},
        {std::string("x y\0z w", 7), "", {"x y", "z w"}},
        {"\xc3\xa9,\xff", ",", {"\xc3\xa9", "\xff"}},
    };
    for (const auto& c : cases) {
        RWCTokenizer tok(RWCString(c.text.data(), c.text.size()));
        std::vector<std::string> got;
        for (;;) {
            RWCSubString t = c.delims ? tok(c.delims) : tok();
            if (t.isNull()) break;
            got.push_back(str(t));
        }
        EXPECT_EQ(got, c.expected) << c.text;
        EXPECT_TRUE(tok().isNull()) << c.text;
        EXPECT_TRUE(tok.done()) << c.text;
    }
}

TEST(RWCTokenizer, EmptySetReturnsRestFromEndingDelimiter) {
    RWCTokenizer tok(RWCString("2007-04-09 14:09"));
    EXPECT_EQ(tok("-"), "2007");
    EXPECT_EQ(tok("-"), "04");
    EXPECT_EQ(tok("- "), "09");
    EXPECT_EQ(tok(""), " 14:09");
    EXPECT_TRUE(tok.done());
}

TEST(RWCTokenizer, CountedSetUsesOnlyFirstBytes) {
    RWCTokenizer tok(RWCString("a:b-c:d"));
    EXPECT_EQ(tok(":-", 1), "a");
    EXPECT_EQ(tok(":-", 1), "b-c");
    EXPECT_EQ(tok(":-", 2), "d");
}

TEST(RWCTokenizer, DoneOnlyWhenNoTokenCanFollow) {
    RWCTokenizer spaces(RWCString("a  "));
    spaces();
    EXPECT_FALSE(spaces.done());  // an empty set would still return "  "
    RWCTokenizer nuls(RWCString("a\0\0", 3));
    EXPECT_FALSE(nuls.done());
    nuls();
    EXPECT_TRUE(nuls.done());
}

TEST(RWCTokenizer, TokensOutliveTemporaryText) {
    RWCTokenizer tok(RWCString("a temporary text longer than inline"));
    RWCSubString first = tok();
    RWCSubString second = tok();
    EXPECT_EQ(first, "a");
    EXPECT_EQ(second, "temporary");
    EXPECT_EQ(second.start(), 2u);
}

}  // namespace
