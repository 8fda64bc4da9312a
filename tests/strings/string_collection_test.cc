// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "qelkit/datetime/get_date.h"
#include "qelkit/strings/qel_string_collection.h"

namespace {

using Items = std::vector<std::string>;
using SC = QelStringCollection;

Items itemsOf(const SC& c) {
    Items out;
    for (int i = 0; i < c.entries(); ++i) out.emplace_back(c(i).data(), c(i).length());
    return out;
}

QelString qs(const std::string& s) { return QelString(s.data(), s.size()); }

// The text up to its first NUL byte cut at every delimiter, then trimmed of the bytes isspace
// accepts in the C locale.
Items referenceSplit(const std::string& text, int strip, char d) {
    Items out(1);
    for (char c : text.substr(0, text.find('\0')))
        c == d ? out.emplace_back() : out.back().append(1, c);
    const char* space = " \t\n\v\f\r";
    for (std::string& f : out) {
        if (strip & SC::leading) f.erase(0, std::min(f.size(), f.find_first_not_of(space)));
        if (strip & SC::trailing) f.erase(f.find_last_not_of(space) + 1);
    }
    return out;
}

// Pieces of `chunk` bytes, except that a piece never ends after the first byte of "]]>" (a
// CDATA end): "ab]]>cd" in threes gives "ab", "]]>", "cd".
Items referenceChunks(const std::string& text, int chunk) {
    if (text.empty() || chunk < 1) return text.empty() ? Items{} : Items{text};
    Items out;
    for (std::size_t p = 0, n; p < text.size(); p += n) {
        n = std::min<std::size_t>(chunk, text.size() - p);
        if (n > 1 && text.compare(p + n - 1, 3, "]]>") == 0) --n;
        out.push_back(text.substr(p, n));
    }
    return out;
}

TEST(QelStringCollection, SplitKeepsEmptyFieldsAndCountsPriorItems) {
    const struct {
        std::string text;
        SC::StripType strip;
        Items expected;
    } cases[] = {{" a ,, b ", SC::both, {"a", "", "b"}},
                 {"", SC::noStrip, {""}},
                 {{"a\0b,c", 5}, SC::noStrip, {"a"}}};  // the text ends at a NUL byte
    for (const auto& c : cases) {
        SC sc;
        EXPECT_EQ(sc.split(qs(c.text), c.strip, ','), static_cast<int>(c.expected.size()));
        EXPECT_EQ(itemsOf(sc), c.expected) << c.text;
        EXPECT_EQ(sc.split(qs(c.text), c.strip, ','), 2 * static_cast<int>(c.expected.size()));
    }
}

TEST(QelStringCollection, SplitConcatAndChunksMatchReferenceOnRandomTexts) {
    std::mt19937 rng(20261206);
    const std::string alphabet("ab ,;\t\n]>\0", 10);
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 40, ' ');
        for (char& c : text) c = alphabet[rng() % alphabet.size()];
        const char d = alphabet[rng() % alphabet.size()];
        const int strip = static_cast<int>(rng() % 4);
        SC sc;
        sc.split(qs(text), static_cast<SC::StripType>(strip), d);
        ASSERT_EQ(itemsOf(sc), referenceSplit(text, strip, d)) << round;
        const QelString joined = sc.concat(d);
        ASSERT_EQ(joined.capacity(), joined.length()) << "the joined length is reserved";
        if (strip == SC::noStrip) {
            ASSERT_EQ(std::string(joined.data(), joined.length()), text.substr(0, text.find('\0')));
        }
        const int chunk = static_cast<int>(rng() % 8) - 1;
        SC pieces;
        pieces.insertAndSplit(qs(text), chunk);
        ASSERT_EQ(itemsOf(pieces), referenceChunks(text, chunk)) << round << " / " << chunk;
    }
}

TEST(QelStringCollection, TypedGettersConvertLikeTheCLibrary) {
    SC sc;
    sc.split("42abc,x,-3.5e2,2021-03-04", SC::noStrip, ',');
    EXPECT_TRUE(sc.getInt(0) == 42 && sc.getInt(1) == 0 && sc.getString(0) == "42abc");
    EXPECT_DOUBLE_EQ(sc.getDouble(2), -350.0);
    EXPECT_EQ(sc.getTime(3, "%Y-%m-%d"), GetDate("2021-03-04", "%Y-%m-%d").time());
    EXPECT_TRUE(sc.getTime(3, "%Y-%m-%d").isValid() && !sc.getTime(1, "%Y-%m-%d").isValid());
}

TEST(QelStringCollection, ItemsAreOwnedAndCopiesIndependent) {
    SC sc;
    sc.pop();  // empty: nothing happens
    sc.split(" a,b", SC::noStrip, ',');
    SC copy(sc);
    const SC& same = sc;
    sc = same;
    sc.pop();
    sc(3) = " d\t";  // grows with empty items up to index 3
    EXPECT_EQ(itemsOf(copy), Items({" a", "b"}));
    copy = sc;
    sc.clearAndDestroy();
    copy.stripContents(SC::both);
    EXPECT_EQ(sc.concat(',') + "|" + copy.concat(';'), "|a;;;d");
}

}  // namespace
