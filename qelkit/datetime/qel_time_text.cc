// SPDX-License-Identifier: Apache-2.0
#include "qelkit/datetime/qel_time_text.h"

#include "qelkit/internal/ascii.h"
#include "qelkit/internal/calendar.h"

namespace {

// A cursor over the text; every reader moves it only on success. The shape of the text and
// the range of its fields are judged apart: a field out of range is noted and the reading goes
// on, so that a text is called out of range only when it has the whole shape of a layout.
struct Cursor {
    const char* p;
    const char* end;
    bool inRange = true;

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
    void require(bool inRangeToo) noexcept { inRange = inRange && inRangeToo; }
    // The reading of a text that has been read up to p.
    QelTimeText::Result result() const noexcept {
        if (p != end) return QelTimeText::NoLayout;
        return inRange ? QelTimeText::Ok : QelTimeText::OutOfRange;
    }
};

int fullYear(int year, int digits) noexcept {
    if (digits == 4) return year;
    return year >= 69 ? 1900 + year : 2000 + year;
}

// H:MM[:SS[.fraction]] with an hour of 1 to `maxHourDigits` digits; false when the text is not
// shaped so. Notes a minute or second past 59.
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
    c.require(minute <= 59 && second <= 59);
    return true;
}

// An optional zone: Z, +hh[[:]mm] or -hh[[:]mm]. False when a sign is not followed by hours.
bool zone(Cursor& c, QelTimeText::Time& time) {
    if (c.takeLetter('Z')) {
        time.hasOffset = true;
        return true;
    }
    if (!c.at('+') && !c.at('-')) return true;
    const bool west = *c.p++ == '-';
    int hours = 0, minutes = 0;
    if (!c.number(2, 2, hours)) return false;
    if (c.take(':')) {
        if (!c.number(2, 2, minutes)) return false;
    } else {
        c.number(2, 2, minutes);
    }
    c.require(hours <= 23 && minutes <= 59);
    time.hasOffset = true;
    time.offsetEast = (west ? -1 : 1) * (std::int64_t{hours} * 3600 + std::int64_t{minutes} * 60);
    return true;
}

// The wall-clock seconds of fields whose range the cursor has checked.
std::int64_t wall(int year, int month, int day, int hour, int minute, int second) noexcept {
    return qelkit_internal::wallSeconds(
        qelkit_internal::daysFromCivil(year, static_cast<unsigned>(month),
                                       static_cast<unsigned>(day)),
        static_cast<unsigned>(hour), static_cast<unsigned>(minute), static_cast<unsigned>(second));
}

bool validDate(int year, int month, int day) noexcept {
    return qelkit_internal::validCivil(year, static_cast<unsigned>(month),
                                       static_cast<unsigned>(day));
}

QelTimeText::Result yearFirst(Cursor& c, QelTimeText::Time& time) {
    const char* const start = c.p;
    int year = 0, month = 0, day = 0;
    if (!c.number(2, 4, year)) return QelTimeText::NoLayout;
    const int digits = static_cast<int>(c.p - start);
    if (digits == 3) return QelTimeText::NoLayout;
    const char separator = c.at('/') ? '/' : '-';
    if (!c.take(separator) || !c.number(1, 2, month) || !c.take(separator) || !c.number(1, 2, day))
        return QelTimeText::NoLayout;
    year = fullYear(year, digits);
    c.require(validDate(year, month, day));
    int hour = 0, minute = 0, second = 0;
    if (c.take(' ') || c.takeLetter('T')) {
        if (!clock(c, 2, true, hour, minute, second) || !zone(c, time))
            return QelTimeText::NoLayout;
        c.require(hour <= 23);
    }
    if (c.result() == QelTimeText::Ok) time.wall = wall(year, month, day, hour, minute, second);
    return c.result();
}

QelTimeText::Result monthFirst(Cursor& c, QelTimeText::Time& time) {
    int month = 0, day = 0, year = 0;
    if (!c.number(1, 2, month) || !c.take('/') || !c.number(1, 2, day) || !c.take('/'))
        return QelTimeText::NoLayout;
    const char* const yearStart = c.p;
    if (!c.number(2, 4, year) || c.p - yearStart == 3) return QelTimeText::NoLayout;
    year = fullYear(year, static_cast<int>(c.p - yearStart));
    c.require(validDate(year, month, day));
    int hour = 0, minute = 0, second = 0;
    if (c.take(' ')) {
        if (!clock(c, 2, false, hour, minute, second)) return QelTimeText::NoLayout;
        if (c.take(' ')) {
            const bool pm = c.takeLetter('P');
            if (!pm && !c.takeLetter('A')) return QelTimeText::NoLayout;
            if (!c.takeLetter('M')) return QelTimeText::NoLayout;
            c.require(hour >= 1 && hour <= 12);
            hour = hour % 12 + (pm ? 12 : 0);
        }
        c.require(hour <= 23);
    }
    if (c.result() == QelTimeText::Ok) time.wall = wall(year, month, day, hour, minute, second);
    return c.result();
}

}  // namespace

QelTimeText::Result QelTimeText::read(std::string_view text, Time& time) const noexcept {
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (begin < end && (*begin == ' ' || *begin == '\t')) ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t')) --end;
    if (begin == end) return Blank;
    Result first = NoLayout;
    if (_format == MonthFirst) {
        Cursor c{begin, end};
        time = Time{};
        first = monthFirst(c, time);
        if (first == Ok) return Ok;
    }
    Cursor c{begin, end};
    time = Time{};
    const Result second = yearFirst(c, time);
    return second == NoLayout ? first : second;
}

const char* QelTimeText::describe(Result result) noexcept {
    switch (result) {
        case Ok:
            return "a time";
        case Blank:
            return "the text is blank";
        case NoLayout:
            return "the text is in none of the accepted layouts";
        case OutOfRange:
            return "a field of the time is out of range";
    }
    return "an unknown result";
}
