// SPDX-License-Identifier: Apache-2.0
// The zone reader against glibc in one process: for TZ values of every kind (installed zone
// files, listed POSIX rules, zone file images generated here, whole or damaged), tzset()'s
// timezone, daylight and tzname, and localtime_r's offset and daylight flag around every change
// and at random instants, must be what TzZone reports. Arbitrary POSIX rules are the zone-rule
// fuzz target's.
#include <date/date.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "qelkit/foundation/internal/tz_rule.h"
#include "qelkit/foundation/internal/tz_zone.h"

using namespace qelkit_internal;
using namespace std::string_literals;

namespace {

using Instants = std::vector<std::int64_t>;

// Runs the comparison for one TZ value; returns the first disagreement, "" when none.
std::string compareWithGlibc(const std::string& tz, Instants instants) {
    setenv("TZ", tz.c_str(), 1);
    tzset();
    const TzZone zone(tz.c_str());
    const std::string glibc = std::to_string(timezone) + " " + std::to_string(daylight != 0) + " " +
                              tzname[0] + "/" + tzname[1];
    const std::string ours = std::to_string(zone.timezone()) + " " +
                             std::to_string(zone.daylight()) + " " + zone.name(0) + "/" +
                             zone.name(1);
    if (glibc != ours) return tz + ": tzset " + glibc + ", TzZone " + ours;
    // Every span boundary the zone reports from 1890 to 2110, and the instants either side.
    for (std::int64_t t = zone.spanAt(-2524521600).end; t < 4417977600; t = zone.spanAt(t).end)
        instants.insert(instants.end(), {t - 1, t, t + 1});
    for (const std::int64_t t : instants) {
        const std::time_t tt = static_cast<std::time_t>(t);
        struct tm tm;
        // Before year 1 glibc answers from a cache that earlier calls fill.
        if (t < -62135596800 || !localtime_r(&tt, &tm)) continue;
        const TzSpan s = zone.spanAt(t);
        const std::int64_t wall = t + s.gmtoff, back = zone.utcFromLocal(wall);
        // An overlap reading maps to its earlier instant.
        const bool roundTrip = back <= t && back + zone.spanAt(back).gmtoff == wall;
        if (s.gmtoff != tm.tm_gmtoff || s.isdst != (tm.tm_isdst > 0) || s.start > t || t >= s.end ||
            !roundTrip)
            return tz + " at " + std::to_string(t) + ": glibc " + std::to_string(tm.tm_gmtoff) +
                   "/" + std::to_string(tm.tm_isdst) + ", TzZone " + std::to_string(s.gmtoff) +
                   "/" + std::to_string(s.isdst) + " in [" + std::to_string(s.start) + ", " +
                   std::to_string(s.end) + "), back " + std::to_string(back);
    }
    return "";
}

// Year starts and mid-years of a spread of years, and random instants of 1800 to 2500.
Instants someInstants(std::mt19937_64& rng) {
    Instants out;
    for (std::int64_t year : {1, 1600, 1901, 1969, 1970, 1971, 2000, 2038, 2100, 2399, 2401, 9999})
        for (std::int64_t day : {0, 182}) {
            const std::int64_t start =
                (date::sys_days{date::year(int(year)) / 1 / 1}.time_since_epoch().count() + day) *
                86400;
            out.insert(out.end(), {start - 1, start});
        }
    std::uniform_int_distribution<std::int64_t> pick(-5364662400, 16725225600);
    for (int i = 0; i < 40; ++i) out.push_back(pick(rng));
    return out;
}

// A random POSIX TZ value for a zone file footer, in glibc's grammar, with the oddities its
// scanner accepts. A daylight name always comes with rules: without them glibc would load the
// "posixrules" file, which a footer never asks for.
std::string randomFooter(std::mt19937_64& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const char* const names[] = {"EST", "<+0545>", "<-03>", "CEST", "AB", "<A1B>", "UTC"};
    const char* const signs[] = {"", "+", "-"};
    auto clock = [&](int maxHours) {  // now and then a sign without digits
        std::string s = signs[pick(3)] + (pick(12) ? std::to_string(pick(maxHours)) : "");
        for (int parts = pick(3); parts > 0; --parts) s += ":" + std::to_string(pick(70));
        return s;
    };
    auto change = [&] {
        std::string s = pick(3) == 0 ? "J" + std::to_string(1 + pick(366))
                        : pick(2) == 0
                            ? std::to_string(pick(366))
                            : "M" + std::to_string(1 + pick(12)) + "." + std::to_string(pick(7)) +
                                  "." + std::to_string(pick(8));
        return pick(2) == 0 ? s : s + "/" + clock(170);
    };
    std::string tz = names[pick(7)] + clock(27);
    if (pick(4) == 0) return tz;
    tz += names[pick(7)];
    if (pick(2) == 0) tz += clock(27);
    return tz + "," + change() + "," + change();
}

// Writes a zone file image: header and data in the 32-bit form and, for version 2, again with
// 64-bit times and the POSIX footer. Each type is {offset, isdst, abbreviation index}.
struct ZoneImage {
    Instants times;
    std::vector<unsigned char> typeOf;
    std::vector<std::vector<int>> types;
    std::string abbrs = "STD\0DST\0LMT\0"s;
    std::vector<unsigned char> isstd, isut;
    bool v2 = true;
    std::string footer;

