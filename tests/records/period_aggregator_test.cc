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
};

// What the reference keeps of a group: its rows and, per column, the exact sum of the values
// that are k * 2^e with |k| < 2^20 and e in [-40, 40], as an integer of 2^-40 units.
struct Expected {
    std::uint64_t count = 0;
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
            for (const double x : {a.sum(g, v), a.min(g, v), a.max(g, v), a.mean(g, v)}) {
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
            const auto [v0, n0] = small();
            const auto [v1, n1] = small();
            rows.push_back(Row{period, a + '\0' + b, {v0, cancelling != 0 ? cancelling : v1}});
            ++expected.count;
            expected.sum[0] += n0;
            expected.sum[1] += cancelling != 0 ? 0 : n1;
            if (x == 0) break;
        }
    }
    return rows;
}

void addRows(QelPeriodAggregator& a, const Row* first, const Row* last) {
    for (; first != last; ++first) a.add(first->period, a.keyId(first->key), first->values);
}

// The rows cut at random points into parts, each filled on a thread of its own and merged in
// input order, give byte for byte what one aggregator gives; that one's groups, counts and
// sums are the reference's, in the reference's order: period, then key fields one by one.
TEST(QelPeriodAggregator, PartsMergedInOrderAreOneAggregatorAndSumsAreExact) {
    std::mt19937_64 random(20260302);
    for (int trial = 0; trial < 6; ++trial) {
        Reference reference;
        const std::vector<Row> rows = makeRows(random, reference);
        QelPeriodAggregator whole(2);
        addRows(whole, rows.data(), rows.data() + rows.size());

        std::vector<std::size_t> cuts = {0, rows.size()};
        for (int i = trial; i > 0; --i) cuts.push_back(random() % (rows.size() + 1));
        std::sort(cuts.begin(), cuts.end());
        std::vector<QelPeriodAggregator> parts;
        for (std::size_t i = 1; i < cuts.size(); ++i) parts.emplace_back(2);
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < parts.size(); ++i)
            threads.emplace_back(addRows, std::ref(parts[i]), rows.data() + cuts[i],
                                 rows.data() + cuts[i + 1]);
        for (std::thread& t : threads) t.join();
        QelPeriodAggregator merged(2);
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
            for (std::size_t v = 0; v < 2; ++v)
                EXPECT_EQ(std::ldexp(static_cast<double>(expected->second.sum[v]), -40),
                          whole.sum(g, v))
                    << v << " " << group.period << " " << key;
            ++expected;
        }
    }
}

}  // namespace
