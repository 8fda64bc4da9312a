// SPDX-License-Identifier: Apache-2.0
// Byte scans shared by the tokenizers. Internal: not installed, not part of the interface.
#ifndef QELKIT_FOUNDATION_INTERNAL_BYTE_SCAN_H
#define QELKIT_FOUNDATION_INTERNAL_BYTE_SCAN_H

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
class ByteSet {
  public:
    ByteSet(const char* chars, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char c = static_cast<unsigned char>(chars[i]);
            if (c != 0) bits_[c >> 6] |= std::uint64_t{1} << (c & 63);
        }
    }
    explicit ByteSet(const char* chars) : ByteSet(chars, std::strlen(chars)) {}
    bool has(char ch) const {
        const unsigned char c = static_cast<unsigned char>(ch);
        return (bits_[c >> 6] >> (c & 63)) & 1;
    }

  private:
    std::uint64_t bits_[4] = {};
};

}  // namespace qelkit_internal

#endif  // QELKIT_FOUNDATION_INTERNAL_BYTE_SCAN_H
