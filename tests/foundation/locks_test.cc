#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
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

// The why() text of the RWTHRIllegalUsage that `call` throws, or "" if it throws none.
template <class Call>
std::string illegalUsage(Call call) {
    try {
        call();
    } catch (const RWTHRIllegalUsage& e) {
        return e.why();
    }
    return "";
}

TEST(MutexLock, GuardsHoldTheLockForTheirScopeOnEveryPath) {
    RWMutexLock lock;
    {
        RWMutexLock::LockGuard guard(lock);
        EXPECT_FALSE(freeForOtherThread(lock));
        {
            RWMutexLock::UnlockGuard unlocked(lock);
            EXPECT_TRUE(freeForOtherThread(lock));
        }
        EXPECT_FALSE(freeForOtherThread(lock));
    }
    EXPECT_TRUE(freeForOtherThread(lock));
    EXPECT_THROW(
        {
            RWMutexLock::LockGuard guard(lock);
            throw std::runtime_error("leaves the scope");
        },
        std::runtime_error);
    EXPECT_TRUE(freeForOtherThread(lock));
}

TEST(MutexLock, TryLockGuardReportsWhetherItGotTheLock) {
    RWMutexLock lock;
    {
        RWMutexLock::TryLockGuard first(lock);
        EXPECT_TRUE(first.isAcquired());
        std::thread([&] { EXPECT_FALSE(RWMutexLock::TryLockGuard(lock).isAcquired()); }).join();
    }
    EXPECT_TRUE(freeForOtherThread(lock));
}

TEST(MutexLock, IsNotRecursiveAndOnlyTheHolderReleases) {
    RWMutexLock lock;
    EXPECT_NE("", illegalUsage([&] { lock.release(); }));
    lock.acquire();
    EXPECT_FALSE(lock.tryAcquire());
    EXPECT_NE("", illegalUsage([&] { lock.acquire(); }));
    std::thread([&] { EXPECT_NE("", illegalUsage([&] { lock.release(); })); }).join();
    lock.release();
    EXPECT_TRUE(freeForOtherThread(lock));
}

TEST(Monitor, EachObjectHasItsOwnLockAndCopiesStartUnlocked) {
    RWTMonitor<RWMutexLock> original;
    RWTMonitor<RWMutexLock>::LockGuard guard(original);
    RWTMonitor<RWMutexLock> copy(original);
    EXPECT_FALSE(freeForOtherThread(original));
    EXPECT_TRUE(freeForOtherThread(copy));
    copy = original;  // keeps the copy's own, unlocked mutex
    EXPECT_TRUE(freeForOtherThread(copy));
    // A const object locks through monitor(), which is the object itself.
    const RWTMonitor<RWMutexLock>& constCopy = copy;
    EXPECT_EQ(&copy, &constCopy.monitor());
    {
        RWTMonitor<RWMutexLock>::LockGuard constGuard(constCopy.monitor());
        EXPECT_FALSE(freeForOtherThread(copy.mutex()));
    }
    EXPECT_TRUE(freeForOtherThread(copy.mutex()));
}

TEST(RecursiveLock, OwnerNestsAndOthersWaitForTheLastRelease) {
    RecursiveLock lock;
    EXPECT_FALSE(lock.isAcquired());
    lock.acquire();
    lock.acquire();
    EXPECT_TRUE(lock.tryAcquire());
    EXPECT_TRUE(lock.isAcquired());

    std::atomic<bool> entered{false};
    std::thread waiter([&] {
        RecursiveLock::LockGuard guard(lock);
        entered = true;
        EXPECT_TRUE(lock.isAcquired());
    });
    for (int release = 0; release < 2; ++release) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(entered);
        EXPECT_FALSE(freeForOtherThread(lock));
        lock.release();
        EXPECT_TRUE(lock.isAcquired());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(entered);
    lock.release();  // the last one: the waiter gets the lock
    EXPECT_FALSE(lock.isAcquired());
    waiter.join();
    EXPECT_TRUE(entered);
    EXPECT_TRUE(freeForOtherThread(lock));
}

TEST(RecursiveLock, ReleaseByNonOwnerThrowsNotOwner) {
    const std::string notOwner = "RWTRecursiveLock::release - Not owner";
    RecursiveLock lock;
    EXPECT_EQ(notOwner, illegalUsage([&] { lock.release(); }));  // nobody owns it
    RecursiveLock::LockGuard guard(lock);
    std::string fromOther;
    std::thread([&] { fromOther = illegalUsage([&] { lock.release(); }); }).join();
    EXPECT_EQ(notOwner, fromOther);
    EXPECT_TRUE(lock.isAcquired());  // the failed release changed nothing
    EXPECT_FALSE(freeForOtherThread(lock));
}

}  // namespace
