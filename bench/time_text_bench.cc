// SPDX-License-Identifier: Apache-2.0
// QelTimeText reading 4096 different "YYYY-MM-DD HH:MM:SS" texts: the YearFirst layout reader,
// the same layout as the compiled pattern "%Y-%m-%d %H:%M:%S", and the C library's strptime +
// timegm with that pattern. Each iteration reads all texts; the wall-clock seconds are summed
// so that no read can be dropped.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "qelkit/datetime/qel_time_text.h"

namespace {

const char* const kPattern = "%Y-%m-%d %H:%M:%S";

const std::vector<std::string>& texts() {
    static const std::vector<std::string> all = [] {
        std::mt19937 rng(4096);
        std::vector<std::string> made;
        char text[32];
        for (int i = 0; i < 4096; ++i) {
            std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u",
                          1970 + unsigned(rng() % 100), 1 + unsigned(rng() % 12),
                          1 + unsigned(rng() % 28), unsigned(rng() % 24), unsigned(rng() % 60),
                          unsigned(rng() % 60));
            made.push_back(text);
        }
        return made;
    }();
    return all;
}

void readAll(benchmark::State& state, const QelTimeText& reader) {
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (const std::string& text : texts()) {
            QelTimeText::Time time;
            if (reader.read(text, time) == QelTimeText::Ok) sum += time.wall;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(texts().size()));
}

void BM_YearFirstRead(benchmark::State& state) { readAll(state, QelTimeText()); }
BENCHMARK(BM_YearFirstRead);

void BM_PatternRead(benchmark::State& state) {
    QelTimeText reader;
    std::string why;
    if (!QelTimeText::pattern(kPattern, reader, why)) state.SkipWithError(why.c_str());
    readAll(state, reader);
}
BENCHMARK(BM_PatternRead);

void BM_StrptimeTimegm(benchmark::State& state) {
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (const std::string& text : texts()) {
            tm t{};
            const char* end = strptime(text.c_str(), kPattern, &t);
            if (end && *end == '\0') sum += timegm(&t);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(texts().size()));
}
BENCHMARK(BM_StrptimeTimegm);

}  // namespace
