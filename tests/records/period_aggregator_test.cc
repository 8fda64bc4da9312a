// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "qelkit/records/qel_period_aggregator.h"

namespace {

__extension__ typedef __int128 Int128;

struct Row {
    std::int64_t period;
    std::string key;  // two fields joined by a NUL byte
    double values[2];
    QelPeriodAggregator::Instant at;
};

// Every aggregate, each asked for once.
std::vector<QelAggregate> allAggregates() {
    std::vector<QelAggregate> all;
    std::string why;
    EXPECT_TRUE(
        QelAggregate::parseList("count,n,sum,min,max,mean,median,p0,p99.9,p100,stddev,var,"
                                "first,last",
                                all, why))
        << why;
    return all;
}

// What the reference keeps of a group: its rows and, per column, the values present and the
// exact sum of those that are k * 2^e with |k| < 2^20 and e in [-40, 40], as an integer of
// 2^-40 units.
struct Expected {
    std::uint64_t count = 0;
    std::uint64_t present[2] = {0, 0};
    Int128 sum[2] = {0, 0};
};
using Reference = std::map<std::pair<std::int64_t, std::vector<std::string>>, Expected>;

// Every group in output order: period, key, count and the bits of each statistic.
std::string dump(const QelPeriodAggregator& a) {
    std::string out;
    for (const std::uint32_t g : a.groupsInOrder()) {
        const QelPeriodAggregator::Group& group = a.group(g);
        out += std::to_string(group.period) + "|" + std::string(a.key(group.key)) + "|" +
               std::to_string(group.count);
        for (std::size_t v = 0; v < 2; ++v) {
            for (const QelAggregate& aggregate : allAggregates()) {
                const double x = a.value(g, v, aggregate);
                std::uint64_t bits;
                std::memcpy(&bits, &x, sizeof bits);
                out += " " + std::to_string(bits);
            }
        }
        out += "\n";
    }
    return out;
}

// Random rows with their reference. Column 1 also holds runs of four values +x, +x, -x, -x in
// one group, x near the largest double (two of them overflow) or subnormal, which cancel
// exactly and are left out of the reference.
std::vector<Row> makeRows(std::mt19937_64& random, Reference& reference) {
    const char* const fields[] = {"", "a", "ab", "b", "\xff"};
    auto small = [&random] {
        const auto k = static_cast<double>(static_cast<int>(random() % (1 << 21)) - (1 << 20));
        const int e = static_cast<int>(random() % 81) - 40;
        return std::make_pair(std::ldexp(k, e), static_cast<Int128>(k) * (Int128{1} << (e + 40)));
    };
    std::vector<Row> rows;
    while (rows.size() < 3000) {
        const std::int64_t period = (static_cast<std::int64_t>(random() % 6) - 2) * 900;
        const std::string a = fields[random() % 5], b = fields[random() % 5];
        const double huge = std::ldexp(static_cast<double>((1ull << 52) + random() % 4096), 971);
        const double tiny = std::ldexp(static_cast<double>(1 + random() % 4096), -1074);
        const double x = random() % 4 != 0 ? 0 : (random() % 2 != 0 ? huge : tiny);
        for (const double cancelling : {x, x, -x, -x}) {
            Expected& expected = reference[{period, {a, b}}];
            auto [v0, n0] = small();
            const auto [v1, n1] = small();
            // One value in eight of column 0 is missing (NaN): it counts for nothing there.
            const bool missing = random() % 8 == 0;
            if (missing) v0 = std::nan("");
            // Few distinct instants, so that first and last meet ties.
            const QelPeriodAggregator::Instant at{static_cast<std::int64_t>(random() % 4),
                                                  static_cast<std::int32_t>(random() % 2)};
            rows.push_back(Row{period, a + '\0' + b, {v0, cancelling != 0 ? cancelling : v1}, at});
            ++expected.count;
            expected.present[0] += missing ? 0 : 1;
            expected.present[1] += 1;
            expected.sum[0] += missing ? 0 : n0;
            expected.sum[1] += cancelling != 0 ? 0 : n1;
            if (x == 0) break;
        }
    }
    return rows;
}

void addRows(QelPeriodAggregator& a, const Row* first, const Row* last) {
    for (; first != last; ++first)
        a.add(first->period, a.keyId(first->key), first->values, first->at);
}

// The rows cut at random points into parts, each filled on a thread of its own and merged in
// input order, give byte for byte what one aggregator gives; that one's groups, counts and
// sums are the reference's, in the reference's order: period, then key fields one by one.
TEST(QelPeriodAggregator, PartsMergedInOrderAreOneAggregatorAndSumsAreExact) {
    std::mt19937_64 random(20260302);
    for (int trial = 0; trial < 6; ++trial) {
        Reference reference;
        const std::vector<Row> rows = makeRows(random, reference);
        QelPeriodAggregator whole(2, allAggregates());
        addRows(whole, rows.data(), rows.data() + rows.size());

        std::vector<std::size_t> cuts = {0, rows.size()};
        for (int i = trial; i > 0; --i) cuts.push_back(random() % (rows.size() + 1));
        std::sort(cuts.begin(), cuts.end());
        std::vector<QelPeriodAggregator> parts;
        for (std::size_t i = 1; i < cuts.size(); ++i) parts.emplace_back(2, allAggregates());
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < parts.size(); ++i)
            threads.emplace_back(addRows, std::ref(parts[i]), rows.data() + cuts[i],
                                 rows.data() + cuts[i + 1]);
        for (std::thread& t : threads) t.join();
        QelPeriodAggregator merged(2, allAggregates());
        for (const QelPeriodAggregator& part : parts) merged.merge(part);
        ASSERT_EQ(dump(whole), dump(merged)) << "trial " << trial;

        ASSERT_EQ(reference.size(), whole.groupCount());
        auto expected = reference.begin();
        for (const std::uint32_t g : whole.groupsInOrder()) {
            const QelPeriodAggregator::Group& group = whole.group(g);
            const std::string key(whole.key(group.key));
            const std::string& a = expected->first.second[0];
            EXPECT_EQ(expected->first.first, group.period);
            EXPECT_EQ(a + '\0' + expected->first.second[1], key);
            EXPECT_EQ(expected->second.count, group.count);
            for (std::size_t v = 0; v < 2; ++v) {
                EXPECT_EQ(expected->second.present[v], whole.present(g, v));
                if (expected->second.present[v] == 0) {
                    EXPECT_TRUE(std::isnan(whole.sum(g, v)) && std::isnan(whole.min(g, v)));
                    continue;
                }
                EXPECT_EQ(std::ldexp(static_cast<double>(expected->second.sum[v]), -40),
                          whole.sum(g, v))
                    << v << " " << group.period << " " << key;
            }
            ++expected;
        }
    }
}

