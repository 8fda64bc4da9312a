// SPDX-License-Identifier: Apache-2.0
// RWTRecursiveLock: a lock its owning thread may acquire again; each acquire needs a matching
// release, and other threads get the lock only after the last one. Built on a non-recursive
// Mutex (RWMutexLock) that is held for the whole time one thread owns the lock.
#ifndef QELKIT_FOUNDATION_RW_RECURSIVE_LOCK_H
#define QELKIT_FOUNDATION_RW_RECURSIVE_LOCK_H

#include <atomic>
#include <thread>

#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_mutex_lock.h"
#include "qelkit/foundation/rw_thr_exceptions.h"

// Chose cancellation checks at acquire in the threads module; stored and ignored here.
typedef unsigned RWCancellationState;

template <class Mutex>
class RWTRecursiveLock {
  public:
    typedef RWTLockGuard<RWTRecursiveLock<Mutex>> LockGuard;
    typedef RWTUnlockGuard<RWTRecursiveLock<Mutex>> UnlockGuard;
    typedef RWTTryLockGuard<RWTRecursiveLock<Mutex>> TryLockGuard;

    // An unowned lock. `state` is kept for source compatibility and has no effect.
    explicit RWTRecursiveLock(RWCancellationState state = 0) noexcept : state_(state) {}
    ~RWTRecursiveLock() = default;
    RWTRecursiveLock(const RWTRecursiveLock&) = delete;
    RWTRecursiveLock& operator=(const RWTRecursiveLock&) = delete;

    // The owner's call only counts one more nesting level; any other thread waits for the
    // mutex and becomes the owner.
    void acquire() {
        const std::thread::id self = std::this_thread::get_id();
        if (owner_.load(std::memory_order_relaxed) == self) {
            ++count_;
            return;
        }
        mutex_.acquire();
        owner_.store(self, std::memory_order_relaxed);
        count_ = 0;
    }

    // As acquire, but returns false instead of waiting when another thread owns the lock.
    bool tryAcquire() {
        const std::thread::id self = std::this_thread::get_id();
        if (owner_.load(std::memory_order_relaxed) == self) {
            ++count_;
            return true;
        }
        if (!mutex_.tryAcquire()) return false;
        owner_.store(self, std::memory_order_relaxed);
        count_ = 0;
        return true;
    }

    // Undoes one acquire; the last one gives the lock up. Throws RWTHRIllegalUsage
    // ("RWTRecursiveLock::release - Not owner") when the calling thread is not the owner, also
    // when nobody owns the lock.
    void release() {
        if (owner_.load(std::memory_order_relaxed) != std::this_thread::get_id()) {
            throw RWTHRIllegalUsage(RWCString("RWTRecursiveLock::release - Not owner"));
        }
        if (count_ > 0) {
            --count_;
            return;
        }
        owner_.store(std::thread::id(), std::memory_order_relaxed);
        mutex_.release();
    }

    // True when the calling thread owns the lock.
    bool isAcquired() const noexcept {
        return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id();
    }

  private:
    [[maybe_unused]] RWCancellationState state_;
    Mutex mutex_;
    // Read by other threads without the mutex; only the owner stores its own id, so a thread
    // comparing the owner with itself always sees its own latest store.
    std::atomic<std::thread::id> owner_{std::thread::id()};
    // Nesting levels above the first; touched only by the owner.
    unsigned count_ = 0;
};

#endif  // QELKIT_FOUNDATION_RW_RECURSIVE_LOCK_H
