// SPDX-License-Identifier: Apache-2.0
// RWCollection: the abstract base of the classic collections of RWCollectable pointers.
// Collections hold pointers they do not own: only the `...AndDestroy` operations delete items,
// and a collection's destructor frees nothing but its own storage.
// RWSequenceable adds positional access for collections with an index order; RWIterator walks
// any collection (a new one comes from newIterator(), owned by the caller).
#ifndef QELKIT_FOUNDATION_RW_COLLECTION_H
#define QELKIT_FOUNDATION_RW_COLLECTION_H

#include <cstddef>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_defs.h"

class RWIterator;

class QELKIT_API RWCollection : public RWCollectable {
  public:
    // The classic default capacity (slots or buckets) of every collection.
    static constexpr std::size_t DEFAULT_CAPACITY = 64;

    ~RWCollection() override;

    // Forgets every item without deleting it.
    virtual void clear() = 0;
    // Number of items held (a pointer stored twice counts twice).
    virtual std::size_t entries() const = 0;
    virtual RWBoolean isEmpty() const = 0;
    // The first item matching `target` in the collection's own sense of equality, else nullptr.
    virtual RWCollectable* find(const RWCollectable* target) const = 0;
    // Adds `item`; returns it, or nullptr (or an item already present) when refused.
    virtual RWCollectable* insert(RWCollectable* item) = 0;
    // Number of items matching `target`.
    virtual std::size_t occurrencesOf(const RWCollectable* target) const = 0;
    // Takes the first item matching `target` out and returns it (not deleted), else nullptr.
    virtual RWCollectable* remove(const RWCollectable* target) = 0;
    // A new iterator over this collection, owned by the caller.
    virtual RWIterator* newIterator() = 0;
    // Calls fn(item, data) for every item, in the collection's iteration order.
    virtual void apply(void (*fn)(RWCollectable*, void*), void* data) = 0;

    // Deletes every distinct non-null item once (a pointer stored twice is deleted once), then
    // calls clear(). Works for any derived class through apply().
    virtual void clearAndDestroy();
    // find(target) != nullptr.
    virtual RWBoolean contains(const RWCollectable* target) const;
    // Deletes what remove(target) returns (nothing when no item matches).
    virtual void removeAndDestroy(const RWCollectable* target);
};

// A collection whose items have positions 0 .. entries() - 1.
class QELKIT_API RWSequenceable : public RWCollection {
  public:
    // The slot at `i`; RWBoundsErr when i >= entries().
    virtual RWCollectable*& at(std::size_t i) = 0;
    virtual const RWCollectable* at(std::size_t i) const = 0;
    // The item at position 0 / entries() - 1, nullptr when empty.
    virtual RWCollectable* first() const = 0;
    virtual RWCollectable* last() const = 0;
    // Position of the first item matching `target`, else RW_NPOS.
    virtual std::size_t index(const RWCollectable* target) const = 0;
    // Puts `item` at position i (i <= entries()); later items move up. Returns the item.
    virtual RWCollectable* insertAt(std::size_t i, RWCollectable* item) = 0;
    // Adds `item` at the end / at position 0; returns it.
    virtual RWCollectable* append(RWCollectable* item) = 0;
    virtual RWCollectable* prepend(RWCollectable* item) = 0;
};

// Walks a collection. Do not change the collection while walking it unless the iterator's own
// class says it may be.
class QELKIT_API RWIterator {
  public:
    virtual ~RWIterator();
    // The next item, nullptr after the last (and on every later call until reset()).
    virtual RWCollectable* operator()() = 0;
    // The item last returned by operator() or findNext(), nullptr before the first or after
    // the end.
    virtual RWCollectable* key() const = 0;
    // Starts the walk again from the beginning.
    virtual void reset() = 0;
    // Advances to the next item matching `target` and returns it, else nullptr (walk ended).
    virtual RWCollectable* findNext(const RWCollectable* target) = 0;
};

#endif  // QELKIT_FOUNDATION_RW_COLLECTION_H
