// SPDX-License-Identifier: Apache-2.0
// QelCollectableRegexp: a compiled regular expression that the collections of RWCollectable
// pointers can hold. It keeps its own copy of the expression; ordering, hashing and equality are
// RWCollectable's (by identity), so the pattern takes no part in them.
#ifndef QELKIT_COLLECTIONS_QEL_COLLECTABLE_REGEXP_H
#define QELKIT_COLLECTIONS_QEL_COLLECTABLE_REGEXP_H

#include <utility>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_cregexp.h"

class QELKIT_API QelCollectableRegexp : public RWCollectable {
  public:
    // Keeps a copy of `re` (copies of an RWCRegexp share its immutable compiled form). The
    // classic signature takes the expression by value.
    // NOLINTNEXTLINE(performance-unnecessary-value-param)
    QelCollectableRegexp(RWCRegexp re) noexcept : _regexp(re) {}
    ~QelCollectableRegexp() override;

    // A copy of the kept expression; it matches as the one this object was built from.
    operator RWCRegexp() const { return _regexp; }

  private:
    RWCRegexp _regexp;
};

#endif  // QELKIT_COLLECTIONS_QEL_COLLECTABLE_REGEXP_H
