// SPDX-License-Identifier: Apache-2.0
#include <date/date.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
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

// Random instants of years 1..9999 against Hinnant's calendar, each read in UTC and in one
// other zone (east, west, by an odd number of seconds): the fields, the extracted tm and its
// way back, and the date of the local day with its day number, weekday, day of year, leap year
// and month length, and RWDateTime built from the same fields, date or time.
TEST(Calendar, RandomInstantsOfYears1To9999MatchOracle) {
    using namespace date;
    using namespace std::chrono;
    // Names one byte apart: each reading must point at its own zone's name.
    const RWZoneSimple others[] = {{-19800, "+03"}, {75, "+02"}, {43200, "BST"}, {-50400, "GMT"}};
    const std::int64_t from = sys_days{year{1} / 1 / 1}.time_since_epoch().count() * 86400LL;
    const std::int64_t to = sys_days{year{9999} / 12 / 31}.time_since_epoch().count() * 86400LL;
    std::mt19937_64 rng(20070409);
    std::uniform_int_distribution<std::int64_t> pick((from + 50400) * 1000, (to - 50400) * 1000);
    for (int i = 0; i < 100000; ++i) {
        const std::int64_t posixMs = pick(rng);
        const RWDateTime dt(posixMs + k1901 * 1000);
        ASSERT_TRUE(dt.isValid());
        for (const RWZone* z :
             {static_cast<const RWZone*>(&kUtc), static_cast<const RWZone*>(&others[i % 4])}) {
            const auto wall =
                sys_time<milliseconds>{milliseconds{posixMs}} - seconds{z->offsetAt(0)};
            const sys_days day = floor<days>(wall);
            const year_month_day ymd{day};
            const hh_mm_ss<milliseconds> hms{wall - day};
            const unsigned y = int(ymd.year()), m = unsigned(ymd.month()), d = unsigned(ymd.day());
            const unsigned h = hms.hours().count(), mi = hms.minutes().count();
            const unsigned yday = (day - sys_days{ymd.year() / 1 / 1}).count() + 1;
            ASSERT_EQ((std::vector<unsigned>{dt.year(*z), dt.month(*z), dt.dayOfMonth(*z),
                                             dt.hour(*z), dt.minute(*z), dt.weekDay(*z)}),
                      (std::vector<unsigned>{y, m, d, h, mi, weekday{day}.iso_encoding()}))
                << posixMs;
            ASSERT_EQ(dt.milliSecond(), unsigned(hms.subseconds().count()));
            const unsigned s = hms.seconds().count(), ms = dt.milliSecond();
            if (dt.milliSeconds() >= 1000) {
                struct tm t;
                dt.toRWTime().extract(&t, *z);
                ASSERT_EQ(t.tm_year + 1900, int(y));
                ASSERT_EQ(t.tm_yday + 1, int(yday));
                ASSERT_EQ(t.tm_gmtoff, -z->offsetAt(0));
                ASSERT_STREQ(t.tm_zone, z->timeZoneName().data());
                ASSERT_EQ(RWDateTime(&t, ms, *z), dt);
                ASSERT_EQ(RWTime(&t, *z), dt.toRWTime());
                ASSERT_EQ(dt.toRWTime().hour(*z) * 60 + dt.toRWTime().minute(*z), h * 60 + mi);
                ASSERT_EQ(RWDateTime(dt.toRWTime(), ms), dt);
            }
            if (y < 100) continue;  // the field constructors read 1..99 as 1901..1999
            const RWDate date(d, m, y);
            ASSERT_EQ(date.julian(),
                      static_cast<unsigned long>(day.time_since_epoch().count() + 2440588));
            ASSERT_EQ(date.year() * 10000 + date.month() * 100 + date.dayOfMonth(),
                      y * 10000 + m * 100 + d);
            ASSERT_EQ(date.weekDay(), weekday{day}.iso_encoding());
            ASSERT_EQ(date.day(), yday);
            ASSERT_EQ(RWDate(yday, y), date);
            ASSERT_EQ(date.leap(), ymd.year().is_leap());
            ASSERT_EQ(RWDate::daysInMonthYear(m, y),
                      unsigned((ymd.year() / ymd.month() / last).day()));
            ASSERT_EQ(RWDateTime(d, m, y, h, mi, s, ms, *z), dt);
            ASSERT_EQ(RWDateTime(date, h, mi, s, ms, *z), dt);
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

// Fields drawn from around the ends of their ranges, given to every constructor that takes
// fields, against the oracle: valid exactly when they name a time of years 1..9999 (RWTime:
// after 1901 began), and then that time. The date constructors read years 1..99 as 1901..1999,
// RWDateTime's and the tm's take the year as it is.
TEST(Validity, FieldConstructorsAcceptExactlyTheOraclesTimes) {
    using namespace date;
    std::mt19937 rng(1901);
    const auto any = [&rng](std::initializer_list<unsigned> v) {
        return v.begin()[rng() % v.size()];
    };
    for (int i = 0; i < 20000; ++i) {
        const unsigned y = any({0, 1, 68, 99, 100, 1899, 1900, 1901, 2007, 2008, 9999, 10000});
        const unsigned m = any({0, 1, 2, 3, 12, 13}), d = any({0, 1, 28, 29, 30, 31, 32});
        const unsigned h = any({0, 23, 24}), mi = any({0, 59, 60}), sec = any({0, 59, 60});
        const unsigned ms = any({0, 999, 1000}), yday = any({0, 1, 365, 366, 367});
        const auto daysOf = [&](unsigned year) {  // the day from 1970, or nothing
            const year_month_day ymd{date::year(int(year)), month(m), day(d)};
            return year >= 1 && year <= 9999 && ymd.ok()
                       ? std::optional<long>(sys_days{ymd}.time_since_epoch().count())
                       : std::nullopt;
        };
        const auto dateDays = daysOf(y < 100 ? y + 1900 : y), days = daysOf(y);
        const bool clock = h < 24 && mi < 60 && sec < 60;
        // Seconds from 1901 to the drawn clock on a day counted from 1970.
        const auto since1901 = [&](long day) {
            return day * 86400 + h * 3600 + mi * 60 + sec + k1901;
        };
        const RWDate byFields(d, m, y);
        ASSERT_EQ(byFields.isValid() ? long(byFields.julian()) : -1,
                  dateDays ? *dateDays + 2440588 : -1);
        ASSERT_EQ(long(RWTime(byFields, h, mi, sec, kUtc).seconds()),
                  dateDays && clock ? std::max(0L, since1901(*dateDays)) : 0)
            << d << '.' << m << '.' << y << ' ' << h << ':' << mi << ':' << sec;
        const RWDateTime dt(d, m, y, h, mi, sec, ms, kUtc);
        ASSERT_EQ(dt.isValid() ? dt.milliSeconds() : -1,
                  days && clock && ms < 1000 ? since1901(*days) * 1000 + ms : -1);
        struct tm t = {};
        t.tm_year = int(y) - 1900, t.tm_mon = int(m) - 1, t.tm_mday = int(d);
        t.tm_hour = int(h), t.tm_min = int(mi), t.tm_sec = int(sec);
        ASSERT_EQ(RWDate(&t).isValid() ? long(RWDate(&t).julian()) : -1,
                  days ? *days + 2440588 : -1);
        ASSERT_EQ(RWDateTime(&t, ms, kUtc), dt);
        ASSERT_EQ(long(RWTime(&t, kUtc).seconds()),
                  days && clock ? std::max(0L, since1901(*days)) : 0);
        const bool dayOk =
            y >= 1 && y <= 9999 && yday >= 1 && yday <= 365u + date::year(int(y)).is_leap();
        ASSERT_EQ(RWDate(yday, y).isValid(), dayOk);
        if (m >= 1 && m <= 12) {
            ASSERT_EQ(RWDate::dayWithinMonth(m, d, y),
                      year_month_day(date::year(int(y)), month(m), day(d)).ok());
        }
    }
}

// The constructions from other values at the ends of the range, a month name that names none
// and null pointers give invalid values; their valid neighbours.
TEST(Validity, ConversionsAtTheEndsOfTheRange) {
    const struct tm* const none = nullptr;
    const unsigned long end9999 = 253402300799UL + k1901;  // the last second of 9999
    EXPECT_FALSE(RWDate(none).isValid() || RWDateTime(none, 0, kUtc).isValid() ||
                 RWDate(9, "Foo", 2007, RWLocale::defaultLocale()).isValid() ||
                 RWDate(RWTime(end9999 + 1), kUtc).isValid() ||
                 RWDateTime(RWTime(2177452800UL), 1000).isValid() ||
                 RWDateTime(RWDate(0UL), 0, 0, 0, 0, kUtc).isValid());
    EXPECT_EQ(RWDate(RWTime(end9999), kUtc), RWDate(31, 12, 9999));
    EXPECT_TRUE(RWDateTime(RWTime(2177452800UL), 999).isValid());
    EXPECT_EQ(RWDate(9, "april", 7, RWLocale::defaultLocale()), RWDate(9, 4, 1907));
    EXPECT_EQ(RWDate::indexOfMonth("jan"), 1u);
    struct tm t;
    RWDate(0UL).extract(&t);
    EXPECT_EQ(fieldsOf(t), std::vector<int>(9, -1));
    RWTime(0UL).extract(&t, kUtc);
    EXPECT_EQ(fieldsOf(t), std::vector<int>(9, -1));
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

// The reading an object keeps in os() must follow every change of its instant (every step
// goes through incrementMillisecond or decrementMillisecond).
TEST(RWDateTimeTest, KeptReadingFollowsStepsAndAssignments) {
    const RWZone& os = RWZone::os();
    const rwint64 start = RWDateTime(9, 4, 2007, 14, 9, 43, 0, kUtc).milliSeconds();
    const struct {
        const char* what;
        void (*change)(RWDateTime&);
    } cases[] = {
        {"incrementHour", [](RWDateTime& d) { d.incrementHour(5); }},
        {"decrementDay", [](RWDateTime& d) { d.decrementDay(40); }},
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

// Dates and times read from text are the locale fuzz target's.
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
