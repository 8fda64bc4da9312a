// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstddef>

#include "qelkit/foundation/rw_collectable_int.h"
#include "qelkit/foundation/rw_errors.h"
#include "qelkit/foundation/rw_sorted_vector.h"

namespace {

int compareInts(const void* key, const void* element) {
    const int a = *static_cast<const int*>(key), b = *static_cast<const int*>(element);
    return a < b ? -1 : a > b ? 1 : 0;
}

TEST(RWBSearch, HitGivesMatchAndMissGivesInsertionPoint) {
    const int five[] = {10, 20, 30, 40, 50};
    struct Case {
        std::size_t n;
        int key;
        bool hit;
        std::size_t idx;
    } cases[] = {{0, 10, false, 0}, {1, 10, true, 0}, {1, 5, false, 0}, {1, 15, false, 1},
                 {5, 10, true, 0},  {5, 30, true, 2}, {5, 50, true, 4}, {5, 5, false, 0},
                 {5, 35, false, 3}, {5, 55, false, 5}};
    for (const Case& c : cases) {
        std::size_t idx = 99;
        EXPECT_EQ(rwBSearch(&c.key, five, c.n, sizeof(int), compareInts, idx), c.hit) << c.key;
        EXPECT_EQ(idx, c.idx) << c.n << " elements, key " << c.key;
    }
    const int dups[] = {1, 2, 2, 2, 3};
    const int two = 2;
    std::size_t idx = 99;
    EXPECT_TRUE(rwBSearch(&two, dups, 5, sizeof(int), compareInts, idx) && dups[idx] == 2);
}

// Order of equal items, index, counts and contents are checked against a model by the
// collection models fuzz target; here find and remove take the first of equal items.
TEST(RWSortedVector, FindAndRemoveTakeTheFirstOfEqualItems) {
    RWCollectableInt a(2), b(1), c(2);
    RWSortedVector v(2);
    for (RWCollectable* p : {&a, &b, &c}) v.insert(p);
    const RWCollectableInt two(2);  // a distinct object: found by compareTo alone
    EXPECT_EQ(v.find(&two), &a);
    EXPECT_EQ(v.remove(&two), &a);
    EXPECT_EQ(v(1), &c);
    EXPECT_THROW(v[v.entries()], RWBoundsErr);
}

TEST(RWSortedVector, PositionalInsertionRaisesInternalErr) {
    RWCollectableInt one(1), two(2);
    RWSortedVector v;
    v.insert(&two);
    EXPECT_THROW(v.append(&one), RWInternalErr);
    EXPECT_THROW(v.prepend(&one), RWInternalErr);
    EXPECT_THROW(v.insertAt(0, &one), RWInternalErr);
    EXPECT_THROW(v.insertAfter(-1, &one), RWInternalErr);
    RWOrdered& base = v;
    EXPECT_THROW(base.insertAt(0, &one), RWInternalErr);
    EXPECT_EQ(v.entries(), 1u);
    v.RWOrdered::insertAt(0, &one);  // derived classes place items themselves this way
    EXPECT_TRUE(v.entries() == 2 && v[0] == &one && v.isA() == rwSortedVectorId);
}

}  // namespace
