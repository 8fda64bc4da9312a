// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_errors.h"

namespace {

std::string bytes(const RWCString& s) { return std::string(s.data(), s.length()); }

TEST(RWCString, CapacityFollowsTheExactRules) {
    EXPECT_EQ(RWCString().capacity(), 0u);
    EXPECT_EQ(RWCString("abc").capacity(), 3u);
    EXPECT_EQ(RWCString(std::string(40, 'x')).capacity(), 40u);
    EXPECT_EQ(RWCString('z', 7).capacity(), 7u);
    EXPECT_EQ(RWCString(RWSize_T(100)).capacity(), 100u);
    EXPECT_EQ(RWCString(RWSize_T(5)).capacity(), 5u);

    RWCString s("abc");
    EXPECT_EQ(s.capacity(32), 32u);
    EXPECT_EQ(s.capacity(), 32u);
    EXPECT_EQ(s.capacity(1), 3u);
    RWCString big(std::string(100, 'q'));
    EXPECT_EQ(big.capacity(10), 100u);
    EXPECT_EQ(big.capacity(300), 300u);
    EXPECT_EQ(bytes(big), std::string(100, 'q'));

    // Growth at least doubles; removing never lowers the capacity; a copy reports its source's.
    RWCString g("abcd");
    g.append("e");
    EXPECT_EQ(g.capacity(), 8u);
    g.append(std::string(20, 'x').c_str());
    EXPECT_EQ(g.capacity(), 25u);
    g.remove(2);
    EXPECT_EQ(g.capacity(), 25u);
    RWCString copy(g);
    EXPECT_EQ(copy.capacity(), 25u);
}

TEST(RWCString, CopiesShareUntilWritten) {
    RWCString a(std::string(64, 'a'));
    RWCString b(a);
    EXPECT_EQ(a.data(), b.data());
    b(0) = 'B';
    EXPECT_NE(a.data(), b.data());
    EXPECT_EQ(a[0], 'a');
    EXPECT_EQ(b[0], 'B');
    RWCString c(a);
    c.append("tail");
    EXPECT_EQ(bytes(a), std::string(64, 'a'));
    EXPECT_EQ(c.length(), 68u);
    RWCString moved(std::move(c));
    EXPECT_EQ(c.length(), 0u);
    EXPECT_STREQ(c.data(), "");
    EXPECT_EQ(moved.length(), 68u);
}

TEST(RWCString, NulBytesSurviveEveryOperation) {
    const std::string raw("a\0b\0c", 5);
    RWCString s(raw.data(), raw.size());
    EXPECT_EQ(s.length(), 5u);
    s.append(raw.data(), raw.size());
    EXPECT_EQ(bytes(s), raw + raw);
    EXPECT_EQ(s.index(RWCString("\0c", 2)), 3u);
    EXPECT_EQ(s.first('\0'), 1u);
    EXPECT_EQ(s.last('\0'), 8u);
    EXPECT_EQ(s.data()[s.length()], '\0');
    EXPECT_LT(RWCString("a\0a", 3).compareTo(RWCString("a\0b", 3)), 0);
    EXPECT_NE(RWCString("a\0a", 3), RWCString("a\0b", 3));
    std::ostringstream os;
    os << s;
    EXPECT_EQ(os.str(), raw + raw);
    s.insert(1, RWCString("\0\0", 2));
    EXPECT_EQ(s.length(), 12u);
    EXPECT_EQ(bytes(s).substr(0, 4), std::string("a\0\0\0", 4));
    EXPECT_NE(RWCString("\0", 1).hash(), RWCString().hash());
}

TEST(RWCString, BoundsErrorsAtAndPastTheEnd) {
    RWCString s("abc");
    EXPECT_THROW(s.assertElement(3), RWBoundsErr);
    EXPECT_NO_THROW(s.assertElement(2));
    EXPECT_THROW(s[3], RWBoundsErr);
    EXPECT_THROW(s.insert(4, "x"), RWBoundsErr);
    EXPECT_THROW(s.replace(5, 1, "x"), RWBoundsErr);
    EXPECT_THROW(s(2, 2), RWBoundsErr);
    try {
        s.assertElement(7);
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find('7'), std::string::npos) << e.what();
    }
    // (RW_NPOS, 0) is the null sub-string, equal to "".
    RWCSubString null = s(RW_NPOS, 0);
    EXPECT_TRUE(null.isNull());
    EXPECT_TRUE(!null);
    EXPECT_TRUE(null == "");
    EXPECT_THROW(null = "x", RWBoundsErr);
    EXPECT_EQ(s(3, 0).length(), 0u);
}

