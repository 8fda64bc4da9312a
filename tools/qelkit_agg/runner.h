// SPDX-License-Identifier: Apache-2.0
// runAggregation: qelkit-agg's work on its input. It reads the first row (the column names
// with --header, else the row that fixes the value columns), then cuts the rest into chunks
// of a fixed size at record boundaries; --jobs threads group whole chunks, and the partial
// results are merged in chunk order, so the output is the same byte for byte whatever the
// number of threads. A mapped file is cut where a line starts, and a chunk whose start turns
// out to lie inside a quoted field is read again from its true start when it is merged; a
// stream is cut exactly by its reader (StreamSource). A row longer than MAX_ROW_BYTES is a bad
// row on every path. Bad rows are reported in input order at the merge.
#ifndef QELKIT_TOOLS_QELKIT_AGG_RUNNER_H
#define QELKIT_TOOLS_QELKIT_AGG_RUNNER_H

#include <cstddef>

#include "tools/qelkit_agg/agg_options.h"
#include "tools/qelkit_agg/output.h"
#include "tools/qelkit_agg/reporter.h"

// Exit statuses of the tool.
enum AggStatus { kAggOk = 0, kAggBadRows = 1, kAggFailure = 2 };

// The chunk size in bytes: 4 MiB, or QELKIT_AGG_CHUNK_SIZE when it holds a number from 1 to
// 16 MiB (for tests that need many chunks from a small file; the output is the same, sums
// included). Chunks stay shorter than the longest row.
std::size_t aggChunkSize();

// Reads the input of `options` (which passed parseAggOptions and names a file) and writes
// the aggregation, or the --rows lines, to `out`; messages go to `err`. The working zone
// and start of week must be in place. Returns an AggStatus.
int runAggregation(const AggOptions& options, OutputSink& out, Reporter& err);

#endif  // QELKIT_TOOLS_QELKIT_AGG_RUNNER_H
