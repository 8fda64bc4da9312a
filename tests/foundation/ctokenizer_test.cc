// SPDX-License-Identifier: Apache-2.0
// Tokens against a plain split are the qel_tokenizer fuzz target's; here the counted delimiter
// set and done() before the end.
#include <gtest/gtest.h>

#include "qelkit/foundation/rw_ctokenizer.h"

namespace {

TEST(RWCTokenizer, CountedSetEmptySetAndDone) {
    RWCTokenizer tok(RWCString("2007-04-09 14:09")), spaces(RWCString("a  "));
    EXPECT_EQ(tok(" :-", 2), "2007-04-09");  // counted: "-" lies past the first two bytes
    EXPECT_EQ(tok(""), " 14:09");            // an empty set: the rest from the ending delimiter
    EXPECT_TRUE(tok.done());
    EXPECT_EQ(spaces(), "a");
    EXPECT_FALSE(spaces.done());  // an empty set would still return "  "
}

}  // namespace
