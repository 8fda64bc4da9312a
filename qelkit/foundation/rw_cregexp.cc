// SPDX-License-Identifier: Apache-2.0
// The regular-expression compiler and matcher.
//
// A pattern compiles to a chain of atoms, each a set of bytes with a quantifier. State i of the
// automaton means "atom i is next"; state m (the number of atoms) accepts. The live states are a
// bit set, so one subject byte advances all of them with a few word operations:
//   taken  = live & maskOf[byte]               atoms that accept the byte
//   next   = (taken << 1) | (taken & loops)    move on, or stay on a "*" / "+" atom
//   next  |= ((next & skips) + skips) ^ skips  fall through runs of "?" / "*" atoms
// The addition carries a bit from its lowest set position through each run of skippable atoms
// and one position past it: exactly the states reachable without consuming a byte.
//
// A search tries candidate start positions from left to right (found with memchr or a byte-set
// scan when the pattern must begin with particular bytes) and runs the automaton from each until
// no state is live, keeping the last accepting length. If those attempts grow costly (patterns
// with loops over long subjects), the rest of the subject is scanned once by a matcher that tags
// every state with its earliest start, which keeps the search linear.
#include "qelkit/foundation/rw_cregexp.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/internal/byte_scan.h"

namespace {

using Word = std::uint64_t;
constexpr std::size_t kWordBits = 64;
using qelkit_internal::ByteSet;

enum class Quant : unsigned char { one, optional, star, plus };

struct Atom {
    ByteSet set;
    Quant quant;
};

// Reads one member of a set at p[i], quoted or not; false when a "\" ends the pattern.
bool readSetByte(const unsigned char* p, std::size_t& i, std::size_t end, unsigned char& out) {
    if (p[i] == '\\') {
        if (i + 1 >= end) return false;
        out = p[i + 1];
        i += 2;
    } else {
        out = p[i++];
    }
    return true;
}

// Parses a set whose "[" has been consumed; i ends past its "]". False when malformed.
bool parseSet(const unsigned char* p, std::size_t& i, std::size_t end, ByteSet& set) {
    set = ByteSet{};
    bool negate = false;
    if (i < end && p[i] == '^') {
        negate = true;
        ++i;
    }
    for (bool first = true;; first = false) {
        if (i >= end) return false;
        if (p[i] == ']' && !first) {
            ++i;
            break;
        }
        unsigned char lo = 0;
        if (!readSetByte(p, i, end, lo)) return false;
        if (i + 1 < end && p[i] == '-' && p[i + 1] != ']') {
            ++i;
            unsigned char hi = 0;
            if (!readSetByte(p, i, end, hi) || hi < lo) return false;
            for (unsigned c = lo; c <= hi; ++c) set.add(static_cast<unsigned char>(c));
        } else {
            set.add(lo);
        }
    }
    if (negate) set.invert();
    return true;
}

struct Parsed {
    std::vector<Atom> atoms;
    bool anchorStart = false;
    bool anchorEnd = false;
};

RWCRegexp::statVal parsePattern(const unsigned char* p, std::size_t n, Parsed& out) {
    std::size_t i = 0;
    std::size_t end = n;
    if (n > 0 && p[0] == '^') {
        out.anchorStart = true;
        i = 1;
    }
    if (end > i && p[end - 1] == '$') {
        // The final "$" anchors unless an odd run of backslashes quotes it.
        std::size_t slashes = 0;
        while (end - 1 - slashes > i && p[end - 2 - slashes] == '\\') ++slashes;
        if (slashes % 2 == 0) {
            out.anchorEnd = true;
            --end;
        }
    }
    while (i < end) {
        const unsigned char c = p[i++];
        Atom atom{ByteSet{}, Quant::one};
        switch (c) {
            case '\\':
                if (i >= end) return RWCRegexp::ILLEGAL;
                atom.set.add(p[i++]);
                break;
            case '.':
                atom.set.invert();  // every byte
                break;
            case '[':
                if (!parseSet(p, i, end, atom.set)) return RWCRegexp::ILLEGAL;
                break;
            case '*':
            case '+':
            case '?':
                // Only a bare one-byte expression takes a quantifier.
                if (out.atoms.empty() || out.atoms.back().quant != Quant::one)
                    return RWCRegexp::ILLEGAL;
                out.atoms.back().quant = c == '*'   ? Quant::star
                                         : c == '+' ? Quant::plus
                                                    : Quant::optional;
                continue;
            default:
                atom.set.add(c);
                break;
        }
        if (out.atoms.size() == RWCRegexp::maxAtoms) return RWCRegexp::TOOLONG;
        out.atoms.push_back(atom);
    }
    return RWCRegexp::OK;
}

// Adds the states reachable from `live` without consuming a byte (see the file comment).
inline void closeOver(Word* live, const Word* skips, std::size_t words) noexcept {
    Word carry = 0;
    for (std::size_t k = 0; k < words; ++k) {
        const Word from = live[k] & skips[k];
        const Word partial = from + skips[k];
        const Word sum = partial + carry;
        carry = (partial < from) | (sum < partial);
        live[k] |= sum ^ skips[k];
    }
}

}  // namespace

