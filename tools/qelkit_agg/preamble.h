// SPDX-License-Identifier: Apache-2.0
// The part of qelkit-agg's input before the data: a byte order mark, blank lines and the first
// row (the column names with --header, else the row that settles the value columns).
// readPreamble reads it from a mapped file (MappedBytes) or a stream (StreamSource) alike,
// looking at the first row only up to the row limit, so that neither a huge first row nor
// megabytes of blank lines cost more than one pass over them.
#ifndef QELKIT_TOOLS_QELKIT_AGG_PREAMBLE_H
#define QELKIT_TOOLS_QELKIT_AGG_PREAMBLE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qelkit/records/qel_record_reader.h"
#include "qelkit/records/qel_record_scanner.h"

struct Preamble {
    const char* unreadable = nullptr;  // what the input is when it is no text qelkit-agg reads
    bool found = false;                // there is a row that is not blank
    bool tooLong = false;              // the first row is longer than the row limit
    std::size_t dataStart = 0;         // offset of the first byte of data
    std::uint64_t lineBreaks = 0;      // before dataStart
    std::uint64_t blankLines = 0;
    std::size_t fieldCount = 0;      // of the first row
    std::vector<std::string> names;  // its first fields, as many as were asked for
    std::uint64_t firstRowLine = 1;
    QelRecordReader::Problem problem = QelRecordReader::Problem::None;
};

// What to read of the first row.
struct PreambleRequest {
    static constexpr std::size_t ALL_NAMES = static_cast<std::size_t>(-1);
    bool firstRowRules = false;  // the first row matters: else only a byte order mark is read
    bool header = false;         // the first row is a header: it is not data
    std::size_t keep = 0;        // names to keep, or ALL_NAMES
};

// The bytes of a mapped file as readPreamble takes them from a StreamSource.
class MappedBytes {
  public:
    MappedBytes(const char* data, std::size_t size,
                const QelRecordReader::Dialect& dialect) noexcept
        : _data(data), _size(size), _scanner(dialect) {}
    const char* data() const noexcept { return _data; }
    std::size_t size() const noexcept { return _size; }
    void fillTo(std::size_t) const noexcept {}
    void drop(std::size_t n) noexcept;
    // The length of the first record; QelRecordScanner::npos when it is longer than the limit.
    std::size_t firstRecord() noexcept;

  private:
    const char* _data;
    std::size_t _size;
    QelRecordScanner _scanner;
};

// Skips a byte order mark, and when the first row rules the blank lines before it and, for a
// header, the row itself. `Bytes` is MappedBytes or StreamSource.
template <typename Bytes>
Preamble readPreamble(Bytes& bytes, const QelRecordReader::Dialect& dialect,
                      const PreambleRequest& request);

#endif  // QELKIT_TOOLS_QELKIT_AGG_PREAMBLE_H