TEST(RWCString, ModifiersClipCountsAndHandleSelfReference) {
    struct Case {
        const char* start;
        RWCString (*edit)(RWCString);
        const char* expected;
    };
    const Case cases[] = {
        {"hello", [](RWCString s) { return s.remove(1, 100); }, "h"},
        {"hello", [](RWCString s) { return s.remove(1, 2); }, "hlo"},
        {"hello", [](RWCString s) { return s.replace(1, 3, "EY"); }, "hEYo"},
        {"hello", [](RWCString s) { return s.replace(5, 9, "!"); }, "hello!"},
        {"hello", [](RWCString s) { return s.prepend("> "); }, "> hello"},
        {"hello", [](RWCString s) { return s.insert(2, '-', 3); }, "he---llo"},
        {"hello", [](RWCString s) { return s.append(RWCString("world"), 3); }, "hellowor"},
        {"hello", [](RWCString s) { return s.append(s); }, "hellohello"},
        {"hello", [](RWCString s) { return s.insert(1, s.data() + 2, 2); }, "hllello"},
        {"hello", [](RWCString s) { return s.replace(0, 1, s.data() + 1, 4); }, "elloello"},
        {"hi", [](RWCString s) { return s.append('!', 0); }, "hi"},
    };
    for (const Case& c : cases) EXPECT_EQ(bytes(c.edit(RWCString(c.start))), c.expected) << c.start;
    RWCString grow;
    for (int i = 0; i < 1000; ++i) grow.append(static_cast<char>('a' + i % 26));
    EXPECT_EQ(grow.length(), 1000u);
    EXPECT_EQ(grow[999], static_cast<char>('a' + 999 % 26));
    RWCString padded("ab");
    padded.resize(4);
    EXPECT_EQ(bytes(padded), "ab  ");
    padded.resize(1);
    EXPECT_EQ(bytes(padded), "a");
    RWCString assigned("x");
    assigned = "a much longer text than fifteen bytes";
    EXPECT_EQ(bytes(assigned), "a much longer text than fifteen bytes");
    assigned = 'c';
    EXPECT_EQ(bytes(assigned), "c");
}

TEST(RWCString, SearchFindsLowestPositionFromStart) {
    RWCString s("abcabcab");
    EXPECT_EQ(s.index("bc"), 1u);
    EXPECT_EQ(s.index("bc", 2), 4u);
    EXPECT_EQ(s.index("bc", 5), RW_NPOS);
    EXPECT_EQ(s.index("", 3), 3u);
    EXPECT_EQ(s.index("", 8), 8u);
    EXPECT_EQ(s.index("", 9), RW_NPOS);
    EXPECT_EQ(s.index("ABC", 1, RWCString::ignoreCase), 3u);
    EXPECT_FALSE(s.contains("abcd"));
    EXPECT_EQ(s.first('c'), 2u);
    EXPECT_EQ(s.first('c', 3), 5u);
    EXPECT_EQ(s.last('a'), 6u);
    EXPECT_EQ(s.first('z'), RW_NPOS);
    EXPECT_TRUE(s.subString("ca") == "ca");
    EXPECT_EQ(s.subString("ca").start(), 2u);
    EXPECT_TRUE(s.subString("zz").isNull());

    // Random patterns against std::string::find.
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 40, '\0'), pat(rng() % 4, '\0');
        for (char& c : text) c = static_cast<char>(rng() % 3);
        for (char& c : pat) c = static_cast<char>(rng() % 3);
        const std::size_t start = rng() % 45;
        const std::size_t expected = start > text.size() ? RW_NPOS : text.find(pat, start);
        EXPECT_EQ(RWCString(text).index(RWCString(pat), start),
                  expected == std::string::npos ? RW_NPOS : expected);
    }
}