// Percentiles, variance, first and last of random groups against a plain reference: sorted
// values interpolated at fraction * (n - 1), a two-pass variance in long double of small
// integers (exact), and a scan for the earliest and latest instant with ties in input order.
TEST(QelPeriodAggregator, OrderStatisticsVarianceAndEndsFollowTheirDefinitions) {
    std::mt19937_64 random(7);
    const std::vector<QelAggregate> all = allAggregates();
    for (int trial = 0; trial < 300; ++trial) {
        const std::size_t n = random() % 9;
        std::vector<double> values;
        std::vector<QelPeriodAggregator::Instant> ats;
        QelPeriodAggregator first(1, all), second(1, all);
        const std::size_t cut = n == 0 ? 0 : random() % (n + 1);
        for (std::size_t i = 0; i < n; ++i) {
            const double x = static_cast<double>(static_cast<int>(random() % 2001) - 1000) +
                             (trial % 2 == 0 ? 0 : 1e9);
            const QelPeriodAggregator::Instant at{static_cast<std::int64_t>(random() % 3), 0};
            QelPeriodAggregator& part = i < cut ? first : second;
            part.add(0, part.keyId("k"), &x, at);
            values.push_back(x);
            ats.push_back(at);
        }
        first.merge(second);
        if (n == 0) continue;
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const std::pair<const char*, double> percentiles[] = {
            {"p0", 0.0}, {"median", 0.5}, {"p99.9", 0.999}, {"p100", 1.0}};
        for (const auto& [name, fraction] : percentiles) {
            const double position = fraction * static_cast<double>(n - 1);
            const auto lo = static_cast<std::size_t>(position);
            const double hi = sorted[std::min(lo + 1, n - 1)];
            const double want =
                sorted[lo] + (hi - sorted[lo]) * (position - static_cast<double>(lo));
            QelAggregate a;
            ASSERT_TRUE(QelAggregate::fromName(name, a));
            EXPECT_DOUBLE_EQ(want, first.value(0, 0, a)) << trial << " " << name;
        }
        long double mean = 0, squares = 0;
        for (const double x : values) mean += x;
        mean /= static_cast<long double>(n);
        for (const double x : values) squares += (x - mean) * (x - mean);
        const double var = first.value(0, 0, QelAggregate(QelAggregate::Var));
        if (n < 2) {
            EXPECT_TRUE(std::isnan(var));
        } else {
            EXPECT_NEAR(static_cast<double>(squares / static_cast<long double>(n - 1)), var,
                        1e-9 * std::max(1.0, var))
                << trial;
        }
        std::size_t earliest = 0, latest = 0;
        for (std::size_t i = 1; i < n; ++i) {
            if (ats[i].seconds < ats[earliest].seconds) earliest = i;
            if (ats[i].seconds >= ats[latest].seconds) latest = i;
        }
        EXPECT_EQ(values[earliest], first.value(0, 0, QelAggregate(QelAggregate::First))) << trial;
        EXPECT_EQ(values[latest], first.value(0, 0, QelAggregate(QelAggregate::Last))) << trial;
    }
}

}  // namespace
