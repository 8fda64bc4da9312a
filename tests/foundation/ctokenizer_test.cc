// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qelkit/foundation/rw_ctokenizer.h"

namespace {

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
        {"a\xff;b", ";\xff", {"a", "b"}},
        {"a temporary text,longer than inline", ",", {"a temporary text", "longer than inline"}},
    };
    for (const auto& c : cases) {
        // Built from a temporary; every token is read only after the last one, so each must
        // still refer to the tokenizer's own copy of the text.
        RWCTokenizer tok(RWCString(c.text.data(), c.text.size()));
        auto next = [&] { return c.delims ? tok(c.delims) : tok(); };
        std::vector<RWCSubString> tokens{next()};
        while (!tokens.back().isNull()) tokens.push_back(next());
        tokens.pop_back();  // the null token
        ASSERT_EQ(tokens.size(), c.expected.size()) << c.text;
        for (std::size_t i = 0; i < tokens.size(); ++i) EXPECT_EQ(tokens[i], c.expected[i].c_str());
        EXPECT_TRUE(tok().isNull() && tok.done()) << c.text;
    }
}

TEST(RWCTokenizer, EmptySetReturnsRestFromEndingDelimiter) {
    RWCTokenizer tok(RWCString("2007-04-09 14:09"));
    EXPECT_EQ(tok(" :-", 2), "2007-04-09");  // counted: "-" lies past the first two bytes
    EXPECT_EQ(tok(""), " 14:09");
    EXPECT_TRUE(tok.done());
}

TEST(RWCTokenizer, DoneOnlyWhenNoTokenCanFollow) {
    RWCTokenizer spaces(RWCString("a  ")), nuls(RWCString("a\0\0", 3));
    EXPECT_EQ(spaces(), "a");
    EXPECT_FALSE(spaces.done());  // an empty set would still return "  "
    EXPECT_EQ(nuls(), "a");
    EXPECT_TRUE(nuls.done());
}

}  // namespace
