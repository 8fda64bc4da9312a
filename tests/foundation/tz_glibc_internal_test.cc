// SPDX-License-Identifier: Apache-2.0
// The zone reader against glibc in one process (tz_glibc_compare.h), for TZ values of every
// kind: installed zone files, odd names, and the zone file images of zone_images/, made by a
// seeded generator: up to 256 types, versions 1 and 2, POSIX footers, and one in eight of each
// kind of damage (cut short, a count raised past the data, an index or flag out of range, more
// standard-time flags than types), and image160, a valid version 1 image cut two bytes short
// of its names. Arbitrary POSIX rules are the zone-rule fuzz target's.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "qelkit/foundation/internal/tz_rule.h"
#include "tests/foundation/tz_glibc_compare.h"

namespace {

TEST(TzZoneAgainstGlibc, InstalledZonesOddNamesAndZoneFileImages) {
    // Installed zones, then odd names: empty, ':' alone, a missing zone, digits, no offset, a
    // directory.
    std::istringstream zones(
        "Europe/London America/New_York Australia/Lord_Howe Asia/Kathmandu Europe/Istanbul "
        "Europe/Moscow America/Sao_Paulo Africa/Casablanca Europe/Dublin Pacific/Apia America/Nuuk "
        "Antarctica/Troll Pacific/Chatham :Asia/Tokyo UTC : Nowhere/Not_A_City 12345 XY5 Europe");
    EXPECT_EQ("", compareWithGlibc("", {}));
    for (std::string tz; zones >> tz;) EXPECT_EQ("", compareWithGlibc(tz, {})) << tz;
    // Each image is read from its own file: glibc reuses the last file it read while inode and
    // modification time match, whatever the name.
    const auto dir = std::filesystem::path(__FILE__).parent_path() / "zone_images";
    int images = 0;
    for (const auto& image : std::filesystem::directory_iterator(dir)) {
        EXPECT_EQ("", compareWithGlibc(image.path().string(), {}));
        ++images;
    }
    EXPECT_EQ(images, 161);
    unsetenv("TZ");
    tzset();
}

// A month outside 1..12 has no days to count: glibc reads past its table there, so the
// comparisons leave such rules out.
TEST(TzRule, MonthsOutsideTheYearAreNotWellDefined) {
    for (const char* tz : {"AAA0BBB,M0.1.0,M3.1.0", "AAA0BBB,M1.1.0,M13.1.0"})
        EXPECT_FALSE(qelkit_internal::TzRule::parse(tz).wellDefined()) << tz;
    EXPECT_TRUE(qelkit_internal::TzRule::parse("AAA0BBB,M1.1.0,M12.5.6").wellDefined());
}

}  // namespace
