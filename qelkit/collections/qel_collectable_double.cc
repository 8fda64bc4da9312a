// SPDX-License-Identifier: Apache-2.0
// Value-based comparison and hashing of QelCollectableDouble.
#include "qelkit/collections/qel_collectable_double.h"

#include <cstdint>
#include <cstring>

QelCollectableDouble::~QelCollectableDouble() = default;

int QelCollectableDouble::compareTo(const RWCollectable* other) const {
    const double theirs = static_cast<const QelCollectableDouble*>(other)->_value;
    if (_value < theirs) return -1;
    if (_value > theirs) return 1;
    return 0;
}

unsigned QelCollectableDouble::hash() const {
    if (_value < 2147483648.0 && _value > -2147483649.0)
        return static_cast<unsigned>(static_cast<std::int32_t>(_value));
    if (_value >= 2147483648.0 && _value < 4294967296.0) return static_cast<unsigned>(_value);
    // Out of the 32-bit range or NaN: no integer conversion exists, so fold the bit pattern.
    std::uint64_t bits;
    std::memcpy(&bits, &_value, sizeof bits);
    return static_cast<unsigned>(bits ^ (bits >> 32));
}

RWBoolean QelCollectableDouble::isEqual(const RWCollectable* other) const {
    return _value == static_cast<const QelCollectableDouble*>(other)->_value;
}