    std::string bytes() const {
        std::string out;
        auto be = [&out](std::int64_t v, int width) {
            for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
                out.push_back(static_cast<char>(v >> shift));
        };
        for (int width : {4, 8}) {
            if (width == 8 && !v2) break;
            out += "TZif";
            out.push_back(v2 ? '2' : '\0');
            out.append(15, '\0');
            for (std::size_t n : {isut.size(), isstd.size(), std::size_t{0}, times.size(),
                                  types.size(), abbrs.size()})
                be(static_cast<std::int64_t>(n), 4);
            for (std::int64_t t : times) be(t, width);
            out.append(typeOf.begin(), typeOf.end());
            for (const std::vector<int>& t : types) {
                be(t[0], 4);
                out.push_back(static_cast<char>(t[1]));
                out.push_back(static_cast<char>(t[2]));
            }
            out += abbrs;
            out.append(isstd.begin(), isstd.end());
            out.append(isut.begin(), isut.end());
        }
        return v2 ? out + "\n" + footer + "\n" : out;
    }
};

// A random image with sorted changes; one of the changes lies after 1970, as in installed
// files, whose footer rule takes over after their last change.
ZoneImage randomImage(std::mt19937_64& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    ZoneImage z;
    z.v2 = pick(4) != 0;
    const int typeCount = pick(8) == 0 ? 256 : 1 + pick(5);
    for (int i = 0; i < typeCount; ++i)
        z.types.push_back(
            {(pick(113) - 56) * 900 + (pick(4) == 0 ? pick(60) : 0), pick(2), 4 * pick(3)});
    std::uniform_int_distribution<std::int64_t> when(-2100000000, 2100000000);
    for (int n = pick(24); n > 0; --n) z.times.push_back(when(rng));
    if (!z.times.empty())
        z.times.push_back(std::uniform_int_distribution<std::int64_t>(0, 2100000000)(rng));
    std::sort(z.times.begin(), z.times.end());
    z.times.erase(std::unique(z.times.begin(), z.times.end()), z.times.end());
    for (std::size_t i = 0; i < z.times.size(); ++i)
        z.typeOf.push_back(static_cast<unsigned char>(pick(typeCount)));
    if (pick(2) == 0) z.isstd.assign(static_cast<std::size_t>(typeCount), 1);
    if (pick(3) == 0) z.isut.assign(static_cast<std::size_t>(typeCount), 0);
    if (z.v2 && !z.times.empty() && pick(3) != 0) z.footer = randomFooter(rng);
    return z;
}

TEST(TzZoneAgainstGlibc, InstalledZonesAndListedRules) {
    std::mt19937_64 rng(20240614);
    // clang-format off
    const char* const values[] = {
        "Europe/London", "America/New_York", "Australia/Lord_Howe", "Asia/Kathmandu",
        "Europe/Istanbul", "Europe/Moscow", "America/Sao_Paulo", "Africa/Casablanca",
        "Europe/Dublin", "Pacific/Apia", "America/Nuuk", "Antarctica/Troll", "Pacific/Chatham",
        ":Asia/Tokyo", "UTC", "", ":", "Nowhere/Not_A_City", "12345", "XY5", "Europe",
        "<+0545>-5:45", "NZST-12NZDT,M9.5.0,M4.1.0/3", "AAA0BBB0,J60/0,59/0",
        "AAA0BBB0,M3.2.0/26,M11.1.0/-1", "CET-1CEST,M3.5.0,M10.5.0/3",
        "AAA-30BBB-25:99,M1.1.0,M2.1.0", "EST5EDT,M3.2.0,M11.1.0",
        "<-03>3<-02>,M3.5.0/-2,M10.5.0/-1", "AAA3BBB,J365/25,J1/0", "AAA3BBB,0/0,365/168",
        "EST+", "AAA-BBB"};
    // clang-format on
    for (const char* tz : values) EXPECT_EQ("", compareWithGlibc(tz, someInstants(rng)));
    unsetenv("TZ");
    tzset();
}

// Generated images: 256 types (the most a type index can name), versions 1 and 2, footers;
// then damage: cut short, a count raised past the data, an index or flag out of range, more
// standard-time flags than types.
TEST(TzZoneAgainstGlibc, GeneratedZoneFiles) {
    std::mt19937_64 rng(20240615);
    const std::string dir = testing::TempDir() + "qelkit_tz_" + std::to_string(getpid()) + "_";
    for (int i = 0; i < 300; ++i) {
        ZoneImage image = randomImage(rng);
        const std::size_t type = rng() % image.types.size();
        const int damage = i % 8;  // 0 and 7: none
        if (damage == 1 && !image.typeOf.empty())
            image.typeOf.back() = static_cast<unsigned char>(image.types.size());
        if (damage == 2) image.types[type][1] = 2;
        if (damage == 3) image.types[type][2] = static_cast<int>(image.abbrs.size()) + 1;
        if (damage == 6) image.isstd.assign(image.types.size() + 1, 0);  // more flags than types
        std::string data = image.bytes();
        if (damage == 4) data.resize(rng() % data.size());
        if (damage == 5) data[20 + 4 * (rng() % 6) + 3] += static_cast<char>(1 + rng() % 3);
        // Each image in a file of its own, kept to the end: glibc reuses the last file it read
        // while inode and modification time match, whatever the name.
        const std::string path = dir + std::to_string(i);
        std::ofstream(path, std::ios::binary) << data;
        Instants instants = someInstants(rng);
        for (std::int64_t t : image.times) instants.insert(instants.end(), {t - 1, t});
        EXPECT_EQ("", compareWithGlibc(path, instants)) << "image " << i;
    }
    for (int i = 0; i < 300; ++i) std::remove((dir + std::to_string(i)).c_str());
    unsetenv("TZ");
    tzset();
}

// A month outside 1..12 has no days to count: glibc reads past its table there, so the zone
// comparisons leave such rules out.
TEST(TzRule, MonthsOutsideTheYearAreNotWellDefined) {
    for (const char* tz : {"AAA0BBB,M0.1.0,M3.1.0", "AAA0BBB,M1.1.0,M13.1.0"})
        EXPECT_FALSE(TzRule::parse(tz).wellDefined()) << tz;
    EXPECT_TRUE(TzRule::parse("AAA0BBB,M1.1.0,M12.5.6").wellDefined());
}

}  // namespace
