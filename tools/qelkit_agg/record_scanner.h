// SPDX-License-Identifier: Apache-2.0
// RecordScanner: where the records of delimited text end, found without reading their fields.
// It follows CsvReader's quoting (a field that starts with '"' runs to the next lone '"'), so it
// finds the record boundaries CsvReader reads, and it resumes where it stopped: bytes that
// arrive piece by piece are each looked at once, however long a record grows. The stream
// reader cuts chunks with it and holds no record longer than the row limit.
#ifndef QELKIT_TOOLS_QELKIT_AGG_RECORD_SCANNER_H
#define QELKIT_TOOLS_QELKIT_AGG_RECORD_SCANNER_H

#include <cstddef>

#include "tools/qelkit_agg/csv_reader.h"

// The longest row qelkit-agg reads: a longer one is a bad row, reported and skipped.
constexpr std::size_t MAX_ROW_BYTES = std::size_t{64} << 20;

class RecordScanner {
  public:
    static constexpr std::size_t NONE = static_cast<std::size_t>(-1);

    explicit RecordScanner(const CsvDialect& dialect) noexcept
        : _delimiter(dialect.delimiter), _quotes(dialect.quotes) {}

    // The first record start at offset `target` (at least 1) or later in data[0, size), where
    // data[0] is a record start; NONE when the bytes end first. The next call passes the same
    // bytes (less those dropped), maybe more, and a target no smaller: the scan resumes.
    std::size_t next(const char* data, std::size_t size, std::size_t target) noexcept;
    // Where the record that holds the last byte scanned starts; after NONE, the open record.
    std::size_t recordStart() const noexcept { return _recordStart; }
    // The first `n` bytes (no more than were scanned) are gone: offsets move back by `n`; an
    // open record that started among them now starts at 0.
    void drop(std::size_t n) noexcept;

  private:
    enum class State { FieldStart, Unquoted, Quoted, QuoteSeen };

    // The first line feed at `from` or after, NONE when there is none before `size`. Remembers
    // how far the bytes are known to hold none, so that no byte is searched twice.
    std::size_t lineFeedFrom(const char* data, std::size_t size, std::size_t from) noexcept;
    // Moves over bytes [from, to), which hold no quote.
    void passPlain(const char* data, std::size_t from, std::size_t to) noexcept;

    char _delimiter;
    bool _quotes;
    State _state = State::FieldStart;
    std::size_t _pos = 0;  // the next byte to scan
    std::size_t _recordStart = 0;
    // Bytes [_clearFrom, _clearTo) hold no line feed; with _clearToLineFeed, _clearTo is one.
    std::size_t _clearFrom = 0;
    std::size_t _clearTo = 0;
    bool _clearToLineFeed = false;
};

// The line feeds in data[0, size).
std::size_t countLineFeeds(const char* data, std::size_t size) noexcept;

#endif  // QELKIT_TOOLS_QELKIT_AGG_RECORD_SCANNER_H
