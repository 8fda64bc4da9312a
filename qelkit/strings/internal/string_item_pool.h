// SPDX-License-Identifier: Apache-2.0
// StringItemPool: raw storage for the RWCollectableString items of a QelStringCollection, so
// that splitting a long text costs one allocation per slab of items rather than one per field.
// Internal: not installed, not part of the interface.
//
// Slabs double in size from 16 slots up to kLargestSlab. A freed slot goes on a free list and is
// handed out again first; reset() makes every slot free while keeping the slabs. Slabs of the
// largest size are passed on through a process-wide cache (at most 16 MiB) when a pool is
// destroyed, so the next large collection reuses their pages instead of faulting in fresh ones.
// The pool never constructs or destroys items: its owner does.
#ifndef QELKIT_STRINGS_INTERNAL_STRING_ITEM_POOL_H
#define QELKIT_STRINGS_INTERNAL_STRING_ITEM_POOL_H

#include <cstddef>
#include <vector>

#include "qelkit/foundation/rw_collectable_string.h"

namespace qelkit_internal {

class StringItemPool {
  public:
    StringItemPool() = default;
    StringItemPool(const StringItemPool&) = delete;
    StringItemPool& operator=(const StringItemPool&) = delete;
    // Frees the slabs, or hands the largest ones to the shared cache. No item may be left.
    ~StringItemPool();

    // Uninitialised storage for one RWCollectableString. Throws std::bad_alloc.
    void* allocate() {
        if (free_ != nullptr) {
            Slot* slot = free_;
            free_ = slot->next;
            return slot;
        }
        if (current_ == slabs_.size() || used_ == slabs_[current_].size) nextSlab();
        return &slabs_[current_].slots[used_++];
    }
    // Takes back a slot whose item has been destroyed.
    void release(void* p) noexcept {
        Slot* slot = static_cast<Slot*>(p);
        slot->next = free_;
        free_ = slot;
    }
    // Every slot free again, slabs kept; call only when no item is left.
    void reset() noexcept {
        free_ = nullptr;
        current_ = 0;
        used_ = 0;
    }

    union Slot {
        Slot* next;
        alignas(RWCollectableString) unsigned char bytes[sizeof(RWCollectableString)];
    };
    static constexpr std::size_t kLargestSlab = 8192;  // slots

  private:
    struct Slab {
        Slot* slots;  // owned by the pool; freed or cached by its destructor
        std::size_t size;
    };

    // Moves to the next kept slab, or adds a new one.
    void nextSlab();

    std::vector<Slab> slabs_;
    std::size_t current_ = 0;  // index of the slab being filled
    std::size_t used_ = 0;     // slots of that slab handed out
    Slot* free_ = nullptr;
};

}  // namespace qelkit_internal

#endif  // QELKIT_STRINGS_INTERNAL_STRING_ITEM_POOL_H
