// SPDX-License-Identifier: Apache-2.0
// Runs a decoded sequence of operations on one of the eleven collections and checks it after
// every step against a vector of the pointers it holds: the contents (in order for the
// sequences), every answer and count, that find, index, remove and removeAndDestroy take the
// first equal item in insertion order, and, through the live registry of tests/collections,
// which items the collection deleted. On RWOrdered and QelOrdered also placement by position
// (a bad position throws RWBoundsErr and changes nothing), the first and last items, reshape,
// freeSpace, the sorts, and the capacity: a full vector grows by the collection's policy, or by
// 64 where it has none or the policy would not grow. On QelSortedVector the bulk operations:
// blockInsert, removeDuplicates, indexWith and the three block removals, whose reference is a pass
// over the model from the first list item stored: each list item takes the next stored item it
// matches, and the first one that finds none ends the pass.
//
// Input: [collection] then operations, each [op][item][value]: the item byte picks a stored
// object (odd) or a new one of the given value (even); a sorted vector gets new ones only, so
// that its equal items are distinct objects kept in the order of their insertion. A bulk
// operation draws its list from a generator seeded by the item and value bytes.
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
#include "qelkit/foundation/rw_errors.h"
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

using Items = std::vector<RWCollectable*>;

void collect(RWCollectable* item, void* out) { static_cast<Items*>(out)->push_back(item); }

bool byValue(const RWCollectable* a, const RWCollectable* b) { return valueOf(a) < valueOf(b); }
int descending(const RWCollectable* a, const RWCollectable* b) { return valueOf(b) - valueOf(a); }
int byDirection(const RWCollectable* a, const RWCollectable* b, void* direction) {
    return *static_cast<const int*>(direction) * (valueOf(a) - valueOf(b));
}

// Whether f throws RWBoundsErr.
template <class F>
bool refused(F f) {
    try {
        f();
    } catch (const RWBoundsErr&) {
        return true;
    }
    return false;
}

struct CountingNotifier : QelDuplicateNotifier {
    Items seen;
    int notify(QelSortedVector*, RWCollectable* duplicate) override {
        seen.push_back(duplicate);
        return 1;
    }
};

// One collection under test, its model and the number of items it deleted.
struct Run {
    LivePool& pool;
    RWCollection* c;
    QelUniqueInsertable* u;
    Kind k;
    Items model;
    std::size_t destroyed = 0;
    std::size_t capacity = 0;  // of RWOrdered and QelOrdered

    // Before an item is added to an insertion-ordered vector.
    void grow() {
        if (k.order != kAtTheEnd || model.size() < capacity) return;
        auto* q = dynamic_cast<QelOrdered*>(c);
        const std::size_t by = q ? q->incrementer()->increment(unsigned(capacity)) : 0;
        capacity = by > capacity ? by : capacity + 64;
    }

    bool same(const RWCollectable* p, const RWCollectable* q) const {
        return k.identity ? p == q : bool(p->isEqual(q));
    }

    // A stored item (an odd pick byte) or a new one of the value.
    RWCollectable* item(unsigned pickByte, int value) {
        const bool stored = !model.empty() && pickByte % 2 && k.order != kByValue;
        return stored ? model[pickByte / 2 % model.size()] : pool.make(value);
    }

