// SPDX-License-Identifier: Apache-2.0
// runAggregation: qelkit-agg's work on its input. It reads the preamble (a byte order mark,
// blank lines, the first row), settles the columns, then has --jobs threads group the chunks of
// the data (ChunkSource) while their results are merged in input order (runOrdered), so the
// output is the same byte for byte whatever the number of threads. Bad rows are reported in
// input order at the merge.
#ifndef QELKIT_TOOLS_QELKIT_AGG_RUNNER_H
#define QELKIT_TOOLS_QELKIT_AGG_RUNNER_H

#include <cstddef>

#include "tools/qelkit_agg/agg_options.h"
#include "tools/qelkit_agg/output.h"
#include "tools/qelkit_agg/reporter.h"
#include "tools/qelkit_agg/row_grouper.h"

// The threads of a run: --jobs, else one per core, at most 256.
unsigned aggJobs(const AggOptions& options);

// The chunk size in bytes: 4 MiB, or QELKIT_AGG_CHUNK_SIZE when it holds a number from 1 to
// 16 MiB (for tests that need many chunks from a small file; the output is the same, sums
// included). Chunks stay shorter than the longest row.
std::size_t aggChunkSize();

// Reads the inputs of `options` (which passed parseAggOptions and names files) one after
// another and writes the aggregation, or the --rows lines, to `out`; messages go to `err`.
// `base` is the layout settled by the options (optionLayout, with the zone and range in
// place); each input completes a copy of it from its first row. The start of week must be in
// place. Returns kAggOk or kAggBadRows (run_policy.h); throws AggError when the run cannot be
// carried out.
int runAggregation(const AggOptions& options, const RowLayout& base, OutputSink& out,
                   Reporter& err);

#endif  // QELKIT_TOOLS_QELKIT_AGG_RUNNER_H
