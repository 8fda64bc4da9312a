// SPDX-License-Identifier: Apache-2.0
// Merger: the result of qelkit-agg so far, built from the chunk results taken in input
// order. It reports each bad row as "FILE:LINE: reason" with its physical line number, writes
// the --rows lines, adds up the groups, and at the end writes the aggregation: a header line,
// then one line per group in the order of period start, then key tuple (with --format jsonl, one
// JSON object per group and no header). The names are unique (ignoring ASCII case) and never
// empty, so that the output loads as it is: a name that would repeat another, or "period" or
// "count", takes "_N" after it, N its column number. Several inputs are merged one after
// another (startInput), each with its own layout and line numbers.
#ifndef QELKIT_TOOLS_QELKIT_AGG_MERGER_H
#define QELKIT_TOOLS_QELKIT_AGG_MERGER_H

#include <cstdint>
#include <string>
#include <vector>

#include "qelkit/records/qel_period_aggregator.h"
#include "tools/qelkit_agg/agg_options.h"
#include "tools/qelkit_agg/output.h"
#include "tools/qelkit_agg/reporter.h"
#include "tools/qelkit_agg/row_grouper.h"

class Merger {
  public:
    // `keyNames`, `valueNames`: the names of the key and value columns, in the order of the
    // layout; `shownName`: the input as messages name it (escaped by shownName()); `firstLine`: the
    // line number of the first data byte; `jobs`: threads that may format the output.
    Merger(const AggOptions& options, const RowLayout& layout, std::vector<std::string> keyNames,
           std::vector<std::string> valueNames, OutputSink& out, Reporter& err, unsigned jobs);

    // Starts the next input: its layout (same number of keys and values as the first), its
    // name, and the line number of its first data byte.
    void startInput(const RowLayout& layout, std::string shownName, std::uint64_t firstLine);

    // Takes the next chunk result in input order. Returns false once --strict has stopped
    // at a bad row (that row reported, nothing after it).
    bool add(const ChunkResult& chunk);
    // Counts blank lines read before the data.
    void addBlankLines(std::uint64_t lines) noexcept { _blankLines += lines; }
    // Writes the aggregation; reports sums that overflowed.
    void writeAggregation();
    // The summary line: rows read, grouped, skipped, filtered, blank lines, period.
    std::string summary() const;

    std::uint64_t rows() const noexcept { return _rows; }
    // The layout of the input read last.
    const RowLayout& layout() const noexcept { return *_layout; }
    std::uint64_t skipped() const noexcept { return _skipped; }
    // The earliest and latest instant of a grouped row, when any.
    bool anyTime() const noexcept { return _anyTime; }
    std::int64_t firstUtc() const noexcept { return _firstUtc; }
    std::int64_t lastUtc() const noexcept { return _lastUtc; }

  private:
    std::string periodLabel(std::int64_t period);
    void appendKeyFields(std::string& line, std::string_view key) const;
    // Writes the output lines of the groups in `order`; returns the overflowed sums by value
    // column.
    // An output line: a group, or with --fill an empty period of a key (group NO_GROUP).
    struct Line {
        std::int64_t period;
        std::uint32_t key;
        std::uint32_t group;
    };
    static constexpr std::uint32_t NO_GROUP = 0xFFFFFFFFu;
    // The output lines in order: period, then key; with --fill, the empty periods too.
    std::vector<Line> orderedLines() const;
    // Adds to `lines` the empty periods of `key` strictly between the starts `from` and `to`.
    void fillBetween(std::int64_t from, std::int64_t to, std::uint32_t key,
                     std::vector<Line>& lines) const;
    std::vector<std::uint64_t> writeGroupLines(const std::vector<Line>& order);
    // Appends the output lines of groups [first, last) to `text`, counting overflowed sums.
    void formatGroups(const Line* first, const Line* last, std::string& text,
                      std::vector<std::uint64_t>& overflows) const;
    // Appends one output line: the period `label`, the key tuple `key`, and the figures of
    // group `g` (none for an empty period of --fill).
    void formatLine(std::string& text, const std::string& label, std::string_view key,
                    std::uint32_t g, bool empty, std::vector<std::uint64_t>& overflows) const;
    // The output names, in order: period, keys, count if asked for, aggregate_value.
    std::vector<std::string> columnNames() const;

    const AggOptions& _options;
    const RowLayout* _layout;
    std::vector<QelAggregate> _perColumn;       // the aggregates but count, in output order
    bool _count;                                // count is output
    std::vector<std::string> _keyNames;         // as the header writes them: unique, never empty
    std::vector<std::string> _valueNames;       // the X of sum_X and the others, likewise
    std::vector<std::string> _givenValueNames;  // as the input names them, for messages
    std::vector<std::string> _jsonNames;        // "name": of each output column, for JSON
    std::string _shownName;
    OutputSink& _out;
    Reporter& _err;
    std::uint64_t _line;  // the line number where the next chunk starts
    unsigned _jobs;
    std::uint64_t _rows = 0;
    std::uint64_t _skipped = 0;
    std::uint64_t _blankLines = 0;
    std::uint64_t _filtered = 0;
    bool _anyTime = false;
    std::int64_t _firstUtc = 0, _lastUtc = 0;
    QelPeriodAggregator _groups;
    std::string _text;  // a line being written
    std::int64_t _labelPeriod = 0;
    std::string _label;
};

#endif  // QELKIT_TOOLS_QELKIT_AGG_MERGER_H
