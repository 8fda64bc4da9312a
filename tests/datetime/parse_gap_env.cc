// Runs with TZ=America/Sao_Paulo, where clocks jumped from 00:00 to 01:00 on 4 November 2018:
// that midnight does not exist, so nq::datetime cannot take the date it parsed as the date its
// midnight reads back. It must then agree with the two field parsers run one after the other.
#include <gtest/gtest.h>

#include "qelkit/datetime/nq_string_to_date.h"

namespace {

TEST(StringToDateGap, DateAndTimeAgreeWithTheStepsAroundAMidnightGap) {
    for (const char* day : {"2018-11-03", "2018-11-04", "2018-11-05", "2019-02-17"}) {
        RWDateTime steps(RWDateTime::invalid);
        ASSERT_TRUE(NqStringToDate::setDateYYYYMMDD(steps, day));
        ASSERT_TRUE(NqStringToDate::setTime24HR(steps, "10:30:15"));
        const RWDateTime fused = NqStringToDate::nq::datetime(QelString(day) + " 10:30:15");
        EXPECT_TRUE(fused.isValid()) << day;
        EXPECT_EQ(fused, steps) << day;
    }
}

}  // namespace
