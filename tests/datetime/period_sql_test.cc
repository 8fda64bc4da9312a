// SPDX-License-Identifier: Apache-2.0
// The SQL texts are proven on the real engines by tests/integration; here the ClickHouse forms
// are evaluated by a small interpreter of that dialect, so that the period arithmetic every
// dialect shares is checked against truncate without pinning any text.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <tuple>
#include <vector>

#include "qelkit/datetime/nq_period_sql.h"
#include "qelkit/foundation/rw_zone.h"

namespace {

// Evaluates a ClickHouse expression over a DateTime('UTC') column `ts` that holds wall-clock
// seconds: integers, + - * %, parentheses and the functions used, with ClickHouse's meaning (an
// interval is its length in seconds). Calendar fields come from glibc's gmtime_r.
// clang-format off
class ClickHouseEval {
  public:
    ClickHouseEval(const std::string& text, std::int64_t ts) : _s(text), _ts(ts) {}
    std::int64_t run() {
        const std::int64_t v = binary(0);
        EXPECT_EQ(_s.size(), _i) << "unread text in " << _s;
        return v;
    }

  private:
    char peek() {
        while (_i < _s.size() && _s[_i] == ' ') ++_i;
        return _i < _s.size() ? _s[_i] : '\0';
    }
    void expect(char c) { EXPECT_EQ(c, peek()) << _i << " in " << _s; ++_i; }
    // Level 0 adds and subtracts terms; level 1 multiplies and takes remainders of atoms.
    std::int64_t binary(int level) {
        std::int64_t v = level ? atom() : binary(1);
        for (char op = peek(); op != '\0' && std::strchr(level ? "*%" : "+-", op); op = peek()) {
            ++_i;
            const std::int64_t r = level ? atom() : binary(1);
            v = op == '+' ? v + r : op == '-' ? v - r : op == '*' ? v * r : v % r;
        }
        return v;
    }
    std::int64_t atom() {
        if (peek() == '(') { ++_i; const std::int64_t v = binary(0); expect(')'); return v; }
        std::string word;
        while (_i < _s.size() && std::isalnum(static_cast<unsigned char>(_s[_i]))) word += _s[_i++];
        if (!word.empty() && std::isdigit(static_cast<unsigned char>(word[0]))) return std::stoll(word);
        if (word == "ts") return _ts;
        expect('(');
        const std::int64_t a = binary(0);
        std::int64_t b = 1;
        if (peek() == ',') ++_i, b = binary(0);
        expect(')');
        std::tm tm{};
        const std::time_t t = static_cast<std::time_t>(a);
        gmtime_r(&t, &tm);
        const std::pair<const char*, std::int64_t> calls[] = {
            {"toStartOfMinute", a - a % 60}, {"toStartOfHour", a - a % 3600}, {"toStartOfDay", a - a % 86400},
            {"toMinute", tm.tm_min}, {"toHour", tm.tm_hour}, {"toDayOfMonth", tm.tm_mday}, {"toDayOfYear", tm.tm_yday + 1},
            {"toDayOfWeek", (tm.tm_wday + 6) % 7 + 1}, {"toRelativeDayNum", a / 86400}, {"toIntervalDay", a * 86400},
            {"toIntervalHour", a * 3600}, {"toIntervalMinute", a * 60}, {"intDiv", a / b}};
        for (const auto& [name, value] : calls)
            if (word == name) return value;
        ADD_FAILURE() << "unknown function " << word;
        return 0;
    }
    const std::string _s;
    const std::int64_t _ts;
    std::size_t _i = 0;
};
const char* const CODES = "OBFTQPHAUVDWMYN";

// Wall-clock instants: each turn of the years 2003 to 2012, midnight by midnight from 22
// December to 12 January and the second before, where weeks and week-numbering years change
// for every start day; then instants a few days and odd minutes apart, 2001 to 2024.
std::vector<std::int64_t> instants() {
    std::vector<std::int64_t> out;
    for (int year = 2003; year <= 2012; ++year) {
        std::tm jan1{};
        jan1.tm_year = year - 1900, jan1.tm_mday = 1;
        const std::int64_t start = timegm(&jan1);
        for (int day = -10; day <= 12; ++day)
            out.insert(out.end(), {start + day * 86400 - 1, start + day * 86400});
    }
    for (std::int64_t t = 978307200; t < 1735689600; t += 86400 * 9 + 37 * 61) out.push_back(t);
    return out;
}

// Under a fixed zone east of UTC with a half-hour offset, the forms must start the period where
// truncate does, read as wall-clock time, for every code and start of week.
TEST(PeriodSql, ClickHouseFormsStartPeriodsWhereTruncateDoes) {
    const long west = -19800;  // UTC+05:30
    RWZoneSimple zone(west, "IST");
    const RWZone* previous = RWZone::local(&zone);
    const std::vector<std::int64_t> walls = instants();
    for (const char* code = CODES; *code; ++code) {
        const NqTimeAggregation period(static_cast<TimeAggregationType>(*code));
        for (int sow = 1; sow <= 7; ++sow) {
            const QelString text = NqPeriodSql(period.code(), sow).periodStart("ts", NqPeriodSql::ClickHouse);
            for (const std::int64_t wall : walls) {
                const RWTime time(static_cast<unsigned long>(wall + west) + RWTime::posixOffset);
                const std::int64_t want = std::int64_t(period.truncate(time, sow).seconds()) - std::int64_t(RWTime::posixOffset) - west;
                const std::int64_t got = ClickHouseEval(text.data(), wall).run();
                if (got == want) continue;
                ADD_FAILURE() << *code << " start " << sow << " at " << wall << ": " << got << " not " << want << " from " << text.data();
                break;
            }
        }
    }
    RWZone::local(previous);
}

TEST(PeriodSql, EveryDialectWritesEveryPeriodAndRefusesWhatItCannot) {
    for (int d = NqPeriodSql::Oracle; d <= NqPeriodSql::DuckDb + 1; ++d) {
        const auto dialect = static_cast<NqPeriodSql::Dialect>(d);
        for (const char* code = CODES; *code; ++code) {
            const QelString text = NqPeriodSql(static_cast<TimeAggregationType>(*code), 7).periodStart("x.ts", dialect);
            EXPECT_TRUE(*code == 'A' || (d <= NqPeriodSql::DuckDb) == (std::strstr(text.data(), "(x.ts)") != nullptr)) << d << *code;
        }
        const std::tuple<char, int, const char*> refused[] = {{'Z', 7, "ts"}, {'W', 0, "ts"}, {'D', 8, "ts"}, {'D', 1, ""}};
        for (const auto& [code, sow, column] : refused)
            EXPECT_EQ(0u, NqPeriodSql(static_cast<TimeAggregationType>(code), sow).periodStart(column, dialect).length());
    }
}

// Each dialect's name reads back to it; other texts, "to_char" among them, name none.
TEST(PeriodSql, DialectNamesReadBack) {
    std::string names;
    for (const NqPeriodSql::Dialect dialect : NqPeriodSql::dialects()) {
        NqPeriodSql::Dialect got = dialect == NqPeriodSql::Oracle ? NqPeriodSql::DuckDb : NqPeriodSql::Oracle;
        names += NqPeriodSql::dialectName(dialect) + std::string(" ");
        EXPECT_TRUE(NqPeriodSql::dialectFromName(NqPeriodSql::dialectName(dialect), got) && got == dialect) << dialect;
    }
    EXPECT_EQ("oracle postgresql clickhouse duckdb ", names);
    EXPECT_EQ(nullptr, NqPeriodSql::dialectName(static_cast<NqPeriodSql::Dialect>(NqPeriodSql::DuckDb + 1)));
    NqPeriodSql::Dialect got = NqPeriodSql::ClickHouse;
    for (const char* text : {"Oracle", "to_char", "duckdb ", ""})
        EXPECT_FALSE(NqPeriodSql::dialectFromName(text, got) || got != NqPeriodSql::ClickHouse) << text;
}

// clang-format on

}  // namespace
