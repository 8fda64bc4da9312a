// SPDX-License-Identifier: Apache-2.0
// groupChunk: the work of one reading thread on one chunk of the input. It reads the records
// whose first byte lies in the chunk, reports what is wrong with each bad row, and groups the
// others by period and key into a ChunkResult of its own. A period is named by the wall-clock
// reading of its start in the working zone, as seconds since 1970-01-01 counted as if UTC, so
// two instants that read alike (the hour repeated when the clocks go back) share it. Line numbers
// in the result count from the chunk's first byte; the merge adds the lines before it.
#ifndef QELKIT_TOOLS_QELKIT_AGG_ROW_GROUPER_H
#define QELKIT_TOOLS_QELKIT_AGG_ROW_GROUPER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qelkit/datetime/qel_period.h"
#include "qelkit/datetime/qel_time_text.h"
#include "qelkit/foundation/rw_zone.h"
#include "qelkit/records/qel_period_aggregator.h"
#include "qelkit/records/qel_record_reader.h"

// What every chunk needs to know, settled from the options and the first row.
struct RowLayout {
    std::vector<QelAggregate> aggregates;
    QelRecordReader::Dialect dialect;
    std::size_t needed = 0;     // fields a row must have
    std::size_t timeField = 0;  // 0-based, like the two lists below
    std::vector<std::size_t> keyFields;
    std::vector<std::size_t> valueFields;
    std::vector<std::string> valueLabels;  // each value column for messages: 'name' or its number
    std::vector<std::string> nulls;        // texts of a missing value, besides the empty one
    QelPeriod period;
    int startOfWeek = 7;
    QelTimeText timeText;  // the reader of the time column
    bool rows = false;     // keep each grouped row for --rows
    // --from and --to as POSIX seconds: rows outside [from, to) are filtered out.
    bool hasFrom = false, hasTo = false;
    std::int64_t fromUtc = 0, toUtc = 0;
    bool stopAtBadRow = false;     // --strict: nothing after the first bad row matters
    const RWZone* zone = nullptr;  // the working zone
    // The zone with its rules, when `zone` is it frozen at today's offset (else null).
    const RWZone* unfrozenZone = nullptr;
};

struct BadRow {
    std::uint64_t line;  // line breaks between the chunk start and the row
    std::string reason;
};

struct GroupedRow {
    std::uint64_t line;
    std::int64_t period;  // wall-clock seconds, as in the groups
    std::uint32_t key;
};

struct ChunkResult {
    ChunkResult(std::size_t values, const std::vector<QelAggregate>& aggregates)
        : groups(values, aggregates) {}
    std::size_t begin = 0;  // offset of its first record
    std::size_t end = 0;    // offset after its last record
    std::uint64_t lineBreaks = 0;
    std::uint64_t rows = 0;
    std::uint64_t blankLines = 0;
    std::uint64_t filtered = 0;  // rows outside --from and --to
    // The earliest and latest instant of a grouped row (POSIX seconds), when any; kept only
    // with a frozen zone (RowLayout::unfrozenZone), for the note on its offset.
    bool anyTime = false;
    std::int64_t firstUtc = 0, lastUtc = 0;
    std::vector<BadRow> bad;
    QelPeriodAggregator groups;       // with --rows, its key tuples alone
    std::vector<GroupedRow> grouped;  // with --rows
};

// Reads the records of the data at `base` (whose first byte is at offset `baseOffset` of the
// input and which holds the input up to offset `dataEnd`) that start at offset `begin` or
// later and before `stopAt`; `begin` must be a record start.
ChunkResult groupChunk(const RowLayout& layout, const char* base, std::size_t baseOffset,
                       std::size_t begin, std::size_t stopAt, std::size_t dataEnd);

#endif  // QELKIT_TOOLS_QELKIT_AGG_ROW_GROUPER_H
