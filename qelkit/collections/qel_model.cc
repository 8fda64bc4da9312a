// SPDX-License-Identifier: Apache-2.0
#include "qelkit/collections/qel_model.h"

#include <cstddef>
#include <deque>
#include <vector>

#include "qelkit/collections/internal/model_callbacks.h"
#include "qelkit/collections/qel_model_client.h"
#include "qelkit/foundation/rw_collection.h"

const char* QelMtypeNames[7] = {"PRE_CLEAR", "CLEARED",     "PRE_CHANGE", "LOADED",
                                "CHANGED",   "POST_CHANGE", "DESTROYING"};

QelModel::QelModel() : _dependents(RWCollection::DEFAULT_CAPACITY) {}

QelModel::~QelModel() = default;

const char** QelModel::typeNames() { return QelMtypeNames; }

unsigned QelModel::occurrences(const RWCollectable* item) const {
    const auto it = _entries.find(item);
    return it == _entries.end() ? 0 : it->second;
}

void QelModel::addDependent(QelModelClient* c) {
    RWTRecursiveLock<RWMutexLock>::LockGuard guard(_lock);
    RWCollectable* item = c;
    ++_entries[item];
    try {
        _dependents.append(item);
    } catch (...) {
        if (--_entries[item] == 0) _entries.erase(item);
        throw;
    }
    ++_version;
}

void QelModel::removeDependent(QelModelClient* c) {
    RWTRecursiveLock<RWMutexLock>::LockGuard guard(_lock);
    if (c == nullptr) return;
    // Compare addresses only: `c` may already be destroyed. Converting it to its base is done
    // without reading the object (RWCollectable is the client's only base).
    const RWCollectable* item = c;
    const auto it = _entries.find(item);
    if (it == _entries.end()) return;  // not listed: the scan below would find nothing
    const std::size_t n = _dependents.entries();
    for (std::size_t i = 0; i < n; ++i) {
        if (_dependents(i) == item) {
            _dependents.removeAt(i);
            if (--it->second == 0) _entries.erase(it);
            ++_version;
            return;
        }
    }
}

int QelModel::dependentCount() {
    RWTRecursiveLock<RWMutexLock>::LockGuard guard(_lock);
    return static_cast<int>(_dependents.entries());
}

QelModelClient* QelModel::dependent(int i) {
    RWTRecursiveLock<RWMutexLock>::LockGuard guard(_lock);
    return static_cast<QelModelClient*>(_dependents(static_cast<std::size_t>(i)));
}

namespace qelkit_internal {

// A callback running on this thread: its client, and whether that client has been pinned (its
// `_callbacks` raised) because it left a model during the callback.
struct Running {
    QelModelClient* client;
    bool pinned;
};

// The callbacks running on this thread, innermost last (one slot per notification in progress).
// A deque: adding a slot for a nested notification leaves the references to earlier slots valid.
// A thread destroys its thread-local objects in the reverse order of their construction, so a
// thread-local (or, on the thread that calls exit(), a static) object destroyed after
// `runningList` may still notify or destroy a client. From then on the thread keeps its slots in
// a list of its own on the heap, reached through a pointer that is trivially destructible and so
// readable to the end; the list is freed when its last slot goes. Each thread has its own: two
// threads may notify from late destructors at the same time.
thread_local bool runningListGone = false;  // trivially destructible: readable to the end
thread_local std::deque<Running>* lateList = nullptr;
struct RunningList {
    std::deque<Running> slots;
    ~RunningList() { runningListGone = true; }
};
// NOLINTNEXTLINE(cert-err58-cpp): only std::bad_alloc can escape, as from any first use.
thread_local RunningList runningList;

// The list for a new slot, made when the thread needs a late one.
std::deque<Running>& runningCallbacks() {
    if (!runningListGone) return runningList.slots;
    if (lateList == nullptr) lateList = new std::deque<Running>;
    return *lateList;
}

// The thread's slots, or null when it has none (none is made for a look).
std::deque<Running>* runningSlots() { return runningListGone ? lateList : &runningList.slots; }

// Drops the innermost slot; frees the late list once it is empty.
void dropSlot(std::deque<Running>& running) {
    running.pop_back();
    if (&running == lateList && running.empty()) {
        delete lateList;
        lateList = nullptr;
    }
}

void pinIfRunning(QelModelClient* client, std::atomic<int>& count) {
    std::deque<Running>* running = runningSlots();
    if (running == nullptr) return;
    for (Running& r : *running) {
        if (r.client == client && !r.pinned) {
            count.fetch_add(1, std::memory_order_relaxed);
            r.pinned = true;
        }
    }
}

int forgetOnThisThread(QelModelClient* client) {
    int own = 0;
    std::deque<Running>* running = runningSlots();
    if (running == nullptr) return 0;
    for (Running& r : *running) {
        if (r.client == client) {
            own += r.pinned;
            r = Running{nullptr, false};
        }
    }
    return own;
}

}  // namespace qelkit_internal

void QelModel::changed(QelModelChangeType type) {
    RWTRecursiveLock<RWMutexLock>::LockGuard guard(_lock);
    const std::size_t n = _dependents.entries();
    std::vector<RWCollectable*> snapshot;
    snapshot.reserve(n);
    for (std::size_t i = 0; i < n; ++i) snapshot.push_back(_dependents(i));
    const std::uint64_t version = _version;

    // This notification's slot in the thread's list of running callbacks names the client being
    // called, so that the client can pin itself if it leaves a model during its callback.
    std::deque<qelkit_internal::Running>& running = qelkit_internal::runningCallbacks();
    running.push_back({nullptr, false});
    // Takes back the pin of the callback in the slot (if any) and clears it, also when a
    // callback throws; on leaving, drops the slot.
    struct SlotGuard {
        std::deque<qelkit_internal::Running>& running;
        qelkit_internal::Running& r;
        void release() {
            if (r.pinned) r.client->_callbacks.fetch_sub(1, std::memory_order_release);
            r = {nullptr, false};
        }
        ~SlotGuard() {
            release();
            qelkit_internal::dropSlot(running);
        }
    } slotGuard{running, running.back()};

    for (RWCollectable* item : snapshot) {
        // While the list is unchanged every snapshot entry is still listed. Otherwise the count
        // of entries decides, by address only, so a client destroyed by an earlier callback of
        // this notification is skipped without being touched.
        if (_version != version && occurrences(item) == 0) continue;
        QelModelClient* client = static_cast<QelModelClient*>(item);
        slotGuard.r.client = client;
        client->updateFrom(this, type);
        slotGuard.release();
    }
}
