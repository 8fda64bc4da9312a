#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "qelkit/collections/qel_resize_hash_table.h"
#include "qelkit/foundation/rw_collectable_int.h"

namespace {

TEST(QelResizeHashTable, GrowsFromTwiceItsEntriesOnceTheyExceedTheThreshold) {
    std::vector<std::unique_ptr<RWCollectableInt>> items;
    for (int i = 0; i < 22; ++i) items.push_back(std::make_unique<RWCollectableInt>(i));
    QelResizeHashTable table(10, 2);
    EXPECT_EQ(table.threshold, 20u);
    for (int i = 0; i < 21; ++i) table.insert(items[i].get());
    EXPECT_EQ(table.buckets(), 10u);
    EXPECT_EQ(table.insert(items[21].get()), items[21].get());
    EXPECT_EQ(table.buckets(), 43u);
    EXPECT_EQ(table.threshold, 86u);
    for (const auto& item : items) EXPECT_EQ(table.find(item.get()), item.get());

    QelResizeHashTable zeroFactor(10, 0);
    EXPECT_EQ(zeroFactor.loadFactor, 1u);
    EXPECT_EQ(zeroFactor.threshold, 10u);

    QelResizeHashTable primed(10, 1);
    primed.primeresize(5);
    EXPECT_EQ(primed.buckets(), 10u);
    primed.primeresize(100);
    EXPECT_EQ(primed.buckets(), 101u);
    EXPECT_EQ(primed.threshold, 101u);
}

TEST(QelResizeSets, GrowFromTwiceTheirBucketCount) {
    std::vector<std::unique_ptr<RWCollectableInt>> items;
    for (int i = 0; i < 12; ++i) items.push_back(std::make_unique<RWCollectableInt>(i));

    QelResizeSet set(10);
    for (int i = 0; i < 10; ++i) set.insert(items[i].get());
    EXPECT_EQ(set.buckets(), 10u);
    RWCollectableInt duplicate(3);
    EXPECT_EQ(set.insert(&duplicate), items[3].get());  // refused, yet the set grew first
    EXPECT_EQ(set.buckets(), 23u);
    EXPECT_EQ(set.entries(), 10u);

    QelResizeIdentitySet identity(10);
    for (int i = 0; i < 11; ++i) identity.insert(items[i].get());
    EXPECT_EQ(identity.buckets(), 23u);
    EXPECT_EQ(identity.threshold, 23u);
    identity.primeresize(100);
    EXPECT_EQ(identity.buckets(), 101u);
}

TEST(QelResizeHashCollections, InsertUniqueAnswersNullForPresentItems) {
    RWCollectableInt a(1), b(1), c(2);
    QelResizeHashTable table;
    QelResizeSet set;
    QelResizeIdentitySet identity;
    for (QelUniqueInsertable* u : std::initializer_list<QelUniqueInsertable*>{&table, &set}) {
        EXPECT_EQ(u->insertunique(&a), &a);
        EXPECT_EQ(u->insertunique(&b), nullptr);  // equal to a
        EXPECT_EQ(u->insertunique(&c), &c);
        EXPECT_EQ(u->entries(), 2u);
    }
    EXPECT_EQ(identity.insertunique(&a), &a);
    EXPECT_EQ(identity.insertunique(&b), &b);  // equal but distinct objects are both kept
    EXPECT_EQ(identity.insertunique(&a), &a);  // what the identity set answers for a present one
    EXPECT_EQ(static_cast<QelUniqueInsertable&>(identity).entries(), 2u);
}

// Seeded random insertions and removals against std::multiset models, checked after each step.
TEST(QelResizeHashCollections, AgreeWithModelsOverRandomOperations) {
    std::mt19937 rng(20261206);
    std::vector<std::unique_ptr<RWCollectableInt>> pool;
    for (int i = 0; i < 3000; ++i) pool.push_back(std::make_unique<RWCollectableInt>(i % 700));
    QelResizeHashTable table(1, 3);
    QelResizeSet set(1);
    QelResizeIdentitySet identity(2);
    std::multiset<int> tableModel;
    std::map<int, RWCollectable*> setModel;  // value -> the object the set keeps
    std::set<const RWCollectable*> identityModel;
    for (int step = 0; step < 6000; ++step) {
        RWCollectableInt* item = pool[rng() % pool.size()].get();
        if (rng() % 4 != 0) {
            table.insert(item);
            tableModel.insert(item->value());
            RWCollectable* kept = setModel.emplace(item->value(), item).first->second;
            EXPECT_EQ(set.insert(item), kept);
            identity.insert(item);
            identityModel.insert(item);
        } else {
            const bool inTable = tableModel.count(item->value()) != 0;
            EXPECT_EQ(table.remove(item) != nullptr, inTable);
            if (inTable) tableModel.erase(tableModel.find(item->value()));
            EXPECT_EQ(set.remove(item) != nullptr, setModel.erase(item->value()) == 1);
            EXPECT_EQ(identity.remove(item) == item, identityModel.erase(item) == 1);
        }
        ASSERT_EQ(table.entries(), tableModel.size());
        ASSERT_EQ(set.entries(), setModel.size());
        ASSERT_EQ(identity.entries(), identityModel.size());
        ASSERT_EQ(table.occurrencesOf(item), tableModel.count(item->value()));
        ASSERT_EQ(set.contains(item), setModel.count(item->value()) == 1);
        ASSERT_EQ(identity.contains(item), identityModel.count(item) == 1);
    }
    EXPECT_GE(table.buckets(), table.entries() / 3);
    EXPECT_GE(set.buckets(), set.entries());
}

}  // namespace
