// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/sql_query.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "qelkit/foundation/rw_zone.h"
#include "tools/qelkit_agg/agg_error.h"
#include "tools/qelkit_agg/output.h"
#include "tools/qelkit_agg/sql_expression.h"

namespace {

bool isClickHouse(const std::string& dialect) { return dialect == "clickhouse"; }
bool isOracle(const std::string& dialect) { return dialect == "oracle" || dialect == "to_char"; }

// An output column name, written so that the engine keeps its spelling: plain where the
// engine would not fold its case (PostgreSQL folds to lower case, Oracle to upper case),
// quoted otherwise.
std::string outputName(const std::string& name, const std::string& dialect) {
    std::string plain;
    const bool folds = std::any_of(name.begin(), name.end(), [&](char c) {
        return isOracle(dialect) ? c >= 'a' && c <= 'z'
                                 : dialect == "postgresql" && c >= 'A' && c <= 'Z';
    });
    if (!folds && name.find('.') == std::string::npos && sqlIdentifier(name, dialect, plain) &&
        plain == name)
        return name;
    return sqlIdentifierOf('"' + name + '"', dialect, "output column");
}

// `fraction` as an SQL number, in the fewest digits that read back as the same double:
// "0.999" for p99.9.
std::string fractionText(double fraction) {
    char text[32];
    for (int digits = 1;; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, fraction);
        if (std::strtod(text, nullptr) == fraction || digits == 17) return text;
    }
}

// The interpolating percentile `f` of `v`: the value at rank f * (n - 1) of the sorted values,
// between the closest ranks linearly, as PostgreSQL's percentile_cont. ClickHouse's own
// quantile functions either sample beyond 8192 values or take the nearest rank, so its form
// sorts the group's values itself.
std::string percentileSql(const std::string& v, const std::string& f, const std::string& d) {
    if (d == "duckdb") return "quantile_cont(" + v + ", " + f + ")";
    if (!isClickHouse(d)) return "percentile_cont(" + f + ") WITHIN GROUP (ORDER BY " + v + ")";
    const std::string low = "s[toUInt64(floor(r)) + 1]";
    return "if(count(" + v + ") = 0, NULL, arrayMap((s, r) -> " + low + " + (r - floor(r)) * (" +
           "s[toUInt64(ceil(r)) + 1] - " + low + "), [arraySort(groupArray(" + v + "))], [" + f +
           " * (greatest(count(" + v + "), 1) - 1)])[1])";
}

// The sample variance of `v` in ClickHouse, NULL below two values: two passes over the group's
// values, their squared distances from the mean. varSamp subtracts sums of squares (about 1e-6
// off for values near 1e6), and the state of varSampStable cannot be sent to the server that
// queries a Distributed table in some versions (18.16 fails reading it).
std::string clickHouseVariance(const std::string& v) {
    return "if(count(" + v + ") < 2, NULL, arrayMap((s, m) -> arraySum(arrayMap(x -> (x - m) * " +
           "(x - m), s)) / (length(s) - 1), [groupArray(" + v + ")], [assumeNotNull(avg(" + v +
           "))])[1])";
}

// The value of `v` at the earliest (`first`) or latest time `t` among the rows where `v` is
// present.
std::string firstLastSql(const std::string& v, const std::string& t, bool first,
                         const std::string& d) {
    const std::string present = " FILTER (WHERE " + v + " IS NOT NULL)";
    if (d == "postgresql")
        return "(array_agg(" + v + " ORDER BY " + t + (first ? "" : " DESC") + ")" + present +
               ")[1]";
    if (d == "duckdb") return (first ? "arg_min(" : "arg_max(") + v + ", " + t + ")" + present;
    if (isClickHouse(d)) return (first ? "argMin(" : "argMax(") + v + ", " + t + ")";
    // Oracle ranks the rows without the value after (first) or before (last) the others.
    return (first ? "MIN(" : "MAX(") + v + ") KEEP (DENSE_RANK " + (first ? "FIRST" : "LAST") +
           " ORDER BY CASE WHEN " + v + " IS NULL THEN " + (first ? "1 ELSE 0" : "0 ELSE 1") +
           " END, " + t + ")";
}

// The SQL of aggregate `a` over the value column `v` (an identifier) with time column `t`.
std::string aggregateSql(const QelAggregate& a, const std::string& v, const std::string& t,
                         const std::string& d) {
    const bool ch = isClickHouse(d);
    switch (a.kind()) {
        case QelAggregate::Count:
            return ch ? "count()" : "count(*)";
        case QelAggregate::N:
            return "count(" + v + ")";
        case QelAggregate::Sum:
            return "sum(" + v + ")";
        case QelAggregate::Min:
            return "min(" + v + ")";
        case QelAggregate::Max:
            return "max(" + v + ")";
        case QelAggregate::Mean:
            return "avg(" + v + ")";
        case QelAggregate::Median:
            return percentileSql(v, "0.5", d);
        case QelAggregate::Percentile:
            return percentileSql(v, fractionText(a.fraction()), d);
        case QelAggregate::StdDev:
            return ch ? "sqrt(" + clickHouseVariance(v) + ")" : "stddev_samp(" + v + ")";
        case QelAggregate::Var:
            return ch ? clickHouseVariance(v) : "var_samp(" + v + ")";
        case QelAggregate::First:
            return firstLastSql(v, t, true, d);
        case QelAggregate::Last:
            return firstLastSql(v, t, false, d);
    }
    return std::string();
}

