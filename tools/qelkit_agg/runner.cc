// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/runner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <thread>

#include "tools/qelkit_agg/agg_error.h"
#include "tools/qelkit_agg/chunk_source.h"
#include "tools/qelkit_agg/merger.h"
#include "tools/qelkit_agg/ordered_pipeline.h"
#include "tools/qelkit_agg/run_policy.h"

namespace {

constexpr std::size_t DEFAULT_CHUNK = std::size_t{4} << 20;
// Chunks are shorter than the longest row, so that a row longer than that always runs past
// the end of the chunk it starts in.
constexpr std::size_t MAX_CHUNK = std::size_t{16} << 20;

// The progress line: share of the input read, rows, rows per second, time left. Shown at most
// every 100 ms, by the thread that merges.
class Progress {
  public:
    Progress(Reporter& err, const ChunkSource& source, const Merger& merger)
        : _err(err), _source(source), _merger(merger) {}

    void show() {
        if (!_err.progressEnabled()) return;
        const Clock::time_point now = Clock::now();
        if (now - _shown < INTERVAL) return;
        _shown = now;
        const double seconds = std::chrono::duration<double>(now - _started).count();
        const std::uint64_t done = _source.done(), total = _source.total();
        const std::uint64_t rows = _merger.rows();
        std::string text;
        if (total != 0) text = std::to_string(done * 100 / total) + "%, ";
        text += std::to_string(rows) + " rows, " +
                std::to_string(static_cast<std::uint64_t>(rows / std::max(seconds, 1e-3))) +
                " rows/s";
        if (total != 0 && done != 0) {
            const double left = seconds * static_cast<double>(total - std::min(done, total)) / done;
            text += ", " + std::to_string(std::llround(left)) + " s left";
        }
        _err.progress(text);
    }

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr auto INTERVAL = std::chrono::milliseconds(100);

    Reporter& _err;
    const ChunkSource& _source;
    const Merger& _merger;
    Clock::time_point _started = Clock::now();
    Clock::time_point _shown = Clock::now() - INTERVAL;  // the first is shown at once
};

}  // namespace

unsigned aggJobs(const AggOptions& options) {
    return options.jobs != 0 ? options.jobs
                             : std::clamp(std::thread::hardware_concurrency(), 1u, 256u);
}

std::size_t aggChunkSize() {
    const char* text = std::getenv("QELKIT_AGG_CHUNK_SIZE");
    if (text == nullptr) return DEFAULT_CHUNK;
    const unsigned long long value = std::strtoull(text, nullptr, 10);
    return value >= 1 && value <= MAX_CHUNK ? static_cast<std::size_t>(value) : DEFAULT_CHUNK;
}

namespace {

// Groups the data of `source` on `jobs` threads and merges it in order. Returns true when
// --strict stopped the run at a bad row.
bool readInput(ChunkSource& source, const RowLayout& layout, Merger& merger, Reporter& err,
               unsigned jobs) {
    source.start(layout);
    Progress progress(err, source, merger);
    bool stopped = false;
    const OrderedSteps<ChunkJob, GroupedChunk> steps{
        [&](ChunkJob& job) { return source.next(job); },
        [&](ChunkJob& job) { return source.group(job); },
        [&](GroupedChunk& chunk) {
            source.settle(chunk);
            stopped = !merger.add(chunk.result);
            progress.show();
            return !stopped;
        }};
    runOrdered(jobs, std::min<std::size_t>(2 * jobs + 2, 12), steps);
    source.finish();
    return stopped;
}

}  // namespace

int runAggregation(const AggOptions& options, const RowLayout& base, OutputSink& out,
                   Reporter& err) {
    const unsigned jobs = aggJobs(options);
    std::unique_ptr<Merger> merger;
    FirstInput first;
    // The merger refers to the layout of the input it reads: each stays until the end.
    std::deque<RowLayout> layouts;
    std::uint64_t blankLines = 0;
    bool stopped = false;
    std::string name;
    for (const std::string& file : options.files) {
        layouts.push_back(base);
        RowLayout& layout = layouts.back();
        const std::unique_ptr<ChunkSource> source =
            openChunkSource(file, layout.dialect, aggChunkSize(), err.progressEnabled());
        name = source->name();
        const PreambleRequest request = preambleRequest(options);
        const Preamble pre = source->preamble(request);
        blankLines += pre.blankLines;
        // An input whose preamble found no row at all adds nothing, when others may. (Without
        // first-row rules the preamble reads no row, and the input is simply read.)
        if (request.firstRowRules && !pre.found && options.files.size() > 1) continue;
        ColumnNames names = planColumns(options, pre, name, layout);
        if (!merger) {
            merger =
                std::make_unique<Merger>(options, layout, names.keys, names.values, out, err, jobs);
            first = FirstInput{name, pre.names, std::move(names)};
        } else {
            checkSameColumns(options, first, pre, names, name);
        }
        merger->startInput(layout, name, pre.lineBreaks + 1);
        merger->addBlankLines(blankLines);
        blankLines = 0;
        if ((stopped = readInput(*source, layout, *merger, err, jobs))) break;
    }
    err.clear();
    if (!merger)
        throw AggError(options.files.size() > 1 ? "no data rows in any input"
                                                : name + ": no data rows");
    merger->addBlankLines(blankLines);
    return finishRun(options, *merger, stopped, options.files.size() > 1 ? "" : name, err);
}
