// SPDX-License-Identifier: Apache-2.0
#include "qelkit/strings/data_buffer.h"

#include <algorithm>
#include <cstring>

#include "qelkit/foundation/rw_collection.h"

DataBuffer::DataBufferItem::~DataBufferItem() = default;

DataBuffer::DataBuffer(unsigned itemSize)
    : _itemSize(itemSize), _items(RWCollection::DEFAULT_CAPACITY), _used(0), _current(nullptr) {
    newItem();
}

DataBuffer::~DataBuffer() {
    const std::size_t n = _items.entries();
    for (std::size_t i = 0; i < n; ++i) delete static_cast<DataBufferItem*>(_items(i));
}

DataBuffer::DataBufferItem* DataBuffer::newItem() {
    std::unique_ptr<DataBufferItem> owned(new DataBufferItem(_itemSize));
    // Doubling the slot array keeps a long chain linear; the list's own step is 64 slots.
    if (_items.entries() == _items.capacity()) _items.reshape(_items.capacity() * 2 + 1);
    _items.insert(owned.get());
    _current = owned.release();  // the chain holds it now; clear or the destructor deletes it
    _used = 0;
    return _current;
}

// Fills the room left in the last block, then one new block at a time while bytes remain.
// fill(dest, n) writes the next n bytes.
template <class Fill>
void DataBuffer::appendBlocks(unsigned length, Fill fill) {
    if (_itemSize == 0) return;  // no block can take a byte
    for (;;) {
        const unsigned room = _itemSize - _used;
        const unsigned n = std::min(length, room);
        fill(_current->data() + _used, n);
        _used += n;
        length -= n;
        if (length == 0) return;
        newItem();
    }
}

void DataBuffer::append(const char* data, unsigned length) {
    if (length == 0) return;
    if (length <= _itemSize - _used) {
        // The common case: the bytes fit in the block being filled.
        std::memcpy(_current->data() + _used, data, length);
        _used += length;
        return;
    }
    appendBlocks(length, [&data](char* dest, unsigned n) {
        std::memcpy(dest, data, n);
        data += n;
    });
}

void DataBuffer::append(const char c, int count) {
    if (count < 1) return;
    appendBlocks(static_cast<unsigned>(count),
                 [c](char* dest, unsigned n) { std::memset(dest, c, n); });
}

void DataBuffer::clear() {
    while (_items.entries() > 1) delete static_cast<DataBufferItem*>(_items.removeLast());
    _current = static_cast<DataBufferItem*>(_items(0));
    _used = 0;
}

RWCString DataBuffer::toString() const {
    const std::size_t blocks = _items.entries();
    const std::size_t total = (blocks - 1) * std::size_t{_itemSize} + _used;
    RWCString out{RWSize_T(total)};
    for (std::size_t i = 0; i + 1 < blocks; ++i) {
        out.append(static_cast<const DataBufferItem*>(_items.at(i))->data(), _itemSize);
    }
    out.append(_current->data(), _used);
    return out;
}
