// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "qelkit/foundation/rw_date.h"
#include "qelkit/foundation/rw_locale.h"
#include "qelkit/foundation/rw_zone.h"

namespace {

const RWZoneSimple kUtc(0, "UTC");

// Monday 9 April 2007 14:09:43.
struct tm sampleTm() {
    struct tm t {};
    t.tm_year = 107, t.tm_mon = 3, t.tm_mday = 9, t.tm_hour = 14, t.tm_min = 9, t.tm_sec = 43;
    t.tm_wday = 1, t.tm_yday = 98;
    return t;
}

// Formatting against strftime, names and the parsers are the locale fuzz target's; %Z and %z
// on either side of a zone are the os zone tests' (zone_os_env.cc).
// Swaps returning the locale before are the locale guard's tests (tests/datetime); here null.
TEST(RWLocale, GlobalSwapsAndNullReinstallsTheDefault) {
    const RWLocaleSnapshot other("C");
    const RWLocale& def = RWLocale::defaultLocale();
    EXPECT_EQ(RWLocale::global(&other), &def);
    EXPECT_EQ(RWLocale::global(nullptr), &other);
    EXPECT_EQ(&RWLocale::global(), &def);
    EXPECT_EQ(def.locale_name(), "C");
}

TEST(RWLocale, SnapshotsOfCAndOfUnknownNamesBehaveAsTheDefault) {
    const char* const names[] = {"C", "POSIX", "C.UTF-8", "xx_NOWHERE.bogus", nullptr};
    const RWLocale& def = RWLocale::defaultLocale();
    struct tm t = sampleTm();
    t.tm_hour = 0;  // midnight is "AM", hour 12 by %I
    const char* const format = "%a %A %b %B %c %p %I %x %X %Q";
    for (const char* name : names) {
        const RWLocaleSnapshot snap(name);
        const std::string label = name ? name : "(null)";
        if (name != nullptr) {
            EXPECT_EQ(snap.locale_name(), name);
        }
        EXPECT_EQ(snap.asString(&t, format, kUtc), def.asString(&t, format, kUtc)) << label;
        struct tm d = {};
        EXPECT_TRUE(snap.stringToDate("9 Apr 07", &d) && d.tm_year == 7) << label;
        EXPECT_TRUE(snap.stringToTime("12:01 am", &d) && d.tm_hour == 0) << label;
    }
    // With nothing given, the C locale current now (gtest leaves the process in "C").
    EXPECT_EQ(RWLocaleSnapshot().locale_name(), "C");
}

// A locale that only implements the char conversion: the format loop must copy what it does
// not support.
class ShoutingLocale : public RWLocale {
  public:
    using RWLocale::asString;
    RWCString asString(const struct tm* t, char format, const RWZone& z) const override {
        if (format == 'Y') return "AY";  // ends with the conversion's letter, as "%Y" would
        return RWLocale::defaultLocale().asString(t, format, z);
    }
    RWBoolean stringToDate(const RWCString&, struct tm*) const override { return false; }
    RWBoolean stringToTime(const RWCString&, struct tm*) const override { return false; }
    const RWCString& locale_name() const override { return name_; }
    int monthIndex(const RWCString& name) const override {  // out of range for "Undecimber"
        return name == "Undecimber" ? 13 : RWLocale::monthIndex(name);
    }

  private:
    RWCString name_ = "shout";
};

TEST(RWLocale, BaseFormatLoopAndNamesServeSubclasses) {
    const ShoutingLocale loc;
    const struct tm t = sampleTm();
    EXPECT_EQ(std::string(loc.asString(&t, "%Y|%Q|%m|%%|%", kUtc)), "AY|%Q|04|%|%");
    EXPECT_EQ(loc.monthIndex("dec"), 12);
    EXPECT_EQ(RWDate::indexOfMonth("dec", loc), 12u);
    EXPECT_EQ(RWDate::indexOfMonth("Undecimber", loc), 0u);
    EXPECT_EQ(loc.weekdayIndex("Sunday"), 7);
    EXPECT_EQ(loc.weekdayIndex("Sun."), 0);
    EXPECT_EQ(std::string(RWLocale::defaultLocale().asString(&t, '\0', kUtc)), "04/09/07 14:09:43");
    EXPECT_EQ(std::string(RWLocale::defaultLocale().asString(nullptr, 'x', kUtc)), "#INVALID#");
}

TEST(RWLocale, NumbersUseTheCConventions) {
    const RWLocale& c = RWLocale::defaultLocale();
    EXPECT_EQ(c.asString(-42L), "-42");
    EXPECT_EQ(c.asString(18446744073709551615UL), "18446744073709551615");
    // value, precision, showpoint: trailing zeros go unless showpoint; halves round to even
    EXPECT_EQ(c.asString(3.14159, 2, false) + " " + c.asString(2.5, 3, false) + " " +
                  c.asString(2.5, 3, true) + " " + c.asString(2.0, 6, false) + " " +
                  c.asString(-0.125, 2, true) + " " + c.asString(1e6, 0, false) + " " +
                  c.asString(2.5, 0, false) + " " + c.asString(2.75, 0, true),
              "3.14 2.5 2.500 2 -0.12 1000000 2 3");
}

}  // namespace
