// SPDX-License-Identifier: Apache-2.0
#include "qelkit/datetime/nq_time_aggregation.h"

#include <cstdint>
#include <string>
#include <typeinfo>

#include "qelkit/datetime/qel_date.h"
#include "qelkit/foundation/nq_trace.h"
#include "qelkit/foundation/rw_date_time.h"
#include "qelkit/foundation/rw_locale.h"
#include "qelkit/foundation/rw_zone.h"
#include "qelkit/internal/ascii.h"
#include "qelkit/internal/calendar.h"

const char* const isoFormat = "%Y-%m-%dT%H:%M:%S";

namespace {

const char* const TRACE_TAG = "NqTimeAggregation::truncate()";

// The ten distinct Oracle formats, in the order of FORMATS below.
enum FormatIndex {
    MinuteFormat,
    HourFormat,
    UnrecognizedFormat,
    WeekHourFormat,
    MonthHourFormat,
    DayFormat,
    WeekFormat,
    MonthFormat,
    YearFormat,
    SecondFormat,
    FormatCount
};

// Built once, on first use or at load, whichever comes first (another file's load-time code
// may already need one); destroyed in reverse order at unload.
const QelString* oracleFormats() {
    static const QelString FORMATS[FormatCount] = {"'YYYY-MM-DD HH24:MI'",
                                                   "'YYYY-MM-DD HH24'",
                                                   "'Unrecognized Frequency'",
                                                   "'IYYY-IW HH24'",
                                                   "'YYYY-MM HH24'",
                                                   "'YYYY-MM-DD'",
                                                   "'IYYY-IW'",
                                                   "'YYYY-MM'",
                                                   "'YYYY'",
                                                   "'YYYY-MM-DD HH24:MI:SS'"};
    return FORMATS;
}

// NOLINTNEXTLINE(cert-err58-cpp): only std::bad_alloc can escape, and it fails the load.
[[maybe_unused]] const bool oracleFormatsBuilt = (oracleFormats(), true);

struct Period {
    char code;
    const char* desc;
    int aggrSeconds;
    int maxSeconds;
    int maxMinutes;
    int maxDays;
    FormatIndex format;
};

constexpr Period PERIODS[] = {
    {'O', "One Minute", 60, 60, 1, 0, MinuteFormat},
    {'B', "Two Minute", 120, 120, 2, 0, MinuteFormat},
    {'F', "Five Minute", 300, 300, 5, 0, MinuteFormat},
    {'T', "Ten Minute", 600, 600, 10, 0, MinuteFormat},
    {'Q', "Fifteen Minute", 900, 900, 15, 0, MinuteFormat},
    {'P', "Half-Hour", 1800, 1800, 30, 0, MinuteFormat},
    {'H', "Hour", 3600, 3600, 60, 0, HourFormat},
    {'A', "All Hours", 0, 0, 0, 0, UnrecognizedFormat},
    {'U', "Week-Hour", 0, 0, 0, 0, WeekHourFormat},
    {'V', "Month-Hour", 0, 0, 0, 0, MonthHourFormat},
    {'D', "Day", 0, 86400, 1440, 1, DayFormat},
    {'W', "Week", 0, 604800, 10080, 7, WeekFormat},
    {'M', "Month", 0, 2678400, 44640, 31, MonthFormat},
    {'Y', "Year", 0, 31622400, 527040, 366, YearFormat},
    {'N', "None", 0, 0, 0, 0, SecondFormat},
};
constexpr Period UNKNOWN_PERIOD = {'\0', "Unknown", 0, 0, 0, 0, UnrecognizedFormat};

const Period& periodOf(TimeAggregationType code) noexcept {
    for (const Period& p : PERIODS) {
        if (p.code == code) return p;
    }
    return UNKNOWN_PERIOD;
}

// ---- Names ---------------------------------------------------------------------------------

// Names that no description or short name holds.
const struct {
    const char* name;  // as normalisedName() leaves it
    TimeAggregationType code;
} OTHER_NAMES[] = {{"quarter hour", FifteenMinute},
                   {"thirty minute", HalfHour},
                   {"one hour", Hour},
                   {"1 hour", Hour},
                   {"hourly", Hour},
                   {"daily", Day},
                   {"weekly", Week},
                   {"monthly", Month},
                   {"yearly", Year}};

// Lower case; '-' and '_' as blanks; a blank between a number and a word ("15min"); one blank
// between words; "min", "mins" and a final 's' of a longer word dropped ("minutes").
std::string normalisedName(const char* text, std::size_t size) {
    using qelkit_internal::isDigit;
    std::string joined, word;
    auto flush = [&joined, &word] {
        if (word.empty()) return;
        if (word == "min" || word == "mins") word = "minute";
        if (word.size() > 3 && word.back() == 's') word.pop_back();
        joined += (joined.empty() ? "" : " ") + word;
        word.clear();
    };
    for (std::size_t i = 0; i < size; ++i) {
        const char c =
            static_cast<char>(qelkit_internal::foldAscii(static_cast<unsigned char>(text[i])));
        if (c == ' ' || c == '\t' || c == '-' || c == '_') {
            flush();
            continue;
        }
        if (!word.empty() && isDigit(c) != isDigit(word.back())) flush();
        word.push_back(c);
    }
    flush();
    return joined;
}

std::string normalisedName(const QelString& text) {
    return normalisedName(text.data(), text.length());
}

// ---- Calendar arithmetic on wall-clock seconds (POSIX count read as if UTC) ---------------

constexpr std::int64_t DAY = 86400;
constexpr std::int64_t DAY_MS = DAY * 1000;

using qelkit_internal::civilFromDays;
using qelkit_internal::daysFromCivil;
using qelkit_internal::floorDiv;
using qelkit_internal::floorMod;

// 1 (Monday) .. 7 (Sunday); 1970-01-01 was a Thursday.
constexpr int weekDayOf(std::int64_t days) { return static_cast<int>(floorMod(days + 3, 7)) + 1; }

// Steps from weekday `from` back to weekday `to`, 0..6.
constexpr std::int64_t stepsBack(int from, int to) { return (from - to + 7) % 7; }

static_assert(weekDayOf(daysFromCivil(2007, 4, 11)) == 3, "2007-04-11 is a Wednesday");
static_assert(civilFromDays(daysFromCivil(1900, 2, 28) + 1).month == 3, "1900 is not leap");

// Instants (RWTime seconds) the arithmetic path takes: 1902-01-01 to 9998-01-01 UTC. Every
// period start it computes from them lies inside the range of RWDateTime and RWTime, so the
// result is valid and no trace is due; instants outside go the literal way.
constexpr unsigned long FAST_LOW =
    static_cast<unsigned long>(daysFromCivil(1902, 1, 1) * DAY) + RWTime::posixOffset;
constexpr unsigned long FAST_HIGH =
    static_cast<unsigned long>(daysFromCivil(9998, 1, 1) * DAY) + RWTime::posixOffset;
// The instants RWTime holds, as POSIX seconds: from 1901-01-01 00:00:01 to the end of 9999.
constexpr std::int64_t FIRST_UTC = 1 - std::int64_t{RWTime::posixOffset};
constexpr std::int64_t LAST_UTC = (qelkit_internal::kLastDay + 1) * DAY - 1;
// Instants (RWTime seconds) more than two days past the end of 9999 read as year 10000 or later
// in every zone: calendarTruncate leaves them to truncate, which refuses them.
constexpr unsigned long CALENDAR_HIGH =
    static_cast<unsigned long>(LAST_UTC + 2 * DAY) + RWTime::posixOffset;
// Larger offsets (seconds) are left to the literal path as well.
constexpr long MAX_FAST_OFFSET = 2 * DAY;

bool hasFixedOffset(const RWZone& zone) { return typeid(zone) == typeid(RWZoneSimple); }

// The day (counted from 1970-01-01) that starts the week holding day `days`.
constexpr std::int64_t weekStartDay(std::int64_t days, int startOfWeek) {
    return days - stepsBack(weekDayOf(days), startOfWeek);
}

// The day that starts the week-numbering year holding day `days`: of the years after, of and
// before it, the first whose `startOfWeek` on or before its first Thursday is not later.
constexpr std::int64_t weekYearStartDay(std::int64_t days, int startOfWeek) {
    const std::int64_t year = civilFromDays(days).year;
    std::int64_t candidate = 0;
    for (std::int64_t y = year + 1; y >= year - 1; --y) {
        const std::int64_t jan1 = daysFromCivil(y, 1, 1);
        candidate = jan1 + stepsBack(4, weekDayOf(jan1)) - stepsBack(4, startOfWeek);
        if (candidate <= days) break;
    }
    return candidate;
}
static_assert(weekYearStartDay(daysFromCivil(2010, 1, 2), 1) == daysFromCivil(2008, 12, 29),
              "2 January 2010 still lies in ISO year 2009, which has 53 weeks");

// The period start computed from the wall-clock reading of the instant. Gives the same
// instant as literalTruncate: both read the wall clock through RWZone::offsetAt and map
// wall-clock fields back through RWZone::utcFromLocal, which is what RWDateTime does. The
// weekday walks are replaced by arithmetic only under a fixed offset, where a 24-hour step
// is always one calendar day; under zones with daylight changes they stay literal. Returns
// false for what it does not handle.
bool fastTruncate(TimeAggregationType code, int aggrSeconds, const RWTime& time, int startOfWeek,
                  const RWZone& zone, RWTime* result) {
    if (time.seconds() < FAST_LOW || time.seconds() >= FAST_HIGH) return false;
    if (code == None) {
        *result = time;
        return true;
    }
    const std::int64_t utc =
        static_cast<std::int64_t>(time.seconds()) - static_cast<std::int64_t>(RWTime::posixOffset);
    const long offset = zone.offsetAt(utc);
    if (offset > MAX_FAST_OFFSET || offset < -MAX_FAST_OFFSET) return false;
    const std::int64_t wall = utc - offset;
    const std::int64_t days = floorDiv(wall, DAY);
    const std::int64_t hourStart = (wall - days * DAY) / 3600 * 3600;
    std::int64_t start;
    switch (code) {
        case OneMinute:
        case TwoMinute:
        case FiveMinute:
        case TenMinute:
        case FifteenMinute:
        case HalfHour:
        case Hour:
            start = wall - floorMod(wall, aggrSeconds);
            break;
        case Day:
            start = days * DAY;
            break;
        case Month:
        case MonthHour: {
            const std::int64_t first = days - (civilFromDays(days).day - 1);
            start = first * DAY + (code == MonthHour ? hourStart : 0);
            break;
        }
        case Week:
        case WeekHour:
            if (!hasFixedOffset(zone)) return false;
            start = weekStartDay(days, startOfWeek) * DAY + (code == WeekHour ? hourStart : 0);
            break;
        case Year:
            if (!hasFixedOffset(zone)) return false;
            start = weekYearStartDay(days, startOfWeek) * DAY;
            break;
        default:
            return false;
    }
    *result = RWTime(
        static_cast<unsigned long>(zone.utcFromLocal(start) + std::int64_t{RWTime::posixOffset}));
    return true;
}

// The trace of a truncation whose result is the invalid time.
void traceInvalidResult(const RWTime& time, const Period& period, const RWTime& result,
                        const RWZone& zone) {
    const RWLocale& locale = RWLocale::global();
    RWCString msg("Error: Invalid date truncation. date= ");
    msg.append(time.asString('\0', zone, locale));
    msg.append("(");
    msg.append(RWDateTime(time, 0).asString(isoFormat, locale, zone));
    msg.append(")");
    msg.append(" -> ");
    msg.append(result.asString('\0', zone, locale));
    msg.append("  Aggregation: ");
    msg.append(period.desc);
    NqTraceStatic::output(TRACE_TAG, msg);
}

// Steps `dt` back by whole 24-hour amounts until its weekday is `startOfWeek` or it turns
// invalid (weekday 0).
RWDateTime walkBackTo(RWDateTime dt, unsigned startOfWeek, const RWZone& zone) {
    while (dt.isValid() && dt.weekDay(zone) != startOfWeek) dt.decrementMillisecond(DAY_MS);
    return dt;
}

// The first day of the week-numbering year holding `work`: for the years after, of and before
// it, the `startOfWeek` on or before the first Thursday of January, until one is not later
// than `work`. An invalid candidate (year 0, or out of range) ends the search.
RWDateTime weekYearStart(const RWDateTime& work, unsigned startOfWeek, const RWZone& zone) {
    for (long year = static_cast<long>(work.year(zone)) + 1; year >= 0; --year) {
        RWDateTime candidate(1, 1, static_cast<unsigned>(year), 0, 0, 0, 0, zone);
        while (candidate.isValid() && candidate.weekDay(zone) != 4) {
            candidate.incrementMillisecond(DAY_MS);
        }
        candidate = walkBackTo(candidate, startOfWeek, zone);
        if (candidate <= work) return candidate;
    }
    return RWDateTime(RWDateTime::invalid);
}

// The period start computed step by step through RWDateTime, with the diagnostics of
// conversions that fail.
RWTime literalTruncate(TimeAggregationType code, const Period& period, const RWTime& time,
                       int startOfWeek, const RWZone& zone) {
    const RWLocale& locale = RWLocale::global();
    const RWDateTime work(time, 0);
    if (!work.isValid()) {
        RWCString msg("Error: Invalid date conversion. date= ");
        msg.append(time.asString('\0', zone, locale));
        msg.append(" to=");
        msg.append(work.asString(isoFormat, locale, zone));
        NqTraceStatic::output(TRACE_TAG, msg);
    }
    const unsigned hour = work.hour(zone);
    const unsigned minute = work.minute(zone);
    const unsigned day = work.dayOfMonth(zone);
    const unsigned month = work.month(zone);
    const unsigned year = work.year(zone);
    auto at = [&zone](unsigned d, unsigned m, unsigned y, unsigned h, unsigned mi) {
        return RWDateTime(d, m, y, h, mi, 0, 0, zone).toRWTime();
    };
    const unsigned sow = static_cast<unsigned>(startOfWeek);
    RWTime result;
    switch (code) {
        case OneMinute:
        case TwoMinute:
        case FiveMinute:
        case TenMinute:
        case FifteenMinute:
        case HalfHour: {
            const unsigned step = static_cast<unsigned>(period.maxMinutes);
            result = at(day, month, year, hour, minute - minute % step);
            break;
        }
        case Hour:
            result = at(day, month, year, hour, 0);
            break;
        case Day:
            result = at(day, month, year, 0, 0);
            break;
        case Month:
            result = at(1, month, year, 0, 0);
            break;
        case MonthHour:
            result = at(1, month, year, hour, 0);
            break;
        case Week:
        case WeekHour: {
            const RWDateTime first = walkBackTo(work, sow, zone);
            result = at(first.dayOfMonth(zone), first.month(zone), first.year(zone),
                        code == WeekHour ? hour : 0, 0);
            break;
        }
        case Year:
            result = weekYearStart(work, sow, zone).toRWTime();
            break;
        case AllHours:
            result = at(1, 1, 1970, 0, 0);
            break;
        case None:
            result = work.toRWTime();
            break;
        default:
            result = work.toRWTime();
            NqTraceStatic::output(TRACE_TAG, "default = " + result.asString('\0', zone, locale));
            break;
    }
    if (!result.isValid()) traceInvalidResult(time, period, result, zone);
    return result;
}

// NqTimeAggregation::truncate in `zone`.
RWTime truncateIn(TimeAggregationType code, const RWTime& time, int startOfWeek,
                  const RWZone& zone) {
    const Period& period = periodOf(code);
    // No weekday matches such a value: the week walks would never end. It is refused for every
    // code, so a bad setting shows at once rather than only on weekly reports.
    if (startOfWeek < 1 || startOfWeek > 7) {
        RWCString msg("Error: start of week out of range (1..7): ");
        msg.append(QelString(startOfWeek));
        msg.append("  Aggregation: ");
        msg.append(period.desc);
        NqTraceStatic::output(TRACE_TAG, msg);
        return RWTime(0UL);
    }
    RWTime result(0UL);  // not RWTime(), which reads the clock
    if (fastTruncate(code, period.aggrSeconds, time, startOfWeek, zone, &result)) return result;
    return literalTruncate(code, period, time, startOfWeek, zone);
}

}  // namespace

