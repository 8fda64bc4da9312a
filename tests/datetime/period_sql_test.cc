// SPDX-License-Identifier: Apache-2.0
// The SQL texts, and that they group rows as truncate does, are proven on the real engines by
// tests/integration (every period, every start of week qelkit-agg accepts, every dialect);
// here: every dialect writes every period over its column, and refuses what it cannot write.
// The dialects' names are read through qelkit-agg --dialect (agg_cli_test.py, agg_options_test).
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

// clang-format on

}  // namespace
