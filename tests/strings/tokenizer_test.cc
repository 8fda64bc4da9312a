#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "qelkit/strings/etoken.h"
#include "qelkit/strings/nq_tokenizer.h"
#include "qelkit/strings/tokenizer.h"

namespace {

using Fields = std::vector<std::string>;

std::string str(const RWCString& s) { return std::string(s.data(), s.length()); }

// Every token QelTokenizer yields with `skip` (null: its default set) until the null token.
Fields qelTokens(const std::string& text, const char* skip) {
    QelTokenizer tok(RWCString(text.data(), text.size()));
    Fields out;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        RWCSubString t = skip ? tok(skip) : tok();
        if (t.isNull()) break;
        out.emplace_back(RWCConstSubString(t).data(), t.length());
    }
    EXPECT_TRUE(tok(skip ? skip : " ").isNull()) << "end is not sticky";
    return out;
}

// Reference splitter: the text up to its first NUL cut at every delimiter. Collapsing keeps the
// first field, drops the empty later ones, and keeps one empty field after a trailing run.
Fields referenceSplit(std::string text, char d, bool collapse) {
    text = text.substr(0, text.find('\0'));
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

// Every field of a Tokenizer, checking the end flag stays clear until the call after the last.
Fields tokenizerFields(const std::string& text, char d, int collapse) {
    Tokenizer tok(QelString(text.data(), text.size()), collapse);
    Fields out;
    // A text of n bytes has at most n + 1 fields; the bound keeps a faulty end flag from hanging.
    for (std::size_t i = 0; i <= text.size() + 1; ++i) {
        QelString f = tok.next(d);
        if (tok.end()) {
            EXPECT_TRUE(f.isNull());
            break;
        }
        out.push_back(str(f));
    }
    EXPECT_TRUE(tok.next(d).isNull());
    EXPECT_NE(tok.end(), 0) << "end flag was cleared";
    return out;
}

TEST(QelTokenizer, SkipsDelimiterRunsAndEndsWithNullToken) {
    const struct {
        std::string text;
        const char* skip;
        Fields expected;
    } cases[] = {
        {"  one two  ", nullptr, {"one", "two"}},
        {"", nullptr, {}},
        {",,a,,b", ",", {"a", "b"}},
        {"a\tb\nc d", nullptr, {"a", "b", "c", "d"}},
        {"ab,;cd;", ",;", {"ab", "cd"}},
        {"ab cd", "", {"ab cd"}},
        {std::string("a\0b,\0\0c", 7), ",", {"a", "b", "c"}},
        {std::string("\0", 1), ",", {}},
        {"\xff\x80,\xfe", ",", {"\xff\x80", "\xfe"}},
        {"a\xff\xff"
         "b\xff",
         "\xff",
         {"a", "b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(qelTokens(c.text, c.skip), c.expected) << c.text;
}

TEST(QelTokenizer, TokensReferToOwnCopyOfText) {
    RWCString text("first-token-is-long second");
    QelTokenizer tok(text);
    RWCSubString first = tok();
    text.toUpper();
    EXPECT_EQ(first, "first-token-is-long");
    EXPECT_EQ(first.start(), 0u);
    EXPECT_EQ(tok().start(), 20u);
    EXPECT_EQ(tok.string(), "first-token-is-long second");
}

TEST(QelTokenizer, RewindRepeatsLastTokens) {
    QelTokenizer tok(RWCString("abc d e"));
    EXPECT_EQ(tok(), "abc");
    EXPECT_EQ(tok(), "d");
    tok.rewind();
    EXPECT_EQ(tok(), "d");
    tok.rewind();
    tok.rewind();
    EXPECT_EQ(tok.location(), 0);
    EXPECT_EQ(tok(), "abc");
    EXPECT_EQ(tok(), "d");
    EXPECT_EQ(tok(), "e");
}

TEST(QelTokenizer, NumericReadsGiveZeroWithoutNumber) {
    QelTokenizer ints(RWCString("12 x 7"));
    for (int expected : {12, 0, 7, 0, 0}) EXPECT_EQ(ints.nextInt(" "), expected);
    QelTokenizer doubles(RWCString("3.5 -2e3"));
    for (double expected : {3.5, -2000.0, 0.0}) EXPECT_DOUBLE_EQ(doubles.nextDouble(" "), expected);
    // The conversion sees only the token, not the digits after the delimiter.
    QelTokenizer digits(RWCString("1253"));
    EXPECT_EQ(digits.nextInt("5"), 12);
    EXPECT_EQ(digits.nextInt("5"), 3);
}

TEST(QelTokenizer, AdvanceStepsOverOneListedByte) {
    const struct {
        std::string text;
        const char* chars;
        int result;
        int location;
    } cases[] = {
        {";x", ",;", 1, 1},
        {"x", ",;", 0, 0},
        {"", ",;", 0, 0},
        {";x", "", 0, 0},
        {std::string("\0;", 2), ",;", 0, 0},
        {"\xe9x", "a\xe9", 1, 1},
    };
    for (const auto& c : cases) {
        QelTokenizer tok(RWCString(c.text.data(), c.text.size()));
        EXPECT_EQ(tok.advance(c.chars), c.result) << c.text;
        EXPECT_EQ(tok.location(), c.location) << c.text;
    }
}

TEST(QelTokenizer, UnrecordedMovesShiftLaterRewinds) {
    QelTokenizer tok(RWCString("ab;cd"));
    EXPECT_EQ(tok(";"), "ab");
    EXPECT_EQ(tok.advance(";"), 1);
    tok.rewind();  // undoes the 2-byte read from where advance left the position
    EXPECT_EQ(tok.location(), 1);

    // A read that finds no token steps over the terminating NUL and is not recorded.
    QelTokenizer trailing(RWCString("a  "));
    EXPECT_EQ(trailing(), "a");
    EXPECT_TRUE(trailing().isNull());
    EXPECT_EQ(trailing.location(), 4);
    EXPECT_TRUE(trailing.atEnd());
    trailing.rewind();
    EXPECT_EQ(trailing.location(), 3);
    EXPECT_TRUE(trailing().isNull());

    QelTokenizer nulEnd(RWCString("a\0", 2));
    EXPECT_EQ(nulEnd(), "a");
    EXPECT_TRUE(nulEnd().isNull());
    EXPECT_EQ(nulEnd.location(), 2);
}

TEST(QelTokenizer, LocationClampsAndIsRewound) {
    QelTokenizer tok(RWCString("abcde"));
    EXPECT_FALSE(tok.atEnd());
    tok.location(100);
    EXPECT_EQ(tok.location(), 5);
    EXPECT_TRUE(tok.atEnd());
    tok.rewind();
    EXPECT_EQ(tok.location(), 0);

    tok.location(4);
    tok.location(1);
    EXPECT_EQ(tok(), "bcde");
    tok.rewind();
    EXPECT_EQ(tok.location(), 1);
    tok.rewind();  // undoes the jump back
    EXPECT_EQ(tok.location(), 4);
    tok.rewind();
    EXPECT_EQ(tok.location(), 0);
}

TEST(QelTokenizer, HistoryHoldsTenStepsThenStartsOver) {
    const RWCString text("t0 t1 t2 t3 t4 t5 t6 t7 t8 t9 t10");
    QelTokenizer ten(text);
    for (int i = 0; i < 10; ++i) ten();
    for (int i = 0; i < 11; ++i) ten.rewind();
    EXPECT_EQ(ten.location(), 0);

    QelTokenizer eleven(text);
    for (int i = 0; i < 11; ++i) eleven();
    eleven.rewind();
    EXPECT_EQ(eleven.location(), 29);  // back to the end of "t9"
    eleven.rewind();
    EXPECT_EQ(eleven.location(), 29);
    EXPECT_EQ(eleven(), "t10");
}

#ifndef NDEBUG
TEST(QelTokenizerDeathTest, NullSkipSetAsserts) {
    QelTokenizer tok(RWCString("a b"));
    EXPECT_DEATH(tok(static_cast<const char*>(nullptr)), "skip");
}
#endif

// Random texts and operations against a model that finds each token directly in the text.
TEST(QelTokenizer, MatchesModelOnRandomOperations) {
    std::mt19937 rng(20240611);
    const char alphabet[] = {'a', 'b', ',', ' ', '\0', '\xff'};
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 12, ' ');
        for (char& c : text) c = alphabet[rng() % sizeof alphabet];
        const char* skip = (rng() % 2) ? "," : ", ";
        auto isDelim = [&](char c) { return c == '\0' || std::strchr(skip, c); };
        QelTokenizer tok(RWCString(text.data(), text.size()));
        const long len = static_cast<long>(text.size());
        long pos = 0;
        std::vector<long> history;
        for (int op = 0; op < 30; ++op) {
            switch (rng() % 4) {
                case 0:
                case 1: {
                    long s = pos;
                    while (s < len && isDelim(text[s])) ++s;
                    RWCSubString t = tok(skip);
                    if (pos < len && s < len) {
                        long e = s;
                        while (e < len && !isDelim(text[e])) ++e;
                        ASSERT_EQ(std::string(RWCConstSubString(t).data(), t.length()),
                                  text.substr(s, e - s));
                        if (history.size() == 10) history.clear();
                        history.push_back(e - pos);
                        pos = e;
                    } else {
                        ASSERT_TRUE(t.isNull());
                        if (pos < len) pos = text.back() == '\0' ? len : len + 1;
                    }
                    break;
                }
                case 2:
                    tok.rewind();
                    if (!history.empty()) {
                        pos -= history.back();
                        history.pop_back();
                    }
                    break;
                default: {
                    const long target = std::min<long>(rng() % 14, len);
                    tok.location(static_cast<unsigned>(target));
                    if (history.size() == 10) history.clear();
                    history.push_back(target - pos);
                    pos = target;
                }
            }
            ASSERT_EQ(tok.location(), pos) << "round " << round << " op " << op;
        }
    }
}

TEST(Tokenizer, SplitKeepsEmptyFieldsOrCollapsesRuns) {
    const struct {
        std::string text;
        int collapse;
        Fields expected;
    } cases[] = {
        {"a,,b", 0, {"a", "", "b"}},
        {"a,", 0, {"a", ""}},
        {"", 0, {""}},
        {",a", 0, {"", "a"}},
        {",", 0, {"", ""}},
        {"a,,b", 1, {"a", "b"}},
        {"a,,", 1, {"a", ""}},
        {",,a", 1, {"", "a"}},
        {",,,", 1, {"", ""}},
        {"abc", 1, {"abc"}},
        {std::string("a,b\0c,d", 7), 0, {"a", "b"}},
        {std::string("\0a", 2), 0, {""}},
        {"x\xffy\xe9", 0, {"x\xffy\xe9"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tokenizerFields(c.text, ',', c.collapse), c.expected)
            << c.text << " collapse " << c.collapse;
    EXPECT_EQ(tokenizerFields("x\xffy\xff\xff", '\xff', 1), (Fields{"x", "y", ""}));
}

TEST(Tokenizer, MatchesReferenceSplitOnRandomTexts) {
    std::mt19937 rng(7);
    const char alphabet[] = {'a', 'b', ';', ';', '\0', '\x90'};
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 16, ' ');
        for (char& c : text) c = alphabet[rng() % sizeof alphabet];
        for (int collapse : {0, 1})
            ASSERT_EQ(tokenizerFields(text, ';', collapse), referenceSplit(text, ';', collapse))
                << "round " << round;
    }
}

TEST(NqStringTokenizer, TurnsReplacementIntoDelimiter) {
    NqStringTokenizer tok(QelString("x;y,z"), ',', 0, ';');
    NqTokenizer& source = tok;
    for (const char* expected : {"x,y", "z"}) {
        EXPECT_EQ(source.next(), expected);
        EXPECT_EQ(source.end(), 0);
    }
    EXPECT_EQ(source.next(), "");
    EXPECT_NE(source.end(), 0);

    NqStringTokenizer collapsed(QelString("a||b"), '|', 1, '!');
    EXPECT_EQ(collapsed.next(), "a");
    EXPECT_EQ(collapsed.next(), "b");
}

}  // namespace
