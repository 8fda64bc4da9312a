// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/sql_expression.h"

#include <algorithm>
#include <string_view>

#include "qelkit/datetime/nq_period_sql.h"
#include "qelkit/datetime/qel_date.h"
#include "tools/qelkit_agg/agg_error.h"
#include "tools/qelkit_agg/output.h"

namespace {

constexpr bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

bool plainPart(std::string_view part) {
    if (part.empty() || isDigit(part[0])) return false;
    for (const char c : part)
        if (!isDigit(c) && c != '_' && !((c | 0x20) >= 'a' && (c | 0x20) <= 'z')) return false;
    return true;
}

// The library's dialect of --dialect `name`; false for to_char and unknown names.
bool libraryDialect(const std::string& name, NqPeriodSql::Dialect& dialect) {
    return NqPeriodSql::dialectFromName(QelString(name.data(), name.size()), dialect);
}

// A part that is quoted: not empty, and without a quote, backslash or control character, which
// the dialects escape each in their own way or not at all.
bool quotablePart(std::string_view part) {
    if (part.empty()) return false;
    for (const char c : part) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '"' || c == '`' || c == '\\') return false;
    }
    return true;
}

}  // namespace

bool sqlIdentifier(const std::string& column, const std::string& dialect, std::string& text) {
    const char quote = dialect == "clickhouse" ? '`' : '"';
    text.clear();
    std::size_t i = 0;
    while (true) {
        std::string_view part;
        bool quoted = false;
        if (i < column.size() && column[i] == '"') {
            // A part the user quoted: its text up to the closing quote, which a dot or the end
            // must follow.
            const std::size_t close = column.find('"', i + 1);
            if (close == std::string::npos) return false;
            part = std::string_view(column).substr(i + 1, close - i - 1);
            quoted = true;
            i = close + 1;
            if (i < column.size() && column[i] != '.') return false;
        } else {
            const std::size_t dot = std::min(column.find('.', i), column.size());
            part = std::string_view(column).substr(i, dot - i);
            i = dot;
        }
        if (!quoted && plainPart(part)) {
            text.append(part);
        } else {
            if (!quotablePart(part)) return false;
            text.push_back(quote);
            text.append(part);
            text.push_back(quote);
        }
        if (i == column.size()) return true;
        text.push_back('.');
        if (++i == column.size()) return false;
    }
}

bool isSqlDialect(const std::string& name) {
    NqPeriodSql::Dialect dialect = NqPeriodSql::Oracle;
    return name == "to_char" || libraryDialect(name, dialect);
}

std::string sqlDialectList() {
    std::string list;
    for (const NqPeriodSql::Dialect dialect : NqPeriodSql::dialects())
        list += NqPeriodSql::dialectName(dialect) + std::string(", ");
    list.replace(list.size() - 2, 2, " or to_char");
    return list;
}

SqlText sqlExpression(const std::string& column, TimeAggregationType period, int startOfWeek,
                      const std::string& dialect) {
    const NqTimeAggregation aggregation(period);
    const NqPeriodSql sql(period, startOfWeek);
    std::string identifier;
    if (!sqlIdentifier(column, dialect, identifier)) {
        throw AggError("invalid column '" + shownField(column) +
                       "' for --sql: give a name or table.name whose parts are letters, digits "
                       "and '_', or quoted, without quotes, backslashes or control characters");
    }
    const QelString qelColumn(identifier.c_str());
    QelString expression;
    NqPeriodSql::Dialect library = NqPeriodSql::Oracle;
    if (dialect == "to_char") {
        // The classic text has no format for All Hours. The column is parenthesised as the
        // other dialects do it.
        if (aggregation.hasOracleDateFormat())
            expression = aggregation.oracleToChar(QelString(("(" + identifier + ")").c_str()));
    } else if (libraryDialect(dialect, library)) {
        expression = sql.periodStart(qelColumn, library);
    }
    SqlText result;
    result.text.assign(expression.data(), expression.length());
    if (result.text.empty()) {
        throw AggError(dialect + " cannot express " + aggregation.aggregationDesc() + " periods" +
                       (dialect == "to_char" ? "; try --dialect oracle" : ""));
    }
    if (dialect == "to_char" && !sql.toCharGroupsExactly()) {
        result.warning =
            std::string("warning: this to_char expression does not group rows as the ") +
            aggregation.aggregationDesc() + " periods of qelkit-agg";
        const char* day = QelDate::dayName(startOfWeek);
        if ((period == Week || period == WeekHour || period == Year) && day != nullptr)
            result.warning += std::string(" with weeks starting on ") + day;
        result.warning += " do; --dialect oracle writes one that does";
    }
    return result;
}
