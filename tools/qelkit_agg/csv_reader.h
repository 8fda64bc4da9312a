// SPDX-License-Identifier: Apache-2.0
// CsvReader: splits delimited text into records and fields, one record per call, in place.
// RFC 4180 quoting (on by default): a field that starts with '"' runs to the next lone '"',
// holding delimiters and line breaks, and "" inside it stands for one '"'; a '"' elsewhere is
// data. A record ends at a line feed outside quotes (a carriage return before it is dropped)
// or at the end of the data. Empty fields are fields. With `collapse`, a run of delimiters
// separates like one and runs at either end of a record are ignored.
//
// The reader never fails: a record holding a NUL byte, text after a closing quote, or a
// quoted field still open at the end of the data is returned whole, marked with its problem,
// so the caller can report it and go on at the next record. Record boundaries depend only on
// the bytes from the start of the record, so a reader started at any record start finds the
// same records as one started earlier.
#ifndef QELKIT_TOOLS_QELKIT_AGG_CSV_READER_H
#define QELKIT_TOOLS_QELKIT_AGG_CSV_READER_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct CsvDialect {
    char delimiter = ',';
    bool collapse = false;
    bool quotes = true;
};

enum class CsvProblem { None, Nul, StrayQuote, OpenQuote };

struct CsvRecord {
    std::size_t fieldCount = 0;  // every field, kept or not
    std::size_t lineBreaks = 0;  // line feeds the record consumed, its own included
    bool blank = false;          // an empty line (nothing but its line end)
    CsvProblem problem = CsvProblem::None;
};

class CsvReader {
  public:
    // Keeps the first `keep` fields of each record (more when keepAll is set).
    CsvReader(const CsvDialect& dialect, std::size_t keep);

    // Reads the record that starts at `p`, a record start inside [p, end). Returns the first
    // byte after it (after its line feed). When the record runs to `end` and `final` is false,
    // more data may still belong to it: returns null and `record` is unspecified. The kept
    // fields point into [p, end) or into the reader; they stay valid until the next call.
    const char* read(const char* p, const char* end, bool final, CsvRecord& record);

    // The kept fields of the last record read; those at and after its field count are left
    // from earlier records.
    const std::vector<std::string_view>& fields() const noexcept { return _fields; }
    // Keep every field of the records read from now on (the first row names the columns).
    void keepAll(bool all) noexcept { _keepAll = all; }

  private:
    void keepField(const char* data, std::size_t size, std::size_t index);
    const char* scanUnquoted(const char* p, const char* end) const noexcept;

    CsvDialect _dialect;
    std::size_t _keep;
    bool _keepAll = false;
    unsigned char _stop[256];  // bytes that end an unquoted field: delimiter, '\n', NUL
    std::vector<std::string_view> _fields;  // `_keep` of them, or every field with keepAll
    std::string _unquoted;                  // kept quoted fields with "" inside, as their text
    std::vector<std::pair<std::size_t, std::size_t>> _unquotedSpans;  // field index, offset
};

// The first record start at or after `from`, assuming no record is open there: just after
// the first line feed at or after from - 1, or `end`. Cheap; CsvReader confirms it.
const char* nextLineStart(const char* begin, const char* from, const char* end) noexcept;

#endif  // QELKIT_TOOLS_QELKIT_AGG_CSV_READER_H
