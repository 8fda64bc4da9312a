#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "qelkit/foundation/rw_errors.h"
#include "qelkit/strings/qel_string.h"

namespace {

std::string bytes(const RWCString& s) { return std::string(s.data(), s.length()); }

TEST(QelStringFormat, NumbersUseTheDefaultFormats) {
    EXPECT_EQ(bytes(QelString(42)), "42");
    EXPECT_EQ(bytes(QelString(-7)), "-7");
    EXPECT_EQ(bytes(QelString(1.0 / 3)), "0.33333333333333");
    EXPECT_EQ(bytes(QelString(0.1)), "0.1");
    EXPECT_EQ(bytes(QelString(100.0)), "100");
    EXPECT_EQ(bytes(QelString(1e20)), "1E+20");
    EXPECT_EQ(bytes(QelString(2.5, "%.3f")), "2.500");
    EXPECT_EQ(bytes(QelString(255, "%x")), "ff");
    // The default is read at the time of the call.
    const char* saved = QelString::formatInt;
    QelString::formatInt = "<%d>";
    EXPECT_EQ(bytes(QelString(5)), "<5>");
    QelString::formatInt = saved;
}

TEST(QelStringFormat, TextsOfEveryLengthArriveWhole) {
    EXPECT_TRUE(QelString::format(nullptr).isNull());
    EXPECT_TRUE(QelString::format("%s", "").isNull());
    EXPECT_EQ(bytes(QelString::format("%s=%d", "x", 42)), "x=42");
    EXPECT_EQ(QelString::format("%s=%d", "x", 42).capacity(), 5u);
    // Around the stack buffers: 255 and 2047 are the limits, 300 and 5000 need the heap.
    for (std::size_t n : {0u, 1u, 254u, 255u, 256u, 300u, 2046u, 2047u, 2048u, 5000u}) {
        const std::string text(n, 'k');
        EXPECT_EQ(bytes(QelString::format("%s", text.c_str())), text) << n;
        QelString assigned("old");
        assigned.assignFormat("%s", text.c_str());
        EXPECT_EQ(bytes(assigned), text) << n;
        EXPECT_EQ(assigned.capacity(), n);
        QelString appended("ab");
        appended.appendFormat("%s", text.c_str());
        EXPECT_EQ(bytes(appended), "ab" + text) << n;
    }
}

TEST(QelStringFormat, NulFromTheFormatEndsAssignButNotAppend) {
    QelString s("ab");
    s.appendFormat("%c", 0);
    EXPECT_EQ(bytes(s), std::string("ab\0", 3));
    QelString t("previous");
    t.assignFormat("x%cy", 0);
    EXPECT_EQ(bytes(t), "x");
    EXPECT_EQ(bytes(QelString::format("a%cb", 0)), std::string("a\0b", 3));
}

TEST(QelStringCounting, CountsReversalAndNewline) {
    EXPECT_EQ(QelString("hello").numberof('l'), 2);
    EXPECT_EQ(QelString("hel\0lo", 6).numberof('l'), 1);
    EXPECT_EQ(QelString("a\0a", 3).numberof('\0'), 0);
    EXPECT_EQ(QelString("").numberofwords(), 0);
    EXPECT_EQ(QelString(" \t\n").numberofwords(), 0);
    EXPECT_EQ(QelString("  one two\tthree\n").numberofwords(), 3);
    EXPECT_EQ(QelString("a\0b", 3).numberofwords(), 2);
    EXPECT_EQ(QelString("x\ry").numberofwords(), 1);
    const char* newlineCases[][2] = {{"", ""}, {"a", "a\n"}, {"a\n", "a\n"}};
    for (auto& c : newlineCases) {
        QelString s(c[0]);
        s.endWithNewline();
        EXPECT_EQ(bytes(s), c[1]);
    }
    const char* reverseCases[][2] = {{"abc", "cba"}, {"abcd", "dcba"}, {"", ""}, {"x", "x"}};
    for (auto& c : reverseCases) {
        QelString s(c[0]);
        EXPECT_EQ(bytes(s.reverse()), c[1]);
    }
    EXPECT_EQ(qelStringHash(QelString("Key")), QelString("Key").hash(RWCString::exact));
    EXPECT_NE(qelStringHash(QelString("Key")), qelStringHash(QelString("key")));
}

TEST(QelStringTransform, StripWhiteSpaceByEnd) {
    QelString s(" \t a b \n");
    EXPECT_EQ(bytes(s.stripWhiteSpace(RWCString::both)), "a b");
    EXPECT_EQ(bytes(s.stripWhiteSpace(RWCString::leading)), "a b \n");
    EXPECT_EQ(bytes(s.stripWhiteSpace(RWCString::trailing)), " \t a b");
    EXPECT_EQ(bytes(s.stripWhiteSpace(static_cast<RWCString::stripType>(0))), bytes(s));
    QelString blanks("   ");
    for (auto how : {RWCString::both, RWCString::leading, RWCString::trailing})
        EXPECT_EQ(bytes(blanks.stripWhiteSpace(how)), "");
    EXPECT_EQ(bytes(QelString().stripWhiteSpace(RWCString::both)), "");
    EXPECT_EQ(bytes(QelString("\v\fx\r").stripWhiteSpace(RWCString::both)), "x");
    EXPECT_EQ(bytes(QelString("\0 x", 3).stripWhiteSpace(RWCString::both)), std::string("\0 x", 3));
}

TEST(QelStringTransform, UnescapeResolvesEachEscapeOnce) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\\tb", "a\tb"},
        {"\\\\n", "\\n"},
        {"\\x", "x"},
        {"abc", "abc"},
        {"\\n\\r\\t", "\n\r\t"},
        {std::string("\\\0z", 3), std::string("\0z", 2)},
        {"\\\\\\\\", "\\\\"},
        {"", ""},
    };
    for (const auto& c : cases) {
        QelString s(c.first.data(), c.first.size());
        EXPECT_EQ(bytes(s.unescape()), c.second) << c.first;
        EXPECT_EQ(bytes(s), c.first);
    }
    QelString bad("abc\\");
    EXPECT_THROW(bad.unescape(), RWBoundsErr);
    EXPECT_EQ(bytes(bad), "abc\\");
    QelString badAfterEscape("\\\\\\");
    EXPECT_THROW(badAfterEscape.unescape(), RWBoundsErr);
}

