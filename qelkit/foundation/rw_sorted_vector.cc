// SPDX-License-Identifier: Apache-2.0
// RWSortedVector: binary searches by compareTo over the RWOrdered pointer array.
#include "qelkit/foundation/rw_sorted_vector.h"

#include "qelkit/foundation/rw_errors.h"

RWDEFINE_COLLECTABLE(RWSortedVector, rwSortedVectorId)

RWSortedVector::RWSortedVector(std::size_t capacity) : RWOrdered(capacity) {}

std::size_t RWSortedVector::bound(const RWCollectable* target, bool upper) const {
    RWCollectable* const* slots = storage();
    std::size_t lo = 0, hi = nitems;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        const int c = target->compareTo(slots[mid]);
        if (c > 0 || (upper && c == 0))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

RWCollectable* RWSortedVector::insert(RWCollectable* item) {
    return RWOrdered::insertAt(bound(item, true), item);
}

std::size_t RWSortedVector::index(const RWCollectable* target) const {
    const std::size_t i = bound(target, false);
    return i < nitems && target->compareTo(storage()[i]) == 0 ? i : RW_NPOS;
}

RWCollectable* RWSortedVector::find(const RWCollectable* target) const {
    const std::size_t i = index(target);
    return i == RW_NPOS ? nullptr : storage()[i];
}

RWBoolean RWSortedVector::contains(const RWCollectable* target) const {
    return index(target) != RW_NPOS;
}

std::size_t RWSortedVector::occurrencesOf(const RWCollectable* target) const {
    return bound(target, true) - bound(target, false);
}

RWCollectable* RWSortedVector::remove(const RWCollectable* target) {
    const std::size_t i = index(target);
    return i == RW_NPOS ? nullptr : RWOrdered::removeAt(i);
}

const RWCollectable* RWSortedVector::operator[](std::size_t i) const {
    if (i >= nitems) rwThrowBounds("RWSortedVector::operator[]", i, nitems);
    return storage()[i];
}

RWCollectable* RWSortedVector::append(RWCollectable*) {
    RWThrow(RWInternalErr("RWSortedVector::append: would break the sort order"));
}

RWCollectable* RWSortedVector::prepend(RWCollectable*) {
    RWThrow(RWInternalErr("RWSortedVector::prepend: would break the sort order"));
}

RWCollectable* RWSortedVector::insertAt(std::size_t, RWCollectable*) {
    RWThrow(RWInternalErr("RWSortedVector::insertAt: would break the sort order"));
}

bool rwBSearch(const void* key, const void* base, std::size_t nelem, std::size_t width,
               int (*cmp)(const void*, const void*), std::size_t& idx) {
    const char* first = static_cast<const char*>(base);
    std::size_t lo = 0, hi = nelem;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        const int c = cmp(key, first + mid * width);
        if (c == 0) {
            idx = mid;
            return true;
        }
        if (c < 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    idx = lo;
    return false;
}
