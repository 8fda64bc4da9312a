// SPDX-License-Identifier: Apache-2.0
// The splitters of text into fields against a naive cut of the text (up to its first NUL byte)
// at every delimiter:
// - Tokenizer gives those fields, with collapsing the empty ones after the first dropped except
//   one after a trailing run; its end flag stays clear until the call after the last field;
//   NqStringTokenizer gives the same with the replacement byte turned into the delimiter;
// - QelStringCollection::split gives them trimmed as the strip type says, counted after the
//   items held before, and without stripping concat joins them back to the text;
// - insertAndSplit gives non-empty pieces of at most `chunk` bytes that join back to the whole
//   input, NUL bytes included, cut where the naive rule cuts.
//
// Input: [bit 0 collapse, bits 1-2 strip type][delimiter][replacement, and chunk as a signed
//         byte][text...]
#include <algorithm>
#include <cctype>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "qelkit/strings/nq_tokenizer.h"
#include "qelkit/strings/qel_string_collection.h"
#include "qelkit/strings/tokenizer.h"

namespace {

using Fields = std::vector<std::string>;

Fields naiveSplit(const std::string& text, char d) {
    Fields all(1);
    for (char c : text.substr(0, text.find('\0'))) {
        if (c == d)
            all.emplace_back();
        else
            all.back() += c;
    }
    return all;
}

Fields collapsed(const Fields& all) {
    Fields out{all[0]};
    for (std::size_t i = 1; i < all.size(); ++i)
        if (!all[i].empty()) out.push_back(all[i]);
    if (all.size() > 1 && all.back().empty()) out.emplace_back();
    return out;
}

Fields stripped(Fields fields, int strip) {
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    for (std::string& f : fields) {
        while (strip & 1 && !f.empty() && space(f.front())) f.erase(0, 1);
        while (strip & 2 && !f.empty() && space(f.back())) f.pop_back();
    }
    return fields;
}

Fields naiveChunks(const std::string& text, int chunk) {
    if (text.empty()) return {};
    if (chunk < 1) return {text};
    Fields out;
    for (std::size_t p = 0, n; p < text.size(); p += n) {
        n = std::min(static_cast<std::size_t>(chunk), text.size() - p);
        if (n > 1 && text.compare(p + n - 1, 3, "]]>") == 0) --n;
        out.push_back(text.substr(p, n));
    }
    return out;
}

std::string bytes(const QelString& s) { return std::string(s.data(), s.length()); }

// Takes fields until the end flag is set; traps if the end never comes.
template <class NextFn, class EndFn>
Fields collect(std::size_t limit, NextFn next, EndFn end) {
    Fields out;
    std::string field;
    for (field = next(); !end(); field = next()) {
        out.push_back(field);
        check(out.size() <= limit);
    }
    check(field.empty());
    for (int i = 0; i < 2; ++i) check(next().empty() && end());
    return out;
}

Fields itemsOf(const QelStringCollection& c, int from) {
    Fields out;
    for (int i = from; i < c.entries(); ++i) out.push_back(bytes(c(i)));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const bool collapse = data[0] & 1;
    const int strip = data[0] >> 1 & 3;
    const char d = static_cast<char>(data[1]), r = static_cast<char>(data[2]);
    const int chunk = static_cast<std::int8_t>(data[2]);
    const std::string raw(reinterpret_cast<const char*>(data + 3), size - 3);
    const std::string text = raw.substr(0, raw.find('\0'));
    const QelString input(raw.data(), raw.size());
    const Fields all = naiveSplit(raw, d), expected = collapse ? collapsed(all) : all;

    Tokenizer tok(input, collapse);
    check(collect(
              text.size() + 1, [&] { return bytes(tok.next(d)); }, [&] { return tok.end(); }) ==
          expected);
    NqStringTokenizer nq(input, d, collapse, r);
    NqTokenizer& source = nq;
    const Fields replaced = collect(
        text.size() + 1, [&] { return bytes(source.next()); }, [&] { return source.end(); });
    check(replaced.size() == expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        std::string want = expected[i];
        std::replace(want.begin(), want.end(), r, d);
        check(replaced[i] == want);
    }

    QelStringCollection c;  // one item held before, which the count must include
    c.insert("held");
    const int total = c.split(input, static_cast<QelStringCollection::StripType>(strip), d);
    check(itemsOf(c, 1) == stripped(all, strip) && total == 1 + static_cast<int>(all.size()));
    if (strip == 0) check(bytes(c.concat(d)) == "held" + std::string(1, d) + text);

    QelStringCollection pieces;
    pieces.insertAndSplit(input, chunk);
    check(itemsOf(pieces, 0) == naiveChunks(raw, chunk));
    return 0;
}
