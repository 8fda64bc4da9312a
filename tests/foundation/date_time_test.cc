// SPDX-License-Identifier: Apache-2.0
#include <date/date.h>
#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <thread>
#include <vector>

#include "qelkit/foundation/rw_date.h"
#include "qelkit/foundation/rw_date_time.h"
#include "qelkit/foundation/rw_time.h"

namespace {

constexpr std::int64_t k1901 = 2177452800;  // seconds from 1901 to 1970
const RWZoneSimple kUtc(0, "UTC");

// A tm's int fields: year, month, day, hour, minute, second, weekday, day of year, daylight.
std::vector<int> fieldsOf(const struct tm& t) {
    return {t.tm_year, t.tm_mon,  t.tm_mday, t.tm_hour, t.tm_min,
            t.tm_sec,  t.tm_wday, t.tm_yday, t.tm_isdst};
}

// Every day of 1901..2100 against Hinnant's calendar: fields, weekday, day of year, day
// number round trips, and RWDateTime built from the same fields (its readings are the next
// test's).
TEST(Calendar, EveryDayOf1901To2100MatchesOracle) {
    using namespace date;
    for (sys_days d = sys_days{1901_y / 1 / 1}; d <= sys_days{2100_y / 12 / 31}; d += days{1}) {
        const year_month_day ymd{d};
        const unsigned y = int(ymd.year()), m = unsigned(ymd.month()), dd = unsigned(ymd.day());
        const long n = d.time_since_epoch().count();
        const RWDate date(dd, m, y);
        ASSERT_EQ(date.julian(), static_cast<unsigned long>(n + 2440588)) << y << '-' << m;
        ASSERT_EQ(date.year() * 10000 + date.month() * 100 + date.dayOfMonth(),
                  y * 10000 + m * 100 + dd);
        ASSERT_EQ(date.weekDay(), weekday{d}.iso_encoding());
        ASSERT_EQ(date.day(), unsigned((d - sys_days{ymd.year() / 1 / 1}).count() + 1));
        ASSERT_EQ(RWDate(date.day(), y), date);
        ASSERT_EQ(date.leap(), ymd.year().is_leap());
        ASSERT_EQ(RWDate::daysInMonthYear(m, y), unsigned((ymd.year() / ymd.month() / last).day()));
        ASSERT_EQ(RWDateTime(dd, m, y, 13, 5, 7, 250, kUtc).milliSeconds(),
                  ((n * 86400 + 13 * 3600 + 5 * 60 + 7) + k1901) * 1000 + 250);
    }
}

// Random instants of years 1..9999 against the oracle, read in UTC and in a zone 5:30 east.
TEST(Calendar, RandomInstantsOfYears1To9999MatchOracle) {
    using namespace date;
    using namespace std::chrono;
    const RWZoneSimple east(-19800, "IST");
    const std::int64_t first = sys_days{year{1} / 1 / 1}.time_since_epoch().count() * 86400LL;
    const std::int64_t last = sys_days{year{9999} / 12 / 31}.time_since_epoch().count() * 86400LL;
    std::mt19937_64 rng(20070409);
    std::uniform_int_distribution<std::int64_t> pick((first + 19800) * 1000, (last - 19800) * 1000);
    for (int i = 0; i < 100000; ++i) {
        const std::int64_t posixMs = pick(rng);
        const RWDateTime dt(posixMs + k1901 * 1000);
        ASSERT_TRUE(dt.isValid());
        for (const RWZone* z :
             {static_cast<const RWZone*>(&kUtc), static_cast<const RWZone*>(&east)}) {
            const auto wall =
                sys_time<milliseconds>{milliseconds{posixMs}} - seconds{z->offsetAt(0)};
            const sys_days day = floor<days>(wall);
            const year_month_day ymd{day};
            const hh_mm_ss<milliseconds> hms{wall - day};
            ASSERT_EQ(dt.year(*z), unsigned(int(ymd.year())));
            ASSERT_EQ(dt.month(*z), unsigned(ymd.month()));
            ASSERT_EQ(dt.dayOfMonth(*z), unsigned(ymd.day()));
            ASSERT_EQ(dt.hour(*z), unsigned(hms.hours().count()));
            ASSERT_EQ(dt.minute(*z), unsigned(hms.minutes().count()));
            ASSERT_EQ(dt.weekDay(*z), weekday{day}.iso_encoding());
            ASSERT_EQ(dt.milliSecond(), unsigned(hms.subseconds().count()));
            if (dt.milliSeconds() >= 1000) {
                struct tm t;
                dt.toRWTime().extract(&t, *z);
                ASSERT_EQ(t.tm_year + 1900, int(ymd.year()));
                ASSERT_EQ(t.tm_yday, (day - sys_days{ymd.year() / 1 / 1}).count());
                ASSERT_EQ(RWDateTime(&t, dt.milliSecond(), *z), dt);
            }
        }
    }
}

// Day numbers outside the classes' range take the general path of the conversion.
TEST(Calendar, DayNumbersRoundTripFarOutsideTheValidYears) {
    EXPECT_EQ(RWDate::jdnFromCivil(-4713, 11, 24), 0);  // Julian Day 0, proleptic Gregorian
    for (long y : {-1000000L, -4713L, -1L, 0L, 1L, 9999L, 10000L, 3000000L}) {
        long year = 0;
        unsigned month = 0, day = 0;
        RWDate::civilFromJdn(RWDate::jdnFromCivil(y, 2, 29), &year, &month, &day);
        EXPECT_EQ(year * 10000 + month * 100 + day,
                  y * 10000 + (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0) ? 229 : 301))
            << y;
    }
}

