// SPDX-License-Identifier: Apache-2.0
// Insertion, look-up and removal against a model, across resizes, are the collection models fuzz
// target's; here the bucket counts, which bucket a hash code picks, zero buckets and removal
// through the iterator.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <set>
#include <vector>

#include "qelkit/foundation/rw_collectable_int.h"
#include "qelkit/foundation/rw_hash_table.h"

namespace {

TEST(RWHashTable, BucketCountIsExactlyAsAskedAndResizeOnlyChangesIt) {
    EXPECT_TRUE(RWHashTable(10).buckets() == 10 && RWIdentitySet(7).buckets() == 7);
    EXPECT_EQ(RWSet().buckets(), RWCollection::DEFAULT_CAPACITY);
    // Items found after a resize are the collection models fuzz target's.
    RWCollectableInt one(1);
    RWSet set(10);
    set.insert(&one);
    for (std::size_t n : {43u, 0u}) {
        static_cast<RWHashTable&>(set).resize(n);  // virtual: the library calls it so
        EXPECT_EQ(set.buckets(), 43u);             // resize(0) ignored while items are held
    }
    set.clear();
    set.resize(0);
    EXPECT_EQ(set.buckets(), 0u);
    RWHashTable table(0);
    RWSet empty(0);
    RWIdentitySet ids(0);
    for (RWHashTable* t : std::initializer_list<RWHashTable*>{&table, &empty, &set, &ids}) {
        EXPECT_TRUE(!t->insert(&one) && !t->find(&one) && !t->remove(&one) && t->entries() == 0);
        t->resize(3);  // zero buckets hold nothing
        EXPECT_TRUE(t->insert(&one) == &one && t->find(&one) == &one);
    }
}

// Equal to every item, with the hash code it is given.
struct EqualToAll : RWCollectable {
    explicit EqualToAll(unsigned h) : h(h) {}
    unsigned hash() const override { return h; }
    RWBoolean isEqual(const RWCollectable*) const override { return true; }
    unsigned h;
};

// Items spread over every bucket: a look-up finds the stored item exactly when the two hash codes
// agree modulo the bucket count, a power of two or not.
TEST(RWHashTable, LookUpSearchesTheBucketOfTheHashModuloTheBucketCount) {
    for (unsigned n : {7u, 10u, 16u}) {
        EqualToAll stored(12);
        RWHashTable table(n);
        table.insert(&stored);
        for (unsigned h : {12u, 13u, 12u + n, 12u % n, 28u, 12u + 7 * n}) {
            const EqualToAll probe(h);
            EXPECT_EQ(table.find(&probe), h % n == 12 % n ? &stored : nullptr) << n << " " << h;
        }
    }
}

// The iterator visits every item once, duplicates included, and removes the one it stands on.
TEST(RWHashTable, IteratorVisitsEveryItemOnceAndRemovesTheCurrentOne) {
    std::vector<std::unique_ptr<RWCollectableInt>> pool;
    RWHashTable table(8);
    std::multiset<int> inserted, seen;
    for (int i = 0; i < 100; ++i) {
        table.insert(pool.emplace_back(new RWCollectableInt(i % 37)).get());
        inserted.insert(i % 37);
    }
    RWHashTableIterator it(table);
    for (std::size_t visits = 1; RWCollectable* item = it(); ++visits) {
        seen.insert(static_cast<RWCollectableInt*>(item)->value());
        if (visits % 2 == 0) {
            EXPECT_EQ(it.remove(), item);
        }
    }
    EXPECT_EQ(seen, inserted);
    EXPECT_EQ(table.entries(), 50u);
}

}  // namespace
