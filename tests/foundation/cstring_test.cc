// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <sstream>
#include <string>

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

TEST(RWCString, BoundsErrorsAtAndPastTheEnd) {
    RWCString s("abc");
    EXPECT_THROW(s.assertElement(3), RWBoundsErr);
    EXPECT_NO_THROW(s.assertElement(2));
    EXPECT_THROW(s[3], RWBoundsErr);
    EXPECT_THROW(s.insert(4, "x"), RWBoundsErr);
    EXPECT_THROW(s.replace(5, 1, "x"), RWBoundsErr);
    EXPECT_THROW(s(2, 2), RWBoundsErr);
    // (RW_NPOS, 0) is the null sub-string, equal to "".
    RWCSubString null = s(RW_NPOS, 0);
    EXPECT_TRUE(null.isNull());
    EXPECT_TRUE(!null);
    EXPECT_TRUE(null == "");
    EXPECT_THROW(null = "x", RWBoundsErr);
    EXPECT_EQ(s(3, 0).length(), 0u);
}

TEST(RWCString, ModifiersTakeTheirOwnBytesAndStripByCharacter) {
    struct Case {
        const char* start;
        RWCString (*edit)(RWCString);
        const char* expected;
    };
    const Case cases[] = {
        {"hello", [](RWCString s) { return s.append(s); }, "hellohello"},
        {"hello", [](RWCString s) { return s.insert(1, s.data() + 2, 2); }, "hllello"},
        {"hello", [](RWCString s) { return s.replace(0, 1, s.data() + 1, 4); }, "elloello"},
        {"hello", [](RWCString s) { return s.insert(2, '-', 3); }, "he---llo"},
        {"hello", [](RWCString s) { return s.insert(5, '!', 2); }, "hello!!"},
        {"hello",
         [](RWCString s) {
             s(1, 2).toUpper();  // the letters after the sub-string stay as they are
             return s;
         },
         "hELlo"},
        {"hello", [](RWCString s) { return s.append(RWCString("world"), 3); }, "hellowor"},
        {"  pad  ", [](RWCString s) { return RWCString(s.strip(RWCString::both)); }, "pad"},
        {"  pad  ", [](RWCString s) { return RWCString(s.strip(RWCString::leading)); }, "pad  "},
        {"xxpadx", [](RWCString s) { return RWCString(s.strip(RWCString::both, 'x')); }, "pad"},
        {"world",
         [](RWCString s) {
             RWCString t("hello");
             t(0, 2) = s(3, 2);  // one sub-string assigned to another
             return t;
         },
         "ldllo"},
    };
    for (const Case& c : cases) EXPECT_EQ(bytes(c.edit(RWCString(c.start))), c.expected) << c.start;
    EXPECT_TRUE(RWCString("abcabc").subString("ca") == "ca");
    EXPECT_EQ(RWCString("abcabc").subString("ca").start(), 2u);
    EXPECT_TRUE(RWCString("abc").subString("zz").isNull());
    EXPECT_EQ(RWCString("\0\0", 2).strip(RWCString::both, '\0').length(), 0u);
    std::istringstream in("  first second");
    RWCString word;
    in >> word;
    EXPECT_EQ(bytes(word), "first");
    std::ostringstream out;
    out << RWCString("a\0b", 3);
    EXPECT_EQ(out.str(), std::string("a\0b", 3));
    EXPECT_EQ(bytes(RWCString(static_cast<const char*>(nullptr))), "");
    EXPECT_EQ(bytes(RWCString("ab") + "cd" + RWCString("ef")), "abcdef");
    EXPECT_EQ(bytes(toUpper(RWCString("azZ@[`{"))), "AZZ@[`{");
}

}  // namespace