TimeAggregationType NqTimeAggregation::fromString(const QelString& text) {
    if (text.length() == 0) return None;
    QelString lower(text);
    lower.toLower();
    auto has = [&lower](const char* word) { return lower.index(word) != RW_NPOS; };
    if (has("minute")) {
        if (has("30 minute") || has("thirty minute")) return HalfHour;
        if (has("15 minute") || has("fifteen minute")) return FifteenMinute;
        if (has("10 minute") || has("ten minute")) return TenMinute;
        if (has("5 minute") || has("five minute")) return FiveMinute;
        if (has("2 minute") || has("two minute")) return TwoMinute;
        return OneMinute;
    }
    if (has("hour")) {
        if (has("all hours")) return AllHours;
        if (has("month-hour")) return MonthHour;
        if (has("week-hour")) return WeekHour;
        if (has("half-hour") || has("half hour")) return HalfHour;
        if (has("quarter hour")) return FifteenMinute;
        return Hour;
    }
    if (has("quarter")) return FifteenMinute;
    if (has("half")) return HalfHour;
    if (has("day")) return Day;
    if (has("week")) return Week;
    if (has("month")) return Month;
    if (has("year")) return Year;
    return None;
}

TimeAggregationType NqTimeAggregation::fromSeconds(int seconds) noexcept {
    for (const Period& p : PERIODS) {
        if (p.aggrSeconds != 0 && p.aggrSeconds == seconds) {
            return static_cast<TimeAggregationType>(p.code);
        }
    }
    return None;
}

