// SPDX-License-Identifier: Apache-2.0
// Sorted vectors: growth through an Incrementer, binary searches over the pointer slots, bulk
// filling with one sort, and removals that compact the slots in place in one pass.
#include "qelkit/collections/qel_sorted_vector.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "qelkit/collections/qel_quick_sort.h"
#include "qelkit/foundation/rw_defs.h"

namespace {

// Bytes of one slot of the pointer array: an item pointer, which the check would take for a
// mistaken sizeof of a pointer to a class.
constexpr std::size_t slotWidth = sizeof(RWCollectable*);  // NOLINT(bugprone-sizeof-expression)

RWCollectable* slotAt(const void* slot) { return *static_cast<RWCollectable* const*>(slot); }

// The first slot's object compared with the second slot's object.
int compareToSlots(const void* a, const void* b) { return slotAt(a)->compareTo(slotAt(b)); }

std::uintptr_t address(const RWCollectable* item) { return reinterpret_cast<std::uintptr_t>(item); }

// The two stored addresses compared as unsigned numbers: -1, 0 or 1.
int identitySlots(const void* a, const void* b) {
    const std::uintptr_t x = address(slotAt(a)), y = address(slotAt(b));
    return x < y ? -1 : x > y ? 1 : 0;
}

// qsort over the slots; an empty vector may have no storage at all, which qsort must not see.
void sortSlots(RWCollectable** slots, std::size_t n, QelSlotCompare cmp) {
    if (n > 1) std::qsort(slots, n, slotWidth, cmp);
}

// A full vector grows to exactly the capacity the policy answers.
void growIfFull(RWOrdered& vector, const Incrementer* incrementer) {
    if (vector.entries() >= vector.capacity())
        vector.reshape(incrementer->increment(static_cast<unsigned>(vector.capacity())));
}

// Appends everything `it` yields. A positive count that does not fit reserves the room once and
// leaves any surplus to RWOrdered's own growth; otherwise the policy grows the vector as needed.
void fill(RWOrdered& vector, RWIterator& it, int count, const Incrementer* incrementer) {
    if (count > 0 && vector.entries() + static_cast<std::size_t>(count) >= vector.capacity()) {
        vector.reshape(vector.entries() + static_cast<std::size_t>(count));
        while (RWCollectable* item = it()) vector.RWOrdered::insertAt(vector.entries(), item);
        return;
    }
    while (RWCollectable* item = it()) {
        growIfFull(vector, incrementer);
        vector.RWOrdered::insertAt(vector.entries(), item);
    }
}

// The pass shared by the block removals, over slots[start, n): each slot matching `want` is
// dropped (handed to `drop`) and `want` becomes the list's next item; every other slot moves
// down to the write position. Returns the number dropped; `want` is left at the first list item
// not matched (null when the list was used up).
template <class Match, class Drop>
std::size_t compactPass(RWCollectable** slots, std::size_t start, std::size_t n,
                        RWOrderedIterator& list, RWCollectable*& want, Match match, Drop drop) {
    std::size_t write = start, read = start;
    for (; read < n && want != nullptr; ++read) {
        RWCollectable* stored = slots[read];
        if (match(stored, want)) {
            drop(stored);
            want = list();
        } else {
            slots[write++] = stored;
        }
    }
    const std::size_t removed = read - write;
    if (removed != 0 && read < n) std::memmove(slots + write, slots + read, (n - read) * slotWidth);
    return removed;
}

// The start of a block removal: takes list items in turn until `locate` finds one stored and
// returns its index, leaving `want` on that item; RW_NPOS when none is stored.
template <class Locate>
std::size_t findStart(RWOrderedIterator& list, RWCollectable*& want, Locate locate) {
    std::size_t start = RW_NPOS;
    while (start == RW_NPOS && (want = list()) != nullptr) start = locate(want);
    return start;
}

}  // namespace

// ---- QelSortedVector ----

QelSortedVector::QelSortedVector(std::size_t capacity, Incrementer* incrementer)
    : RWSortedVector(capacity),
      _incrementer(incrementer != nullptr ? incrementer : BasicIncrementer::global()) {}