// Every construction below must give an invalid value: a field outside its range, a day past
// the calendar's ends, a null pointer, a leap second.
TEST(Validity, ConstructorsRejectFieldsOutsideTheirRanges) {
    struct tm feb31 = {}, hour24 = {}, leapSecond = {}, zero = {}, badMonth = {}, noDay = {};
    feb31.tm_year = 107, feb31.tm_mon = 1, feb31.tm_mday = 31;
    hour24.tm_year = 107, hour24.tm_mday = 1, hour24.tm_hour = 24;
    leapSecond.tm_year = 107, leapSecond.tm_mday = 1, leapSecond.tm_sec = 60;
    badMonth.tm_year = 107, badMonth.tm_mon = -1, badMonth.tm_mday = 9;
    noDay.tm_year = 107;
    const struct tm* const none = nullptr;
    const RWDate mar2007(1, 3, 2007);
    const unsigned long end9999 = 253402300799UL + k1901;  // the last second of 9999
    const bool valid[] = {RWDate(31, 2, 2007).isValid(),
                          RWDate(29, 2, 1900).isValid(),
                          RWDate(29, 2, 0).isValid(),
                          RWDate(1, 1, 10000).isValid(),
                          RWDate(0, 1, 2007).isValid(),
                          RWDate(1, 13, 2007).isValid(),
                          RWDate(1, 0u, 2007).isValid(),
                          RWDate(0, 2007).isValid(),
                          RWDate(366, 2007).isValid(),
                          RWDate(367, 2008).isValid(),
                          RWDate(1, 0).isValid(),
                          RWDate(1, 10000).isValid(),
                          RWDate(&badMonth).isValid(),
                          RWDate(&noDay).isValid(),
                          RWDate(none).isValid(),
                          RWDate(9, "Foo", 2007, RWLocale::defaultLocale()).isValid(),
                          RWDate(RWTime(end9999 + 1), kUtc).isValid(),
                          RWTime(RWDate(31, 12, 1900), 23, 59, 59, kUtc).isValid(),
                          RWTime(mar2007, 24, 0, 0, kUtc).isValid(),
                          RWTime(mar2007, 0, 60, 0, kUtc).isValid(),
                          RWTime(mar2007, 0, 0, 60, kUtc).isValid(),
                          RWTime(&feb31, kUtc).isValid(),
                          RWTime(&hour24, kUtc).isValid(),
                          RWTime(&leapSecond, kUtc).isValid(),
                          RWDateTime(31, 2, 2007, 0, 0, 0, 0, kUtc).isValid(),
                          RWDateTime(1, 2, 2007, 25, 0, 0, 0, kUtc).isValid(),
                          RWDateTime(1, 2, 2007, 1, 0, 0, 1000, kUtc).isValid(),
                          RWDateTime(1, 1, 10000, 0, 0, 0, 0, kUtc).isValid(),
                          RWDateTime(RWTime(2177452800UL), 1000).isValid(),
                          RWDateTime(&zero, 0, kUtc).isValid(),
                          RWDateTime(RWDate(0UL), 0, 0, 0, 0, kUtc).isValid(),
                          RWDateTime(none, 0, kUtc).isValid()};
    for (std::size_t i = 0; i < std::size(valid); ++i) EXPECT_FALSE(valid[i]) << "row " << i;
    // The valid neighbours of those edges.
    zero.tm_year = 1 - 1900, zero.tm_mday = 1;
    EXPECT_EQ(RWDateTime(&zero, 0, kUtc), RWDateTime(1, 1, 1, 0, 0, 0, 0, kUtc));
    EXPECT_EQ(RWDate(RWTime(end9999), kUtc), RWDate(31, 12, 9999));
    EXPECT_TRUE(RWDate(366, 2008).isValid() && RWDate(365, 9999).isValid());
    EXPECT_TRUE(RWDateTime(RWTime(2177452800UL), 999).isValid());
    EXPECT_EQ(RWTime(RWDate(1, 1, 1901), 0, 0, 1, kUtc).seconds(), 1u);
    EXPECT_LT(RWDateTime(1, 1, 1900, 0, 0, 0, 0, kUtc).milliSeconds(), 0);
}

