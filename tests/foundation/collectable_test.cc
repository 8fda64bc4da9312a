// SPDX-License-Identifier: Apache-2.0
// Ordering and equality of integer items within the collections are the collection models fuzz
// target's; here the base class's identity defaults, text items, and the ends of the int range.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <set>
#include <utility>

#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_collectable_int.h"
#include "qelkit/foundation/rw_collectable_string.h"

namespace {

TEST(RWCollectable, DefaultsUseIdentityAndAddressOrder) {
    const RWCollectable items[2];  // items[0] has the lower address
    EXPECT_TRUE(items[0].isEqual(&items[0]));
    EXPECT_FALSE(items[0].isEqual(&items[1]));
    // isEqual must not look at its argument: a pointer to nothing is merely unequal.
    EXPECT_FALSE(items[0].isEqual(reinterpret_cast<const RWCollectable*>(std::uintptr_t{16})));
    EXPECT_EQ(items[0].compareTo(&items[0]), 0);
    EXPECT_EQ(items[0].compareTo(&items[1]), -1);
    EXPECT_EQ(items[1].compareTo(&items[0]), 1);
    EXPECT_NE(items[0].hash(), items[1].hash());  // from the address
    EXPECT_EQ(items[0].copy(), nullptr);          // nothing to copy in the base
}

TEST(RWCollectableString, ComparesHashesAndEqualsByTextOnly) {
    RWCollectableString a("alpha"), b("old"), sevenText("7");
    b = RWCString("alpha");
    const RWCollectableInt seven(7);
    EXPECT_TRUE(a.isEqual(&b) && b.isEqual(&a) && a.compareTo(&b) == 0 && a.hash() == b.hash());
    EXPECT_FALSE(sevenText.isEqual(&seven) || seven.isEqual(&sevenText));
    EXPECT_EQ(std::set<RWClassID>({RWCollectable().isA(), sevenText.isA(), seven.isA()}).size(),
              3u);
    const std::unique_ptr<RWCollectable> copy(a.copy());
    EXPECT_TRUE(copy && copy.get() != &a && copy->isEqual(&a));
    const std::pair<RWCollectableString, RWCollectableString> ascending[] = {
        {"abc", "abd"}, {"ab", "abc"}, {"", "a"}, {{"a\0b", 3}, {"a\0c", 3}}, {"a", "\xff"}};
    for (const auto& [lo, hi] : ascending)
        EXPECT_TRUE(lo.compareTo(&hi) == -1 && hi.compareTo(&lo) == 1 && !lo.isEqual(&hi))
            << lo << " vs " << hi;
}

TEST(RWCollectableInt, OrdersTheEndsOfTheRangeAndCopiesByValue) {
    const RWCollectableInt lo(INT_MIN), hi(INT_MAX);
    EXPECT_TRUE(lo.compareTo(&hi) == -1 && hi.compareTo(&lo) == 1);
    EXPECT_EQ(RWCollectableInt(-1).hash(), 0xFFFFFFFFu);
    const RWCollectableInt v(4);
    const std::unique_ptr<RWCollectable> copy(v.copy()), fresh(v.newSpecies());
    ASSERT_TRUE(copy && fresh && copy.get() != &v && copy->isEqual(&v) && fresh->isA() == v.isA());
    EXPECT_EQ(static_cast<RWCollectableInt&>(*fresh).value(), 0);
}

}  // namespace
