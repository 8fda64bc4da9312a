// SPDX-License-Identifier: Apache-2.0
// RWTMonitor: gives an object a lock of its own. A class derives from it (or holds one) and
// guards its members with LockGuard; const members lock through monitor(), because the mutex is
// mutable. The lock belongs to the object, not to its value: copies get a fresh, unlocked mutex
// and assignment leaves both mutexes alone.
#ifndef QELKIT_FOUNDATION_RW_MONITOR_H
#define QELKIT_FOUNDATION_RW_MONITOR_H

#include "qelkit/foundation/rw_mutex_lock.h"

template <class Mutex>
class RWTMonitor {
  public:
    typedef RWTLockGuard<RWTMonitor<Mutex>> LockGuard;
    typedef RWTUnlockGuard<RWTMonitor<Mutex>> UnlockGuard;
    typedef RWTTryLockGuard<RWTMonitor<Mutex>> TryLockGuard;

    // An unlocked monitor; constant-initialised when Mutex is.
    RWTMonitor() = default;
    // A fresh, unlocked mutex: the source's lock state is not copied.
    RWTMonitor(const RWTMonitor&) noexcept(noexcept(Mutex())) : mutex_() {}
    // Keeps this object's own mutex; copies nothing.
    RWTMonitor& operator=(const RWTMonitor&) noexcept { return *this; }
    ~RWTMonitor() = default;

    // Locks the object's mutex (see Mutex::acquire for what a second acquire does).
    void acquire() { mutex_.acquire(); }
    // Unlocks the object's mutex.
    void release() { mutex_.release(); }
    // Locks the mutex if it is free; returns whether it did.
    bool tryAcquire() { return mutex_.tryAcquire(); }

    // This object, usable for locking from const members.
    RWTMonitor<Mutex>& monitor() const noexcept { return const_cast<RWTMonitor<Mutex>&>(*this); }
    // The underlying mutex.
    Mutex& mutex() noexcept { return mutex_; }

  private:
    mutable Mutex mutex_;
};

#endif  // QELKIT_FOUNDATION_RW_MONITOR_H
