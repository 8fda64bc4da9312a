// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/aggregator.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numeric>

#include "qelkit/datetime/nq_string_to_date.h"
#include "qelkit/datetime/qel_date.h"
#include "qelkit/datetime/qel_time_io.h"
#include "qelkit/foundation/rw_date_time.h"
#include "qelkit/foundation/rw_zone.h"
#include "qelkit/records/nq_exception.h"
#include "qelkit/strings/field_writer.h"
#include "qelkit/strings/qel_string_collection.h"

namespace {

// Rows between two looks at the clock for the progress line.
constexpr std::uint64_t PROGRESS_STRIDE = 1 << 16;
// At most four progress lines a second.
constexpr std::chrono::milliseconds PROGRESS_INTERVAL(250);

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The whole field as a finite number, blanks around it allowed. A field that is empty, has
// anything else after the number, or reads as an infinity or NaN is not a number.
bool parseNumber(const QelString& field, double& value) {
    const char* first = field.data();
    const char* last = first + field.length();
    while (first < last && isBlank(*first)) ++first;
    while (last > first && isBlank(last[-1])) --last;
    if (first < last && *first == '+') ++first;
    if (first == last) return false;
    const std::from_chars_result r = std::from_chars(first, last, value);
    return r.ec == std::errc() && r.ptr == last && std::isfinite(value);
}

std::string text(const QelString& s) { return std::string(s.data(), s.length()); }

// "%.15g", without printf's cost: the output holds four numbers per value column and group.
std::string formatNumber(double value) {
    char text[32];
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
    return std::string(text, r.ptr);
}

}  // namespace

Aggregator::Aggregator(const AggOptions& options, std::ostream& out, std::ostream& err)
    : _options(options),
      _out(out),
      _err(err),
      _period(options.period),
      _startOfWeek(QelDate::startOfWeek()) {}

int Aggregator::fail(const std::string& message) {
    _err << "qelkit-agg: " << message << '\n';
    return kAggUsage;
}

int Aggregator::run() {
    const std::string& file = _options.file;
    struct stat info;
    if (::stat(file.c_str(), &info) != 0)
        return fail("cannot open '" + file + "': " + std::strerror(errno));
    if (S_ISDIR(info.st_mode)) return fail("cannot read '" + file + "': Is a directory");
    if (info.st_size == 0) return fail(file + ": the file is empty");

    NqMappedFileTokenizer tokens(QelString(file.c_str()), _options.delimiter,
                                 _options.collapse ? 1 : 0);
    if (!tokens.good()) return fail("cannot read '" + file + "'");

    // Columns a row must reach: the first line may hold more than are used.
    _needed = static_cast<std::size_t>(_options.timeColumn);
    for (int k : _options.keyColumns) _needed = std::max(_needed, static_cast<std::size_t>(k));
    for (int v : _options.valueColumns) _needed = std::max(_needed, static_cast<std::size_t>(v));
    _keepAll = true;  // the first line's fields all count: they set the value columns
    std::uint64_t line = 1;
    std::size_t count = readLine(tokens);
    if (count == 0) return fail(file + ": the file is empty");
    if (!setUpColumns(count)) return kAggUsage;
    _keepAll = false;
    _fields.resize(_needed);
    if (_options.header) {
        ++line;
        count = readLine(tokens);
        if (count == 0) return fail(file + ": no data after the header line");
    }

    _progress = ::isatty(STDERR_FILENO) == 1;
    _lastProgress = std::chrono::steady_clock::now();
    std::uint64_t rows = 0;
    int status = kAggOk;
    for (; count != 0; ++line, count = readLine(tokens)) {
        ++rows;
        if (!groupRow(count, line) && _options.strict) {
            status = kAggBadRow;
            break;
        }
        if (_progress && rows % PROGRESS_STRIDE == 0) showProgress(rows);
    }
    if (_progress) _err << "\r\033[K";
    if (status == kAggOk && !_options.rows) writeAggregation();
    _err << "qelkit-agg: " << rows << (rows == 1 ? " row" : " rows") << " read, " << rows - _skipped
         << " grouped, " << _skipped << " skipped; period " << _period.aggregationDesc() << '\n';
    return status;
}

