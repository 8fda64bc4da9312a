// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/row_grouper.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>
#include <system_error>

#include "qelkit/datetime/qel_time_text.h"
#include "qelkit/foundation/rw_time.h"
#include "qelkit/strings/qel_number_text.h"
#include "tools/qelkit_agg/agg_error.h"
#include "tools/qelkit_agg/output.h"

namespace {

class Grouper {
  public:
    Grouper(const RowLayout& layout, ChunkResult& result)
        : _layout(layout),
          _result(result),
          _timeText(layout.timeText),
          _numbers(layout.valueFields.size()) {}

    // Groups one row, or reports why it cannot be grouped. Returns false for a bad row.
    bool row(const std::vector<std::string_view>& fields, const QelRecordReader::Record& record,
             std::uint64_t line);

  private:
    bool bad(std::uint64_t line, std::string reason) {
        _result.bad.push_back(BadRow{line, std::move(reason)});
        return false;
    }
    // The period start and instant of a time text.
    struct When {
        std::int64_t start;
        QelPeriodAggregator::Instant at;
    };
    // The period start of the time text, or a reason why there is none.
    RowOutcome<When> periodOf(std::string_view text) const;
    // Why `field` of value column `i` is no number (`result` from QelNumberText::read).
    std::string numberProblem(std::size_t i, std::string_view field,
                              QelNumberText::Result result) const;
    bool isMissing(std::string_view field) const {
        if (field.empty()) return true;
        if (!_hasNulls) return false;
        for (const std::string& text : _layout.nulls)
            if (field == text) return true;
        return false;
    }

    const RowLayout& _layout;
    ChunkResult& _result;
    const QelTimeText _timeText;
    std::vector<double> _numbers;
    const bool _hasNulls = !_layout.nulls.empty();
    const bool _filters = _layout.hasFrom || _layout.hasTo;
    const bool _tracksTime = _layout.unfrozenZone != nullptr;
    std::string _key;
    std::string _lastTime;  // the last time text that gave a period start
    When _last{0, {0, 0}};
    bool _haveLast = false;
};

RowOutcome<Grouper::When> Grouper::periodOf(std::string_view text) const {
    using Outcome = RowOutcome<When>;
    QelTimeText::Time time;
    if (_timeText.read(text, time) != QelTimeText::Ok)
        return Outcome::failure("time does not parse: '" + shownField(text) + "'");
    const RWZone& zone = *_layout.zone;
    std::int64_t utc = time.wall - time.offsetEast;
    std::int64_t wall = time.wall;
    if (time.hasOffset) {
        wall = utc - zone.offsetAt(utc);
    } else {
        // A reading skipped when the clocks go forward maps to an instant that reads otherwise.
        utc = zone.utcFromLocal(time.wall);
        if (utc - zone.offsetAt(utc) != time.wall) {
            return Outcome::failure(
                "time does not exist in the local zone (the clocks skip it): '" + shownField(text) +
                "'");
        }
    }
    std::int64_t start = 0;
    if (!_layout.period.start(utc, wall, _layout.startOfWeek, zone, start))
        return Outcome::failure("time outside the calendar: '" + shownField(text) + "'");
    return Outcome::success(When{start, {utc, static_cast<std::int32_t>(time.nanos)}});
}

std::string Grouper::numberProblem(std::size_t i, std::string_view field,
                                   QelNumberText::Result result) const {
    return "column " + _layout.valueLabels[i] +
           (result == QelNumberText::OutOfRange ? " is out of range: '" : " is not a number: '") +
           shownField(field) + "'";
}

bool Grouper::row(const std::vector<std::string_view>& fields,
                  const QelRecordReader::Record& record, std::uint64_t line) {
    switch (record.problem) {
        case QelRecordReader::Problem::Nul:
            return bad(line, "the row holds a NUL byte");
        case QelRecordReader::Problem::StrayQuote:
            return bad(line, "text after the closing quote of a field");
        case QelRecordReader::Problem::OpenQuote:
            return bad(line, "a quoted field is not closed at the end of the data");
        case QelRecordReader::Problem::None:
            break;
    }
    if (record.fieldCount < _layout.needed) {
        return bad(line, "too few fields (" + std::to_string(record.fieldCount) + ", need " +
                             std::to_string(_layout.needed) + ")");
    }
    // Readings of several devices usually share their time text: one parse per run of them.
    const std::string_view time = fields[_layout.timeField];
    if (!_haveLast || time != _lastTime) {
        RowOutcome<When> when = periodOf(time);
        if (!when.ok()) return bad(line, std::move(when.reason()));
        _lastTime.assign(time);
        _last = when.value();
        _haveLast = true;
    }
    const std::int64_t utc = _last.at.seconds;
    if (_filters &&
        ((_layout.hasFrom && utc < _layout.fromUtc) || (_layout.hasTo && utc >= _layout.toUtc))) {
        ++_result.filtered;
        return true;
    }
    for (std::size_t i = 0; i < _numbers.size(); ++i) {
        const std::string_view field = fields[_layout.valueFields[i]];
        if (isMissing(field)) {
            _numbers[i] = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        const QelNumberText::Result n = QelNumberText::read(field, _numbers[i]);
        if (n != QelNumberText::Ok) return bad(line, numberProblem(i, field, n));
    }
    if (_tracksTime) {
        if (!_result.anyTime || utc < _result.firstUtc) _result.firstUtc = utc;
        if (!_result.anyTime || utc > _result.lastUtc) _result.lastUtc = utc;
        _result.anyTime = true;
    }
    // One key column is its own key; several are joined by NUL bytes.
    std::string_view keyText;
    if (_layout.keyFields.size() == 1) {
        keyText = fields[_layout.keyFields[0]];
    } else {
        _key.clear();
        for (std::size_t i = 0; i < _layout.keyFields.size(); ++i) {
            if (i != 0) _key.push_back('\0');
            _key.append(fields[_layout.keyFields[i]]);
        }
        keyText = _key;
    }
    const std::uint32_t key = _result.groups.keyId(keyText);
    if (_layout.rows) {
        _result.grouped.push_back(GroupedRow{line, _last.start, key});
    } else {
        _result.groups.add(_last.start, key, _numbers.data(), _last.at);
    }
    return true;
}

}  // namespace

ChunkResult groupChunk(const RowLayout& layout, const char* base, std::size_t baseOffset,
                       std::size_t begin, std::size_t stopAt, std::size_t dataEnd) {
    ChunkResult result(layout.valueFields.size(), layout.aggregates);
    result.begin = begin;
    QelRecordReader reader(layout.dialect, layout.needed);
    Grouper grouper(layout, result);
    const char* p = base + (begin - baseOffset);
    const char* const stop = base + (stopAt - baseOffset);
    const char* const end = base + (dataEnd - baseOffset);
    QelRecordReader::Record record;
    while (p < stop && p < end) {
        const std::uint64_t line = result.lineBreaks;
        p = reader.read(p, end, true, record);
        result.lineBreaks += record.lineBreaks;
        if (record.blank) {
            ++result.blankLines;
            continue;
        }
        ++result.rows;
        if (!grouper.row(reader.fields(), record, line) && layout.stopAtBadRow) break;
    }
    result.end = static_cast<std::size_t>(p - base) + baseOffset;
    return result;
}
