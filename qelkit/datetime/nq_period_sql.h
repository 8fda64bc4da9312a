// SPDX-License-Identifier: Apache-2.0
// NqPeriodSql: the SQL expression that gives, for a database column of time stamps, the start
// of the reporting period that holds each value, in the dialects of Oracle, PostgreSQL,
// ClickHouse and DuckDB. Grouping a query by it puts rows together exactly as
// NqTimeAggregation::truncate (and calendarTruncate, the same there) does under a fixed-offset
// local zone, and the value of each group is the same wall-clock time as truncate's period
// start, so groups and their labels agree.
//
// The column holds local wall-clock time as stored, with no zone: `timestamp` (PostgreSQL,
// DuckDB), `DATE` or `TIMESTAMP` (Oracle), or a ClickHouse `DateTime` whose zone has a fixed
// offset (`DateTime('UTC')` holding the wall clock; the expression reads the calendar in the
// column's own zone, whatever the server's). The result is a timestamp of that kind: `timestamp`
// in PostgreSQL and DuckDB, `TIMESTAMP` in Oracle, a `DateTime` in the column's zone in
// ClickHouse. Every period is written with plain calendar functions; none of the expressions
// depends on the session's zone, locale or first day of the week, except that the Oracle form
// run by PostgreSQL (which accepts the same text) needs a session zone without daylight saving.
//
// What cannot be written: a code outside the table of NqTimeAggregation, a start of week outside
// 1..7, an empty column text or a dialect outside the enumeration; periodStart() then returns an
// empty text. Limits of the engines that no text can lift: ClickHouse's DateTime holds only
// instants from 1970-01-01 00:00:00 UTC to 2106, so a period that starts before (All Hours in a
// zone east of UTC, the weeks and the week-numbering year of the first days of 1970) wraps
// around there; Oracle counts days before 15 October 1582 in the Julian calendar, where the
// library's calendar is proleptic Gregorian.
//
// A small value, copied freely; every operation may run on several threads at once.
#ifndef QELKIT_DATETIME_NQ_PERIOD_SQL_H
#define QELKIT_DATETIME_NQ_PERIOD_SQL_H

#include <vector>

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/export.h"
#include "qelkit/strings/qel_string.h"

class QELKIT_API NqPeriodSql {
  public:
    enum Dialect { Oracle, PostgreSql, ClickHouse, DuckDb };

    // The dialect called `name`: "oracle", "postgresql", "clickhouse" or "duckdb", exactly (lower
    // case). Stores it in `dialect` and returns true; returns false, with `dialect` unchanged, for
    // any other text.
    static bool dialectFromName(const QelString& name, Dialect& dialect) noexcept;
    // The name of `dialect` that dialectFromName() reads; null for a value outside the enumeration.
    static const char* dialectName(Dialect dialect) noexcept;
    // Every dialect, in the order of the enumeration.
    static std::vector<Dialect> dialects();

    // The period `code`, with weeks that start on `startOfWeek` (1 Monday .. 7 Sunday, as in
    // NqTimeAggregation::truncate); the start of week matters to Week, WeekHour and Year only.
    // Nothing is checked here: periodStart() refuses what it cannot write.
    NqPeriodSql(TimeAggregationType code, int startOfWeek) noexcept
        : _code(code), _startOfWeek(startOfWeek) {}

    TimeAggregationType code() const noexcept { return _code; }
    int startOfWeek() const noexcept { return _startOfWeek; }

    // The period-start expression for `column` in `dialect`. The column text is an SQL
    // expression, copied as given (in parentheses, possibly several times): never pass
    // untrusted input. Returns an empty text when the period cannot be written (see above).
    QelString periodStart(const QelString& column, Dialect dialect) const;

    // Non-zero when NqTimeAggregation::oracleToChar() of this code groups rows exactly as
    // truncate does with this start of week: One Minute, Hour, Day, Month, Month-Hour and None
    // always, Week with a Sunday start, Week-Hour with a Monday start. Zero otherwise: the
    // periods of 2 to 30 minutes group by the minute, Week by Sunday weeks, Week-Hour by Monday
    // weeks, Year by the calendar year, and All Hours and unknown codes have no format.
    int toCharGroupsExactly() const noexcept;

  private:
    TimeAggregationType _code;
    int _startOfWeek;
};

#endif  // QELKIT_DATETIME_NQ_PERIOD_SQL_H
