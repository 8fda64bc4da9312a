#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "qelkit/foundation/rw_cregexp.h"
#include "qelkit/foundation/rw_cstring.h"

namespace {

using namespace std::string_literals;

RWCString rw(const std::string& s) { return RWCString(s.data(), s.size()); }

struct SearchCase {
    std::string pattern;
    std::string subject;
    std::size_t start;
    std::size_t pos;
    std::size_t len;
};

TEST(RWCRegexp, FindsLeftmostLongestMatch) {
    const std::size_t npos = RW_NPOS;
    const SearchCase cases[] = {
        {"%[123456789][0123456789]?", "a %12b", 0, 2, 3},
        {"%[123456789][0123456789]?", "%123", 0, 0, 3},
        {"%[123456789][0123456789]?", "%0 %9x", 0, 3, 2},
        {"%[123456789][0123456789]?", "100%", 0, npos, 0},
        {"%[1-9]", "x%1 %2", 2, 4, 2},  // search resumed past an earlier match
        {"a*", "baaa", 0, 0, 0},
        {"a+", "baaa", 0, 1, 3},
        {"ab*c?", "xabbbcd", 0, 1, 5},
        {"x*y", "xxxz xxy", 0, 5, 3},
        {".*", "abc", 1, 1, 2},
        {"a?a?aa", "aaa", 0, 0, 3},
        {"", "abc", 1, 1, 0},
        {"", "abc", 3, 3, 0},
        {"", "abc", 4, npos, 0},
        {"x?", "abc", 0, 0, 0},
        {"c", "abc", 3, npos, 0},
        // NUL and high bytes are ordinary bytes in subject and pattern.
        {"a.c", "za\0c"s, 0, 1, 3},
        {"[^a]", "a\0"s, 0, 1, 1},
        {"a\0+b"s, "a\0\0\0b"s, 0, 0, 5},
        {"\xe9+", "caf\xe9\xe9!", 0, 3, 2},
        {"[\x80-\xff]", "ab\xc3", 0, 2, 1},
        {"[^\x01-\xff]", "ab\0"s, 0, 2, 1},
        // Anchors, and "^" / "$" elsewhere as plain bytes.
        {"^ab", "abab", 0, 0, 2},
        {"^ab", "abab", 1, npos, 0},
        {"^a*", "bbb", 0, 0, 0},
        {"ab$", "abab", 0, 2, 2},
        {"b*$", "abb", 0, 1, 2},
        {"$", "abc", 1, 3, 0},
        {"^$", "", 0, 0, 0},
        {"^$", "a", 0, npos, 0},
        {"a^b", "xa^b", 0, 1, 3},
        {"a$b", "a$b", 0, 0, 3},
        {"a$*", "a$$", 0, 0, 3},
        {"a\\$", "a$x", 0, 0, 2},
        {"a\\\\$", "a\\a\\", 0, 2, 2},
        // Sets: "]" first and "-" first or last are members, "\" quotes inside too.
        {"[]a]+", "x]a]", 0, 1, 3},
        {"[a-]", "x-", 0, 1, 1},
        {"[-a]", "x-", 0, 1, 1},
        {"[^]]", "]]x", 0, 2, 1},
        {"[a\\]]+", "x]a", 0, 1, 2},
        {"[\\^\\-]+", "a-^b", 0, 1, 2},
        {"[a-cx-z]+", "dbyaw", 0, 1, 3},
        // Quoted syntax bytes.
        {"\\.", "a.b", 0, 1, 1},
        {"\\*+", "a**", 0, 1, 2},
        {"\\[a]", "[a]", 0, 0, 3},
    };
    for (const SearchCase& c : cases) {
        const RWCRegexp re(rw(c.pattern));
        ASSERT_EQ(re.status(), RWCRegexp::OK) << c.pattern;
        std::size_t len = 99;
        EXPECT_EQ(re.index(rw(c.subject), &len, c.start), c.pos)
            << "pattern '" << c.pattern << "' subject '" << c.subject << "'";
        EXPECT_EQ(len, c.len) << "pattern '" << c.pattern << "' subject '" << c.subject << "'";
    }
}

TEST(RWCRegexp, MalformedPatternsAreIllegalAndFindNothing) {
    const char* const bad[] = {"[abc", "[",   "[]",  "[^]",   "*a",    "+",     "?",    "^*",
                               "a**",  "a*?", "a+*", "abc\\", "[z-a]", "[a-\\", "[a\\", "\\"};
    for (const char* pattern : bad) {
        RWCRegexp re(pattern);
        EXPECT_EQ(re.status(), RWCRegexp::ILLEGAL) << pattern;
        std::size_t len = 7;
        EXPECT_EQ(re.index("abc[]*+?\\", &len), RW_NPOS) << pattern;
        EXPECT_EQ(len, 0u);
    }
    EXPECT_EQ(RWCRegexp(nullptr).status(), RWCRegexp::OK);
}

TEST(RWCRegexp, TooManyAtomsIsTooLong) {
    EXPECT_EQ(RWCRegexp(rw(std::string(RWCRegexp::maxAtoms, 'a'))).status(), RWCRegexp::OK);
    EXPECT_EQ(RWCRegexp(rw(std::string(RWCRegexp::maxAtoms + 1, 'a'))).status(),
              RWCRegexp::TOOLONG);
}

TEST(RWCRegexp, CopiesAndAssignmentsKeepTheirOwnPattern) {
    RWCRegexp re("b+");
    const RWCRegexp copy(re);
    re = "[";
    EXPECT_EQ(re.status(), RWCRegexp::ILLEGAL);
    std::size_t len = 0;
    EXPECT_EQ(copy.index("abbc", &len), 1u);
    EXPECT_EQ(len, 2u);
    re = RWCString("c$");
    EXPECT_EQ(re.status(), RWCRegexp::OK);
    EXPECT_EQ(re.index("abbc", &len), 3u);
    re = copy;
    EXPECT_EQ(re.index("abbc", nullptr, 2), 2u);
}

TEST(RWCRegexp, StringSearchesReturnMatchOrNullSubString) {
    RWCString s("ab %12 %3");
    const RWCRegexp re("%[1-9][0-9]?");
    std::size_t len = 0;
    EXPECT_EQ(s.index(re), 3u);
    EXPECT_EQ(s.index(re, &len, 4), 7u);
    EXPECT_EQ(len, 2u);
    EXPECT_TRUE(s(re) == "%12");
    EXPECT_EQ(s(re, 4).start(), 7u);
    const RWCString& cs = s;
    EXPECT_TRUE(cs(re, 4) == "%3");
    EXPECT_TRUE(cs(re, 8).isNull());
    EXPECT_TRUE(s(RWCRegexp("z")).isNull());
    s(re) = "X";
    EXPECT_TRUE(s == "ab X %3");
}

// ---- Comparison with a reference matcher ------------------------------------------------

struct RefAtom {
    std::bitset<256> set;
    char quant;  // 0, '?', '*' or '+'
};

struct RefPattern {
    std::vector<RefAtom> atoms;
    bool anchorStart = false;
    bool anchorEnd = false;
};

// Leftmost-longest by dynamic programming: end[i][p] is the furthest end of a match of atoms
// i.. starting at p, or -1.
class Reference {
  public:
    Reference(const RefPattern& pat, const std::string& s)
        : pat_(pat), n_(s.size()), end_(pat.atoms.size() + 1, std::vector<long>(n_ + 2, -1)) {
        const std::size_t m = pat.atoms.size();
        for (std::size_t p = n_ + 1; p-- > 0;) {
            end_[m][p] = (!pat.anchorEnd || p == n_) ? static_cast<long>(p) : -1;
            for (std::size_t i = m; i-- > 0;) {
                const RefAtom& a = pat.atoms[i];
                const bool takes = p < n_ && a.set[static_cast<unsigned char>(s[p])];
                long best = -1;
                if (a.quant == '?' || a.quant == '*') best = end_[i + 1][p];
                if (takes) {
                    best = std::max(best, end_[i + 1][p + 1]);
                    if (a.quant == '*' || a.quant == '+') best = std::max(best, end_[i][p + 1]);
                }
                end_[i][p] = best;
            }
        }
    }