    // The operations every collection has (op 0-9).
    void step(unsigned op, unsigned pickByte, int value) {
        auto* seq = dynamic_cast<RWSequenceable*>(c);
        RWCollectable* const item = this->item(pickByte, value);
        const auto isItem = [&](RWCollectable* p) { return same(p, item); };
        Items equal;
        std::copy_if(model.begin(), model.end(), std::back_inserter(equal), isItem);
        RWCollectable* const first = equal.empty() ? nullptr : equal[0];
        if (op < 5) {  // op 4: insertunique where there is one, the others insert
            const bool unique = op == 4 && u != nullptr;
            RWCollectable* got = unique ? u->insertunique(item) : c->insert(item);
            check(got == (!first   ? item
                          : unique ? (k.uniqueAnswersIt ? first : nullptr)
                                   : (k.insertRefuses ? first : item)));
            const auto at =
                k.order == kByValue ? std::upper_bound(model.begin(), model.end(), item, byValue)
                : k.order == kByAddress ? std::upper_bound(model.begin(), model.end(), item,
                                                           std::less<RWCollectable*>())
                                        : model.end();
            if (!first || (!unique && !k.insertRefuses)) grow(), model.insert(at, item);
        } else if (op < 7) {
            check(c->remove(item) == first);
            if (first) model.erase(std::find(model.begin(), model.end(), first));
        } else if (op < 8) {  // only when no copy of a deleted pointer would be left dangling
            if (std::set<RWCollectable*>(equal.begin(), equal.end()).size() < equal.size()) return;
            c->removeAndDestroy(item);
            const auto dead = std::stable_partition(
                model.begin(), model.end(), [](auto* p) { return liveItems.count(p) != 0; });
            check(model.end() - dead == (first ? 1 : 0));
            check(dead == model.end() || *dead == first);
            destroyed += static_cast<std::size_t>(model.end() - dead);
            model.erase(dead, model.end());
        } else {  // index finds an equal item; occurrencesOf counts from there on
            if (auto* table = dynamic_cast<RWHashTable*>(c); table && op == 9)
                table->resize(
                    1 + static_cast<std::size_t>(value % 40));  // equal items keep their order
            const std::size_t idx = seq ? seq->index(item) : 0;
            check(idx == RW_NPOS ? !first : !seq || model[idx] == first);
            const auto from = idx == RW_NPOS ? model.end() : model.begin() + long(idx);
            check(c->occurrencesOf(item) ==
                  static_cast<std::size_t>(std::count_if(from, model.end(), isItem)));
            check(bool(c->contains(item)) == (first != nullptr) && c->find(item) == first);
            if (auto* sorted = dynamic_cast<QelSortedVector*>(c))  // items ordered below it
                check(sorted->rank(item) ==
                      static_cast<std::size_t>(std::count_if(
                          model.begin(), model.end(), [&](auto* p) { return byValue(p, item); })));
        }
    }

    // RWOrdered and QelOrdered by position (op 10-14).
    void place(unsigned op, RWCollectable* item, unsigned value) {
        auto& o = dynamic_cast<RWOrdered&>(*c);
        auto* q = dynamic_cast<QelOrdered*>(c);
        const std::size_t n = model.size();
        if (op < 12) {  // insertAt from 0 to n + 1, insertAfter from -2 to n
            const int after = op == 10 ? int(value % (n + 2)) - 1 : int(value % (n + 3)) - 2;
            const bool bad = after < -1 || after >= int(n);
            const auto at = static_cast<std::size_t>(after + 1);
            check(refused([&] {
                      check((op == 10 ? o.insertAt(at, item) : o.insertAfter(after, item)) == item);
                  }) == bad);
            if (!bad) grow(), model.insert(model.begin() + long(at), item);
        } else if (op == 12) {  // prepend, append, removeFirst, removeLast
            RWCollectable* const front = n ? model.front() : nullptr;
            RWCollectable* const back = n ? model.back() : nullptr;
            check(o.first() == front && o.last() == back);
            if (value % 4 < 2) {
                check((value % 4 ? o.append(item) : o.prepend(item)) == item);
                grow(), model.insert(value % 4 ? model.end() : model.begin(), item);
            } else if (value % 4 == 2) {
                check(o.removeFirst() == front);
                if (n) model.erase(model.begin());
            } else {
                check(o.removeLast() == back);
                if (n) model.pop_back();
            }
        } else if (op == 13) {  // index from 0 to n
            const std::size_t i = value % (n + 1);
            RWCollectable* const want = i < n ? model[i] : nullptr;
            const RWOrdered& view = o;
            check(refused([&] { check(o[i] == want && view.at(i) == want); }) == (i == n));
            check(refused([&] { o.boundsCheck(i); }) == (i == n));
            check(refused([&] { check(o.removeAt(i) == want); }) == (i == n));
            if (i < n) model.erase(model.begin() + long(i));
        } else if (!q || value % 4 == 0) {  // reshape from 0 to n + 2: below n refused
            const std::size_t to = value / 4 % (n + 3);
            check(refused([&] { o.reshape(to); }) == (to < n));
            if (to >= n) capacity = to;
        } else if (value % 4 == 1) {
            q->freeSpace(value / 4);
            capacity = std::max(capacity, n + value / 4);
        } else {  // the four sorts: by compareTo, by slot, descending, by direction
            int direction = value & 16 ? 1 : -1;
            const unsigned how = value / 4 % 4;
            how == 0
                ? q->sort(static_cast<int (*)(const RWCollectable*, const RWCollectable*)>(nullptr))
            : how == 1 ? q->sort(valueSlots)
            : how == 2 ? q->sort(descending)
                       : q->sort(byDirection, &direction);
            const bool down = how == 2 || (how == 3 && direction < 0);
            Items held = itemsOf(o);
            check(std::is_permutation(held.begin(), held.end(), model.begin(), model.end()));
            if (down) std::reverse(held.begin(), held.end());
            check(std::is_sorted(held.begin(), held.end(), byValue));
            model = itemsOf(o);
        }
    }

