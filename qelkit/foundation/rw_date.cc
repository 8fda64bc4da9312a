// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/rw_date.h"

#include "qelkit/foundation/rw_time.h"
#include "qelkit/internal/calendar.h"

using qelkit_internal::civilFromDays;
using qelkit_internal::daysFromCivil;
using qelkit_internal::kJdnOfPosixEpoch;

namespace {

// The day number of a checked civil date, or 0 when the fields name no day of years 1..9999.
unsigned long checkedJdn(std::int64_t y, unsigned m, unsigned d) {
    if (!qelkit_internal::validCivil(y, m, d)) return 0;
    return static_cast<unsigned long>(daysFromCivil(y, m, d) + kJdnOfPosixEpoch);
}

}  // namespace

RWDate::RWDate() : RWDate(RWTime::currentTime(), RWZone::local()) {}

RWDate::RWDate(unsigned dayOfYear, unsigned year) {
    if (year >= 1 && year <= 9999 && dayOfYear >= 1 && dayOfYear <= daysInYear(year)) {
        jday_ = static_cast<unsigned long>(daysFromCivil(year, 1, 1) + kJdnOfPosixEpoch) +
                dayOfYear - 1;
    }
}

RWDate::RWDate(unsigned day, unsigned month, unsigned year)
    : jday_(checkedJdn(year < 100 ? year + 1900 : year, month, day)) {}

RWDate::RWDate(unsigned day, const char* monthName, unsigned year, const RWLocale& locale)
    : RWDate(day, monthName ? indexOfMonth(RWCString(monthName), locale) : 0u, year) {}

RWDate::RWDate(const RWCString& text, const RWLocale& loc) {
    struct tm t = {};
    if (loc.stringToDate(text, &t)) *this = RWDate(&t);
}

RWDate::RWDate(const RWTime& t, const RWZone& z) {
    if (!t.isValid()) return;
    const std::int64_t posix =
        static_cast<std::int64_t>(t.seconds()) - qelkit_internal::kPosixFrom1901;
    const std::int64_t local = posix - z.offsetAt(posix);
    const std::int64_t days = qelkit_internal::floorDiv(local, qelkit_internal::kSecondsPerDay);
    if (days >= qelkit_internal::kFirstDay && days <= qelkit_internal::kLastDay)
        jday_ = static_cast<unsigned long>(days + kJdnOfPosixEpoch);
}

RWDate::RWDate(const struct tm* t)
    : jday_(t && t->tm_mon >= 0 && t->tm_mday >= 1
                ? checkedJdn(static_cast<std::int64_t>(t->tm_year) + 1900,
                             static_cast<unsigned>(t->tm_mon) + 1,
                             static_cast<unsigned>(t->tm_mday))
                : 0) {}

unsigned RWDate::day() const {
    if (!isValid()) return 0;
    return civilFromDays(static_cast<std::int64_t>(jday_) - kJdnOfPosixEpoch).dayOfYear + 1;
}

unsigned RWDate::dayOfMonth() const {
    return isValid() ? civilFromDays(static_cast<std::int64_t>(jday_) - kJdnOfPosixEpoch).day : 0;
}

unsigned RWDate::month() const {
    return isValid() ? civilFromDays(static_cast<std::int64_t>(jday_) - kJdnOfPosixEpoch).month : 0;
}

unsigned RWDate::year() const {
    return isValid() ? static_cast<unsigned>(
                           civilFromDays(static_cast<std::int64_t>(jday_) - kJdnOfPosixEpoch).year)
                     : 0;
}

// Julian Day 0 fell on a Monday.
unsigned RWDate::weekDay() const { return isValid() ? jday_ % 7 + 1 : 0; }

RWBoolean RWDate::leap() const { return isValid() && leapYear(year()); }

void RWDate::extract(struct tm* t) const {
    if (!isValid()) {
        t->tm_mday = t->tm_mon = t->tm_year = t->tm_wday = t->tm_yday = -1;
        t->tm_sec = t->tm_min = t->tm_hour = t->tm_isdst = -1;
        return;
    }
    const std::int64_t days = static_cast<std::int64_t>(jday_) - kJdnOfPosixEpoch;
    const qelkit_internal::Civil c = civilFromDays(days);
    t->tm_mday = static_cast<int>(c.day);
    t->tm_mon = static_cast<int>(c.month) - 1;
    t->tm_year = static_cast<int>(c.year - 1900);
    t->tm_wday = static_cast<int>(jday_ % 7 + 1) % 7;  // C counts from Sunday = 0
    t->tm_yday = static_cast<int>(c.dayOfYear);
    t->tm_sec = t->tm_min = t->tm_hour = 0;
    t->tm_isdst = 0;
}

namespace {

// The date at midnight in standard time, so that %Z gives the zone's standard name.
struct tm midnightOf(const RWDate& d, const RWZone& z) {
    struct tm t = {};
    d.extract(&t);
    t.tm_gmtoff = -z.timeZoneOffset();
    return t;
}

}  // namespace

RWCString RWDate::asString(char format, const RWLocale& loc) const {
    if (!isValid()) return RWCString("#INVALID#");
    const RWZone& z = RWZone::local();
    const struct tm t = midnightOf(*this, z);
    return loc.asString(&t, format, z);
}

RWCString RWDate::asString(const char* format, const RWLocale& loc) const {
    if (!isValid()) return RWCString("#INVALID#");
    const RWZone& z = RWZone::local();
    const struct tm t = midnightOf(*this, z);
    return loc.asString(&t, format, z);
}

unsigned RWDate::daysInMonthYear(unsigned month, unsigned year) {
    return qelkit_internal::daysInMonth(year, month);
}

unsigned RWDate::daysInYear(unsigned year) { return leapYear(year) ? 366 : 365; }

RWBoolean RWDate::leapYear(unsigned year) { return qelkit_internal::isLeapYear(year); }

RWBoolean RWDate::dayWithinMonth(unsigned m, unsigned d, unsigned y) {
    return d >= 1 && d <= qelkit_internal::daysInMonth(y, m);
}

unsigned RWDate::indexOfMonth(const RWCString& name, const RWLocale& loc) {
    const int index = loc.monthIndex(name);
    return index >= 1 && index <= 12 ? static_cast<unsigned>(index) : 0;
}

long RWDate::jdnFromCivil(long year, unsigned month, unsigned day) noexcept {
    return static_cast<long>(daysFromCivil(year, month, day) + kJdnOfPosixEpoch);
}

void RWDate::civilFromJdn(long jdn, long* year, unsigned* month, unsigned* day) noexcept {
    const qelkit_internal::Civil c = civilFromDays(jdn - kJdnOfPosixEpoch);
    if (year) *year = static_cast<long>(c.year);
    if (month) *month = c.month;
    if (day) *day = c.day;
}
