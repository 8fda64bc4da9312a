// SPDX-License-Identifier: Apache-2.0
// QelModelReference: a client's record of one model it registered with, counting how many
// registrations are outstanding. QelModelClient keeps these sorted by model address and owns
// them. The count is read and changed under the reference's own monitor; the model is fixed at
// construction and is never dereferenced here.
#ifndef QELKIT_COLLECTIONS_QEL_MODEL_REFERENCE_H
#define QELKIT_COLLECTIONS_QEL_MODEL_REFERENCE_H

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_defs.h"
#include "qelkit/foundation/rw_monitor.h"
#include "qelkit/foundation/rw_mutex_lock.h"

class QelModel;

class QELKIT_API QelModelReference : public RWTMonitor<RWMutexLock>, public RWCollectable {
  public:
    // A reference to `m` (not owned) with count 0.
    explicit QelModelReference(QelModel* m) noexcept : _model(m) {}
    ~QelModelReference() override;
    QelModelReference(const QelModelReference&) = delete;
    QelModelReference& operator=(const QelModelReference&) = delete;

    // Negative, zero or positive as this reference's model address is below, equal to or above
    // that of `other`, which must be a QelModelReference. Locks only this reference.
    int compareTo(const RWCollectable* other) const override;
    // True when `other` (a QelModelReference) stands for the same model. Locks only this one.
    RWBoolean isEqual(const RWCollectable* other) const override;

    // The model; fixed, read without locking.
    QelModel* model() const noexcept { return _model; }
    // The current count.
    unsigned references() const;
    // Adds one to the count and returns the new count.
    unsigned addReference();
    // Takes one from the count and returns the new count (unsigned arithmetic: 0 wraps).
    unsigned removeReference();

  private:
    QelModel* const _model;
    unsigned _count = 0;
};

#endif  // QELKIT_COLLECTIONS_QEL_MODEL_REFERENCE_H
