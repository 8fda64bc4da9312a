// SPDX-License-Identifier: Apache-2.0
// RWCollectableString: a byte string that collections of RWCollectable pointers can hold. It is
// an RWCString (all string operations, stream output included, apply) that compares and hashes
// by its text rather than by identity.
#ifndef QELKIT_FOUNDATION_RW_COLLECTABLE_STRING_H
#define QELKIT_FOUNDATION_RW_COLLECTABLE_STRING_H

#include <cstddef>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_defs.h"

class QELKIT_API RWCollectableString : public RWCollectable, public RWCString {
    // isA is rwCollectableStringId; newSpecies and copy return new strings owned by the caller.
    RWDECLARE_COLLECTABLE(RWCollectableString)

  public:
    // Empty text.
    RWCollectableString() = default;
    // The bytes of a C string up to its NUL (null: empty).
    RWCollectableString(const char* cs) : RWCString(cs) {}
    // Exactly n bytes from cs, NULs included.
    RWCollectableString(const char* cs, std::size_t n) : RWCString(cs, n) {}
    RWCollectableString(const RWCString& s) : RWCString(s) {}
    // n copies of c.
    RWCollectableString(char c, std::size_t n) : RWCString(c, n) {}

    // Replace the text in place; the object (and its place in any collection) stays the same.
    RWCollectableString& operator=(const RWCString& s);
    RWCollectableString& operator=(const char* cs);

    // The string comparisons of RWCString stay available beside the collectable one.
    using RWCString::compareTo;
    // Text order of the bytes: -1, 0 or 1. `c` must point to an RWCollectableString (unchecked).
    int compareTo(const RWCollectable* c) const override;
    // RWCString::hash() of the text.
    unsigned hash() const override;
    // True when `c` is an RWCollectableString of the same class holding the same bytes.
    RWBoolean isEqual(const RWCollectable* c) const override;
};

#endif  // QELKIT_FOUNDATION_RW_COLLECTABLE_STRING_H
