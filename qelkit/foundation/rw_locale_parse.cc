// SPDX-License-Identifier: Apache-2.0
// Parsing of dates and times typed by people, in a snapshot's names and numeric date order.
#include <cstddef>

#include "qelkit/foundation/rw_locale.h"
#include "qelkit/internal/ascii.h"
#include "qelkit/internal/calendar.h"

namespace {

using qelkit_internal::isDigit;
using qelkit_internal::isSpace;

// Bytes of a word: ASCII letters, and bytes of multi-byte characters so that the UTF-8 names
// of installed locales stay whole (the "C" names hold none, so such words never match there).
bool isWordByte(char c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool isDateSeparator(char c) noexcept {
    return c == ' ' || c == '\t' || c == '/' || c == '-' || c == '.' || c == ',';
}

// The text without its outer white space, as [begin, end).
void trim(const RWCString& text, const char*& begin, const char*& end) noexcept {
    begin = text.data();
    end = begin + text.length();
    while (begin < end && isSpace(*begin)) ++begin;
    while (end > begin && isSpace(end[-1])) --end;
}

// Value of `n` decimal digits (n <= 8, so it cannot overflow).
long digitsValue(const char* p, std::size_t n) noexcept {
    long v = 0;
    for (std::size_t i = 0; i < n; ++i) v = v * 10 + (p[i] - '0');
    return v;
}

struct Token {
    const char* p;
    std::size_t n;
    bool number;
};

// A year field of 1 to 4 digits: 1 or 2 digits count from 1900, 3 or 4 are the year itself.
long yearValue(const Token& t) noexcept {
    const long v = digitsValue(t.p, t.n);
    return t.n <= 2 ? 1900 + v : v;
}

// Checks the fields and stores them; false (and `t` untouched) when the date does not exist.
bool storeDate(long day, long month, long year, struct tm* t) noexcept {
    if (!qelkit_internal::validCivil(year, static_cast<unsigned>(month),
                                     static_cast<unsigned>(day)))
        return false;
    t->tm_mday = static_cast<int>(day);
    t->tm_mon = static_cast<int>(month - 1);
    t->tm_year = static_cast<int>(year - 1900);
    return true;
}

// Case-insensitive (ASCII) match of the `n` bytes at `p` with `word`; an empty word never
// matches.
bool matchesWord(const char* p, std::size_t n, const RWCString& word) noexcept {
    return !word.isNull() && qelkit_internal::equalsIgnoreCase(p, n, word.data(), word.length());
}

}  // namespace

RWBoolean RWLocaleSnapshot::stringToDate(const RWCString& text, struct tm* t) const {
    const char *p, *end;
    trim(text, p, end);
    if (p == end || t == nullptr) return false;

    // Tokens: numbers and words, with runs of separators between them (not before the first
    // or after the last). A weekday, a month and three numbers are the most a date holds.
    constexpr std::size_t kMaxTokens = 5;
    Token tokens[kMaxTokens] = {};
    std::size_t count = 0;
    while (p < end) {
        if (count > 0 && isDateSeparator(*p)) {
            while (p < end && isDateSeparator(*p)) ++p;
            if (p == end) return false;
        }
        const char* start = p;
        bool number;
        if (isDigit(*p)) {
            while (p < end && isDigit(*p)) ++p;
            number = true;
        } else if (isWordByte(*p)) {
            while (p < end && isWordByte(*p)) ++p;
            number = false;
        } else {
            return false;
        }
        if (count == kMaxTokens) return false;
        tokens[count++] = Token{start, static_cast<std::size_t>(p - start), number};
    }

    std::size_t first = 0;
    if (!tokens[0].number && weekdayIndexOf(tokens[0].p, tokens[0].n) != 0) first = 1;
    const Token* rest = tokens + first;
    const std::size_t n = count - first;

    int monthWord = -1;  // position in `rest` of the month name
    long monthFromWord = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (rest[i].number) continue;
        const int m = monthIndexOf(rest[i].p, rest[i].n);
        if (m == 0 || monthWord >= 0) return false;
        monthWord = static_cast<int>(i);
        monthFromWord = m;
    }

    if (monthWord >= 0) {
        // "Apr 9 2007" or "9 Apr 2007".
        if (n != 3 || monthWord > 1) return false;
        const Token& day = rest[monthWord == 0 ? 1 : 0];
        const Token& year = rest[2];
        if (day.n > 2 || year.n > 4) return false;
        return storeDate(digitsValue(day.p, day.n), monthFromWord, yearValue(year), t);
    }

    long day = 0, month = 0, year = 0;
    if (n == 3) {
        const bool yearFirst = rest[0].n == 4;
        for (int i = 0; i < 3; ++i) {
            const char field = yearFirst ? "YMD"[i] : dateOrder_[i];
            const Token& tok = rest[i];
            if (field == 'Y') {
                if (tok.n > 4) return false;
                year = yearValue(tok);
            } else {
                if (tok.n > 2) return false;
                (field == 'M' ? month : day) = digitsValue(tok.p, tok.n);
            }
        }
    } else if (n == 1 && rest[0].number && (rest[0].n == 6 || rest[0].n == 8)) {
        // Compact forms: two digits each for day and month, two or four for the year, in the
        // locale's order.
        const char* d = rest[0].p;
        const std::size_t yearDigits = rest[0].n - 4;
        for (int i = 0; i < 3; ++i) {
            const char field = dateOrder_[i];
            if (field == 'Y') {
                year = yearValue(Token{d, yearDigits, true});
                d += yearDigits;
            } else {
                (field == 'M' ? month : day) = digitsValue(d, 2);
                d += 2;
            }
        }
    } else {
        return false;
    }
    return storeDate(day, month, year, t);
}

RWBoolean RWLocaleSnapshot::stringToTime(const RWCString& text, struct tm* t) const {
    const char *p, *end;
    trim(text, p, end);
    if (t == nullptr) return false;

    // Two digits exactly at p, as a value; -1 otherwise.
    auto twoDigits = [&end](const char* q) -> long {
        if (end - q < 2 || !isDigit(q[0]) || !isDigit(q[1])) return -1;
        if (end - q > 2 && isDigit(q[2])) return -1;
        return digitsValue(q, 2);
    };

    const char* h = p;
    while (p < end && isDigit(*p) && p - h < 3) ++p;
    const std::size_t hourDigits = static_cast<std::size_t>(p - h);
    if (hourDigits < 1 || hourDigits > 2 || p == end || *p != ':') return false;
    long hour = digitsValue(h, hourDigits);
    const long minute = twoDigits(++p);
    if (minute < 0) return false;
    p += 2;
    long second = 0;
    if (p < end && *p == ':') {
        second = twoDigits(++p);
        if (second < 0) return false;
        p += 2;
    }
    if (p < end) {
        // AM/PM suffix, right after the digits or after one blank.
        if (*p == ' ' || *p == '\t') ++p;
        const std::size_t n = static_cast<std::size_t>(end - p);
        const bool am = matchesWord(p, n, am_);
        const bool pm = !am && matchesWord(p, n, pm_);
        if (!am && !pm) return false;
        if (hour < 1 || hour > 12) return false;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59) return false;
    t->tm_hour = static_cast<int>(hour);
    t->tm_min = static_cast<int>(minute);
    t->tm_sec = static_cast<int>(second);
    return true;
}
