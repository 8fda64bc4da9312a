// Runs with NQ_ENABLE_DST_RULES=1 and TZ=Europe/London: the zone guard keeps the system zone.
#include <gtest/gtest.h>

#include "qelkit/datetime/qel_zone.h"

namespace {

TEST(PeriodDstRules, ZoneGuardDoesNothing) {
    ASSERT_TRUE(__envEnableDSTRules.isOn());
    const RWZone* before = &RWZone::local();
    {
        const QelZone guard;
        EXPECT_EQ(before, &RWZone::local());
        EXPECT_NE(RWZone::local().timeZoneOffset(), RWZone::local().altZoneOffset());
    }
    EXPECT_EQ(before, &RWZone::local());
}

}  // namespace
