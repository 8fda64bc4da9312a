// SPDX-License-Identifier: Apache-2.0
// QelDuplicateNotifier: a callback the caller hands to QelSortedVector::removeDuplicates to hear
// of every duplicate before it is removed and deleted.
#ifndef QELKIT_COLLECTIONS_QEL_DUPLICATE_NOTIFIER_H
#define QELKIT_COLLECTIONS_QEL_DUPLICATE_NOTIFIER_H

#include "qelkit/export.h"

class QelSortedVector;
class RWCollectable;

class QELKIT_API QelDuplicateNotifier {
  public:
    virtual ~QelDuplicateNotifier() = default;

    // Called once per duplicate, in storage order, while `duplicate` is still stored in and
    // alive; it is deleted afterwards. The notifier must not change `vector`. The result is
    // not used.
    virtual int notify(QelSortedVector* vector, RWCollectable* duplicate) = 0;
};

#endif  // QELKIT_COLLECTIONS_QEL_DUPLICATE_NOTIFIER_H
