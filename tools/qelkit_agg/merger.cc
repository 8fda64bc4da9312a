// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/merger.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include "qelkit/strings/qel_number_text.h"
#include "tools/qelkit_agg/ordered_pipeline.h"

namespace {

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Makes the output names of `keys` (named as they are) and `values` (named sum_X, min_X, max_X,
// mean_X for each X) unique among themselves and against "period" and "count", ignoring ASCII
// case. An empty name becomes cN; a name that collides takes "_N" after it, N its column number
// (`keyColumns`, `valueColumns`), until nothing collides.
void makeUnique(std::vector<std::string>& keys, std::vector<std::string>& values,
                const std::vector<std::size_t>& keyColumns,
                const std::vector<std::size_t>& valueColumns) {
    static const char* const STATS[] = {"sum_", "min_", "max_", "mean_"};
    const std::size_t n = keys.size() + values.size();
    auto base = [&](std::size_t i) -> std::string& {
        return i < keys.size() ? keys[i] : values[i - keys.size()];
    };
    auto column = [&](std::size_t i) {
        return (i < keys.size() ? keyColumns[i] : valueColumns[i - keys.size()]) + 1;
    };
    for (std::size_t i = 0; i < n; ++i)
        if (base(i).empty()) base(i) = "c" + std::to_string(column(i));
    for (int round = 0;; ++round) {
        std::unordered_map<std::string, std::vector<std::size_t>> owners;  // n: a fixed name
        owners["period"].push_back(n);
        owners["count"].push_back(n);
        for (std::size_t i = 0; i < n; ++i) {
            if (i < keys.size()) {
                owners[lowerAscii(base(i))].push_back(i);
            } else {
                for (const char* stat : STATS) owners[lowerAscii(stat + base(i))].push_back(i);
            }
        }
        std::vector<bool> clash(n, false);
        bool any = false;
        for (const auto& entry : owners) {
            if (entry.second.size() < 2) continue;
            for (std::size_t i : entry.second)
                if (i < n) clash[i] = any = true;
        }
        if (!any) return;
        for (std::size_t i = 0; i < n; ++i) {
            // Past a few rounds (only names built to collide get there) every column takes a
            // name of its number alone, which nothing else can hold.
            if (round >= 8)
                base(i) = "column_" + std::to_string(column(i));
            else if (clash[i])
                base(i) += "_" + std::to_string(column(i));
        }
    }
}

}  // namespace

Merger::Merger(const AggOptions& options, const RowLayout& layout,
               std::vector<std::string> keyNames, std::vector<std::string> valueNames,
               std::string shownName, OutputSink& out, Reporter& err, std::uint64_t firstLine,
               unsigned jobs)
    : _options(options),
      _layout(layout),
      _keyNames(std::move(keyNames)),
      _valueNames(std::move(valueNames)),
      _givenValueNames(_valueNames),
      _shownName(std::move(shownName)),
      _out(out),
      _err(err),
      _line(firstLine),
      _jobs(jobs),
      _groups(layout.valueFields.size()) {
    makeUnique(_keyNames, _valueNames, layout.keyFields, layout.valueFields);
}

std::string Merger::periodLabel(std::int64_t period) {
    if (_label.empty() || period != _labelPeriod) {
        _label.clear();
        appendLocalTime(_label, period, RWZone::utc());
        _labelPeriod = period;
    }
    return _label;
}

void Merger::appendKeyFields(std::string& line, std::string_view key) const {
    const char separator = _options.format == OutputFormat::Csv ? ',' : '\t';
    for (std::size_t i = 0; i < _layout.keyFields.size(); ++i) {
        const std::size_t end = std::min(key.find('\0'), key.size());
        line.push_back(separator);
        appendField(line, key.substr(0, end), _options.format);
        key.remove_prefix(std::min(end + 1, key.size()));
    }
}

bool Merger::add(const ChunkResult& chunk) {
    _rows += chunk.rows;
    _blankLines += chunk.blankLines;
    // Under --strict the chunk ends at its first bad row: what came before it still counts.
    const bool stopping = _options.strict && !chunk.bad.empty();
    if (_options.rows) {
        const char separator = _options.format == OutputFormat::Csv ? ',' : '\t';
        for (const GroupedRow& row : chunk.grouped) {
            if (stopping && row.line > chunk.bad.front().line) break;
            _text = std::to_string(_line + row.line);
            _text.push_back(separator);
            _text += periodLabel(row.period);
            if (!_layout.keyFields.empty()) appendKeyFields(_text, chunk.groups.key(row.key));
            _text.push_back('\n');
            _out.write(_text);
        }
    }
    for (const BadRow& bad : chunk.bad) {
        ++_skipped;
        _err.message(
            oneLine(_shownName + ":" + std::to_string(_line + bad.line) + ": " + bad.reason));
    }
    if (stopping) return false;
    _line += chunk.lineBreaks;
    // --rows wrote its lines: the chunk's keys are not kept, so memory does not grow with them.
    if (_options.rows) return true;
    _groups.merge(chunk.groups);
    return true;
}

void Merger::writeAggregation() {
    const OutputFormat format = _options.format;
    const char separator = format == OutputFormat::Csv ? ',' : '\t';
    _text = "period";
    auto name = [this, separator, format](const std::string& text) {
        _text.push_back(separator);
        appendField(_text, text, format);
    };
    for (const std::string& key : _keyNames) name(key);
    _text += separator;
    _text += "count";
    for (const std::string& value : _valueNames)
        for (const char* stat : {"sum_", "min_", "max_", "mean_"}) name(stat + value);
    _text.push_back('\n');
    _out.write(_text);

    std::vector<std::uint64_t> overflows = writeGroupLines(_groups.groupsInOrder());
    for (std::size_t v = 0; v < overflows.size(); ++v) {
        const std::uint64_t n = overflows[v];
        if (n == 0) continue;
        const std::size_t field = _layout.valueFields[v];
        _err.message(oneLine("the sum of column " + std::to_string(field + 1) + " ('" +
                             shownField(_givenValueNames[v]) + "') overflowed to infinity in " +
                             std::to_string(n) + (n == 1 ? " group" : " groups")));
    }
}

// The lines are formatted in blocks on up to `_jobs` threads, this one included, and written in
// block order as soon as each block is ready: formatting numbers is the longest part of the
// output. At most two blocks per thread are held ahead of the writer, so the memory used stays
// bounded whatever the number of groups.
std::vector<std::uint64_t> Merger::writeGroupLines(const std::vector<std::uint32_t>& order) {
    constexpr std::size_t BLOCK = 2048;
    struct Block {
        std::string text;
        std::vector<std::uint64_t> overflows;
    };
    const std::size_t blocks = (order.size() + BLOCK - 1) / BLOCK;
    const auto jobs =
        static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(_jobs, blocks)));
    std::size_t next = 0;
    std::vector<std::uint64_t> overflows(_layout.valueFields.size(), 0);
    const OrderedSteps<std::size_t, Block> steps{
        [&](std::size_t& block) { return next < blocks ? (block = next++, true) : false; },
        [&](std::size_t& block) {
            Block out{{}, std::vector<std::uint64_t>(overflows.size(), 0)};
            const std::size_t first = block * BLOCK;
            formatGroups(order.data() + first, order.data() + std::min(order.size(), first + BLOCK),
                         out.text, out.overflows);
            return out;
        },
        [&](Block& block) {
            _out.write(block.text);
            for (std::size_t v = 0; v < overflows.size(); ++v) overflows[v] += block.overflows[v];
            return true;
        }};
    runOrdered(jobs, 2 * std::size_t{jobs}, steps);
    return overflows;
}

