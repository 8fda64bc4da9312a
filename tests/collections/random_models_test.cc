// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <vector>

#include "qelkit/collections/incrementer.h"
#include "qelkit/collections/qel_ordered.h"
#include "qelkit/collections/qel_resize_hash_table.h"
#include "qelkit/collections/qel_sorted_vector.h"
#include "qelkit/foundation/rw_defs.h"
#include "qelkit/foundation/rw_hash_table.h"
#include "qelkit/foundation/rw_sorted_vector.h"
#include "tests/collections/live_item.h"

namespace {

enum Order { kAtTheEnd, kByValue, kByAddress, kUnordered };

// How one collection behaves: where insert puts an item; whether equal means the same object;
// whether insert answers the equal item present instead of inserting; whether insertunique
// answers the equal item present instead of null.
// clang-format off
struct Kind { const char* name; RWCollection* c; QelUniqueInsertable* u; Order order;
              bool identity, insertRefuses, uniqueAnswersIt; };
// clang-format on

void collect(RWCollectable* item, void* out) {
    static_cast<std::vector<RWCollectable*>*>(out)->push_back(item);
}

// Seeded random operations on one collection against a vector of the pointers it holds, checked
// after every step: the contents (in order for the sequences), the answers and counts, and
// through the live registry which items removeAndDestroy and clearAndDestroy deleted.
void agreeWithModel(const Kind& k, unsigned seed, int steps) {
    SCOPED_TRACE(k.name);
    std::mt19937 rng(seed);
    LivePool pool;
    std::vector<RWCollectable*> model;
    std::size_t destroyed = 0;
    auto* seq = dynamic_cast<RWSequenceable*>(k.c);
    auto same = [&](const RWCollectable* p, const RWCollectable* q) {
        return k.identity ? p == q : bool(p->isEqual(q));
    };
    auto before = [&](RWCollectable* a, RWCollectable* b) {
        return k.order == kByValue ? valueOf(a) < valueOf(b) : std::less<RWCollectable*>()(a, b);
    };
    for (int step = 0; step < steps; ++step) {
        const unsigned op = rng() % 10;
        // A stored object or a new one. A sorted vector gets only new ones, so that its equal
        // items are distinct objects kept in the order of their insertion.
        const bool stored = !model.empty() && rng() % 2 && k.order != kByValue;
        RWCollectable* item = stored ? model[rng() % model.size()] : pool.make(int(rng() % 200));
        auto isItem = [&](RWCollectable* p) { return same(p, item); };
        std::vector<RWCollectable*> equal;
        std::copy_if(model.begin(), model.end(), std::back_inserter(equal), isItem);
        RWCollectable* const first = equal.empty() ? nullptr : equal[0];
        if (op < 5) {  // op 4: insertunique where there is one, the others insert
            const bool unique = op == 4 && k.u != nullptr;
            RWCollectable* got = unique ? k.u->insertunique(item) : k.c->insert(item);
            ASSERT_EQ(got, !first   ? item
                           : unique ? (k.uniqueAnswersIt ? first : nullptr)
                                    : (k.insertRefuses ? first : item));
            if (!first || (!unique && !k.insertRefuses))
                model.insert(k.order == kAtTheEnd || k.order == kUnordered
                                 ? model.end()
                                 : std::upper_bound(model.begin(), model.end(), item, before),
                             item);
        } else if (op < 7) {  // the collection in insertion order takes the first equal item
            RWCollectable* got = k.c->remove(item);
            ASSERT_EQ(got != nullptr, first != nullptr);
            if (got) {
                ASSERT_TRUE(same(got, item) && (k.order != kAtTheEnd || got == first));
                model.erase(std::find(model.begin(), model.end(), got));
            }
        } else if (op < 8) {  // only when no copy of a deleted pointer would be left dangling
            if (std::set<RWCollectable*>(equal.begin(), equal.end()).size() < equal.size())
                continue;
            k.c->removeAndDestroy(item);
            const auto dead = std::stable_partition(
                model.begin(), model.end(), [](auto* p) { return liveItems.count(p) != 0; });
            ASSERT_EQ(model.end() - dead, first ? 1 : 0);
            ASSERT_TRUE(k.order != kAtTheEnd || dead == model.end() || *dead == first);
            destroyed += model.end() - dead;
            model.erase(dead, model.end());
        } else {  // index finds an equal item; occurrencesOf counts from there on
            const std::size_t at = seq ? seq->index(item) : 0;
            ASSERT_TRUE(at == RW_NPOS ? !first : !seq || same(model[at], item));
            const auto from = at == RW_NPOS ? model.end() : model.begin() + long(at);
            ASSERT_EQ(k.c->occurrencesOf(item),
                      std::size_t(std::count_if(from, model.end(), isItem)));
            ASSERT_EQ(bool(k.c->contains(item)), first != nullptr);
            if (auto* sorted = dynamic_cast<QelSortedVector*>(k.c)) {  // items ordered below it
                const auto below = [&](auto* p) { return valueOf(p) < valueOf(item); };
                ASSERT_EQ(sorted->rank(item),
                          std::size_t(std::count_if(model.begin(), model.end(), below)));
            }
        }
        std::vector<RWCollectable*> held, expected = model;
        k.c->apply(collect, &held);
        if (!seq) std::sort(held.begin(), held.end()), std::sort(expected.begin(), expected.end());
        ASSERT_EQ(held, expected) << "step " << step;
        ASSERT_EQ(k.c->entries(), model.size());
        ASSERT_EQ(pool.made - liveItems.size(), destroyed);
    }
    k.c->clearAndDestroy();  // each distinct item once
    const std::set<RWCollectable*> distinct(model.begin(), model.end());
    EXPECT_EQ(pool.made - liveItems.size(), destroyed + distinct.size());
    for (RWCollectable* p : distinct) EXPECT_EQ(liveItems.count(p), 0u);
}

TEST(Collections, RandomOperationsAgreeWithModels) {
    BasicIncrementer three(3);
    QelOrdered ordered(0, MultiplyingIncrementer::global());
    QelSortedVector sorted(0, &three);
    QelSortedIdentityVector identityVector(1);
    QelResizeHashTable table(1, 3);
    QelResizeSet set(1);
    QelResizeIdentitySet identitySet(2);
    RWOrdered rwOrdered(1);
    RWSortedVector rwSorted(1);
    RWHashTable rwTable(7);
    RWSet rwSet(8);
    RWIdentitySet rwIdentitySet(5);
    const Kind kinds[] = {
        {"RWOrdered", &rwOrdered, nullptr, kAtTheEnd, false, false, false},
        {"RWSortedVector", &rwSorted, nullptr, kByValue, false, false, false},
        {"RWHashTable", &rwTable, nullptr, kUnordered, false, false, false},
        {"RWSet", &rwSet, nullptr, kUnordered, false, true, false},
        {"RWIdentitySet", &rwIdentitySet, nullptr, kUnordered, true, true, false},
        {"ordered", &ordered, &ordered, kAtTheEnd, false, false, false},
        {"sorted vector", &sorted, &sorted, kByValue, false, false, false},
        {"identity vector", &identityVector, &identityVector, kByAddress, true, false, false},
        {"hash table", &table, &table, kUnordered, false, false, false},
        {"set", &set, &set, kUnordered, false, true, false},
        {"identity set", &identitySet, &identitySet, kUnordered, true, true, true}};
    for (const Kind& k : kinds) agreeWithModel(k, 20261206u + unsigned(&k - kinds), 2000);
}

}  // namespace
