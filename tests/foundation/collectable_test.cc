#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_collectable_int.h"
#include "qelkit/foundation/rw_collectable_string.h"

namespace {

// An application class using the declare/define macros.
class Tagged : public RWCollectable {
    RWDECLARE_COLLECTABLE(Tagged)

  public:
    Tagged(int tag = 5) : tag(tag) {}
    int tag;
};

}  // namespace

RWDEFINE_COLLECTABLE(Tagged, 0x4242)

namespace {

TEST(RWCollectable, DefaultsUseIdentity) {
    const RWCollectable a;
    const RWCollectable b;
    EXPECT_TRUE(a.isEqual(&a));
    EXPECT_FALSE(a.isEqual(&b));
    EXPECT_FALSE(a.isEqual(nullptr));
    // isEqual must not look at its argument: a pointer to nothing is merely unequal.
    EXPECT_FALSE(a.isEqual(reinterpret_cast<const RWCollectable*>(std::uintptr_t{16})));

    EXPECT_EQ(a.compareTo(&a), 0);
    const int ab = a.compareTo(&b);
    EXPECT_TRUE(ab == -1 || ab == 1);
    EXPECT_EQ(b.compareTo(&a), -ab);
    EXPECT_EQ(a.hash(), a.hash());
    EXPECT_NE(a.hash(), b.hash());

    RWCollectable c;
    EXPECT_EQ(c.self(), &c);
    EXPECT_EQ(a.self(), &a);
    EXPECT_EQ(a.newSpecies(), nullptr);
    EXPECT_EQ(a.copy(), nullptr);
    EXPECT_EQ(a.binaryStoreSize(), 0u);
}

TEST(RWCollectable, ClassIdsAreDistinctAndMacrosCreateObjects) {
    const RWCollectable base;
    const RWCollectableString str;
    const RWCollectableInt num;
    const Tagged tagged(9);
    EXPECT_NE(base.isA(), str.isA());
    EXPECT_NE(base.isA(), num.isA());
    EXPECT_NE(str.isA(), num.isA());
    EXPECT_EQ(tagged.isA(), 0x4242);

    const std::unique_ptr<RWCollectable> copy(tagged.copy());
    const std::unique_ptr<RWCollectable> fresh(tagged.newSpecies());
    ASSERT_NE(dynamic_cast<Tagged*>(copy.get()), nullptr);
    ASSERT_NE(dynamic_cast<Tagged*>(fresh.get()), nullptr);
    EXPECT_EQ(static_cast<Tagged&>(*copy).tag, 9);
    EXPECT_EQ(static_cast<Tagged&>(*fresh).tag, 5);
    EXPECT_EQ(copy->isA(), 0x4242);
}

TEST(RWCollectableString, EqualTextsAreEqualHashAlikeAndCompareZero) {
    const RWCollectableString a("alpha");
    const RWCollectableString b(RWCString("alpha"));
    EXPECT_TRUE(a.isEqual(&b));
    EXPECT_TRUE(b.isEqual(&a));
    EXPECT_EQ(a.hash(), b.hash());
    EXPECT_EQ(a.hash(), RWCString("alpha").hash());
    EXPECT_EQ(a.compareTo(&b), 0);

    struct Order {
        RWCollectableString left, right;
        int expected;
    };
    const Order orders[] = {
        {"abc", "abd", -1},
        {"abd", "abc", 1},
        {"ab", "abc", -1},
        {"", "a", -1},
        {RWCollectableString("a\0b", 3), RWCollectableString("a\0c", 3), -1},
        {RWCollectableString("\xff"), RWCollectableString("a"), 1},
        {RWCollectableString('x', 3), "xxx", 0},
    };
    for (const Order& o : orders) {
        EXPECT_EQ(o.left.compareTo(&o.right), o.expected) << o.left << " vs " << o.right;
        EXPECT_EQ(o.left.isEqual(&o.right), o.expected == 0) << o.left << " vs " << o.right;
    }
}

TEST(RWCollectableString, IsEqualOnlyToStrings) {
    const RWCollectableString s("7");
    const RWCollectableInt n(7);
    const RWCollectable plain;
    EXPECT_FALSE(s.isEqual(&n));
    EXPECT_FALSE(s.isEqual(&plain));
    EXPECT_FALSE(s.isEqual(nullptr));
}

TEST(RWCollectableString, AssignmentReplacesTextInPlace) {
    RWCollectableString s("old");
    const RWCollectable* before = &s;
    s = RWCString("new text");
    EXPECT_EQ(&s, before);
    std::ostringstream out;
    out << s;
    EXPECT_EQ(out.str(), "new text");
    s = "x";
    EXPECT_EQ(s.length(), 1u);

    const std::unique_ptr<RWCollectable> copy(s.copy());
    EXPECT_NE(copy.get(), &s);
    EXPECT_TRUE(copy->isEqual(&s));
}

TEST(RWCollectableInt, OrdersHashesAndComparesByValue) {
    struct Case {
        int left, right, expected;
    };
    const Case cases[] = {{1, 2, -1}, {2, 1, 1}, {3, 3, 0}, {INT_MIN, INT_MAX, -1}, {-1, 0, -1}};
    for (const Case& c : cases) {
        const RWCollectableInt a(c.left), b(c.right);
        EXPECT_EQ(a.compareTo(&b), c.expected) << c.left << " vs " << c.right;
        EXPECT_EQ(a.isEqual(&b), c.expected == 0) << c.left << " vs " << c.right;
    }
    EXPECT_EQ(RWCollectableInt(-1).hash(), 0xFFFFFFFFu);
    EXPECT_EQ(RWCollectableInt(42).hash(), 42u);
    EXPECT_FALSE(RWCollectableInt(0).isEqual(nullptr));

    RWCollectableInt v;
    EXPECT_EQ(v.value(), 0);
    EXPECT_EQ(v.value(8), 0);
    EXPECT_EQ(v.value(), 8);
}

}  // namespace
