// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/run_policy.h"

#include <algorithm>

#include "qelkit/datetime/qel_date.h"
#include "tools/qelkit_agg/agg_error.h"
#include "tools/qelkit_agg/merger.h"

namespace {

// The columns a row must have by the options alone: the highest column number given.
std::size_t neededColumns(const AggOptions& options) {
    std::size_t needed = static_cast<std::size_t>(options.timeColumn);
    for (int k : options.keyColumns) needed = std::max(needed, static_cast<std::size_t>(k));
    for (int v : options.valueColumns) needed = std::max(needed, static_cast<std::size_t>(v));
    return needed;
}

// The first row matters when it names the columns or settles the value columns; else a short
// first row is one bad row like any other.
bool firstRowRules(const AggOptions& options) {
    return options.header || options.valueColumns.empty();
}

void checkPreamble(const AggOptions& options, const Preamble& pre, const std::string& input) {
    if (pre.unreadable != nullptr)
        throw AggError(input + ": looks like " + pre.unreadable +
                       ", which qelkit-agg does not read");
    const std::string where = input + ":" + std::to_string(pre.firstRowLine) + ": ";
    if (pre.tooLong) {
        throw AggError(
            where + "the " +
            (options.header ? "header row" : "first row, which sets the value columns,") +
            " is longer than 64 MiB");
    }
    if (pre.found && options.header && pre.problem != QelRecordReader::Problem::None) {
        throw AggError(where + "the header row cannot be read: " +
                       (pre.problem == QelRecordReader::Problem::Nul ? "it holds a NUL byte"
                                                                     : "its quoting is broken"));
    }
    const std::size_t needed = neededColumns(options);
    if (pre.found && firstRowRules(options) && needed > pre.fieldCount) {
        throw AggError("column " + std::to_string(needed) + " is beyond the " +
                       std::to_string(pre.fieldCount) + " fields of the first row of '" + input +
                       "'");
    }
}

// The value columns: those given, else every column of the first row not time or key.
std::vector<int> valueColumns(const AggOptions& options, const Preamble& pre,
                              const std::string& input) {
    if (!options.valueColumns.empty()) return options.valueColumns;
    const auto& keys = options.keyColumns;
    std::vector<int> values;
    for (int c = 1; c <= static_cast<int>(pre.fieldCount); ++c)
        if (c != options.timeColumn && std::find(keys.begin(), keys.end(), c) == keys.end())
            values.push_back(c);
    if (pre.found && values.empty()) {
        throw AggError("no value columns: the first row of '" + input + "' has only " +
                       std::to_string(pre.fieldCount) +
                       (pre.fieldCount == 1 ? " field" : " fields"));
    }
    return values;
}

}  // namespace

RowLayout optionLayout(const AggOptions& options) {
    RowLayout layout;
    layout.dialect =
        QelRecordReader::Dialect{options.delimiter, options.collapse, !options.noQuotes};
    layout.period = NqTimeAggregation(options.period);
    layout.monthFirst = options.monthFirst;
    layout.rows = options.rows;
    layout.stopAtBadRow = options.strict;
    layout.zone = &RWZone::local();
    layout.startOfWeek = QelDate::startOfWeek();
    return layout;
}

PreambleRequest preambleRequest(const AggOptions& options) {
    PreambleRequest request;
    request.firstRowRules = firstRowRules(options);
    request.header = options.header;
    request.keep = !options.header                ? 0
                   : options.valueColumns.empty() ? PreambleRequest::ALL_NAMES
                                                  : neededColumns(options);
    return request;
}

ColumnNames planColumns(const AggOptions& options, const Preamble& pre, const std::string& input,
                        RowLayout& layout) {
    checkPreamble(options, pre, input);
    const std::vector<int> values = valueColumns(options, pre, input);
    layout.needed = neededColumns(options);
    if (!values.empty())
        layout.needed = std::max(layout.needed, static_cast<std::size_t>(values.back()));
    layout.timeField = static_cast<std::size_t>(options.timeColumn) - 1;
    for (int k : options.keyColumns) layout.keyFields.push_back(static_cast<std::size_t>(k) - 1);
    for (int v : values) layout.valueFields.push_back(static_cast<std::size_t>(v) - 1);
    // Names only for the columns used: a column number may be far beyond the others.
    auto nameOf = [&](std::size_t field) {
        return options.header && field < pre.names.size() ? pre.names[field]
                                                          : "c" + std::to_string(field + 1);
    };
    ColumnNames names;
    for (std::size_t k : layout.keyFields) names.keys.push_back(nameOf(k));
    for (std::size_t v : layout.valueFields) names.values.push_back(nameOf(v));
    return names;
}

int finishRun(const AggOptions& options, Merger& merger, bool stopped, const std::string& input,
              Reporter& err) {
    if (merger.rows() == 0)
        throw AggError(input +
                       (options.header ? ": no data after the header row" : ": no data rows"));
    if (!stopped && !options.rows) merger.writeAggregation();
    err.message(merger.summary());
    if (stopped || merger.skipped() == merger.rows()) return kAggBadRows;
    return kAggOk;
}