bool NqTimeAggregation::fromName(const QelString& text, TimeAggregationType& code) {
    const std::string wanted = normalisedName(text);
    for (const Period& p : PERIODS) {
        const NqTimeAggregation period(static_cast<TimeAggregationType>(p.code));
        const bool minutes = p.aggrSeconds > 0 && p.aggrSeconds < 3600;
        if (wanted == normalisedName(period.name()) || wanted == normalisedName(p.desc) ||
            (minutes && wanted == std::to_string(p.aggrSeconds / 60) + " minute")) {
            code = period.code();
            return true;
        }
    }
    for (const auto& other : OTHER_NAMES) {
        if (wanted == other.name) {
            code = other.code;
            return true;
        }
    }
    return false;
}

std::vector<TimeAggregationType> NqTimeAggregation::codes() {
    std::vector<TimeAggregationType> all;
    for (const Period& p : PERIODS) all.push_back(static_cast<TimeAggregationType>(p.code));
    return all;
}

QelString NqTimeAggregation::toString() const { return QelString(static_cast<char>(_code), 1); }

QelString NqTimeAggregation::name() const {
    const Period& p = periodOf(_code);
    if (p.aggrSeconds > 0 && p.aggrSeconds < 3600) {
        const int minutes = p.aggrSeconds / 60;
        return QelString(minutes == 1 ? "minute" : (std::to_string(minutes) + " minute").c_str());
    }
    QelString name(p.desc);
    for (std::size_t i = 0; i < name.length(); ++i)
        name[i] =
            static_cast<char>(qelkit_internal::foldAscii(static_cast<unsigned char>(name[i])));
    return name;
}

