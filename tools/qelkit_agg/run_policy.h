// SPDX-License-Identifier: Apache-2.0
// The rules of a qelkit-agg run that do not depend on how the input is read: what the first row
// must hold, which columns are grouped and how they are named, and the exit status. Each check
// throws AggError with the message to show.
#ifndef QELKIT_TOOLS_QELKIT_AGG_RUN_POLICY_H
#define QELKIT_TOOLS_QELKIT_AGG_RUN_POLICY_H

#include <string>
#include <vector>

#include "tools/qelkit_agg/agg_options.h"
#include "tools/qelkit_agg/preamble.h"
#include "tools/qelkit_agg/row_grouper.h"

class Merger;
class Reporter;

// Exit statuses of the tool.
enum AggStatus { kAggOk = 0, kAggBadRows = 1, kAggFailure = 2 };

// The reader of the time column: --time-format, else the layouts of --dates. Throws a usage
// AggError for a pattern that cannot be read.
QelTimeText timeReader(const AggOptions& options);

// The layout settled by the options alone: dialect, period, zone, start of week, flags.
RowLayout optionLayout(const AggOptions& options);

// What readPreamble must read of the first row for `options`.
PreambleRequest preambleRequest(const AggOptions& options);

// The names of the grouped columns, for the output header.
struct ColumnNames {
    std::vector<std::string> keys;
    std::vector<std::string> values;
};

// Checks the preamble of the input shown as `input` and completes `layout` with the fields a
// row needs and the time, key and value fields. Returns the column names.
ColumnNames planColumns(const AggOptions& options, const Preamble& pre, const std::string& input,
                        RowLayout& layout);

// What later inputs of a run are checked against: the first input's name, header and columns.
struct FirstInput {
    std::string name;
    std::vector<std::string> header;
    ColumnNames columns;
};

// Checks that the input shown as `input` (its preamble `pre`, its columns `names`) has the
// columns of the first: the same header row when columns are given by number, the same key
// and value columns when by name. Throws AggError otherwise.
void checkSameColumns(const AggOptions& options, const FirstInput& first, const Preamble& pre,
                      const ColumnNames& names, const std::string& input);

// The exit status after every row was merged (`stopped`: --strict stopped at a bad row).
// Writes the aggregation unless the run stopped or wrote --rows, then the summary line;
// `input` names the input in messages (empty: the run's inputs as a whole).
int finishRun(const AggOptions& options, Merger& merger, bool stopped, const std::string& input,
              Reporter& err);

#endif  // QELKIT_TOOLS_QELKIT_AGG_RUN_POLICY_H
