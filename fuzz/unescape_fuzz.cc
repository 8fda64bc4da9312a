// SPDX-License-Identifier: Apache-2.0
// Fuzzes QelString::unescape against a literal model: remove each backslash in turn, translate
// the byte after it, and go on searching after the escaped byte.
#include <cstdint>
#include <string>

#include "qelkit/foundation/rw_errors.h"
#include "qelkit/strings/qel_string.h"

namespace {

// Returns false when the text ends in a lone backslash.
bool referenceUnescape(std::string s, std::string& out) {
    std::size_t p = s.find('\\');
    while (p != std::string::npos) {
        if (p + 1 >= s.size()) return false;
        s.erase(p, 1);
        char& c = s[p];
        if (c == 'n') c = '\n';
        if (c == 'r') c = '\r';
        if (c == 't') c = '\t';
        p = s.find('\\', p + 1);
    }
    out = s;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    QelString s(text.data(), text.size());
    std::string expected;
    const bool ok = referenceUnescape(text, expected);
    try {
        QelString got = s.unescape();
        if (!ok || std::string(got.data(), got.length()) != expected) __builtin_trap();
    } catch (const RWBoundsErr&) {
        if (ok) __builtin_trap();
    }
    // unescape works on a copy.
    if (std::string(s.data(), s.length()) != text) __builtin_trap();
    return 0;
}