const char* NqTimeAggregation::aggregationDesc() const noexcept { return periodOf(_code).desc; }

int NqTimeAggregation::aggrSeconds() const noexcept { return periodOf(_code).aggrSeconds; }

int NqTimeAggregation::maxSeconds() const noexcept { return periodOf(_code).maxSeconds; }

int NqTimeAggregation::maxMinutes() const noexcept { return periodOf(_code).maxMinutes; }

int NqTimeAggregation::maxDays() const noexcept { return periodOf(_code).maxDays; }

const QelString& NqTimeAggregation::oracleDateFormat() const noexcept {
    return oracleFormats()[periodOf(_code).format];
}

bool NqTimeAggregation::hasOracleDateFormat() const noexcept {
    return periodOf(_code).format != UnrecognizedFormat;
}

int NqTimeAggregation::actualDays(const RWDate& date) const {
    switch (_code) {
        case Day:
            return 1;
        case Week:
            return 7;
        case Month:
            return static_cast<int>(RWDate::daysInMonthYear(date.month(), date.year()));
        case Year:
            return static_cast<int>(RWDate::daysInYear(date.year()));
        default:
            return 0;
    }
}

QelString NqTimeAggregation::oracleToChar(const QelString& column) const {
    QelString out("to_char(");
    out.append(column);
    if (_code == Week) out.append("+1");
    out.append(", ");
    out.append(oracleDateFormat());
    out.append(")");
    return out;
}

