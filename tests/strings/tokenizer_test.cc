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

}  // namespace
