// SPDX-License-Identifier: Apache-2.0
// Benchmarks of the record classes: QelStringMap look-ups beside a std::unordered_map of
// std::string holding the same names and values, so that the ratio comes from one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "qelkit/records/qel_string_map.h"

namespace {

constexpr int kNames = 10000;

// The same 10,000 names in both maps, and the same names again (hits) or names that no map
// holds (misses), in shuffled order. Short names ("col_00042", 9 bytes) live inside the string
// objects on both sides; long ones ("field.332598.name", 12 to 19 bytes) are on the heap.
struct Fixture {
    // Puts both lists in the same random order.
    static void shuffle(std::vector<QelString>& qel, std::vector<std::string>& std) {
        std::mt19937 rng(7);
        std::shuffle(qel.begin(), qel.end(), rng);
        rng.seed(7);
        std::shuffle(std.begin(), std.end(), rng);
    }

    QelStringMap map{16384};
    std::unordered_map<std::string, std::string> baseline;
    std::vector<QelString> qelHits, qelMisses;
    std::vector<std::string> stdHits, stdMisses;

    explicit Fixture(bool longNames) {
        baseline.reserve(kNames);
        char name[32], value[32];
        for (int i = 0; i < kNames; ++i) {
            if (longNames)
                std::snprintf(name, sizeof name, "field.%d.name", i * 7919);
            else
                std::snprintf(name, sizeof name, "col_%05d", i);
            std::snprintf(value, sizeof value, "%d", i * 31);
            map.addValue(name, value);
            baseline.emplace(name, value);
            qelHits.emplace_back(name);
            stdHits.emplace_back(name);
            if (longNames)
                std::snprintf(name, sizeof name, "field.%d.nome", i * 7919);
            else
                std::snprintf(name, sizeof name, "col_%05dx", i);
            qelMisses.emplace_back(name);
            stdMisses.emplace_back(name);
        }
        shuffle(qelHits, stdHits);
        shuffle(qelMisses, stdMisses);
    }
};

// The fixture for a benchmark's argument: 0 short names, 1 long names.
const Fixture& fixture(const benchmark::State& state) {
    static const Fixture shortNames(false), longNames(true);
    return state.range(0) != 0 ? longNames : shortNames;
}

void qelLookups(benchmark::State& state, const std::vector<QelString>& names) {
    const QelStringMap& map = fixture(state).map;
    QelString result;
    for (auto _ : state) {
        int found = 0;
        for (const QelString& name : names) found += map.stringValue(name, result);
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}

void stdLookups(benchmark::State& state, const std::vector<std::string>& names) {
    const auto& map = fixture(state).baseline;
    std::string result;
    for (auto _ : state) {
        int found = 0;
        for (const std::string& name : names) {
            auto it = map.find(name);
            if (it == map.end()) continue;
            result = it->second;
            ++found;
        }
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}

void BM_QelStringMapHits(benchmark::State& state) { qelLookups(state, fixture(state).qelHits); }
void BM_UnorderedMapHits(benchmark::State& state) { stdLookups(state, fixture(state).stdHits); }
void BM_QelStringMapMisses(benchmark::State& state) { qelLookups(state, fixture(state).qelMisses); }
void BM_UnorderedMapMisses(benchmark::State& state) { stdLookups(state, fixture(state).stdMisses); }

// A hit converted by the typed getter, beside find + atoi.
void BM_QelStringMapIntValue(benchmark::State& state) {
    const Fixture& f = fixture(state);
    for (auto _ : state) {
        int sum = 0, v = 0;
        for (const QelString& name : f.qelHits) sum += f.map.intValue(name, v) ? v : 0;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kNames);
}
void BM_UnorderedMapAtoi(benchmark::State& state) {
    const Fixture& f = fixture(state);
    for (auto _ : state) {
        int sum = 0;
        for (const std::string& name : f.stdHits) {
            auto it = f.baseline.find(name);
            if (it != f.baseline.end()) sum += std::atoi(it->second.c_str());
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kNames);
}

BENCHMARK(BM_QelStringMapHits)->Arg(0)->Arg(1);
BENCHMARK(BM_UnorderedMapHits)->Arg(0)->Arg(1);
BENCHMARK(BM_QelStringMapMisses)->Arg(0)->Arg(1);
BENCHMARK(BM_UnorderedMapMisses)->Arg(0)->Arg(1);
BENCHMARK(BM_QelStringMapIntValue)->Arg(0)->Arg(1);
BENCHMARK(BM_UnorderedMapAtoi)->Arg(0)->Arg(1);

}  // namespace
