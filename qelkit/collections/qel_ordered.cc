// SPDX-License-Identifier: Apache-2.0
// QelOrdered and QelOpenCollection: policy growth, unique insertion, one-pass block removals and
// in-place sorts over the RWOrdered pointer array.
#include "qelkit/collections/qel_ordered.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

#include "qelkit/collections/qel_quick_sort.h"

namespace {

// Bytes of one slot of the pointer array: an item pointer, which the check would take for a
// mistaken sizeof of a pointer to a class.
constexpr std::size_t slotWidth = sizeof(RWCollectable*);  // NOLINT(bugprone-sizeof-expression)

// Closes the gap between a write and a read position when a compacting pass ends, normally or by
// an exception: the unvisited tail moves down and the count is set to what remains.
class TailCloser {
  public:
    TailCloser(RWCollectable** slots, std::size_t& count) noexcept
        : slots_(slots), count_(count), end_(count) {}
    TailCloser(const TailCloser&) = delete;
    TailCloser& operator=(const TailCloser&) = delete;
    ~TailCloser() {
        const std::size_t tail = end_ - read;
        if (write != read && tail != 0)
            std::memmove(slots_ + write, slots_ + read, tail * slotWidth);
        count_ = write + tail;
    }

    std::size_t read = 0;
    std::size_t write = 0;

  private:
    RWCollectable** slots_;
    std::size_t& count_;
    std::size_t end_;
};

}  // namespace

QelOrdered::QelOrdered(std::size_t capacity, Incrementer* incrementer)
    : RWOrdered(capacity),
      _incrementer(incrementer != nullptr ? incrementer : BasicIncrementer::global()) {}

void QelOrdered::growIfFull() {
    if (nitems < capacity()) return;
    const std::size_t grown = _incrementer->increment(static_cast<unsigned>(capacity()));
    // A policy that shrinks or does not grow leaves the vendor's own step to RWOrdered::insertAt.
    if (grown > capacity()) reshape(grown);
}

void QelOrdered::clearAndDestroy() {
    if (nitems == 0)
        RWOrdered::clear();
    else
        RWCollection::clearAndDestroy();
}

RWCollectable* QelOrdered::insert(RWCollectable* item) {
    growIfFull();
    return RWOrdered::insertAt(nitems, item);
}

RWCollectable* QelOrdered::append(RWCollectable* item) {
    growIfFull();
    return RWOrdered::insertAt(nitems, item);
}

RWCollectable* QelOrdered::insertAt(std::size_t i, RWCollectable* item) {
    // A bad index is reported by RWOrdered::insertAt before anything has grown.
    if (i <= nitems) growIfFull();
    return RWOrdered::insertAt(i, item);
}

RWCollectable* QelOrdered::prepend(RWCollectable* item) {
    growIfFull();
    return RWOrdered::insertAt(0, item);
}

RWCollectable* QelOrdered::insertAfter(int i, RWCollectable* item) {
    const std::size_t at = static_cast<std::size_t>(i) + 1;
    if (at <= nitems) growIfFull();
    return insertAt(at, item);
}

RWCollectable* QelOrdered::insertunique(RWCollectable* item) {
    if (contains(item)) return nullptr;
    insert(item);
    return item;
}

void QelOrdered::sort(int (*cmp)(const void*, const void*)) {
    assert(cmp != nullptr);
    if (nitems > 1) std::qsort(storage(), nitems, slotWidth, cmp);
}

void QelOrdered::sort(int (*f)(const RWCollectable*, const RWCollectable*)) {
    const int n = static_cast<int>(nitems);
    if (f == nullptr)
        QelQuickSort::sort(storage(), n);
    else
        QelQuickSort::sortByFunction(storage(), n, f);
}

void QelOrdered::sort(int (*f)(const RWCollectable*, const RWCollectable*, void*), void* data) {
    assert(f != nullptr);
    QelQuickSort::sortByFunctionWithData(storage(), static_cast<int>(nitems), f, data);
}

void QelOrdered::freeSpace(unsigned n) {
    const std::size_t wanted = nitems + n;
    if (capacity() < wanted) reshape(wanted);
}

int QelOrdered::identityBlockRemove(RWOrdered& list) {
    RWOrderedIterator next(list);
    RWCollectable* wanted = next();
    std::size_t start = RW_NPOS;
    while (wanted != nullptr && (start = index(wanted)) == RW_NPOS) wanted = next();
    if (wanted == nullptr) return 0;

    // Pointer comparisons only: nothing in the pass can throw, so the count is set at the end.
    RWCollectable** slots = storage();
    const std::size_t end = nitems;
    std::size_t write = start;
    std::size_t read = start;
    for (; read < end && wanted != nullptr; ++read) {
        if (slots[read] == wanted)
            wanted = next();
        else
            slots[write++] = slots[read];
    }
    const std::size_t dropped = read - write;
    if (dropped != 0 && read < end)
        std::memmove(slots + write, slots + read, (end - read) * slotWidth);
    nitems -= dropped;

    std::size_t count = dropped;
    for (; wanted != nullptr; wanted = next())
        if (remove(wanted) != nullptr) ++count;
    return static_cast<int>(count);
}

void QelOrdered::invertedRemove(RWCollection& test, RWCollection& removed) {
    assert(static_cast<RWCollection*>(this) != &removed);
    RWCollectable** slots = storage();
    TailCloser pass(slots, nitems);
    for (const std::size_t end = nitems; pass.read < end; ++pass.read) {
        RWCollectable* item = slots[pass.read];
        if (test.find(item) != nullptr)
            removed.insert(item);
        else
            slots[pass.write++] = item;
    }
}

QelOpenCollection::QelOpenCollection(std::size_t capacity, Incrementer* incrementer)
    : QelOrdered(capacity, incrementer) {}

RWCollectable* QelOpenCollection::insertunique(RWCollectable* item) {
    return RWOrdered::insert(item);
}