TEST(QelStringTransform, QuoteReduceTranspose) {
    EXPECT_EQ(bytes(QelString("abc").quote("'")), "'abc'");
    EXPECT_EQ(bytes(QelString("abc").quote("")), "abc");
    EXPECT_EQ(bytes(QelString().quote("'")), "''");
    EXPECT_EQ(QelString("abc").quote("<>").capacity(), 7u);
    EXPECT_EQ(bytes(QelString("a-b-c").reduce("-")), "abc");
    EXPECT_EQ(bytes(QelString("hello").reduce("lo")), "he");
    EXPECT_EQ(bytes(QelString("hello").reduce("")), "hello");
    EXPECT_EQ(bytes(QelString("a\0b\xff", 4).reduce(QelString("\0\xff", 2))), "ab");
    EXPECT_EQ(bytes(QelString("a,b,c").transpose(',', ';')), "a;b;c");
    EXPECT_EQ(bytes(QelString("abc").transpose(',', ';')), "abc");
    QelString nul("a\0b\0", 4);
    nul.transposeInPlace('\0', '|');
    EXPECT_EQ(bytes(nul), "a|b|");
}

TEST(QelStringTransform, ReplaceAllScansLeftToRightOnce) {
    struct Case {
        const char *text, *from, *to, *expected;
    };
    const Case cases[] = {
        {"aaa", "aa", "b", "ba"},        {"abc", "b", "bb", "abbc"},
        {"a.b.c", ".", "", "abc"},       {"abc", "", "x", "abc"},
        {"xyz", "q", "r", "xyz"},        {"aXbXc", "X", "YY", "aYYbYYc"},
        {"aaaa", "a", "aa", "aaaaaaaa"}, {"abab", "ab", "ba", "baba"},
        {"aaaaa", "aa", "a", "aaa"},
    };
    for (const Case& c : cases) {
        QelString s(c.text);
        s.replaceAll(c.from, c.to);
        EXPECT_EQ(bytes(s), c.expected) << c.text << " " << c.from << " " << c.to;
    }
    // NUL bytes are ordinary bytes, and a shared copy is left alone.
    QelString nul("a\0a\0", 4);
    const QelString copy(nul);
    nul.replaceAll(QelString("\0", 1), "<>");
    EXPECT_EQ(bytes(nul), "a<>a<>");
    EXPECT_EQ(bytes(copy), std::string("a\0a\0", 4));
}

