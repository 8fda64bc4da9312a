// SPDX-License-Identifier: Apache-2.0
// RWCollectableInt: an int that collections of RWCollectable pointers can hold; it orders,
// hashes and compares by its value.
#ifndef QELKIT_FOUNDATION_RW_COLLECTABLE_INT_H
#define QELKIT_FOUNDATION_RW_COLLECTABLE_INT_H

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_defs.h"

class QELKIT_API RWCollectableInt : public RWCollectable {
    // isA is rwCollectableIntId; newSpecies and copy return new objects owned by the caller.
    RWDECLARE_COLLECTABLE(RWCollectableInt)

  public:
    RWCollectableInt(int v = 0) noexcept : value_(v) {}

    // The value held.
    int value() const noexcept { return value_; }
    // Sets the value; returns the previous one.
    int value(int v) noexcept {
        const int previous = value_;
        value_ = v;
        return previous;
    }

    // By value: -1, 0 or 1. `c` must point to an RWCollectableInt (unchecked).
    int compareTo(const RWCollectable* c) const override;
    // The value's bits as unsigned.
    unsigned hash() const override;
    // True when `c` is an RWCollectableInt of the same class holding the same value.
    RWBoolean isEqual(const RWCollectable* c) const override;

  private:
    int value_;
};

#endif  // QELKIT_FOUNDATION_RW_COLLECTABLE_INT_H
