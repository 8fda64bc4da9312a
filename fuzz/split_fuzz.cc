// SPDX-License-Identifier: Apache-2.0
// Splits the input with QelStringCollection::split and cuts it with insertAndSplit, and checks
// both against naive byte loops: split gives the fields of a plain cut at every delimiter (then
// trimmed) of the text up to its first NUL byte, and without stripping concat joins them back to
// exactly that text; insertAndSplit gives non-empty pieces of at most `chunk` bytes that join back
// to the whole input, NUL bytes included, cut where the naive rule cuts.
//
// Input: [bits 0-1 strip type][delimiter][chunk as a signed byte][text...]
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qelkit/strings/qel_string_collection.h"

namespace {

using Fields = std::vector<std::string>;

void check(bool ok) {
    if (!ok) __builtin_trap();
}

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

Fields naiveSplit(const std::string& text, char d, int strip) {
    Fields out(1);
    for (char c : text.substr(0, text.find('\0'))) {
        if (c == d)
            out.emplace_back();
        else
            out.back() += c;
    }
    for (std::string& f : out) {
        if (strip & 1)
            while (!f.empty() && isSpace(f.front())) f.erase(0, 1);
        if (strip & 2)
            while (!f.empty() && isSpace(f.back())) f.pop_back();
    }
    return out;
}

Fields naiveChunks(const std::string& text, int chunk) {
    if (text.empty()) return {};
    if (chunk < 1) return {text};
    Fields out;
    std::size_t p = 0;
    while (p < text.size()) {
        std::size_t n = static_cast<std::size_t>(chunk);
        if (n > text.size() - p) n = text.size() - p;
        if (n > 1 && text.compare(p + n - 1, 3, "]]>") == 0) --n;
        out.push_back(text.substr(p, n));
        p += n;
    }
    return out;
}

Fields itemsOf(const QelStringCollection& c, int from) {
    Fields out;
    for (int i = from; i < c.entries(); ++i) out.emplace_back(c(i).data(), c(i).length());
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const int strip = data[0] & 3;
    const char delimiter = static_cast<char>(data[1]);
    const int chunk = static_cast<std::int8_t>(data[2]);
    const std::string text(reinterpret_cast<const char*>(data) + 3, size - 3);
    const QelString qtext(text.data(), text.size());

    // Start from one item so that the count returned must include items held before.
    QelStringCollection c;
    c.insert("held");
    const int total = c.split(qtext, static_cast<QelStringCollection::StripType>(strip), delimiter);
    const Fields fields = itemsOf(c, 1);
    check(fields == naiveSplit(text, delimiter, strip));
    check(total == 1 + static_cast<int>(fields.size()));
    if (strip == 0) {
        // Joined with the delimiter, the fields give back the input up to its first NUL byte,
        // after the held item.
        const QelString joined = c.concat(delimiter);
        check(std::string(joined.data(), joined.length()) ==
              "held" + std::string(1, delimiter) + text.substr(0, text.find('\0')));
    }

    QelStringCollection pieces;
    pieces.insertAndSplit(qtext, chunk);
    const Fields got = itemsOf(pieces, 0);
    std::string joined;
    for (const std::string& p : got) {
        check(!p.empty());
        check(chunk < 1 || p.size() <= static_cast<std::size_t>(chunk));
        joined += p;
    }
    check(joined == text);
    check(got == naiveChunks(text, chunk));
    return 0;
}
