// SPDX-License-Identifier: Apache-2.0
#include "qelkit/strings/qel_number_text.h"

#include <locale.h>  // NOLINT(modernize-deprecated-headers): newlocale and locale_t are POSIX
#include <clocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <system_error>

namespace {

// The C locale, made once and kept for the life of the process, for strtod_l.
locale_t cLocale() noexcept {
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

__extension__ typedef unsigned __int128 UInt128;

// 10^0 to 10^19, every power of ten a 64-bit integer holds.
struct PowersOfTen {
    std::uint64_t value[20] = {};
    constexpr PowersOfTen() {
        std::uint64_t p = 1;
        for (auto& v : value) v = p, p *= 10;
    }
};
constexpr PowersOfTen TEN_TO;

// Writes `count` significant digits (no trailing zero) of a number whose first digit weighs
// 10^exponent, in the layout of "%g" for exponents from -4 to 14.
void appendFixed(std::string& out, bool negative, const char* digits, int count, int exponent) {
    if (negative) out.push_back('-');
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out.append(digits, static_cast<std::size_t>(count));
        return;
    }
    const int whole = exponent + 1;
    out.append(digits, static_cast<std::size_t>(std::min(count, whole)));
    if (count < whole) out.append(static_cast<std::size_t>(whole - count), '0');
    if (count > whole) {
        out.push_back('.');
        out.append(digits + whole, static_cast<std::size_t>(count - whole));
    }
}

// "%.15g" for a magnitude in [1e-4, 1e15), the range of most readings and their means, with
// integer arithmetic only: the double is m / 2^shift exactly, so m * 10^k / 2^shift rounded
// half to even is the 15-digit integer printf rounds to. False, with nothing written, outside
// that range.
bool appendFifteenDigits(std::string& out, double value) {
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-4 && magnitude < 1e15)) return false;
    std::uint64_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biased = static_cast<int>(bits >> 52);
    const UInt128 m = (bits & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1} << 52;
    const int shift = 1075 - biased;  // from 3 to 66 in this range
    // floor(log10(2) * binary exponent), the decimal exponent or one below it; the shift
    // works on a positive number.
    int exponent = (((biased - 1023) * 78913 + (1 << 30)) >> 18) - (1 << 12);
    UInt128 n = m * TEN_TO.value[14 - exponent];
    if ((n >> shift) >= TEN_TO.value[15]) n = m * TEN_TO.value[14 - ++exponent];
    std::uint64_t q = static_cast<std::uint64_t>(n >> shift);
    const UInt128 rest = n & ((UInt128{1} << shift) - 1);
    const UInt128 half = UInt128{1} << (shift - 1);
    if (rest > half || (rest == half && (q & 1) != 0)) ++q;
    if (q == TEN_TO.value[15]) {
        if (++exponent == 15) return false;
        q = TEN_TO.value[14];
    }
    char digits[15];
    for (int i = 14; i >= 0; --i, q /= 10) digits[i] = static_cast<char>('0' + q % 10);
    int count = 15;
    while (digits[count - 1] == '0') --count;
    appendFixed(out, value < 0, digits, count, exponent);
    return true;
}

}  // namespace

void QelNumberText::append(std::string& out, double value) {
    if (appendFifteenDigits(out, value)) return;
    // The shortest digits that read back as `value` ("-1.2345e+03"). When there are at most 15
    // of them, "%.15g" gives the same digits (15-digit decimals are coarser than doubles), so
    // only the layout is left to do; that is several times faster than asking for 15 digits.
    char text[40];
    const char* end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
    const char* p = text;
    if (*p == '-') ++p;
    const char* const e = static_cast<const char*>(std::memchr(p, 'e', end - p));
    char digits[20];
    int count = 0;
    for (const char* q = p; e != nullptr && q < e && count < 17; ++q)
        if (*q != '.') digits[count++] = *q;
    // inf, nan, 16 or 17 digits, and subnormals (whose own precision is below 15 digits).
    if (e == nullptr || count > 15 || std::fpclassify(value) == FP_SUBNORMAL) {
        end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15).ptr;
        out.append(text, static_cast<std::size_t>(end - text));
        return;
    }
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
    if (exponent < -4 || exponent >= 15) {
        if (p != text) out.push_back('-');
        out.append(p, static_cast<std::size_t>(end - p));  // d[.ddd]e±XX, as printf writes it
    } else {
        appendFixed(out, p != text, digits, count, exponent);
    }
}

QelNumberText::Result QelNumberText::readOther(std::string_view field, double& value) noexcept {
    const char* first = field.data();
    const char* last = first + field.size();
    while (first < last && (*first == ' ' || *first == '\t')) ++first;
    while (last > first && (last[-1] == ' ' || last[-1] == '\t')) --last;
    if (last - first > 1 && *first == '+' && first[1] != '-') ++first;
    if (first == last) return NotANumber;
    if (plainDecimal(first, last, value)) return Ok;
    const std::from_chars_result r = std::from_chars(first, last, value);
    if (r.ptr != last) return NotANumber;
    if (r.ec == std::errc::result_out_of_range) {
        // from_chars leaves `value` alone; strtod tells overflow (refused) from a number too
        // small for a double (read as the nearest one), in the C locale whatever the program's.
        try {
            value = ::strtod_l(std::string(first, last).c_str(), nullptr, cLocale());
        } catch (const std::bad_alloc&) {
            return OutOfRange;
        }
        return std::isfinite(value) ? Ok : OutOfRange;
    }
    if (r.ec != std::errc()) return NotANumber;
    return std::isfinite(value) ? Ok : NotANumber;
}
