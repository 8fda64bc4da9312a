#include "qelkit/records/nq_named_value_pairs.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The pairs as "name=value;..." (names with their NUL bytes).
std::string dump(const NqNamedValuePairs& p) {
    std::string out;
    for (int i = 0; i < p.entries(); ++i)
        out.append(p.nameAt(i).data(), p.nameAt(i).length()) +=
            "=" + std::string(p.valueAt(i)) + ";";
    return out;
}

TEST(NqNamedValuePairs, DuplicatesKeepOrderAndOnlyTheFirstIsSeen) {
    NqNamedValuePairs p;
    p.add("A", "1");
    p.add(QelString("A"), QelString("2"));
    EXPECT_EQ("1", p.value("A"));
    p.set("A", "3");
    p.set(QelString("B"), QelString("4"));
    p.set("a", nullptr);
    EXPECT_EQ("A=3;A=2;B=4;a=;", dump(p));
}

TEST(NqNamedValuePairs, FindNameMatchesExactBytes) {
    NqNamedValuePairs p;
    p.add("x", "");
    p.add(nullptr, "null name");
    p.add(QelString("a\0b", 3), QelString("nul"));
    p.add("a", "plain");
    const struct {
        QelString name;
        int index;
    } cases[] = {{"x", 0}, {"X", -1}, {"", 1}, {QelString("a\0b", 3), 2}, {"a", 3}, {"ab", -1}};
    for (const auto& c : cases) EXPECT_EQ(c.index, p.findName(c.name)) << c.name.data();
    EXPECT_EQ(1, p.findName(static_cast<const char*>(nullptr)));
    EXPECT_EQ(&QelString::_nullString, &p.value("missing"));
    EXPECT_TRUE(p.value("x").isNull() && &p.value("x") != &QelString::_nullString);
}

TEST(NqNamedValuePairs, CopiesAreIndependentBothWays) {
    NqNamedValuePairs source, assigned;
    source.add("k", "v");
    NqNamedValuePairs copy(source);
    assigned.add("old", "gone");
    assigned = source;
    NqNamedValuePairs& alias = assigned;
    assigned = alias;  // self-assignment keeps the pairs
    copy.set("k", "copy");
    source.add("s", "t");
    EXPECT_EQ("k=v;s=t;|k=copy;|k=v;", dump(source) + "|" + dump(copy) + "|" + dump(assigned));
}

}  // namespace
