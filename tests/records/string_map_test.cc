// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/qel_string_map.h"

#include <gtest/gtest.h>

namespace {

TEST(QelStringMap, GettersConvertTheFirstValueAndMissesLeaveOutputsUntouched) {
    QelStringMap map(7);
    for (const char* text : {"  -7.5x", "99"}) map.addValue("n", text);
    map.addValue("z", "abc");
    int i = 17, z = 17;
    double d = 2.5;
    RWTime t(12345UL);
    EXPECT_EQ(0, map.intValue("N", i) + map.doubleValue("x", d) + map.timeValue("x", t, "%Y"));
    EXPECT_TRUE(i == 17 && d == 2.5 && t.seconds() == 12345UL && map.value("x").isNull());
    EXPECT_EQ(4, map.intValue("n", i) + map.doubleValue("n", d) + map.intValue("z", z) +
                     map.timeValue("z", t, "%Y"));  // found, though not a number or a time
    EXPECT_TRUE(i == -7 && d == -7.5 && z == 0 && !t.isValid());
    // Beyond the range of int the value saturates (atoi() would be undefined there).
    for (const char* text : {"99999999999", "-99999999999"}) map.addValue(text, text);
    EXPECT_TRUE(map.intValue("99999999999", i) && i == 2147483647);
    EXPECT_TRUE(map.intValue("-99999999999", i) && i == -2147483647 - 1);
    map.clear();
    map.addValue("n", "new");
    EXPECT_EQ("new", map.value("n"));
    EXPECT_EQ(7u, map.getNamedValues().capacity());  // clear() keeps the buckets
}

// A subclass that supplies its own texts changes every getter, since all read through
// stringValue().
TEST(QelStringMap, EveryGetterReadsThroughStringValue) {
    struct Fixed : QelStringMap {
        int stringValue(const QelString& name, QelString& result) const override {
            if (name != "n") return 0;
            result = "2007-04-09";
            return 1;
        }
    } map;
    int i = 0;
    double d = 0;
    RWTime t;
    EXPECT_EQ(3,
              map.intValue("n", i) + map.doubleValue("n", d) + map.timeValue("n", t, "%Y-%m-%d"));
    EXPECT_TRUE(i == 2007 && d == 2007 && t.isValid() && map.value("n") == "2007-04-09");
    EXPECT_EQ(0, map.intValue("m", i));
}

}  // namespace
