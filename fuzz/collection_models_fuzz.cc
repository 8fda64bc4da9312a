// SPDX-License-Identifier: Apache-2.0
// Runs a decoded sequence of operations on one of the eleven collections and checks it after
// every step against a vector of the pointers it holds: the contents (in order for the
// sequences), every answer and count, that find, index, remove and removeAndDestroy take the
// first equal item in insertion order, and, through the live registry of tests/collections,
// which items removeAndDestroy and clearAndDestroy deleted.
//
// Input: [collection] then operations, each [op][item][value]: the item byte picks a stored
// object (odd) or a new one of the given value (even); a sorted vector gets new ones only, so
// that its equal items are distinct objects kept in the order of their insertion.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <set>
#include <vector>

#include "fuzz/fuzz_check.h"
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
struct Kind {
    Order order;
    bool identity, insertRefuses, uniqueAnswersIt;
};

// One collection of each kind, built as the library's users build them: small first sizes and
// every growth policy.
struct Collections {
    BasicIncrementer three{3};
    QelOrdered ordered{0, MultiplyingIncrementer::global()};
    QelSortedVector sorted{0, &three};
    QelSortedIdentityVector identityVector{1};
    QelResizeHashTable table{1, 3};
    QelResizeSet set{1};
    QelResizeIdentitySet identitySet{2};
    RWOrdered rwOrdered{1};
    RWSortedVector rwSorted{1};
    RWHashTable rwTable{7};
    RWSet rwSet{8};
    RWIdentitySet rwIdentitySet{5};

    // The collection, its unique insertion (or null) and its kind.
    void pick(unsigned i, RWCollection** c, QelUniqueInsertable** u, Kind* k) {
        const struct {
            RWCollection* c;
            QelUniqueInsertable* u;
            Kind k;
        } all[] = {{&rwOrdered, nullptr, {kAtTheEnd, false, false, false}},
                   {&rwSorted, nullptr, {kByValue, false, false, false}},
                   {&rwTable, nullptr, {kUnordered, false, false, false}},
                   {&rwSet, nullptr, {kUnordered, false, true, false}},
                   {&rwIdentitySet, nullptr, {kUnordered, true, true, false}},
                   {&ordered, &ordered, {kAtTheEnd, false, false, false}},
                   {&sorted, &sorted, {kByValue, false, false, false}},
                   {&identityVector, &identityVector, {kByAddress, true, false, false}},
                   {&table, &table, {kUnordered, false, false, false}},
                   {&set, &set, {kUnordered, false, true, false}},
                   {&identitySet, &identitySet, {kUnordered, true, true, true}}};
        const auto& chosen = all[i % (sizeof all / sizeof all[0])];
        *c = chosen.c, *u = chosen.u, *k = chosen.k;
    }
};

void collect(RWCollectable* item, void* out) {
    static_cast<std::vector<RWCollectable*>*>(out)->push_back(item);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    LivePool pool;  // declared first: deletes what is left after the collections are gone
    Collections all;
    RWCollection* c;
    QelUniqueInsertable* u;
    Kind k;
    all.pick(data[0], &c, &u, &k);
    auto* seq = dynamic_cast<RWSequenceable*>(c);
    std::vector<RWCollectable*> model;
    std::size_t destroyed = 0;
    const auto same = [&](const RWCollectable* p, const RWCollectable* q) {
        return k.identity ? p == q : bool(p->isEqual(q));
    };
    const auto before = [&](RWCollectable* a, RWCollectable* b) {
        return k.order == kByValue ? valueOf(a) < valueOf(b) : std::less<RWCollectable*>()(a, b);
    };
    for (std::size_t at = 1; at + 2 < size; at += 3) {
        const unsigned op = data[at] % 10, pickByte = data[at + 1];
        const bool stored = !model.empty() && pickByte % 2 && k.order != kByValue;
        RWCollectable* item = stored ? model[pickByte / 2 % model.size()] : pool.make(data[at + 2]);
        const auto isItem = [&](RWCollectable* p) { return same(p, item); };
        std::vector<RWCollectable*> equal;
        std::copy_if(model.begin(), model.end(), std::back_inserter(equal), isItem);
        RWCollectable* const first = equal.empty() ? nullptr : equal[0];
        if (op < 5) {  // op 4: insertunique where there is one, the others insert
            const bool unique = op == 4 && u != nullptr;
            RWCollectable* got = unique ? u->insertunique(item) : c->insert(item);
            check(got == (!first   ? item
                          : unique ? (k.uniqueAnswersIt ? first : nullptr)
                                   : (k.insertRefuses ? first : item)));
            if (!first || (!unique && !k.insertRefuses))
                model.insert(k.order == kAtTheEnd || k.order == kUnordered
                                 ? model.end()
                                 : std::upper_bound(model.begin(), model.end(), item, before),
                             item);
        } else if (op < 7) {
            check(c->remove(item) == first);
            if (first) model.erase(std::find(model.begin(), model.end(), first));
        } else if (op < 8) {  // only when no copy of a deleted pointer would be left dangling
            if (std::set<RWCollectable*>(equal.begin(), equal.end()).size() < equal.size())
                continue;
            c->removeAndDestroy(item);
            const auto dead = std::stable_partition(
                model.begin(), model.end(), [](auto* p) { return liveItems.count(p) != 0; });
            check(model.end() - dead == (first ? 1 : 0));
            check(dead == model.end() || *dead == first);
            destroyed += static_cast<std::size_t>(model.end() - dead);
            model.erase(dead, model.end());
        } else {  // index finds an equal item; occurrencesOf counts from there on
            const std::size_t idx = seq ? seq->index(item) : 0;
            check(idx == RW_NPOS ? !first : !seq || model[idx] == first);
            const auto from = idx == RW_NPOS ? model.end() : model.begin() + long(idx);
            check(c->occurrencesOf(item) ==
                  static_cast<std::size_t>(std::count_if(from, model.end(), isItem)));
            check(bool(c->contains(item)) == (first != nullptr) && c->find(item) == first);
            if (auto* sorted = dynamic_cast<QelSortedVector*>(c)) {  // items ordered below it
                const auto below = [&](auto* p) { return valueOf(p) < valueOf(item); };
                check(sorted->rank(item) ==
                      static_cast<std::size_t>(std::count_if(model.begin(), model.end(), below)));
            }
        }
        std::vector<RWCollectable*> held, expected = model;
        c->apply(collect, &held);
        if (!seq) std::sort(held.begin(), held.end()), std::sort(expected.begin(), expected.end());
        check(held == expected);
        check(c->entries() == model.size());
        check(pool.made - liveItems.size() == destroyed);
    }
    c->clearAndDestroy();  // each distinct item once
    const std::set<RWCollectable*> distinct(model.begin(), model.end());
    check(pool.made - liveItems.size() == destroyed + distinct.size());
    for (RWCollectable* p : distinct) check(liveItems.count(p) == 0);
    return 0;
}
