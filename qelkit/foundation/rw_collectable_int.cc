// SPDX-License-Identifier: Apache-2.0
// Value-based comparison and hashing of RWCollectableInt.
#include "qelkit/foundation/rw_collectable_int.h"

RWDEFINE_COLLECTABLE(RWCollectableInt, rwCollectableIntId)

int RWCollectableInt::compareTo(const RWCollectable* c) const {
    const int other = static_cast<const RWCollectableInt*>(c)->value_;
    return value_ < other ? -1 : value_ > other ? 1 : 0;
}

unsigned RWCollectableInt::hash() const { return static_cast<unsigned>(value_); }

RWBoolean RWCollectableInt::isEqual(const RWCollectable* c) const {
    const auto* other = dynamic_cast<const RWCollectableInt*>(c);
    return other != nullptr && other->isA() == isA() && other->value_ == value_;
}
