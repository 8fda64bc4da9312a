// SPDX-License-Identifier: Apache-2.0
// What the process keeps after a large string collection is gone: the collection's item
// storage goes back to the allocator except for a reserve of at most 16 MiB for the whole
// process, however many threads made such collections.
#include <gtest/gtest.h>

#include <malloc.h>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

#include "qelkit/strings/qel_string_collection.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QELKIT_TEST_SANITIZER_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QELKIT_TEST_SANITIZER_HEAP 1
#endif
#ifdef QELKIT_TEST_SANITIZER_HEAP
// The sanitizers' allocators keep their own count (g++ ships no header declaring it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// Bytes the process has allocated and not freed.
std::size_t heapInUse() {
#ifdef QELKIT_TEST_SANITIZER_HEAP
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

TEST(StringPoolMemory, ProcessKeepsAtMostSixteenMebibytesAfterLargeSplits) {
    // 600,000 one-byte fields: some 28 MiB of items in slabs of the largest size, made on each
    // of two threads that are still alive when the heap is measured.
    std::string text;
    for (int i = 0; i < 600000; ++i) text += "x,";
    const QelString input(text.c_str());
    const std::size_t before = heapInUse();
    std::mutex lock;
    std::condition_variable cv;
    int done = 0;
    bool release = false;
    const auto splitAndWait = [&] {
        {
            QelStringCollection fields;
            EXPECT_EQ(fields.split(input, QelStringCollection::noStrip, ','), 600001);
        }
        std::unique_lock<std::mutex> guard(lock);
        ++done;
        cv.notify_all();
        cv.wait(guard, [&] { return release; });
    };
    // One split after the other, each thread then idle, so the measure sees no live items.
    const auto waitFor = [&](int n) {
        std::unique_lock<std::mutex> guard(lock);
        cv.wait(guard, [&] { return done == n; });
    };
    std::thread first(splitAndWait);
    waitFor(1);
    std::thread second(splitAndWait);
    waitFor(2);
    const std::size_t kept = heapInUse() - before;
    {
        std::lock_guard<std::mutex> guard(lock);
        release = true;
    }
    cv.notify_all();
    first.join();
    second.join();
    EXPECT_LE(kept, std::size_t{16} << 20);
}

}  // namespace
