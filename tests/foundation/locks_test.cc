// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "qelkit/foundation/rw_monitor.h"
#include "qelkit/foundation/rw_mutex_lock.h"
#include "qelkit/foundation/rw_recursive_lock.h"
#include "qelkit/foundation/rw_thr_exceptions.h"

namespace {

typedef RWTRecursiveLock<RWMutexLock> RecursiveLock;

// Whether another thread can take `lock` right now (it gives it back at once).
template <class Lock>
bool freeForOtherThread(Lock& lock) {
    bool got = false;
    std::thread([&] {
        got = lock.tryAcquire();
        if (got) lock.release();
    }).join();
    return got;
}

// The why() text of the RWTHRIllegalUsage that `lock.release()` throws, or "" if it throws none.
std::string releaseError(RecursiveLock& lock) {
    try {
        lock.release();
    } catch (const RWTHRIllegalUsage& e) {
        return e.why();
    }
    return "";
}

TEST(MutexLock, GuardsPairAcquireAndReleaseOnEveryPathAndTheLockIsNotRecursive) {
    RWMutexLock lock;
    EXPECT_THROW(lock.release(), RWTHRIllegalUsage);  // nobody holds it
    try {
        RWMutexLock::LockGuard guard(lock);
        RWMutexLock::TryLockGuard again(lock);  // fails, so its end must not release
        EXPECT_FALSE(again.isAcquired());
        EXPECT_THROW(lock.acquire(), RWTHRIllegalUsage);
        std::thread([&] { EXPECT_THROW(lock.release(), RWTHRIllegalUsage); }).join();
        {
            RWMutexLock::UnlockGuard unlocked(lock);
            RWMutexLock::TryLockGuard taken(lock);
            EXPECT_TRUE(taken.isAcquired());
        }
        EXPECT_FALSE(freeForOtherThread(lock));
        throw 1;  // the guard must release on the way out
    } catch (int) {
    }
    EXPECT_TRUE(freeForOtherThread(lock));
}

TEST(Monitor, CopiesAndAssignedObjectsKeepTheirOwnUnlockedMutex) {
    RWTMonitor<RWMutexLock> original;
    RWTMonitor<RWMutexLock>::LockGuard guard(original);
    RWTMonitor<RWMutexLock> copy(original);
    EXPECT_TRUE(freeForOtherThread(copy));
    copy = original;
    EXPECT_TRUE(freeForOtherThread(copy));
    EXPECT_FALSE(freeForOtherThread(original));
    {
        RWTMonitor<RWMutexLock>::UnlockGuard unlocked(original);
        EXPECT_TRUE(freeForOtherThread(original));
    }
    EXPECT_FALSE(freeForOtherThread(original));
}

// Only the owner releases (a failed release changes nothing: three releases are still needed);
// the owner nests, and others wait for its last release.
TEST(RecursiveLock, OwnerNestsAndReleasesAndOthersWaitForTheLastRelease) {
    const std::string notOwner = "RWTRecursiveLock::release - Not owner";
    RecursiveLock lock;
    EXPECT_EQ(notOwner, releaseError(lock));  // nobody owns it
    lock.acquire();
    {
        RecursiveLock::TryLockGuard nested(lock);  // the owner nests
        EXPECT_TRUE(nested.isAcquired());
    }
    lock.acquire();
    EXPECT_TRUE(lock.tryAcquire());
    std::string fromOther;
    std::thread([&] { fromOther = releaseError(lock); }).join();
    EXPECT_EQ(notOwner, fromOther);
    std::atomic<bool> entered{false};
    std::thread waiter([&] {
        EXPECT_FALSE(lock.isAcquired());  // this thread does not own it
        RecursiveLock::LockGuard guard(lock);
        entered = true;
    });
    for (int held = 3; held > 0; --held) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(entered);
        EXPECT_FALSE(freeForOtherThread(lock));
        EXPECT_TRUE(lock.isAcquired());
        lock.release();
    }
    waiter.join();  // the last release let the waiter in
    EXPECT_TRUE(entered);
    EXPECT_TRUE(freeForOtherThread(lock));
}

}  // namespace