    void search(std::size_t start, std::size_t& pos, std::size_t& len) const {
        pos = RW_NPOS;
        len = 0;
        for (std::size_t p = start; p <= n_; ++p) {
            if (pat_.anchorStart && p != 0) break;
            if (end_[0][p] >= 0) {
                pos = p;
                len = static_cast<std::size_t>(end_[0][p]) - p;
                return;
            }
        }
    }

  private:
    const RefPattern& pat_;
    std::size_t n_;
    std::vector<std::vector<long>> end_;
};

const char kAlphabet[] = {'a', 'b', 'c', '\0', '\xff', ']', '-', '^', '\\', '.', '*', '$'};

std::string quoted(char c) {
    const std::string syntax = "]-^\\.*+?[$";
    return syntax.find(c) != std::string::npos ? std::string("\\") + c : std::string(1, c);
}

// A random pattern and its text; syntax bytes are quoted where they would otherwise be syntax.
// Loose patterns are mostly "." and skippable atoms, so that long ones still match.
std::string randomPattern(std::mt19937& rng, RefPattern& pat, std::size_t maxAtoms,
                          bool loose = false) {
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    std::string text;
    pat = RefPattern{};
    pat.anchorStart = pick(5) == 0;
    pat.anchorEnd = pick(5) == 0;
    if (pat.anchorStart) text += '^';
    const std::size_t m = pick(maxAtoms + 1);
    for (std::size_t i = 0; i < m; ++i) {
        RefAtom atom{{}, 0};
        const std::size_t kind = pick(6);
        if (kind == 0 || (loose && kind < 3)) {
            atom.set.set();
            text += '.';
        } else if (kind == 1) {
            const bool negate = pick(2) == 0;
            text += negate ? "[^" : "[";
            if (pick(3) == 0) {
                text += "a-c";
                for (char c = 'a'; c <= 'c'; ++c) atom.set.set(static_cast<unsigned char>(c));
            }
            for (std::size_t k = 1 + pick(3); k-- > 0;) {
                const char c = kAlphabet[pick(sizeof kAlphabet)];
                text += quoted(c);
                atom.set.set(static_cast<unsigned char>(c));
            }
            text += ']';
            if (negate) atom.set.flip();
        } else {
            const char c = kAlphabet[pick(sizeof kAlphabet)];
            text += quoted(c);
            atom.set.set(static_cast<unsigned char>(c));
        }
        const char quants[] = {0, 0, '?', '*', '+'};
        // Loose: "." or ".?", anything else "?" or "*".
        const char dotQuants[] = {0, '?'};
        const char otherQuants[] = {'?', '*'};
        if (!loose)
            atom.quant = quants[pick(sizeof quants)];
        else
            atom.quant = atom.set.all() ? dotQuants[pick(2)] : otherQuants[pick(2)];
        if (atom.quant) text += atom.quant;
        pat.atoms.push_back(atom);
    }
    if (pat.anchorEnd) text += '$';
    return text;
}

std::string randomSubject(std::mt19937& rng, std::size_t maxLen) {
    std::string s(rng() % (maxLen + 1), 'a');
    for (char& c : s) c = kAlphabet[rng() % 6];  // mostly bytes the patterns name
    return s;
}

void expectAgreement(const RefPattern& pat, const std::string& text, const std::string& subject) {
    const RWCRegexp re(rw(text));
    ASSERT_EQ(re.status(), RWCRegexp::OK) << text;
    const RWCString str = rw(subject);
    const Reference ref(pat, subject);
    for (std::size_t start = 0; start <= subject.size() + 1; ++start) {
        std::size_t wantPos = 0, wantLen = 0, len = 0;
        ref.search(start, wantPos, wantLen);
        const std::size_t pos = re.index(str, &len, start);
        ASSERT_EQ(pos, wantPos) << "pattern '" << text << "' start " << start;
        ASSERT_EQ(len, wantLen) << "pattern '" << text << "' start " << start;
        if (pos == RW_NPOS) break;  // later starts cannot match either
    }
}

TEST(RWCRegexp, AgreesWithReferenceOnRandomPatterns) {
    std::mt19937 rng(20240611);
    RefPattern pat;
    for (int round = 0; round < 4000; ++round) {
        const std::string text = randomPattern(rng, pat, 6);
        expectAgreement(pat, text, randomSubject(rng, 24));
    }
    // Patterns wider than one word of states.
    for (int round = 0; round < 150; ++round) {
        const std::string text = randomPattern(rng, pat, 150, round % 2 == 0);
        expectAgreement(pat, text, randomSubject(rng, 160));
    }
}

TEST(RWCRegexp, StaysLinearWhenEveryStartFailsLate) {
    // Each start position runs to the end before failing: the search must not be quadratic.
    RefPattern pat;
    pat.atoms = {RefAtom{{}, '*'}, RefAtom{{}, 0}};
    pat.atoms[0].set.set('a');
    pat.atoms[1].set.set('b');
    const std::string subjects[] = {std::string(100000, 'a'), std::string(100000, 'a') + "cab",
                                    "c" + std::string(3000, 'a') + "b"};
    const RWCRegexp re("a*b");
    for (const std::string& subject : subjects) {
        std::size_t wantPos = 0, wantLen = 0, len = 0;
        Reference(pat, subject).search(0, wantPos, wantLen);
        const RWCString str = rw(subject);
        // Linear work takes milliseconds; trying every start to the end would take far longer.
        const auto before = std::chrono::steady_clock::now();
        EXPECT_EQ(re.index(str, &len), wantPos);
        const auto elapsed = std::chrono::steady_clock::now() - before;
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 2000);
        EXPECT_EQ(len, wantLen);
    }
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        const std::string text = randomPattern(rng, pat, 4);
        expectAgreement(pat, text, randomSubject(rng, 300));
    }
}

TEST(RWCRegexp, ConcurrentSearchesOfOneExpressionAgree) {
    const RWCRegexp re("%[1-9][0-9]?");
    const RWCString text("x %1 y %23 z %456 %0");
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                std::size_t len = 0;
                if (re.index(text, &len, 5) != 7 || len != 3) ++failures[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
