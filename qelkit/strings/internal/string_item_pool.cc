// SPDX-License-Identifier: Apache-2.0
#include "qelkit/strings/internal/string_item_pool.h"

#include <algorithm>
#include <mutex>
#include <new>

namespace qelkit_internal {

namespace {

using Slot = StringItemPool::Slot;

// Slabs of the largest size kept for reuse by the next large collection of any thread: at most
// 16 MiB in the whole process (42 slabs of 8192 slots with 48-byte items), so idle threads hold
// nothing and a busy process little. The cache is never destroyed, so pools destroyed during
// static destruction can still give their slabs back; slabs left in it at exit are reachable.
constexpr std::size_t kCachedBytes = std::size_t{16} << 20;
constexpr std::size_t kCachedSlabs =
    kCachedBytes / (StringItemPool::kLargestSlab * sizeof(StringItemPool::Slot));
static_assert(kCachedSlabs >= 1, "the cache holds at least one slab");

struct SlabCache {
    std::mutex lock;
    Slot* slabs[kCachedSlabs];
    std::size_t count = 0;
};

SlabCache& cache() {
    static SlabCache& shared = *new SlabCache;
    return shared;
}

Slot* takeCachedSlab() {
    SlabCache& c = cache();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.count > 0 ? c.slabs[--c.count] : nullptr;
}

}  // namespace

StringItemPool::~StringItemPool() {
    // The largest slabs go to the cache while it has room, under one lock; the rest are freed.
    SlabCache& c = cache();
    std::lock_guard<std::mutex> guard(c.lock);
    for (const Slab& slab : slabs_) {
        if (slab.size == kLargestSlab && c.count < kCachedSlabs)
            c.slabs[c.count++] = slab.slots;
        else
            ::operator delete(slab.slots);
    }
}
void StringItemPool::nextSlab() {
    if (current_ + 1 < slabs_.size()) {
        ++current_;  // a slab kept by reset()
        used_ = 0;
        return;
    }
    const std::size_t size = slabs_.empty() ? 16 : std::min(slabs_.back().size * 2, kLargestSlab);
    // Room in the list first, so the slab cannot be lost once it is allocated.
    if (slabs_.size() == slabs_.capacity())
        slabs_.reserve(std::max<std::size_t>(8, 2 * slabs_.size()));
    Slot* slots = size == kLargestSlab ? takeCachedSlab() : nullptr;
    if (slots == nullptr) slots = static_cast<Slot*>(::operator new(size * sizeof(Slot)));
    slabs_.push_back(Slab{slots, size});
    current_ = slabs_.size() - 1;
    used_ = 0;
}

}  // namespace qelkit_internal