void Merger::formatGroups(const std::uint32_t* first, const std::uint32_t* last, std::string& text,
                          std::vector<std::uint64_t>& overflows) const {
    const char separator = _options.format == OutputFormat::Csv ? ',' : '\t';
    std::string label;
    std::int64_t labelPeriod = 0;
    for (; first != last; ++first) {
        const std::uint32_t g = *first;
        const QelPeriodAggregator::Group& group = _groups.group(g);
        if (label.empty() || group.period != labelPeriod) {
            label.clear();
            appendLocalTime(label, group.period, RWZone::utc());
            labelPeriod = group.period;
        }
        text += label;
        if (!_layout.keyFields.empty()) appendKeyFields(text, _groups.key(group.key));
        text.push_back(separator);
        text += std::to_string(group.count);
        for (std::size_t v = 0; v < _layout.valueFields.size(); ++v) {
            const double sum = _groups.sum(g, v);
            if (!std::isfinite(sum)) ++overflows[v];
            for (const double x : {sum, _groups.min(g, v), _groups.max(g, v), _groups.mean(g, v)}) {
                text.push_back(separator);
                QelNumberText::append(text, x);
            }
        }
        text.push_back('\n');
    }
}

std::string Merger::summary() const {
    auto count = [](std::uint64_t n, const char* one, const char* many) {
        return std::to_string(n) + (n == 1 ? one : many);
    };
    std::string text = count(_rows, " row read, ", " rows read, ") +
                       std::to_string(_rows - _skipped) + " grouped, " + std::to_string(_skipped) +
                       " skipped";
    if (_blankLines != 0) text += ", " + count(_blankLines, " blank line", " blank lines");
    return text + "; period " + _layout.period.aggregationDesc();
}
