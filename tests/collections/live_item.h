// SPDX-License-Identifier: Apache-2.0
// Items shared by the collection tests. A LiveItem is listed in liveItems while it exists, so a
// test sees exactly which items a collection deleted; a LivePool deletes, when it goes, every
// item still alive, so a failed test leaks nothing into the next one.
#ifndef QELKIT_TESTS_COLLECTIONS_LIVE_ITEM_H
#define QELKIT_TESTS_COLLECTIONS_LIVE_ITEM_H

#include <cstddef>
#include <set>
#include <vector>

#include "qelkit/foundation/rw_collectable_int.h"
#include "qelkit/foundation/rw_collection.h"

inline std::set<const RWCollectable*> liveItems;

// Ordered, hashed and equal by value.
struct LiveItem : RWCollectableInt {
    explicit LiveItem(int v) : RWCollectableInt(v) { liveItems.insert(this); }
    ~LiveItem() override { liveItems.erase(this); }
};

// Makes the items of one test (owner: the pool, unless a collection deletes them first).
struct LivePool {
    LiveItem* make(int v) { return ++made, new LiveItem(v); }
    ~LivePool() {
        while (!liveItems.empty()) delete *liveItems.begin();
    }
    std::size_t made = 0;  // items made so far
};

inline int valueOf(const RWCollectable* c) {
    return static_cast<const RWCollectableInt*>(c)->value();
}
// Orders two pointer slots (addresses of RWCollectable*) by value, as qsort does.
inline int valueSlots(const void* a, const void* b) {
    return valueOf(*static_cast<RWCollectable* const*>(a)) -
           valueOf(*static_cast<RWCollectable* const*>(b));
}

// The pointers a sequence holds, in index order.
inline std::vector<RWCollectable*> itemsOf(const RWSequenceable& s) {
    std::vector<RWCollectable*> out;
    for (std::size_t i = 0; i < s.entries(); ++i)
        out.push_back(const_cast<RWCollectable*>(s.at(i)));
    return out;
}

#endif
