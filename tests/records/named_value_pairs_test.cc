// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/nq_named_value_pairs.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// The pairs as "name=value;..." (names with their NUL bytes).
std::string dump(const NqNamedValuePairs& p) {
    std::string out;
    for (int i = 0; i < p.entries(); ++i)
        out.append(p.nameAt(i).data(), p.nameAt(i).length()) +=
            "=" + std::string(p.valueAt(i)) + ";";
    return out;
}

TEST(NqNamedValuePairs, DuplicatesKeepOrderAndTheFirstExactNameWins) {
    NqNamedValuePairs p;
    p.add("A", "1");
    p.add(QelString("A"), QelString("2"));
    p.add(nullptr, "null name");
    p.add(QelString("a\0b", 3), QelString("nul"));
    p.set(QelString("A"), QelString("3"));
    p.set("a", nullptr);
    EXPECT_EQ(std::string("A=3;A=2;=null name;a\0b=nul;a=;", 30), dump(p));
    const std::pair<QelString, int> cases[] = {
        {"A", 0}, {"", 2}, {QelString("a\0b", 3), 3}, {"a", 4}, {"ab", -1}};
    for (const auto& [name, index] : cases) EXPECT_EQ(index, p.findName(name)) << name.data();
    EXPECT_EQ(2, p.findName(static_cast<const char*>(nullptr)));
    EXPECT_EQ(&QelString::_nullString, &p.value("missing"));
    EXPECT_TRUE(p.value("a").isNull() && &p.value("a") != &QelString::_nullString);
}

TEST(NqNamedValuePairs, CopiesAreIndependentBothWays) {
    NqNamedValuePairs source, assigned;
    source.add("k", "v");
    source.add("j", "w");  // a copy must take every pair, the first one too
    NqNamedValuePairs copy(source), &alias = assigned;
    assigned.add("old", "gone");
    assigned = source;
    assigned = alias;  // self-assignment keeps the pairs
    copy.set("k", "copy");
    source.add("s", "t");
    EXPECT_EQ("k=v;j=w;s=t;|k=copy;j=w;|k=v;j=w;",
              dump(source) + "|" + dump(copy) + "|" + dump(assigned));
}

}  // namespace
