// SPDX-License-Identifier: Apache-2.0
// QelRecordScanner: where the records of delimited text end, found without reading their
// fields. It follows QelRecordReader's quoting (a field that starts with '"' runs to the next
// lone '"'), so it finds the record boundaries the reader reads, and it resumes where it
// stopped: bytes that arrive piece by piece are each looked at once, however long a record
// grows. A stream reader cuts its input into pieces of whole records with it, and can tell a
// record longer than QelRecordReader::kMaxRecordBytes before holding all of it.
//
// The scanner only moves over bytes; it has no failure of its own (a quoted field left open
// makes the rest of the data one record). One scanner belongs to one thread at a time.
//
// Over a stream, with `buffer` holding bytes from a record start on and `held` of them:
//     QelRecordScanner scanner(dialect);
//     std::size_t cut = scanner.next(buffer, held, wanted);  // a record end at `wanted` or on
//     // npos: read more into the buffer and call again; else hand buffer[0, cut) to a
//     // QelRecordReader, move the rest to the front and call scanner.drop(cut).
#ifndef QELKIT_RECORDS_QEL_RECORD_SCANNER_H
#define QELKIT_RECORDS_QEL_RECORD_SCANNER_H

#include <cstddef>

#include "qelkit/export.h"
#include "qelkit/records/qel_record_reader.h"

class QELKIT_API QelRecordScanner {
  public:
    // No record start was found in the bytes given.
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // Follows the delimiter and quoting of `dialect` (runs of delimiters change no boundary).
    explicit QelRecordScanner(const QelRecordReader::Dialect& dialect) noexcept
        : _delimiter(dialect.delimiter), _quotes(dialect.quotes) {}

    // The first record start at offset `target` (at least 1) or later in data[0, size), where
    // data[0] is a record start; npos when the bytes end first. The next call passes the same
    // bytes (less those dropped), maybe more, and a target no smaller: the scan resumes.
    std::size_t next(const char* data, std::size_t size, std::size_t target) noexcept;
    // Where the record that holds the last byte scanned starts; after npos, the open record.
    std::size_t recordStart() const noexcept { return _recordStart; }
    // The first `n` bytes (no more than were scanned) are gone: offsets move back by `n`; an
    // open record that started among them now starts at 0.
    void drop(std::size_t n) noexcept;

    // The line feeds in data[0, size): the lines a run of records skipped unread spans.
    static std::size_t countLineFeeds(const char* data, std::size_t size) noexcept;

  private:
    enum class State { FieldStart, Unquoted, Quoted, QuoteSeen };

    // The first line feed at `from` or after, npos when there is none before `size`. Remembers
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

#endif  // QELKIT_RECORDS_QEL_RECORD_SCANNER_H
