// SPDX-License-Identifier: Apache-2.0
// RWOrdered: a vector of RWCollectable pointers in insertion order, the base of the ordered
// collections and sorted vectors. Items are compared with isEqual (the stored item is the
// receiver; the target is never dereferenced by the vector itself). The vector does not own
// its items. Storage is one contiguous pointer array: a count (`nitems`) and a capacity.
//
// Growth: when a full vector must take one more item it grows to capacity() + 64 slots. Derived
// classes with their own growth policy reshape() first and then call the RWOrdered placement
// operations qualified (RWOrdered::insertAt), which never dispatch virtually.
#ifndef QELKIT_FOUNDATION_RW_ORDERED_H
#define QELKIT_FOUNDATION_RW_ORDERED_H

#include <cstddef>
#include <cstdlib>
#include <memory>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_collection.h"
#include "qelkit/foundation/rw_defs.h"

constexpr RWClassID rwOrderedId = 0x0010;

class RWOrderedIterator;

class QELKIT_API RWOrdered : public RWSequenceable {
    // isA is rwOrderedId; newSpecies and copy return new vectors owned by the caller (copy
    // shares the items).
    RWDECLARE_COLLECTABLE(RWOrdered)

  public:
    // An empty vector with exactly `capacity` slots.
    RWOrdered(std::size_t capacity = RWCollection::DEFAULT_CAPACITY);
    // Shallow: the pointers are copied, the items shared. The copy has the same capacity.
    RWOrdered(const RWOrdered& other);
    RWOrdered& operator=(const RWOrdered& other);
    // Frees the pointer array only.
    ~RWOrdered() override;

    std::size_t entries() const override { return nitems; }
    RWBoolean isEmpty() const override { return nitems == 0; }
    // Number of slots.
    std::size_t capacity() const noexcept { return capacity_; }
    // Capacity becomes exactly n; RWBoundsErr when n < entries(). storage() moves.
    void reshape(std::size_t n);

    // Same count and, position by position, items that are the same pointer or isEqual.
    RWBoolean operator==(const RWOrdered& other) const;

    // The slot at i; RWBoundsErr when i >= entries().
    RWCollectable*& operator[](std::size_t i);
    // The slot at i, unchecked (i < capacity() is the caller's duty).
    RWCollectable*& operator()(std::size_t i) { return items_.get()[i]; }
    // The slot at i; RWBoundsErr when i >= entries().
    RWCollectable*& at(std::size_t i) override;
    const RWCollectable* at(std::size_t i) const override;

    // The insertion operations below return the item. insert and append add at the end,
    // prepend at position 0; each grows a full vector to capacity() + 64 itself.
    RWCollectable* insert(RWCollectable* item) override;
    RWCollectable* append(RWCollectable* item) override;
    RWCollectable* prepend(RWCollectable* item) override;
    // Puts the item at i (i == entries() appends); later items move up. RWBoundsErr when
    // i > entries().
    RWCollectable* insertAt(std::size_t i, RWCollectable* item) override;
    // insertAt(i + 1, item) through the virtual insertAt: insertAfter(-1, x) puts x first.
    virtual RWCollectable* insertAfter(int i, RWCollectable* item);

    // Takes out the item at i and returns it; later items move down. RWBoundsErr when
    // i >= entries().
    virtual RWCollectable* removeAt(std::size_t i);
    // Take out / look at the first or last item; nullptr when empty.
    virtual RWCollectable* removeFirst();
    virtual RWCollectable* removeLast();
    RWCollectable* first() const override;
    RWCollectable* last() const override;

    // Searches in index order calling item->isEqual(target) on each stored item.
    RWCollectable* find(const RWCollectable* target) const override;
    std::size_t index(const RWCollectable* target) const override;
    std::size_t occurrencesOf(const RWCollectable* target) const override;
    // Takes out the first item isEqual to target and returns it, else nullptr.
    RWCollectable* remove(const RWCollectable* target) override;

    // Count 0; the capacity is kept and no item is deleted.
    void clear() override { nitems = 0; }
    // A new RWOrderedIterator, owned by the caller.
    RWIterator* newIterator() override;
    // fn(item, data) for every slot in index order (nulls included).
    void apply(void (*fn)(RWCollectable*, void*), void* data) override;

    // RWBoundsErr when i >= entries().
    void boundsCheck(std::size_t i) const;

  protected:
    // The count. Derived classes may lower it after compacting storage() in place.
    std::size_t nitems = 0;

    // The first slot; valid until the next reshape (or growth).
    RWCollectable** storage() noexcept { return items_.get(); }
    RWCollectable* const* storage() const noexcept { return items_.get(); }

  private:
    friend class RWOrderedIterator;
    struct FreeSlots {
        void operator()(RWCollectable** p) const noexcept { std::free(p); }
    };

    // Puts `item` at i (i <= nitems, checked), growing a full vector by 64; never virtual.
    RWCollectable* placeAt(const char* what, std::size_t i, RWCollectable* item);
    // Index of the first stored item isEqual to target, else RW_NPOS; never virtual.
    std::size_t firstEqual(const RWCollectable* target) const;
    // Takes out the item at i (i < nitems); never virtual.
    RWCollectable* takeAt(std::size_t i) noexcept;

    std::unique_ptr<RWCollectable*, FreeSlots> items_;
    std::size_t capacity_ = 0;
};

// Walks an RWOrdered in index order. A stored null ends the walk; after the end operator()
// returns nullptr until reset(). Do not change the vector while walking it.
class QELKIT_API RWOrderedIterator : public RWIterator {
  public:
    explicit RWOrderedIterator(const RWOrdered& ordered) noexcept : ordered_(&ordered) {}

    // The next item, nullptr after the last.
    RWCollectable* operator()() override;
    // The item last returned, nullptr before the first and after the end.
    RWCollectable* key() const override { return current_; }
    void reset() override;
    // Advances to the next item with item->isEqual(target), else nullptr (walk ended).
    RWCollectable* findNext(const RWCollectable* target) override;

  private:
    const RWOrdered* ordered_;
    std::size_t next_ = 0;
    RWCollectable* current_ = nullptr;
    bool ended_ = false;
};

#endif  // QELKIT_FOUNDATION_RW_ORDERED_H