RWTime NqTimeAggregation::truncate(const RWTime& time) const {
    return truncate(time, QelDate::startOfWeek());
}

RWTime NqTimeAggregation::truncate(const RWTime& time, int startOfWeek) const {
    return truncateIn(_code, time, startOfWeek, RWZone::local());
}

RWTime NqTimeAggregation::calendarTruncate(const RWTime& time, int startOfWeek) const {
    return calendarTruncate(time, startOfWeek, RWZone::local());
}

RWTime NqTimeAggregation::calendarTruncate(const RWTime& time, int startOfWeek,
                                           const RWZone& zone) const {
    const bool byDays = _code == Week || _code == WeekHour || _code == Year;
    if (!byDays || startOfWeek < 1 || startOfWeek > 7 || !time.isValid() ||
        time.seconds() > CALENDAR_HIGH)
        return truncateIn(_code, time, startOfWeek, zone);
    const std::int64_t utc =
        static_cast<std::int64_t>(time.seconds()) - static_cast<std::int64_t>(RWTime::posixOffset);
    const std::int64_t wall = utc - zone.offsetAt(utc);
    const std::int64_t days = floorDiv(wall, DAY);
    const std::int64_t start =
        _code == Year ? weekYearStartDay(days, startOfWeek) * DAY
                      : weekStartDay(days, startOfWeek) * DAY +
                            (_code == WeekHour ? (wall - days * DAY) / 3600 * 3600 : 0);
    const std::int64_t startUtc = zone.utcFromLocal(start);
    if (startUtc < FIRST_UTC || startUtc > LAST_UTC) {
        traceInvalidResult(time, periodOf(_code), RWTime(0UL), zone);
        return RWTime(0UL);
    }
    return RWTime(static_cast<unsigned long>(startUtc + std::int64_t{RWTime::posixOffset}));
}
