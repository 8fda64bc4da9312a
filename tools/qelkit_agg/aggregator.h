// SPDX-License-Identifier: Apache-2.0
// Aggregator: the work of qelkit-agg on one file. It maps the file with NqMappedFileTokenizer,
// reads the time column with NqStringToDate, finds each row's period start with
// NqTimeAggregation::truncate and accumulates count, sum, min and max per value column for each
// (period start, key) group in a hash map. Bad rows are reported as "FILE:LINE: reason" and
// skipped (or end the run under --strict). The output lines are written with FieldWriter.
#ifndef QELKIT_TOOLS_QELKIT_AGG_AGGREGATOR_H
#define QELKIT_TOOLS_QELKIT_AGG_AGGREGATOR_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/records/nq_mapped_file_tokenizer.h"
#include "qelkit/strings/field_writer.h"
#include "qelkit/strings/qel_string.h"
#include "qelkit/strings/qel_string_collection.h"
#include "tools/qelkit_agg/agg_options.h"

// Exit statuses of the tool.
enum AggStatus { kAggOk = 0, kAggBadRow = 1, kAggUsage = 2 };

class Aggregator {
  public:
    // `options` must have passed parseAggOptions; `out` receives the result lines, `err` the
    // bad-row reports, fatal messages, progress and the summary. Neither stream is owned.
    Aggregator(const AggOptions& options, std::ostream& out, std::ostream& err);

    // Reads the whole file and writes the aggregation (or the --rows lines). Returns kAggOk,
    // kAggBadRow when --strict stopped at a bad row, or kAggUsage when the file is missing,
    // unreadable or holds no data, or a column is beyond the first line's fields; the message
    // has then been written. Library exceptions other than bad rows propagate.
    int run();

  private:
    struct GroupKey {
        unsigned long period;  // RWTime seconds of the period start
        std::uint32_t key;     // index into _keyTexts
        bool operator==(const GroupKey& o) const noexcept {
            return period == o.period && key == o.key;
        }
    };
    struct GroupKeyHash {
        std::size_t operator()(const GroupKey& k) const noexcept {
            return std::hash<unsigned long>()(k.period * 0x9E3779B97F4A7C15ULL ^ k.key);
        }
    };
    struct Group {
        GroupKey id;
        std::uint64_t count;
    };

    // Reads the fields of the current line into _fields (up to _needed of them) and moves to
    // the next line. Returns the number of fields on the line, 0 at the end of the data.
    std::size_t readLine(NqMappedFileTokenizer& tokens);
    // Settles the value columns and output names from the first line's fields.
    bool setUpColumns(std::size_t fieldCount);
    // Groups the row held in _fields (line number `line`), or reports why it cannot.
    // Returns false when the row was bad.
    bool groupRow(std::size_t fieldCount, std::uint64_t line);
    // The RWTime seconds of the start of the period holding the time in `timeField`, or 0 after
    // reporting why there is none.
    unsigned long periodStart(const QelString& timeField, std::uint64_t line);
    void reportBadRow(std::uint64_t line, const std::string& reason);
    void writeAggregation();
    void writeRow(std::uint64_t line, unsigned long period);
    // The period start as local "%Y-%m-%d %H:%M:%S", cached for runs of equal periods.
    const QelString& periodText(unsigned long period);
    void showProgress(std::uint64_t rows);
    int fail(const std::string& message);

    const AggOptions& _options;
    std::ostream& _out;
    std::ostream& _err;
    NqTimeAggregation _period;
    int _startOfWeek;
    std::size_t _needed = 0;          // fields a row must have: the largest column used
    std::vector<QelString> _fields;   // the current row's first _needed fields
    std::vector<int> _values;         // value columns, 1-based
    std::vector<std::string> _names;  // column names, index = column - 1
    std::string _keyText;             // the current row's key fields joined by tabs
    std::vector<double> _numbers;     // the current row's values
    std::unordered_map<std::string, std::uint32_t> _keyIndex;
    std::vector<std::string> _keyTexts;
    std::unordered_map<GroupKey, std::uint32_t, GroupKeyHash> _groupIndex;
    std::vector<Group> _groups;
    std::vector<double> _stats;    // per group and value column: sum, min, max
    QelString _lastTimeText;       // the last time text that parsed
    unsigned long _lastStart = 0;  // its period start (0: none yet)
    unsigned long _cachedPeriod = 0;
    QelString _cachedPeriodText;
    QelStringCollection _rowFields;  // the --rows line being written
    FieldWriter _rowWriter;
    std::uint64_t _skipped = 0;
    bool _keepAll = false;  // readLine keeps every field, not only the first _needed
    bool _progress = false;
    std::chrono::steady_clock::time_point _lastProgress;
};

#endif  // QELKIT_TOOLS_QELKIT_AGG_AGGREGATOR_H
