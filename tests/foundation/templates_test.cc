// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "qelkit/foundation/rw_errors.h"
#include "qelkit/foundation/rw_tptr_ordered_vector.h"
#include "qelkit/foundation/rw_tval_hash_map.h"

namespace {

struct Identity {
    std::size_t operator()(int k) const { return static_cast<std::size_t>(k); }
};
using IntMap = RWTValHashMap<int, std::string, Identity, std::equal_to<int>>;

std::vector<int> keysInOrder(const IntMap& m) {
    std::vector<int> keys;
    for (const auto& kv : m) keys.push_back(kv.first);
    return keys;
}

TEST(RWTValHashMap, ZeroBucketsAcceptNothing) {
    IntMap m(0);
    std::string out = "untouched";
    EXPECT_FALSE(m.insert(1, "one") || m.findValue(1, out) || m.contains(1) || m.remove(1));
    EXPECT_TRUE(m.entries() == 0 && m.isEmpty() && out == "untouched" && m.begin() == m.end());
    EXPECT_THROW(m[1], RWInternalErr);
}

TEST(RWTValHashMap, InsertKeepsFirstValueAndMissLeavesOutputAlone) {
    IntMap m(8);
    EXPECT_TRUE(m.insert(3, "three"));
    EXPECT_FALSE(m.insert(3, "again"));
    std::string out = "untouched";
    int key = -1;
    EXPECT_FALSE(m.findValue(4, out) || m.find(4, key) || m.findKeyAndValue(4, key, out));
    EXPECT_TRUE(out == "untouched" && key == -1);
    EXPECT_TRUE(m.findKeyAndValue(3, key, out) && key == 3 && out == "three");
    EXPECT_TRUE(m[4].empty() && m.entries() == 2);  // operator[] inserts a default value
    m.clear();
    EXPECT_TRUE(m.isEmpty() && m.capacity() == 8 && !m.contains(3));
}

TEST(RWTValHashMap, IteratesBucketByBucketInInsertionOrder) {
    struct Case {
        std::size_t buckets;
        std::vector<int> inserted, walked;
    } cases[] = {{8, {9, 1, 2, 17, 0}, {0, 9, 1, 17, 2}},  // h & 7
                 {6, {7, 12, 1, 6}, {12, 6, 7, 1}}};       // h % 6
    for (const Case& c : cases) {
        IntMap m(c.buckets);
        for (int k : c.inserted) m.insert(k, std::to_string(k));
        EXPECT_EQ(keysInOrder(m), c.walked) << c.buckets;
    }
    IntMap m(6);
    for (int k : {7, 12, 1, 6}) m.insert(k, "");
    m.resize(4);  // the old chains are walked in order and relinked by h & 3
    EXPECT_EQ(keysInOrder(m), (std::vector<int>{12, 1, 6, 7}));
}

TEST(RWTValHashMap, MatchesReferenceUnderRandomUse) {
    std::map<int, std::string> reference;
    std::mt19937 rng(5);
    IntMap m(13);
    for (int step = 0; step < 20000; ++step) {
        const int k = static_cast<int>(rng() % 200);
        const std::string v = std::to_string(step);
        EXPECT_TRUE(rng() % 2 ? m.insert(k, v) == reference.emplace(k, v).second
                              : m.remove(k) == (reference.erase(k) == 1));
    }
    ASSERT_EQ(m.entries(), reference.size());
    std::map<int, std::string> walked;
    m.apply([](const int& k, const std::string& v,
               void* d) { static_cast<std::map<int, std::string>*>(d)->emplace(k, v); },
            &walked);
    EXPECT_EQ(walked, reference);
}

// Functors that count their calls; the hash is k % 1000, so 5 and 1005 share a code.
struct Calls {
    int hashes = 0, compares = 0;
};
struct CountingHash {
    Calls* calls;
    unsigned operator()(int k) const { return ++calls->hashes, static_cast<unsigned>(k % 1000); }
};
struct CountingEqual {
    Calls* calls;
    bool operator()(int a, int b) const { return ++calls->compares, a == b; }
};

TEST(RWTValHashMap, ComparesKeysOnlyWhenHashCodesMatch) {
    Calls calls;
    RWTValHashMap<int, int, CountingHash, CountingEqual> m(4, {&calls}, {&calls});
    for (int k = 0; k < 100; ++k) m.insert(k, k);  // 25 keys in each bucket
    EXPECT_EQ(calls.compares, 0);
    // Each key is looked up, inserted, then removed; `compares` counts EQ calls in all three.
    struct Case {
        int key;
        bool found;
        int compares;
    } cases[] = {{5, true, 3}, {97, true, 3}, {105, false, 1}, {1006, false, 4}, {-3, false, 1}};
    for (const Case& c : cases) {
        calls.compares = 0;
        EXPECT_EQ(m.contains(c.key), c.found) << c.key;
        EXPECT_EQ(m.insert(c.key, 0), !c.found) << c.key;
        EXPECT_TRUE(m.remove(c.key)) << c.key;
        EXPECT_EQ(calls.compares, c.compares) << c.key;
    }
    calls.hashes = 0;
    m.resize(7);  // rehashes from the stored codes
    int value = -1;
    EXPECT_TRUE(calls.hashes == 0 && m.entries() == 98 && m.findValue(96, value) && value == 96);
}

struct Counted {
    Counted(int v, int* deaths) : v(v), deaths(deaths) {}
    ~Counted() { ++*deaths; }
    bool operator==(const Counted& o) const { return v == o.v; }
    int v;
    int* deaths;
};

TEST(RWTPtrOrderedVector, ClearAndDestroyDeletesEachElementOnce) {
    int deaths = 0;
    RWTPtrOrderedVector<Counted> v;
    Counted* twice = new Counted(1, &deaths);
    v.append(twice);
    v.insert(new Counted(2, &deaths));
    v.insertAt(0, new Counted(3, &deaths));
    v.append(twice);
    const std::size_t cap = v.capacity();
    v.clearAndDestroy();
    EXPECT_TRUE(deaths == 3 && v.isEmpty() && v.capacity() == cap);
}

TEST(RWTPtrOrderedVector, SearchesByValueAndChecksIndexes) {
    int deaths = 0;
    Counted a(1, &deaths), b(2, &deaths), alsoB(2, &deaths), c(3, &deaths), missing(9, &deaths);
    RWTPtrOrderedVector<Counted> v(2);
    for (Counted* p : {&a, &b, &c}) v.append(p);
    EXPECT_TRUE(v.index(&alsoB) == 1 && v.contains(&alsoB) && v.index(&missing) == RW_NPOS);
    EXPECT_TRUE(v[2] == &c && v(0) == &a && v.at(1) == &b);
    EXPECT_THROW(v[3], RWBoundsErr);
    EXPECT_THROW(v.insertAt(4, &a), RWBoundsErr);
    EXPECT_TRUE(v.removeAt(1) == &b && v.removeFirst() == &a && v.removeLast() == &c);
    EXPECT_THROW(v.removeLast(), RWBoundsErr);
}

}  // namespace
