// SPDX-License-Identifier: Apache-2.0
// ExactSum: the exact sum of finite doubles, read back correctly rounded. The result depends
// only on the multiset of values added, never on their order or on how partial sums were
// merged, and it is finite whenever the exact sum is: partial sums that overflow in opposite
// directions cancel as they would on paper.
//
// The sum is kept as a 128-bit integer times a power of two, the exponent being that of the
// smallest value added so far. Readings of similar size, the common case, are added with one
// shift and one 128-bit addition. A value that does not fit (magnitudes too far apart, or a sum
// that outgrows 127 bits) moves the sum into a fixed-point integer wide enough for every double
// and 2^64 of them, where every later value goes.
#ifndef QELKIT_TOOLS_QELKIT_AGG_EXACT_SUM_H
#define QELKIT_TOOLS_QELKIT_AGG_EXACT_SUM_H

#include <cstdint>
#include <cstring>
#include <memory>

class ExactSum {
  public:
    __extension__ typedef __int128 Int128;
    __extension__ typedef unsigned __int128 UInt128;

    ExactSum() noexcept;
    ExactSum(ExactSum&&) noexcept;
    ExactSum& operator=(ExactSum&&) noexcept;
    ~ExactSum();

    // Adds the finite `value`.
    void add(double value) {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        const int biased = static_cast<int>(bits >> 52 & 0x7FF);
        std::int64_t mantissa = static_cast<std::int64_t>(bits & MANTISSA_MASK);
        if (biased != 0) mantissa |= std::int64_t{1} << 52;
        if (mantissa == 0) return;  // a zero adds nothing
        if (bits >> 63 != 0) mantissa = -mantissa;
        const int exponent = (biased != 0 ? biased : 1) - 1075;
        const unsigned shift = static_cast<unsigned>(exponent - _exponent);
        if (!_wide && shift <= 64 &&
            !__builtin_add_overflow(_small, shifted(mantissa, shift), &_small))
            return;
        addSlow(mantissa, exponent);
    }
    // Adds everything added to `other`.
    void merge(const ExactSum& other);
    // The sum rounded to the nearest double (ties to even); an infinity when it overflows.
    double value() const noexcept;
    // The sum divided by `count` (from 1), rounded likewise.
    double mean(std::uint64_t count) const noexcept;

  private:
    static constexpr std::uint64_t MANTISSA_MASK = (std::uint64_t{1} << 52) - 1;
    // The exponent while nothing was added: every value takes the slow path first.
    static constexpr int EMPTY = 1 << 20;

    struct Wide;

    // `mantissa` * 2^shift, for shift <= 64 (no overflow: |mantissa| < 2^53).
    static Int128 shifted(std::int64_t mantissa, unsigned shift) noexcept {
        return static_cast<Int128>(static_cast<UInt128>(static_cast<Int128>(mantissa)) << shift);
    }
    void addSlow(std::int64_t mantissa, int exponent);
    // Adds `value` * 2^exponent in the 128-bit form; false when it does not fit.
    bool addSmall(Int128 value, int exponent) noexcept;
    void widen();
    // The magnitude's top 128 bits `top`, so that |sum| = (top + f) * 2^exponent with f in
    // [0, 1), f > 0 exactly when `sticky`; `top` has its bit 127 set unless it is exact.
    void parts(UInt128& top, std::int64_t& exponent, bool& sticky, bool& negative) const noexcept;

    Int128 _small = 0;  // the sum is _small * 2^_exponent while _wide is null
    int _exponent = EMPTY;
    std::unique_ptr<Wide> _wide;
};

#endif  // QELKIT_TOOLS_QELKIT_AGG_EXACT_SUM_H
