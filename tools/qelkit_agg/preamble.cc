// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/preamble.h"

#include <algorithm>

#include "tools/qelkit_agg/input.h"
#include "tools/qelkit_agg/stream_source.h"

void MappedBytes::drop(std::size_t n) noexcept {
    _data += n;
    _size -= n;
    _scanner.drop(n);
}

// The scanner is shown a doubling part of the file, so that it looks no further than the first
// record (or the row limit).
std::size_t MappedBytes::firstRecord() noexcept {
    for (std::size_t shown = std::min<std::size_t>(_size, 1 << 16);;
         shown = std::min(_size, 2 * shown)) {
        std::size_t end = _scanner.next(_data, shown, 1);
        if (end == QelRecordScanner::npos && shown == _size) end = _size;
        if (end != QelRecordScanner::npos)
            return end > MAX_ROW_BYTES ? QelRecordScanner::npos : end;
        if (shown > MAX_ROW_BYTES) return QelRecordScanner::npos;
    }
}

template <typename Bytes>
Preamble readPreamble(Bytes& bytes, const QelRecordReader::Dialect& dialect,
                      const PreambleRequest& request) {
    Preamble pre;
    auto drop = [&](std::size_t n) {
        bytes.drop(n);
        pre.dataStart += n;
    };
    bytes.fillTo(8);
    pre.unreadable = unreadableData(bytes.data(), bytes.size());
    if (pre.unreadable != nullptr) return pre;
    if (const std::size_t mark = QelRecordReader::byteOrderMark(bytes.data(), bytes.size()))
        drop(mark);
    if (!request.firstRowRules) return pre;
    const bool all = request.keep == PreambleRequest::ALL_NAMES;
    QelRecordReader reader(dialect, all ? 0 : request.keep);
    reader.keepAll(all);
    QelRecordReader::Record record;
    std::size_t length = 0;
    while (true) {
        length = bytes.firstRecord();
        if (length == 0) return pre;
        pre.firstRowLine = pre.lineBreaks + 1;
        if (length == QelRecordScanner::npos) {
            pre.tooLong = true;
            return pre;
        }
        reader.read(bytes.data(), bytes.data() + length, true, record);
        if (!record.blank) break;
        ++pre.blankLines;
        pre.lineBreaks += record.lineBreaks;
        drop(length);
    }
    pre.found = true;
    pre.fieldCount = record.fieldCount;
    pre.problem = record.problem;
    const std::size_t names = std::min(request.keep, record.fieldCount);
    for (std::size_t i = 0; i < names; ++i) pre.names.emplace_back(reader.fields()[i]);
    if (request.header) {
        pre.lineBreaks += record.lineBreaks;
        drop(length);
    }
    return pre;
}

template Preamble readPreamble(MappedBytes&, const QelRecordReader::Dialect&,
                               const PreambleRequest&);
template Preamble readPreamble(StreamSource&, const QelRecordReader::Dialect&,
                               const PreambleRequest&);