struct RWCRegexp::Program {
    enum class Scan { every, byte, set };

    std::size_t atoms = 0;  // m; state m accepts
    std::size_t words = 1;  // words per state set: m / 64 + 1
    bool anchorStart = false;
    bool anchorEnd = false;
    std::vector<Word> masks;  // 256 rows of `words`: the atoms that accept each byte
    std::vector<Word> skips;  // atoms that may match nothing ("?", "*")
    std::vector<Word> loops;  // atoms that may repeat ("*", "+")
    std::vector<Word> init;   // states live before the first byte
    // Where a match can start: anywhere, or only at a byte of `firstBytes` (one byte: `first`).
    Scan scan = Scan::every;
    unsigned char first = 0;
    ByteSet firstBytes{};

    bool accepts(const Word* live) const noexcept {
        return (live[atoms / kWordBits] >> (atoms % kWordBits)) & 1;
    }
    bool testBit(const std::vector<Word>& bits, std::size_t i) const noexcept {
        return (bits[i / kWordBits] >> (i % kWordBits)) & 1;
    }
    bool takes(std::size_t atom, unsigned char c) const noexcept {
        return (masks[c * words + atom / kWordBits] >> (atom % kWordBits)) & 1;
    }

    // The first position >= q where a match may start, or RW_NPOS.
    std::size_t candidate(const unsigned char* s, std::size_t n, std::size_t q) const noexcept {
        switch (scan) {
            case Scan::every:
                return q <= n ? q : RW_NPOS;
            case Scan::byte: {
                if (q >= n) return RW_NPOS;
                const void* hit = std::memchr(s + q, first, n - q);
                return hit ? static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - s)
                           : RW_NPOS;
            }
            case Scan::set:
                for (; q < n; ++q)
                    if (firstBytes.has(static_cast<char>(s[q]))) return q;
                return RW_NPOS;
        }
        return RW_NPOS;
    }

    // Runs the automaton from position p; returns the longest accepted length or RW_NPOS.
    // `steps` counts the bytes consumed. This form is for patterns of up to 63 atoms, whose
    // states fit one word kept in a register.
    std::size_t attemptNarrow(const unsigned char* s, std::size_t n, std::size_t p,
                              std::size_t& steps) const noexcept {
        const Word* table = masks.data();
        const Word skip = skips[0];
        const Word loop = loops[0];
        const Word accept = Word{1} << atoms;
        Word live = init[0];
        std::size_t longest = RW_NPOS;
        for (std::size_t q = p;; ++q) {
            if ((live & accept) && (!anchorEnd || q == n)) longest = q - p;
            if (q == n) break;
            const Word taken = live & table[s[q]];
            live = (taken << 1) | (taken & loop);
            ++steps;
            if (live == 0) break;
            live |= ((live & skip) + skip) ^ skip;
        }
        return longest;
    }

    // The same for any number of atoms; `live` and `next` hold `words` words each.
    std::size_t attemptWide(const unsigned char* s, std::size_t n, std::size_t p, Word* live,
                            Word* next, std::size_t& steps) const noexcept {
        std::copy(init.begin(), init.end(), live);
        std::size_t longest = RW_NPOS;
        for (std::size_t q = p;; ++q) {
            if (accepts(live) && (!anchorEnd || q == n)) longest = q - p;
            if (q == n) break;
            const Word* mask = &masks[static_cast<std::size_t>(s[q]) * words];
            Word shifted = 0;
            Word any = 0;
            for (std::size_t k = 0; k < words; ++k) {
                const Word taken = live[k] & mask[k];
                next[k] = (taken << 1) | shifted | (taken & loops[k]);
                shifted = taken >> (kWordBits - 1);
                any |= next[k];
            }
            ++steps;
            if (any == 0) break;
            closeOver(next, skips.data(), words);
            std::swap(live, next);
        }
        return longest;
    }

    // Leftmost-longest search from position p in one pass: each state keeps the earliest start
    // of the threads that reached it (later ones have the same future and cannot win).
    std::size_t scanTagged(const unsigned char* s, std::size_t n, std::size_t p,
                           std::size_t* len) const {
        std::vector<std::size_t> cur(atoms + 1, RW_NPOS);
        std::vector<std::size_t> nxt(atoms + 1, RW_NPOS);
        std::size_t bestStart = RW_NPOS;
        std::size_t bestEnd = 0;
        for (std::size_t q = p;;) {
            if (bestStart == RW_NPOS) {
                // A new thread starting here; older threads in the same states start earlier.
                std::size_t j = 0;
                if (cur[0] == RW_NPOS) cur[0] = q;
                while (j < atoms && testBit(skips, j)) {
                    ++j;
                    if (cur[j] == RW_NPOS) cur[j] = q;
                }
            }
            if (cur[atoms] != RW_NPOS && (!anchorEnd || q == n) && cur[atoms] <= bestStart) {
                bestStart = cur[atoms];
                bestEnd = q;
            }
            if (q == n) break;
            const unsigned char c = s[q];
            std::fill(nxt.begin(), nxt.end(), RW_NPOS);
            for (std::size_t i = 0; i < atoms; ++i) {
                if (cur[i] == RW_NPOS || !takes(i, c)) continue;
                if (cur[i] < nxt[i + 1]) nxt[i + 1] = cur[i];
                if (testBit(loops, i) && cur[i] < nxt[i]) nxt[i] = cur[i];
            }
            bool alive = false;
            for (std::size_t i = 0; i <= atoms; ++i) {
                if (i < atoms && testBit(skips, i) && nxt[i] < nxt[i + 1]) nxt[i + 1] = nxt[i];
                if (bestStart != RW_NPOS && nxt[i] != RW_NPOS && nxt[i] > bestStart)
                    nxt[i] = RW_NPOS;  // cannot beat the match already found
                alive |= nxt[i] != RW_NPOS;
            }
            cur.swap(nxt);
            ++q;
            if (!alive) {
                if (bestStart != RW_NPOS) break;
                q = candidate(s, n, q);
                if (q == RW_NPOS) break;
            }
        }
        if (bestStart != RW_NPOS && len) *len = bestEnd - bestStart;
        return bestStart;
    }

    std::size_t search(const unsigned char* s, std::size_t n, std::size_t start,
                       std::size_t* len) const {
        std::vector<Word> scratch(words > 1 ? 2 * words : 0);
        std::size_t steps = 0;
        auto tryAt = [&](std::size_t p) {
            return words == 1 ? attemptNarrow(s, n, p, steps)
                              : attemptWide(s, n, p, scratch.data(), scratch.data() + words, steps);
        };
        if (anchorStart) {
            if (start != 0) return RW_NPOS;
            const std::size_t found = tryAt(0);
            if (found != RW_NPOS && len) *len = found;
            return found == RW_NPOS ? RW_NPOS : 0;
        }
        // Attempts from successive positions are cheap for most patterns; once they have cost
        // a few passes over the rest of the subject, finish with the linear scan.
        const std::size_t budget = 4 * (n - start) + 64;
        for (std::size_t p = candidate(s, n, start); p != RW_NPOS; p = candidate(s, n, p + 1)) {
            if (steps > budget) return scanTagged(s, n, p, len);
            const std::size_t found = tryAt(p);
            if (found != RW_NPOS) {
                if (len) *len = found;
                return p;
            }
        }
        return RW_NPOS;
    }
};

