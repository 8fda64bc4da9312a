// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

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
    const QelString joined = copy.concat(';');
    EXPECT_EQ(joined.capacity(), joined.length()) << "the joined length is reserved";
    EXPECT_EQ(sc.concat(',') + "|" + joined, "|a;;;d");
}

}  // namespace