// Years below 100 of the field constructors are 1900 + y; the tm constructor and day numbers
// take the year as it is.
TEST(RWDateTest, TwoDigitYearsNamesAndTmFields) {
    EXPECT_EQ(RWDate(1, 3, 68), RWDate(1, 3, 1968));
    EXPECT_EQ(RWDate(1, 1, 1), RWDate(1, 1, 1901));
    EXPECT_EQ(RWDate(9, "april", 7, RWLocale::defaultLocale()), RWDate(9, 4, 1907));
    const long jan100 = date::sys_days{date::year{100} / 1 / 1}.time_since_epoch().count();
    EXPECT_EQ(RWDate(1, 1, 100).julian(), static_cast<unsigned long>(jan100 + 2440588));
    struct tm t = {};
    t.tm_year = 68 - 1900, t.tm_mon = 2, t.tm_mday = 1;
    EXPECT_EQ(RWDate(&t).year(), 68u);
    RWDate(0UL).extract(&t);
    EXPECT_EQ(fieldsOf(t), std::vector<int>(9, -1));
    RWTime(0UL).extract(&t, kUtc);
    EXPECT_EQ(fieldsOf(t), std::vector<int>(9, -1));
    EXPECT_EQ(RWDate::indexOfMonth("jan"), 1u);
}

TEST(RWTimeTest, ExtractRoundTripsInOddOffsetsAndNamesTheZone) {
    struct tm t;
    RWTime(2177452800UL).extract(&t, kUtc);
    EXPECT_EQ(fieldsOf(t), (std::vector<int>{70, 0, 1, 0, 0, 0, 4, 0, 0}));  // a Thursday
    for (const char* name : {"+03", "+02", "+03", "BST", "GMT"}) {           // names one byte apart
        RWTime(2177452800UL).extract(&t, RWZoneSimple(0, name));
        EXPECT_STREQ(t.tm_zone, name);
    }
    for (long west : {0L, 3600L, -3600L, -19800L, 43200L, -50400L, 75L}) {
        const RWZoneSimple z(west, "Z");
        for (unsigned long s : {1UL, 2177452800UL, 5354524800UL, 253402300799UL + k1901 - 86400}) {
            RWTime(s).extract(&t, z);
            EXPECT_EQ(t.tm_gmtoff, -west);
            EXPECT_EQ(RWTime(&t, z).seconds(), s) << west << ' ' << s;
        }
    }
}

