// SPDX-License-Identifier: Apache-2.0
// DataBuffer: collects bytes in a chain of fixed-size blocks, so that a large text can be built
// by appending without ever moving what is already stored, and hands the result out as one
// string. clear() keeps the first block, so a reused buffer does not allocate again for its
// first block's worth of bytes. One thread at a time; not copyable.
#ifndef QELKIT_STRINGS_DATA_BUFFER_H
#define QELKIT_STRINGS_DATA_BUFFER_H

#include <memory>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_ordered.h"

class QELKIT_API DataBuffer {
  public:
    // One block of the chain: a heap array of the block size, freed with the block.
    class DataBufferItem : public RWCollectable {
      public:
        // Allocates `size` bytes, left uninitialised. Throws std::bad_alloc.
        explicit DataBufferItem(unsigned size) : _data(new char[size]) {}
        ~DataBufferItem() override;
        // The block's bytes, owned by the block.
        char* data() const noexcept { return _data.get(); }

      private:
        std::unique_ptr<char[]> _data;
    };

    // An empty buffer of blocks of `itemSize` bytes, holding its first, empty block. A block
    // size of 0 gives a buffer that cannot hold a byte: appends to it are dropped.
    explicit DataBuffer(unsigned itemSize);
    DataBuffer(const DataBuffer&) = delete;
    DataBuffer& operator=(const DataBuffer&) = delete;
    // Destroys all blocks.
    virtual ~DataBuffer();

    // Creates an empty block, appends it to the chain and makes it the one being filled
    // (owned by the buffer). Throws std::bad_alloc.
    DataBufferItem* newItem();

    // Appends `length` bytes from `data` (NULs included); new blocks are added only for bytes
    // that do not fit. On an allocation failure the bytes appended before it stay.
    void append(const char* data, unsigned length);
    // Appends `count` copies of c; nothing when count is below 1.
    void append(const char c, int count);
    // Empties the buffer, keeping the first block for reuse.
    void clear();

    // Number of bytes held.
    unsigned size() const {
        return static_cast<unsigned>(_items.entries() - 1) * _itemSize + _used;
    }
    // True when no byte is held.
    bool empty() const { return _used == 0 && _items.entries() <= 1; }
    // The content as one string, reserved at its final size before the copy.
    RWCString toString() const;

  private:
    // Writes `length` bytes through fill(dest, n) into the last block and as many new blocks
    // as they need.
    template <class Fill>
    void appendBlocks(unsigned length, Fill fill);

    unsigned _itemSize;        // bytes per block, fixed
    RWOrdered _items;          // DataBufferItem blocks in filling order, owned
    unsigned _used;            // bytes filled in the last block
    DataBufferItem* _current;  // the last block, the one being filled
};

#endif  // QELKIT_STRINGS_DATA_BUFFER_H
