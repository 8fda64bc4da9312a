// SPDX-License-Identifier: Apache-2.0
// Reading the calendar fields (year, month, day, hour, minute) of instants in the operating
// system's zone: RWDateTime's accessors against localtime_r over the same instants.
//
// The zone is Europe/London whatever the environment says: a static initializer sets TZ and
// calls tzset() before main, so before the first use of RWZone::os().
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <random>
#include <vector>

#include "qelkit/foundation/rw_date_time.h"
#include "qelkit/foundation/rw_zone.h"

namespace {

const bool londonZone = [] {
    setenv("TZ", "Europe/London", 1);
    tzset();
    return true;
}();

constexpr std::int64_t k1901 = 2177452800;

// Two sets of 4,096 instants (POSIX seconds), fixed: spread at random over 2000..2030, where
// nearly every instant needs a fresh search of the zone's transitions; and a series 10
// minutes apart from 2007-03-10 (across the change of 25 March), as in time-stamped data.
const std::vector<std::int64_t>& instants(int kind) {
    static const std::vector<std::int64_t> random = [] {
        std::mt19937_64 rng(42);
        std::uniform_int_distribution<std::int64_t> pick(946684800, 1924991999);
        std::vector<std::int64_t> v(4096);
        for (auto& t : v) t = pick(rng);
        return v;
    }();
    static const std::vector<std::int64_t> series = [] {
        std::vector<std::int64_t> v(4096);
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = 1173484800 + 600 * std::int64_t(i);
        return v;
    }();
    return kind == 0 ? random : series;
}

// Each instant gets a fresh RWDateTime built from its millisecond count, as a reader of
// time-stamped data does: the reading an RWDateTime keeps after its first accessor cannot
// carry over from one iteration to the next, so every instant pays for one conversion. The
// accessors use their default zone, RWZone::local(), which is os() here.
void BM_RWDateTimeFields(benchmark::State& state) {
    std::vector<rwint64> values;
    for (std::int64_t t : instants(state.range(0))) values.push_back((t + k1901) * 1000);
    for (auto _ : state) {
        for (const rwint64 ms : values) {
            const RWDateTime dt(ms);
            unsigned sum = dt.year() + dt.month() + dt.dayOfMonth() + dt.hour() + dt.minute();
            benchmark::DoNotOptimize(sum);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_RWDateTimeFields)->ArgName("series")->Arg(0)->Arg(1);

void BM_LocaltimeFields(benchmark::State& state) {
    const std::vector<std::int64_t>& values = instants(state.range(0));
    for (auto _ : state) {
        for (std::int64_t t : values) {
            const time_t tt = static_cast<time_t>(t);
            struct tm fields;
            localtime_r(&tt, &fields);
            unsigned sum = static_cast<unsigned>(fields.tm_year + 1900 + fields.tm_mon + 1 +
                                                 fields.tm_mday + fields.tm_hour + fields.tm_min);
            benchmark::DoNotOptimize(sum);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_LocaltimeFields)->ArgName("series")->Arg(0)->Arg(1);

// The whole broken-down time through extract, for comparison with localtime_r.
void BM_RWDateTimeExtract(benchmark::State& state) {
    const RWZone& os = RWZone::os();
    std::vector<RWDateTime> values;
    for (std::int64_t t : instants(state.range(0))) values.emplace_back((t + k1901) * 1000);
    for (auto _ : state) {
        for (const RWDateTime& dt : values) {
            struct tm fields;
            dt.extract(&fields, os);
            benchmark::DoNotOptimize(fields);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_RWDateTimeExtract)->ArgName("series")->Arg(0)->Arg(1);

}  // namespace
