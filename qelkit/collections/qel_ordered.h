// SPDX-License-Identifier: Apache-2.0
// QelOrdered: an insertion-ordered vector of RWCollectable pointers that grows by an Incrementer
// policy instead of the vendor's fixed step, inserts "unless an equal item is present", removes
// whole lists of items in one compacting pass, and sorts itself in place three ways.
// QelOpenCollection is a QelOrdered whose insertunique keeps duplicates, for code that fills any
// collection through insertunique but wants every item kept.
//
// Neither class owns its items (only clearAndDestroy deletes them) nor its growth policy. No
// operation takes a lock: one thread at a time, or under the caller's lock.
#ifndef QELKIT_COLLECTIONS_QEL_ORDERED_H
#define QELKIT_COLLECTIONS_QEL_ORDERED_H

#include <cstddef>

#include "qelkit/collections/incrementer.h"
#include "qelkit/collections/qel_unique_insertable.h"
#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_collection.h"
#include "qelkit/foundation/rw_ordered.h"

class QELKIT_API QelOrdered : public RWOrdered, public QelUniqueInsertable {
  public:
    // An empty collection with exactly `capacity` slots, growing by `incrementer` (not owned;
    // it must outlive the collection), or by BasicIncrementer::global() when it is null.
    explicit QelOrdered(std::size_t capacity = RWCollection::DEFAULT_CAPACITY,
                        Incrementer* incrementer = nullptr);

    // Deletes every distinct item once and empties the collection; an empty collection is only
    // cleared, without the vendor's destroying walk.
    void clearAndDestroy() override;

    // The inserting operations below first grow a full collection (entries() >= capacity()) to
    // the capacity the policy answers, then place the item as RWOrdered::insertAt does, and
    // return the item. A policy answer not above the capacity leaves growth to RWOrdered (+64).
    // Insert and append add at the end, prepend at index 0.
    RWCollectable* insert(RWCollectable* item) override;
    RWCollectable* append(RWCollectable* item) override;
    // Puts the item at i (i == entries() appends); RWBoundsErr, nothing grown, when
    // i > entries().
    RWCollectable* insertAt(std::size_t i, RWCollectable* item) override;
    RWCollectable* prepend(RWCollectable* item) override;
    // The virtual insertAt(i + 1, item): insertAfter(-1, item) puts the item first; RWBoundsErr
    // when i + 1 > entries().
    RWCollectable* insertAfter(int i, RWCollectable* item) override;

    // When contains(item) (by the stored items' isEqual), nullptr and nothing inserted;
    // otherwise the virtual insert(item), returning the item.
    RWCollectable* insertunique(RWCollectable* item) override;

    // Sorts with the standard qsort; `cmp` (not null) receives the addresses of two slots
    // (RWCollectable* const*). Not stable.
    virtual void sort(int (*cmp)(const void*, const void*));
    // Sorts ascending with QelQuickSort: by compareTo when `f` is null, else by f(x, y)
    // answering like x->compareTo(y). Not stable.
    virtual void sort(int (*f)(const RWCollectable*, const RWCollectable*));
    // As above with `f` (not null) given `data` as its third argument on every call.
    virtual void sort(int (*f)(const RWCollectable*, const RWCollectable*, void*), void* data);

    std::size_t entries() const override { return RWOrdered::entries(); }

    // Makes room for n more items: reshapes to exactly entries() + n when the capacity is
    // smaller; never shrinks.
    void freeSpace(unsigned n);

    // Removes the items of `list` (expected in this collection's order) by pointer identity in
    // one compacting pass, starting at the first list item that index() finds. List items the
    // pass did not meet are then taken out with remove() (by isEqual). Nothing is deleted.
    // Returns the number of items removed; 0, with nothing changed, when index() finds no item.
    int identityBlockRemove(RWOrdered& list);

    // Moves every item for which test.find(item) is not null into `removed` (by its insert), in
    // this collection's order, and closes the gaps in one pass; the items kept keep their order.
    // `removed` must not be this collection. If test.find or removed.insert throws, the item
    // being handled and all later ones stay, and the collection remains consistent.
    void invertedRemove(RWCollection& test, RWCollection& removed);

    // The growth policy; never null, not owned.
    Incrementer* incrementer() const noexcept { return _incrementer; }

  protected:
    // Grows a full collection by the policy (rule shared by every inserting operation).
    void growIfFull();

  private:
    Incrementer* _incrementer;
};

// A QelOrdered whose insertunique admits duplicates.
class QELKIT_API QelOpenCollection : public QelOrdered {
  public:
    // As QelOrdered's constructor.
    explicit QelOpenCollection(std::size_t capacity = RWCollection::DEFAULT_CAPACITY,
                               Incrementer* incrementer = nullptr);

    // RWOrdered::insert(item) unconditionally: the item goes to the end even when an equal one is
    // present, and the vendor's own growth (+64) applies, not the policy. Returns the item.
    RWCollectable* insertunique(RWCollectable* item) override;
};

#endif  // QELKIT_COLLECTIONS_QEL_ORDERED_H
