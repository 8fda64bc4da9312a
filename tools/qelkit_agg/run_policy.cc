// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/run_policy.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "qelkit/datetime/qel_date.h"
#include "tools/qelkit_agg/agg_error.h"
#include "tools/qelkit_agg/merger.h"
#include "tools/qelkit_agg/output.h"

namespace {

// The columns a row must have by the column numbers given (names count once they are read).
std::size_t neededColumns(const AggOptions& options) {
    std::size_t needed = static_cast<std::size_t>(options.timeColumn.number);
    for (const ColumnRef& k : options.keyColumns)
        needed = std::max(needed, static_cast<std::size_t>(k.number));
    for (const ColumnRef& v : options.valueColumns)
        needed = std::max(needed, static_cast<std::size_t>(v.number));
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

// The header names for a message: "a, b, c", cut after about 200 bytes.
std::string headerList(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        if (text.size() > 200) return text + ", ...";
        text += (text.empty() ? "'" : ", '") + shownField(name) + "'";
    }
    return text;
}

// The 0-based field of `column` in the input shown as `input`.
std::size_t resolve(const ColumnRef& column, const Preamble& pre, const std::string& input) {
    if (column.number != 0) return static_cast<std::size_t>(column.number) - 1;
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < pre.names.size(); ++i)
        if (pre.names[i] == column.name) found.push_back(i);
    if (found.size() == 1) return found[0];
    if (found.empty()) {
        throw AggError("no column '" + shownField(column.name) + "' in the header of '" + input +
                           "': it names " + headerList(pre.names),
                       AggError::Usage);
    }
    throw AggError("column name '" + shownField(column.name) + "' is ambiguous: columns " +
                       std::to_string(found[0] + 1) + " and " + std::to_string(found[1] + 1) +
                       " of '" + input + "' have it",
                   AggError::Usage);
}

// The value columns: those given, else every column of the first row not time or key.
std::vector<std::size_t> valueFields(const AggOptions& options, const Preamble& pre,
                                     const std::string& input, const RowLayout& layout) {
    std::vector<std::size_t> values;
    for (const ColumnRef& v : options.valueColumns) values.push_back(resolve(v, pre, input));
    if (!values.empty()) return values;
    const auto& keys = layout.keyFields;
    for (std::size_t c = 0; c < pre.fieldCount; ++c)
        if (c != layout.timeField && std::find(keys.begin(), keys.end(), c) == keys.end())
            values.push_back(c);
    if (pre.found && values.empty()) {
        throw AggError("no value columns: the first row of '" + input + "' has only " +
                       std::to_string(pre.fieldCount) +
                       (pre.fieldCount == 1 ? " field" : " fields"));
    }
    return values;
}

// Names resolve to columns only now: a name and a number may turn out to be one column.
void checkRoles(const RowLayout& layout, const std::string& input) {
    std::vector<std::size_t> all = layout.keyFields;
    all.push_back(layout.timeField);
    all.insert(all.end(), layout.valueFields.begin(), layout.valueFields.end());
    std::sort(all.begin(), all.end());
    const auto twice = std::adjacent_find(all.begin(), all.end());
    if (twice != all.end()) {
        throw AggError("column " + std::to_string(*twice + 1) + " of '" + input +
                           "' is given twice among the time, key and value columns",
                       AggError::Usage);
    }
}

}  // namespace

QelTimeText timeReader(const AggOptions& options) {
    const std::string& format = options.timeFormat;
    if (format.empty())
        return QelTimeText(options.monthFirst ? QelTimeText::MonthFirst : QelTimeText::YearFirst);
    if (format == "epoch") return QelTimeText(QelTimeText::Epoch);
    if (format == "epoch-ms") return QelTimeText(QelTimeText::EpochMs);
    if (format == "epoch-us") return QelTimeText(QelTimeText::EpochUs);
    QelTimeText reader;
    std::string why;
    if (!QelTimeText::pattern(format, reader, why)) {
        throw AggError("invalid time format '" + shownField(format) + "': " + why +
                           "; or give epoch, epoch-ms or epoch-us",
                       AggError::Usage);
    }
    return reader;
}

RowLayout optionLayout(const AggOptions& options) {
    RowLayout layout;
    layout.dialect =
        QelRecordReader::Dialect{options.delimiter, options.collapse, !options.noQuotes};
    layout.period = options.period;
    layout.timeText = timeReader(options);
    layout.rows = options.rows;
    layout.stopAtBadRow = options.strict;
    layout.zone = &RWZone::local();
    layout.aggregates = options.aggregates;
    layout.nulls = options.nulls;
    layout.startOfWeek = QelDate::startOfWeek();
    return layout;
}

