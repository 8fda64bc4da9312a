// SPDX-License-Identifier: Apache-2.0
// RWMutexLock: a plain, non-recursive mutual-exclusion lock with the classic acquire/release
// interface, plus the scope guards that pair those calls on every path (exceptions included).
// The lock is constant-initialised, so a lock with static storage can be used by any other
// file's static initialisation and until static destruction ends.
#ifndef QELKIT_FOUNDATION_RW_MUTEX_LOCK_H
#define QELKIT_FOUNDATION_RW_MUTEX_LOCK_H

#include <atomic>
#include <mutex>

#include "qelkit/export.h"

template <class Resource>
class RWTLockGuard;
template <class Resource>
class RWTUnlockGuard;
template <class Resource>
class RWTTryLockGuard;

class QELKIT_API RWMutexLock {
  public:
    typedef RWTLockGuard<RWMutexLock> LockGuard;
    typedef RWTUnlockGuard<RWMutexLock> UnlockGuard;
    typedef RWTTryLockGuard<RWMutexLock> TryLockGuard;

    // An unlocked lock; usable during static initialisation.
    constexpr RWMutexLock() noexcept = default;
    RWMutexLock(const RWMutexLock&) = delete;
    RWMutexLock& operator=(const RWMutexLock&) = delete;

    // Waits until the calling thread holds the lock. The lock is not recursive: a second
    // acquire by the holder throws RWTHRIllegalUsage instead of deadlocking.
    void acquire();
    // Gives the lock up. Throws RWTHRIllegalUsage when the calling thread does not hold it.
    void release();
    // Takes the lock if it is free and returns true; returns false at once otherwise, also when
    // the calling thread already holds it.
    bool tryAcquire();

  private:
    std::mutex mutex_;
    // Identifies the holding thread (see rw_mutex_lock.cc); null while the lock is free. Only
    // the holder writes its own mark, so a thread compares it against itself without a race.
    std::atomic<const void*> owner_{nullptr};
};

// Holds `resource` acquired for its own lifetime.
template <class Resource>
class RWTLockGuard {
  public:
    explicit RWTLockGuard(Resource& resource) : resource_(resource) { resource_.acquire(); }
    // release() throws only for a thread that does not hold the lock, which this guard does.
    // NOLINTNEXTLINE(bugprone-exception-escape)
    ~RWTLockGuard() { resource_.release(); }
    RWTLockGuard(const RWTLockGuard&) = delete;
    RWTLockGuard& operator=(const RWTLockGuard&) = delete;

  private:
    Resource& resource_;
};

// Releases a held `resource` for its own lifetime and acquires it again at the end.
template <class Resource>
class RWTUnlockGuard {
  public:
    explicit RWTUnlockGuard(Resource& resource) : resource_(resource) { resource_.release(); }
    ~RWTUnlockGuard() { resource_.acquire(); }
    RWTUnlockGuard(const RWTUnlockGuard&) = delete;
    RWTUnlockGuard& operator=(const RWTUnlockGuard&) = delete;

  private:
    Resource& resource_;
};

// Tries once to acquire `resource`; releases it at the end only if that succeeded.
template <class Resource>
class RWTTryLockGuard {
  public:
    explicit RWTTryLockGuard(Resource& resource)
        : resource_(resource), acquired_(resource.tryAcquire()) {}
    // As above: release() cannot throw for the thread that acquired the lock.
    // NOLINTNEXTLINE(bugprone-exception-escape)
    ~RWTTryLockGuard() {
        if (acquired_) resource_.release();
    }
    RWTTryLockGuard(const RWTTryLockGuard&) = delete;
    RWTTryLockGuard& operator=(const RWTTryLockGuard&) = delete;

    // True when the constructor obtained the resource.
    bool isAcquired() const noexcept { return acquired_; }

  private:
    Resource& resource_;
    bool acquired_;
};

#endif  // QELKIT_FOUNDATION_RW_MUTEX_LOCK_H
