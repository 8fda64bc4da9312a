// SPDX-License-Identifier: Apache-2.0
// Fuzzes the fixed-window year rule of QelLocaleSnapshot on arbitrary text against a direct
// reference: the first decimal integer (as scanf "%d" reads it through strtol), 0..68 to
// 2000..2068, 69..99 to 1969..1999, anything else kept; no number gives 4294967295 and "".
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_check.h"
#include "qelkit/datetime/qel_locale_snapshot.h"

namespace {

unsigned referenceValue(const char* text) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text) return 4294967295U;
    const unsigned u = static_cast<unsigned>(static_cast<int>(v));
    if (u >= 100) return u;
    return u < 69 ? u + 2000 : u + 1900;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Text up to the first NUL, as a C string.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* c = text.c_str();
    const unsigned expected = referenceValue(c);
    check(QelLocaleSnapshot::fixedWindowValue(c) == expected);
    const QelString s = QelLocaleSnapshot::fixedWindowString(c);
    if (expected == 4294967295U) {
        check(s.length() == 0);
    } else {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%4.4d", static_cast<int>(expected));
        check(s == buf);
    }
    // The numeric forms agree with the text forms on the value read.
    if (expected != 4294967295U && size >= 4) {
        const unsigned year = static_cast<unsigned>(data[0] | data[1] << 8 | data[2] << 16 |
                                                    static_cast<unsigned>(data[3]) << 24);
        const unsigned v = QelLocaleSnapshot::fixedWindowValue(year);
        check(v == (year >= 100 ? year : year < 69 ? year + 2000 : year + 1900));
        check(QelLocaleSnapshot::fixedWindowString(year) ==
              (v == 4294967295U ? QelString() : QelString::format("%4.4d", static_cast<int>(v))));
    }
    return 0;
}
