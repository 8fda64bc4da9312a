// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/stream_source.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t READ_BLOCK = std::size_t{1} << 18;

}  // namespace

StreamSource::StreamSource(int fd, const std::string& name, const QelRecordReader::Dialect& dialect,
                           std::size_t chunk)
    : _input(fd, name),
      _scanner(dialect),
      _chunk(chunk),
      _baseCapacity(chunk + 2 * READ_BLOCK),
      _capacity(_baseCapacity),
      _bytes(new char[_capacity]) {}

std::size_t StreamSource::read(std::size_t max) {
    if (_ended) return 0;
    if (_start + _size + max > _capacity) {
        if (_size + max <= _capacity) {
            std::memmove(_bytes.get(), data(), _size);
        } else {
            _capacity = std::max(_capacity * 2, _size + max);
            std::unique_ptr<char[]> bigger(new char[_capacity]);
            std::memcpy(bigger.get(), data(), _size);
            _bytes.swap(bigger);
        }
        _start = 0;
    }
    const std::size_t n = _input.read(_bytes.get() + _start + _size, max);
    _size += n;
    _ended = n == 0;
    return n;
}

void StreamSource::fillTo(std::size_t n) {
    while (_size < n && read(std::min(READ_BLOCK, n - _size)) != 0) {
    }
}

void StreamSource::drop(std::size_t n) noexcept {
    _start += n;
    _size -= n;
    _offset += n;
    _scanner.drop(n);
    if (_size == 0) _start = 0;
}

std::size_t StreamSource::boundary(std::size_t target) {
    while (!_longRow) {
        const std::size_t cut = _scanner.next(data(), _size, target);
        if (cut != QelRecordScanner::npos) return cut;
        // No read takes the open record past the limit unnoticed: a record that ends in the
        // bytes read holds at most MAX_ROW_BYTES.
        const std::size_t held = _size - _scanner.recordStart();
        if (held > MAX_ROW_BYTES || (held == MAX_ROW_BYTES && read(1) != 0)) {
            _longRow = true;
            break;
        }
        if (_ended) return _size;
        read(std::min(READ_BLOCK, MAX_ROW_BYTES - held));
    }
    return QelRecordScanner::npos;
}

std::size_t StreamSource::firstRecord() { return boundary(1); }

StreamSource::Piece StreamSource::take(std::size_t n) {
    // The chunk keeps the buffer; the bytes after it move to a new one of the usual size, so
    // that a long row grows the buffer only while it is held.
    Piece piece;
    piece.kind = Piece::Chunk;
    piece.offset = _offset;
    piece.size = n;
    piece.data = data();
    const std::size_t rest = _size - n;
    _capacity = std::max(_baseCapacity, rest + READ_BLOCK);
    std::unique_ptr<char[]> fresh(new char[_capacity]);
    std::memcpy(fresh.get(), data() + n, rest);
    piece.buffer = std::move(_bytes);
    _bytes = std::move(fresh);
    _start = 0;
    _size = rest;
    _offset += n;
    _scanner.drop(n);
    return piece;
}

StreamSource::Piece StreamSource::skipLongRow() {
    Piece piece;
    piece.kind = Piece::LongRow;
    piece.offset = _offset;
    while (true) {
        std::size_t end = _scanner.next(data(), _size, 1);
        if (end == QelRecordScanner::npos && _ended) end = _size;
        if (end != QelRecordScanner::npos) {
            piece.lineBreaks += QelRecordScanner::countLineFeeds(data(), end);
            drop(end);
            break;
        }
        piece.lineBreaks += QelRecordScanner::countLineFeeds(data(), _size);
        drop(_size);
        read(READ_BLOCK);
    }
    _longRow = false;
    return piece;
}

StreamSource::Piece StreamSource::next() {
    if (_longRow) return skipLongRow();
    const std::size_t nominal = (_offset / _chunk + 1) * _chunk - _offset;
    const std::size_t cut = boundary(nominal);
    if (cut == QelRecordScanner::npos) {
        // The records before the long one go first.
        const std::size_t open = _scanner.recordStart();
        return open > 0 ? take(open) : skipLongRow();
    }
    return cut == 0 ? Piece{} : take(cut);
}