TEST(QelStringTransform, EncryptFlipsTheTopBit) {
    QelString a("A");
    a.encrypt();
    EXPECT_EQ(static_cast<unsigned char>(a[0]), 193);
    a.decrypt();
    EXPECT_EQ(bytes(a), "A");
    QelString twice("round trip");
    QelString original(twice);
    twice.encrypt();
    EXPECT_EQ(bytes(original), "round trip");  // the shared buffer was not touched
    twice.encrypt();
    EXPECT_EQ(bytes(twice), "round trip");
    QelString empty;
    empty.encrypt();
    EXPECT_TRUE(empty.isNull());
}

TEST(QelStringArgs, PlaceholdersFillLowestFirst) {
    QelString s("%2 and %1");
    EXPECT_EQ(bytes(s.doArg("a")), "%2 and a");
    EXPECT_EQ(bytes(s.doArg("b")), "b and a");
    EXPECT_EQ(bytes(s.doArg("c")), "b and ac");
    EXPECT_EQ(bytes(QelString("%1 + %1 = 2").doArg("1")), "1 + 1 = 2");
    EXPECT_EQ(bytes(QelString("total").doArg("5")), "total5");
    QelString chained("%1 x");
    EXPECT_EQ(bytes(chained.doArg("%2")), "%2 x");
    EXPECT_EQ(bytes(chained.doArg("y")), "y x");
    EXPECT_EQ(bytes(QelString("%1%2%3").doArg("a").doArg("b").doArg("c")), "abc");

    const char* lowest[][2] = {{"%3 %9 %2", "%2"}, {"%10 %9", "%9"}, {"%9 %10", "%9"},
                               {"%12 %11", "%11"}, {"no args", ""},  {"100%", ""},
                               {"%0", ""},         {"%123", "%12"},  {"%99 %1", "%1"}};
    for (auto& c : lowest) EXPECT_EQ(bytes(QelString(c[0]).lowestArg()), c[1]) << c[0];
    EXPECT_EQ(bytes(QelString("x %7 y %3").firstArg()), "%7");
    EXPECT_EQ(bytes(QelString("none").firstArg()), "");
    EXPECT_EQ(bytes(QelString("a%\0%5", 5).firstArg()), "%5");
}

// Threads copy and append to copies of the shared empty string and of a shared text.
TEST(QelStringConcurrency, SharedStringsCopiedFromManyThreads) {
    const QelString text(std::string(100, 't'));
    std::vector<std::thread> threads;
    std::vector<int> ok(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            int good = 0;
            for (int i = 0; i < 10000; ++i) {
                QelString empty(QelString::_nullString);
                QelString copy(text);
                empty.append('e');
                if (i % 2) copy.appendFormat("%d", i);
                good += empty.length() == 1 && copy[0] == 't';
            }
            ok[t] = good;
        });
    }
    for (std::thread& th : threads) th.join();
    for (int good : ok) EXPECT_EQ(good, 10000);
    EXPECT_TRUE(QelString::_nullString.isNull());
    EXPECT_EQ(bytes(text), std::string(100, 't'));
}

}  // namespace
