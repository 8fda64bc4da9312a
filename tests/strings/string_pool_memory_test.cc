// SPDX-License-Identifier: Apache-2.0
// What a thread keeps after a large string collection is gone: the collection's item storage
// goes back to the allocator except for a per-thread reserve of at most 1 MiB.
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstddef>
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

TEST(StringPoolMemory, ThreadKeepsAtMostOneMebibyteAfterALargeSplit) {
    // 600,000 one-byte fields: some 28 MiB of items in slabs of the largest size.
    std::string text;
    for (int i = 0; i < 600000; ++i) text += "x,";
    const QelString input(text.c_str());
    std::size_t kept = 0;
    std::thread worker([&] {
        const std::size_t before = heapInUse();
        {
            QelStringCollection fields;
            ASSERT_EQ(fields.split(input, QelStringCollection::noStrip, ','), 600001);
        }
        kept = heapInUse() - before;
    });
    worker.join();
    EXPECT_LE(kept, std::size_t{1} << 20);
}

}  // namespace
