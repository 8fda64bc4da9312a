// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/internal/tz_rule.h"

#include <algorithm>
#include <climits>

#include "qelkit/internal/ascii.h"
#include "qelkit/internal/calendar.h"

namespace qelkit_internal {
namespace {

constexpr std::int64_t kDay = kSecondsPerDay;

// One "%hu" conversion of sscanf: white space, an optional sign, decimal digits; the value
// wraps as strtoul's does and is cut to 16 bits. Returns the characters used, 0 on failure.
std::size_t scanUShort(const char* p, unsigned short* out) noexcept {
    const char* q = p;
    while (isSpace(*q)) ++q;
    bool negative = false;
    if (*q == '+' || *q == '-') negative = *q++ == '-';
    if (!isDigit(*q)) return 0;
    unsigned long value = 0;
    bool overflow = false;
    for (; isDigit(*q); ++q) {
        const unsigned long digit = static_cast<unsigned long>(*q - '0');
        if (value > (ULONG_MAX - digit) / 10) overflow = true;
        value = value * 10 + digit;
    }
    if (overflow)
        value = ULONG_MAX;
    else if (negative)
        value = 0UL - value;
    *out = static_cast<unsigned short>(value);
    return static_cast<std::size_t>(q - p);
}

// sscanf(p, "%hu%n:%hu%n:%hu%n", ...): fills as many of the three as it reads and returns
// the characters up to the last one read.
std::size_t scanClock(const char* p, unsigned short* hh, unsigned short* mm, unsigned short* ss) {
    std::size_t used = scanUShort(p, hh);
    if (used == 0) return 0;
    unsigned short* rest[2] = {mm, ss};
    for (unsigned short* field : rest) {
        if (p[used] != ':') break;
        const std::size_t n = scanUShort(p + used + 1, field);
        if (n == 0) break;
        used += 1 + n;
    }
    return used;
}

int clampedOffset(unsigned ss, unsigned mm, unsigned hh) noexcept {
    return static_cast<int>(std::min(ss, 59u) + std::min(mm, 59u) * 60 + std::min(hh, 24u) * 3600);
}

// The parser keeps glibc's order of steps, since what a failed step leaves behind is part of
// the result.
class Parser {
  public:
    Parser(const char* text, std::string* names, TzRule::Change* changes)
        : p_(text), names_(names), changes_(changes) {}

    bool name(int which) {
        const char* start = p_;
        const char* q = p_;
        while (isAlpha(*q)) ++q;
        std::size_t len = static_cast<std::size_t>(q - start);
        if (len < 3) {
            q = p_;
            if (*q++ != '<') return false;
            start = q;
            while (isAlpha(*q) || isDigit(*q) || *q == '+' || *q == '-') ++q;
            len = static_cast<std::size_t>(q - start);
            if (*q++ != '>' || len < 3) return false;
        }
        names_[which].assign(start, len);
        p_ = q;
        return true;
    }

    bool offset(int which) {
        if (which == 0 && *p_ != '+' && *p_ != '-' && !isDigit(*p_)) return false;
        int sign = -1;  // "EST5" is five hours WEST: offsets are kept east-positive
        if (*p_ == '-' || *p_ == '+') sign = *p_++ == '-' ? 1 : -1;
        unsigned short hh = 0, mm = 0, ss = 0;
        const std::size_t used = scanClock(p_, &hh, &mm, &ss);
        if (used > 0) {
            changes_[which].offset = sign * clampedOffset(ss, mm, hh);
        } else if (which == 0) {
            changes_[0].offset = 0;
            return false;
        } else {
            changes_[1].offset = changes_[0].offset + 3600;
        }
        p_ += used;
        return true;
    }

    bool rule(int which) {
        TzRule::Change& c = changes_[which];
        const char* q = p_ + (*p_ == ',' ? 1 : 0);
        if (*q == 'J' || isDigit(*q)) {
            c.kind = *q == 'J' ? TzRule::Change::julianDay1 : TzRule::Change::dayOfYear0;
            if (c.kind == TzRule::Change::julianDay1 && !isDigit(*++q)) return false;
            unsigned long d = 0;
            for (; isDigit(*q); ++q) {
                d = d * 10 + static_cast<unsigned long>(*q - '0');
                if (d > 365) return false;
            }
            if (c.kind == TzRule::Change::julianDay1 && d == 0) return false;
            c.day = static_cast<unsigned short>(d);
        } else if (*q == 'M') {
            c.kind = TzRule::Change::monthWeekDay;
            unsigned short* fields[3] = {&c.month, &c.week, &c.day};
            const char* r = q + 1;
            for (int i = 0; i < 3; ++i) {
                if (i > 0 && *r++ != '.') return false;
                const std::size_t n = scanUShort(r, fields[i]);
                if (n == 0) return false;
                r += n;
            }
            if (c.month < 1 || c.month > 12 || c.week < 1 || c.week > 5 || c.day > 6) return false;
            q = r;
        } else if (*q == '\0') {
            // No rule given: the United States rules, M3.2.0 and M11.1.0.
            c.kind = TzRule::Change::monthWeekDay;
            c.month = which == 0 ? 3 : 11;
            c.week = which == 0 ? 2 : 1;
            c.day = 0;
        } else {
            return false;
        }
        if (*q != '\0' && *q != '/' && *q != ',') return false;
        if (*q == '/') {
            ++q;
            if (*q == '\0') return false;
            const bool negative = *q == '-';
            q += negative ? 1 : 0;
            unsigned short hh = 2, mm = 0, ss = 0;
            q += scanClock(q, &hh, &mm, &ss);
            c.secs = (negative ? -1 : 1) * (hh * 3600 + mm * 60 + ss);
        } else {
            c.secs = 2 * 3600;
        }
        p_ = q;
        return true;
    }

