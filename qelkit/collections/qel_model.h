// SPDX-License-Identifier: Apache-2.0
// QelModel: the subject of a change-notification framework. A model keeps a list of dependent
// clients (QelModelClient) and, when changed() is called, calls each of them back with the kind
// of change. Clients normally join and leave through QelModelClient::registerWith and
// deregisterFrom, which keep a count per model so that the client is a dependent exactly once.
//
// Threads: every operation holds the model's recursive lock, and changed() holds it for the whole
// notification, callbacks included. On the notifying thread a callback may call any operation of
// the same model again (a nested changed() runs to its end inside the callback); other threads
// wait until the notification is over. Lock order on every path: model lock, then the client's
// monitor, then a reference's monitor.
#ifndef QELKIT_COLLECTIONS_QEL_MODEL_H
#define QELKIT_COLLECTIONS_QEL_MODEL_H

#include <cstdint>
#include <unordered_map>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_mutex_lock.h"
#include "qelkit/foundation/rw_ordered.h"
#include "qelkit/foundation/rw_recursive_lock.h"

class QelModelClient;

// The kind of change a notification reports. Only DESTROYING means something to the framework
// (the default client callback leaves the model); the others are passed through.
enum QelModelChangeType {
    PRE_CLEAR = 0,
    CLEARED = 1,
    PRE_CHANGE = 2,
    LOADED = 3,
    CHANGED = 4,
    POST_CHANGE = 5,
    DESTROYING = 6
};

// The names of the change types, indexed by QelModelChangeType: "PRE_CLEAR" ... "DESTROYING".
extern QELKIT_API const char* QelMtypeNames[7];

class QELKIT_API QelModel {
  public:
    // A model with no dependents.
    QelModel();
    // Frees the list and the lock only: sends no notification and tells no client. Clients still
    // registered keep their references to this model.
    virtual ~QelModel();
    QelModel(const QelModel&) = delete;
    QelModel& operator=(const QelModel&) = delete;

    // Calls updateFrom(this, type) on every client that is a dependent when the call starts and
    // still is when its turn comes, in list order; a client listed twice is called twice. Clients
    // added during the notification are not called by it. An exception from a callback ends the
    // notification and leaves this function with the lock released.
    virtual void changed(QelModelChangeType type);

    // Appends `c` to the dependents; no check for duplicates. Not owned.
    void addDependent(QelModelClient* c);
    // Removes the first entry equal to `c` (pointer comparison only; `c` is not dereferenced).
    // Nothing happens when `c` is null or not listed.
    void removeDependent(QelModelClient* c);
    // The number of entries in the dependents list.
    int dependentCount();
    // The entry at `i` (registration order); `i` must be in [0, dependentCount()), not checked.
    QelModelClient* dependent(int i);

    // QelMtypeNames.
    static const char** typeNames();

  private:
    friend class QelModelClient;

    // Number of list entries equal to `item`; caller holds _lock.
    unsigned occurrences(const RWCollectable* item) const;

    // Clients as RWCollectable*, in registration order; not owned.
    RWOrdered _dependents;
    // Entries per client, so a notification tests membership without scanning the list.
    std::unordered_map<const RWCollectable*, unsigned> _entries;
    // Counts every change of the list: a notification whose snapshot is still current skips the
    // membership test altogether.
    std::uint64_t _version = 0;
    RWTRecursiveLock<RWMutexLock> _lock;
};

#endif  // QELKIT_COLLECTIONS_QEL_MODEL_H
