// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/rw_mutex_lock.h"

#include "qelkit/foundation/rw_thr_exceptions.h"

namespace {

// Each live thread has its own instance, so its address names the thread. It is trivially
// destructible, so the main thread's mark stays valid through static destruction.
thread_local char threadMark;

const void* self() noexcept { return &threadMark; }

}  // namespace

void RWMutexLock::acquire() {
    // Only this thread ever stores its own mark, so reading it here cannot be stale.
    if (owner_.load(std::memory_order_relaxed) == self()) {
        throw RWTHRIllegalUsage(RWCString("RWMutexLock::acquire - Already owner"));
    }
    mutex_.lock();
    owner_.store(self(), std::memory_order_relaxed);
}

void RWMutexLock::release() {
    if (owner_.load(std::memory_order_relaxed) != self()) {
        throw RWTHRIllegalUsage(RWCString("RWMutexLock::release - Not owner"));
    }
    owner_.store(nullptr, std::memory_order_relaxed);
    mutex_.unlock();
}

bool RWMutexLock::tryAcquire() {
    if (owner_.load(std::memory_order_relaxed) == self() || !mutex_.try_lock()) return false;
    owner_.store(self(), std::memory_order_relaxed);
    return true;
}
