// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "qelkit/foundation/rw_ctokenizer.h"

namespace {

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