std::size_t Aggregator::readLine(NqMappedFileTokenizer& tokens) {
    if (tokens.end()) return 0;
    std::size_t count = 0;
    do {
        QelString field = tokens.next();
        if (count == 0 && tokens.end()) return 0;
        if (count < _fields.size())
            _fields[count] = std::move(field);
        else if (_keepAll)
            _fields.push_back(std::move(field));
        ++count;
    } while (!tokens.endOfLine());
    // A CRLF line keeps its carriage return in the last field.
    if (count <= _fields.size()) {
        QelString& last = _fields[count - 1];
        if (last.length() != 0 && last.data()[last.length() - 1] == '\r')
            last.remove(last.length() - 1);
    }
    tokens.nextLine();
    return count;
}

bool Aggregator::setUpColumns(std::size_t fieldCount) {
    if (_needed > fieldCount) {
        fail("column " + std::to_string(_needed) + " is beyond the " + std::to_string(fieldCount) +
             " fields of the first line of '" + _options.file + "'");
        return false;
    }
    _values = _options.valueColumns;
    if (_values.empty()) {
        for (int c = 1; c <= static_cast<int>(fieldCount); ++c) {
            const auto& keys = _options.keyColumns;
            if (c != _options.timeColumn && std::find(keys.begin(), keys.end(), c) == keys.end())
                _values.push_back(c);
        }
        if (_values.empty()) {
            fail("no value columns: the first line of '" + _options.file + "' has only " +
                 std::to_string(fieldCount) + " fields");
            return false;
        }
        _needed = std::max(_needed, static_cast<std::size_t>(_values.back()));
    }
    _names.resize(_needed);
    for (std::size_t c = 0; c < _needed; ++c) {
        if (_options.header)
            _names[c].assign(_fields[c].data(), _fields[c].length());
        else
            _names[c] = "c" + std::to_string(c + 1);
    }
    _numbers.resize(_values.size());
    return true;
}

unsigned long Aggregator::periodStart(const QelString& timeField, std::uint64_t line) {
    RWTime start(0UL);
    try {
        const RWDateTime when = _options.qelDates ? NqStringToDate::qel::datetime(timeField)
                                                  : NqStringToDate::nq::datetime(timeField);
        if (!when.isValid()) {
            reportBadRow(line, "time does not parse: '" + text(timeField) + "'");
            return 0;
        }
        start = _period.truncate(when.toRWTime(), _startOfWeek);
    } catch (const NqException& e) {
        reportBadRow(line, e.why());
        return 0;
    }
    if (!start.isValid()) {
        reportBadRow(line, "time outside the calendar: '" + text(timeField) + "'");
        return 0;
    }
    return start.seconds();
}

bool Aggregator::groupRow(std::size_t fieldCount, std::uint64_t line) {
    if (fieldCount < _needed) {
        reportBadRow(line, "too few fields (" + std::to_string(fieldCount) + ", need " +
                               std::to_string(_needed) + ")");
        return false;
    }
    const QelString& timeField = _fields[static_cast<std::size_t>(_options.timeColumn) - 1];
    // Readings of several devices usually share their time text: the same text gives the same
    // period start, so it is parsed once per run of equal texts.
    if (_lastStart == 0 || timeField.length() != _lastTimeText.length() ||
        std::memcmp(timeField.data(), _lastTimeText.data(), timeField.length()) != 0) {
        const unsigned long start = periodStart(timeField, line);
        if (start == 0) return false;
        _lastStart = start;
        _lastTimeText = timeField;
    }
    for (std::size_t i = 0; i < _values.size(); ++i) {
        const QelString& field = _fields[static_cast<std::size_t>(_values[i]) - 1];
        if (!parseNumber(field, _numbers[i])) {
            reportBadRow(line, "column " + std::to_string(_values[i]) + " is not a number: '" +
                                   text(field) + "'");
            return false;
        }
    }

    // The key text is rebuilt in place: after the first rows it needs no allocation.
    _keyText.clear();
    for (std::size_t i = 0; i < _options.keyColumns.size(); ++i) {
        const QelString& field = _fields[static_cast<std::size_t>(_options.keyColumns[i]) - 1];
        if (i != 0) _keyText.push_back('\t');
        _keyText.append(field.data(), field.length());
    }
    auto key = _keyIndex.find(_keyText);
    if (key == _keyIndex.end()) {
        key = _keyIndex.emplace(_keyText, static_cast<std::uint32_t>(_keyTexts.size())).first;
        _keyTexts.push_back(_keyText);
    }
    if (_options.rows) {
        writeRow(line, _lastStart);
        return true;
    }

    const GroupKey id{_lastStart, key->second};
    const std::size_t width = 3 * _values.size();
    auto group = _groupIndex.find(id);
    if (group == _groupIndex.end()) {
        group = _groupIndex.emplace(id, static_cast<std::uint32_t>(_groups.size())).first;
        _groups.push_back(Group{id, 0});
        for (double v : _numbers) {
            _stats.push_back(0.0);
            _stats.push_back(v);
            _stats.push_back(v);
        }
    }
    ++_groups[group->second].count;
    double* stats = _stats.data() + group->second * width;
    for (double v : _numbers) {
        stats[0] += v;
        stats[1] = std::min(stats[1], v);
        stats[2] = std::max(stats[2], v);
        stats += 3;
    }
    return true;
}

