// SPDX-License-Identifier: Apache-2.0
#include "qelkit/datetime/nq_period_sql.h"

#include <string>
#include <vector>

namespace {

// The few calendar operations every period is built from, as text templates of one dialect:
// "$1", "$2" and "$3" stand for the arguments. Each returns a timestamp or an integer of the
// wall clock, read in the column's own terms.
struct DialectForms {
    const char* secondStart;  // $1 without fractions of a second
    const char* minuteStart;
    const char* hourStart;
    const char* dayStart;
    const char* monthStart;
    const char* epoch;      // 1970-01-01 00:00:00; $1 is the column, for dialects that need it
    const char* minuteOf;   // 0..59
    const char* hourOf;     // 0..23
    const char* weekDayOf;  // 1 Monday .. 7 Sunday
    const char* dayOfYear;  // 1..366
    const char* plus;       // timestamp $1 plus $2 (an integer) units $3
    const char* minus;
    const char* mod;       // $1 modulo $2, both non-negative
    const char* intDiv;    // $1 divided by $2, rounded down, both non-negative
    const char* units[3];  // day, hour, minute as $3 of plus and minus
};

enum Unit { DayUnit, HourUnit, MinuteUnit };

// Oracle: only TO_CHAR, TO_NUMBER, TO_TIMESTAMP, MOD, FLOOR and interval literals, which
// PostgreSQL reads the same way, so that the same text can be run there. The day of the week
// comes from the Julian day number ('J'), which depends on no language or territory setting.
#define QELKIT_ORACLE_AT(format) "TO_TIMESTAMP(TO_CHAR($1, '" format "'), '" format "')"
const DialectForms ORACLE = {QELKIT_ORACLE_AT("YYYY-MM-DD HH24:MI:SS"),
                             QELKIT_ORACLE_AT("YYYY-MM-DD HH24:MI"),
                             QELKIT_ORACLE_AT("YYYY-MM-DD HH24"),
                             QELKIT_ORACLE_AT("YYYY-MM-DD"),
                             QELKIT_ORACLE_AT("YYYY-MM"),
                             "TO_TIMESTAMP('1970-01-01', 'YYYY-MM-DD')",
                             "TO_NUMBER(TO_CHAR($1, 'MI'), '99')",
                             "TO_NUMBER(TO_CHAR($1, 'HH24'), '99')",
                             "(MOD(TO_NUMBER(TO_CHAR($1, 'J'), '9999999'), 7) + 1)",
                             "TO_NUMBER(TO_CHAR($1, 'DDD'), '999')",
                             "$1 + ($2) * INTERVAL '1' $3",
                             "$1 - ($2) * INTERVAL '1' $3",
                             "MOD($1, $2)",
                             "FLOOR(($1) / $2)",
                             {"DAY", "HOUR", "MINUTE"}};
#undef QELKIT_ORACLE_AT

const DialectForms POSTGRESQL = {"date_trunc('second', $1)",
                                 "date_trunc('minute', $1)",
                                 "date_trunc('hour', $1)",
                                 "date_trunc('day', $1)",
                                 "date_trunc('month', $1)",
                                 "TIMESTAMP '1970-01-01 00:00:00'",
                                 "CAST(extract(minute FROM $1) AS integer)",
                                 "CAST(extract(hour FROM $1) AS integer)",
                                 "CAST(extract(isodow FROM $1) AS integer)",
                                 "CAST(extract(doy FROM $1) AS integer)",
                                 "$1 + ($2) * interval '1 $3'",
                                 "$1 - ($2) * interval '1 $3'",
                                 "mod($1, $2)",
                                 "(($1) / $2)",
                                 {"day", "hour", "minute"}};

// ClickHouse: the toStartOf... functions and interval arithmetic keep the column's DateTime
// zone; the functions that give a Date (toStartOfMonth, toMonday) would fall back to the
// server's zone when turned back into a DateTime, so months and weeks are counted back in days.
const DialectForms CLICKHOUSE = {"$1",
                                 "toStartOfMinute($1)",
                                 "toStartOfHour($1)",
                                 "toStartOfDay($1)",
                                 "(toStartOfDay($1) - toIntervalDay(toDayOfMonth($1) - 1))",
                                 "(toStartOfDay($1) - toIntervalDay(toRelativeDayNum($1)))",
                                 "toMinute($1)",
                                 "toHour($1)",
                                 "toDayOfWeek($1)",
                                 "toDayOfYear($1)",
                                 "$1 + toInterval$3($2)",
                                 "$1 - toInterval$3($2)",
                                 "(($1) % $2)",
                                 "intDiv($1, $2)",
                                 {"Day", "Hour", "Minute"}};

const DialectForms DUCKDB = {"date_trunc('second', $1)",
                             "date_trunc('minute', $1)",
                             "date_trunc('hour', $1)",
                             "date_trunc('day', $1)",
                             "date_trunc('month', $1)",
                             "TIMESTAMP '1970-01-01 00:00:00'",
                             "minute($1)",
                             "hour($1)",
                             "isodow($1)",
                             "dayofyear($1)",
                             "$1 + INTERVAL ($2) $3",
                             "$1 - INTERVAL ($2) $3",
                             "(($1) % $2)",
                             "(($1) // $2)",
                             {"DAY", "HOUR", "MINUTE"}};

// `form` with "$1", "$2" and "$3" replaced by the arguments; the arguments are not searched.
std::string fill(const char* form, const std::string& a, const std::string& b = std::string(),
                 const std::string& c = std::string()) {
    std::string out;
    for (const char* p = form; *p != '\0'; ++p) {
        if (p[0] == '$' && p[1] >= '1' && p[1] <= '3') {
            out += p[1] == '1' ? a : p[1] == '2' ? b : c;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

// Writes the periods of one dialect for one column expression.
class Writer {
  public:
    Writer(const DialectForms& forms, std::string column)
        : _f(forms), _x("(" + std::move(column) + ")") {}

    std::string plus(const std::string& at, const std::string& count, Unit unit) const {
        return fill(_f.plus, at, count, _f.units[unit]);
    }
    std::string minus(const std::string& at, const std::string& count, Unit unit) const {
        return fill(_f.minus, at, count, _f.units[unit]);
    }

    // Start of the period of `length` minutes (a divisor of 60): the minute, less its
    // remainder in the hour.
    std::string minutes(int length) const {
        if (length == 60) return fill(_f.hourStart, _x);
        std::string start = fill(_f.minuteStart, _x);
        if (length == 1) return start;
        const std::string rest = fill(_f.mod, fill(_f.minuteOf, _x), std::to_string(length));
        return minus(start, rest, MinuteUnit);
    }

    // `from` (the start of the day or of the hour of the column) moved back to the last day
    // that is `startOfWeek`: back by (weekday - startOfWeek) mod 7 days.
    std::string weekBack(const std::string& from, int startOfWeek) const {
        std::string weekDay = fill(_f.weekDayOf, _x);
        if (startOfWeek != 7) weekDay += " + " + std::to_string(7 - startOfWeek);
        return minus(from, fill(_f.mod, weekDay, "7"), DayUnit);
    }

    // The first day of the week-numbering year. A year's weeks start on `startOfWeek` and its
    // first week holds its first Thursday, so a week belongs to the year of its Thursday, which
    // lies `ahead` days after the week's start; from the week's start, go back by as many whole
    // weeks as that Thursday's year has gone through.
    std::string yearOfWeeks(int startOfWeek) const {
        const std::string week = weekBack(fill(_f.dayStart, _x), startOfWeek);
        const int ahead = (4 - startOfWeek + 7) % 7;
        const std::string thursday = plus(week, std::to_string(ahead), DayUnit);
        const std::string weeksBefore = fill(_f.intDiv, fill(_f.dayOfYear, thursday) + " - 1", "7");
        return minus(week, weeksBefore + " * 7", DayUnit);
    }

    std::string periodStart(TimeAggregationType code, int startOfWeek) const {
        // The fixed periods of one minute to one hour.
        const NqTimeAggregation period(code);
        if (period.aggrSeconds() != 0) return minutes(period.maxMinutes());
        switch (code) {
            case Day:
                return fill(_f.dayStart, _x);
            case Month:
                return fill(_f.monthStart, _x);
            case MonthHour:
                return plus(fill(_f.monthStart, _x), fill(_f.hourOf, _x), HourUnit);
            case Week:
                return weekBack(fill(_f.dayStart, _x), startOfWeek);
            case WeekHour:
                return weekBack(fill(_f.hourStart, _x), startOfWeek);
            case Year:
                return yearOfWeeks(startOfWeek);
            case AllHours:
                return fill(_f.epoch, _x);
            case None:
                return fill(_f.secondStart, _x);
            default:
                return std::string();
        }
    }

  private:
    const DialectForms& _f;
    const std::string _x;
};

// Every dialect with its name and forms, in the order of the enumeration.
struct DialectEntry {
    NqPeriodSql::Dialect dialect;
    const char* name;
    const DialectForms* forms;
};
const DialectEntry DIALECTS[] = {{NqPeriodSql::Oracle, "oracle", &ORACLE},
                                 {NqPeriodSql::PostgreSql, "postgresql", &POSTGRESQL},
                                 {NqPeriodSql::ClickHouse, "clickhouse", &CLICKHOUSE},
                                 {NqPeriodSql::DuckDb, "duckdb", &DUCKDB}};

const DialectEntry* entryOf(NqPeriodSql::Dialect dialect) noexcept {
    for (const DialectEntry& entry : DIALECTS)
        if (entry.dialect == dialect) return &entry;
    return nullptr;
}

}  // namespace

bool NqPeriodSql::dialectFromName(const QelString& name, Dialect& dialect) noexcept {
    for (const DialectEntry& entry : DIALECTS) {
        if (name == entry.name) {
            dialect = entry.dialect;
            return true;
        }
    }
    return false;
}

const char* NqPeriodSql::dialectName(Dialect dialect) noexcept {
    const DialectEntry* entry = entryOf(dialect);
    return entry == nullptr ? nullptr : entry->name;
}

std::vector<NqPeriodSql::Dialect> NqPeriodSql::dialects() {
    std::vector<Dialect> all;
    for (const DialectEntry& entry : DIALECTS) all.push_back(entry.dialect);
    return all;
}

QelString NqPeriodSql::periodStart(const QelString& column, Dialect dialect) const {
    const DialectEntry* entry = entryOf(dialect);
    if (entry == nullptr || column.length() == 0 || _startOfWeek < 1 || _startOfWeek > 7) {
        return QelString();
    }
    const std::string text = Writer(*entry->forms, std::string(column.data(), column.length()))
                                 .periodStart(_code, _startOfWeek);
    return QelString(text.data(), text.size());
}

int NqPeriodSql::toCharGroupsExactly() const noexcept {
    switch (_code) {
        case OneMinute:
        case Hour:
        case Day:
        case Month:
        case MonthHour:
        case None:
            return _startOfWeek >= 1 && _startOfWeek <= 7;
        case Week:
            return _startOfWeek == 7;
        case WeekHour:
            return _startOfWeek == 1;
        default:
            return 0;
    }
}
