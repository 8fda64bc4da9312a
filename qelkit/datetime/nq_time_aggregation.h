// SPDX-License-Identifier: Apache-2.0
// NqTimeAggregation: a reporting period ("five minute", "hour", "week", ...) for grouping
// time-stamped data. It parses the period from free text or from a length in seconds, names
// it, gives its length, truncates an instant to the start of the period that holds it (in the
// local zone, RWZone::local(), or a zone given; weeks by 24-hour steps or by calendar days) and
// writes the Oracle to_char() expression that groups a date column the same way. Its names (a
// short one per period, and the descriptions) read back to the code through fromName(). A small
// value: one character code, copied freely, no virtual calls; every operation may run on several
// threads at once.
#ifndef QELKIT_DATETIME_NQ_TIME_AGGREGATION_H
#define QELKIT_DATETIME_NQ_TIME_AGGREGATION_H

#include <vector>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_date.h"
#include "qelkit/foundation/rw_time.h"
#include "qelkit/foundation/rw_zone.h"
#include "qelkit/strings/qel_string.h"

// Reporting periods. Each enumerator holds its one-letter code, which is also its text form.
enum TimeAggregationType {
    OneMinute = 'O',
    TwoMinute = 'B',
    FiveMinute = 'F',
    TenMinute = 'T',
    FifteenMinute = 'Q',
    HalfHour = 'P',
    Hour = 'H',
    AllHours = 'A',
    WeekHour = 'U',
    MonthHour = 'V',
    Day = 'D',
    Week = 'W',
    Month = 'M',
    Year = 'Y',
    None = 'N'
};

// "%Y-%m-%dT%H:%M:%S": the layout in which diagnostics show date-times.
extern QELKIT_API const char* const isoFormat;

class QELKIT_API NqTimeAggregation {
  public:
    // Any value is accepted; codes outside the enumeration describe themselves as "Unknown".
    NqTimeAggregation(TimeAggregationType code) noexcept : _code(code) {}

    // The period named by free text, case-insensitively: "15 minute", "Half-Hour", "week",
    // ... An empty or unrecognised text gives None; "minute" with no known count gives
    // OneMinute.
    static TimeAggregationType fromString(const QelString& text);
    // 60, 120, 300, 600, 900, 1800 and 3600 give the sub-daily periods; anything else None.
    static TimeAggregationType fromSeconds(int seconds) noexcept;
    // The period that `text` names exactly, with nothing guessed: its name() or its
    // aggregationDesc(), "N minute" for the periods of N minutes, or one of "quarter hour",
    // "thirty minute", "one hour", "1 hour", "hourly", "daily", "weekly", "monthly" and
    // "yearly". Case is ignored; words may be separated by blanks, '-' or '_' (or nothing between
    // a number and a word), "min" and "mins" stand for "minute", and a final 's' of a word of
    // four letters or more is dropped. Stores the code in `code` and returns true; returns false,
    // with `code` unchanged, for any other text.
    static bool fromName(const QelString& text, TimeAggregationType& code);
    // Every code of the table, OneMinute to None, in the order of the enumeration.
    static std::vector<TimeAggregationType> codes();

    TimeAggregationType code() const noexcept { return _code; }
    // The code as a one-character text ("H").
    QelString toString() const;
    // Display name ("Five Minute", "Half-Hour", ...; "Unknown" for codes outside the table).
    const char* aggregationDesc() const noexcept;
    // The short name, in lower case: "minute" or "N minute" for the periods of N minutes below
    // an hour, else the description ("hour", "week-hour", "all hours", "none", ...); "unknown"
    // for codes outside the table.
    QelString name() const;
    // Length in seconds of the fixed sub-daily periods; 0 for every other code.
    int aggrSeconds() const noexcept;
    // Length of the longest possible period (31-day month, 366-day year) in seconds, minutes
    // and days; 0 for periods without a length.
    int maxSeconds() const noexcept;
    int maxMinutes() const noexcept;
    int maxDays() const noexcept;
    // The Oracle to_char() format, single quotes included. The reference is to a constant that
    // lives until the library is unloaded.
    const QelString& oracleDateFormat() const noexcept;
    // False when oracleDateFormat() is no format but the text 'Unrecognized Frequency': for All
    // Hours and codes outside the table.
    bool hasOracleDateFormat() const noexcept;
    // Real length in days of the period holding `date`: 1 for Day, 7 for Week, the days of
    // its month for Month and of its year for Year, 0 otherwise.
    int actualDays(const RWDate& date) const;
    // "to_char(<column>, <format>)", with "+1" after the column for Week so that weeks run
    // from Sunday to Saturday.
    QelString oracleToChar(const QelString& column) const;

    // truncate(time, QelDate::startOfWeek()).
    RWTime truncate(const RWTime& time) const;
    // The start of the period holding `time`, by the local calendar. `startOfWeek` (1 Monday
    // .. 7 Sunday) picks the first day of weeks for Week, WeekHour and Year. A value outside
    // 1..7 is refused for every code: the result is the invalid time and a trace names the
    // value. Unknown codes return the instant unchanged, with a trace. An instant the calendar
    // cannot represent gives the invalid time, with traces. Never throws on its own.
    RWTime truncate(const RWTime& time, int startOfWeek) const;
    // The start of the period holding `time`, with weeks counted in calendar days: Week starts
    // at local midnight of the last `startOfWeek` day (1 Monday .. 7 Sunday) on or before the
    // local date of `time`, WeekHour at the hour of `time` on that day, and Year at local
    // midnight of the first day of its week-numbering year, whatever daylight-saving changes
    // lie in between (truncate's 24-hour steps can land a day early across one). A start in a
    // gap of a daylight change maps as RWZone::utcFromLocal maps it. Every other code, a
    // `startOfWeek` outside 1..7 and the invalid time give what truncate gives; under a fixed
    // offset the two agree for every code. A start outside the range of RWTime gives the
    // invalid time, with a trace. Never throws on its own.
    RWTime calendarTruncate(const RWTime& time, int startOfWeek) const;
    // The same in `zone` instead of RWZone::local(), for every code (the codes and cases left to
    // truncate above included), so that a caller working in one zone need not install it as the
    // local one.
    RWTime calendarTruncate(const RWTime& time, int startOfWeek, const RWZone& zone) const;

  private:
    TimeAggregationType _code;
};

#endif  // QELKIT_DATETIME_NQ_TIME_AGGREGATION_H
