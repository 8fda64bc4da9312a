// SPDX-License-Identifier: Apache-2.0
#include "qelkit/datetime/qel_time_text.h"

#include <string>

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

// 1 to 9 digits of a fraction of a second, as nanoseconds.
bool fraction(Cursor& c, std::int32_t& nanos) noexcept {
    const char* const start = c.p;
    int value = 0;
    if (!c.number(1, 9, value)) return false;
    for (auto digits = c.p - start; digits < 9; ++digits) value *= 10;
    nanos = value;
    return true;
}

// H:MM[:SS[.fraction]] with an hour of 1 to `maxHourDigits` digits, the fraction only when
// `nanos` is given; false when the text is not shaped so. Notes a minute or second past 59.
bool clock(Cursor& c, int maxHourDigits, std::int32_t* nanos, int& hour, int& minute, int& second) {
    second = 0;
    if (!c.number(1, maxHourDigits, hour) || !c.take(':') || !c.number(2, 2, minute)) return false;
    if (c.take(':')) {
        if (!c.number(2, 2, second)) return false;
        if (nanos && (c.take('.') || c.take(',')) && !fraction(c, *nanos)) return false;
    }
    c.require(minute <= 59 && second <= 59);
    return true;
}

// " AM" or " PM" without the blank, in any case.
bool meridiem(Cursor& c, bool& pm) noexcept {
    pm = c.takeLetter('P');
    return (pm || c.takeLetter('A')) && c.takeLetter('M');
}

// An English month abbreviation in any case, as 1 to 12.
bool monthName(Cursor& c, int& month) noexcept {
    static const char NAMES[] = "janfebmaraprmayjunjulaugsepoctnovdec";
    if (c.end - c.p < 3) return false;
    for (std::size_t m = 0; m < 12; ++m) {
        if (qelkit_internal::equalsIgnoreCase(c.p, 3, NAMES + 3 * m, 3)) {
            month = static_cast<int>(m) + 1;
            c.p += 3;
            return true;
        }
    }
    return false;
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
        if (!clock(c, 2, &time.nanos, hour, minute, second) || !zone(c, time))
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
        if (!clock(c, 2, nullptr, hour, minute, second)) return QelTimeText::NoLayout;
        if (c.take(' ')) {
            bool pm = false;
            if (!meridiem(c, pm)) return QelTimeText::NoLayout;
            c.require(hour >= 1 && hour <= 12);
            hour = hour % 12 + (pm ? 12 : 0);
        }
        c.require(hour <= 23);
    }
    if (c.result() == QelTimeText::Ok) time.wall = wall(year, month, day, hour, minute, second);
    return c.result();
}

// The wall-clock seconds of the first and last second of years 1 to 9999.
constexpr std::int64_t FIRST_WALL = qelkit_internal::kFirstDay * qelkit_internal::kSecondsPerDay;
constexpr std::int64_t LAST_WALL =
    (qelkit_internal::kLastDay + 1) * qelkit_internal::kSecondsPerDay - 1;

// -?DIGITS[.DIGITS] counting units of which `perSecond` make a second (1, 1000 or 1000000).
// Digits finer than a nanosecond are dropped; the whole part saturates far beyond the range.
QelTimeText::Result epoch(Cursor& c, std::int64_t perSecond, QelTimeText::Time& time) noexcept {
    constexpr std::int64_t SATURATED = 1000000000000000000;
    const bool negative = c.take('-');
    const char* const start = c.p;
    std::int64_t whole = 0;
    for (; c.p < c.end && qelkit_internal::isDigit(*c.p); ++c.p)
        whole = whole < SATURATED / 10 ? whole * 10 + (*c.p - '0') : SATURATED;
    if (c.p == start) return QelTimeText::NoLayout;
    const std::int64_t nanosPerUnit = 1000000000 / perSecond;
    std::int64_t fractionNanos = 0;  // of one unit
    if (c.take('.')) {
        const char* const fractionStart = c.p;
        for (std::int64_t scale = nanosPerUnit; c.p < c.end && qelkit_internal::isDigit(*c.p);
             ++c.p)
            fractionNanos += (*c.p - '0') * (scale /= 10);
        if (c.p == fractionStart) return QelTimeText::NoLayout;
    }
    if (c.p != c.end) return QelTimeText::NoLayout;
    std::int64_t seconds = whole / perSecond;
    std::int64_t nanos = whole % perSecond * nanosPerUnit + fractionNanos;
    if (negative) {
        seconds = -seconds - (nanos > 0 ? 1 : 0);
        nanos = nanos > 0 ? 1000000000 - nanos : 0;
    }
    if (seconds < FIRST_WALL || seconds > LAST_WALL) return QelTimeText::OutOfRange;
    time.wall = seconds;
    time.nanos = static_cast<std::int32_t>(nanos);
    time.hasOffset = true;
    return QelTimeText::Ok;
}

// The steps of a compiled pattern, and the field each directive gives.
enum Op : unsigned char {
    Literal,
    Year4,
    Year2,
    Month,
    MonthName,
    Day,
    DaySpace,
    Hour24,
    Hour12,
    Minute,
    Second,
    Fraction,
    AmPm,
    Zone
};
enum Field {
    YearField,
    MonthField,
    DayField,
    HourField,
    MinuteField,
    SecondField,
    FractionField,
    AmPmField,
    ZoneField,
    FIELDS
};
struct Directive {
    char letter;
    Op op;
    Field field;
};
constexpr Directive DIRECTIVES[] = {
    {'Y', Year4, YearField},      {'y', Year2, YearField},        {'m', Month, MonthField},
    {'b', MonthName, MonthField}, {'d', Day, DayField},           {'e', DaySpace, DayField},
    {'H', Hour24, HourField},     {'I', Hour12, HourField},       {'M', Minute, MinuteField},
    {'S', Second, SecondField},   {'f', Fraction, FractionField}, {'p', AmPm, AmPmField},
    {'z', Zone, ZoneField}};
