// SPDX-License-Identifier: Apache-2.0
// Sorted vectors of RWCollectable pointers with the library's growth policy and bulk operations.
//   QelSortedVector          kept in compareTo order, like RWSortedVector;
//   QelSortedIdentityVector  kept in order of the objects' addresses.
// A full vector grows to the capacity its Incrementer answers. Bulk operations avoid quadratic
// work: blockInsert appends everything and sorts once; the block removals and removeDuplicates
// compact the pointer array in a single pass. The vectors do not own their items, except that
// blockRemoveAndDestroy and removeDuplicates delete the items they remove. No operation takes a
// lock: use a vector from one thread at a time. Bad indexes are not checked beyond what
// RWOrdered checks.
#ifndef QELKIT_COLLECTIONS_QEL_SORTED_VECTOR_H
#define QELKIT_COLLECTIONS_QEL_SORTED_VECTOR_H

#include <cstddef>

#include "qelkit/collections/incrementer.h"
#include "qelkit/collections/qel_duplicate_notifier.h"
#include "qelkit/collections/qel_unique_insertable.h"
#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_collection.h"
#include "qelkit/foundation/rw_ordered.h"
#include "qelkit/foundation/rw_sorted_vector.h"

// How blockInsert and sort order the storage. Other values sort nothing (the fixed underlying
// type makes any int a valid value).
enum QelSVsortType : int {
    QelSVnone = 0,      // leave the order as it is
    QelSVqsort = 1,     // the standard qsort
    QelSVquickSort = 2  // QelQuickSort::sort, by compareTo
};

// Comparison of two pointer slots (each argument is the address of an RWCollectable*), as taken
// by qsort, rwBSearch, indexWith and comparedBlockRemove.
typedef int (*QelSlotCompare)(const void*, const void*);

class QELKIT_API QelSortedVector : public RWSortedVector, public QelUniqueInsertable {
  public:
    // An empty vector with exactly `capacity` slots growing by `incrementer`, or by
    // BasicIncrementer::global() when it is null. The policy is not owned.
    explicit QelSortedVector(std::size_t capacity = RWCollection::DEFAULT_CAPACITY,
                             Incrementer* incrementer = nullptr);
    // Frees the pointer array only; items and policy are left alone.
    ~QelSortedVector() override;

    // Replaces the growth policy (non-null; the old one is not deleted).
    void incrementer(Incrementer* incrementer) { _incrementer = incrementer; }

    std::size_t entries() const override { return RWSortedVector::entries(); }

    // Grows if full, then places the item after every item comparing equal. Returns it.
    RWCollectable* insert(RWCollectable* item) override;
    // Grows if full, then puts the item at the end / at i (i <= entries(), else RWBoundsErr)
    // without regard to the order: for callers that fill first and sort afterwards.
    RWCollectable* append(RWCollectable* item) override;
    RWCollectable* insertAt(std::size_t i, RWCollectable* item) override;
    // Null, inserting nothing, when an item comparing equal is stored; otherwise places the item
    // before every greater one and returns it.
    RWCollectable* insertunique(RWCollectable* item) override;
    // The number of stored items comparing less than `item`.
    virtual std::size_t rank(const RWCollectable* item) const;

    // Binary search with `cmp` (see QelSlotCompare; the key is the address of `item`): the index
    // of some slot comparing 0, not necessarily the first, else RW_NPOS.
    std::size_t indexWith(const RWCollectable* item, QelSlotCompare cmp) const;

    // Appends every item `it` yields up to its null, then sorts the whole storage once by
    // `type` (qsort by compareTo for QelSVqsort). A positive `count` announces how many items
    // will come: the storage is then reshaped once to entries() + count if that does not fit.
    void blockInsert(RWIterator& it, QelSVsortType type, int count);
    // QelSVquickSort sorts by compareTo (`cmp` ignored); QelSVqsort sorts with qsort by `cmp`,
    // or by compareTo when `cmp` is null; any other type leaves the order alone.
    void sort(QelSVsortType type, QelSlotCompare cmp = nullptr);

    // Keeps the first item of each run comparing equal. Every later one is reported to
    // `notifier` (when not null) in storage order, then all are removed in one pass by
    // blockRemoveAndDestroy, which deletes them. Returns the number of duplicates found.
    int removeDuplicates(QelDuplicateNotifier* notifier);

    // The one-pass removals. `list` must hold its items in this vector's order: leading items
    // not in the vector are skipped; from the first one found, each stored item matching the
    // current list item is dropped and the list moves on; once an item of the list finds no
    // match the rest of the list is not matched in the pass. Each returns the number removed.
    //
    // Match by pointer or the list item's isEqual; the dropped (non-null) items are deleted.
    int blockRemoveAndDestroy(RWOrdered& list);
    // Match by pointer; nothing deleted. List items left unmatched by the pass are then taken
    // out one by one with remove() (which matches by compareTo).
    int identityBlockRemove(RWOrdered& list);
    // Match by cmp(stored slot, list slot) == 0; the start is found with indexWith(item, cmp).
    // Nothing deleted.
    int comparedBlockRemove(RWOrdered& list, QelSlotCompare cmp);

  private:
    Incrementer* _incrementer;
};

class QELKIT_API QelSortedIdentityVector : public RWSortedVector, public QelUniqueInsertable {
  public:
    // As QelSortedVector: null `incrementer` means BasicIncrementer::global(); not owned.
    explicit QelSortedIdentityVector(std::size_t capacity = RWCollection::DEFAULT_CAPACITY,
                                     Incrementer* incrementer = nullptr);
    ~QelSortedIdentityVector() override;

    // Replaces the growth policy (non-null; the old one is not deleted).
    void incrementer(Incrementer* incrementer) { _incrementer = incrementer; }

    std::size_t entries() const override { return RWSortedVector::entries(); }

    // Binary search by address: the index of some slot holding `item` (not necessarily the
    // first), else RW_NPOS. The item is never dereferenced.
    std::size_t index(const RWCollectable* item) const override;
    // The stored pointer equal to `item`, else null.
    RWCollectable* find(const RWCollectable* item) const override;
    RWBoolean contains(const RWCollectable* item) const override;
    // 0 when index() finds nothing; otherwise the number of slots holding `item` from index()
    // to the end.
    std::size_t occurrencesOf(const RWCollectable* item) const override;
    // Takes out the slot index() finds and returns it (not deleted), else null.
    RWCollectable* remove(const RWCollectable* item) override;

    // Grows if full, then places the item by address, after any copies of the same pointer.
    // Returns it.
    RWCollectable* insert(RWCollectable* item) override;
    // Null, inserting nothing, when the pointer is stored; otherwise inserts and returns it.
    RWCollectable* insertunique(RWCollectable* item) override;
    // Grows if full, then puts the item at i (i <= entries(), else RWBoundsErr) regardless of
    // the order.
    RWCollectable* insertAt(std::size_t i, RWCollectable* item) override;

    // As QelSortedVector::blockInsert, but always sorts by address with qsort; `type` ignored.
    void blockInsert(RWIterator& it, QelSVsortType type, int count);
    // qsort with `cmp`, or by address when `cmp` is null; `type` ignored.
    void sort(QelSVsortType type, QelSlotCompare cmp = nullptr);

  private:
    Incrementer* _incrementer;
};

#endif  // QELKIT_COLLECTIONS_QEL_SORTED_VECTOR_H
