// SPDX-License-Identifier: Apache-2.0
// QelPeriod: a reporting period of any kind the grouping of time-stamped rows needs, and the
// start of the period that holds a time. Three kinds:
//   Named    one of the library's periods (NqTimeAggregation's codes), truncated by the
//            calendar of a zone exactly as NqTimeAggregation::calendarTruncate does it, with
//            Week-Hour and Month-Hour labelled by the first day of the week or month and the
//            hour of the time read (a label, which need not exist as an instant on that day).
//   Length   a free length of N seconds, minutes, hours or days, by pure wall-clock arithmetic:
//            the start is floor(wall / seconds) * seconds, rounding down below 1970 too. So a
//            length that divides a day (20 minute, 6 hour, 90 second) aligns to local midnight,
//            and one that does not (7 minute, 5 day) to 1970-01-01 00:00 of the wall clock.
//   Quarter  00:00 on the first day of January, April, July or October of the wall reading.
// A small value, copied freely; every operation may run on several threads at once.
#ifndef QELKIT_DATETIME_QEL_PERIOD_H
#define QELKIT_DATETIME_QEL_PERIOD_H

#include <cstdint>
#include <string>
#include <string_view>

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/export.h"
#include "qelkit/foundation/rw_zone.h"

class QELKIT_API QelPeriod {
  public:
    enum Kind { Named, Length, Quarter };

    // The named period of `code`, with the meaning the library gives it.
    QelPeriod(TimeAggregationType code = None) noexcept : _kind(Named), _code(code) {}
    // A length of `seconds` (at least 1; a smaller value is taken as 1).
    static QelPeriod length(std::int64_t seconds) noexcept;
    static QelPeriod quarter() noexcept;
    // Reads `text`: every name NqTimeAggregation::fromName accepts (Named, that code, so "1 hour"
    // and "5 minutes" stay Named), "quarter", or "N second", "N minute", "N hour", "N day" with
    // N >= 1 (a Length; a final 's' allowed, case ignored, blanks around and between). Returns
    // false, with what is accepted in `why`, for any other text, N of 0 or N so large that the
    // length overflows 64 bits. `period` is unchanged on failure.
    static bool fromName(std::string_view text, QelPeriod& period, std::string& why);

    Kind kind() const noexcept { return _kind; }
    // The code of a Named period; None for the other kinds.
    TimeAggregationType code() const noexcept { return _kind == Named ? _code : None; }
    // The length of a Length period in seconds; 0 for the other kinds.
    std::int64_t seconds() const noexcept { return _kind == Length ? _seconds : 0; }
    // A Length whose seconds divide 86400, so that its periods align to local midnight.
    bool dividesDay() const noexcept { return _kind == Length && 86400 % _seconds == 0; }
    // "quarter", the code's NqTimeAggregation::name() for a Named period, and "N day", "N hour",
    // "N minute" or "N second" (the largest unit that divides it) for a Length.
    std::string name() const;

    // The start of the period holding the instant `utc` (POSIX seconds) whose wall-clock reading
    // in `zone` is `wall` (seconds since 1970-01-01 as if UTC), as a wall-clock reading in the
    // same units, in `startWall`. Weeks start on `startOfWeek` (1 Monday .. 7 Sunday; Named
    // periods refuse other values). Returns false when the start lies outside the calendar:
    // for Named periods outside what RWTime holds (instants from 1901-01-01 00:00:01 UTC,
    // wall readings to the end of 9999), for the others outside years 1 to 9999; `startWall`
    // is then unchanged.
    bool start(std::int64_t utc, std::int64_t wall, int startOfWeek, const RWZone& zone,
               std::int64_t& startWall) const;

    // The start of the period after the one starting at `startWall` (a start() result), as
    // start() would give it, in `nextWall`. False for periods that do not follow one another
    // (all hours, week-hour, month-hour, none) and past the end of the calendar.
    bool next(std::int64_t startWall, int startOfWeek, const RWZone& zone,
              std::int64_t& nextWall) const;

  private:
    bool namedStart(std::int64_t utc, std::int64_t wall, int startOfWeek, const RWZone& zone,
                    std::int64_t& startWall) const;

    Kind _kind;
    TimeAggregationType _code = None;
    std::int64_t _seconds = 1;
};

#endif  // QELKIT_DATETIME_QEL_PERIOD_H