TEST(RWDateTimeTest, InvalidValuesReadAsZeroAndSortFirst) {
    for (const RWDateTime& bad : {RWDateTime(RWDateTime::invalid), RWDateTime(RWDateTime::null)}) {
        EXPECT_EQ((std::vector<unsigned long>{bad.year(), bad.month(), bad.dayOfMonth(), bad.day(),
                                              bad.hour(), bad.minute(), bad.second(),
                                              bad.milliSecond(), bad.weekDay(), bad.julian()}),
                  std::vector<unsigned long>(10, 0));
        EXPECT_FALSE(bad.toRWTime().isValid());
        EXPECT_EQ(bad, RWDateTime(RWDateTime::invalid));
        EXPECT_LT(bad, RWDateTime(1, 1, 1, 0, 0, 0, 0, kUtc));
        EXPECT_EQ(bad.asString('\0'), "#INVALID#");
    }
    const RWTime t2068(RWDate(1, 3, 2068), 12, 0, 0, kUtc);
    EXPECT_EQ(RWDateTime(t2068, 7).milliSeconds(),
              static_cast<rwint64>(t2068.seconds()) * 1000 + 7);
    EXPECT_EQ(RWDateTime(1, 3, 2068, 12, 0, 0, 0, kUtc).toRWTime(), t2068);
    EXPECT_EQ(RWDateTime(RWDate(9, 4, 2007), 14, 9, 43, 5, kUtc),
              RWDateTime(9, 4, 2007, 14, 9, 43, 5, kUtc));
}

TEST(RWDateTimeTest, StepsAreExactAndLeavingTheRangeIsInvalid) {
    RWDateTime dt(31, 12, 9999, 23, 59, 59, 998, kUtc);
    EXPECT_TRUE(dt.incrementMillisecond(1).isValid());
    EXPECT_FALSE(dt.incrementMillisecond(1).isValid());
    EXPECT_FALSE(dt.decrementDay(1).isValid());  // invalid stays invalid
    EXPECT_FALSE(RWDateTime(1, 1, 1, 0, 0, 0, 0, kUtc).decrementSecond(1).isValid());
    EXPECT_FALSE(RWDateTime(1, 1, 2000, 0, 0, 0, 0, kUtc).incrementDay(INT64_MAX / 2).isValid());
    RWDateTime day(1, 3, 2008, 6, 30, 0, 0, kUtc);
    day.decrementDay(1).incrementHour(2).decrementMinute(30).incrementSecond(61);
    EXPECT_EQ(day, RWDateTime(29, 2, 2008, 8, 1, 1, 0, kUtc));
}

// The accessors' fields, and the same reading through extract(), in the same order.
using Fields = std::vector<unsigned>;
Fields accessorFields(const RWDateTime& dt, const RWZone& z) {
    return {dt.year(z),    dt.month(z), dt.dayOfMonth(z), dt.day(z),
            dt.weekDay(z), dt.hour(z),  dt.minute(z),     static_cast<unsigned>(dt.julian(z))};
}
Fields extractedFields(const RWDateTime& dt, const RWZone& z) {
    if (!dt.isValid()) return Fields(8, 0);
    struct tm t;
    dt.extract(&t, z);
    const unsigned y = t.tm_year + 1900, m = t.tm_mon + 1, d = t.tm_mday, yday = t.tm_yday + 1;
    const unsigned wday = t.tm_wday == 0 ? 7 : t.tm_wday, hour = t.tm_hour, min = t.tm_min;
    return {y, m, d, yday, wday, hour, min, static_cast<unsigned>(RWDate(d, m, y).julian())};
}

// The reading an object keeps in os() must follow every change of its instant.
TEST(RWDateTimeTest, KeptReadingFollowsStepsAndAssignments) {
    const RWZone& os = RWZone::os();
    const rwint64 start = RWDateTime(9, 4, 2007, 14, 9, 43, 0, kUtc).milliSeconds();
    const struct {
        const char* what;
        void (*change)(RWDateTime&);
    } cases[] = {
        {"incrementHour", [](RWDateTime& d) { d.incrementHour(5); }},
        {"decrementDay", [](RWDateTime& d) { d.decrementDay(40); }},
        {"incrementMillisecond", [](RWDateTime& d) { d.incrementMillisecond(86400000 + 60000); }},
        {"decrementMinute", [](RWDateTime& d) { d.decrementMinute(61); }},
        {"assignment", [](RWDateTime& d) { d = RWDateTime(d.milliSeconds() + 3600000 * 30); }},
        {"to invalid", [](RWDateTime& d) { d.incrementDay(INT64_MAX / 2); }},
    };
    for (const auto& c : cases) {
        RWDateTime dt(start);
        ASSERT_EQ(accessorFields(dt, os), extractedFields(dt, os));  // fills the kept reading
        c.change(dt);
        const RWDateTime fresh =
            dt.isValid() ? RWDateTime(dt.milliSeconds()) : RWDateTime(RWDateTime::invalid);
        EXPECT_EQ(accessorFields(dt, os), extractedFields(fresh, os)) << c.what;
    }
    // A copy of a value with a kept reading reads the same in os() (the default zone until
    // another is installed) and is read afresh in any other zone.
    RWDateTime a(start);
    a.hour(os);
    const RWDateTime b(a);
    const RWZoneSimple east(-19800, "IST");
    EXPECT_EQ(accessorFields(b, RWZone::local()), extractedFields(RWDateTime(start), os));
    EXPECT_EQ(accessorFields(b, east), extractedFields(RWDateTime(start), east));
}

