// SPDX-License-Identifier: Apache-2.0
// QelPeriodAggregator's statistics beyond the common ones, as a library user asks for them: an
// aggregator not built to keep one reports it empty, one that keeps it the value worked out by
// hand. The tool's differential test checks every statistic over random inputs and jobs.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "qelkit/records/qel_period_aggregator.h"

namespace {

TEST(QelPeriodAggregator, StatisticsNotKeptAreEmptyAndKeptOnesAreExact) {
    using A = QelAggregate;
    const std::vector<A> more{A(A::Var), A(A::StdDev), A(A::Median), A(A::First), A(A::Last)};
    const double want[] = {2, std::sqrt(2.0), 4, 5, 3};
    const int keeps[] = {0, 0, 1, 2, 2};  // what each needs kept: squares, values or ends
    // Built for none of them, then for each alone: what it keeps serves the others alike.
    for (std::size_t i = 0; i <= more.size(); ++i) {
        QelPeriodAggregator a(1, i < more.size() ? std::vector<A>{more[i]} : std::vector<A>{});
        const double later = 3, earlier = 5;  // the second row happened first
        a.add(0, a.keyId(""), &later, {20, 0});
        a.add(0, a.keyId(""), &earlier, {10, 0});
        for (std::size_t j = 0; j < more.size(); ++j) {
            const double got = a.value(0, 0, more[j]);
            if (i < more.size() && keeps[i] == keeps[j]) {
                EXPECT_DOUBLE_EQ(want[j], got) << more[i].name() << ' ' << more[j].name();
            } else {
                EXPECT_TRUE(std::isnan(got)) << i << ' ' << more[j].name();
            }
        }
    }
}

}  // namespace
