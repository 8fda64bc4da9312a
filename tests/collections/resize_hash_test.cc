// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <vector>

#include "qelkit/collections/qel_resize_hash_table.h"
#include "tests/collections/live_item.h"

namespace {

TEST(QelResizeHashCollections, GrowToAPrimeAboveTwiceTheirSizeAtTheirThreshold) {
    LivePool pool;
    std::vector<RWCollectable*> items;
    for (int i = 0; i < 22; ++i) items.push_back(pool.make(i));
    QelResizeHashTable table(10, 2), zeroFactor(10, 0), primed(10, 1);
    EXPECT_EQ(table.threshold, 20u);
    for (int i = 0; i < 21; ++i) table.insert(items[i]);
    EXPECT_EQ(table.buckets(), 10u);
    table.insert(items[21]);  // entries beyond the threshold: twice the entries, then prime
    EXPECT_TRUE(table.buckets() == 43u && table.threshold == 86u);
    EXPECT_TRUE(zeroFactor.loadFactor == 1u && zeroFactor.threshold == 10u);
    primed.primeresize(5);
    EXPECT_EQ(primed.buckets(), 10u);  // never shrinks
    primed.primeresize(100);
    EXPECT_TRUE(primed.buckets() == 101u && primed.threshold == 101u);

    QelResizeSet set(10);  // the sets grow from twice their bucket count
    QelResizeIdentitySet identity(10);
    for (int i = 0; i < 10; ++i) set.insert(items[i]);
    EXPECT_EQ(set.buckets(), 10u);
    EXPECT_EQ(set.insert(pool.make(3)), items[3]);  // refused, yet the set grew first
    EXPECT_TRUE(set.buckets() == 23u && set.entries() == 10u);
    for (int i = 0; i < 11; ++i) identity.insert(items[i]);
    EXPECT_TRUE(identity.buckets() == 23u && identity.threshold == 23u);
    identity.primeresize(100);
    EXPECT_EQ(identity.buckets(), 101u);
}

}  // namespace
