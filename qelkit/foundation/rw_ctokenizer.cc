// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/rw_ctokenizer.h"

#include <cstdint>
#include <cstring>

#include "qelkit/internal/byte_scan.h"

using qelkit_internal::ByteRange;
using qelkit_internal::ByteSet;
using qelkit_internal::findByteOrNul;

RWCTokenizer::RWCTokenizer(const RWCString& s) : str_(s), pos_(0) {}

RWCSubString RWCTokenizer::operator()() { return (*this)(" \t\n", 3); }

RWCSubString RWCTokenizer::operator()(const char* delims) {
    return (*this)(delims, std::strlen(delims));
}

RWCSubString RWCTokenizer::operator()(const char* delims, std::size_t n) {
    const std::size_t len = str_.length();
    // data() is the const accessor: it never unshares the buffer. The text is followed by a
    // NUL, so every scan below ends inside the buffer.
    const char* const text = str_.data();
    if (n != 1 || delims[0] == '\0') {
        if (pos_ >= len) return str_(RW_NPOS, 0);
        const ByteSet set(delims, n);
        const char* pos = text + pos_;
        // The text is followed by a NUL, so the scans need no bound.
        const ByteRange token = qelkit_internal::nextToken<true>(
            &pos, text + len, [&set](char c) { return set.has(c); });
        pos_ = static_cast<std::size_t>(pos - text);
        if (token.length == 0) return str_(RW_NPOS, 0);
        return str_(static_cast<std::size_t>(token.data - text), token.length);
    }
    // One delimiter: the same steps, with the run of other bytes found by findByteOrNul.
    while (pos_ < len) {
        const char* p = text + pos_;
        while (*p == delims[0]) ++p;
        const char* q = findByteOrNul(p, delims[0]);
        if (q == p) {
            // On a NUL byte, inside the text or the terminator: step over it.
            pos_ = static_cast<std::size_t>(p - text) + 1;
            continue;
        }
        pos_ = static_cast<std::size_t>(q - text);
        return str_(static_cast<std::size_t>(p - text), static_cast<std::size_t>(q - p));
    }
    return str_(RW_NPOS, 0);
}

bool RWCTokenizer::done() const {
    const std::size_t len = str_.length();
    if (pos_ >= len) return true;
    const char* text = str_.data();
    for (std::size_t i = pos_; i < len; ++i)
        if (text[i] != '\0') return false;
    return true;
}
