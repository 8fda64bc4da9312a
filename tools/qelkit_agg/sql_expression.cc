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

std::string sqlIdentifierOf(const std::string& name, const std::string& dialect,
                            const std::string& what) {
    std::string identifier;
    if (!sqlIdentifier(name, dialect, identifier)) {
        throw AggError("invalid " + what + " '" + shownField(name) +
                       "' for SQL: give a name or table.name whose parts are letters, digits "
                       "and '_', or quoted, without quotes, backslashes or control characters");
    }
    return identifier;
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
    const std::string identifier = sqlIdentifierOf(column, dialect, "column");
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

namespace {

// The wall-clock seconds since 1970-01-01 00:00 of `c` (a parenthesised identifier) in Oracle:
// Julian days and seconds past midnight, whole numbers (PostgreSQL reads the same text).
std::string oracleWallSeconds(const std::string& c) {
    return "(TO_NUMBER(TO_CHAR(" + c +
           ", 'J'), '9999999') - 2440588) * 86400 + TO_NUMBER(TO_CHAR(" + c +
           ", 'SSSSS'), '99999')";
}

// The to_char format of a length of one unit, or "" for any other length.
const char* toCharFormat(std::int64_t seconds) {
    switch (seconds) {
        case 1:
            return "YYYY-MM-DD HH24:MI:SS";
        case 60:
            return "YYYY-MM-DD HH24:MI";
        case 3600:
            return "YYYY-MM-DD HH24";
        case 86400:
            return "YYYY-MM-DD";
        default:
            return "";
    }
}

}  // namespace

std::string sqlClickHouseWallSeconds(const std::string& c) {
    return "toRelativeDayNum(" + c + ") * 86400 + toHour(" + c + ") * 3600 + toMinute(" + c +
           ") * 60 + toSecond(" + c + ")";
}

SqlText sqlLengthExpression(const std::string& column, std::int64_t seconds,
                            const std::string& dialect) {
    if (seconds < 1) throw AggError("a period length must be at least one second");
    const std::string c = "(" + sqlIdentifierOf(column, dialect, "column") + ")";
    const std::string n = std::to_string(seconds);
    SqlText result;
    if (dialect == "postgresql") {
        // extract(epoch) of a timestamp without zone reads its wall clock as if UTC, exactly.
        result.text = "TIMESTAMP '1970-01-01 00:00:00' + floor(extract(epoch FROM " + c + ") / " +
                      n + ") * " + n + " * interval '1 second'";
    } else if (dialect == "duckdb") {
        // The width in seconds is kept in microseconds, whose buckets floor from the origin
        // (width in days or months would take other paths).
        result.text =
            "time_bucket(INTERVAL (" + n + ") SECOND, " + c + ", TIMESTAMP '1970-01-01 00:00:00')";
    } else if (dialect == "clickhouse") {
        // The column less its wall-clock seconds past the period start: the column's type and
        // zone stay, and a fixed-offset zone has no gap to cross.
        result.text = c + " - toIntervalSecond((" + sqlClickHouseWallSeconds(c) + ") % " + n + ")";
    } else if (dialect == "oracle") {
        result.text = "TIMESTAMP '1970-01-01 00:00:00' + FLOOR((" + oracleWallSeconds(c) + ") / " +
                      n + ") * " + n + " * INTERVAL '1' SECOND";
    } else if (dialect == "to_char" && *toCharFormat(seconds) != '\0') {
        result.text = "to_char(" + c + ", '" + toCharFormat(seconds) + "')";
    } else {
        throw AggError(dialect + " cannot express " + n + "-second periods" +
                       (dialect == "to_char" ? "; try --dialect oracle" : ""));
    }
    return result;
}

SqlText sqlQuarterExpression(const std::string& column, const std::string& dialect) {
    const std::string c = "(" + sqlIdentifierOf(column, dialect, "column") + ")";
    SqlText result;
    if (dialect == "postgresql" || dialect == "duckdb") {
        result.text = "date_trunc('quarter', " + c + ")";
    } else if (dialect == "clickhouse") {
        // toStartOfQuarter gives a Date, read in no zone: the month start as the month period
        // writes it, less whole months, keeps the column's type.
        result.text = "toStartOfDay(" + c + ") - toIntervalDay(toDayOfMonth(" + c +
                      ") - 1) - toIntervalMonth((toMonth(" + c + ") - 1) % 3)";
    } else if (dialect == "oracle") {
        result.text = "TO_TIMESTAMP(TO_CHAR(" + c +
                      ", 'YYYY-MM'), 'YYYY-MM') - (MOD(TO_NUMBER(TO_CHAR(" + c +
                      ", 'MM'), '99') - 1, 3)) * INTERVAL '1' MONTH";
    } else if (dialect == "to_char") {
        result.text = "to_char(" + c + ", 'YYYY-Q')";
    } else {
        throw AggError(dialect + " cannot express quarters");
    }
    return result;
}

SqlText sqlPeriodExpression(const std::string& column, const QelPeriod& period, int startOfWeek,
                            const std::string& dialect) {
    switch (period.kind()) {
        case QelPeriod::Length:
            return sqlLengthExpression(column, period.seconds(), dialect);
        case QelPeriod::Quarter:
            return sqlQuarterExpression(column, dialect);
        case QelPeriod::Named:
            break;
    }
    return sqlExpression(column, period.code(), startOfWeek, dialect);
}
