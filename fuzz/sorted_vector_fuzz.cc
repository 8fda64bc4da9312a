// SPDX-License-Identifier: Apache-2.0
// Runs a decoded sequence of operations on a QelSortedVector and checks each one against a
// std::multiset of keys: after every step the stored keys must be the multiset in order. The
// block removals are checked against a naive greedy reference over a snapshot of the vector
// (each list item matched to the next matching element, the first miss ending the pass), and
// every item must be alive exactly while the vector holds it: items deleted by the vector are
// counted by their destructor, all others are deleted here. (insert, insertunique and rank
// are checked, with the order of equal items, by the collection models target.)
//
// Input: [capacity][policy] then operations, each an opcode byte followed by its arguments.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "qelkit/collections/qel_sorted_vector.h"
#include "qelkit/foundation/rw_defs.h"

namespace {

long liveItems = 0;

class Item : public RWCollectable {
  public:
    explicit Item(int key) : key(key) { ++liveItems; }
    ~Item() override { --liveItems; }
    int compareTo(const RWCollectable* c) const override {
        const int other = static_cast<const Item*>(c)->key;
        return key < other ? -1 : key > other ? 1 : 0;
    }
    const int key;  // isEqual stays the identity of RWCollectable
};

int keyOf(const RWCollectable* c) { return static_cast<const Item*>(c)->key; }
int keySlots(const void* a, const void* b) {
    const int x = keyOf(*static_cast<RWCollectable* const*>(a));
    const int y = keyOf(*static_cast<RWCollectable* const*>(b));
    return x < y ? -1 : x > y ? 1 : 0;
}

struct CountingNotifier : QelDuplicateNotifier {
    std::vector<RWCollectable*> seen;
    int notify(QelSortedVector*, RWCollectable* duplicate) override {
        seen.push_back(duplicate);
        return 1;
    }
};

std::vector<RWCollectable*> contents(const QelSortedVector& v) {
    std::vector<RWCollectable*> out;
    for (std::size_t i = 0; i < v.entries(); ++i) out.push_back(const_cast<RWCollectable*>(v(i)));
    return out;
}

// The vector's state equals the model: same count, keys in ascending order.
void checkState(const QelSortedVector& v, const std::multiset<int>& model) {
    check(v.entries() == model.size());
    auto k = model.begin();
    for (std::size_t i = 0; i < v.entries(); ++i, ++k) check(keyOf(v(i)) == *k);
    check(liveItems == static_cast<long>(model.size()));
}

enum Removal { destroying, identity, compared };

void blockRemove(QelSortedVector& v, std::multiset<int>& model, Input& in, Removal kind) {
    const std::vector<RWCollectable*> before = contents(v);
    // Decode the list: a set high bit makes a fresh item (not stored), else a stored one.
    std::vector<std::unique_ptr<Item>> fresh;
    std::vector<RWCollectable*> list;
    std::set<RWCollectable*> picked;
    for (int len = in.next() % 16; len > 0; --len) {
        const std::uint8_t b = in.next();
        if ((b & 0x80) != 0 || before.empty()) {
            fresh.push_back(std::make_unique<Item>(b & 31));
            list.push_back(fresh.back().get());
        } else if (picked.insert(before[b % before.size()]).second) {
            list.push_back(before[b % before.size()]);
        }
    }
    // Reference: the start, then the greedy pass, then (identity) the leftovers by key.
    std::size_t first = 0, start = 0;
    for (; first < list.size(); ++first) {
        if (kind == compared) {
            if (rwBSearch(&list[first], before.data(), before.size(), sizeof(RWCollectable*),
                          keySlots, start))
                break;
        } else if (model.count(keyOf(list[first])) != 0) {
            start = std::distance(model.begin(), model.lower_bound(keyOf(list[first])));
            break;
        }
    }
    std::vector<RWCollectable*> expected = before;
    std::vector<RWCollectable*> removed;
    std::size_t l = first, cursor = start;
    if (first < list.size()) {
        for (; l < list.size(); ++l) {
            while (cursor < before.size() &&
                   (kind == compared ? keyOf(before[cursor]) != keyOf(list[l])
                                     : before[cursor] != list[l]))
                ++cursor;
            if (cursor == before.size()) break;
            removed.push_back(before[cursor++]);
        }
        for (RWCollectable* r : removed)
            expected.erase(std::find(expected.begin(), expected.end(), r));
        if (kind == identity) {
            for (; l < list.size(); ++l) {
                auto at = std::find_if(expected.begin(), expected.end(), [&](RWCollectable* e) {
                    return keyOf(e) == keyOf(list[l]);
                });
                if (at == expected.end()) continue;
                removed.push_back(*at);
                expected.erase(at);
            }
        }
    }
    // The model loses the removed keys now: the vector may delete the objects.
    for (RWCollectable* r : removed) model.erase(model.find(keyOf(r)));
    RWOrdered rwList;
    for (RWCollectable* item : list) rwList.insert(item);
    const long liveBefore = liveItems;
    const int got = kind == destroying ? v.blockRemoveAndDestroy(rwList)
                    : kind == identity ? v.identityBlockRemove(rwList)
                                       : v.comparedBlockRemove(rwList, keySlots);
    check(got == static_cast<int>(removed.size()));
    const std::vector<RWCollectable*> after = contents(v);
    if (kind == identity) {
        // remove() matches by key, so the exact objects may differ among equal keys: check the
        // objects left are a subset of those before, then take ownership of the others.
        std::vector<RWCollectable*> gone;
        for (RWCollectable* b : before)
            if (std::find(after.begin(), after.end(), b) == after.end()) gone.push_back(b);
        check(gone.size() == removed.size());
        for (RWCollectable* g : gone) delete g;
    } else {
        check(after == expected);
        if (kind == compared)
            for (RWCollectable* r : removed) delete r;
        else
            check(liveBefore - liveItems == static_cast<long>(removed.size()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in{data, size};
    const std::size_t capacity = in.next() % 40;
    BasicIncrementer stepping(1 + in.next() % 8);
    const std::uint8_t policyChoice = in.next() % 3;
    Incrementer* policy = policyChoice == 0   ? nullptr
                          : policyChoice == 1 ? static_cast<Incrementer*>(&stepping)
                                              : MultiplyingIncrementer::global();
    QelSortedVector v(capacity, policy);
    std::multiset<int> model;
    for (int ops = 0; in.n > 0 && ops < 400; ++ops) {
        switch (in.next() % 7) {
            case 0: {
                Item* item = new Item(in.next() % 32);
                check(v.insert(item) == item);
                model.insert(item->key);
                break;
            }
            case 1: {
                RWOrdered source;
                for (int n = in.next() % 32; n > 0; --n) {
                    Item* item = new Item(in.next() % 32);
                    source.insert(item);
                    model.insert(item->key);
                }
                const QelSVsortType type = in.next() % 2 ? QelSVqsort : QelSVquickSort;
                const int count = static_cast<std::int8_t>(in.next());
                RWOrderedIterator it(source);
                v.blockInsert(it, type, count);
                break;
            }
            case 2: {
                CountingNotifier notifier;
                const std::vector<RWCollectable*> before = contents(v);
                std::vector<RWCollectable*> dups;
                for (std::size_t i = 1; i < before.size(); ++i)
                    if (keyOf(before[i]) == keyOf(before[i - 1])) dups.push_back(before[i]);
                const long liveBefore = liveItems;
                check(v.removeDuplicates(&notifier) == static_cast<int>(dups.size()));
                check(notifier.seen == dups);
                check(liveBefore - liveItems == static_cast<long>(dups.size()));
                const std::set<int> distinct(model.begin(), model.end());
                model = std::multiset<int>(distinct.begin(), distinct.end());
                break;
            }
            case 3:
                blockRemove(v, model, in, destroying);
                break;
            case 4:
                blockRemove(v, model, in, identity);
                break;
            case 5:
                blockRemove(v, model, in, compared);
                break;
            default: {
                const Item probe(in.next() % 40);
                const std::size_t at = v.indexWith(&probe, keySlots);
                if (model.count(probe.key) == 0)
                    check(at == RW_NPOS);
                else
                    check(at < v.entries() && keyOf(v(at)) == probe.key);
                break;
            }
        }
        checkState(v, model);
    }
    v.clearAndDestroy();
    check(liveItems == 0);
    return 0;
}
