#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

#include "qelkit/foundation/rw_collectable_int.h"
#include "qelkit/foundation/rw_collectable_string.h"
#include "qelkit/foundation/rw_hash_table.h"

namespace {

struct Counted : RWCollectableInt {
    Counted(int v, int* deaths) : RWCollectableInt(v), deaths(deaths) {}
    ~Counted() override { ++*deaths; }
    int* deaths;
};

TEST(RWHashTable, BucketCountIsExactlyAsAskedAndResizeOnlyChangesIt) {
    for (std::size_t n : {0u, 1u, 10u, 43u, 64u, 1000u}) EXPECT_EQ(RWHashTable(n).buckets(), n);
    EXPECT_EQ(RWSet().buckets(), RWCollection::DEFAULT_CAPACITY);
    EXPECT_EQ(RWIdentitySet(7).buckets(), 7u);
    std::vector<std::unique_ptr<RWCollectableInt>> items;
    RWSet set(10);
    for (int i = 0; i < 500; ++i) set.insert(items.emplace_back(new RWCollectableInt(i)).get());
    for (std::size_t n : {43u, 1u, 64u, 4096u, 7u, 0u}) {
        RWHashTable& table = set;
        table.resize(n);  // virtual: the library calls it through its own classes
        EXPECT_EQ(set.buckets(), n == 0 ? 7u : n);  // resize(0) ignored while items are held
        ASSERT_EQ(set.entries(), 500u);
        for (int i = 0; i < 500; ++i) {
            const RWCollectableInt probe(i);
            ASSERT_EQ(set.find(&probe), items[i].get()) << i << " after resize " << n;
        }
    }
    set.clear();
    EXPECT_EQ(set.buckets(), 7u);
    set.resize(0);
    EXPECT_EQ(set.buckets(), 0u);
}

TEST(RWHashTable, ZeroBucketsHoldNothing) {
    RWCollectableInt one(1);
    RWHashTable table(0);
    RWSet set(0);
    RWIdentitySet ids(0);
    for (RWHashTable* t :
         {&table, static_cast<RWHashTable*>(&set), static_cast<RWHashTable*>(&ids)}) {
        EXPECT_EQ(t->insert(&one), nullptr);
        EXPECT_TRUE(!t->find(&one) && !t->remove(&one) && t->occurrencesOf(&one) == 0);
        EXPECT_TRUE(t->isEmpty() && t->entries() == 0);
        t->resize(3);
        EXPECT_EQ(t->insert(&one), &one);
        EXPECT_EQ(t->find(&one), &one);
    }
}

TEST(RWHashTable, DuplicatesAllowedAndFoundInInsertionOrder) {
    RWCollectableString a("k"), b("k"), c("other");
    RWHashTable table(4);
    for (RWCollectable* p : {&a, &b, &c, &a}) EXPECT_EQ(table.insert(p), p);
    EXPECT_TRUE(table.entries() == 4 && table.occurrencesOf(&b) == 3 && table.find(&b) == &a);
    table.resize(5);
    EXPECT_EQ(table.remove(&a), &a);
    EXPECT_EQ(table.find(&a), &b);
    EXPECT_EQ(table.remove(&a), &b);
    EXPECT_TRUE(table.remove(&a) == &a && table.remove(&a) == nullptr && table.entries() == 1);
}

TEST(RWSet, RefusesEqualItemAndReturnsThePresentOne) {
    RWCollectableString first("same"), second("same"), other("other");
    RWSet set;
    EXPECT_EQ(set.insert(&first), &first);
    EXPECT_EQ(set.insert(&second), &first);
    EXPECT_EQ(set.insert(&other), &other);
    EXPECT_TRUE(set.entries() == 2 && set.find(&second) == &first && set.contains(&second));
}

TEST(RWIdentitySet, KeepsEqualObjectsButNotTheSamePointerTwice) {
    RWCollectableString first("same"), second("same");
    RWIdentitySet set(3);
    EXPECT_EQ(set.insert(&first), &first);
    EXPECT_EQ(set.insert(&second), &second);
    EXPECT_EQ(set.insert(&first), &first);
    EXPECT_EQ(set.entries(), 2u);
    const RWCollectableString third("same");
    EXPECT_TRUE(set.find(&third) == nullptr && set.find(&second) == &second);
    EXPECT_TRUE(set.remove(&second) == &second && set.find(&first) == &first);
}

// Random inserts, removals and resizes against a reference count per value; then every item is
// visited once by the iterator, which also empties the table through its own remove().
TEST(RWHashTable, MatchesReferenceUnderRemovalResizeAndIteration) {
    std::vector<std::unique_ptr<RWCollectableInt>> pool;
    for (int i = 0; i < 64; ++i) pool.emplace_back(new RWCollectableInt(i));
    std::map<int, int> reference;
    std::mt19937 rng(11);
    RWHashTable table(8);
    for (int step = 0; step < 20000; ++step) {
        const int v = static_cast<int>(rng() % 64), op = static_cast<int>(rng() % 100);
        if (op < 50) {
            table.insert(pool[v].get());
            ++reference[v];
        } else if (op < 98) {
            EXPECT_EQ(table.remove(pool[v].get()) != nullptr, reference[v] > 0);
            if (reference[v] > 0) --reference[v];
        } else {
            table.resize(1 + rng() % 100);
        }
        ASSERT_EQ(table.occurrencesOf(pool[v].get()), static_cast<std::size_t>(reference[v]));
    }
    std::map<int, int> seen;
    RWHashTableIterator it(table);
    const std::size_t before = table.entries();
    std::size_t visits = 0;
    while (RWCollectable* item = it()) {
        ++seen[static_cast<RWCollectableInt*>(item)->value()];
        ++visits;
        if (visits % 2 == 0) {
            EXPECT_EQ(it.remove(), item);
        }
    }
    EXPECT_TRUE(visits == before && table.entries() == before - before / 2);
    for (auto& [v, count] : reference) EXPECT_EQ(seen[v], count) << v;
    it.reset();
    while (it()) it.remove();
    EXPECT_TRUE(table.isEmpty() && it() == nullptr);
}

TEST(RWHashTable, ClearAndDestroyDeletesEachDistinctItemOnce) {
    int deaths = 0;
    RWHashTable table(3);
    Counted* twice = new Counted(1, &deaths);
    table.insert(twice);
    table.insert(twice);
    table.insert(new Counted(2, &deaths));
    table.RWCollection::clearAndDestroy();
    EXPECT_TRUE(deaths == 2 && table.isEmpty() && table.buckets() == 3);
}

}  // namespace