QelSortedVector::~QelSortedVector() = default;

RWCollectable* QelSortedVector::insert(RWCollectable* item) {
    growIfFull(*this, _incrementer);
    return RWSortedVector::insert(item);
}

RWCollectable* QelSortedVector::append(RWCollectable* item) {
    growIfFull(*this, _incrementer);
    return RWOrdered::insertAt(nitems, item);
}

RWCollectable* QelSortedVector::insertAt(std::size_t i, RWCollectable* item) {
    growIfFull(*this, _incrementer);
    return RWOrdered::insertAt(i, item);
}

RWCollectable* QelSortedVector::insertunique(RWCollectable* item) {
    std::size_t i = 0;
    if (rwBSearch(&item, storage(), nitems, slotWidth, compareToSlots, i)) return nullptr;
    while (i < nitems && storage()[i]->compareTo(item) < 0) ++i;
    growIfFull(*this, _incrementer);
    RWOrdered::insertAt(i, item);
    return item;
}

std::size_t QelSortedVector::rank(const RWCollectable* item) const {
    std::size_t k = 0;
    rwBSearch(&item, storage(), nitems, slotWidth, compareToSlots, k);
    // A hit may land anywhere in a run of equal items: step back to its start.
    while (k > 0 && storage()[k - 1]->compareTo(item) >= 0) --k;
    return k;
}

std::size_t QelSortedVector::indexWith(const RWCollectable* item, QelSlotCompare cmp) const {
    std::size_t i = 0;
    return rwBSearch(&item, storage(), nitems, slotWidth, cmp, i) ? i : RW_NPOS;
}

void QelSortedVector::blockInsert(RWIterator& it, QelSVsortType type, int count) {
    fill(*this, it, count, _incrementer);
    sort(type, nullptr);
}

void QelSortedVector::sort(QelSVsortType type, QelSlotCompare cmp) {
    if (type == QelSVquickSort) {
        QelQuickSort::sort(storage(), static_cast<int>(nitems));
    } else if (type == QelSVqsort) {
        sortSlots(storage(), nitems, cmp != nullptr ? cmp : compareToSlots);
    }
}

int QelSortedVector::removeDuplicates(QelDuplicateNotifier* notifier) {
    RWOrdered duplicates(RWCollection::DEFAULT_CAPACITY);
    RWCollectable** slots = storage();
    for (std::size_t i = 0; i < nitems;) {
        std::size_t j = i + 1;
        for (; j < nitems && slots[i]->compareTo(slots[j]) == 0; ++j) {
            if (notifier != nullptr) notifier->notify(this, slots[j]);
            // Doubling keeps the list's growth linear when most items are duplicates.
            if (duplicates.entries() == duplicates.capacity())
                duplicates.reshape(2 * duplicates.capacity());
            duplicates.RWOrdered::insert(slots[j]);
        }
        i = j;
    }
    const std::size_t found = duplicates.entries();
    if (found != 0) blockRemoveAndDestroy(duplicates);
    return static_cast<int>(found);
}

int QelSortedVector::blockRemoveAndDestroy(RWOrdered& list) {
    RWOrderedIterator next(list);
    RWCollectable* want = nullptr;
    const std::size_t start =
        findStart(next, want, [this](const RWCollectable* item) { return index(item); });
    if (start == RW_NPOS) return 0;
    const std::size_t removed = compactPass(
        storage(), start, nitems, next, want,
        [](const RWCollectable* stored, const RWCollectable* item) {
            return stored == item || item->isEqual(stored);
        },
        [](RWCollectable* stored) { delete stored; });
    nitems -= removed;
    return static_cast<int>(removed);
}

