// SPDX-License-Identifier: Apache-2.0
// RWZone::os() against glibc, in a process started with the TZ its registration in
// zone_env.cmake gives it: offsets and daylight flags for every hour of 2000-2040 and a sample
// of 1850-2300, conversions back from wall-clock time, and what tzset() reports.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>

#include "qelkit/foundation/rw_zone.h"

namespace {

struct GlibcGlobals {
    long timezone;
    int daylight;
    std::string stdName;
    std::string dstName;
};
// Taken at load: localtime_r may move tzname, timezone and daylight later on.
const GlibcGlobals kGlibc = [] {
    tzset();
    return GlibcGlobals{timezone, daylight, tzname[0], tzname[1]};
}();

// The daylight offset (seconds west) each zone of the registrations is known to have; glibc
// reports no such value. A zone without daylight time gives its standard offset less an hour.
long knownAltOffset() {
    const std::string tz = std::getenv("TZ") ? std::getenv("TZ") : "";
    for (const auto& [name, alt] : {std::pair{"America/New_York", 14400L},
                                    {"Europe/London", -3600L},
                                    {"Australia/Lord_Howe", -39600L},
                                    {"Asia/Kathmandu", -24300L},
                                    {"EST5EDT,M3.2.0,M11.1.0", 14400L},
                                    {"EST5EDT", 14400L}})
        if (tz == name) return alt;
    return RWZone::os().altZoneOffset();
}

// Compares os() with localtime_r at every `step` seconds of [from, to), and maps each wall
// reading back; returns the first disagreement, "" when none.
std::string compareRange(std::int64_t from, std::int64_t to, std::int64_t step) {
    const RWZone& zone = RWZone::os();
    for (std::int64_t t = from; t < to; t += step) {
        const std::time_t tt = static_cast<std::time_t>(t);
        struct tm tm;
        if (!localtime_r(&tt, &tm)) continue;
        bool dst = false;
        const long west = zone.offsetAt(t, &dst);
        const std::int64_t wall = t - west, back = zone.utcFromLocal(wall);
        // An overlap reading maps to its earlier instant, so `back` may precede `t`.
        if (west != -tm.tm_gmtoff || dst != (tm.tm_isdst > 0) || back > t ||
            back - zone.offsetAt(back) != wall)
            return "t=" + std::to_string(t) + " glibc " + std::to_string(tm.tm_gmtoff) + "/" +
                   std::to_string(tm.tm_isdst) + " os() " + std::to_string(-west) + "/" +
                   std::to_string(dst) + " back " + std::to_string(back);
    }
    return "";
}

TEST(OsZone, TzsetValuesMatchGlibc) {
    const RWZone& zone = RWZone::os();
    EXPECT_EQ(kGlibc.timezone, zone.timeZoneOffset());
    EXPECT_EQ(kGlibc.daylight != 0, zone.daylightObserved());
    EXPECT_EQ(kGlibc.stdName, zone.timeZoneName().data());
    EXPECT_EQ(kGlibc.dstName, zone.altZoneName().data());
    EXPECT_EQ(knownAltOffset(), zone.altZoneOffset());
    EXPECT_EQ(&zone, &RWZone::local());
}

// Every hour of 2000-2040, and a sample of 1850-2450, beyond the last tabulated year.
TEST(OsZone, OffsetsAndDaylightMatchLocaltime) {
    EXPECT_EQ("", compareRange(946684800, 2240611200, 3600));
    EXPECT_EQ("", compareRange(-3786825600, 15147388800, 37 * 3600 + 17));
    for (int day = 1; day <= 366; ++day) {  // noon of every day of 2024, as a day of January
        struct tm wall = {};
        wall.tm_year = 124, wall.tm_mday = day, wall.tm_hour = 12;
        struct tm probe = wall;
        probe.tm_isdst = -1;
        std::mktime(&probe);
        EXPECT_EQ(probe.tm_isdst > 0, RWZone::os().isDaylight(&wall)) << "day " << day;
    }
}

TEST(OsZone, GapTakesTheOffsetBeforeAndOverlapTheEarlierInstant) {
    if (std::string(kGlibc.stdName) != "EST") GTEST_SKIP() << "US Eastern rules only";
    const RWZone& zone = RWZone::os();
    constexpr std::int64_t kMar10 = 1710028800, kNov3 = 1730592000;  // 2024, 00:00 UTC
    // 02:30 does not exist on 10 March: read with EST it is 07:30 UTC, 03:30 EDT.
    EXPECT_EQ(kMar10 + 7 * 3600 + 1800, zone.utcFromLocal(kMar10 + 2 * 3600 + 1800));
    // 01:30 happens twice on 3 November: the EDT one, 05:30 UTC, comes first.
    EXPECT_EQ(kNov3 + 5 * 3600 + 1800, zone.utcFromLocal(kNov3 + 3600 + 1800));
}

}  // namespace
