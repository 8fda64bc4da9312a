// SPDX-License-Identifier: Apache-2.0
// QelRecordReader: a strict reader of delimited text (CSV and its kin) that splits it into
// records and fields, one record per call, in place, without copying the data.
//
// Dialect: any one-byte delimiter; RFC 4180 quoting, on by default and optional: a field that
// starts with '"' runs to the next lone '"', holding delimiters and line breaks, and "" inside
// it stands for one '"'; a '"' elsewhere is data. A record ends at a line feed outside quotes
// (a carriage return just before it is dropped, so CRLF and LF lines read alike) or at the end
// of the data. Empty fields are fields. With `collapse`, a run of delimiters separates like one
// and runs at either end of a record are ignored. A UTF-8 byte order mark is data to read():
// skip the byteOrderMark() bytes at the start of the input first.
//
// Failure: read() never fails. A record holding a NUL byte, text after a closing quote, or a
// quoted field still open at the end of the data is returned whole, marked with its problem, so
// the caller can report it and go on at the next record. Lines are physical: each record tells
// how many line feeds it consumed, those inside quoted fields included.
//
// Restarts and buffers: record boundaries depend only on the bytes from the start of the
// record, so a reader started at any record start finds the same records as one started
// earlier. Data that arrives in buffers is read with `final` false: a record that may go on
// in the next buffer is not returned, and is read again whole once more bytes are there (or
// cut with QelRecordScanner, which finds record ends without rereading).
//
// Limits: none in the reader; kMaxRecordBytes is the record length worth holding in memory
// for callers that cut input into pieces. Thread-safety: one reader belongs to one thread at a
// time; readers over the same read-only bytes may run in parallel.
//
// Over a mapped file (the mapping lives as long as the tokenizer):
//     NqMappedFileTokenizer file("data.csv", ',', 0);
//     const char* p = file.mappedData();
//     const char* const end = p + file.mappedSize();
//     p += QelRecordReader::byteOrderMark(p, file.mappedSize());
//     QelRecordReader reader(QelRecordReader::Dialect{}, 3);  // keeps fields 0..2
//     QelRecordReader::Record record;
//     while (p < end) {
//         p = reader.read(p, end, true, record);
//         if (record.problem == QelRecordReader::Problem::None && record.fieldCount >= 3)
//             use(reader.fields());
//     }
#ifndef QELKIT_RECORDS_QEL_RECORD_READER_H
#define QELKIT_RECORDS_QEL_RECORD_READER_H

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "qelkit/export.h"

class QELKIT_API QelRecordReader {
  public:
    // The longest record callers that cut input into pieces hold in memory (64 MiB); a longer
    // one is best reported as bad and skipped (QelRecordScanner finds where it ends).
    static constexpr std::size_t kMaxRecordBytes = std::size_t{64} << 20;

    struct Dialect {
        char delimiter = ',';
        bool collapse = false;  // a run of delimiters separates like one
        bool quotes = true;     // RFC 4180 quoted fields; off: '"' is data
    };

    // What is wrong with a record; the first problem found counts.
    enum class Problem {
        None,
        Nul,         // a NUL byte in the record
        StrayQuote,  // text between a closing quote and the next delimiter or line end
        OpenQuote    // a quoted field still open at the end of the data
    };

    struct Record {
        std::size_t fieldCount = 0;  // every field, kept or not
        std::size_t lineBreaks = 0;  // line feeds the record consumed, its own included
        bool blank = false;          // an empty line (nothing but its line end)
        Problem problem = Problem::None;
    };

    // Keeps the first `keep` fields of each record (every field when keepAll is set).
    QelRecordReader(const Dialect& dialect, std::size_t keep);

    // Reads the record that starts at `p`, a record start inside [p, end). Returns the first
    // byte after it (after its line feed). When the record runs to `end` and `final` is false,
    // more data may still belong to it: returns null and `record` is unspecified. The kept
    // fields point into [p, end) or into the reader; they stay valid until the next call.
    const char* read(const char* p, const char* end, bool final, Record& record);

    // The kept fields of the last record read; those at and after its field count are left
    // from earlier records.
    const std::vector<std::string_view>& fields() const noexcept { return _fields; }
    // Keep every field of the records read from now on (to read a header row, say).
    void keepAll(bool all) noexcept { _keepAll = all; }

    // 3 when data[0, size) starts with the UTF-8 byte order mark EF BB BF, else 0.
    static std::size_t byteOrderMark(const char* data, std::size_t size) noexcept;
    // The first record start at or after `from` in [begin, end), assuming no quoted field is
    // open there: just after the first line feed at or after from - 1, or `end`. Cheap, and a
    // guess where a record may be open: reading on from an earlier record start confirms it.
    static const char* nextLineStart(const char* begin, const char* from, const char* end) noexcept;

  private:
    void keepField(const char* data, std::size_t size, std::size_t index);
    const char* scanUnquoted(const char* p, const char* end) const noexcept;
    // read() from the opening quote of field `index`: the field, and returns where the text
    // after it starts; sets `done` (and returns the record's end) when the record ends there.
    const char* readQuoted(const char* p, const char* end, bool final, std::size_t index,
                           Record& record, bool& done);
    // Points the kept fields that were unescaped at their text, now that it no longer moves.
    const char* finish(const char* next) noexcept;

    Dialect _dialect;
    std::size_t _keep;
    bool _keepAll = false;
    unsigned char _stop[256];  // bytes that end an unquoted field: delimiter, '\n', NUL
    std::vector<std::string_view> _fields;  // `_keep` of them, or every field with keepAll
    std::string _unquoted;                  // kept quoted fields with "" inside, as their text
    std::vector<std::pair<std::size_t, std::size_t>> _unquotedSpans;  // field index, offset
};

#endif  // QELKIT_RECORDS_QEL_RECORD_READER_H
