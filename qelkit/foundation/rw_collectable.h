// SPDX-License-Identifier: Apache-2.0
// RWCollectable: the root of the objects the classic collections hold by pointer. Its virtual
// operations decide how a collection finds, orders and hashes an item; the defaults use the
// object's identity (its address), which suits items that are only ever the same as themselves.
// RWFile, RWvistream and RWvostream are empty stand-ins so that the classic persistence
// signatures compile; persistence itself is not offered.
//
// Application classes declare their class id, newSpecies and copy with
//   class Shape : public RWCollectable { RWDECLARE_COLLECTABLE(Shape) ... };   // in the header
//   RWDEFINE_COLLECTABLE(Shape, 0x1234)                                        // in one .cc
// Class ids below 0x0100 belong to the foundation layer.
#ifndef QELKIT_FOUNDATION_RW_COLLECTABLE_H
#define QELKIT_FOUNDATION_RW_COLLECTABLE_H

#include "qelkit/export.h"
#include "qelkit/foundation/rw_defs.h"

class QELKIT_API RWFile {};
class QELKIT_API RWvistream {};
class QELKIT_API RWvostream {};

// Class ids of the foundation layer's collectables.
constexpr RWClassID rwCollectableId = 0x0001;
constexpr RWClassID rwCollectableStringId = 0x0002;
constexpr RWClassID rwCollectableIntId = 0x0003;

class QELKIT_API RWCollectable {
  public:
    RWCollectable() = default;
    RWCollectable(const RWCollectable&) = default;
    RWCollectable& operator=(const RWCollectable&) = default;

    // The virtual operations below keep this declaration order (their table slots).

    // A new default object of the same class, owned by the caller; nullptr by default.
    virtual RWCollectable* newSpecies() const;
    // A new copy of this object, owned by the caller; nullptr by default.
    virtual RWCollectable* copy() const;
    // The class id (rwCollectableId here); distinct per class that declares one.
    virtual RWClassID isA() const;
    // This object.
    virtual RWCollectable* self();
    virtual const RWCollectable* self() const;
    virtual ~RWCollectable();
    // Bytes a binary store would take; 0 (persistence is not offered).
    virtual RWspace binaryStoreSize() const;
    // Default: orders by address, -1, 0 or 1. Overrides take `c` to be of their own class.
    virtual int compareTo(const RWCollectable* c) const;
    // Default: derived from the address, so equal only for the same object.
    virtual unsigned hash() const;
    // Default: `this == c`; `c` is never dereferenced (it may be null or dangling).
    virtual RWBoolean isEqual(const RWCollectable* c) const;
    // No-ops: persistence is not offered.
    virtual void restoreGuts(RWFile& file);
    virtual void restoreGuts(RWvistream& stream);
    virtual void saveGuts(RWFile& file) const;
    virtual void saveGuts(RWvostream& stream) const;
};

// Inside a class body: declares isA, newSpecies and copy; leaves the access public.
#define RWDECLARE_COLLECTABLE(Class)            \
  public:                                       \
    RWClassID isA() const override;             \
    RWCollectable* newSpecies() const override; \
    RWCollectable* copy() const override;

// At namespace scope in one source file: isA returns `id`; newSpecies default-constructs and
// copy copy-constructs a new Class on the heap, owned by the caller.
#define RWDEFINE_COLLECTABLE(Class, id)                                 \
    RWClassID Class::isA() const { return static_cast<RWClassID>(id); } \
    RWCollectable* Class::newSpecies() const { return new Class(); }    \
    RWCollectable* Class::copy() const { return new Class(*this); }

#endif  // QELKIT_FOUNDATION_RW_COLLECTABLE_H
