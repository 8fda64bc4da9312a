// SPDX-License-Identifier: Apache-2.0
// The SQL texts, and that they group rows as truncate does, are proven on the real engines by
// tests/integration (every period, every start of week qelkit-agg accepts, every dialect);
// here: every dialect writes every period over its column, and refuses what it cannot write.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "qelkit/datetime/nq_period_sql.h"

namespace {

const char* const CODES = "OBFTQPHAUVDWMYN";

// clang-format off
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
