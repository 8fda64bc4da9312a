// SPDX-License-Identifier: Apache-2.0
// QelCollectableDouble: a double that the collections of RWCollectable pointers can hold. It
// hashes, orders and compares by its value; its class id (isA) is RWCollectable's.
#ifndef QELKIT_COLLECTIONS_QEL_COLLECTABLE_DOUBLE_H
#define QELKIT_COLLECTIONS_QEL_COLLECTABLE_DOUBLE_H

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_defs.h"

class QELKIT_API QelCollectableDouble : public RWCollectable {
  public:
    QelCollectableDouble(double v) noexcept : _value(v) {}
    QelCollectableDouble(const QelCollectableDouble& other) noexcept
        : RWCollectable(other), _value(other._value) {}
    QelCollectableDouble& operator=(const QelCollectableDouble& other) = default;
    ~QelCollectableDouble() override;

    // The value held.
    double value() const noexcept { return _value; }
    // Replaces the value.
    void value(double v) noexcept { _value = v; }

    // -1 when this value is below the other's, 1 when above, 0 when equal or when either is
    // not a number. `other` must point to a QelCollectableDouble (unchecked).
    int compareTo(const RWCollectable* other) const override;
    // Values from -2147483648 up to below 2147483648 give the bits of the value truncated to a
    // signed 32-bit integer (-1.5 gives 4294967295); values up to below 4294967296 give the
    // truncated value; beyond that, and for NaN, the two halves of the double's bits combined.
    // Equal values hash alike (0.0 and -0.0 both give 0).
    unsigned hash() const override;
    // True when the two values compare equal as doubles, so never for NaN. `other` must point
    // to a QelCollectableDouble (unchecked).
    RWBoolean isEqual(const RWCollectable* other) const override;

  private:
    double _value;
};

#endif  // QELKIT_COLLECTIONS_QEL_COLLECTABLE_DOUBLE_H
