// SPDX-License-Identifier: Apache-2.0
// Identity-based defaults of RWCollectable.
#include "qelkit/foundation/rw_collectable.h"

#include <cstdint>
#include <functional>

RWCollectable* RWCollectable::newSpecies() const { return nullptr; }

RWCollectable* RWCollectable::copy() const { return nullptr; }

RWClassID RWCollectable::isA() const { return rwCollectableId; }

RWCollectable* RWCollectable::self() { return this; }

const RWCollectable* RWCollectable::self() const { return this; }

RWCollectable::~RWCollectable() = default;

RWspace RWCollectable::binaryStoreSize() const { return 0; }

int RWCollectable::compareTo(const RWCollectable* c) const {
    // std::less gives a total order over unrelated pointers.
    const std::less<const RWCollectable*> before;
    return before(this, c) ? -1 : before(c, this) ? 1 : 0;
}

unsigned RWCollectable::hash() const {
    // Objects are at least 8-byte aligned: drop the constant low bits, fold in the high half.
    const auto address = reinterpret_cast<std::uintptr_t>(this);
    const std::uint64_t bits = static_cast<std::uint64_t>(address) >> 3;
    return static_cast<unsigned>(bits ^ (bits >> 32));
}

RWBoolean RWCollectable::isEqual(const RWCollectable* c) const { return this == c; }

void RWCollectable::restoreGuts(RWFile&) {}

void RWCollectable::restoreGuts(RWvistream&) {}

void RWCollectable::saveGuts(RWFile&) const {}

void RWCollectable::saveGuts(RWvostream&) const {}
