// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "qelkit/datetime/qel_date.h"
#include "qelkit/datetime/qel_locale_snapshot.h"
#include "qelkit/datetime/qel_time_io.h"
#include "qelkit/records/nq_exception.h"

namespace {

TEST(QelLocaleSnapshotGuard, FirstGuardInstallsAndLastRestores) {
    const RWLocale* before = &RWLocale::global();
    auto first = std::make_unique<QelLocaleSnapshot>("de");
    auto second = std::make_unique<QelLocaleSnapshot>("fr");
    EXPECT_STREQ("de", RWLocale::global().locale_name().data());
    first.reset();
    EXPECT_STREQ("de", RWLocale::global().locale_name().data());
    second.reset();
    EXPECT_EQ(before, &RWLocale::global());
    // Unset output formats: under a time locale other than "en_UK" dates read month first.
    EXPECT_STREQ("%m/%d/%Y", QelLocaleSnapshot::dateOutputFormat().data());
    EXPECT_STREQ("%H:%M:%S", QelLocaleSnapshot::timeOutputFormat().data());
}

// clang-format off
// Each setter call with what startOfWeek() reads after it and the message thrown, if any. The
// names qelkit-agg --week-start reads (and refuses) are checked through the tool.
TEST(QelDateStartOfWeek, SettersAcceptFourNamesAndOneToSeven) {
    const std::tuple<const char*, int, int, const char*> cases[] = {
        {"Saturday", 0, 6, ""}, {"Thursday", 0, 6, "Error - start of week value unrecognized: Thursday"},
        {nullptr, 1, 1, ""}, {nullptr, 0, 1, "error - start of week value out of range (1..7): 0"},
        {nullptr, 7, 7, ""}, {nullptr, 8, 7, "error - start of week value out of range (1..7): 8"}};
    for (const auto& [name, value, day, message] : cases) {
        std::string thrown;
        try {
            name ? QelDate::setStartOfWeek(QelString(name)) : QelDate::setStartOfWeek(value);
        } catch (const NqException& e) {
            thrown = e.why();
        }
        EXPECT_EQ(message, thrown) << (name ? name : "") << value;
        EXPECT_EQ(day, QelDate::startOfWeek()) << (name ? name : "") << value;
    }
    EXPECT_TRUE(QelDate::dayName(0) == nullptr && QelDate::dayName(8) == nullptr);
}

TEST(QelTimeIOText, ReadsAndWritesTheLayout) {
    const RWZoneSimple utc(0, "UTC");
    const RWTime april(2177452800UL + 1176127783UL);  // 2007-04-09 14:09:43 UTC
    const auto read = [&utc](const char* text) { return QelTimeIO(QelString(text), utc).time(); };
    const auto back = [&utc](const char* text) { return std::string(QelString(QelTimeIO(QelString(text), utc)).data()); };
    EXPECT_STREQ("2007-04-09 14:09:43", QelString(QelTimeIO(april, utc)).data());
    EXPECT_EQ(april + 7200UL, QelTimeIO(QelString("2007-04-09 14:09:43"), RWZoneSimple(7200, "W")).time());
    // Short years: 0 reads as 2000 and 7 as 1907.
    EXPECT_EQ("2000-01-02 03:04:05", back("0-01-02 03:04:05"));
    EXPECT_EQ("1907-01-02 03:04:05", back("7-01-02 03:04:05"));
    EXPECT_FALSE(read("1900-06-01 00:00:00").isValid());
    // Text not in the layout leaves the time of construction.
    EXPECT_LE(RWTime::currentTime().seconds() - read("2007-04-09T14:09:43").seconds() + 1, 2u);
    const char* const saved = timeIOFormat;
    timeIOFormat = "%d.%m.%Y %H:%M";
    EXPECT_STREQ("09.04.2007 14:09", QelString(QelTimeIO(april, utc)).data());
    EXPECT_EQ(april - 43UL, read("09.04.2007 14:09"));
    timeIOFormat = saved;
}
// clang-format on

}  // namespace
