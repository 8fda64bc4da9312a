// SPDX-License-Identifier: Apache-2.0
// QelModelClient: the receiving side of the change-notification framework. A client registers
// with any number of models, and with one model more than once; it keeps one QelModelReference per
// model counting those registrations, and is a dependent of the model exactly while the count is
// above zero. Applications derive from it and override updateFrom to react to changes.
//
// Threads: the client's references are guarded by its own non-recursive monitor. Operations that
// also change a model's dependents take that model's lock before the monitor (the order a
// notification uses), so the two halves of a registration change together and no operation
// deadlocks against a notification running on another thread. From inside updateFrom a client
// may register or deregister itself or other clients with the notifying model.
//
// Destruction: the destructor calls finishCallbacks(): it leaves every model the client is
// registered with and waits for callbacks to this client still running on other threads (one
// that deregistered its own client goes on until it returns); no callback reaches the client
// afterwards. A derived class whose updateFrom uses its own members calls finishCallbacks() first
// in its own destructor, so that no callback runs while those members are being destroyed. A
// callback may destroy its own client on its own thread.
#ifndef QELKIT_COLLECTIONS_QEL_MODEL_CLIENT_H
#define QELKIT_COLLECTIONS_QEL_MODEL_CLIENT_H

#include <atomic>
#include <cstddef>
#include <memory>

#include "qelkit/collections/qel_model.h"
#include "qelkit/collections/qel_model_reference.h"
#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_mutex_lock.h"
#include "qelkit/foundation/rw_ordered.h"
#include "qelkit/foundation/rw_sorted_vector.h"

class QELKIT_API QelModelClient : public RWCollectable {
  public:
    // A client registered with no model.
    QelModelClient();
    // deregisterAll(), then frees the monitor.
    ~QelModelClient() override;
    QelModelClient(const QelModelClient&) = delete;
    QelModelClient& operator=(const QelModelClient&) = delete;

    // Counts one more registration with `m` (not null, not owned); the first one makes this
    // client a dependent of `m`.
    void registerWith(QelModel* m);
    // Counts one registration with `m` (not null) less; when none is left (also when there was
    // none) the client is removed from `m`'s dependents.
    void deregisterFrom(QelModel* m);
    // The callback of QelModel::changed, on the notifying thread with the model locked. The
    // default leaves `m` on DESTROYING (dependent entry and reference, whatever the count) and
    // ignores every other kind.
    virtual void updateFrom(QelModel* m, QelModelChangeType type);

    // The client half of registerWith: counts one registration with `m` (not null) and returns
    // the new count. The model is not told.
    int addModel(QelModel* m);
    // The client half of deregisterFrom: takes one registration with `m` (not null) away and
    // returns the new count, dropping the reference at 0; 0 when there was none. The model is not
    // told.
    int removeModel(QelModel* m);
    // The stored reference for `m`, or null. Takes no lock: the caller holds monitor().
    QelModelReference* getReference(QelModel* m);
    // The lock guarding this client's references (not recursive).
    RWMutexLock& monitor() noexcept { return *_monitor; }
    // Leaves every model, from the highest model address down, each once whatever its count:
    // removes this client from the model's dependents and drops the reference.
    void deregisterAll();
    // deregisterAll(), then waits until no callback to this client runs on another thread.
    // Call it first in the destructor of a derived class whose updateFrom uses its members;
    // never while holding a lock that such a callback may wait for.
    void finishCallbacks();
    // The number of models this client holds a reference for.
    int modelCount();
    // The model of the reference at `i`, in model-address order. Throws RWBoundsErr when `i` is
    // not below modelCount().
    QelModel* model(int i);
    // 1 when this client holds a reference for `m`, else 0.
    int isRegistered(QelModel* m);

  private:
    friend class QelModel;

    // Callbacks to this client, running on any thread, during which it left a model (and so
    // lost the protection of that model's list); finishCallbacks waits for them.
    std::atomic<int> _callbacks{0};

    // addModel and removeModel with the monitor already held by the caller.
    unsigned countUp(QelModel* m);
    unsigned countDown(QelModel* m);
    // Index of the first reference whose model is not below `m`; caller holds the monitor.
    std::size_t lowerBound(const QelModel* m);
    // The reference at `i`; caller holds the monitor.
    QelModelReference* referenceAt(std::size_t i);
    // Removes the reference at `i` from the vector and deletes it; caller holds the monitor.
    void dropReference(std::size_t i);

    // QelModelReference objects (as RWCollectable*) ordered by model address; owned.
    RWSortedVector _references;
    std::unique_ptr<RWMutexLock> _monitor;
};

#endif  // QELKIT_COLLECTIONS_QEL_MODEL_CLIENT_H
