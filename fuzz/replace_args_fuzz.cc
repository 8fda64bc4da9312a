// SPDX-License-Identifier: Apache-2.0
// Fuzzes QelString::replaceAll and the placeholder operations (firstArg, lowestArg, doArg)
// against naive models written with std::string.
#include <cstdint>
#include <string>

#include "qelkit/strings/qel_string.h"

namespace {

std::string str(const RWCString& s) { return std::string(s.data(), s.length()); }

std::string referenceReplaceAll(const std::string& text, const std::string& from,
                                const std::string& to) {
    if (from.empty()) return text;
    std::string out;
    std::size_t pos = 0;
    for (std::size_t at; (at = text.find(from, pos)) != std::string::npos; pos = at + from.size())
        out += text.substr(pos, at - pos) + to;
    return out + text.substr(pos);
}

// Placeholders: '%', a digit 1-9, then an optional digit 0-9, scanned left to right without
// overlap. Returns the first and the lowest-numbered one (empty when there is none).
void referenceArgs(const std::string& s, std::string& first, std::string& lowest) {
    first.clear();
    lowest.clear();
    int lowestNumber = 1000;
    for (std::size_t i = 0; i + 1 < s.size();) {
        if (s[i] == '%' && s[i + 1] >= '1' && s[i + 1] <= '9') {
            std::size_t len = (i + 2 < s.size() && s[i + 2] >= '0' && s[i + 2] <= '9') ? 3 : 2;
            const std::string arg = s.substr(i, len);
            const int number = std::stoi(arg.substr(1));
            if (first.empty()) first = arg;
            if (number < lowestNumber) lowestNumber = number, lowest = arg;
            i += len;
        } else {
            ++i;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // Layout: two length bytes, then `from`, `to` and the text.
    const std::size_t fromLen = data[0] % 8, toLen = data[1] % 8;
    const std::string rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string from = rest.substr(0, fromLen);
    const std::string to = rest.substr(from.size(), toLen);
    const std::string text = rest.substr(from.size() + to.size());

    QelString s(text.data(), text.size());
    const QelString shared(s);
    s.replaceAll(QelString(from.data(), from.size()), QelString(to.data(), to.size()));
    if (str(s) != referenceReplaceAll(text, from, to)) __builtin_trap();
    if (str(shared) != text) __builtin_trap();

    std::string first, lowest;
    referenceArgs(text, first, lowest);
    QelString t(text.data(), text.size());
    if (str(t.firstArg()) != first || str(t.lowestArg()) != lowest) __builtin_trap();
    t.doArg(QelString(to.data(), to.size()));
    const std::string filled = lowest.empty() ? text + to : referenceReplaceAll(text, lowest, to);
    if (str(t) != filled) __builtin_trap();
    return 0;
}
