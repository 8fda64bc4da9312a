// SPDX-License-Identifier: Apache-2.0
// QelExactSum on finite doubles drawn from the input, spread over two sums that are then merged,
// against a reference written here: a fixed-point two's-complement integer wide enough for every
// double and its 2^64-fold, in units 128 bits below the least subnormal, rounded to the nearest
// double (ties to even) at the end. The merged sum's value and a single sum's value and mean
// must be the reference's, however far partial sums grew or overflowed on the way; a move
// takes the sum over and leaves the source empty.
//
// Input: records of 9 bytes, a selector byte (bit 0 picks the sum of the two) and a double.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "fuzz/fuzz_check.h"
#include "qelkit/records/qel_exact_sum.h"

namespace {

__extension__ typedef unsigned __int128 U128;

// Bit 0 of limb 0 is 2^-1202; bit 128 is 2^-1074, the lowest bit of any double.
constexpr int LIMBS = 37, UNIT = -1202, SUBNORMAL_BIT = 128;

struct Reference {
    std::uint64_t limb[LIMBS] = {};

    void add(double v) {
        int e;
        const double m = std::frexp(std::fabs(v), &e);  // |v| = m * 2^e, m in [0.5, 1)
        if (m == 0) return;
        const auto bits = static_cast<std::uint64_t>(std::ldexp(m, 53));
        const int at = e - 53 - UNIT, shift = at % 64;
        const U128 part = static_cast<U128>(bits) << shift;
        std::uint64_t carry = 0, add[LIMBS] = {};
        add[at / 64] = static_cast<std::uint64_t>(part);
        add[at / 64 + 1] = static_cast<std::uint64_t>(part >> 64);
        if (v < 0) negate(add);
        for (int i = 0; i < LIMBS; ++i) {
            const U128 s = static_cast<U128>(limb[i]) + add[i] + carry;
            limb[i] = static_cast<std::uint64_t>(s);
            carry = static_cast<std::uint64_t>(s >> 64);
        }
    }

    static void negate(std::uint64_t* x) {
        std::uint64_t carry = 1;
        for (int i = 0; i < LIMBS; ++i) {
            const U128 s = static_cast<U128>(~x[i]) + carry;
            x[i] = static_cast<std::uint64_t>(s);
            carry = static_cast<std::uint64_t>(s >> 64);
        }
    }

    // The sum divided by `count`, rounded to the nearest double, ties to even.
    double rounded(std::uint64_t count) const {
        std::uint64_t q[LIMBS];
        std::memcpy(q, limb, sizeof q);
        const bool negative = q[LIMBS - 1] >> 63 != 0;
        if (negative) negate(q);
        U128 rest = 0;
        for (int i = LIMBS; i-- > 0;) {
            rest = rest << 64 | q[i];
            q[i] = static_cast<std::uint64_t>(rest / count);
            rest %= count;
        }
        const auto bit = [&q](int i) { return q[i / 64] >> (i % 64) & 1; };
        int high = LIMBS * 64 - 1;
        while (high >= 0 && bit(high) == 0) --high;
        if (high < SUBNORMAL_BIT - 1) return 0.0;  // below half the least subnormal
        const int low = high - 52 > SUBNORMAL_BIT ? high - 52 : SUBNORMAL_BIT;
        std::uint64_t mantissa = 0;
        for (int i = high; i >= low; --i) mantissa = mantissa << 1 | bit(i);
        bool sticky = rest != 0;
        for (int i = 0; i < low - 1 && !sticky; ++i) sticky = bit(i) != 0;
        if (bit(low - 1) != 0 && (sticky || (mantissa & 1) != 0)) ++mantissa;
        const double magnitude = std::ldexp(static_cast<double>(mantissa), low + UNIT);
        return negative ? -magnitude : magnitude;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QelExactSum sums[2], alone;
    Reference reference;
    std::uint64_t count = 0;
    for (std::size_t at = 0; at + 9 <= size; at += 9) {
        double v;
        std::memcpy(&v, data + at + 1, sizeof v);
        if (!std::isfinite(v)) continue;
        sums[data[at] & 1].add(v);
        alone.add(v);
        reference.add(v);
        ++count;
    }
    sums[0].merge(sums[1]);
    const double value = reference.rounded(1);
    check(sums[0].value() == value && alone.value() == value);
    if (count > 0) check(alone.mean(count) == reference.rounded(count));
    QelExactSum moved(std::move(alone));
    check(moved.value() == value && alone.value() == 0.0);
    return 0;
}
