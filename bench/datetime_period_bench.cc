// SPDX-License-Identifier: Apache-2.0
// Period truncation of 1,000,000 instants with NqTimeAggregation, beside a baseline that
// floors the local time of a date::zoned_time in the same zone. TZ is set to Europe/London
// at load, before either library reads the zone. Instants lie between 1970 and 2037, where the date
// library's zone data is exact.
#include <benchmark/benchmark.h>
#include <date/tz.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <random>
#include <vector>

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/datetime/qel_zone.h"
#include "qelkit/foundation/rw_zone.h"

namespace {

constexpr std::size_t COUNT = 1000000;

// Both libraries read the zone on first use, after this (at load, before main).
const bool londonZone = (setenv("TZ", "Europe/London", 1), tzset(), true);

// POSIX seconds, 1970 .. 2037, fixed seed.
const std::vector<std::int64_t>& instants() {
    static const std::vector<std::int64_t> values = [] {
        std::mt19937_64 rng(7);
        std::uniform_int_distribution<std::int64_t> dist(0, 2145916800LL);
        std::vector<std::int64_t> v(COUNT);
        for (auto& x : v) x = dist(rng);
        return v;
    }();
    return values;
}

// Truncation under the local zone: the system's London zone, or with `frozen` a QelZone's
// fixed offset.
void truncateAll(benchmark::State& state, char code, bool frozen) {
    const auto& in = instants();
    std::vector<RWTime> times;
    times.reserve(in.size());
    for (std::int64_t t : in)
        times.emplace_back(static_cast<unsigned long>(t) + RWTime::posixOffset);
    std::optional<QelZone> guard;
    if (frozen) guard.emplace();
    const NqTimeAggregation period(static_cast<TimeAggregationType>(code));
    if (!londonZone || RWZone::os().timeZoneName() != "GMT") state.SkipWithError("TZ not London");
    const int sow = 7;
    for (auto _ : state) {
        unsigned long sum = 0;
        for (const RWTime& t : times) sum += period.truncate(t, sow).seconds();
        benchmark::DoNotOptimize(sum);
    }
    guard.reset();
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * times.size()));
}

template <class Duration>
void hinnantFloor(benchmark::State& state) {
    const auto& in = instants();
    const date::time_zone* zone = date::locate_zone("Europe/London");
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (std::int64_t t : in) {
            const date::zoned_seconds zt(zone, date::sys_seconds(std::chrono::seconds(t)));
            sum += date::floor<Duration>(zt.get_local_time()).time_since_epoch().count();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}

// The same floor converted back to an instant, as truncate() returns one.
template <class Duration>
void hinnantFloorToInstant(benchmark::State& state) {
    const auto& in = instants();
    const date::time_zone* zone = date::locate_zone("Europe/London");
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (std::int64_t t : in) {
            const date::zoned_seconds zt(zone, date::sys_seconds(std::chrono::seconds(t)));
            const auto local = date::floor<Duration>(zt.get_local_time());
            sum += zone->to_sys(local, date::choose::earliest).time_since_epoch().count();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}

using FiveMinutes = std::chrono::duration<std::int64_t, std::ratio<300>>;
using Days = date::days;

void BM_TruncateOs(benchmark::State& s, char code) { truncateAll(s, code, false); }
void BM_TruncateFrozen(benchmark::State& s, char code) { truncateAll(s, code, true); }

BENCHMARK_CAPTURE(BM_TruncateOs, F, 'F')->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TruncateOs, H, 'H')->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TruncateOs, D, 'D')->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TruncateOs, W, 'W')->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TruncateOs, M, 'M')->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TruncateFrozen, F, 'F')->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TruncateFrozen, H, 'H')->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TruncateFrozen, D, 'D')->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TruncateFrozen, W, 'W')->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TruncateFrozen, M, 'M')->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(hinnantFloor, FiveMinutes)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(hinnantFloor, std::chrono::hours)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(hinnantFloor, Days)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(hinnantFloorToInstant, FiveMinutes)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(hinnantFloorToInstant, std::chrono::hours)->Unit(benchmark::kMillisecond);

}  // namespace
