// SPDX-License-Identifier: Apache-2.0
// Drives QelTokenizer with a decoded sequence of reads, rewinds, jumps, one-byte steps and
// numeric reads, checking every result and position against a model that finds each token
// directly in the text and keeps its own ten-step history. RWCTokenizer is checked against the
// same model's plain split.
//
// Input: [op count][ops...][single delimiter][three set bytes][text...]
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "qelkit/foundation/rw_ctokenizer.h"
#include "qelkit/strings/etoken.h"

namespace {

std::string bytes(const RWCSubString& s) {
    return std::string(RWCConstSubString(s).data(), s.length());
}

// The model: position as a plain offset, tokens found by direct search.
struct Model {
    std::string text;
    long pos = 0;
    std::vector<long> history;

    long len() const { return static_cast<long>(text.size()); }
    static bool isDelim(char c, const std::string& set) {
        return c == '\0' || set.find(c) != std::string::npos;
    }
    void record(long step) {
        if (history.size() == 10) history.clear();
        history.push_back(step);
    }
    // The next token as (start, length), or start -1 when none is left.
    long read(const std::string& set, long& tokenLength) {
        long s = pos;
        while (s < len() && isDelim(text[s], set)) ++s;
        if (pos >= len() || s >= len()) {
            // A failed read stops just past the NUL it last stepped over.
            if (pos < len()) pos = text.back() == '\0' ? len() : len() + 1;
            return -1;
        }
        long e = s;
        while (e < len() && !isDelim(text[e], set)) ++e;
        record(e - pos);
        pos = e;
        tokenLength = e - s;
        return s;
    }
    std::string readText(const std::string& set) {
        long n = 0;
        const long s = read(set, n);
        return s < 0 ? std::string() : text.substr(s, n);
    }
};

bool sameDouble(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t ops = data[0] % 48;
    if (size < 1 + ops + 4) return 0;
    const std::uint8_t* op = data + 1;
    const char single[2] = {data[1 + ops] ? static_cast<char>(data[1 + ops]) : ',', '\0'};
    std::string multi;
    for (std::size_t i = 0; i < 3; ++i)
        if (data[2 + ops + i] != 0) multi += static_cast<char>(data[2 + ops + i]);
    const char* text = reinterpret_cast<const char*>(data + 5 + ops);
    const std::size_t textLength = size - 5 - ops;

    Model model;
    model.text.assign(text, textLength);
    QelTokenizer tok(RWCString(text, textLength));
    const std::string white = " \t\n";
    for (std::size_t i = 0; i < ops; ++i) {
        const unsigned arg = op[i] >> 3;
        switch (op[i] & 7) {
            case 0:
            case 1:
            case 7: {  // 7: the no-argument read, at white space
                const unsigned kind = op[i] & 7;
                const std::string set = kind == 0 ? single : kind == 1 ? multi : white;
                long n = 0;
                const long s = model.read(set, n);
                RWCSubString t = kind == 7 ? tok() : tok(set.c_str());
                check(s < 0 ? t.isNull()
                            : !t.isNull() && t.start() == static_cast<std::size_t>(s) &&
                                  bytes(t) == model.text.substr(s, n));
                break;
            }
            case 2:
                tok.rewind();
                if (!model.history.empty()) {
                    model.pos -= model.history.back();
                    model.history.pop_back();
                }
                break;
            case 3: {
                const long target = std::min<long>(arg, model.len());
                tok.location(arg);
                model.record(target - model.pos);
                model.pos = target;
                break;
            }
            case 4: {
                int expected = 0;
                if (!multi.empty() && model.pos < model.len() && model.text[model.pos] != '\0' &&
                    multi.find(model.text[model.pos]) != std::string::npos) {
                    expected = 1;
                    ++model.pos;
                }
                check(tok.advance(multi.c_str()) == expected);
                break;
            }
            case 5: {
                const char* set = (arg & 1) ? multi.c_str() : single;
                check(tok.nextInt(set) == std::atoi(model.readText(set).c_str()));
                break;
            }
            case 6: {
                const char* set = (arg & 1) ? multi.c_str() : single;
                check(sameDouble(tok.nextDouble(set), std::atof(model.readText(set).c_str())));
                break;
            }
        }
        check(tok.location() == model.pos);
        check(tok.atEnd() == (model.pos >= model.len()));
    }
    check(tok.string() == RWCString(text, textLength));

    // RWCTokenizer yields the same tokens as reads without rewinds, and the null token at the
    // end.
    Model plain;
    plain.text = model.text;
    RWCTokenizer vendor(RWCString(text, textLength));
    for (std::string expected = "-"; !expected.empty();) {
        expected = plain.readText(multi);
        RWCSubString t = vendor(multi.c_str());
        check(bytes(t) == expected && t.isNull() == expected.empty());
    }
    check(vendor.done());
    return 0;
}
