// SPDX-License-Identifier: Apache-2.0
#include "qelkit/datetime/qel_period.h"

#include <limits>

#include "qelkit/internal/ascii.h"
#include "qelkit/internal/calendar.h"

namespace {

using qelkit_internal::floorDiv;
using qelkit_internal::kSecondsPerDay;

// The wall-clock seconds of the first second of year 1 and the last of 9999, and the first
// instant RWTime holds (1901-01-01 00:00:01 UTC) as POSIX seconds.
constexpr std::int64_t FIRST_WALL = qelkit_internal::kFirstDay * kSecondsPerDay;
constexpr std::int64_t LAST_WALL = (qelkit_internal::kLastDay + 1) * kSecondsPerDay - 1;
constexpr std::int64_t FIRST_UTC = 1 - std::int64_t{RWTime::posixOffset};

struct Unit {
    const char* name;
    std::int64_t seconds;
};
// Largest first, the order name() tries them in.
constexpr Unit UNITS[] = {{"day", 86400}, {"hour", 3600}, {"minute", 60}, {"second", 1}};

bool isBlank(char c) noexcept { return c == ' ' || c == '\t'; }

// "N unit" or "N units" (case ignored, blanks between optional) as its count and unit.
bool countOfUnit(std::string_view text, std::int64_t& count, const Unit*& unit) {
    std::size_t i = 0;
    count = 0;
    bool overflow = false;
    for (; i < text.size() && qelkit_internal::isDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        overflow = overflow || count > (std::numeric_limits<std::int64_t>::max() - digit) / 10;
        if (!overflow) count = count * 10 + digit;
    }
    if (i == 0) return false;
    while (i < text.size() && isBlank(text[i])) ++i;
    std::string_view word = text.substr(i);
    if (word.size() > 1 && (word.back() == 's' || word.back() == 'S')) word.remove_suffix(1);
    for (const Unit& u : UNITS) {
        if (!qelkit_internal::equalsIgnoreCase(word.data(), word.size(), u.name,
                                               std::char_traits<char>::length(u.name)))
            continue;
        unit = &u;
        if (overflow || count > std::numeric_limits<std::int64_t>::max() / u.seconds) count = -1;
        return true;
    }
    return false;
}

// The period that NqTimeAggregation::fromName gives `text`, if any.
bool named(std::string_view text, QelPeriod& period) {
    TimeAggregationType code = None;
    if (!NqTimeAggregation::fromName(QelString(text.data(), text.size()), code)) return false;
    period = QelPeriod(code);
    return true;
}

}  // namespace

QelPeriod QelPeriod::length(std::int64_t seconds) noexcept {
    QelPeriod period;
    period._kind = Length;
    period._seconds = seconds < 1 ? 1 : seconds;
    return period;
}

QelPeriod QelPeriod::quarter() noexcept {
    QelPeriod period;
    period._kind = Quarter;
    return period;
}

bool QelPeriod::fromName(std::string_view text, QelPeriod& period, std::string& why) {
    if (named(text, period)) return true;
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    if (qelkit_internal::equalsIgnoreCase(text.data(), text.size(), "quarter", 7)) {
        period = quarter();
        return true;
    }
    std::int64_t count = 0;
    const Unit* unit = nullptr;
    if (countOfUnit(text, count, unit) && count >= 1) {
        // "05 minute" is the named five minutes that "5 minute" is.
        if (!named(std::to_string(count) + " " + unit->name, period))
            period = length(count * unit->seconds);
        return true;
    }
    why = "'" + std::string(text) + "' is no period" +
          (count == -1 ? std::string(": the length overflows") : std::string()) +
          "; give a period name (minute, 5 minute, hour, day, week, month, year, ...), "
          "quarter, or N second, minute, hour or day with N of 1 or more";
    return false;
}

std::string QelPeriod::name() const {
    switch (_kind) {
        case Named:
            break;
        case Quarter:
            return "quarter";
        case Length:
            for (const Unit& u : UNITS)
                if (_seconds % u.seconds == 0)
                    return std::to_string(_seconds / u.seconds) + " " + u.name;
    }
    return NqTimeAggregation(_code).name().data();
}