    char peek(std::size_t i = 0) const { return p_[i]; }

  private:
    const char* p_;
    std::string* names_;
    TzRule::Change* changes_;
};

}  // namespace

TzRule TzRule::parse(const char* text, bool* wantsDefaultRules, bool* whole) {
    TzRule r;
    if (wantsDefaultRules) *wantsDefaultRules = false;
    Parser p(text ? text : "", r.names_, r.changes_);
    bool complete = false;
    if (p.name(0) && p.offset(0)) {
        if (p.peek() != '\0') {
            const bool named = p.name(1);
            if (named) {
                p.offset(1);
                if (wantsDefaultRules &&
                    (p.peek() == '\0' || (p.peek() == ',' && p.peek(1) == '\0')))
                    *wantsDefaultRules = true;
            }
            // glibc reads the rules even after a daylight name it could not read.
            const bool rules = p.rule(0) && p.rule(1);
            complete = named && rules && p.peek() == '\0';
        } else {
            r.names_[1] = r.names_[0];
            r.changes_[1].offset = r.changes_[0].offset;
            complete = true;
        }
    }
    if (whole) *whole = complete;
    return r;
}

TzRule TzRule::fixed(int offsetEast, const std::string& name) {
    TzRule r;
    r.names_[0] = r.names_[1] = name;
    r.changes_[0].offset = r.changes_[1].offset = offsetEast;
    return r;
}

bool TzRule::wellDefined() const noexcept {
    for (const Change& c : changes_)
        if (c.kind == Change::monthWeekDay && (c.month < 1 || c.month > 12)) return false;
    return true;
}

std::int64_t TzRule::changeAt(int which, std::int64_t year) const noexcept {
    const Change& c = changes_[which];
    std::int64_t t = year > 1970 ? daysFromCivil(year, 1, 1) * kDay : 0;
    switch (c.kind) {
        case Change::julianDay1:
            t += (static_cast<std::int64_t>(c.day) - 1) * kDay;
            if (c.day >= 60 && isLeapYear(year)) t += kDay;
            break;
        case Change::dayOfYear0:
            t += static_cast<std::int64_t>(c.day) * kDay;
            break;
        case Change::monthWeekDay: {
            const unsigned m = c.month < 1 ? 1 : (c.month > 12 ? 12 : c.month);
            t += std::int64_t{daysBeforeMonth(year, m)} * kDay;
            // Zeller's congruence: weekday of the first of the month (0 = Sunday).
            const std::int64_t m1 = (m + 9) % 12 + 1;
            const std::int64_t yy0 = m <= 2 ? year - 1 : year;
            const std::int64_t yy1 = yy0 / 100;
            const std::int64_t yy2 = yy0 % 100;
            std::int64_t dow = ((26 * m1 - 2) / 10 + 1 + yy2 + yy2 / 4 + yy1 / 4 - 2 * yy1) % 7;
            if (dow < 0) dow += 7;
            std::int64_t d = c.day - dow;
            if (d < 0) d += 7;
            const std::int64_t monthDays = daysInMonth(year, m);
            for (unsigned i = 1; i < c.week; ++i) {
                if (d + 7 >= monthDays) break;
                d += 7;
            }
            t += d * kDay;
            break;
        }
    }
    return t - c.offset + c.secs;
}

TzSpan TzRule::spanAt(std::int64_t t) const noexcept {
    const std::int64_t year = civilFromDays(floorDiv(t, kDay)).year;
    const std::int64_t c0 = changeAt(0, year);
    const std::int64_t c1 = changeAt(1, year);
    // A start after the end in the same year: daylight time spans the new year (south).
    const bool isdst = c0 > c1 ? (t < c1 || t >= c0) : (t >= c0 && t < c1);
    TzSpan s{daysFromCivil(year, 1, 1) * kDay, daysFromCivil(year + 1, 1, 1) * kDay,
             changes_[isdst ? 1 : 0].offset, isdst};
    for (const std::int64_t c : {c0, c1}) {
        if (c <= t && c > s.start) s.start = c;
        if (c > t && c < s.end) s.end = c;
    }
    return s;
}

}  // namespace qelkit_internal
