// SPDX-License-Identifier: Apache-2.0
// Fuzzes RWCRegexp compilation and search. The input is a pattern and a subject: the first two
// bytes give the pattern's length (up to 200 bytes, so some patterns need more than one word of
// states), the pattern follows, the rest is the subject. A reference written here parses the
// pattern on its own and searches by dynamic programming; compilation must succeed exactly when
// the reference accepts the pattern, and every search must find the same position and length.
#include <algorithm>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "qelkit/foundation/rw_cregexp.h"
#include "qelkit/foundation/rw_cstring.h"

namespace {

struct Token {
    unsigned char byte;
    bool quoted;
};

struct RefAtom {
    std::bitset<256> set;
    char quant = 0;  // 0, '?', '*' or '+'
};

struct RefPattern {
    std::vector<RefAtom> atoms;
    bool anchorStart = false;
    bool anchorEnd = false;
};

bool isPlain(const Token& t, char c) {
    return !t.quoted && t.byte == static_cast<unsigned char>(c);
}

// Tokenizes first ("\x" is a quoted x everywhere), then reads atoms from the tokens.
bool referenceParse(const unsigned char* p, std::size_t n, RefPattern& out) {
    std::size_t i = 0;
    if (n > 0 && p[0] == '^') {
        out.anchorStart = true;
        i = 1;
    }
    std::vector<Token> tokens;
    while (i < n) {
        if (p[i] == '\\') {
            if (i + 1 == n) return false;
            tokens.push_back({p[i + 1], true});
            i += 2;
        } else {
            tokens.push_back({p[i], false});
            i += 1;
        }
    }
    if (!tokens.empty() && isPlain(tokens.back(), '$')) {
        out.anchorEnd = true;
        tokens.pop_back();
    }
    for (std::size_t t = 0; t < tokens.size(); ++t) {
        const Token& tok = tokens[t];
        if (!tok.quoted && (tok.byte == '*' || tok.byte == '+' || tok.byte == '?')) {
            if (out.atoms.empty() || out.atoms.back().quant != 0) return false;
            out.atoms.back().quant = static_cast<char>(tok.byte);
            continue;
        }
        RefAtom atom;
        if (isPlain(tok, '.')) {
            atom.set.set();
        } else if (isPlain(tok, '[')) {
            ++t;
            const bool negate = t < tokens.size() && isPlain(tokens[t], '^');
            if (negate) ++t;
            bool closed = false;
            for (bool first = true; t < tokens.size(); ++t, first = false) {
                if (isPlain(tokens[t], ']') && !first) {
                    closed = true;
                    break;
                }
                const unsigned lo = tokens[t].byte;
                if (t + 2 < tokens.size() && isPlain(tokens[t + 1], '-') &&
                    !isPlain(tokens[t + 2], ']')) {
                    const unsigned hi = tokens[t + 2].byte;
                    if (hi < lo) return false;
                    for (unsigned c = lo; c <= hi; ++c) atom.set.set(c);
                    t += 2;
                } else {
                    atom.set.set(lo);
                }
            }
            if (!closed) return false;
            if (negate) atom.set.flip();
        } else {
            atom.set.set(tok.byte);
        }
        out.atoms.push_back(atom);
    }
    return true;
}

// Leftmost-longest search: for each start p, the furthest end of a match of all atoms, found
// by filling end[i] (atoms i.. from p) from the subject's end backwards.
std::vector<long> referenceEnds(const RefPattern& pat, const unsigned char* s, std::size_t n) {
    const std::size_t m = pat.atoms.size();
    std::vector<long> result(n + 1, -1);
    std::vector<long> later(m + 1, -1), here(m + 1, -1);  // columns p + 1 and p
    for (std::size_t p = n + 1; p-- > 0;) {
        here[m] = (!pat.anchorEnd || p == n) ? static_cast<long>(p) : -1;
        for (std::size_t i = m; i-- > 0;) {
            const RefAtom& a = pat.atoms[i];
            const bool takes = p < n && a.set[s[p]];
            long best = (a.quant == '?' || a.quant == '*') ? here[i + 1] : -1;
            if (takes) {
                best = std::max(best, later[i + 1]);
                if (a.quant == '*' || a.quant == '+') best = std::max(best, later[i]);
            }
            here[i] = best;
        }
        result[p] = here[0];
        later.swap(here);
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t patLen = std::min<std::size_t>((data[0] | data[1] << 8) % 201, size - 2);
    const unsigned char* pat = data + 2;
    const unsigned char* subject = pat + patLen;
    const std::size_t n = size - 2 - patLen;

    const RWCRegexp re(RWCString(reinterpret_cast<const char*>(pat), patLen));
    RefPattern ref;
    const bool legal = referenceParse(pat, patLen, ref);
    check(re.status() == (legal ? RWCRegexp::OK : RWCRegexp::ILLEGAL));

    const RWCString str(reinterpret_cast<const char*>(subject), n);
    if (!legal) {
        std::size_t len = 5;
        check(re.index(str, &len, 0) == RW_NPOS && len == 0);
        return 0;
    }
    const std::vector<long> ends = referenceEnds(ref, subject, n);
    const RWCRegexp copy(re);
    const std::size_t starts[] = {0, 1, 2, n / 3, n / 2, n > 0 ? n - 1 : 0, n, n + 1};
    for (std::size_t start : starts) {
        std::size_t wantPos = RW_NPOS, wantLen = 0;
        for (std::size_t p = start; p <= n; ++p) {
            if (ref.anchorStart && p != 0) break;
            if (ends[p] >= 0) {
                wantPos = p;
                wantLen = static_cast<std::size_t>(ends[p]) - p;
                break;
            }
        }
        std::size_t len = 12345;
        const std::size_t pos = re.index(str, &len, start);
        check(pos == wantPos && len == wantLen);
        check(copy.index(str, nullptr, start) == wantPos);
    }
    return 0;
}
