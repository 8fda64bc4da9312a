#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "qelkit/datetime/qel_date.h"
#include "qelkit/datetime/qel_locale_snapshot.h"
#include "qelkit/datetime/qel_time_io.h"
#include "qelkit/datetime/qel_zone.h"
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
    // A new first guard installs its own name.
    const QelLocaleSnapshot again("fr");
    EXPECT_STREQ("fr", RWLocale::global().locale_name().data());
}

TEST(QelLocaleSnapshotGuard, GuardsOnManyThreadsLeaveTheLocaleAsFound) {
    const RWLocale* before = &RWLocale::global();
    std::vector<std::thread> threads;
    for (const char* name : {"de", "fr", "C", "it"}) {
        threads.emplace_back([name] {
            for (int i = 0; i < 500; ++i) {
                const QelLocaleSnapshot guard(name);
                EXPECT_EQ(8u, QelLocaleSnapshot::dateOutputFormat().length());
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(before, &RWLocale::global());
}

// clang-format off
TEST(QelLocaleSnapshotGuard, FixedWindowMapsTwoDigitYears) {
    const std::tuple<const char*, const char*, unsigned> texts[] = {
        {"7", "2007", 2007}, {"69", "1969", 1969}, {"68", "2068", 2068}, {"0", "2000", 2000},
        {"99", "1999", 1999}, {"123", "0123", 123}, {" 42abc", "2042", 2042}, {"2024", "2024", 2024},
        {"abc", "", 4294967295U}, {"", "", 4294967295U}, {"-5", "-0005", 4294967291U}};
    for (const auto& [text, expected, value] : texts) {
        EXPECT_STREQ(expected, QelLocaleSnapshot::fixedWindowString(text).data()) << text;
        EXPECT_EQ(value, QelLocaleSnapshot::fixedWindowValue(text)) << text;
    }
    const std::tuple<unsigned, unsigned, const char*> years[] = {
        {68, 2068, "2068"}, {69, 1969, "1969"}, {2024, 2024, "2024"}, {100, 100, "0100"}, {4294967295U, 4294967295U, ""}};
    for (const auto& [year, value, text] : years) {
        EXPECT_EQ(value, QelLocaleSnapshot::fixedWindowValue(year));
        EXPECT_STREQ(text, QelLocaleSnapshot::fixedWindowString(year).data());
    }
}

// The message of the NqException `f` throws, or "" when it throws none.
template <class F>
std::string thrown(F f) {
    try {
        f();
    } catch (const NqException& e) {
        return e.why();
    }
    return "";
}

TEST(QelDateStartOfWeek, SettersAcceptFourNamesAndOneToSeven) {
    const std::tuple<const char*, int, const char*> names[] = {
        {"Monday", 1, ""}, {"Friday", 5, ""}, {"Saturday", 6, ""}, {"Sunday", 7, ""},
        {"Thursday", 7, "Error - start of week value unrecognized: Thursday"},
        {"Tuesday", 7, "Error - start of week value unrecognized: Tuesday"},
        {"sunday", 7, "Error - start of week value unrecognized: sunday"}};
    for (const auto& [name, day, message] : names) {
        EXPECT_EQ(message, thrown([name = name] { QelDate::setStartOfWeek(QelString(name)); }));
        EXPECT_EQ(day, QelDate::startOfWeek()) << name;
    }
    const std::tuple<int, int, const char*> days[] = {
        {1, 1, ""}, {0, 1, "error - start of week value out of range (1..7): 0"}, {6, 6, ""},
        {8, 6, "error - start of week value out of range (1..7): 8"}, {7, 7, ""},
        {-1, 7, "error - start of week value out of range (1..7): -1"}};
    for (const auto& [value, day, message] : days) {
        EXPECT_EQ(message, thrown([value = value] { QelDate::setStartOfWeek(value); }));
        EXPECT_EQ(day, QelDate::startOfWeek()) << value;
    }
}
// clang-format on

TEST(QelTimeIOText, ReadsAndWritesTheLayout) {
    const RWZoneSimple utc(0, "UTC");
    const RWTime april(2177452800UL + 1176127783UL);  // 2007-04-09 14:09:43 UTC
    EXPECT_STREQ("2007-04-09 14:09:43", QelString(QelTimeIO(april, utc)).data());
    EXPECT_EQ(april, QelTimeIO(QelString("2007-04-09 14:09:43"), utc).time());
    EXPECT_EQ(april + 7200UL,
              QelTimeIO(QelString("2007-04-09 14:09:43"), RWZoneSimple(7200, "W")).time());
    const struct {
        const char* text;
        const char* back;
    } years[] = {{"0-01-02 03:04:05", "2000-01-02 03:04:05"},
                 {"7-01-02 03:04:05", "1907-01-02 03:04:05"},
                 {"99-12-31 23:59:59", "1999-12-31 23:59:59"}};
    for (const auto& y : years) {
        EXPECT_STREQ(y.back, QelString(QelTimeIO(QelString(y.text), utc)).data()) << y.text;
    }
    EXPECT_FALSE(QelTimeIO(QelString("1900-06-01 00:00:00"), utc).time().isValid());
    const RWTime before = RWTime::currentTime();
    const RWTime kept = QelTimeIO(QelString("2007-04-09T14:09:43"), utc).time();
    EXPECT_TRUE(before <= kept && kept <= RWTime::currentTime());

    const char* const saved = timeIOFormat;
    timeIOFormat = "%d.%m.%Y %H:%M";
    EXPECT_STREQ("09.04.2007 14:09", QelString(QelTimeIO(april, utc)).data());
    EXPECT_EQ(april - 43UL, QelTimeIO(QelString("09.04.2007 14:09"), utc).time());
    timeIOFormat = saved;
}

TEST(QelZoneGuard, InstallsAFixedZoneAndRestoresInReverseOrder) {
    ASSERT_FALSE(__envEnableDSTRules.isOn());
    const RWZone* before = &RWZone::local();
    {
        const QelZone outer;
        const RWZone* fixed = &RWZone::local();
        EXPECT_NE(before, fixed);
        EXPECT_FALSE(fixed->daylightObserved());
        {
            const QelZone inner;
            EXPECT_NE(fixed, &RWZone::local());
            EXPECT_EQ(fixed->timeZoneOffset(), RWZone::local().timeZoneOffset());
        }
        EXPECT_EQ(fixed, &RWZone::local());
    }
    EXPECT_EQ(before, &RWZone::local());
}

}  // namespace
