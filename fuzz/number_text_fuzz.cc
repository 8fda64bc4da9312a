// SPDX-License-Identifier: Apache-2.0
// QelNumberText on arbitrary text. read() must accept exactly the decimal numbers (blanks and
// tabs around, a sign, digits with a fraction, an exponent), give the double strtod gives in
// the C locale, and call a number OutOfRange exactly when strtod overflows. append() must
// write what snprintf's "%.15g" writes, for the number read and for the input's first eight
// bytes taken as a double.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "qelkit/strings/qel_number_text.h"

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

// [+-]? (digits [.digits?] | .digits) ([eE][+-]?digits)?, the whole of `s`.
bool decimal(std::string_view s) {
    std::size_t i = 0, n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    for (; i < n && digit(s[i]); ++i) ++digits;
    if (i < n && s[i] == '.')
        for (++i; i < n && digit(s[i]); ++i) ++digits;
    if (digits == 0) return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        if (++i < n && (s[i] == '+' || s[i] == '-')) ++i;
        if (i == n || !digit(s[i])) return false;
        while (i < n && digit(s[i])) ++i;
    }
    return i == n;
}

void checkAppend(double value) {
    char want[64];
    std::snprintf(want, sizeof want, "%.15g", value);
    std::string got;
    QelNumberText::append(got, value);
    check(got == want);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(input), size);
    double value = 0;
    const QelNumberText::Result result = QelNumberText::read(text, value);
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    const std::string core = first == std::string::npos ? "" : text.substr(first, last - first + 1);
    if (!decimal(core) || core.find('\0') != std::string::npos) {
        check(result == QelNumberText::NotANumber);
    } else {
        const double want = std::strtod(core.c_str(), nullptr);
        check((result == QelNumberText::OutOfRange) == std::isinf(want));
        if (result == QelNumberText::Ok) {
            check(std::memcmp(&value, &want, sizeof value) == 0);
            checkAppend(value);
        }
    }
    if (size >= 8) {
        double raw;
        std::memcpy(&raw, input, sizeof raw);
        checkAppend(raw);
    }
    return 0;
}
