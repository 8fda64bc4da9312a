// SPDX-License-Identifier: Apache-2.0
// What the process keeps after a large string collection is gone: the collection's item
// storage goes back to the allocator except for a reserve of at most 16 MiB for the whole
// process, however many threads made such collections.
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstddef>
#include <functional>
#include <future>
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
    std::promise<void> release, split[2];
    const std::shared_future<void> released = release.get_future().share();
    // One split after the other, each thread then idle, so the measure sees no live items.
    const auto splitAndWait = [&](std::promise<void>& done) {
        {
            QelStringCollection fields;
            EXPECT_EQ(fields.split(input, QelStringCollection::noStrip, ','), 600001);
        }
        done.set_value();
        released.wait();
    };
    std::thread first(splitAndWait, std::ref(split[0]));
    split[0].get_future().wait();
    std::thread second(splitAndWait, std::ref(split[1]));
    split[1].get_future().wait();
    const std::size_t kept = heapInUse() - before;
    release.set_value();
    first.join();
    second.join();
    EXPECT_LE(kept, std::size_t{16} << 20);
}

}  // namespace
