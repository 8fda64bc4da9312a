// SPDX-License-Identifier: Apache-2.0
// Byte classes and conversions of the "C" locale, the one copy the parsers share. They never
// consult the process locale, so a parser reads the same text the same way under any locale.
// Internal: not installed.
#ifndef QELKIT_INTERNAL_ASCII_H
#define QELKIT_INTERNAL_ASCII_H

#include <climits>
#include <cstddef>

namespace qelkit_internal {

// White space as isspace() sees it in the "C" locale: blank, \t, \n, \v, \f, \r.
constexpr bool isSpace(char c) noexcept { return c == ' ' || (c >= '\t' && c <= '\r'); }
constexpr bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr bool isAlpha(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// `c` with an ASCII upper-case letter turned to lower case; every other byte unchanged.
constexpr unsigned char foldAscii(unsigned char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// The `an` bytes at `a` equal the `bn` bytes at `b` up to ASCII case.
inline bool equalsIgnoreCase(const char* a, std::size_t an, const char* b,
                             std::size_t bn) noexcept {
    if (an != bn) return false;
    for (std::size_t i = 0; i < an; ++i)
        if (foldAscii(static_cast<unsigned char>(a[i])) !=
            foldAscii(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The number at the start of [p, end), read as atoi() reads it: white space, an optional sign,
// then the digits; whatever follows is ignored and no digits read as 0. A NUL byte ends the
// text. A value beyond the range of int gives INT_MAX or INT_MIN, where atoi() is undefined.
inline int atoiSaturating(const char* p, const char* end) noexcept {
    while (p < end && isSpace(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    long long v = 0;
    for (; p < end && isDigit(*p); ++p)
        if (v <= INT_MAX) v = v * 10 + (*p - '0');
    if (negative) v = -v;
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

}  // namespace qelkit_internal

#endif  // QELKIT_INTERNAL_ASCII_H
