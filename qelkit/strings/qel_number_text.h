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
    static Result read(std::string_view text, double& value) noexcept;
    // Appends `value` to `out` as "%.15g" writes it ("14.5635555555556", "1e+20", "-inf").
    static void append(std::string& out, double value);
};

#endif  // QELKIT_STRINGS_QEL_NUMBER_TEXT_H
