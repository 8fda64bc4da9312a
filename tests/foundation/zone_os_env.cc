// SPDX-License-Identifier: Apache-2.0
// RWZone::os() and the times read in it against glibc, in a process started with the TZ its
// registration in zone_env.cmake gives it: what tzset() reports, RWTime::extract, the
// RWDateTime accessors and %Z %z against localtime_r, daylight time of wall-clock readings,
// and the readings that the changes of 2007 skip or repeat.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "qelkit/foundation/rw_date_time.h"
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

TEST(OsZone, TzsetValuesMatchGlibc) {
    const RWZone& zone = RWZone::os();
    EXPECT_EQ(kGlibc.timezone, zone.timeZoneOffset());
    EXPECT_EQ(kGlibc.daylight != 0, zone.daylightObserved());
    EXPECT_EQ(kGlibc.stdName, zone.timeZoneName().data());
    EXPECT_EQ(kGlibc.dstName, zone.altZoneName().data());
    // glibc reports no daylight offset: a zone without daylight time gives its standard offset
    // less an hour; the others' are checked against glibc's readings of daylight time below.
    EXPECT_TRUE(zone.daylightObserved() || zone.altZoneOffset() == zone.timeZoneOffset() - 3600);
    EXPECT_EQ(&zone, &RWZone::local());
}

// A sample of 1850-2100, 23 days and 3,607 seconds apart, then the seconds around each change
// of 2007 and a day later: extract, the accessors of a value and of a copy made of its
// milliseconds (with a reading in another zone in between), and %Z %z.
TEST(OsZone, ReadingsOfTimesMatchLocaltime) {
    const RWZone& os = RWZone::os();
    const RWZoneSimple fixed(-3600, "CET");
    std::vector<std::int64_t> instants;
    for (std::int64_t t = -3786825600; t < 4102444800; t += 23 * 86400 + 3607)
        instants.push_back(t);
    for (std::int64_t t = 1167609600; t < 1199145600; t += 900)
        if (os.offsetAt(t) != os.offsetAt(t + 900))
            for (const std::int64_t edge : {t + 900, t + 900 + 86400})
                instants.insert(instants.end(), {edge - 1, edge, edge + 1});
    // In order, and before the other tests: glibc answers some odd zones by its history.
    std::sort(instants.begin(), instants.end());
    for (const std::int64_t posix : instants) {
        const time_t tt = static_cast<time_t>(posix);
        struct tm want, got;
        localtime_r(&tt, &want);
        const auto ints = [](const struct tm& t) {
            return std::vector<long>{t.tm_sec,  t.tm_min,  t.tm_hour, t.tm_mday,  t.tm_mon,
                                     t.tm_year, t.tm_wday, t.tm_yday, t.tm_isdst, t.tm_gmtoff};
        };
        const RWTime t(static_cast<unsigned long>(posix) + RWTime::posixOffset);
        t.extract(&got, os);
        ASSERT_EQ(ints(got), ints(want)) << posix;
        ASSERT_EQ(t.isDST(os), want.tm_isdst > 0) << posix;
        // Where glibc names the daylight side (from 2000 on), its offset is the zone's.
        if (want.tm_isdst > 0 && want.tm_year >= 100 && os.altZoneName() == want.tm_zone) {
            ASSERT_EQ(-want.tm_gmtoff, os.altZoneOffset()) << posix;
        }
        // Back from the wall clock: an overlap reading maps to its earlier instant.
        const std::int64_t wall = posix + want.tm_gmtoff, back = os.utcFromLocal(wall);
        ASSERT_TRUE(back <= posix && back - os.offsetAt(back) == wall) << posix;
        const RWDateTime dt(t, 0);
        dt.hour(os);  // a kept reading, then one in another zone
        ASSERT_EQ(dt.hour(fixed), unsigned(((posix + 3600) % 86400 + 86400) % 86400 / 3600));
        for (const RWDateTime& v : {dt, RWDateTime(dt.milliSeconds())})
            ASSERT_EQ(
                (std::vector<unsigned>{v.year(os), v.month(os), v.dayOfMonth(os), v.day(os),
                                       v.hour(os), v.minute(os), v.second(), v.weekDay(os) % 7}),
                (std::vector<unsigned>{unsigned(want.tm_year + 1900), unsigned(want.tm_mon + 1),
                                       unsigned(want.tm_mday), unsigned(want.tm_yday + 1),
                                       unsigned(want.tm_hour), unsigned(want.tm_min),
                                       unsigned(want.tm_sec), unsigned(want.tm_wday)}))
                << posix;
        // %Z %z name the zone's two sides: where glibc's offset and name (from 2000 on) are the
        // side's, so is the text.
        char names[64];
        std::strftime(names, sizeof names, "%Z %z", &want);
        if (want.tm_year >= 100 &&
            want.tm_gmtoff == -(want.tm_isdst > 0 ? os.altZoneOffset() : os.timeZoneOffset())) {
            ASSERT_EQ(std::string(dt.asString("%Z %z", RWLocale::defaultLocale(), os)), names);
        }
    }
}

// Offsets against glibc at every change are the in-process zone comparison's
// (tz_glibc_internal_test.cc); here the daylight flag of a wall-clock reading.
TEST(OsZone, DaylightOfWallClockReadingsMatchesMktime) {
    for (int day = 1; day <= 366; ++day) {  // noon of every day of 2024, as a day of January
        struct tm wall = {};
        wall.tm_year = 124, wall.tm_mday = day, wall.tm_hour = 12;
        struct tm probe = wall;
        probe.tm_isdst = -1;
        std::mktime(&probe);
        EXPECT_EQ(probe.tm_isdst > 0, RWZone::os().isDaylight(&wall)) << "day " << day;
    }
}

// A reading the clocks skip takes the offset before the skip (the first one maps onto the skip's
// end), and a repeated reading its earlier instant: both are the reading plus the offset in
// force before the change, for every change of 2007.
TEST(OsZone, GapTakesTheOffsetBeforeAndOverlapTheEarlierInstant) {
    const RWZone& zone = RWZone::os();
    int changes = 0;
    for (std::int64_t edge = 1167610500; edge < 1199145600; edge += 900) {
        const std::int64_t before = zone.offsetAt(edge - 1), after = zone.offsetAt(edge);
        changes += before != after;
        for (std::int64_t wall = edge - std::max(before, after);
             wall < edge - std::min(before, after); wall += 599)
            EXPECT_EQ(zone.utcFromLocal(wall), wall + before) << wall;
    }
    EXPECT_TRUE(changes > 0 || !zone.daylightObserved());
}

}  // namespace
