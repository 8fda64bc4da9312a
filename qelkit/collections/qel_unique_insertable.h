// SPDX-License-Identifier: Apache-2.0
// QelUniqueInsertable: the interface every collection class of the library takes as its second
// base, so that code can add an item "unless an equal one is present" and count items without
// knowing which collection it holds. It has no data.
#ifndef QELKIT_COLLECTIONS_QEL_UNIQUE_INSERTABLE_H
#define QELKIT_COLLECTIONS_QEL_UNIQUE_INSERTABLE_H

#include <cstddef>

#include "qelkit/export.h"

class RWCollectable;

class QELKIT_API QelUniqueInsertable {
  public:
    // Adds `item` unless an equal one is present. Returns null when nothing was inserted,
    // except where a collection documents otherwise. The item is not owned.
    virtual RWCollectable* insertunique(RWCollectable* item) = 0;
    // The number of items held.
    virtual std::size_t entries() const = 0;

  protected:
    // Not deleted through this interface: collections are owned through their own types.
    ~QelUniqueInsertable() = default;
};

#endif  // QELKIT_COLLECTIONS_QEL_UNIQUE_INSERTABLE_H