    void checkContents() const {
        Items held, expected = model;
        c->apply(collect, &held);
        if (!dynamic_cast<RWSequenceable*>(c))
            std::sort(held.begin(), held.end()), std::sort(expected.begin(), expected.end());
        check(held == expected && c->entries() == model.size());
        check(k.order != kAtTheEnd || static_cast<RWOrdered*>(c)->capacity() == capacity);
        check(pool.made - liveItems.size() == destroyed);
    }
};

// The bulk operations of QelSortedVector (op 10-14), on the run's model.
struct Bulk {
    Run& run;
    QelSortedVector& v;
    unsigned seed;

    unsigned draw(unsigned n) { return ((seed = seed * 1103515245u + 12345u) >> 16) % n; }

    // Up to 15 items: stored ones (each at most once), new ones equal to a stored one, others.
    Items list(bool storedToo) {
        Items out;
        std::set<RWCollectable*> picked;
        for (unsigned n = draw(16); n > 0; --n) {
            const unsigned r = draw(3);
            RWCollectable* some = run.model.empty() ? nullptr : run.model[draw(run.model.size())];
            if (r == 0 && storedToo && some && picked.insert(some).second)
                out.push_back(some);
            else if (r != 2 && some)
                out.push_back(run.pool.make(valueOf(some)));
            else
                out.push_back(run.pool.make(static_cast<int>(draw(256))));
        }
        return out;
    }

    void blockInsert() {
        RWOrdered source;
        for (RWCollectable* item : list(false)) source.insert(item);
        RWOrderedIterator it(source);
        v.blockInsert(it, draw(2) ? QelSVqsort : QelSVquickSort, static_cast<int>(draw(24)) - 4);
        Items want = run.model, got = itemsOf(v);
        const Items added = itemsOf(source);
        want.insert(want.end(), added.begin(), added.end());
        check(std::is_sorted(got.begin(), got.end(), byValue));
        run.model = got;  // equal items in the order the sort left them
        std::sort(want.begin(), want.end()), std::sort(got.begin(), got.end());
        check(got == want);
    }

    // Every item equal to the one before it is reported, and as many items are deleted; one
    // item of each value is left. (Which one is left is not checked: the pass that removes them
    // matches by isEqual, so with items equal by value it takes the first of each run.)
    void removeDuplicates() {
        Items dups;
        std::vector<int> values, left;
        for (RWCollectable* p : run.model)
            (!values.empty() && valueOf(p) == values.back() ? dups.push_back(p)
                                                            : values.push_back(valueOf(p)));
        CountingNotifier notifier;
        check(v.removeDuplicates(&notifier) == static_cast<int>(dups.size()));
        check(notifier.seen == dups);
        run.model = itemsOf(v);
        for (RWCollectable* p : run.model) left.push_back(valueOf(p));
        check(left == values);
        run.destroyed += dups.size();
    }

