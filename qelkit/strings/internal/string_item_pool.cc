// SPDX-License-Identifier: Apache-2.0
#include "qelkit/strings/internal/string_item_pool.h"

#include <algorithm>
#include <new>

namespace qelkit_internal {

namespace {

using Slot = StringItemPool::Slot;

// What a thread keeps between collections: at most 1 MiB of largest slabs (two of 8192 slots
// with 48-byte items), so an idle thread holds little; a larger collection fetches the rest
// from the allocator again.
constexpr std::size_t kCachedBytes = std::size_t{1} << 20;
constexpr std::size_t kCachedSlabs =
    kCachedBytes / (StringItemPool::kLargestSlab * sizeof(StringItemPool::Slot));
static_assert(kCachedSlabs >= 1, "the cache holds at least one slab");

// Trivially destructible, so both stay readable while the thread's other thread-local objects
// are destroyed; `closed` then sends every later slab straight back to the allocator.
struct SlabCache {
    Slot* slabs[kCachedSlabs];
    std::size_t count;
    bool closed;
};
thread_local SlabCache cache;

// Frees the cached slabs when the thread ends (for the main thread: before static objects are
// destroyed, so collections with static storage free their slabs directly).
struct CacheCloser {
    ~CacheCloser() {
        while (cache.count > 0) ::operator delete(cache.slabs[--cache.count]);
        cache.closed = true;
    }
};
thread_local CacheCloser closer;

Slot* takeCachedSlab() noexcept { return cache.count > 0 ? cache.slabs[--cache.count] : nullptr; }

void giveSlab(Slot* slab, std::size_t size) noexcept {
    if (size == StringItemPool::kLargestSlab && !cache.closed && cache.count < kCachedSlabs) {
        static_cast<void>(&closer);  // registers the closer for this thread
        cache.slabs[cache.count++] = slab;
        return;
    }
    ::operator delete(slab);
}

}  // namespace

StringItemPool::~StringItemPool() {
    for (const Slab& slab : slabs_) giveSlab(slab.slots, slab.size);
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
