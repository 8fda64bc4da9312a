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

// Keys 50 apart share a hash code, so the map must tell them apart by equality alone.
struct Colliding {
    std::size_t operator()(int k) const { return static_cast<std::size_t>(k % 50); }
};
using IntMap = RWTValHashMap<int, std::string, Colliding, std::equal_to<int>>;

TEST(RWTValHashMap, ZeroBucketsAcceptNothing) {
    IntMap m(0);
    std::string out = "untouched";
    EXPECT_FALSE(m.insert(1, "one"));
    EXPECT_FALSE(m.findValue(1, out));
    EXPECT_FALSE(m.contains(1));
    EXPECT_EQ(m.entries(), 0u);
    EXPECT_EQ(out, "untouched");
    EXPECT_TRUE(m.begin() == m.end());
    EXPECT_THROW(m[1], RWInternalErr);
}

// Random insertions, removals, look-ups, operator[] and rehashes against std::map, for a prime,
// a power of two and a single bucket; iteration then visits every pair once.
TEST(RWTValHashMap, MatchesStdMapUnderRandomUse) {
    for (std::size_t buckets : {13u, 16u, 1u}) {
        std::map<int, std::string> reference;
        std::mt19937 rng(static_cast<unsigned>(buckets));
        IntMap m(buckets);
        for (int step = 0; step < 20000; ++step) {
            const int k = static_cast<int>(rng() % 200);
            const std::string v = std::to_string(step);
            std::string found = "none", want = "none";
            int key = -1;
            switch (rng() % 5) {
                case 0:
                    ASSERT_EQ(m.insert(k, v), reference.emplace(k, v).second);
                    break;
                case 1:
                    ASSERT_EQ(m.remove(k), reference.erase(k) == 1);
                    break;
                case 2:  // a miss leaves both outputs alone
                    if (reference.count(k)) want = reference[k];
                    ASSERT_EQ(m.findKeyAndValue(k, key, found), reference.count(k) == 1);
                    ASSERT_EQ(found, want);
                    ASSERT_EQ(key, found == "none" ? -1 : k);
                    break;
                case 3:
                    ASSERT_EQ(m[k], reference[k]);  // both insert an empty value when missing
                    break;
                default:
                    if (step % 500 == 0) m.resize(1 + rng() % 40);
            }
        }
        ASSERT_EQ(m.entries(), reference.size());
        std::map<int, std::string> walked;
        for (const auto& [k, v] : m) EXPECT_TRUE(walked.emplace(k, v).second) << k;
        EXPECT_EQ(walked, reference) << buckets;
        const std::size_t count = m.capacity();
        m.clear();
        EXPECT_TRUE(m.isEmpty());
        EXPECT_FALSE(m.contains(walked.begin()->first));
        EXPECT_EQ(m.capacity(), count);  // clear keeps the buckets
    }
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
    EXPECT_EQ(deaths, 3);
    EXPECT_TRUE(v.isEmpty());
    EXPECT_EQ(v.capacity(), cap);
}

}  // namespace