// The key `k` (an identifier) as ORDER BY sorts it in byte order, whatever the collation.
std::string keyOrder(const std::string& k, const std::string& d) {
    if (d == "postgresql") return "CAST(" + k + " AS text) COLLATE \"C\"";
    if (d == "duckdb") return "encode(CAST(" + k + " AS VARCHAR))";
    if (isClickHouse(d)) return "toString(" + k + ")";
    return "NLSSORT(" + k + ", 'NLS_SORT = BINARY')";
}

// The WHERE clause: the time column present and within [from, to). ClickHouse compares the
// wall-clock seconds read in the column's zone: a text literal would be read in the server's.
std::string whereClause(const SqlQueryRequest& r, const std::string& t) {
    if (!r.fromWall && !r.toWall) return "WHERE " + t + " IS NOT NULL";
    const std::string wall = isClickHouse(r.dialect) ? sqlClickHouseWallSeconds("(" + t + ")") : "";
    auto bound = [&](std::int64_t seconds) {
        if (!wall.empty()) return std::to_string(seconds);
        std::string text = "TIMESTAMP '";
        appendLocalTime(text, seconds, RWZone::utc());
        return text + "'";
    };
    const std::string lhs = wall.empty() ? t : "(" + wall + ")";
    std::string where = "WHERE ";
    if (r.fromWall) where += lhs + " >= " + bound(*r.fromWall);
    if (r.fromWall && r.toWall) where += " AND ";
    if (r.toWall) where += lhs + " < " + bound(*r.toWall);
    return where;
}

// The notes on what the engine's answer may do otherwise than the tool.
std::vector<std::string> notesFor(const SqlQueryRequest& r) {
    std::vector<std::string> notes;
    auto chosen = [&](std::initializer_list<QelAggregate::Kind> kinds) {
        return std::any_of(r.aggregates.begin(), r.aggregates.end(), [&](const QelAggregate& a) {
            return std::find(kinds.begin(), kinds.end(), a.kind()) != kinds.end();
        });
    };
    if (r.dialect == "to_char")
        notes.push_back("note: the period column is the text of to_char, not the period start");
    if (!r.valueColumns.empty() &&
        chosen({QelAggregate::Sum, QelAggregate::Mean, QelAggregate::StdDev, QelAggregate::Var}))
        notes.push_back(
            "note: on a floating-point column the database adds in floating point: "
            "sum, mean, stddev and var can differ from the tool's exact sums in the "
            "last digits");
    if (!r.valueColumns.empty() && chosen({QelAggregate::First, QelAggregate::Last})) {
        notes.push_back(
            std::string("note: first and last: where rows share the earliest or latest time, ") +
            (isOracle(r.dialect) ? "Oracle takes the smallest or largest of their values"
                                 : r.dialect + " takes any one of them (a table keeps no order)") +
            "; the tool takes the first or last in its input");
    }
    return notes;
}

// Refuses, for ClickHouse, an output name that is also a column the query reads: ClickHouse
// would read the column's name as the output column's expression.
void checkClickHouseNames(const SqlQueryRequest& r, const std::vector<std::string>& outputs) {
    std::set<std::string> read(r.keyColumns.begin(), r.keyColumns.end());
    read.insert(r.valueColumns.begin(), r.valueColumns.end());
    read.insert(r.timeColumn);
    for (const std::string& name : outputs) {
        if (read.count(name) != 0) {
            throw AggError("clickhouse would read column '" + shownField(name) +
                           "' as the output column of that name: rename it in the table");
        }
    }
}

}  // namespace

SqlQuery sqlQuery(const SqlQueryRequest& r) {
    const std::string& d = r.dialect;
    const std::string t = sqlIdentifierOf(r.timeColumn, d, "column");
    std::vector<std::string> keys;
    for (const std::string& k : r.keyColumns) keys.push_back(sqlIdentifierOf(k, d, "column"));
    std::vector<std::string> outputs{"period"};
    std::string select = "SELECT " + r.periodExpression + " AS " + outputName("period", d);
    for (const std::string& k : keys) select += ",\n       " + k;
    auto add = [&](const std::string& sql, const std::string& name) {
        outputs.push_back(name);
        select += ",\n       " + sql + " AS " + outputName(name, d);
    };
    for (const QelAggregate& a : r.aggregates)
        if (a.kind() == QelAggregate::Count) add(aggregateSql(a, "", t, d), "count");
    for (const std::string& column : r.valueColumns) {
        const std::string v = sqlIdentifierOf(column, d, "column");
        for (const QelAggregate& a : r.aggregates)
            if (a.kind() != QelAggregate::Count)
                add(aggregateSql(a, v, t, d), a.name() + "_" + column);
    }
    if (isClickHouse(d)) checkClickHouseNames(r, outputs);
    std::string group = "GROUP BY " + r.periodExpression;
    std::string order = "ORDER BY " + outputName("period", d);
    for (const std::string& k : keys) {
        group += ", " + k;
        order += ", " + keyOrder(k, d);
    }
    SqlQuery query;
    query.text = select + "\nFROM " + sqlIdentifierOf(r.table, d, "table") + "\n" +
                 whereClause(r, t) + "\n" + group + "\n" + order + ";";
    query.notes = notesFor(r);
    return query;
}
