// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/qel_record_reader.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Marks `record` with `found` unless an earlier problem was found.
inline void note(QelRecordReader::Record& record, QelRecordReader::Problem found) noexcept {
    if (record.problem == QelRecordReader::Problem::None) record.problem = found;
}

}  // namespace

QelRecordReader::QelRecordReader(const Dialect& dialect, std::size_t keep)
    : _dialect(dialect), _keep(keep), _stop{}, _fields(keep) {
    _stop[static_cast<unsigned char>(dialect.delimiter)] = 1;
    _stop[static_cast<unsigned char>('\n')] = 1;
    _stop[0] = 1;
}

inline void QelRecordReader::keepField(const char* data, std::size_t size, std::size_t index) {
    if (index < _fields.size())
        _fields[index] = std::string_view(data, size);
    else if (_keepAll)
        _fields.emplace_back(data, size);
}

// The first delimiter, line feed or NUL in [p, end), or end. Sixteen bytes at a time where
// SSE2 is there: fields are short, but rows are long enough for it to pay.
inline const char* QelRecordReader::scanUnquoted(const char* p, const char* end) const noexcept {
#if defined(__SSE2__)
    const __m128i delimiter = _mm_set1_epi8(_dialect.delimiter);
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hits = _mm_movemask_epi8(_mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, delimiter), _mm_cmpeq_epi8(bytes, lineFeed)),
            _mm_cmpeq_epi8(bytes, zero)));
        if (hits != 0) return p + __builtin_ctz(static_cast<unsigned>(hits));
    }
#endif
    while (p < end && !_stop[static_cast<unsigned char>(*p)]) ++p;
    return p;
}

const char* QelRecordReader::finish(const char* next) noexcept {
    for (const auto& [index, offset] : _unquotedSpans)
        _fields[index] = std::string_view(_unquoted.data() + offset, _fields[index].size());
    return next;
}

const char* QelRecordReader::readQuoted(const char* p, const char* end, bool final,
                                        std::size_t index, Record& record, bool& done) {
    done = true;
    const char* const text = ++p;
    bool doubled = false;
    while (true) {
        while (p < end && *p != '"') {
            if (*p == '\n')
                ++record.lineBreaks;
            else if (*p == '\0')
                note(record, Problem::Nul);
            ++p;
        }
        if (p + 1 >= end && !final) return nullptr;  // the quote may be doubled
        if (p == end) {
            note(record, Problem::OpenQuote);
            keepField(text, static_cast<std::size_t>(p - text), index);
            record.fieldCount = index + 1;
            return end;
        }
        // A quote that is the last byte of the input closes the field.
        if (p + 1 == end || p[1] != '"') break;
        doubled = true;
        p += 2;
    }
    if (doubled && (index < _keep || _keepAll)) {
        _unquotedSpans.emplace_back(index, _unquoted.size());
        for (const char* q = text; q < p; ++q) {
            _unquoted.push_back(*q);
            if (*q == '"') ++q;
        }
        keepField(nullptr, _unquoted.size() - _unquotedSpans.back().second, index);
    } else {
        keepField(text, static_cast<std::size_t>(p - text), index);
    }
    ++p;  // the closing quote
    const bool lineEnd = p < end && (*p == '\n' || (*p == '\r' && p + 1 < end && p[1] == '\n'));
    if (p == end || (*p == '\r' && p + 1 == end)) {
        if (!final) return nullptr;
        record.fieldCount = index + 1;
        return end;
    }
    if (!lineEnd && *p != _dialect.delimiter) note(record, Problem::StrayQuote);
    done = false;
    return p;
}

const char* QelRecordReader::read(const char* p, const char* end, bool final, Record& record) {
    record = Record{};
    if (_keepAll) _fields.clear();
    _unquoted.clear();
    _unquotedSpans.clear();
    const char delimiter = _dialect.delimiter;
    if (_dialect.collapse)
        while (p < end && *p == delimiter) ++p;
    const char* const recordStart = p;
    for (std::size_t index = 0;; ++index) {
        const bool quoted = _dialect.quotes && p < end && *p == '"';
        if (quoted) {
            bool done = false;
            p = readQuoted(p, end, final, index, record, done);
            if (done) return p == nullptr ? nullptr : finish(p);
        }
        // An unquoted field, or what follows a closing quote: up to a delimiter or line end.
        const char* const fieldStart = p;
        while (true) {
            p = scanUnquoted(p, end);
            if (p == end || *p != '\0') break;
            note(record, Problem::Nul);
            ++p;
        }
        if (p == end && !final) return nullptr;
        const bool atLineEnd = p == end || *p == '\n';
        if (!quoted) {
            const char* fieldEnd = p;
            if (atLineEnd && fieldEnd > fieldStart && fieldEnd[-1] == '\r') --fieldEnd;
            if (index == 0 && atLineEnd && fieldEnd == recordStart) record.blank = true;
            keepField(fieldStart, static_cast<std::size_t>(fieldEnd - fieldStart), index);
        }
        record.fieldCount = index + 1;
        if (p == end) return finish(end);
        if (*p == '\n') {
            ++record.lineBreaks;
            return finish(p + 1);
        }
        ++p;  // the delimiter
        if (_dialect.collapse) {
            while (p < end && *p == delimiter) ++p;
            // A run at the end of the record separates nothing.
            const char* q = p < end && *p == '\r' ? p + 1 : p;
            if (q == end || *q == '\n') {
                if (q == end && !final) return nullptr;
                if (q == end) return finish(end);
                ++record.lineBreaks;
                return finish(q + 1);
            }
        }
    }
}

std::size_t QelRecordReader::byteOrderMark(const char* data, std::size_t size) noexcept {
    return size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

const char* QelRecordReader::nextLineStart(const char* begin, const char* from,
                                           const char* end) noexcept {
    if (from <= begin) return begin;
    if (from > end) return end;
    const void* lineFeed = std::memchr(from - 1, '\n', static_cast<std::size_t>(end - (from - 1)));
    return lineFeed == nullptr ? end : static_cast<const char*>(lineFeed) + 1;
}