// Threads reading the fields of shared const values at once agree with a reading made alone.
TEST(RWDateTimeTest, SharedConstValuesReadConcurrentlyAgree) {
    const RWZone& os = RWZone::os();
    std::vector<RWDateTime> shared;
    std::vector<Fields> expect;
    for (rwint64 ms = RWDateTime(1, 1, 1990, 0, 0, 0, 0, kUtc).milliSeconds(); shared.size() < 2000;
         ms += 3 * 86400000LL + 3599999) {
        shared.emplace_back(ms);
        expect.push_back(extractedFields(RWDateTime(ms), os));
    }
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            for (int round = 0; round < 5; ++round)
                for (std::size_t k = 0; k < shared.size(); ++k)
                    mismatches[i] += accessorFields(shared[k], os) != expect[k];
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(RWDateTimeTest, TextReadsDateThenTimeFromTheFirstWordWithAColon) {
    // 9 April 2007 at 14:09 plus `s` seconds, in ms in UTC.
    const auto april9 = [](int s) { return (1176127740LL + s + k1901) * 1000; };
    struct Case {
        const char* text;
        RWDateTime::SetType set;
        rwint64 expect;  // ms in UTC
    } cases[] = {
        {"2007-04-09 14:09:43", RWDateTime::setBoth, april9(43)},
        {"04/09/2007 2:09 PM", RWDateTime::setBoth, april9(0)},
        {"Apr 9, 2007 14:09", RWDateTime::setBoth, april9(0)},
        {"2007-04-09", RWDateTime::setDate, april9(-14 * 3600 - 9 * 60)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RWDateTime(c.text, c.set, RWLocale::defaultLocale(), kUtc).milliSeconds(),
                  c.expect)
            << c.text;
    const RWDateTime now(RWDateTime::setCurrentTime);
    const RWDateTime at("14:09", RWDateTime::setTime, RWLocale::defaultLocale(), kUtc);
    EXPECT_EQ(at.hour(kUtc) * 100 + at.minute(kUtc), 1409u);
    EXPECT_LE(at.julian(kUtc) - now.julian(kUtc) + 1, 2u);  // today (unless midnight passed)
    EXPECT_EQ(RWDate("Apr 9, 2007"), RWDate(9, 4, 2007));
}

TEST(Formatting, ClassesPassZoneAndLocaleToTheLocaleFormatter) {
    const RWZoneSimple z(-7200, "EET");
    const RWDateTime dt(9, 4, 2007, 14, 9, 43, 0, z);
    const RWLocale& c = RWLocale::defaultLocale();
    EXPECT_EQ(dt.asString('\0', c, z), "04/09/07 14:09:43");
    EXPECT_EQ(dt.toRWTime().asString('\0', z, c), "04/09/07 14:09:43");
    EXPECT_EQ(dt.toRWTime().asString("%F %T %Z %z %Q", z, c), "2007-04-09 14:09:43 EET +0200 %Q");
    EXPECT_EQ(dt.asString("%a %j", c, kUtc), "Mon 099");
    EXPECT_EQ(RWDate(9, 4, 2007).asString('x', c), "04/09/07");
    EXPECT_EQ(RWDate(9, 4, 2007).asString("%F %T", c), "2007-04-09 00:00:00");
    EXPECT_EQ(RWTime(0UL).asString('\0', z, c), "#INVALID#");
    EXPECT_EQ(RWDate(0UL).asString('x', c), "#INVALID#");
}

}  // namespace
