// SPDX-License-Identifier: Apache-2.0
// StreamSource: a stream (standard input, a pipe, a FIFO, gzip data) cut into chunks at record
// boundaries, in bounded memory. It reads a block at a time and finds record ends with a
// QelRecordScanner, which resumes where it stopped, so every byte is scanned once. It holds the
// bytes of at most one chunk and one row: a row longer than MAX_ROW_BYTES is read past, its
// line feeds counted, and handed on as a LongRow piece instead of its bytes.
#ifndef QELKIT_TOOLS_QELKIT_AGG_STREAM_SOURCE_H
#define QELKIT_TOOLS_QELKIT_AGG_STREAM_SOURCE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "qelkit/records/qel_record_scanner.h"
#include "tools/qelkit_agg/input.h"

// The longest row qelkit-agg reads: a longer one is a bad row, reported and skipped.
constexpr std::size_t MAX_ROW_BYTES = QelRecordReader::kMaxRecordBytes;

class StreamSource {
  public:
    struct Piece {
        enum Kind { Chunk, LongRow, End } kind = End;
        std::unique_ptr<char[]> buffer;  // holds `data`, for a chunk
        const char* data = nullptr;
        std::size_t offset = 0;        // of the first byte in the input
        std::size_t size = 0;          // bytes of a chunk
        std::uint64_t lineBreaks = 0;  // line feeds of a long row
    };

    // Reads `fd` (named `name` in messages) in chunks of about `chunk` bytes. Throws AggError.
    StreamSource(int fd, const std::string& name, const QelRecordReader::Dialect& dialect,
                 std::size_t chunk);
    StreamSource(const StreamSource&) = delete;
    StreamSource& operator=(const StreamSource&) = delete;

    // The bytes held, from a record start on (after the bytes dropped).
    const char* data() const noexcept { return _bytes.get() + _start; }
    std::size_t size() const noexcept { return _size; }
    // Reads until `n` bytes are held or the input ends.
    void fillTo(std::size_t n);
    // Forgets the first `n` bytes held (a byte order mark, a blank line, the header row).
    void drop(std::size_t n) noexcept;
    // The length of the record the bytes held start with, reading more as needed; 0 at the end
    // of the input, QelRecordScanner::npos when it is longer than MAX_ROW_BYTES.
    std::size_t firstRecord();
    // The records from here to the first record start at or after the next multiple of the
    // chunk size, or the next long row, or the end.
    Piece next();

    bool ended() const noexcept { return _ended; }
    bool gzip() const noexcept { return _input.gzip(); }
    // Bytes taken from the descriptor so far.
    std::uint64_t consumed() const noexcept { return _input.consumed(); }

  private:
    // The first record start at `target` or after, reading as needed; the end of the input
    // when it comes first; NONE when the record open there grew longer than the limit.
    std::size_t boundary(std::size_t target);
    // Reads up to `max` bytes; returns how many (0 at the end).
    std::size_t read(std::size_t max);
    Piece take(std::size_t n);
    Piece skipLongRow();

    StreamInput _input;
    QelRecordScanner _scanner;
    std::size_t _chunk;
    std::size_t _baseCapacity;
    std::size_t _capacity;
    std::unique_ptr<char[]> _bytes;
    std::size_t _start = 0;  // of the bytes held in _bytes
    std::size_t _size = 0;
    std::size_t _offset = 0;  // of data()[0] in the input
    bool _ended = false;
    bool _longRow = false;  // the record at data() is longer than the limit
};

#endif  // QELKIT_TOOLS_QELKIT_AGG_STREAM_SOURCE_H