TEST(RWCString, SubStringsReferToAndEditTheParent) {
    RWCString s("hello world");
    RWCSubString w = s(6, 5);
    EXPECT_TRUE(w == "world");
    EXPECT_EQ(w[0], 'w');
    EXPECT_THROW(w[5], RWBoundsErr);
    w = "there";
    EXPECT_EQ(bytes(s), "hello there");
    s(0, 5) = "hi";
    EXPECT_EQ(bytes(s), "hi there");
    s(3, 5).toUpper();
    EXPECT_EQ(bytes(s), "hi THERE");
    const RWCString c("  pad  ");
    EXPECT_TRUE(c.strip(RWCString::both) == "pad");
    EXPECT_TRUE(c.strip(RWCString::leading) == "pad  ");
    EXPECT_TRUE(c.strip() == "  pad");
    EXPECT_EQ(RWCString(c(2, 3)), RWCString("pad"));
    RWCString shared(std::string(30, 'a'));
    RWCString other(shared);
    other(0, 1) = "b";
    EXPECT_EQ(shared[0], 'a');
}

TEST(RWCString, OrderingAndHashing) {
    EXPECT_LT(RWCString("ab"), RWCString("abc"));
    EXPECT_GT("b", RWCString("abc"));
    EXPECT_LT(RWCString("\x7f"), RWCString("\x80"));  // unsigned bytes
    EXPECT_EQ(RWCString("abc").compareTo("ABC", RWCString::ignoreCase), 0);
    EXPECT_EQ(RWCString("abc").hash(), RWCString("abc").hash());
    EXPECT_NE(RWCString("abc").hash(), RWCString("ABC").hash());
    EXPECT_EQ(RWCString("abc").hash(RWCString::ignoreCase),
              RWCString("ABC").hash(RWCString::ignoreCase));
    EXPECT_EQ(bytes(RWCString("ab") + "cd" + RWCString("ef")), "abcdef");
    EXPECT_EQ(bytes(toUpper(RWCString("aZ"))), "AZ");
    std::istringstream in("  first second");
    RWCString word;
    in >> word;
    EXPECT_EQ(bytes(word), "first");
    EXPECT_EQ(bytes(RWCString(static_cast<const char*>(nullptr))), "");
}

// Eight threads copy, append to and drop copies of shared strings at once; run under TSan.
TEST(RWCString, ConcurrentCopiesOfSharedStringsAreRaceFree) {
    const RWCString shared(std::string(200, 's'));
    const RWCString small("tiny");
    std::vector<std::thread> threads;
    std::vector<std::size_t> totals(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            std::size_t total = 0;
            for (int i = 0; i < 20000; ++i) {
                RWCString a(shared);
                RWCString b = small;
                if (i % 3 == 0) a.append('x');
                if (i % 5 == 0) b.append("more than fifteen bytes");
                RWCString c(a);
                c(0) = 'c';
                total += a.length() + b.length() + c.length() + (a[0] == 's');
            }
            totals[t] = total;
        });
    }
    for (std::thread& th : threads) th.join();
    for (std::size_t total : totals) EXPECT_EQ(total, totals[0]);
    EXPECT_EQ(bytes(shared), std::string(200, 's'));
    EXPECT_EQ(bytes(small), "tiny");
}

}  // namespace
