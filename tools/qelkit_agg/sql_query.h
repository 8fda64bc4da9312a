// SPDX-License-Identifier: Apache-2.0
// The whole query of qelkit-agg's aggregation for a database table: the period start, the keys
// and the tool's aggregates under the tool's output column names, grouped by period and keys and
// ordered as the tool orders its lines, in the SQL of one dialect (postgresql, duckdb,
// clickhouse, oracle, or to_char: the oracle query with a text period). Notes for standard
// error say where the engine's answer can differ from the tool's.
#ifndef QELKIT_TOOLS_QELKIT_AGG_SQL_QUERY_H
#define QELKIT_TOOLS_QELKIT_AGG_SQL_QUERY_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qelkit/records/qel_aggregate.h"

// What the query reads and computes. Column and table names are written by sqlIdentifier's
// rules; periodExpression is the grouping expression of the time column in the same dialect
// (sqlExpression, sqlLengthExpression or sqlQuarterExpression). fromWall and toWall bound the
// time column to [fromWall, toWall), wall-clock seconds since 1970-01-01 00:00 as if UTC.
struct SqlQueryRequest {
    std::string dialect;
    std::string table;  // a name or schema.name
    std::string timeColumn;
    std::vector<std::string> keyColumns;
    std::vector<std::string> valueColumns;
    std::vector<QelAggregate> aggregates;
    std::string periodExpression;
    std::optional<std::int64_t> fromWall;
    std::optional<std::int64_t> toWall;
};

// The statement (one line per clause, ending with ';', no final newline) and the notes for
// standard error, one line each, without the program name.
struct SqlQuery {
    std::string text;
    std::vector<std::string> notes;
};

// The query of `request`. Throws AggError for a name that is no identifier, or (clickhouse) an
// output name that is also the name of a column the query reads, which ClickHouse would read as the
// output column.
SqlQuery sqlQuery(const SqlQueryRequest& request);

#endif  // QELKIT_TOOLS_QELKIT_AGG_SQL_QUERY_H
