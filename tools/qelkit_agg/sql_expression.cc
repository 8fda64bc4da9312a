// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/sql_expression.h"

#include "qelkit/datetime/nq_period_sql.h"

namespace {

struct DialectName {
    const char* name;
    NqPeriodSql::Dialect dialect;
};

const DialectName DIALECTS[] = {{"oracle", NqPeriodSql::Oracle},
                                {"postgresql", NqPeriodSql::PostgreSql},
                                {"clickhouse", NqPeriodSql::ClickHouse},
                                {"duckdb", NqPeriodSql::DuckDb}};

const char* const DAY_NAMES[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                 "Friday", "Saturday", "Sunday"};

}  // namespace

bool isSqlDialect(const std::string& name) {
    if (name == "to_char") return true;
    for (const DialectName& d : DIALECTS)
        if (name == d.name) return true;
    return false;
}

bool sqlExpression(const std::string& column, TimeAggregationType period, int startOfWeek,
                   const std::string& dialect, std::string& text, std::string& note) {
    const NqTimeAggregation aggregation(period);
    const NqPeriodSql sql(period, startOfWeek);
    const QelString qelColumn(column.c_str());
    QelString expression;
    if (dialect == "to_char") {
        // The classic text has no format for All Hours: "Unrecognized Frequency" is none.
        if (aggregation.oracleDateFormat() != "'Unrecognized Frequency'")
            expression = aggregation.oracleToChar(qelColumn);
    } else {
        for (const DialectName& d : DIALECTS)
            if (dialect == d.name) expression = sql.periodStart(qelColumn, d.dialect);
    }
    text.assign(expression.data(), expression.length());
    note.clear();
    if (text.empty()) {
        note = dialect + " cannot express " + aggregation.aggregationDesc() + " periods";
        if (dialect == "to_char") note += "; try --dialect oracle";
        return false;
    }
    if (dialect == "to_char" && !sql.toCharGroupsExactly()) {
        note = std::string("warning: this to_char expression does not group rows as the ") +
               aggregation.aggregationDesc() + " periods of qelkit-agg";
        if ((period == Week || period == WeekHour || period == Year) && startOfWeek >= 1 &&
            startOfWeek <= 7)
            note += std::string(" with weeks starting on ") + DAY_NAMES[startOfWeek - 1];
        note += " do; --dialect oracle writes one that does";
    }
    return true;
}
