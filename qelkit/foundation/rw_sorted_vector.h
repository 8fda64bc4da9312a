// SPDX-License-Identifier: Apache-2.0
// RWSortedVector: an RWOrdered kept in compareTo order (the inserted or searched item is the
// receiver: key->compareTo(stored)). Searches are binary and use compareTo, not isEqual.
// Positional insertion would break the order and is refused; derived classes that need it call
// RWOrdered::insertAt directly.
//
// rwBSearch: the binary search the sorted vectors are built on, over any array.
#ifndef QELKIT_FOUNDATION_RW_SORTED_VECTOR_H
#define QELKIT_FOUNDATION_RW_SORTED_VECTOR_H

#include <cstddef>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_collection.h"
#include "qelkit/foundation/rw_defs.h"
#include "qelkit/foundation/rw_ordered.h"

constexpr RWClassID rwSortedVectorId = 0x0011;

class QELKIT_API RWSortedVector : public RWOrdered {
    // isA is rwSortedVectorId; newSpecies and copy return new vectors owned by the caller.
    RWDECLARE_COLLECTABLE(RWSortedVector)

  public:
    // An empty vector with exactly `capacity` slots.
    RWSortedVector(std::size_t capacity = RWCollection::DEFAULT_CAPACITY);

    // Places the item after every item comparing equal (equal items keep insertion order);
    // returns it. Grows like RWOrdered.
    RWCollectable* insert(RWCollectable* item) override;
    // Lowest index of an item comparing equal to target, else RW_NPOS.
    std::size_t index(const RWCollectable* target) const override;
    // The item at index(target), else nullptr.
    RWCollectable* find(const RWCollectable* target) const override;
    RWBoolean contains(const RWCollectable* target) const override;
    // Number of items comparing equal to target.
    std::size_t occurrencesOf(const RWCollectable* target) const override;
    // Takes out the item at index(target) and returns it, else nullptr.
    RWCollectable* remove(const RWCollectable* target) override;

    // Read-only slots, so the order cannot be broken through them: operator[] checked
    // (RWBoundsErr when i >= entries()), operator() unchecked.
    const RWCollectable* operator[](std::size_t i) const;
    const RWCollectable* operator()(std::size_t i) const { return storage()[i]; }

    // Refused: each raises RWInternalErr through RWThrow.
    RWCollectable* append(RWCollectable* item) override;
    RWCollectable* prepend(RWCollectable* item) override;
    RWCollectable* insertAt(std::size_t i, RWCollectable* item) override;

  private:
    // First index whose item compares greater than (upper) or not less than (lower) target.
    std::size_t bound(const RWCollectable* target, bool upper) const;
};

typedef RWOrderedIterator RWSortedVectorIterator;

// Binary search for `key` among `nelem` elements of `width` bytes at `base`, sorted by `cmp`,
// called as cmp(key, element). Hit: true and `idx` of some element comparing 0 (not necessarily
// the first). Miss: false and `idx` = number of elements less than key (the insertion point).
QELKIT_API bool rwBSearch(const void* key, const void* base, std::size_t nelem, std::size_t width,
                          int (*cmp)(const void*, const void*), std::size_t& idx);

#endif  // QELKIT_FOUNDATION_RW_SORTED_VECTOR_H
