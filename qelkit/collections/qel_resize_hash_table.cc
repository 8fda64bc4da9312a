// SPDX-License-Identifier: Apache-2.0
#include "qelkit/collections/qel_resize_hash_table.h"

#include "qelkit/collections/prime_number.h"

// Bucket counts and entry counts are compared and doubled in unsigned 32-bit arithmetic.
namespace {
inline unsigned u32(std::size_t n) { return static_cast<unsigned>(n); }
}  // namespace

// ---- QelResizeHashTable ------------------------------------------------------------------

QelResizeHashTable::QelResizeHashTable(unsigned size, unsigned factor)
    : RWHashTable(size), loadFactor(factor == 0 ? 1 : factor), threshold(size * loadFactor) {}

RWCollectable* QelResizeHashTable::insert(RWCollectable* item) {
    const unsigned n = u32(RWHashTable::entries());
    if (n > threshold) {
        if (2 * n > u32(buckets())) resize(PrimeNumber::next(2 * n));
        threshold = u32(buckets()) * loadFactor;
    }
    return RWHashTable::insert(item);
}

RWCollectable* QelResizeHashTable::insertunique(RWCollectable* item) {
    if (contains(item)) return nullptr;
    insert(item);
    return item;
}

void QelResizeHashTable::primeresize(unsigned n) {
    if (n > u32(buckets())) resize(PrimeNumber::next(n));
    threshold = u32(buckets()) * loadFactor;
}

// ---- QelResizeSet --------------------------------------------------------------------------

QelResizeSet::QelResizeSet(unsigned size) : RWSet(size) {}

RWCollectable* QelResizeSet::insert(RWCollectable* item) {
    const unsigned b = u32(buckets());
    if (u32(RWSet::entries()) >= b) resize(PrimeNumber::next(2 * b));
    return RWSet::insert(item);
}

RWCollectable* QelResizeSet::insertunique(RWCollectable* item) {
    if (contains(item)) return nullptr;
    insert(item);
    return item;
}

// ---- QelResizeIdentitySet ------------------------------------------------------------------

QelResizeIdentitySet::QelResizeIdentitySet(unsigned size)
    : RWIdentitySet(size), loadFactor(1), threshold(size) {}

RWCollectable* QelResizeIdentitySet::insert(RWCollectable* item) {
    if (u32(RWIdentitySet::entries()) >= threshold) {
        const unsigned b = u32(buckets());
        // Doubling must grow: not at 0 buckets, and not where it would overflow.
        if (2 * b > b) resize(PrimeNumber::next(2 * b));
        threshold = u32(buckets()) * loadFactor;
    }
    return RWIdentitySet::insert(item);
}

RWCollectable* QelResizeIdentitySet::insertunique(RWCollectable* item) { return insert(item); }

void QelResizeIdentitySet::primeresize(unsigned n) {
    if (n > u32(buckets())) resize(PrimeNumber::next(n));
    threshold = u32(buckets()) * loadFactor;
}
