// SPDX-License-Identifier: Apache-2.0
// Splits the input with Tokenizer and NqStringTokenizer and checks the fields against a naive
// split of the text up to its first NUL: without collapsing, the fields joined by the delimiter
// give back exactly that text; with collapsing, empty fields after the first are dropped except
// one after a trailing run. The end flag must stay clear until the call after the last field.
//
// Input: [flags: bit 0 collapse][delimiter][replacement][text...]
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qelkit/strings/nq_tokenizer.h"
#include "qelkit/strings/tokenizer.h"

namespace {

using Fields = std::vector<std::string>;

void check(bool ok) {
    if (!ok) __builtin_trap();
}

Fields naiveSplit(const std::string& text, char d, bool collapse) {
    Fields all(1);
    for (char c : text) {
        if (c == d)
            all.emplace_back();
        else
            all.back() += c;
    }
    if (!collapse) return all;
    Fields out{all[0]};
    for (std::size_t i = 1; i < all.size(); ++i)
        if (!all[i].empty()) out.push_back(all[i]);
    if (all.size() > 1 && all.back().empty()) out.emplace_back();
    return out;
}

std::string bytes(const QelString& s) { return std::string(s.data(), s.length()); }

// Takes fields until the end flag is set; traps if the end never comes.
template <class NextFn, class EndFn>
Fields collect(std::size_t limit, NextFn next, EndFn end) {
    Fields out;
    for (;;) {
        const std::string field = next();
        if (end()) {
            check(field.empty());
            break;
        }
        out.push_back(field);
        check(out.size() <= limit);
    }
    for (int i = 0; i < 2; ++i) check(next().empty() && end());
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const bool collapse = data[0] & 1;
    const char d = static_cast<char>(data[1]);
    const char r = static_cast<char>(data[2]);
    const std::string raw(reinterpret_cast<const char*>(data + 3), size - 3);
    const std::string text = raw.substr(0, raw.find('\0'));
    const QelString input(raw.data(), raw.size());

    Tokenizer tok(input, collapse);
    const Fields fields = collect(
        text.size() + 1, [&] { return bytes(tok.next(d)); }, [&] { return tok.end(); });
    const Fields expected = naiveSplit(text, d, collapse);
    check(fields == expected);
    if (!collapse) {
        std::string joined = fields[0];
        for (std::size_t i = 1; i < fields.size(); ++i) joined += d + fields[i];
        check(joined == text);
    }

    NqStringTokenizer nq(input, d, collapse, r);
    NqTokenizer& source = nq;
    const Fields replaced = collect(
        text.size() + 1, [&] { return bytes(source.next()); }, [&] { return source.end(); });
    check(replaced.size() == expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        std::string want = expected[i];
        for (char& c : want)
            if (c == r) c = d;
        check(replaced[i] == want);
    }
    return 0;
}
