// SPDX-License-Identifier: Apache-2.0
// QelExactSum: the exact sum of finite doubles, read back correctly rounded. The result depends
// only on the multiset of values added, never on their order or on how partial sums were
// merged, and it is finite whenever the exact sum is: partial sums that overflow in opposite
// directions cancel as they would on paper. QelPeriodAggregator keeps one per group and value
// column.
//
// Thread safety: not locked; one object must not be changed while another thread uses it. Sums
// of different threads are combined with merge() once each thread is done.
// Failure: only std::bad_alloc, when a sum first needs its wide form (below); the sum is then
// unchanged. A value that is not finite (an infinity, a NaN) is not refused: the sum is then
// meaningless.
// Limits: up to 2^64 values of any finite magnitude; movable, not copyable.
//
// The sum is kept as a 116-bit integer times a power of two, the exponent being (a little
// below) that of the smallest value added so far; the exponent's 12-bit code sits in the low
// bits of the same 128-bit word, so a sum takes 16 bytes. Readings within a factor of about 2^10
// of each other, the common case (values of one column, not their sum), are added inline with a
// multiplication, two conversions and one 128-bit addition; values further apart take a shift.
// A value that does not fit (magnitudes too far apart, or a sum that outgrows 115 bits) moves
// the sum into a fixed-point integer wide enough for every double and 2^64 of them, kept on the
// heap, where every later value goes.
#ifndef QELKIT_RECORDS_QEL_EXACT_SUM_H
#define QELKIT_RECORDS_QEL_EXACT_SUM_H

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "qelkit/export.h"

class QELKIT_API QelExactSum {
  public:
    // The compiler's 128-bit integers, in which the sum is kept.
    __extension__ typedef __int128 Int128;
    __extension__ typedef unsigned __int128 UInt128;

    // The empty sum, whose value is 0.
    QelExactSum() noexcept = default;
    // Moves take the sum over and leave `other` empty.
    QelExactSum(QelExactSum&& other) noexcept : _bits(other._bits) { other._bits = EMPTY; }
    QelExactSum& operator=(QelExactSum&&) noexcept;
    ~QelExactSum();

    // Adds the finite `value`. The common case, a value that is a multiple of 2^exponent
    // below 2^(exponent + 63) while the exponent lies in [-1023, 0], is handled here inline: a
    // scaling, two conversions and a 128-bit addition.
    void add(double value) {
        const unsigned code = static_cast<unsigned>(static_cast<std::uint64_t>(_bits)) & CODE_MASK;
        if (code <= 1023) {
            // 2^code, that is 2^-exponent, built from its bits: the product is then exact.
            const std::uint64_t scaleBits = std::uint64_t{1023 + code} << 52;
            double scale;
            std::memcpy(&scale, &scaleBits, sizeof scale);
            const double scaled = value * scale;
            if (std::fabs(scaled) < 0x1p63) {
                const auto n = static_cast<std::int64_t>(scaled);
                Int128 sum;
                if (static_cast<double>(n) == scaled &&
                    !__builtin_add_overflow(_bits, static_cast<Int128>(n) * (CODE_MASK + 1),
                                            &sum)) {
                    _bits = sum;
                    return;
                }
            }
        }
        addOther(value);
    }
    // Adds everything added to `other`.
    void merge(const QelExactSum& other);
    // The sum rounded to the nearest double (ties to even); an infinity when it overflows.
    double value() const noexcept;
    // The sum divided by `count` (from 1), rounded likewise.
    double mean(std::uint64_t count) const noexcept;

  private:
    struct Wide;

    static constexpr std::uint64_t MANTISSA_MASK = (std::uint64_t{1} << 52) - 1;
    // The low 12 bits of _bits code the exponent: -exponent for [-1074, 0], 1074 + exponent
    // above; EMPTY while nothing was added, WIDE once the sum lives in a Wide, whose address
    // then takes the integer's place.
    static constexpr unsigned CODE_BITS = 12;
    static constexpr unsigned CODE_MASK = (1u << CODE_BITS) - 1;
    static constexpr unsigned EMPTY = CODE_MASK - 1;
    static constexpr unsigned WIDE = CODE_MASK;
    // Bits below the first value's lowest that the sum starts with: smaller values that come
    // later need no rescaling.
    static constexpr int MARGIN = 2;

    unsigned code() const noexcept {
        return static_cast<unsigned>(static_cast<std::uint64_t>(_bits)) & CODE_MASK;
    }
    Int128 integer() const noexcept { return _bits >> CODE_BITS; }
    int exponent() const noexcept;
    Wide* wide() const noexcept;
    // Sets the sum to `integer` * 2^exponent; false, with nothing changed, when the integer
    // does not fit.
    bool set(Int128 integer, int exponent) noexcept;

    // add() for the values the common case leaves.
    void addOther(double value);
    // Adds `value` * 2^exponent in the narrow form; false when it does not fit.
    bool addNarrow(Int128 value, int exponent) noexcept;
    void widen();
    // The magnitude's top 128 bits `top`, so that |sum| = (top + f) * 2^exponent with f in
    // [0, 1), f > 0 exactly when `sticky`; `top` has its bit 127 set unless it is exact.
    void parts(UInt128& top, std::int64_t& exponent, bool& sticky, bool& negative) const noexcept;

    Int128 _bits = EMPTY;  // integer << CODE_BITS | exponent code
};

#endif  // QELKIT_RECORDS_QEL_EXACT_SUM_H