void Aggregator::reportBadRow(std::uint64_t line, const std::string& reason) {
    ++_skipped;
    _err << _options.file << ':' << line << ": " << reason << '\n';
}

const QelString& Aggregator::periodText(unsigned long period) {
    if (period != _cachedPeriod || _cachedPeriod == 0) {
        _cachedPeriod = period;
        _cachedPeriodText = QelTimeIO(RWTime(period), RWZone::local());
    }
    return _cachedPeriodText;
}

void Aggregator::writeRow(std::uint64_t line, unsigned long period) {
    const int width = _options.keyColumns.empty() ? 2 : 3;
    if (_rowFields.entries() == 0)
        for (int i = 0; i < width; ++i) _rowWriter.addFieldIndex(i);
    _rowFields.clearAndDestroy();
    _rowFields.insert(QelString(std::to_string(line).c_str()));
    _rowFields.insert(periodText(period));
    if (width == 3) _rowFields.insert(QelString(_keyText.data(), _keyText.size()));
    _rowWriter.write(_out, _rowFields);
    _out << '\n';
}

void Aggregator::writeAggregation() {
    // Keys are ranked once, so that sorting the groups compares two integers.
    std::vector<std::uint32_t> byText(_keyTexts.size());
    std::iota(byText.begin(), byText.end(), 0u);
    std::sort(byText.begin(), byText.end(),
              [this](std::uint32_t a, std::uint32_t b) { return _keyTexts[a] < _keyTexts[b]; });
    std::vector<std::uint32_t> rank(_keyTexts.size());
    for (std::uint32_t r = 0; r < byText.size(); ++r) rank[byText[r]] = r;
    std::vector<std::uint32_t> order(_groups.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [this, &rank](std::uint32_t a, std::uint32_t b) {
        const GroupKey& x = _groups[a].id;
        const GroupKey& y = _groups[b].id;
        return x.period != y.period ? x.period < y.period : rank[x.key] < rank[y.key];
    });

    QelStringCollection fields;
    auto add = [&fields](const std::string& text) {
        fields.insert(QelString(text.data(), text.size()));
    };
    add("period");
    for (int k : _options.keyColumns) add(_names[static_cast<std::size_t>(k) - 1]);
    add("count");
    for (int v : _values) {
        const std::string& name = _names[static_cast<std::size_t>(v) - 1];
        for (const char* stat : {"sum_", "min_", "max_", "mean_"}) add(stat + name);
    }
    // One field per key column in the header; a group's key text (its fields joined by tabs)
    // is written as one item, which gives the same columns.
    FieldWriter headerWriter;
    for (int i = 0; i < fields.entries(); ++i) headerWriter.addFieldIndex(i);
    headerWriter.write(_out, fields);
    _out << '\n';

    const int lineFields = 2 + (_options.keyColumns.empty() ? 0 : 1) + 4 * int(_values.size());
    FieldWriter writer;
    for (int i = 0; i < lineFields; ++i) writer.addFieldIndex(i);
    for (std::uint32_t g : order) {
        const Group& group = _groups[g];
        fields.clearAndDestroy();
        fields.insert(periodText(group.id.period));
        if (!_options.keyColumns.empty()) add(_keyTexts[group.id.key]);
        add(std::to_string(group.count));
        const double* stats = _stats.data() + std::size_t(g) * 3 * _values.size();
        for (std::size_t v = 0; v < _values.size(); ++v, stats += 3) {
            add(formatNumber(stats[0]));
            add(formatNumber(stats[1]));
            add(formatNumber(stats[2]));
            add(formatNumber(stats[0] / static_cast<double>(group.count)));
        }
        writer.write(_out, fields);
        _out << '\n';
    }
}

void Aggregator::showProgress(std::uint64_t rows) {
    const auto now = std::chrono::steady_clock::now();
    if (now - _lastProgress < PROGRESS_INTERVAL) return;
    _lastProgress = now;
    _err << "\rqelkit-agg: " << rows << " rows read" << std::flush;
}
