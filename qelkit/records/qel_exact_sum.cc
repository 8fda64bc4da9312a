// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/qel_exact_sum.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

using Int128 = QelExactSum::Int128;
using UInt128 = QelExactSum::UInt128;

// A two's complement fixed-point integer whose bit 0 weighs 2^-1074, the smallest double: 35
// words hold 2^64 values of magnitude below 2^1024 with room to spare.
struct QelExactSum::Wide {
    static constexpr int LOW = -1074;
    static constexpr std::size_t WORDS = 35;
    std::uint64_t word[WORDS] = {};

    // Adds magnitude * 2^exponent (exponent >= LOW), or subtracts it when `negative`; the
    // carry or borrow runs only as far as it must.
    void add(UInt128 magnitude, std::int64_t exponent, bool negative) noexcept {
        const auto bit = static_cast<std::size_t>(exponent - LOW);
        const unsigned s = bit % 64;
        const auto lo = static_cast<std::uint64_t>(magnitude);
        const auto hi = static_cast<std::uint64_t>(magnitude >> 64);
        const std::uint64_t part[3] = {lo << s, s == 0 ? hi : hi << s | lo >> (64 - s),
                                       s == 0 ? 0 : hi >> (64 - s)};
        std::uint64_t carry = 0;
        for (std::size_t j = 0, i = bit / 64; i < WORDS && (j < 3 || carry != 0); ++j, ++i) {
            const std::uint64_t p = j < 3 ? part[j] : 0;
            const std::uint64_t w = word[i];
            if (negative) {
                word[i] = w - p - carry;
                carry = (w < p || w - p < carry) ? 1 : 0;
            } else {
                word[i] = w + p + carry;
                carry = (word[i] < w || (carry != 0 && word[i] == w)) ? 1 : 0;
            }
        }
    }
    void add(const Wide& other) noexcept {
        std::uint64_t carry = 0;
        for (std::size_t i = 0; i < WORDS; ++i) {
            const std::uint64_t w = word[i];
            word[i] = w + other.word[i] + carry;
            carry = (word[i] < w || (carry != 0 && word[i] == w)) ? 1 : 0;
        }
    }
};

namespace {

int leadingZeros(UInt128 x) noexcept {
    const auto hi = static_cast<std::uint64_t>(x >> 64);
    return hi != 0 ? __builtin_clzll(hi) : 64 + __builtin_clzll(static_cast<std::uint64_t>(x));
}

// (magnitude + f) * 2^exponent with f in [0, 1) and f > 0 exactly when `sticky`, rounded to
// the nearest double, ties to even. When `sticky`, `magnitude` must have at least 55 bits.
double roundScaled(UInt128 magnitude, std::int64_t exponent, bool sticky, bool negative) noexcept {
    const double sign = negative ? -1.0 : 1.0;
    if (magnitude == 0) return 0.0;
    const int top = 127 - leadingZeros(magnitude);
    if (top + exponent > 1023) return sign * std::numeric_limits<double>::infinity();
    // The lowest bit kept: 53 bits, fewer where the result is subnormal.
    const std::int64_t cut = std::max<std::int64_t>(top - 52, -1074 - exponent);
    if (cut <= 0)
        return sign * std::ldexp(static_cast<double>(static_cast<std::uint64_t>(magnitude)),
                                 static_cast<int>(exponent));
    const UInt128 kept = cut >= 128 ? 0 : magnitude >> cut;
    const bool half = cut <= 128 && ((magnitude >> (cut - 1)) & 1) != 0;
    const bool below =
        sticky || (cut > 128 ? true : (magnitude & ((UInt128{1} << (cut - 1)) - 1)) != 0);
    const auto rounded =
        static_cast<std::uint64_t>(kept) + (half && (below || (kept & 1) != 0) ? 1 : 0);
    return sign * std::ldexp(static_cast<double>(rounded), static_cast<int>(cut + exponent));
}

}  // namespace

QelExactSum& QelExactSum::operator=(QelExactSum&& other) noexcept {
    if (this != &other) {
        delete wide();
        _bits = other._bits;
        other._bits = EMPTY;
    }
    return *this;
}

QelExactSum::~QelExactSum() { delete wide(); }

int QelExactSum::exponent() const noexcept {
    const auto c = static_cast<int>(code());
    return c <= -Wide::LOW ? -c : c + Wide::LOW;
}

QelExactSum::Wide* QelExactSum::wide() const noexcept {
    if (code() != WIDE) return nullptr;
    // The address shares the 16 bytes with the exponent code: that is the layout of the sum.
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the integer was made from this very pointer.
    return reinterpret_cast<Wide*>(
        static_cast<std::uintptr_t>(static_cast<UInt128>(_bits) >> CODE_BITS));
}

bool QelExactSum::set(Int128 integer, int exponent) noexcept {
    const auto bits = static_cast<Int128>(static_cast<UInt128>(integer) << CODE_BITS);
    if (bits >> CODE_BITS != integer) return false;
    _bits = bits | (exponent <= 0 ? -exponent : exponent - Wide::LOW);
    return true;
}

void QelExactSum::addOther(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>(bits >> 52 & 0x7FF);
    const std::int64_t sign = static_cast<std::int64_t>(bits) >> 63;  // 0 or -1
    const std::int64_t magnitude =
        static_cast<std::int64_t>(bits & MANTISSA_MASK) | std::int64_t{biased != 0} << 52;
    const std::int64_t mantissa = (magnitude ^ sign) - sign;
    const int exponent = biased - 1075 + (biased == 0 ? 1 : 0);
    if (mantissa == 0 || addNarrow(mantissa, exponent)) return;
    if (code() != WIDE) widen();
    const bool negative = mantissa < 0;
    wide()->add(static_cast<UInt128>(negative ? -mantissa : mantissa), exponent, negative);
}

