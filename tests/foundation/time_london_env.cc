// SPDX-License-Identifier: Apache-2.0
// Runs with TZ=Europe/London: the operating system's zone against the C library.
#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "qelkit/foundation/rw_date_time.h"
#include "qelkit/foundation/rw_time.h"

namespace {

constexpr std::int64_t k1901 = 2177452800;

// Wall-clock minutes of the reading in `z`, counted from Julian Day 0.
std::int64_t wallMinutes(const RWDateTime& dt, const RWZone& z) {
    return static_cast<std::int64_t>(dt.julian(z)) * 1440 + dt.hour(z) * 60 + dt.minute(z);
}

TEST(LondonTime, DayStepAcrossADaylightChangeMovesTheWallClockBy23Or25Hours) {
    const RWZone& os = RWZone::os();
    const RWZoneSimple fixed(0, "GMT");
    const struct {
        unsigned d, m, y;
        int expectHours;
    } cases[] = {{25, 3, 2007, 25}, {28, 10, 2007, 23}, {26, 3, 2007, 24}, {30, 3, 2036, 25}};
    for (const auto& c : cases) {
        RWDateTime dt(c.d, c.m, c.y, 12, 0, 0, 0, os);
        const std::int64_t before = wallMinutes(dt, os), beforeFixed = wallMinutes(dt, fixed);
        dt.decrementMillisecond(86400000);
        EXPECT_EQ(before - wallMinutes(dt, os), c.expectHours * 60) << c.d << '/' << c.m;
        EXPECT_EQ(beforeFixed - wallMinutes(dt, fixed), 24 * 60);
    }
}

TEST(LondonTime, ExtractAndAccessorsAgreeWithLocaltime) {
    const RWZone& os = RWZone::os();
    const RWZoneSimple fixed(-3600, "CET");
    // About 4,000 instants from 1850 to 2100, 23 days and 3,607 seconds apart, then a dense
    // run across the change of 25 March 2007, where successive instants share a local day.
    std::vector<std::int64_t> instants;
    for (std::int64_t posix = -3786825600; posix < 4102444800; posix += 23 * 86400 + 3607)
        instants.push_back(posix);
    for (std::int64_t posix = 1174694400; posix < 1174867200; posix += 419)
        instants.push_back(posix);
    // Around the changes of 2007 and local midnights in GMT and in BST, to the second.
    for (const std::int64_t edge : {1174784400, 1193533200, 1174780800, 1184454000})
        for (const std::int64_t posix : {edge - 1, edge, edge + 1, edge - 1, edge - 86400})
            instants.push_back(posix);
    for (const std::int64_t posix : instants) {
        const time_t tt = static_cast<time_t>(posix);
        struct tm want, got;
        localtime_r(&tt, &want);
        const RWTime t(static_cast<unsigned long>(posix + k1901));
        t.extract(&got, os);
        const auto ints = [](const struct tm& t) {
            return std::vector<int>{t.tm_sec,  t.tm_min,  t.tm_hour, t.tm_mday, t.tm_mon,
                                    t.tm_year, t.tm_wday, t.tm_yday, t.tm_isdst};
        };
        ASSERT_EQ(ints(got), ints(want)) << posix;
        ASSERT_EQ(got.tm_gmtoff, want.tm_gmtoff) << posix;
        // Names differ where history used other ones (BDST in the 1940s, BST as standard time
        // in 1968-71); since then they are GMT and BST.
        if (want.tm_year >= 72) {
            ASSERT_STREQ(got.tm_zone, want.tm_zone) << posix;
        }
        const RWDateTime dt(t, 0);
        ASSERT_EQ(dt.year(os), unsigned(want.tm_year + 1900));
        ASSERT_EQ(dt.month(os), unsigned(want.tm_mon + 1));
        ASSERT_EQ(dt.dayOfMonth(os), unsigned(want.tm_mday));
        ASSERT_EQ(dt.day(os), unsigned(want.tm_yday + 1));
        ASSERT_EQ(dt.hour(os) * 60 + dt.minute(os), unsigned(want.tm_hour * 60 + want.tm_min));
        // Another zone read in between must not disturb the readings in os().
        ASSERT_EQ(dt.hour(fixed), unsigned(((posix + 3600) % 86400 + 86400) % 86400 / 3600));
        ASSERT_EQ(dt.minute(os), unsigned(want.tm_min));
        ASSERT_EQ(dt.weekDay(os) % 7, unsigned(want.tm_wday));
        // A fresh value read in the default zone, os() here.
        const RWDateTime fresh(dt.milliSeconds());
        ASSERT_EQ((fresh.year() * 100 + fresh.month()) * 100 + fresh.dayOfMonth(),
                  unsigned(((want.tm_year + 1900) * 100 + want.tm_mon + 1) * 100 + want.tm_mday))
            << posix;
        ASSERT_EQ(fresh.hour() * 3600 + fresh.minute() * 60 + fresh.second(),
                  unsigned(want.tm_hour * 3600 + want.tm_min * 60 + want.tm_sec))
            << posix;
        ASSERT_EQ(fresh.julian(), dt.julian(os));
        ASSERT_EQ(t.isDST(os), want.tm_isdst > 0);
    }
}

TEST(LondonTime, ZoneNameFollowsDaylightTime) {
    const RWZone& os = RWZone::os();
    const RWLocale& c = RWLocale::defaultLocale();
    EXPECT_EQ(RWDateTime(15, 1, 2007, 12, 0, 0, 0, os).asString("%Z %z", c, os), "GMT +0000");
    EXPECT_EQ(RWDateTime(15, 7, 2007, 12, 0, 0, 0, os).asString("%Z %z", c, os), "BST +0100");
    EXPECT_EQ(RWDateTime(15, 7, 2007, 12, 0, 0, 0, os).toRWTime().asString("%H %Z", os, c),
              "12 BST");
    EXPECT_EQ(RWDate(15, 7, 2007).asString("%Z", c), "GMT");  // a date is read at standard time
}

}  // namespace
