// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/time_text.h"

#include "qelkit/internal/ascii.h"
#include "qelkit/internal/calendar.h"

namespace {

// A cursor over the text; every reader moves it only on success.
struct Cursor {
    const char* p;
    const char* end;

    bool at(char c) const noexcept { return p < end && *p == c; }
    bool take(char c) noexcept {
        if (!at(c)) return false;
        ++p;
        return true;
    }
    // `c` in either case.
    bool takeLetter(char upper) noexcept {
        return take(upper) || take(static_cast<char>(upper + 32));
    }
    // Between `least` and `most` digits, as a number.
    bool number(int least, int most, int& value) noexcept {
        int n = 0;
        value = 0;
        while (n < most && p < end && qelkit_internal::isDigit(*p)) {
            value = value * 10 + (*p++ - '0');
            ++n;
        }
        if (n >= least) return true;
        p -= n;
        return false;
    }
};

int fullYear(int year, int digits) noexcept {
    if (digits == 4) return year;
    return year >= 69 ? 1900 + year : 2000 + year;
}

// H:MM[:SS], the hour in 0..maxHour; fills the seconds of the day.
bool clock(Cursor& c, int maxHourDigits, bool fraction, int& hour, int& minute, int& second) {
    second = 0;
    if (!c.number(1, maxHourDigits, hour) || !c.take(':') || !c.number(2, 2, minute)) return false;
    if (c.take(':')) {
        if (!c.number(2, 2, second)) return false;
        if (fraction && (c.take('.') || c.take(','))) {
            int ignored = 0;
            if (!c.number(1, 9, ignored)) return false;
        }
    }
    return minute <= 59 && second <= 59;
}

bool yearFirst(Cursor& c, TimeText& time) {
    const char* const start = c.p;
    int year = 0, month = 0, day = 0;
    if (!c.number(2, 4, year)) return false;
    const int digits = static_cast<int>(c.p - start);
    if (digits == 3) return false;
    const char separator = c.at('/') ? '/' : '-';
    if (!c.take(separator) || !c.number(1, 2, month) || !c.take(separator) || !c.number(1, 2, day))
        return false;
    year = fullYear(year, digits);
    if (!qelkit_internal::validCivil(year, static_cast<unsigned>(month),
                                     static_cast<unsigned>(day)))
        return false;
    int hour = 0, minute = 0, second = 0;
    if (c.take(' ') || c.takeLetter('T')) {
        if (!clock(c, 2, true, hour, minute, second) || hour > 23) return false;
        if (c.takeLetter('Z')) {
            time.hasOffset = true;
        } else if (c.at('+') || c.at('-')) {
            const bool west = *c.p++ == '-';
            int hours = 0, minutes = 0;
            if (!c.number(2, 2, hours)) return false;
            if (c.take(':')) {
                if (!c.number(2, 2, minutes)) return false;
            } else {
                c.number(2, 2, minutes);
            }
            if (hours > 23 || minutes > 59) return false;
            time.hasOffset = true;
            time.offsetEast =
                (west ? -1 : 1) * (std::int64_t{hours} * 3600 + std::int64_t{minutes} * 60);
        }
    }
    time.wall = qelkit_internal::wallSeconds(
        qelkit_internal::daysFromCivil(year, static_cast<unsigned>(month),
                                       static_cast<unsigned>(day)),
        static_cast<unsigned>(hour), static_cast<unsigned>(minute), static_cast<unsigned>(second));
    return true;
}

bool monthFirst(Cursor& c, TimeText& time) {
    int month = 0, day = 0, year = 0;
    if (!c.number(1, 2, month) || !c.take('/') || !c.number(1, 2, day) || !c.take('/'))
        return false;
    const char* const yearStart = c.p;
    if (!c.number(2, 4, year) || c.p - yearStart == 3) return false;
    year = fullYear(year, static_cast<int>(c.p - yearStart));
    if (!qelkit_internal::validCivil(year, static_cast<unsigned>(month),
                                     static_cast<unsigned>(day)))
        return false;
    int hour = 0, minute = 0, second = 0;
    if (c.take(' ')) {
        if (!clock(c, 2, false, hour, minute, second)) return false;
        if (c.take(' ')) {
            const bool pm = c.takeLetter('P');
            if (!pm && !c.takeLetter('A')) return false;
            if (!c.takeLetter('M') || hour < 1 || hour > 12) return false;
            hour = hour % 12 + (pm ? 12 : 0);
        }
        if (hour > 23) return false;
    }
    time.wall = qelkit_internal::wallSeconds(
        qelkit_internal::daysFromCivil(year, static_cast<unsigned>(month),
                                       static_cast<unsigned>(day)),
        static_cast<unsigned>(hour), static_cast<unsigned>(minute), static_cast<unsigned>(second));
    return true;
}

}  // namespace

bool parseTimeText(std::string_view text, bool monthFirstToo, TimeText& time) noexcept {
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (begin < end && (*begin == ' ' || *begin == '\t')) ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t')) --end;
    if (monthFirstToo) {
        Cursor c{begin, end};
        time = TimeText{};
        if (monthFirst(c, time) && c.p == end) return true;
    }
    Cursor c{begin, end};
    time = TimeText{};
    return yearFirst(c, time) && c.p == end;
}
