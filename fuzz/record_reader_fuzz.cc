// SPDX-License-Identifier: Apache-2.0
// QelRecordReader and QelRecordScanner on arbitrary bytes, checked for the properties that
// chunked and streamed reading rely on: a reader started at any record start finds the same
// records as one that read from the start; a record that a reader given only a prefix of the
// data (not final) returns is the record the whole data gives; line breaks add up to the line
// feeds read; kept fields never reach past their record (or are unescaped copies, no longer
// than it); a scanner shown the data in growing prefixes finds the same record ends.
//
// Input: [control: bits 0-1 pick the delimiter (',', ';', tab, '"'), bit 2 collapse, bit 3 no
//         quotes, bits 4-7 seed the prefix lengths][data...]
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "qelkit/records/qel_record_reader.h"
#include "qelkit/records/qel_record_scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, std::size_t size) {
    if (size < 1) return 0;
    QelRecordReader::Dialect dialect;
    dialect.delimiter = ",;\t\""[input[0] & 3];
    dialect.collapse = (input[0] & 4) != 0;
    dialect.quotes = (input[0] & 8) == 0 && dialect.delimiter != '"';
    // The data is read in place, so that a read past its end is one past the input buffer,
    // which the address sanitizer reports.
    const char* const begin = reinterpret_cast<const char*>(input) + 1;
    const char* const end = begin + (size - 1);
    const std::size_t length = size - 1;

    QelRecordReader reader(dialect, 3);
    QelRecordReader::Record record;
    std::vector<const char*> starts;
    for (const char* p = begin; p < end;) {
        starts.push_back(p);
        const char* next = reader.read(p, end, true, record);
        check(next != nullptr && next > p && next <= end);
        const auto lineFeeds = static_cast<std::size_t>(std::count(p, next, '\n'));
        check(record.lineBreaks == lineFeeds);
        for (std::size_t i = 0; i < std::min<std::size_t>(3, record.fieldCount); ++i) {
            const std::string_view f = reader.fields()[i];
            const bool inside = f.data() >= p && f.data() + f.size() <= next;
            check(inside || f.size() <= static_cast<std::size_t>(next - p));
        }
        p = next;
    }
    // Restart at every third record start, and read prefixes that are not final.
    unsigned seed = input[0] >> 4;
    for (std::size_t i = 0; i < starts.size(); i += 3) {
        QelRecordReader again(dialect, 0);
        const char* p = starts[i];
        for (std::size_t j = i; j < starts.size(); ++j) {
            check(p == starts[j]);
            const char* full = again.read(p, end, true, record);
            seed = seed * 1103515245u + 12345u;
            const auto cut = p + (seed >> 8) % static_cast<std::size_t>(end - p + 1);
            const char* partial = again.read(p, cut, false, record);
            check(partial == nullptr || partial == full);
            p = full;
        }
        check(p == end);
    }
    // The scanner ends each record where the reader did (or, without a final line feed, not
    // before the data ends), resuming over prefixes that grow by up to 63 bytes.
    QelRecordScanner scanner(dialect);
    std::size_t shown = 0, found = 0;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const std::size_t target = static_cast<std::size_t>(starts[k] - begin) + 1;
        while ((found = scanner.next(begin, shown, target)) == QelRecordScanner::npos &&
               shown < length)
            shown = std::min(length, shown + 1 + ((seed = seed * 1103515245u + 12345u) >> 8) % 63);
        const char* recordEnd = k + 1 < starts.size() ? starts[k + 1] : end;
        check(found == static_cast<std::size_t>(recordEnd - begin) ||
              (found == QelRecordScanner::npos && recordEnd == end));
    }
    // A speculative chunk start is a line start, never past the data.
    for (std::size_t at = 0; at <= length; at += 1 + length / 7) {
        const char* s = QelRecordReader::nextLineStart(begin, begin + at, end);
        check(s >= begin + at && s <= end && (s == begin || s == end || s[-1] == '\n'));
    }
    return 0;
}
