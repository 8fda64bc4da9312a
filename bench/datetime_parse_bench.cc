// SPDX-License-Identifier: Apache-2.0
// NqStringToDate::nq::datetime beside strptime + mktime, the C library's way of reading the same
// text into an instant, both in Europe/London: under the operating system's zone (daylight rules
// looked up per instant) and under the fixed zone QelZone installs.
//
// TZ must hold Europe/London before anything reads the zone, and the library may read it while
// it loads, before main() runs. So main() sets TZ and re-executes the program when the variable
// differs; the benchmarks then run in a process that started with it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "qelkit/datetime/nq_string_to_date.h"
#include "qelkit/datetime/qel_zone.h"
#include "qelkit/foundation/rw_zone.h"

namespace {

const char* const kZone = "Europe/London";
const char* const kText = "2007-04-09 14:09:43";

void BM_NqDatetimeOsZone(benchmark::State& state) {
    const RWZone* previous = RWZone::local(&RWZone::os());
    const QelString text(kText);
    for (auto _ : state) benchmark::DoNotOptimize(NqStringToDate::nq::datetime(text));
    RWZone::local(previous);
}
BENCHMARK(BM_NqDatetimeOsZone);

void BM_NqDatetimeFixedZone(benchmark::State& state) {
    const QelZone fixed;
    const QelString text(kText);
    for (auto _ : state) benchmark::DoNotOptimize(NqStringToDate::nq::datetime(text));
}
BENCHMARK(BM_NqDatetimeFixedZone);

void BM_StrptimeMktime(benchmark::State& state) {
    for (auto _ : state) {
        tm t{};
        strptime(kText, "%Y-%m-%d %H:%M:%S", &t);
        t.tm_isdst = -1;
        benchmark::DoNotOptimize(std::mktime(&t));
    }
}
BENCHMARK(BM_StrptimeMktime);

}  // namespace

int main(int argc, char** argv) {
    const char* tz = std::getenv("TZ");
    if (tz == nullptr || std::strcmp(tz, kZone) != 0) {
        setenv("TZ", kZone, 1);
        execv("/proc/self/exe", argv);
        return 1;  // execv returns only on failure
    }
    tzset();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
