// SPDX-License-Identifier: Apache-2.0
// Edits against std::string, shared copies, case folding, index and hashing are the
// cstring_edits fuzz target's; here: capacity, bounds errors, edits whose argument is the
// string's own bytes, and the stream and free operators.
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
    EXPECT_EQ(RWCString('z', 7).capacity(), 7u);
    EXPECT_EQ(RWCString(RWSize_T(100)).capacity(), 100u);
    RWCString s("abc");
    EXPECT_EQ(s.capacity(32), 32u);
    EXPECT_EQ(s.capacity(1), 3u);  // never below the length
    // Growth at least doubles; removing never lowers the capacity; a copy reports its source's.
    RWCString g("abcd");
    g.append("e");
    EXPECT_EQ(g.capacity(), 8u);
    g.append(std::string(20, 'x').c_str());
    g.remove(2);
    EXPECT_EQ(RWCString(g).capacity(), 25u);
    RWCString moved(std::move(g));
    EXPECT_TRUE(g.length() == 0 && *g.data() == '\0' && moved.length() == 2);
}

TEST(RWCString, BoundsErrorsAtAndPastTheEnd) {
    RWCString s("abc");
    EXPECT_THROW(s.assertElement(3), RWBoundsErr);
    EXPECT_NO_THROW(s.assertElement(2));
    EXPECT_THROW(s[3], RWBoundsErr);
    EXPECT_THROW(s.insert(4, "x"), RWBoundsErr);
    EXPECT_THROW(s.remove(4), RWBoundsErr);
    EXPECT_EQ(s.remove(3), "abc");  // at the end: nothing to remove
    EXPECT_THROW(s.replace(5, 1, "x"), RWBoundsErr);
    EXPECT_THROW(s(2, 2), RWBoundsErr);
    // (RW_NPOS, 0) is the null sub-string, equal to "".
    RWCSubString null = s(RW_NPOS, 0);
    EXPECT_TRUE(null.isNull() && !null && null == "");
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
        {"hello", [](RWCString s) { return s.insert(5, '!', 2); }, "hello!!"},
        {"hello", [](RWCString s) { return s.append(RWCString("world"), 3); }, "hellowor"},
        {"  pad  ", [](RWCString s) { return RWCString(s.strip(RWCString::leading)); }, "pad  "},
        {"xxpadx", [](RWCString s) { return RWCString(s.strip(RWCString::both, 'x')); }, "pad"},
        {"hello",
         [](RWCString s) {
             s(1, 2).toUpper();
             s(4, 1) = s(0, 1);  // one sub-string assigned from another
             return s;
         },
         "hELlh"},
    };
    for (const Case& c : cases) EXPECT_EQ(bytes(c.edit(RWCString(c.start))), c.expected) << c.start;
    EXPECT_EQ(RWCString("abcabc").subString("ca").start(), 2u);
    EXPECT_TRUE(RWCString("abc").subString("zz").isNull());
    EXPECT_EQ(RWCString("\0\0", 2).strip(RWCString::both, '\0').length(), 0u);
    std::istringstream in("  first second");
    RWCString word;
    in >> word;
    std::ostringstream out;
    out << RWCString("a\0b", 3);
    EXPECT_EQ(bytes(word) + out.str(), std::string("firsta\0b", 8));
    EXPECT_EQ(bytes(RWCString(static_cast<const char*>(nullptr)) + "cd" + RWCString("ef")), "cdef");
    EXPECT_EQ(bytes(toUpper(RWCString("azZ@[`{"))), "AZZ@[`{");
}

}  // namespace