int QelSortedVector::identityBlockRemove(RWOrdered& list) {
    RWOrderedIterator next(list);
    RWCollectable* want = nullptr;
    const std::size_t start =
        findStart(next, want, [this](const RWCollectable* item) { return index(item); });
    if (start == RW_NPOS) return 0;
    std::size_t removed = compactPass(
        storage(), start, nitems, next, want,
        [](const RWCollectable* stored, const RWCollectable* item) { return stored == item; },
        [](RWCollectable*) {});
    nitems -= removed;
    // Items out of the vector's order were passed over: take them out one by one.
    for (; want != nullptr; want = next())
        if (remove(want) != nullptr) ++removed;
    return static_cast<int>(removed);
}

int QelSortedVector::comparedBlockRemove(RWOrdered& list, QelSlotCompare cmp) {
    RWOrderedIterator next(list);
    RWCollectable* want = nullptr;
    const std::size_t start = findStart(
        next, want, [this, cmp](const RWCollectable* item) { return indexWith(item, cmp); });
    if (start == RW_NPOS) return 0;
    const std::size_t removed = compactPass(
        storage(), start, nitems, next, want,
        [cmp](RWCollectable* const& stored, RWCollectable* const& item) {
            return cmp(&stored, &item) == 0;
        },
        [](RWCollectable*) {});
    nitems -= removed;
    return static_cast<int>(removed);
}

// ---- QelSortedIdentityVector ----

QelSortedIdentityVector::QelSortedIdentityVector(std::size_t capacity, Incrementer* incrementer)
    : RWSortedVector(capacity),
      _incrementer(incrementer != nullptr ? incrementer : BasicIncrementer::global()) {}

QelSortedIdentityVector::~QelSortedIdentityVector() = default;

std::size_t QelSortedIdentityVector::index(const RWCollectable* item) const {
    std::size_t i = 0;
    return rwBSearch(&item, storage(), nitems, slotWidth, identitySlots, i) ? i : RW_NPOS;
}

RWCollectable* QelSortedIdentityVector::find(const RWCollectable* item) const {
    const std::size_t i = index(item);
    return i == RW_NPOS ? nullptr : storage()[i];
}

RWBoolean QelSortedIdentityVector::contains(const RWCollectable* item) const {
    return index(item) != RW_NPOS;
}

std::size_t QelSortedIdentityVector::occurrencesOf(const RWCollectable* item) const {
    const std::size_t i = index(item);
    if (i == RW_NPOS) return 0;
    std::size_t count = 0;
    for (std::size_t k = i; k < nitems; ++k)
        if (storage()[k] == item) ++count;
    return count;
}

RWCollectable* QelSortedIdentityVector::remove(const RWCollectable* item) {
    const std::size_t i = index(item);
    return i == RW_NPOS ? nullptr : RWOrdered::removeAt(i);
}

RWCollectable* QelSortedIdentityVector::insert(RWCollectable* item) {
    growIfFull(*this, _incrementer);
    RWCollectable* const* slots = storage();
    std::size_t i = 0;
    if (rwBSearch(&item, slots, nitems, slotWidth, identitySlots, i)) {
        while (i < nitems && slots[i] == item) ++i;  // after its copies
    } else {
        while (i < nitems && address(slots[i]) < address(item)) ++i;
    }
    return RWOrdered::insertAt(i, item);
}

RWCollectable* QelSortedIdentityVector::insertunique(RWCollectable* item) {
    std::size_t i = 0;
    if (rwBSearch(&item, storage(), nitems, slotWidth, identitySlots, i)) return nullptr;
    while (i < nitems && address(storage()[i]) < address(item)) ++i;
    growIfFull(*this, _incrementer);
    RWOrdered::insertAt(i, item);
    return item;
}

RWCollectable* QelSortedIdentityVector::insertAt(std::size_t i, RWCollectable* item) {
    growIfFull(*this, _incrementer);
    return RWOrdered::insertAt(i, item);
}

void QelSortedIdentityVector::blockInsert(RWIterator& it, QelSVsortType, int count) {
    fill(*this, it, count, _incrementer);
    sortSlots(storage(), nitems, identitySlots);
}

void QelSortedIdentityVector::sort(QelSVsortType, QelSlotCompare cmp) {
    sortSlots(storage(), nitems, cmp != nullptr ? cmp : identitySlots);
}
