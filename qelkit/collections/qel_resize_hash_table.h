// SPDX-License-Identifier: Apache-2.0
// Hash collections of RWCollectable pointers that grow by themselves as items arrive, always to
// a prime number of buckets (PrimeNumber::next), so that rehashing costs a constant amount per
// insertion on average. Hashing, bucket storage and equality are those of the base classes:
//   QelResizeHashTable    over RWHashTable, duplicates allowed, with a load factor;
//   QelResizeSet          over RWSet, refusing an equal item;
//   QelResizeIdentitySet  over RWIdentitySet, refusing the same object twice.
// No operation takes a lock: use a table from one thread at a time. Items are not owned.
#ifndef QELKIT_COLLECTIONS_QEL_RESIZE_HASH_TABLE_H
#define QELKIT_COLLECTIONS_QEL_RESIZE_HASH_TABLE_H

#include "qelkit/collections/qel_unique_insertable.h"
#include "qelkit/export.h"
#include "qelkit/foundation/rw_collection.h"
#include "qelkit/foundation/rw_hash_table.h"

class QELKIT_API QelResizeHashTable : public RWHashTable, public QelUniqueInsertable {
  public:
    // `size` buckets; a load factor of 0 counts as 1. The table grows once its entries exceed
    // buckets x loadFactor.
    explicit QelResizeHashTable(unsigned size = RWCollection::DEFAULT_CAPACITY,
                                unsigned loadFactor = 1);

    // Grows when the entries exceed the threshold (to the prime above twice the entries), then
    // inserts; returns the base's answer (the item).
    RWCollectable* insert(RWCollectable* item) override;
    // Null when an equal item is present (nothing inserted); otherwise inserts and returns item.
    RWCollectable* insertunique(RWCollectable* item) override;
    std::size_t entries() const override { return RWHashTable::entries(); }
    // Grows to the prime above n when n exceeds the bucket count (never shrinks); recomputes the
    // threshold in every case.
    void primeresize(unsigned n);

    unsigned loadFactor;  // at least 1
    unsigned threshold;   // entry count beyond which the next insertion grows the table
};

class QELKIT_API QelResizeSet : public RWSet, public QelUniqueInsertable {
  public:
    explicit QelResizeSet(unsigned size = RWCollection::DEFAULT_CAPACITY);

    // Grows to the prime above twice the bucket count once the entries reach the bucket count
    // (even when the item turns out to be present), then inserts; returns RWSet's answer: the
    // item, or the equal item already present.
    RWCollectable* insert(RWCollectable* item) override;
    // Null when an equal item is present; otherwise inserts and returns item.
    RWCollectable* insertunique(RWCollectable* item) override;
    std::size_t entries() const override { return RWSet::entries(); }
};

class QELKIT_API QelResizeIdentitySet : public RWIdentitySet, public QelUniqueInsertable {
  public:
    explicit QelResizeIdentitySet(unsigned size = RWCollection::DEFAULT_CAPACITY);

    // Grows to the prime above twice the bucket count once the entries reach the threshold,
    // then inserts; returns RWIdentitySet's answer (the item, or the same object if present).
    RWCollectable* insert(RWCollectable* item) override;
    // Exactly insert(item): the set itself refuses a second copy of the same object.
    RWCollectable* insertunique(RWCollectable* item) override;
    std::size_t entries() const override { return RWIdentitySet::entries(); }
    // As QelResizeHashTable::primeresize.
    void primeresize(unsigned n);

    unsigned loadFactor;  // always 1
    unsigned threshold;
};

#endif  // QELKIT_COLLECTIONS_QEL_RESIZE_HASH_TABLE_H
