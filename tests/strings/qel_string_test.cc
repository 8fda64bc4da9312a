// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "qelkit/strings/etoken.h"
#include "qelkit/strings/qel_string.h"

namespace {

std::string bytes(const RWCString& s) { return std::string(s.data(), s.length()); }

TEST(QelStringFormat, NumbersUseTheDefaultFormats) {
    const std::pair<QelString, std::string> cases[] = {{QelString(-7), "-7"},
                                                       {QelString(1.0 / 3), "0.33333333333333"},
                                                       {QelString(100.0), "100"},
                                                       {QelString(1e20), "1E+20"},
                                                       {QelString(2.5, "%.3f"), "2.500"},
                                                       {QelString(255, "%x"), "ff"}};
    for (const auto& [s, expected] : cases) EXPECT_EQ(bytes(s), expected);
    // The default is read at the time of the call.
    const char* saved = QelString::formatInt;
    QelString::formatInt = "<%d>";
    EXPECT_EQ(bytes(QelString(5)), "<5>");
    QelString::formatInt = saved;
}

TEST(QelStringFormat, TextsOfEveryLengthArriveWhole) {
    EXPECT_TRUE(QelString::format(nullptr).isNull());
    EXPECT_TRUE(QelString::format("%s", "").isNull());
    EXPECT_EQ(QelString::format("%s=%d", "x", 42).capacity(), 5u);
    EXPECT_EQ(QelString("abc").quote("<>").capacity(), 7u);
    // Around the stack buffers: 255 and 2047 are the limits, longer texts need the heap; an
    // empty text empties an assigned string.
    for (std::size_t n : {0u, 1u, 255u, 256u, 2047u, 2048u, 5000u}) {
        const std::string text(n, 'k');
        EXPECT_EQ(bytes(QelString::format("%s", text.c_str())), text) << n;
        QelString assigned("old"), appended("ab");
        assigned.assignFormat("%s", text.c_str());
        appended.appendFormat("%s", text.c_str());
        EXPECT_EQ(bytes(assigned), text) << n;
        EXPECT_EQ(assigned.capacity(), n);
        EXPECT_EQ(bytes(appended), "ab" + text) << n;
    }
}

TEST(QelStringFormat, NulFromTheFormatEndsAssignButNotAppend) {
    QelString s("ab"), t("previous");
    s.appendFormat("%c", 0);
    t.assignFormat("x%cy", 0);
    EXPECT_EQ(bytes(s), std::string("ab\0", 3));
    EXPECT_EQ(bytes(t), "x");
    EXPECT_EQ(bytes(QelString::format("a%cb", 0)), std::string("a\0b", 3));
}

// Counting, reversal, stripping, quoting, reduce, transpose and unescape (a lone trailing
// backslash included) are qel_string_fuzz's.
TEST(QelStringTransform, EncryptFlipsTheTopBitOfAnUnsharedCopy) {
    QelString twice("A"), original(twice);
    twice.encrypt();
    EXPECT_EQ(static_cast<unsigned char>(twice[0]), 193);
    EXPECT_EQ(twice.data()[1], '\0');  // the terminator is not part of the text
    EXPECT_EQ(bytes(original), "A");   // the shared buffer was not touched
    twice.decrypt();
    EXPECT_EQ(bytes(twice), "A");
}

TEST(QelTokenizer, TokensReferToOwnCopyOfText) {
    RWCString text("first-token-is-long second");
    QelTokenizer tok(text);
    RWCSubString first = tok();
    text.toUpper();
    EXPECT_EQ(first, "first-token-is-long");
}

// Threads copy, append to and write into copies of the shared empty string and of a shared
// text, whose buffers are shared through an atomic count; run under TSan.
TEST(QelStringConcurrency, SharedStringsCopiedFromManyThreads) {
    const QelString text(std::string(100, 't'));
    std::vector<std::thread> threads;
    std::vector<int> ok(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10000; ++i) {
                QelString empty(QelString::_nullString), copy(text), written(text);
                empty.append('e');
                if (i % 2) copy.appendFormat("%d", i);
                written(0) = 'w';
                ok[t] += empty.length() == 1 && copy[0] == 't' && written[0] == 'w';
            }
        });
    }
    for (std::thread& th : threads) th.join();
    for (int good : ok) EXPECT_EQ(good, 10000);
    EXPECT_TRUE(QelString::_nullString.isNull());
    EXPECT_EQ(bytes(text), std::string(100, 't'));
}

}  // namespace
