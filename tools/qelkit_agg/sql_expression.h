// SPDX-License-Identifier: Apache-2.0
// The --sql mode of qelkit-agg: the SQL expression that groups a database column by the tool's
// own periods (named, free lengths and quarters), in the dialect chosen by --dialect, and a note
// for standard error when the expression does not group as the tool does.
#ifndef QELKIT_TOOLS_QELKIT_AGG_SQL_EXPRESSION_H
#define QELKIT_TOOLS_QELKIT_AGG_SQL_EXPRESSION_H

#include <cstdint>
#include <string>

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/datetime/qel_period.h"

// True for the --dialect names: oracle, postgresql, clickhouse, duckdb, and to_char, the
// classic text of NqTimeAggregation::oracleToChar.
bool isSqlDialect(const std::string& name);
// The --dialect names for messages: "oracle, postgresql, clickhouse, duckdb or to_char".
std::string sqlDialectList();

// Sets `text` to `column` as an SQL identifier of `dialect`: a name, or names joined by '.'
// (table.column). A part made of ASCII letters, digits and '_' that does not start with a digit
// is written as it is (the database folds its case as usual); any other part, or one the user
// enclosed in '"', is quoted ("part", or `part` for clickhouse). Returns false for an empty
// part, an unclosed quote, or a quoted part holding '"', '`', a backslash or a control character.
bool sqlIdentifier(const std::string& column, const std::string& dialect, std::string& text);

// sqlIdentifier's text of `name`; throws AggError naming it as `what` ("column", "table")
// when it is no identifier.
std::string sqlIdentifierOf(const std::string& name, const std::string& dialect,
                            const std::string& what);
// The wall-clock seconds since 1970-01-01 00:00 of the ClickHouse DateTime `c` (parenthesised),
// read in the column's own zone: a whole number, whatever zone the server runs in.
std::string sqlClickHouseWallSeconds(const std::string& c);

// The expression of --sql, and a warning for standard error (without the program name) when it
// groups otherwise than the tool, else "".
struct SqlText {
    std::string text;
    std::string warning;
};

// The expression for `column` (as sqlIdentifier writes it), `period` and weeks starting on
// `startOfWeek` (1 Monday .. 7 Sunday) in `dialect`. Throws AggError when the dialect cannot
// express the period or `column` is no identifier.
SqlText sqlExpression(const std::string& column, TimeAggregationType period, int startOfWeek,
                      const std::string& dialect);

// The start of the free period of `seconds` (>= 1) holding `column`, a wall-clock timestamp
// without a zone: floor(wall / seconds) * seconds on the wall-clock seconds since 1970-01-01
// 00:00, so lengths that divide a day start at midnight. The oracle form runs on PostgreSQL
// too; to_char writes lengths of one second, minute, hour or day only. Throws AggError for what
// the dialect cannot express, a length below one second or a `column` that is no identifier.
SqlText sqlLengthExpression(const std::string& column, std::int64_t seconds,
                            const std::string& dialect);
// The start of the calendar quarter holding `column`: 00:00 on 1 January, April, July or
// October (to_char: the text YYYY-Q, one per quarter). Throws AggError as sqlExpression does.
SqlText sqlQuarterExpression(const std::string& column, const std::string& dialect);

// The expression of any kind of period: sqlExpression, sqlLengthExpression or
// sqlQuarterExpression as `period` asks.
SqlText sqlPeriodExpression(const std::string& column, const QelPeriod& period, int startOfWeek,
                            const std::string& dialect);

#endif  // QELKIT_TOOLS_QELKIT_AGG_SQL_EXPRESSION_H
