// SPDX-License-Identifier: Apache-2.0
// QelNumberText: decimal numbers read from text and written as text, strictly, exactly and
// fast, whatever the program's locale: the numbers of delimited data files.
//
// read() takes a whole field as a finite number: blanks and tabs around it, an optional sign,
// digits with an optional fraction and an optional exponent ("-12.75", "+3", "1.5e-3", ".5").
// The result is the nearest double. Anything else ("", "abc", "nan", "inf", "1.5x", "--1") is
// NotANumber; a number beyond the largest double ("1e400") is OutOfRange; one too small for a
// double reads as the nearest one (0 or a subnormal). The common readings (at most 15 digits)
// take Clinger's fast path: one exact integer, one division by an exact power of ten.
//
// append() writes a double as printf's "%.15g" does in the C locale, digit for digit; for
// magnitudes from 1e-4 to 1e15, the range of most readings and their means, with integer
// arithmetic only, several times faster than printf.
//
// Thread-safety: both are pure functions and may run on any number of threads. Failure: read()
// reports through its result and never throws; append() throws only std::bad_alloc.
#ifndef QELKIT_STRINGS_QEL_NUMBER_TEXT_H
#define QELKIT_STRINGS_QEL_NUMBER_TEXT_H

#include <string>
#include <string_view>

#include "qelkit/export.h"

class QELKIT_API QelNumberText {
  public:
    enum Result { Ok, NotANumber, OutOfRange };

    // Reads the whole of `text` into `value`; on any Result but Ok, `value` is unspecified.
    // The common readings are read here, inline; the rest out of line.
    static Result read(std::string_view text, double& value) noexcept {
        if (plainDecimal(text.data(), text.data() + text.size(), value)) return Ok;
        return readOther(text, value);
    }
    // Appends `value` to `out` as "%.15g" writes it ("14.5635555555556", "1e+20", "-inf").
    static void append(std::string& out, double value);

  private:
    static constexpr double kPowersOfTen[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

    // The common readings ("-12.75"): a '-', at most 15 digits and a point, nothing else.
    // Their digits make an integer below 2^53 and the point a power of ten that a double holds
    // exactly, so one division gives the correctly rounded value (Clinger's fast path).
    static bool plainDecimal(const char* p, const char* end, double& value) noexcept {
        const bool negative = p < end && *p == '-';
        if (negative) ++p;
        if (p == end || end - p > 16) return false;
        unsigned long long digits = 0;
        const char* point = nullptr;
        for (const char* q = p; q < end; ++q) {
            const unsigned digit = static_cast<unsigned char>(*q) - unsigned{'0'};
            if (digit < 10) {
                digits = digits * 10 + digit;
                continue;
            }
            if (*q != '.' || point != nullptr) return false;
            point = q;
        }
        const long count = (end - p) - (point != nullptr ? 1 : 0);
        if (count == 0 || count > 15) return false;
        value = static_cast<double>(digits) / kPowersOfTen[point != nullptr ? end - point - 1 : 0];
        if (negative) value = -value;
        return true;
    }
    // read() for the texts plainDecimal() leaves: blanks, a '+', exponents, long digit runs.
    static Result readOther(std::string_view text, double& value) noexcept;
};

#endif  // QELKIT_STRINGS_QEL_NUMBER_TEXT_H