const char* const FIELD_NAMES[FIELDS] = {"year",   "month",    "day",      "hour", "minute",
                                         "second", "fraction", "AM or PM", "zone"};

const Directive* directive(char letter) noexcept {
    for (const Directive& d : DIRECTIVES)
        if (d.letter == letter) return &d;
    return nullptr;
}

// The fields a pattern read, before their ranges are judged.
struct Fields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool twelveHour = false, pm = false;
};

// Reads the field of one step; false when the text is not shaped so.
bool readStep(Op op, char literal, Cursor& c, Fields& f, QelTimeText::Time& time) noexcept {
    switch (op) {
        case Literal:
            return c.take(literal);
        case Year4:
            return c.number(4, 4, f.year);
        case Year2:
            if (!c.number(2, 2, f.year)) return false;
            f.year = fullYear(f.year, 2);
            return true;
        case Month:
            return c.number(1, 2, f.month);
        case MonthName:
            return monthName(c, f.month);
        case DaySpace:
            c.take(' ');
            return c.number(1, 2, f.day);
        case Day:
            return c.number(1, 2, f.day);
        case Hour12:
            f.twelveHour = true;
            return c.number(1, 2, f.hour);
        case Hour24:
            return c.number(1, 2, f.hour);
        case Minute:
            return c.number(1, 2, f.minute);
        case Second:
            return c.number(1, 2, f.second);
        case Fraction:
            return fraction(c, time.nanos);
        case AmPm:
            return meridiem(c, f.pm);
        case Zone:
            return (c.at('+') || c.at('-') || c.at('Z') || c.at('z')) && zone(c, time);
    }
    return false;
}

}  // namespace

bool QelTimeText::pattern(std::string_view pattern, QelTimeText& reader, std::string& why) {
    while (!pattern.empty() && (pattern.front() == ' ' || pattern.front() == '\t'))
        pattern.remove_prefix(1);
    while (!pattern.empty() && (pattern.back() == ' ' || pattern.back() == '\t'))
        pattern.remove_suffix(1);
    QelTimeText compiled(Pattern);
    char given[FIELDS] = {};  // the directive that gave each field
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (compiled._steps == kMaxSteps) {
            why = "the pattern has more than " + std::to_string(kMaxSteps) + " steps";
            return false;
        }
        Step& step = compiled._program[compiled._steps++];
        step = Step{Literal, pattern[i]};
        if (pattern[i] != '%') continue;
        if (++i == pattern.size()) {
            why = "the pattern ends with a lone '%'";
            return false;
        }
        step.literal = pattern[i];
        if (pattern[i] == '%') continue;
        const Directive* d = directive(pattern[i]);
        const std::string name = std::string("%") + pattern[i];
        if (!d) {
            why = name + " is no directive (accepted: %Y %y %m %d %e %H %I %M %S %f %p %b %z %%)";
            return false;
        }
        if (given[d->field]) {
            why = name + " gives the " + FIELD_NAMES[d->field] + " a second time (after %" +
                  given[d->field] + ")";
            return false;
        }
        given[d->field] = d->letter;
        step.op = d->op;
    }
    if (!given[YearField] || !given[MonthField] || !given[DayField]) {
        why = "the pattern needs a year (%Y or %y), a month (%m or %b) and a day (%d or %e)";
        return false;
    }
    if ((given[HourField] == 'I') != (given[AmPmField] == 'p')) {
        why = given[AmPmField] ? "%p needs the hour as %I (1 to 12)"
                               : "%I needs %p to tell morning from afternoon";
        return false;
    }
    reader = compiled;
    return true;
}

QelTimeText::Result QelTimeText::readPattern(const char* begin, const char* end,
                                             Time& time) const noexcept {
    // A reader built as QelTimeText(Pattern) has no steps and no date.
    if (_steps == 0) return NoLayout;
    Cursor c{begin, end};
    Fields f;
    time = Time{};
    for (const Step* step = _program; step != _program + _steps; ++step)
        if (!readStep(static_cast<Op>(step->op), step->literal, c, f, time)) return NoLayout;
    if (f.twelveHour) {
        c.require(f.hour >= 1 && f.hour <= 12);
        f.hour = f.hour % 12 + (f.pm ? 12 : 0);
    }
    c.require(validDate(f.year, f.month, f.day) && f.hour <= 23 && f.minute <= 59 &&
              f.second <= 59);
    if (c.result() == Ok) time.wall = wall(f.year, f.month, f.day, f.hour, f.minute, f.second);
    return c.result();
}

QelTimeText::Result QelTimeText::read(std::string_view text, Time& time) const noexcept {
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (begin < end && (*begin == ' ' || *begin == '\t')) ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t')) --end;
    if (begin == end) return Blank;
    switch (_format) {
        case YearFirst:
        case MonthFirst:
            break;
        case Epoch:
        case EpochMs:
        case EpochUs: {
            Cursor c{begin, end};
            time = Time{};
            return epoch(c, _format == Epoch ? 1 : _format == EpochMs ? 1000 : 1000000, time);
        }
        case Pattern:
            return readPattern(begin, end, time);
    }
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
