// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/rw_zone.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

constexpr std::int64_t kApr1 = 1711929600;  // 2024-04-01 00:00:00 UTC

TEST(Zone, SimpleZoneHasOneOffsetAndOneNameAndUtcIsZero) {
    const RWZoneSimple zone(-3600, "X");
    struct tm july = {};
    july.tm_year = 124, july.tm_mon = 6, july.tm_mday = 1;
    EXPECT_TRUE(zone.timeZoneOffset() == -3600 && zone.altZoneOffset() == -3600);
    EXPECT_FALSE(zone.daylightObserved() || zone.isDaylight(&july));
    EXPECT_EQ(std::string(zone.timeZoneName().data()) + zone.altZoneName().data(), "XX");
    bool dst = true;
    EXPECT_EQ(-3600, zone.offsetAt(kApr1 + 90 * 86400, &dst));
    EXPECT_FALSE(dst);
    EXPECT_EQ(kApr1 - 3600, zone.utcFromLocal(kApr1));
    const RWZone& utc = RWZone::utc();
    EXPECT_TRUE(&utc == &RWZone::utc() && utc.timeZoneOffset() == 0 && utc.offsetAt(kApr1) == 0);
    EXPECT_EQ(std::string("UTC"), utc.timeZoneName().data());
}

// Swaps returning the zone before are the zone guard's tests (tests/datetime); here null.
TEST(Zone, LocalSwapReturnsPreviousAndNullRestoresOs) {
    EXPECT_EQ(&RWZone::os(), &RWZone::local());
    const RWZoneSimple first(3600, "A");
    EXPECT_EQ(&RWZone::os(), RWZone::local(&first));
    EXPECT_EQ(&first, RWZone::local(nullptr));
    EXPECT_EQ(&RWZone::os(), &RWZone::local());
}

// A zone that knows only isDaylight(): daylight time from 1 April to 1 October, wall clock.
class SummerZone : public RWZone {
  public:
    long timeZoneOffset() const override { return -3600; }
    long altZoneOffset() const override { return -7200; }
    RWBoolean daylightObserved() const override { return true; }
    RWBoolean isDaylight(const struct tm* t) const override {
        return t->tm_mon >= 3 && t->tm_mon < 9;
    }
    RWCString timeZoneName() const override { return "S"; }
    RWCString altZoneName() const override { return "D"; }
};

TEST(Zone, DefaultConversionsFollowIsDaylight) {
    const SummerZone zone;
    const struct {
        std::int64_t utc;
        long offset;
        bool dst;
    } cases[] = {
        {kApr1 - 3600 - 1, -3600, false},  // 23:59:59 local standard time on 31 March
        {kApr1 - 3600, -7200, true},       // 01:00 standard reading: already April
        {kApr1 + 100 * 86400, -7200, true},
        {kApr1 + 200 * 86400, -3600, false},
    };
    for (const auto& c : cases) {
        bool dst = !c.dst;
        EXPECT_EQ(c.offset, zone.offsetAt(c.utc, &dst)) << c.utc;
        EXPECT_EQ(c.dst, dst) << c.utc;
    }
    EXPECT_EQ(kApr1 - 7200, zone.utcFromLocal(kApr1));
    EXPECT_EQ(kApr1 - 1 - 3600, zone.utcFromLocal(kApr1 - 1));
}

}  // namespace
