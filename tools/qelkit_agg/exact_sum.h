// SPDX-License-Identifier: Apache-2.0
// ExactSum: the exact sum of finite doubles, read back correctly rounded. The result depends
// only on the multiset of values added, never on their order or on how partial sums were
// merged, and it is finite whenever the exact sum is: partial sums that overflow in opposite
// directions cancel as they would on paper.
//
// The sum is kept as a 128-bit integer times a power of two, the exponent being (a little
// below) that of the smallest value added so far. Readings within a factor of about 2^10 of each
// other, the common case (values of one column, not their sum), are added with a multiplication,
// two conversions and one 128-bit addition; values further apart take a shift. A value that does
// not fit (magnitudes too far apart, or a sum that outgrows 127 bits) moves the sum into a
// fixed-point integer wide enough for every double and 2^64 of them, where every later value goes.
#ifndef QELKIT_TOOLS_QELKIT_AGG_EXACT_SUM_H
#define QELKIT_TOOLS_QELKIT_AGG_EXACT_SUM_H

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

class ExactSum {
  public:
    __extension__ typedef __int128 Int128;
    __extension__ typedef unsigned __int128 UInt128;

    ExactSum() noexcept;
    ExactSum(ExactSum&&) noexcept;
    ExactSum& operator=(ExactSum&&) noexcept;
    ~ExactSum();

    // Adds the finite `value`. The common case, a value that is a multiple of 2^exponent
    // below 2^(exponent + 63), is a scaling, two conversions and a 128-bit addition.
    void add(double value) {
        const double scaled = value * _scale;  // exact: _scale is a power of two from 1
        if (std::fabs(scaled) < 0x1p63) {
            const auto n = static_cast<std::int64_t>(scaled);
            Int128 sum;
            if (static_cast<double>(n) == scaled && !__builtin_add_overflow(_small, n, &sum)) {
                _small = sum;
                return;
            }
        }
        addOther(value);
    }
    // Adds everything added to `other`.
    void merge(const ExactSum& other);
    // The sum rounded to the nearest double (ties to even); an infinity when it overflows.
    double value() const noexcept;
    // The sum divided by `count` (from 1), rounded likewise.
    double mean(std::uint64_t count) const noexcept;

  private:
    static constexpr std::uint64_t MANTISSA_MASK = (std::uint64_t{1} << 52) - 1;
    // The exponent while nothing was added, and once the sum is wide: every value then takes
    // the slow path.
    static constexpr int EMPTY = 1 << 20;
    static constexpr int WIDE = -(1 << 20);
    // Bits below the first value's lowest that the sum starts with: smaller values that come
    // later need no rescaling.
    static constexpr int MARGIN = 2;

    struct Wide;

    // add() for the values the common case leaves.
    void addOther(double value);
    void addSlow(std::int64_t mantissa, int exponent);
    // Sets _exponent and the _scale that goes with it.
    void setExponent(int exponent) noexcept;
    // Adds `value` * 2^exponent in the 128-bit form; false when it does not fit.
    bool addSmall(Int128 value, int exponent) noexcept;
    void widen();
    // The magnitude's top 128 bits `top`, so that |sum| = (top + f) * 2^exponent with f in
    // [0, 1), f > 0 exactly when `sticky`; `top` has its bit 127 set unless it is exact.
    void parts(UInt128& top, std::int64_t& exponent, bool& sticky, bool& negative) const noexcept;

    Int128 _small = 0;  // the sum is _small * 2^_exponent while _wide is null, else 0
    // 2^-_exponent while _exponent lies in [-1023, 0], else NaN: a value times it is the
    // integer to add when the product is one below 2^63. The bound 0 keeps the product exact.
    double _scale = std::numeric_limits<double>::quiet_NaN();
    int _exponent = EMPTY;
    std::unique_ptr<Wide> _wide;
};

#endif  // QELKIT_TOOLS_QELKIT_AGG_EXACT_SUM_H
