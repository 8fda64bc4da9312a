// SPDX-License-Identifier: Apache-2.0
// Byte scans shared by the tokenizers, the regular expressions and the date parsers.
// Internal: not installed, not part of the interface.
#ifndef QELKIT_INTERNAL_BYTE_SCAN_H
#define QELKIT_INTERNAL_BYTE_SCAN_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qelkit_internal {

// The first byte at or after p that equals c or is NUL. The text must end in a NUL (every
// RWCString buffer does), so the scan stays inside the buffer; glibc's strchrnul does it with
// vector loads.
inline const char* findByteOrNul(const char* p, char c) {
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return strchrnul(p, c);
#else
    while (*p != c && *p != '\0') ++p;
    return p;
#endif
}

// A set of bytes as 256 bits: cheaper to build per call than the tables of strspn and strcspn,
// with the same results. NUL is never a member, so a scan over members stops at it.
// The empty set and add() serve callers that want NUL as a member (the regular expressions).
class ByteSet {
  public:
    ByteSet() = default;
    ByteSet(const char* chars, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            if (chars[i] != '\0') add(static_cast<unsigned char>(chars[i]));
    }
    explicit ByteSet(const char* chars) : ByteSet(chars, std::strlen(chars)) {}
    void add(unsigned char c) noexcept { bits_[c >> 6] |= std::uint64_t{1} << (c & 63); }
    bool has(char ch) const noexcept {
        const unsigned char c = static_cast<unsigned char>(ch);
        return (bits_[c >> 6] >> (c & 63)) & 1;
    }
    // Every byte that was not a member becomes one, and the other way round.
    void invert() noexcept {
        for (std::uint64_t& w : bits_) w = ~w;
    }
    ByteSet& operator|=(const ByteSet& other) noexcept {
        for (std::size_t k = 0; k < 4; ++k) bits_[k] |= other.bits_[k];
        return *this;
    }
    // The members 64k .. 64k+63 as the bits of one word (k < 4), for word-wise walks.
    std::uint64_t word(std::size_t k) const noexcept { return bits_[k]; }
    std::size_t count() const noexcept {
        std::size_t n = 0;
        for (const std::uint64_t w : bits_) n += static_cast<std::size_t>(__builtin_popcountll(w));
        return n;
    }

  private:
    std::uint64_t bits_[4] = {};
};

// A token: a range of bytes inside the text being scanned (no copy is made).
struct ByteRange {
    const char* data;
    std::size_t length;
};

// The next token of [*pos, end) as RWCTokenizer takes it: skip the bytes `isDelim` accepts,
// take the run of other bytes, never give an empty token; a NUL byte always delimits and is
// stepped over. Advances *pos past the token; at the end, an empty token at `end`. With
// `kNulAtEnd` the caller promises a NUL byte at `end` (every RWCString has one), and the scans
// stop on it instead of testing the bound at every byte.
template <bool kNulAtEnd = false, class IsDelim>
ByteRange nextToken(const char** pos, const char* end, IsDelim isDelim) {
    while (*pos < end) {
        const char* p = *pos;
        while ((kNulAtEnd || p < end) && *p != '\0' && isDelim(*p)) ++p;
        const char* q = p;
        while ((kNulAtEnd || q < end) && *q != '\0' && !isDelim(*q)) ++q;
        if (q != p) {
            *pos = q;
            return ByteRange{p, static_cast<std::size_t>(q - p)};
        }
        *pos = p < end ? p + 1 : end;  // on a NUL byte: step over it
    }
    return ByteRange{end, 0};
}

}  // namespace qelkit_internal

#endif  // QELKIT_INTERNAL_BYTE_SCAN_H
