// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <vector>

#include "qelkit/collections/qel_sorted_vector.h"
#include "tests/collections/live_item.h"

namespace {

int descendingSlots(const void* a, const void* b) { return valueSlots(b, a); }

std::vector<int> keys(const std::vector<RWCollectable*>& items) {
    std::vector<int> out;
    for (RWCollectable* item : items) out.push_back(valueOf(item));
    return out;
}

// The sort types: quickSort ignores the function and sorts by compareTo, as qsort does without
// one; none leaves the order alone.
TEST(SortedVector, SortTypesChooseTheOrdering) {
    const struct {
        QelSVsortType type;
        QelSlotCompare cmp;
        std::vector<int> left;
    } rows[] = {{QelSVquickSort, descendingSlots, {1, 2, 3, 4}},
                {QelSVqsort, nullptr, {1, 2, 3, 4}},
                {QelSVnone, valueSlots, {3, 1, 4, 2}}};
    for (const auto& row : rows) {
        LivePool pool;
        QelSortedVector v;
        for (int k : {3, 1, 4, 2}) v.append(pool.make(k));
        v.sort(row.type, row.cmp);
        EXPECT_EQ(keys(itemsOf(v)), row.left) << row.type;
    }
}

TEST(SortedVectors, BlockInsertGrowsThroughThePolicyAndSortsOnce) {
    // step 0: a null policy, so the shared BasicIncrementer
    // clang-format off
    const struct { std::size_t capacity; int step, count, items; std::size_t after; } rows[] = {
        {10, 0, 0, 11, 42},  // the shared policy grows 10 to 42
        {2, 3, 0, 6, 8},     // count 0: 2 -> 5 -> 8 through the policy
        {10, 3, 4, 4, 10},   // a count that fits reshapes nothing
        {4, 3, 6, 6, 6},     // reshaped once to exactly entries + count
        {4, 3, 5, 8, 69}};   // more than announced: the surplus uses RWOrdered's +64
    // clang-format on
    for (const auto& row : rows) {
        LivePool pool;
        BasicIncrementer policy(row.step);
        QelSortedVector v(row.capacity, row.step ? &policy : nullptr);
        QelSortedIdentityVector w(row.capacity, row.step ? &policy : nullptr);
        std::vector<RWCollectable*> fresh;
        RWOrdered source;
        for (int i = row.items; i > 0; --i) fresh.push_back(source.insert(pool.make(i)));
        RWOrderedIterator it(source), itw(source);
        v.blockInsert(it, QelSVquickSort, row.count);
        w.blockInsert(itw, QelSVnone, row.count);
        EXPECT_TRUE(v.capacity() == row.after && w.capacity() == row.after) << row.capacity;
        EXPECT_EQ(itemsOf(v), std::vector<RWCollectable*>(fresh.rbegin(), fresh.rend()));
    }
}

}  // namespace
