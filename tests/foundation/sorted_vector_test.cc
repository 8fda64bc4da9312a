#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

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

TEST(RWSortedVector, EqualItemsKeepInsertionOrderAndSearchByCompareTo) {
    std::vector<std::unique_ptr<RWCollectableInt>> items;
    std::mt19937 rng(7);
    RWSortedVector v(2);
    std::vector<std::pair<int, RWCollectable*>> reference;
    for (int i = 0; i < 300; ++i) {
        items.push_back(std::make_unique<RWCollectableInt>(static_cast<int>(rng() % 40)));
        EXPECT_EQ(v.insert(items.back().get()), items.back().get());
        reference.emplace_back(items.back()->value(), items.back().get());
    }
    std::stable_sort(reference.begin(), reference.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < reference.size(); ++i) ASSERT_EQ(v[i], reference[i].second) << i;
    for (int key = -1; key <= 40; ++key) {
        const RWCollectableInt probe(key);  // a distinct object: found by compareTo alone
        const auto lo = std::find_if(reference.begin(), reference.end(),
                                     [&](const auto& r) { return r.first == key; });
        const auto count = std::count_if(reference.begin(), reference.end(),
                                         [&](const auto& r) { return r.first == key; });
        const std::size_t first = lo == reference.end() ? RW_NPOS : lo - reference.begin();
        EXPECT_EQ(v.index(&probe), first) << key;
        EXPECT_EQ(v.occurrencesOf(&probe), static_cast<std::size_t>(count)) << key;
        EXPECT_EQ(v.contains(&probe), count != 0);
        EXPECT_EQ(v.find(&probe), count ? lo->second : nullptr);
        EXPECT_EQ(v.remove(&probe), count ? lo->second : nullptr);
        if (count) reference.erase(lo);
    }
    ASSERT_EQ(v.entries(), reference.size());
    for (std::size_t i = 0; i < reference.size(); ++i) EXPECT_EQ(v(i), reference[i].second);
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