namespace {

std::shared_ptr<const RWCRegexp::Program> buildProgram(const Parsed& parsed) {
    auto prog = std::make_shared<RWCRegexp::Program>();
    const std::size_t m = parsed.atoms.size();
    const std::size_t w = m / kWordBits + 1;
    prog->atoms = m;
    prog->words = w;
    prog->anchorStart = parsed.anchorStart;
    prog->anchorEnd = parsed.anchorEnd;
    prog->masks.assign(256 * w, 0);
    prog->skips.assign(w, 0);
    prog->loops.assign(w, 0);
    prog->init.assign(w, 0);
    bool mandatorySeen = false;
    for (std::size_t i = 0; i < m; ++i) {
        const Atom& atom = parsed.atoms[i];
        const Word bit = Word{1} << (i % kWordBits);
        for (std::size_t k = 0; k < 4; ++k) {
            for (Word members = atom.set.word(k); members != 0; members &= members - 1) {
                const std::size_t c =
                    k * kWordBits + static_cast<std::size_t>(__builtin_ctzll(members));
                prog->masks[c * w + i / kWordBits] |= bit;
            }
        }
        if (atom.quant == Quant::optional || atom.quant == Quant::star)
            prog->skips[i / kWordBits] |= bit;
        if (atom.quant == Quant::star || atom.quant == Quant::plus)
            prog->loops[i / kWordBits] |= bit;
        // A match's first byte comes from an atom up to the first one that must match.
        if (!mandatorySeen) {
            prog->firstBytes |= atom.set;
            mandatorySeen = atom.quant == Quant::one || atom.quant == Quant::plus;
        }
    }
    prog->init[0] = 1;
    closeOver(prog->init.data(), prog->skips.data(), w);

    const std::size_t members = prog->firstBytes.count();
    if (!mandatorySeen || members == 256) {
        prog->scan = RWCRegexp::Program::Scan::every;
    } else if (members == 1) {
        prog->scan = RWCRegexp::Program::Scan::byte;
        for (std::size_t k = 0; k < 4; ++k)
            if (prog->firstBytes.word(k) != 0)
                prog->first = static_cast<unsigned char>(
                    k * kWordBits +
                    static_cast<std::size_t>(__builtin_ctzll(prog->firstBytes.word(k))));
    } else {
        prog->scan = RWCRegexp::Program::Scan::set;
    }
    return prog;
}

}  // namespace