bool QelExactSum::addNarrow(Int128 value, int exponent) noexcept {
    const unsigned c = code();
    if (c == WIDE) return false;
    if (c == EMPTY) {
        // A first value (a mantissa, below 2^53) starts with a margin; a sum merged into an
        // empty one is taken as it is.
        const bool mantissa = value == static_cast<std::int64_t>(value);
        const int margin = mantissa ? std::min(MARGIN, exponent - Wide::LOW) : 0;
        return set(static_cast<Int128>(static_cast<UInt128>(value) << margin), exponent - margin);
    }
    // Brings the term with the larger exponent down to the smaller one, if it fits.
    auto scaled = [](Int128 x, int by, Int128& out) {
        if (by >= 127) return x == 0 ? (out = 0, true) : false;
        out = static_cast<Int128>(static_cast<UInt128>(x) << by);
        return (out >> by) == x;
    };
    Int128 a = 0, b = 0, sum = 0;
    const int own = this->exponent();
    const int low = std::min(exponent, own);
    return scaled(integer(), own - low, a) && scaled(value, exponent - low, b) &&
           !__builtin_add_overflow(a, b, &sum) && set(sum, low);
}

void QelExactSum::widen() {
    auto wide = std::make_unique<Wide>();
    if (code() != EMPTY) {
        const Int128 n = integer();
        const bool negative = n < 0;
        wide->add(negative ? -static_cast<UInt128>(n) : static_cast<UInt128>(n), exponent(),
                  negative);
    }
    _bits = static_cast<Int128>(
        static_cast<UInt128>(reinterpret_cast<std::uintptr_t>(wide.release())) << CODE_BITS | WIDE);
}

void QelExactSum::merge(const QelExactSum& other) {
    const unsigned c = other.code();
    if (c == EMPTY) return;
    if (c != WIDE && addNarrow(other.integer(), other.exponent())) return;
    if (code() != WIDE) widen();
    if (c == WIDE) {
        wide()->add(*other.wide());
        return;
    }
    const Int128 n = other.integer();
    const bool negative = n < 0;
    wide()->add(negative ? -static_cast<UInt128>(n) : static_cast<UInt128>(n), other.exponent(),
                negative);
}

void QelExactSum::parts(UInt128& top, std::int64_t& exponent, bool& sticky,
                        bool& negative) const noexcept {
    sticky = false;
    const Wide* wide = this->wide();
    if (wide == nullptr) {
        const Int128 n = code() == EMPTY ? 0 : integer();
        negative = n < 0;
        top = negative ? -static_cast<UInt128>(n) : static_cast<UInt128>(n);
        exponent = code() == EMPTY ? 0 : this->exponent();
        return;
    }
    constexpr std::size_t WORDS = Wide::WORDS;
    std::uint64_t w[WORDS];
    negative = wide->word[WORDS - 1] >> 63 != 0;
    std::uint64_t carry = 1;
    for (std::size_t i = 0; i < WORDS; ++i) {
        w[i] = negative ? ~wide->word[i] + carry : wide->word[i];
        if (negative) carry = carry != 0 && w[i] == 0 ? 1 : 0;
    }
    std::size_t t = WORDS;
    while (t > 0 && w[t - 1] == 0) --t;
    exponent = Wide::LOW;
    if (t <= 2) {
        top = UInt128{t >= 2 ? w[1] : 0} << 64 | (t >= 1 ? w[0] : 0);
        return;
    }
    const std::size_t highest =
        64 * (t - 1) + 63 - static_cast<std::size_t>(__builtin_clzll(w[t - 1]));
    const std::size_t lowest = highest - 127;
    const std::size_t i = lowest / 64;
    const unsigned s = lowest % 64;
    auto at = [&w](std::size_t k) { return k < WORDS ? w[k] : 0; };
    const std::uint64_t lo = s == 0 ? at(i) : at(i) >> s | at(i + 1) << (64 - s);
    const std::uint64_t hi = s == 0 ? at(i + 1) : at(i + 1) >> s | at(i + 2) << (64 - s);
    top = UInt128{hi} << 64 | lo;
    exponent += static_cast<std::int64_t>(lowest);
    sticky = s != 0 && (w[i] & ((std::uint64_t{1} << s) - 1)) != 0;
    for (std::size_t k = 0; k < i && !sticky; ++k) sticky = w[k] != 0;
}

double QelExactSum::value() const noexcept {
    UInt128 top = 0;
    std::int64_t exponent = 0;
    bool sticky = false, negative = false;
    parts(top, exponent, sticky, negative);
    return roundScaled(top, exponent, sticky, negative);
}

double QelExactSum::mean(std::uint64_t count) const noexcept {
    UInt128 top = 0;
    std::int64_t exponent = 0;
    bool sticky = false, negative = false;
    parts(top, exponent, sticky, negative);
    if (top == 0) return 0.0;
    // With the dividend's top bit at 127 the quotient has at least 64 bits, more than the 53
    // kept and the rounding bit; the remainder and the dropped bits only tell above from equal.
    const int z = leadingZeros(top);
    top <<= z;
    exponent -= z;
    const UInt128 quotient = top / count;
    return roundScaled(quotient, exponent, sticky || quotient * count != top, negative);
}
