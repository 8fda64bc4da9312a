#include "qelkit/records/qel_string_map.h"

#include <gtest/gtest.h>

#include <ctime>

#include "qelkit/foundation/rw_zone.h"

namespace {

// Answers every name with "<name>9", ignoring the stored pairs.
class EchoMap : public QelStringMap {
  public:
    int stringValue(const QelString& name, QelString& result) const override {
        result = name + "9";
        return 1;
    }
};

// The local year (since 1900) and day of month of t.
std::pair<int, int> yearAndDay(const RWTime& t) {
    tm f;
    t.extract(&f, RWZone::local());
    return {f.tm_year, f.tm_mday};
}

TEST(QelStringMap, MissingNamesLeaveEveryOutputUntouched) {
    QelStringMap map;
    map.addValue("present", "1");
    QelString s("keep");
    int i = 17;
    double d = 2.5;
    RWTime t(12345UL);
    EXPECT_EQ(0, map.stringValue("Present", s) + map.intValue("absent", i) +
                     map.doubleValue("absent", d) + map.timeValue("absent", t, "%Y"));
    EXPECT_TRUE(s == "keep" && i == 17 && d == 2.5 && t.seconds() == 12345UL);
    EXPECT_TRUE(map.value("absent").isNull());
}

TEST(QelStringMap, NumericGettersConvertTheLeadingNumberOrGiveZero) {
    const struct {
        const char* text;
        int i;
        double d;
    } cases[] = {{"42", 42, 42}, {"  -7x", -7, -7}, {"12abc", 12, 12}, {"abc", 0, 0},
                 {"", 0, 0},     {"3.5e2", 3, 350}, {"+.25", 0, 0.25}, {"\t1e1z", 1, 10}};
    for (const auto& c : cases) {
        QelStringMap map;
        map.addValue("n", c.text);
        int i = -99;
        double d = -99;
        EXPECT_EQ(2, map.intValue("n", i) + map.doubleValue("n", d)) << c.text;
        EXPECT_EQ(c.i, i) << c.text;
        EXPECT_DOUBLE_EQ(c.d, d) << c.text;
    }
}

TEST(QelStringMap, FirstValueStaysAndClearKeepsTheBuckets) {
    QelStringMap map(7), none(0);
    map.addValue("5", "first");
    map.addValue("5", "other");
    map.addValue("", "");
    none.addValue("a", "1");
    EXPECT_EQ(2, map.numValues() + none.numValues());
    QelString s("x");
    EXPECT_EQ(1, map.stringValue("", s));  // found, though value() would also give ""
    EXPECT_TRUE(s.isNull());
    EXPECT_EQ("first", map.value("5"));
    map.clear();
    map.addValue("5", "new");
    EXPECT_EQ("new", map.value("5"));
    EXPECT_EQ(7u, map.getNamedValues().capacity());
}

TEST(QelStringMap, OverridingStringValueChangesEveryGetter) {
    EchoMap map;
    int i = 0;
    double d = 0;
    RWTime t(1UL);
    EXPECT_EQ(3, map.intValue("12", i) + map.doubleValue("0.5", d) +
                     map.timeValue("2030-01-0", t, "%Y-%m-%d"));
    EXPECT_EQ(129, i);
    EXPECT_DOUBLE_EQ(0.59, d);
    EXPECT_EQ(std::make_pair(130, 9), yearAndDay(t));
    EXPECT_EQ("abc9", map.value("abc"));
}

TEST(QelStringMap, TimeValueAnswersOneAlsoWhenTheTextDoesNotMatch) {
    QelStringMap map;
    map.addValue("when", "1950-03-07 12:30:15");
    map.addValue("bad", "not a date");
    RWTime t(1UL);
    EXPECT_EQ(1, map.timeValue("when", t, "%Y-%m-%d %H:%M:%S"));
    EXPECT_EQ(std::make_pair(150, 7), yearAndDay(t));  // 1950 moved one century on
    EXPECT_EQ(1, map.timeValue("bad", t, "%Y-%m-%d %H:%M:%S"));
    EXPECT_FALSE(t.isValid());
}

}  // namespace
