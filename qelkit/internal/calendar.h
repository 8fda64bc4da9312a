// SPDX-License-Identifier: Apache-2.0
// Closed-form proleptic-Gregorian calendar arithmetic, the one copy the whole library uses:
// the date and time classes, the zone reader, the locale parser and the date converters.
// Days are counted from 1970-01-01 (day 0); every conversion is a handful of integer
// operations, with no loop over years or months. Internal: not installed.
#ifndef QELKIT_INTERNAL_CALENDAR_H
#define QELKIT_INTERNAL_CALENDAR_H

#include <cstdint>

namespace qelkit_internal {

constexpr std::int64_t kSecondsPerDay = 86400;
// Seconds from 1901-01-01 to 1970-01-01, and the Julian Day Number of 1970-01-01.
constexpr std::int64_t kPosixFrom1901 = 2177452800;
constexpr std::int64_t kJdnOfPosixEpoch = 2440588;

// Floor division and its non-negative remainder (b > 0).
constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b) noexcept {
    return a / b - (a % b < 0 ? 1 : 0);
}
constexpr std::int64_t floorMod(std::int64_t a, std::int64_t b) noexcept {
    return a % b + (a % b < 0 ? b : 0);
}

constexpr bool isLeapYear(std::int64_t y) noexcept {
    return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

// Days in month `m` (1..12) of year `y`; 0 for a month out of range.
constexpr unsigned daysInMonth(std::int64_t y, unsigned m) noexcept {
    constexpr unsigned char lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12) return 0;
    return lengths[m - 1] + (m == 2 && isLeapYear(y) ? 1 : 0);
}

// The calendar is handled with years that start on 1 March, so that the leap day is the last
// day of its year, grouped in 400-year cycles of 146097 days. Day 0 of that scheme is
// 0000-03-01, which is 719468 days before 1970-01-01.
constexpr std::int64_t kMarchZeroToPosixEpoch = 719468;
constexpr std::int64_t kDaysPerCycle = 146097;

// Days from 1970-01-01 to year `y`, month `m` (1..12), day `d`; fields are not checked.
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) noexcept {
    const std::int64_t marchYear = y - (m <= 2 ? 1 : 0);
    const std::int64_t cycle = floorDiv(marchYear, 400);
    const std::int64_t yearOfCycle = marchYear - cycle * 400;               // 0..399
    const unsigned monthFromMarch = m > 2 ? m - 3 : m + 9;                  // 0..11
    const std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + d - 1;  // 0..365
    const std::int64_t dayOfCycle =
        yearOfCycle * 365 + yearOfCycle / 4 - yearOfCycle / 100 + dayOfYear;
    return cycle * kDaysPerCycle + dayOfCycle - kMarchZeroToPosixEpoch;
}

struct Civil {
    std::int64_t year;
    unsigned month;      // 1..12
    unsigned day;        // 1..31
    unsigned dayOfYear;  // 0..365, from 1 January
};

// The calendar date of day `n` counted from 0000-03-01, for n below 2^30, in 32-bit
// arithmetic: divisions by constants become multiplications and shifts (the "Euclidean affine
// function" forms of Neri and Schneider, 2022). Twice as fast as the general form below.
constexpr Civil civilFromMarchZero(std::uint32_t n) noexcept {
    const std::uint32_t n1 = 4 * n + 3;
    const std::uint32_t century = n1 / 146097;
    const std::uint32_t dayOfCentury = n1 % 146097 / 4;
    const std::uint64_t p2 = std::uint64_t{2939745} * (4 * dayOfCentury + 3);
    const std::uint32_t yearOfCentury = static_cast<std::uint32_t>(p2 >> 32);
    const std::uint32_t dayOfYear = static_cast<std::uint32_t>(p2) / 2939745 / 4;  // from March
    const std::uint32_t n3 = 2141 * dayOfYear + 197913;
    const bool janFeb = dayOfYear >= 306;  // 306 days run from 1 March to 31 December
    const std::uint32_t year = 100 * century + yearOfCentury + (janFeb ? 1 : 0);
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return Civil{year, (n3 >> 16) - (janFeb ? 12 : 0), (n3 & 0xFFFF) / 2141 + 1,
                 janFeb ? dayOfYear - 306 : dayOfYear + 59 + (leap ? 1 : 0)};
}

