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
    QelPeriodAggregator plain(1), kept(1, more);
    for (QelPeriodAggregator* a : {&plain, &kept}) {
        const double later = 3, earlier = 5;  // the second row happened first
        a->add(0, a->keyId(""), &later, {20, 0});
        a->add(0, a->keyId(""), &earlier, {10, 0});
    }
    const double want[] = {2, std::sqrt(2.0), 4, 5, 3};
    for (std::size_t i = 0; i < more.size(); ++i) {
        EXPECT_TRUE(std::isnan(plain.value(0, 0, more[i]))) << more[i].name();
        EXPECT_DOUBLE_EQ(want[i], kept.value(0, 0, more[i])) << more[i].name();
    }
}

}  // namespace
