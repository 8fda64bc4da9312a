// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/merger.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include "qelkit/strings/qel_number_text.h"
#include "tools/qelkit_agg/agg_error.h"
#include "tools/qelkit_agg/ordered_pipeline.h"

namespace {

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Makes the output names of `keys` (named as they are) and `values` (named A_X for each
// aggregate A of `stats` and each X) unique among themselves and against "period" and "count",
// ignoring ASCII case. An empty name becomes cN; a name that collides takes "_N" after it, N its
// column number (`keyColumns`, `valueColumns`), until nothing collides.
void makeUnique(std::vector<std::string>& keys, std::vector<std::string>& values,
                const std::vector<std::size_t>& keyColumns,
                const std::vector<std::size_t>& valueColumns,
                const std::vector<QelAggregate>& stats) {
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
                for (const QelAggregate& stat : stats)
                    owners[lowerAscii(stat.name() + "_" + base(i))].push_back(i);
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
               OutputSink& out, Reporter& err, unsigned jobs)
    : _options(options),
      _layout(&layout),
      _count(false),
      _keyNames(std::move(keyNames)),
      _valueNames(std::move(valueNames)),
      _givenValueNames(_valueNames),
      _out(out),
      _err(err),
      _line(1),
      _jobs(jobs),
      _groups(layout.valueFields.size(), options.aggregates) {
    for (const QelAggregate& a : options.aggregates) {
        if (a.kind() == QelAggregate::Count)
            _count = true;
        else
            _perColumn.push_back(a);
    }
    makeUnique(_keyNames, _valueNames, layout.keyFields, layout.valueFields, _perColumn);
    for (const std::string& name : columnNames()) {
        _jsonNames.emplace_back();
        appendJsonString(_jsonNames.back(), name);
        _jsonNames.back().push_back(':');
    }
}

void Merger::startInput(const RowLayout& layout, std::string shownName, std::uint64_t firstLine) {
    _layout = &layout;
    _shownName = std::move(shownName);
    _line = firstLine;
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
    for (std::size_t i = 0; i < _keyNames.size(); ++i) {
        const std::size_t end = std::min(key.find('\0'), key.size());
        line.push_back(separator);
        appendField(line, key.substr(0, end), _options.format);
        key.remove_prefix(std::min(end + 1, key.size()));
    }
}

bool Merger::add(const ChunkResult& chunk) {
    _rows += chunk.rows;
    _blankLines += chunk.blankLines;
    _filtered += chunk.filtered;
    if (chunk.anyTime) {
        if (!_anyTime || chunk.firstUtc < _firstUtc) _firstUtc = chunk.firstUtc;
        if (!_anyTime || chunk.lastUtc > _lastUtc) _lastUtc = chunk.lastUtc;
        _anyTime = true;
    }
    // Under --strict the chunk ends at its first bad row: what came before it still counts.
    const bool stopping = _options.strict && !chunk.bad.empty();
    if (_options.rows) {
        const char separator = _options.format == OutputFormat::Csv ? ',' : '\t';
        for (const GroupedRow& row : chunk.grouped) {
            if (stopping && row.line > chunk.bad.front().line) break;
            _text = std::to_string(_line + row.line);
            _text.push_back(separator);
            _text += periodLabel(row.period);
            if (!_layout->keyFields.empty()) appendKeyFields(_text, chunk.groups.key(row.key));
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

std::vector<std::string> Merger::columnNames() const {
    std::vector<std::string> names{"period"};
    names.insert(names.end(), _keyNames.begin(), _keyNames.end());
    if (_count) names.emplace_back("count");
    for (const std::string& value : _valueNames)
        for (const QelAggregate& a : _perColumn) names.push_back(a.name() + "_" + value);
    return names;
}

void Merger::writeAggregation() {
    const OutputFormat format = _options.format;
    if (format != OutputFormat::Jsonl) {
        const char separator = format == OutputFormat::Csv ? ',' : '\t';
        _text.clear();
        for (const std::string& name : columnNames()) {
            if (!_text.empty()) _text.push_back(separator);
            appendField(_text, name, format);
        }
        _text.push_back('\n');
        _out.write(_text);
    }
    std::vector<std::uint64_t> overflows = writeGroupLines(orderedLines());
    for (std::size_t v = 0; v < overflows.size(); ++v) {
        const std::uint64_t n = overflows[v];
        if (n == 0) continue;
        const std::size_t field = _layout->valueFields[v];
        _err.message(oneLine("the sum of column " + std::to_string(field + 1) + " ('" +
                             shownField(_givenValueNames[v]) + "') overflowed to infinity in " +
                             std::to_string(n) + (n == 1 ? " group" : " groups")));
    }
}

// The lines are formatted in blocks on up to `_jobs` threads, this one included, and written in
// block order as soon as each block is ready: formatting numbers is the longest part of the
// output. At most two blocks per thread are held ahead of the writer, so the memory used stays
// bounded whatever the number of groups.
std::vector<Merger::Line> Merger::orderedLines() const {
    std::vector<Line> lines;
    const std::vector<std::uint32_t> order = _groups.groupsInOrder();
    lines.reserve(order.size());
    for (const std::uint32_t g : order) {
        const QelPeriodAggregator::Group& group = _groups.group(g);
        lines.push_back(Line{group.period, group.key, g});
    }
    if (!_options.fill) return lines;
    // Each key's periods come in order: the gaps between two of them are filled.
    std::vector<std::int64_t> last(_groups.keyCount());
    std::vector<bool> seen(_groups.keyCount(), false);
    const std::size_t groups = lines.size();
    for (std::size_t i = 0; i < groups; ++i) {
        const Line line = lines[i];
        if (seen[line.key]) fillBetween(last[line.key], line.period, line.key, lines);
        seen[line.key] = true;
        last[line.key] = line.period;
    }
    const std::vector<std::uint32_t> rank = _groups.keyRanks();
    std::sort(lines.begin(), lines.end(), [&rank](const Line& a, const Line& b) {
        return a.period != b.period ? a.period < b.period : rank[a.key] < rank[b.key];
    });
    return lines;
}

void Merger::fillBetween(std::int64_t from, std::int64_t to, std::uint32_t key,
                         std::vector<Line>& lines) const {
    // At most this many empty periods in all: each costs an output line.
    constexpr std::size_t MOST = 50000000;
    const RowLayout& layout = *_layout;
    const RWZone& zone = *layout.zone;
    auto next = [&layout, &zone](std::int64_t start, std::int64_t& after) {
        return layout.period.next(start, layout.startOfWeek, zone, after);
    };
    // A wall reading the zone has: not one its clocks skip when they go forward.
    auto exists = [&zone](std::int64_t wall) {
        const std::int64_t utc = zone.utcFromLocal(wall);
        return utc - zone.offsetAt(utc) == wall;
    };
    for (std::int64_t start = from; next(start, start) && start < to;) {
        // A period wholly inside such a gap holds no time at all, so it is no empty period.
        std::int64_t after = 0;
        if (!exists(start) && next(start, after) && !exists(after - 1)) continue;
        if (lines.size() >= MOST)
            throw AggError("--fill would print more than " + std::to_string(MOST) + " lines");
        lines.push_back(Line{start, key, NO_GROUP});
    }
}

std::vector<std::uint64_t> Merger::writeGroupLines(const std::vector<Line>& order) {
    constexpr std::size_t BLOCK = 2048;
    struct Block {
        std::string text;
        std::vector<std::uint64_t> overflows;
    };
    const std::size_t blocks = (order.size() + BLOCK - 1) / BLOCK;
    const auto jobs =
        static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(_jobs, blocks)));
    std::size_t next = 0;
    std::vector<std::uint64_t> overflows(_layout->valueFields.size(), 0);
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

void Merger::formatGroups(const Line* first, const Line* last, std::string& text,
                          std::vector<std::uint64_t>& overflows) const {
    std::string label;
    std::int64_t labelPeriod = 0;
    for (; first != last; ++first) {
        if (label.empty() || first->period != labelPeriod) {
            label.clear();
            appendLocalTime(label, first->period, RWZone::utc());
            labelPeriod = first->period;
        }
        formatLine(text, label, _groups.key(first->key), first->group, first->group == NO_GROUP,
                   overflows);
    }
}

void Merger::formatLine(std::string& text, const std::string& label, std::string_view key,
                        std::uint32_t g, bool empty, std::vector<std::uint64_t>& overflows) const {
    const OutputFormat format = _options.format;
    const bool json = format == OutputFormat::Jsonl;
    const char separator = format == OutputFormat::Csv ? ',' : '\t';
    std::size_t column = 0;  // in _names order, for JSON
    const std::vector<std::string>& names = _jsonNames;
    auto open = [&]() {
        if (json) {
            text += column == 0 ? "{" : ",";
            text += names[column];
        } else if (column != 0) {
            text.push_back(separator);
        }
        ++column;
    };
    auto textField = [&](std::string_view field) {
        open();
        if (json)
            appendJsonString(text, field);
        else
            appendField(text, field, format);
    };
    // An empty figure is an empty field (null in JSON); an overflowed sum is "inf" in text,
    // which JSON has no number for.
    auto number = [&](double x) {
        open();
        if (json && !std::isfinite(x))
            text += "null";
        else if (!std::isnan(x))
            QelNumberText::append(text, x);
    };
    textField(label);
    for (std::size_t i = 0; i < _keyNames.size(); ++i) {
        const std::size_t end = std::min(key.find('\0'), key.size());
        textField(key.substr(0, end));
        key.remove_prefix(std::min(end + 1, key.size()));
    }
    if (_count) number(empty ? 0.0 : static_cast<double>(_groups.group(g).count));
    for (std::size_t v = 0; v < _givenValueNames.size(); ++v) {
        for (const QelAggregate& a : _perColumn) {
            const bool zero = a.kind() == QelAggregate::N;
            const double x = empty ? (zero ? 0.0 : std::nan("")) : _groups.value(g, v, a);
            if (a.kind() == QelAggregate::Sum && std::isinf(x)) ++overflows[v];
            number(x);
        }
    }
    text += json ? "}\n" : "\n";
}

std::string Merger::summary() const {
    auto count = [](std::uint64_t n, const char* one, const char* many) {
        return std::to_string(n) + (n == 1 ? one : many);
    };
    std::string text = count(_rows, " row read, ", " rows read, ") +
                       std::to_string(_rows - _skipped - _filtered) + " grouped, " +
                       std::to_string(_skipped) + " skipped";
    if (_filtered != 0) text += ", " + std::to_string(_filtered) + " filtered";
    if (_blankLines != 0) text += ", " + count(_blankLines, " blank line", " blank lines");
    const QelPeriod& period = _layout->period;
    return text + "; period " +
           (period.kind() == QelPeriod::Named
                ? std::string(NqTimeAggregation(period.code()).aggregationDesc())
                : period.name());
}