bool QelPeriod::start(std::int64_t utc, std::int64_t wall, int startOfWeek, const RWZone& zone,
                      std::int64_t& startWall) const {
    if (_kind == Named) return namedStart(utc, wall, startOfWeek, zone, startWall);
    if (wall < FIRST_WALL || wall > LAST_WALL) return false;
    if (_kind == Length) {
        // No overflow: |wall| is far below 2^62, so the product lies between wall - _seconds
        // and wall.
        const std::int64_t start = floorDiv(wall, _seconds) * _seconds;
        if (start < FIRST_WALL) return false;
        startWall = start;
        return true;
    }
    const qelkit_internal::Civil date =
        qelkit_internal::civilFromDays(floorDiv(wall, kSecondsPerDay));
    startWall =
        qelkit_internal::daysFromCivil(date.year, (date.month - 1) / 3 * 3 + 1, 1) * kSecondsPerDay;
    return true;
}

bool QelPeriod::namedStart(std::int64_t utc, std::int64_t wall, int startOfWeek, const RWZone& zone,
                           std::int64_t& startWall) const {
    if (utc < FIRST_UTC || wall > LAST_WALL) return false;
    // An hour of the first day of the week or month is a label that need not exist on that
    // day: it is built from the day and the hour of `wall`, never read back from an instant.
    const bool hourLabel = _code == WeekHour || _code == MonthHour;
    const NqTimeAggregation period(_code == WeekHour ? Week : _code == MonthHour ? Month : _code);
    const RWTime begin = period.calendarTruncate(
        RWTime(static_cast<unsigned long>(utc + std::int64_t{RWTime::posixOffset})), startOfWeek,
        zone);
    if (!begin.isValid()) return false;
    const std::int64_t startUtc =
        static_cast<std::int64_t>(begin.seconds()) - std::int64_t{RWTime::posixOffset};
    startWall = startUtc - zone.offsetAt(startUtc);
    if (hourLabel) {
        // The day of the start (rounded down, as it may lie before 1970) and the hour of `wall`.
        startWall = floorDiv(startWall, kSecondsPerDay) * kSecondsPerDay +
                    qelkit_internal::floorMod(wall, kSecondsPerDay) / 3600 * 3600;
    }
    return true;
}

bool QelPeriod::next(std::int64_t startWall, int startOfWeek, const RWZone& zone,
                     std::int64_t& nextWall) const {
    // Periods shorter than the smallest one a calendar period can be are stepped over first,
    // then the reading moves on an hour (or the period's fixed length) at a time until it lies
    // in the next period: that period's start is the answer.
    constexpr std::int64_t TWO_HOURS = 7200;
    std::int64_t shortest = 0, step = 3600;
    if (_kind == Length) {
        shortest = step = _seconds;
    } else if (_kind == Quarter) {
        shortest = 89 * kSecondsPerDay;
    } else {
        switch (_code) {
            case Day:
                shortest = kSecondsPerDay - TWO_HOURS;
                break;
            case Week:
                shortest = 7 * kSecondsPerDay - TWO_HOURS;
                break;
            case Month:
                shortest = 28 * kSecondsPerDay - TWO_HOURS;
                break;
            case Year:
                shortest = 364 * kSecondsPerDay - TWO_HOURS;
                break;
            case AllHours:
            case WeekHour:
            case MonthHour:
            case None:
                return false;  // their periods do not follow one another
            default:
                shortest = step = NqTimeAggregation(_code).aggrSeconds();
                if (step <= 0) return false;
        }
    }
    for (int tries = 0; tries < 1000; ++tries) {
        std::int64_t probe = 0;
        if (__builtin_add_overflow(startWall, shortest + tries * step, &probe) || probe > LAST_WALL)
            return false;
        std::int64_t found = 0;
        if (!start(zone.utcFromLocal(probe), probe, startOfWeek, zone, found)) return false;
        if (found > startWall) {
            nextWall = found;
            return true;
        }
    }
    return false;
}