RWCRegexp::RWCRegexp(const char* pat) { compile(pat, pat ? std::strlen(pat) : 0); }

RWCRegexp::RWCRegexp(const RWCString& pat) { compile(pat.data(), pat.length()); }

RWCRegexp::~RWCRegexp() = default;

RWCRegexp& RWCRegexp::operator=(const RWCString& pat) {
    compile(pat.data(), pat.length());
    return *this;
}

RWCRegexp& RWCRegexp::operator=(const char* pat) {
    compile(pat, pat ? std::strlen(pat) : 0);
    return *this;
}

void RWCRegexp::compile(const char* pat, std::size_t n) {
    prog_.reset();
    try {
        Parsed parsed;
        status_ = parsePattern(reinterpret_cast<const unsigned char*>(pat), n, parsed);
        if (status_ == OK) prog_ = buildProgram(parsed);
    } catch (const std::bad_alloc&) {
        status_ = NOMEM;
        prog_.reset();
    }
}

std::size_t RWCRegexp::index(const RWCString& str, std::size_t* len, std::size_t start) const {
    if (len) *len = 0;
    if (!prog_ || start > str.length()) return RW_NPOS;
    return prog_->search(reinterpret_cast<const unsigned char*>(str.data()), str.length(), start,
                         len);
}

// ---- The regular-expression searches of RWCString -----------------------------------------

std::size_t RWCString::index(const RWCRegexp& re, std::size_t start) const {
    return re.index(*this, nullptr, start);
}

std::size_t RWCString::index(const RWCRegexp& re, std::size_t* len, std::size_t start) const {
    return re.index(*this, len, start);
}

RWCSubString RWCString::operator()(const RWCRegexp& re, std::size_t start) {
    std::size_t len = 0;
    const std::size_t at = re.index(*this, &len, start);
    return at == RW_NPOS ? (*this)(RW_NPOS, 0) : (*this)(at, len);
}

RWCConstSubString RWCString::operator()(const RWCRegexp& re, std::size_t start) const {
    std::size_t len = 0;
    const std::size_t at = re.index(*this, &len, start);
    return at == RW_NPOS ? (*this)(RW_NPOS, 0) : (*this)(at, len);
}
