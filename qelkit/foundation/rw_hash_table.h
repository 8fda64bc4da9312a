// SPDX-License-Identifier: Apache-2.0
// RWHashTable: an unordered collection of RWCollectable pointers in exactly the number of
// buckets asked for; it never resizes itself (derived classes decide when to call resize()).
// An item goes to bucket item->hash() % buckets(); lookup takes the first item of the target's
// bucket with item->isEqual(target). Duplicates are allowed. The table does not own its items.
//
// RWSet refuses an item when an equal one is present. RWIdentitySet hashes by address and
// compares by identity: the same pointer is refused, distinct equal objects are both kept.
// A table with 0 buckets holds nothing: insert and find return nullptr.
//
// Representation: the items sit in one array with a 32-bit chain link each; a bucket is the
// index of its first entry. Taking an item out moves the last entry into its slot.
#ifndef QELKIT_FOUNDATION_RW_HASH_TABLE_H
#define QELKIT_FOUNDATION_RW_HASH_TABLE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_collection.h"
#include "qelkit/foundation/rw_defs.h"

constexpr RWClassID rwHashTableId = 0x0012;
constexpr RWClassID rwSetId = 0x0013;
constexpr RWClassID rwIdentitySetId = 0x0014;

class RWHashTableIterator;

class QELKIT_API RWHashTable : public RWCollection {
    // isA is rwHashTableId; newSpecies and copy return new tables owned by the caller (copy
    // shares the items).
    RWDECLARE_COLLECTABLE(RWHashTable)

  public:
    // An empty table with exactly `buckets` buckets.
    RWHashTable(std::size_t buckets = RWCollection::DEFAULT_CAPACITY);
    ~RWHashTable() override;

    // The bucket count.
    std::size_t buckets() const noexcept { return heads_.size(); }
    // Rehashes into exactly n buckets; every item stays findable. resize(0) is ignored unless
    // the table is empty.
    virtual void resize(std::size_t n);

    // Adds the item (duplicates allowed) and returns it; nullptr (nothing added) for a null
    // item or a table with 0 buckets.
    RWCollectable* insert(RWCollectable* item) override;
    // The first item of the target's bucket that isEqual to it, else nullptr.
    RWCollectable* find(const RWCollectable* target) const override;
    // Takes out the item find(target) would return and returns it, else nullptr.
    RWCollectable* remove(const RWCollectable* target) override;
    // Number of items isEqual to target (in its bucket).
    std::size_t occurrencesOf(const RWCollectable* target) const override;

    std::size_t entries() const override { return entries_.size(); }
    RWBoolean isEmpty() const override { return entries_.empty(); }
    // Forgets every item (none deleted); the bucket count is kept.
    void clear() override;
    // A new RWHashTableIterator, owned by the caller.
    RWIterator* newIterator() override;
    // fn(item, data) for every item, in iterator order.
    void apply(void (*fn)(RWCollectable*, void*), void* data) override;

  protected:
    // A table that hashes items by address and compares them by identity when `identity`.
    RWHashTable(std::size_t buckets, bool identity);
    // Adds the item; when `unique`, returns the present item equal to it instead of adding.
    RWCollectable* add(RWCollectable* item, bool unique);

  private:
    friend class RWHashTableIterator;
    static constexpr std::uint32_t nil = 0xFFFFFFFFu;
    struct Entry {
        RWCollectable* item;
        unsigned hash;       // hashOf(item), kept for resize and for relinking moved entries
        std::uint32_t next;  // next entry of the same bucket, or nil
    };

    unsigned hashOf(const RWCollectable* item) const;
    bool matches(const RWCollectable* item, const RWCollectable* target) const;
    std::size_t bucketOf(unsigned hash) const noexcept;
    void setBucketCount(std::size_t n);
    // Unlinks entry k from its bucket and drops it.
    void erase(std::uint32_t k);
    // Drops entry k, already unlinked, moving the last entry into its slot.
    void drop(std::uint32_t k);

    std::vector<std::uint32_t> heads_;  // first entry of each bucket, or nil
    std::vector<Entry> entries_;
    std::size_t mask_ = 0;  // buckets() - 1 when buckets() is a power of two, else 0
    bool pow2_ = false;
    bool identity_ = false;
};

// Walks an RWHashTable in no particular order. remove() (or the table's remove of the current
// item) may be used while walking; other changes to the table end the guarantees.
class QELKIT_API RWHashTableIterator : public RWIterator {
  public:
    explicit RWHashTableIterator(RWHashTable& table) noexcept : table_(&table) {}

    // The next item, nullptr after the last (until reset()).
    RWCollectable* operator()() override;
    // The item last returned, nullptr before the first, after the end or after remove().
    RWCollectable* key() const override { return current_; }
    void reset() override;
    // Advances to the next item with item->isEqual(target), else nullptr (walk ended).
    RWCollectable* findNext(const RWCollectable* target) override;
    // Takes the item last returned out of the table and returns it; nullptr when there is none.
    RWCollectable* remove();

  private:
    RWHashTable* table_;
    std::size_t next_ = 0;  // entries below this index are still to be visited
    RWCollectable* current_ = nullptr;
    bool started_ = false;
    bool ended_ = false;
};

// A hash table that refuses an item equal (isEqual) to one already present.
class QELKIT_API RWSet : public RWHashTable {
    // isA is rwSetId; newSpecies and copy return new sets owned by the caller.
    RWDECLARE_COLLECTABLE(RWSet)

  public:
    RWSet(std::size_t buckets = RWCollection::DEFAULT_CAPACITY);
    // Adds the item and returns it; when an equal item is present, returns that one and adds
    // nothing. nullptr for a null item or 0 buckets.
    RWCollectable* insert(RWCollectable* item) override;

  protected:
    RWSet(std::size_t buckets, bool identity);
};

// A set of distinct pointers: hashes by address, compares by identity (isEqual is not called).
class QELKIT_API RWIdentitySet : public RWSet {
    // isA is rwIdentitySetId; newSpecies and copy return new sets owned by the caller.
    RWDECLARE_COLLECTABLE(RWIdentitySet)

  public:
    RWIdentitySet(std::size_t buckets = RWCollection::DEFAULT_CAPACITY);
};

#endif  // QELKIT_FOUNDATION_RW_HASH_TABLE_H