    // kind 0: blockRemoveAndDestroy, by value (its list holds new items only: a stored one could
    // be deleted before the pass reaches it); 1: identityBlockRemove, by pointer, then the rest
    // of the list by remove(); 2: comparedBlockRemove, from where indexWith finds a list item.
    void blockRemove(unsigned kind) {
        const Items items = list(kind != 0);
        const Items& model = run.model;
        const auto matches = [kind](RWCollectable* stored, RWCollectable* item) {
            return kind == 1 ? stored == item : valueOf(stored) == valueOf(item);
        };
        std::size_t l = 0, start = RW_NPOS;
        for (; l < items.size() && start == RW_NPOS; ++l) {
            const auto at = std::lower_bound(model.begin(), model.end(), items[l], byValue);
            if (kind != 2 && at != model.end() && valueOf(*at) == valueOf(items[l]))
                start = static_cast<std::size_t>(at - model.begin());
            if (kind == 2 && !rwBSearch(&items[l], model.data(), model.size(),
                                        sizeof(RWCollectable*), valueSlots, start))
                start = RW_NPOS;
        }
        Items kept = model;
        if (start != RW_NPOS) {
            kept.resize(start), --l;
            for (std::size_t i = start; i < model.size(); ++i)
                if (l < items.size() && matches(model[i], items[l]))
                    ++l;
                else
                    kept.push_back(model[i]);
            for (; kind == 1 && l < items.size(); ++l) {
                const auto at = std::lower_bound(kept.begin(), kept.end(), items[l], byValue);
                if (at != kept.end() && valueOf(*at) == valueOf(items[l])) kept.erase(at);
            }
        }
        RWOrdered rwList;
        for (RWCollectable* item : items) rwList.insert(item);
        const int got = kind == 0   ? v.blockRemoveAndDestroy(rwList)
                        : kind == 1 ? v.identityBlockRemove(rwList)
                                    : v.comparedBlockRemove(rwList, valueSlots);
        check(got == static_cast<int>(model.size() - kept.size()) && itemsOf(v) == kept);
        if (kind == 0) run.destroyed += model.size() - kept.size();
        run.model = kept;
    }

    void indexWith(int value) {
        const LiveItem* probe = run.pool.make(value);
        const std::size_t at = v.indexWith(probe, valueSlots);
        const auto found = std::lower_bound(run.model.begin(), run.model.end(), probe, byValue);
        if (found == run.model.end() || valueOf(*found) != value)
            check(at == RW_NPOS);
        else
            check(at < run.model.size() && valueOf(run.model[at]) == value);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    LivePool pool;  // declared first: deletes what is left after the collections are gone
    Collections all;
    Run run{pool, nullptr, nullptr, {}, {}};
    all.pick(data[0], &run.c, &run.u, &run.k);
    const bool bulk = run.c == &all.sorted, placed = run.k.order == kAtTheEnd;
    run.capacity = run.c == &all.rwOrdered ? 1 : 0;
    for (std::size_t at = 1; at + 2 < size; at += 3) {
        const unsigned op = data[at] % (bulk || placed ? 15 : 10);
        Bulk b{run, all.sorted, unsigned(data[at + 1]) << 8 | data[at + 2]};
        if (op < 10)
            run.step(op, data[at + 1], data[at + 2]);
        else if (placed)
            run.place(op, run.item(data[at + 1], data[at + 2]), data[at + 2]);
        else if (op == 10)
            b.blockInsert();
        else if (op == 11)
            b.removeDuplicates();
        else if (op == 12)
            b.indexWith(data[at + 2]);
        else
            b.blockRemove((op + data[at + 1]) % 3);
        run.checkContents();
    }
    run.c->clearAndDestroy();  // each distinct item once
    const std::set<RWCollectable*> distinct(run.model.begin(), run.model.end());
    check(pool.made - liveItems.size() == run.destroyed + distinct.size());
    for (RWCollectable* p : distinct) check(liveItems.count(p) == 0);
    return 0;
}
