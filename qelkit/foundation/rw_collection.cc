// SPDX-License-Identifier: Apache-2.0
// Operations every collection shares, written in terms of the pure virtual ones.
#include "qelkit/foundation/rw_collection.h"

#include <algorithm>
#include <functional>
#include <vector>

RWCollection::~RWCollection() = default;

void RWCollection::clearAndDestroy() {
    std::vector<RWCollectable*> items;
    items.reserve(entries());
    apply(
        [](RWCollectable* item, void* data) {
            if (item != nullptr) static_cast<std::vector<RWCollectable*>*>(data)->push_back(item);
        },
        &items);
    // A pointer may be stored more than once; delete each distinct one once.
    std::sort(items.begin(), items.end(), std::less<RWCollectable*>());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    for (RWCollectable* item : items) delete item;
    clear();
}

RWBoolean RWCollection::contains(const RWCollectable* target) const {
    return find(target) != nullptr;
}

void RWCollection::removeAndDestroy(const RWCollectable* target) { delete remove(target); }

RWIterator::~RWIterator() = default;