// The calendar date of day `days` counted from 1970-01-01.
constexpr Civil civilFromDays(std::int64_t days) noexcept {
    const std::int64_t fromMarchZero = days + kMarchZeroToPosixEpoch;
    if (fromMarchZero >= 0 && fromMarchZero < (std::int64_t{1} << 30))
        return civilFromMarchZero(static_cast<std::uint32_t>(fromMarchZero));
    const std::int64_t cycle = floorDiv(fromMarchZero, kDaysPerCycle);
    const std::int64_t dayOfCycle = fromMarchZero - cycle * kDaysPerCycle;  // 0..146096
    // Years of the cycle: remove the leap days of the 4-, 100- and 400-year periods first.
    const std::int64_t yearOfCycle =
        (dayOfCycle - dayOfCycle / 1460 + dayOfCycle / 36524 - dayOfCycle / 146096) / 365;
    const std::int64_t dayOfYear =
        dayOfCycle - (365 * yearOfCycle + yearOfCycle / 4 - yearOfCycle / 100);  // from March
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const unsigned day = static_cast<unsigned>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    const unsigned month =
        static_cast<unsigned>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    const std::int64_t year = yearOfCycle + cycle * 400 + (month <= 2 ? 1 : 0);
    const unsigned fromJanuary = static_cast<unsigned>(
        dayOfYear >= 306 ? dayOfYear - 306 : dayOfYear + 59 + (isLeapYear(year) ? 1 : 0));
    return Civil{year, month, day, fromJanuary};
}

// The days of the range every date and time class accepts: 0001-01-01 to 9999-12-31.
constexpr std::int64_t kFirstDay = daysFromCivil(1, 1, 1);
constexpr std::int64_t kLastDay = daysFromCivil(9999, 12, 31);

// Year 1..9999, month 1..12 and a day that exists in that month.
constexpr bool validCivil(std::int64_t y, unsigned m, unsigned d) noexcept {
    return y >= 1 && y <= 9999 && d >= 1 && d <= daysInMonth(y, m);
}

// Wall-clock seconds (counted from 1970-01-01 as if the wall clock were UTC) from fields that
// the caller has checked.
constexpr std::int64_t wallSeconds(std::int64_t days, unsigned h, unsigned m, unsigned s) {
    return days * kSecondsPerDay + std::int64_t{h} * 3600 + std::int64_t{m} * 60 + s;
}

// Days of year `y` before the first of month `m` (1..12), so daysBeforeMonth(y, 13) is the
// length of the year; 0 for a month out of range.
constexpr unsigned daysBeforeMonth(std::int64_t y, unsigned m) noexcept {
    if (m < 1 || m > 13) return 0;
    const unsigned monthFromMarch = m > 2 ? m - 3 : m + 9;
    const unsigned fromMarch = (153 * monthFromMarch + 2) / 5;  // days from 1 March
    return m > 2 ? fromMarch + 59 + (isLeapYear(y) ? 1 : 0) : fromMarch - 306;
}

// A count of wall-clock seconds from 1970-01-01 split into its calendar date and the time
// of day.
struct CivilTime {
    Civil date;
    unsigned hour;    // 0..23
    unsigned minute;  // 0..59
    unsigned second;  // 0..59
};
constexpr CivilTime civilTimeFromSeconds(std::int64_t wall) noexcept {
    const std::int64_t days = floorDiv(wall, kSecondsPerDay);
    const unsigned secondOfDay = static_cast<unsigned>(wall - days * kSecondsPerDay);
    return CivilTime{civilFromDays(days), secondOfDay / 3600, secondOfDay / 60 % 60,
                     secondOfDay % 60};
}

// Weekday of day `days` counted from 1970-01-01 (a Thursday): 0 Sunday .. 6 Saturday.
constexpr unsigned weekdayFromDays(std::int64_t days) noexcept {
    return static_cast<unsigned>(floorMod(days + 4, 7));
}

}  // namespace qelkit_internal

#endif  // QELKIT_INTERNAL_CALENDAR_H
