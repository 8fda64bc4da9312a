// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "qelkit/strings/etoken.h"

namespace {

TEST(QelTokenizer, TokensReferToOwnCopyOfText) {
    RWCString text("first-token-is-long second");
    QelTokenizer tok(text);
    RWCSubString first = tok();
    text.toUpper();
    EXPECT_EQ(first, "first-token-is-long");
}

// Ten steps are remembered; the eleventh read starts the history over, so that one rewind undoes
// it and a second finds nothing left to undo.
TEST(QelTokenizer, HistoryStartsOverAfterTenSteps) {
    QelTokenizer tok(RWCString("0 1 2 3 4 5 6 7 8 9 X"));
    for (int i = 0; i < 11; ++i) tok();
    for (int rewinds = 0; rewinds < 2; ++rewinds) {
        tok.rewind();
        EXPECT_EQ(tok.location(), 19) << rewinds;
    }
}

}  // namespace
