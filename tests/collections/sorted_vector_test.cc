// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstring>
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

// One operation on a QelSortedVector filled by append with `stored`. `arg` holds keys of new
// items, except for d and i, where it indexes `stored` (-1: a new item). For d, v and D the result
// is also the number of objects deleted.
TEST(SortedVector, SmallCasesGiveResultAndOrder) {
    // clang-format off
    const struct { char op; std::vector<int> stored, arg; int result; std::vector<int> left; } rows[] = {
        {'q', {3, 1, 4, 2}, {}, 0, {1, 2, 3, 4}},  // sort(QelSVquickSort, descending): cmp ignored
        {'Q', {3, 1, 4, 2}, {}, 0, {1, 2, 3, 4}},  // sort(QelSVqsort, null): by compareTo
        {'n', {3, 1, 4, 2}, {}, 0, {3, 1, 4, 2}},  // sort(QelSVnone, valueSlots): untouched
        {'D', {1, 1, 2, 3, 3, 3}, {}, 3, {1, 2, 3}},  // removeDuplicates deletes the later ones
        {'d', {0, 1, 2, 3, 4, 5}, {-1, -1, 2, 5}, 2, {0, 1, 3, 4}},  // leading misses skipped
        {'d', {0, 1, 2, 3, 4, 5}, {3, 1, 4}, 1, {0, 1, 2, 4, 5}},    // out of order: pass ends at 1
        {'v', {0, 1, 2, 3, 4, 5}, {1, 2}, 2, {0, 3, 4, 5}},          // equal by isEqual: deleted
        {'i', {0, 1, 2, 3, 4, 5}, {3, 1, 4}, 3, {0, 2, 5}},  // 1 and 4 through remove afterwards
        {'c', {0, 1, 2, 3, 4, 5}, {-1, 2, 3}, 2, {0, 1, 4, 5}}};  // equal keys, other objects
    // clang-format on
    for (const auto& row : rows) {
        LivePool pool;
        QelSortedVector v;
        std::vector<RWCollectable*> stored;
        RWOrdered list;
        for (int k : row.stored) stored.push_back(v.append(pool.make(k)));
        for (int k : row.arg)
            list.insert(k >= 0 && std::strchr("di", row.op) ? stored[k] : pool.make(k));
        const std::size_t before = liveItems.size();
        const int result = row.op == 'q'   ? (v.sort(QelSVquickSort, descendingSlots), 0)
                           : row.op == 'Q' ? (v.sort(QelSVqsort, nullptr), 0)
                           : row.op == 'n' ? (v.sort(QelSVnone, valueSlots), 0)
                           : row.op == 'D' ? v.removeDuplicates(nullptr)
                           : row.op == 'i' ? v.identityBlockRemove(list)
                           : row.op == 'c' ? v.comparedBlockRemove(list, valueSlots)
                                           : v.blockRemoveAndDestroy(list);
        EXPECT_EQ(result, row.result) << row.op;
        EXPECT_EQ(keys(itemsOf(v)), row.left) << row.op;
        EXPECT_EQ(before - liveItems.size(), std::strchr("dvD", row.op) ? std::size_t(result) : 0u);
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