PreambleRequest preambleRequest(const AggOptions& options) {
    PreambleRequest request;
    request.firstRowRules = firstRowRules(options);
    request.header = options.header;
    request.keep =
        !options.header ? 0
        : options.valueColumns.empty() || options.namesColumns() || options.files.size() > 1
            ? PreambleRequest::ALL_NAMES
            : neededColumns(options);
    return request;
}

ColumnNames planColumns(const AggOptions& options, const Preamble& pre, const std::string& input,
                        RowLayout& layout) {
    checkPreamble(options, pre, input);
    layout.timeField = resolve(options.timeColumn, pre, input);
    layout.keyFields.clear();
    for (const ColumnRef& k : options.keyColumns)
        layout.keyFields.push_back(resolve(k, pre, input));
    layout.valueFields = valueFields(options, pre, input, layout);
    checkRoles(layout, input);
    layout.needed = layout.timeField + 1;
    for (std::size_t f : layout.keyFields) layout.needed = std::max(layout.needed, f + 1);
    for (std::size_t f : layout.valueFields) layout.needed = std::max(layout.needed, f + 1);
    // Names only for the columns used: a column number may be far beyond the others.
    auto nameOf = [&](std::size_t field) {
        return options.header && field < pre.names.size() ? pre.names[field]
                                                          : "c" + std::to_string(field + 1);
    };
    ColumnNames names;
    for (std::size_t k : layout.keyFields) names.keys.push_back(nameOf(k));
    layout.valueLabels.clear();
    for (std::size_t v : layout.valueFields) {
        names.values.push_back(nameOf(v));
        layout.valueLabels.push_back(options.header && v < pre.names.size()
                                         ? "'" + shownField(pre.names[v]) + "'"
                                         : std::to_string(v + 1));
    }
    return names;
}

void checkSameColumns(const AggOptions& options, const FirstInput& first, const Preamble& pre,
                      const ColumnNames& names, const std::string& input) {
    const bool sameHeader = !options.header || options.namesColumns() || pre.names == first.header;
    if (!sameHeader) {
        throw AggError("the header of '" + input + "' differs from that of '" + first.name +
                       "': give the columns by name to read files whose columns differ");
    }
    if (names.keys.size() != first.columns.keys.size() || names.values != first.columns.values) {
        throw AggError("the value columns of '" + input + "' differ from those of '" + first.name +
                       "'");
    }
}

std::string frozenZoneNote(const RowLayout& layout, const Merger& merger) {
    if (layout.unfrozenZone == nullptr || !merger.anyTime()) return "";
    const RWZone& real = *layout.unfrozenZone;
    const long frozen = layout.zone->offsetAt(0);
    // The offset is sampled at both ends and at most about 20000 times between: weekly over
    // the span of a few centuries, which no daylight-saving period is shorter than.
    const std::int64_t first = merger.firstUtc(), last = merger.lastUtc();
    const std::int64_t step =
        std::max<std::int64_t>(std::int64_t{7} * 86400, (last - first) / 20000 + 1);
    bool differs = real.offsetAt(last) != frozen;
    for (std::int64_t t = first; !differs && t < last; t += step)
        differs = real.offsetAt(t) != frozen;
    if (!differs) return "";
    std::string from, to;
    appendLocalTime(from, first, real);
    appendLocalTime(to, last, real);
    const long east = -frozen;
    char offset[32];
    std::snprintf(offset, sizeof offset, "%c%02ld:%02ld", east < 0 ? '-' : '+',
                  std::labs(east) / 3600, std::labs(east) / 60 % 60);
    return "note: the zone's offset changes between " + from + " and " + to +
           "; without --dst every time is read at today's offset, UTC" + offset;
}

int finishRun(const AggOptions& options, Merger& merger, bool stopped, const std::string& input,
              Reporter& err) {
    if (merger.rows() == 0) {
        throw AggError((input.empty() ? "the inputs" : input) +
                       (options.header ? ": no data after the header row" : ": no data rows"));
    }
    if (!stopped && !options.rows) merger.writeAggregation();
    err.message(merger.summary());
    const std::string note = frozenZoneNote(merger.layout(), merger);
    if (!note.empty()) err.message(note);
    if (stopped || merger.skipped() == merger.rows()) return kAggBadRows;
    return kAggOk;
}
