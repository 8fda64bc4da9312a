#include "qelkit/collections/qel_model.h"

#include <cstddef>
#include <vector>

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

void QelModel::changed(QelModelChangeType type) {
    RWTRecursiveLock<RWMutexLock>::LockGuard guard(_lock);
    const std::size_t n = _dependents.entries();
    std::vector<RWCollectable*> snapshot;
    snapshot.reserve(n);
    for (std::size_t i = 0; i < n; ++i) snapshot.push_back(_dependents(i));
    const std::uint64_t version = _version;

    for (RWCollectable* item : snapshot) {
        // While the list is unchanged every snapshot entry is still listed. Otherwise the count
        // of entries decides, by address only, so a client destroyed by an earlier callback of
        // this notification is skipped without being touched.
        if (_version != version && occurrences(item) == 0) continue;
        static_cast<QelModelClient*>(item)->updateFrom(this, type);
    }
}
