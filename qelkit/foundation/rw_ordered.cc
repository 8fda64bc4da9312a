// SPDX-License-Identifier: Apache-2.0
// RWOrdered: placement, removal and linear isEqual search over one pointer array.
#include "qelkit/foundation/rw_ordered.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "qelkit/foundation/rw_errors.h"

RWDEFINE_COLLECTABLE(RWOrdered, rwOrderedId)

namespace {

// Growth step of a full vector that no derived class grew first.
constexpr std::size_t growthStep = 64;
// Bytes of one slot of the pointer array: an item pointer, which the check would take for a
// mistaken sizeof of a pointer to a class.
constexpr std::size_t slotWidth = sizeof(RWCollectable*);  // NOLINT(bugprone-sizeof-expression)

}  // namespace

RWOrdered::RWOrdered(std::size_t capacity) { reshape(capacity); }

RWOrdered::RWOrdered(const RWOrdered& other) : RWSequenceable(other) {
    reshape(other.capacity_);
    if (other.nitems != 0) std::memcpy(storage(), other.storage(), other.nitems * slotWidth);
    nitems = other.nitems;
}

RWOrdered& RWOrdered::operator=(const RWOrdered& other) {
    if (this != &other) {
        nitems = 0;
        if (capacity_ < other.nitems) reshape(other.nitems);
        if (other.nitems != 0) std::memcpy(storage(), other.storage(), other.nitems * slotWidth);
        nitems = other.nitems;
    }
    return *this;
}

RWOrdered::~RWOrdered() = default;

void RWOrdered::reshape(std::size_t n) {
    if (n < nitems) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "RWOrdered::reshape: capacity %zu below the %zu entries", n,
                      nitems);
        RWThrow(RWBoundsErr(buf));
    }
    if (n == capacity_) return;
    if (n == 0) {
        items_.reset();
    } else {
        if (n > static_cast<std::size_t>(-1) / slotWidth) throw std::bad_alloc();
        // Slots hold plain pointers: realloc may extend the block in place instead of copying.
        void* grown = std::realloc(items_.get(), n * slotWidth);
        if (grown == nullptr) throw std::bad_alloc();
        static_cast<void>(items_.release());
        items_.reset(static_cast<RWCollectable**>(grown));
    }
    capacity_ = n;
}

RWBoolean RWOrdered::operator==(const RWOrdered& other) const {
    if (nitems != other.nitems) return false;
    const RWCollectable* const* mine = storage();
    const RWCollectable* const* theirs = other.storage();
    for (std::size_t i = 0; i < nitems; ++i)
        if (mine[i] != theirs[i] && (mine[i] == nullptr || !mine[i]->isEqual(theirs[i])))
            return false;
    return true;
}

RWCollectable*& RWOrdered::operator[](std::size_t i) {
    if (i >= nitems) rwThrowBounds("RWOrdered::operator[]", i, nitems);
    return storage()[i];
}

RWCollectable*& RWOrdered::at(std::size_t i) {
    if (i >= nitems) rwThrowBounds("RWOrdered::at", i, nitems);
    return storage()[i];
}

const RWCollectable* RWOrdered::at(std::size_t i) const {
    if (i >= nitems) rwThrowBounds("RWOrdered::at", i, nitems);
    return storage()[i];
}

void RWOrdered::boundsCheck(std::size_t i) const {
    if (i >= nitems) rwThrowBounds("RWOrdered::boundsCheck", i, nitems);
}

RWCollectable* RWOrdered::placeAt(const char* what, std::size_t i, RWCollectable* item) {
    if (i > nitems) rwThrowBounds(what, i, nitems + 1);
    if (nitems == capacity_) reshape(capacity_ + growthStep);
    RWCollectable** slots = storage();
    if (i < nitems) std::memmove(slots + i + 1, slots + i, (nitems - i) * slotWidth);
    slots[i] = item;
    ++nitems;
    return item;
}

RWCollectable* RWOrdered::insert(RWCollectable* item) {
    return placeAt("RWOrdered::insert", nitems, item);
}

RWCollectable* RWOrdered::append(RWCollectable* item) {
    return placeAt("RWOrdered::append", nitems, item);
}

RWCollectable* RWOrdered::prepend(RWCollectable* item) {
    return placeAt("RWOrdered::prepend", 0, item);
}

RWCollectable* RWOrdered::insertAt(std::size_t i, RWCollectable* item) {
    return placeAt("RWOrdered::insertAt", i, item);
}

RWCollectable* RWOrdered::insertAfter(int i, RWCollectable* item) {
    // -1 means "before the first"; anything lower wraps to a huge index and is refused.
    return insertAt(static_cast<std::size_t>(static_cast<long long>(i) + 1), item);
}

RWCollectable* RWOrdered::takeAt(std::size_t i) noexcept {
    RWCollectable** slots = storage();
    RWCollectable* item = slots[i];
    std::memmove(slots + i, slots + i + 1, (nitems - i - 1) * slotWidth);
    --nitems;
    return item;
}

RWCollectable* RWOrdered::removeAt(std::size_t i) {
    if (i >= nitems) rwThrowBounds("RWOrdered::removeAt", i, nitems);
    return takeAt(i);
}

RWCollectable* RWOrdered::removeFirst() { return nitems == 0 ? nullptr : takeAt(0); }

RWCollectable* RWOrdered::removeLast() { return nitems == 0 ? nullptr : storage()[--nitems]; }

RWCollectable* RWOrdered::first() const { return nitems == 0 ? nullptr : storage()[0]; }

RWCollectable* RWOrdered::last() const { return nitems == 0 ? nullptr : storage()[nitems - 1]; }

std::size_t RWOrdered::firstEqual(const RWCollectable* target) const {
    RWCollectable* const* slots = storage();
    for (std::size_t i = 0; i < nitems; ++i)
        if (slots[i] != nullptr && slots[i]->isEqual(target)) return i;
    return RW_NPOS;
}

RWCollectable* RWOrdered::find(const RWCollectable* target) const {
    const std::size_t i = firstEqual(target);
    return i == RW_NPOS ? nullptr : storage()[i];
}

std::size_t RWOrdered::index(const RWCollectable* target) const { return firstEqual(target); }

std::size_t RWOrdered::occurrencesOf(const RWCollectable* target) const {
    std::size_t count = 0;
    RWCollectable* const* slots = storage();
    for (std::size_t i = 0; i < nitems; ++i)
        if (slots[i] != nullptr && slots[i]->isEqual(target)) ++count;
    return count;
}

RWCollectable* RWOrdered::remove(const RWCollectable* target) {
    const std::size_t i = firstEqual(target);
    return i == RW_NPOS ? nullptr : takeAt(i);
}

RWIterator* RWOrdered::newIterator() { return new RWOrderedIterator(*this); }

void RWOrdered::apply(void (*fn)(RWCollectable*, void*), void* data) {
    for (std::size_t i = 0; i < nitems; ++i) fn(storage()[i], data);
}

RWCollectable* RWOrderedIterator::operator()() {
    if (!ended_ && next_ < ordered_->nitems && ordered_->storage()[next_] != nullptr) {
        current_ = ordered_->storage()[next_++];
        return current_;
    }
    ended_ = true;
    current_ = nullptr;
    return nullptr;
}

void RWOrderedIterator::reset() {
    next_ = 0;
    current_ = nullptr;
    ended_ = false;
}

RWCollectable* RWOrderedIterator::findNext(const RWCollectable* target) {
    while (RWCollectable* item = (*this)())
        if (item->isEqual(target)) return item;
    return nullptr;
}
