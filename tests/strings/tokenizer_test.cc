// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qelkit/strings/etoken.h"
#include "qelkit/strings/nq_tokenizer.h"
#include "qelkit/strings/tokenizer.h"

namespace {

using Fields = std::vector<std::string>;

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

// Runs `script` over text: "<" rewinds, ">N" calls location(N), "=N" expects location() N (and
// atEnd() exactly when N reaches the length), "+Rchars" expects advance(chars) to return R, "-"
// expects the null token, anything else expects that token from tok().
void runScript(const std::string& text, const Fields& script) {
    QelTokenizer tok(RWCString(text.data(), text.size()));
    for (const std::string& s : script) {
        SCOPED_TRACE(text + " at " + s);
        if (s == "<") {
            tok.rewind();
        } else if (s[0] == '>') {
            tok.location(static_cast<unsigned>(std::stoul(s.substr(1))));
        } else if (s[0] == '=') {
            EXPECT_EQ(tok.location(), std::stoi(s.substr(1)));
            EXPECT_EQ(tok.atEnd(), std::stoul(s.substr(1)) >= text.size());
        } else if (s[0] == '+') {
            EXPECT_EQ(tok.advance(s.c_str() + 2), s[1] - '0');
        } else {
            const RWCSubString t = tok();
            EXPECT_EQ(t.isNull() ? "-" : std::string(RWCConstSubString(t).data(), t.length()), s);
        }
    }
}

// Every field of a Tokenizer, checking the end flag stays clear until the call after the last
// and stays set after it.
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
        out.emplace_back(f.data(), f.length());
    }
    EXPECT_TRUE(tok.next(d).isNull());
    EXPECT_EQ(tok.end(), 1) << "end flag was cleared";
    return out;
}

TEST(QelTokenizer, SkipsDelimiterRunsAndEndsWithNullToken) {
    const struct {
        std::string text;
        const char* skip;
        Fields expected;
    } cases[] = {
        {"", nullptr, {}},
        {" a\tb\nc d ", nullptr, {"a", "b", "c", "d"}},
        {",;ab,;cd;", ",;", {"ab", "cd"}},
        {"ab cd", "", {"ab cd"}},
        {std::string("a\0b,\0\0c", 7), ",", {"a", "b", "c"}},
        {"a\xff\xffz\xfe,", ",\xff", {"a", "z\xfe"}},
    };
    for (const auto& c : cases) EXPECT_EQ(qelTokens(c.text, c.skip), c.expected) << c.text;
}

TEST(QelTokenizer, TokensReferToOwnCopyOfText) {
    RWCString text("first-token-is-long second");
    QelTokenizer tok(text);
    RWCSubString first = tok();
    text.toUpper();
    EXPECT_EQ(first, "first-token-is-long");
}

TEST(QelTokenizer, RewindAdvanceAndLocationFollowTheHistory) {
    const struct {
        std::string text;
        Fields script;
    } cases[] = {
        {"abc d e", {"abc", "d", "<", "d", "<", "<", "=0", "abc", "d", "e"}},
        {"abcde", {"=0", ">100", "=5", "<", "=0", ">4", ">1", "bcde", "<", "=1", "<", "=4"}},
        // Ten reads are remembered (an eleventh rewind stays put); the eleventh read starts the
        // history over.
        // clang-format off
        {"0 1 2 3 4 5 6 7 8 9 X",
         {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
          "<", "<", "<", "<", "<", "<", "<", "<", "<", "<", "<", "=0",
          "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "X", "<", "=19", "<", "=19", "X"}},
        // clang-format on
        {";x", {"+1,;", "=1", "+0,;", "+0", "=1"}},
        {std::string("\0;", 2), {"+0,;", "=0"}},
        {"\xe9x", {"+1a\xe9", "=1"}},
        // Unrecorded moves (advance, a read finding no token) shift where later rewinds land.
        {"ab cd", {"ab", "+1 ", "=3", "<", "=1"}},
        {"a" + std::string(20, ' '), {"a", "-", "=22", "+0 ", "<", "=21", "-"}},
        {std::string("a\0", 2), {"a", "-", "=2"}},
    };
    for (const auto& c : cases) runScript(c.text, c.script);
}

TEST(QelTokenizer, NumericReadsConvertOnlyTheToken) {
    QelTokenizer ints(RWCString("12 x 7"));
    for (int expected : {12, 0, 7, 0}) EXPECT_EQ(ints.nextInt(" "), expected);
    QelTokenizer doubles(RWCString("3.5 -2e3"));
    for (double expected : {3.5, -2000.0, 0.0}) EXPECT_DOUBLE_EQ(doubles.nextDouble(" "), expected);
    QelTokenizer digits(RWCString("1253"));
    for (int expected : {12, 3}) EXPECT_EQ(digits.nextInt("5"), expected);
}

TEST(Tokenizer, SplitKeepsEmptyFieldsOrCollapsesRuns) {
    const struct {
        std::string text;
        int collapse;
        Fields expected;
    } cases[] = {
        {",a,,b,", 0, {"", "a", "", "b", ""}},       {"", 0, {""}},
        {",,a,,b,,", 1, {"", "a", "b", ""}},         {",,,", 1, {"", ""}},
        {std::string("a,b\0c,d", 7), 0, {"a", "b"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tokenizerFields(c.text, ',', c.collapse), c.expected)
            << c.text << " collapse " << c.collapse;
    EXPECT_EQ(tokenizerFields("x\xffy\xff\xff", '\xff', 1), (Fields{"x", "y", ""}));
}

TEST(NqStringTokenizer, TurnsReplacementIntoDelimiter) {
    NqStringTokenizer tok(QelString("x;y,z"), ',', 0, ';');
    NqTokenizer& source = tok;
    for (const char* expected : {"x,y", "z"}) {
        EXPECT_EQ(source.next(), expected);
        EXPECT_EQ(source.end(), 0);
    }
    EXPECT_TRUE(source.next() == "" && source.end() == 1);
}

}  // namespace
