// SPDX-License-Identifier: Apache-2.0
// Benchmarks of the text record helpers, each beside a standard-library baseline doing the same
// work in the same binary, so that ratios come from one run:
// - QelStringCollection::split of one long line (1 MiB of 100,000 fields and 4 MiB of 400,000,
//   to show the cost is linear) against splitting into a std::vector<std::string>;
// - DataBuffer appends of 64 MiB in pieces of 1 to 100 bytes plus toString, against appending
//   the same pieces to a std::string.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "qelkit/strings/data_buffer.h"
#include "qelkit/strings/qel_string_collection.h"

namespace {

// ---- Splitting one long line ----------------------------------------------------------------
// A line of `bytes` bytes holding `fields` comma-separated fields of seeded random lengths
// (letters only); the last field takes up the difference.
std::string makeLine(std::size_t bytes, std::size_t fields) {
    std::mt19937 rng(1234);
    const std::size_t average = bytes / fields - 1;
    std::uniform_int_distribution<std::size_t> length(average / 2, average + average / 2);
    std::string line;
    line.reserve(bytes + 64);
    for (std::size_t i = 0; i + 1 < fields; ++i) {
        line.append(length(rng), static_cast<char>('a' + i % 26));
        line.push_back(',');
    }
    if (line.size() < bytes) line.append(bytes - line.size(), 'z');
    return line;
}

const std::string& line(std::size_t mebibytes) {
    static const std::string one = makeLine(std::size_t{1} << 20, 100000);
    static const std::string four = makeLine(std::size_t{4} << 20, 400000);
    return mebibytes == 1 ? one : four;
}

void BM_SplitQelStringCollection(benchmark::State& state) {
    const std::string& text = line(static_cast<std::size_t>(state.range(0)));
    const QelString qtext(text.data(), text.size());
    for (auto _ : state) {
        QelStringCollection fields;
        benchmark::DoNotOptimize(fields.split(qtext, QelStringCollection::noStrip, ','));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_SplitQelStringCollection)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_SplitStdVector(benchmark::State& state) {
    const std::string& text = line(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::vector<std::string> fields;
        const char* start = text.data();
        const char* const end = start + text.size();
        for (;;) {
            const char* hit = static_cast<const char*>(
                std::memchr(start, ',', static_cast<std::size_t>(end - start)));
            fields.emplace_back(start, hit ? hit : end);
            if (hit == nullptr) break;
            start = hit + 1;
        }
        benchmark::DoNotOptimize(fields.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_SplitStdVector)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// ---- Building 64 MiB from small pieces --------------------------------------------------------
constexpr std::size_t kTotal = std::size_t{64} << 20;

// Seeded piece sizes of 1 to 100 bytes adding up to exactly kTotal.
const std::vector<unsigned>& pieceSizes() {
    static const std::vector<unsigned> sizes = [] {
        std::mt19937 rng(42);
        std::uniform_int_distribution<unsigned> size(1, 100);
        std::vector<unsigned> out;
        std::size_t sum = 0;
        while (sum < kTotal) {
            const unsigned n =
                static_cast<unsigned>(std::min<std::size_t>(size(rng), kTotal - sum));
            out.push_back(n);
            sum += n;
        }
        return out;
    }();
    return sizes;
}

const char* pieceSource() {
    static const std::string source(128, 'p');
    return source.data();
}

void BM_DataBufferAppendToString(benchmark::State& state) {
    const std::vector<unsigned>& sizes = pieceSizes();
    const char* src = pieceSource();
    for (auto _ : state) {
        DataBuffer buffer(static_cast<unsigned>(state.range(0)));
        for (unsigned n : sizes) buffer.append(src, n);
        const RWCString text = buffer.toString();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_DataBufferAppendToString)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);

void BM_StdStringAppend(benchmark::State& state) {
    const std::vector<unsigned>& sizes = pieceSizes();
    const char* src = pieceSource();
    for (auto _ : state) {
        std::string text;
        for (unsigned n : sizes) text.append(src, n);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_StdStringAppend)->Unit(benchmark::kMillisecond);

}  // namespace
