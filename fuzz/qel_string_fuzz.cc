// SPDX-License-Identifier: Apache-2.0
// QelString's text edits against naive models written with std::string: replaceAll; the
// placeholders ("%" then a digit 1-9 and an optional digit, scanned left to right without
// overlap) that firstArg, lowestArg and doArg find; unescape, which removes each backslash in
// turn, translates the byte after it and goes on after that byte; the counts of a byte (up to
// the first NUL) and of words (runs of bytes other than blank, tab, newline and NUL); reversal,
// white space stripped, quoting, bytes removed or replaced, a newline ended with. Every edit
// works on a copy or leaves a shared copy alone.
//
// Input: [length of from % 8][length of to % 8][from][to][text...]
#include <algorithm>
#include <cctype>
#include <cstring>

#include "fuzz/fuzz_check.h"
#include "qelkit/foundation/rw_errors.h"
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

// The first and the lowest-numbered placeholder (empty when there is none).
void referenceArgs(const std::string& s, std::string& first, std::string& lowest) {
    int lowestNumber = 1000;
    for (std::size_t i = 0; i + 1 < s.size();) {
        if (s[i] == '%' && s[i + 1] >= '1' && s[i + 1] <= '9') {
            const std::size_t len = i + 2 < s.size() && s[i + 2] >= '0' && s[i + 2] <= '9' ? 3 : 2;
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

// False when the text ends in a lone backslash.
bool referenceUnescape(std::string s, std::string& out) {
    for (std::size_t p = s.find('\\'); p != std::string::npos; p = s.find('\\', p + 1)) {
        if (p + 1 >= s.size()) return false;
        s.erase(p, 1);
        char& c = s[p];
        c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
    out = s;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string from = rest.substr(0, data[0] % 8);
    const std::string to = rest.substr(from.size(), data[1] % 8);
    const std::string text = rest.substr(from.size() + to.size());
    const QelString qto(to.data(), to.size());

    QelString s(text.data(), text.size());
    const QelString shared(s);
    s.replaceAll(QelString(from.data(), from.size()), qto);
    check(str(s) == referenceReplaceAll(text, from, to) && str(shared) == text);

    std::string first, lowest;
    referenceArgs(text, first, lowest);
    QelString t(shared);
    check(str(t.firstArg()) == first && str(t.lowestArg()) == lowest);
    t.doArg(qto);
    check(str(t) == (lowest.empty() ? text + to : referenceReplaceAll(text, lowest, to)));

    std::string expected;
    const bool ok = referenceUnescape(text, expected);
    QelString u(shared);
    try {
        const QelString got = u.unescape();
        check(ok && str(got) == expected);
    } catch (const RWBoundsErr&) {
        check(!ok);
    }
    check(str(u) == text && str(shared) == text);

    const char a = from.empty() ? 'a' : from[0], b = to.empty() ? '\0' : to[0];
    const std::string upToNul = text.substr(0, text.find('\0'));
    check(shared.numberof(a) == (a ? std::count(upToNul.begin(), upToNul.end(), a) : 0));
    int words = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        words += !std::strchr(" \t\n", text[i]) && (i == 0 || std::strchr(" \t\n", text[i - 1]));
    check(shared.numberofwords() == words);
    QelString w(shared);
    check(str(w.reverse()) == std::string(text.rbegin(), text.rend()));
    w = shared;
    const auto space = [](char ch) { return std::isspace(static_cast<unsigned char>(ch)) != 0; };
    const std::size_t lead = std::find_if_not(text.begin(), text.end(), space) - text.begin();
    const std::size_t end = text.rend() - std::find_if_not(text.rbegin(), text.rend(), space);
    check(str(w.stripWhiteSpace(RWCString::leading)) == text.substr(std::min(lead, text.size())) &&
          str(w.stripWhiteSpace(RWCString::trailing)) == text.substr(0, end) &&
          str(w.stripWhiteSpace(RWCString::both)) ==
              (lead < end ? text.substr(lead, end - lead) : ""));
    std::string reduced = text, transposed = text;
    reduced.erase(std::remove_if(reduced.begin(), reduced.end(),
                                 [&](char ch) { return to.find(ch) != std::string::npos; }),
                  reduced.end());
    std::replace(transposed.begin(), transposed.end(), a, b);
    check(str(shared.quote(qto)) == to + text + to && str(shared.reduce(qto)) == reduced);
    check(str(shared.transpose(a, b)) == transposed);
    w = shared;
    w.endWithNewline();
    check(str(w) == (text.empty() || text.back() == '\n' ? text : text + "\n"));
    return 0;
}
