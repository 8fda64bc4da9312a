// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/qel_record_scanner.h"

#include <algorithm>
#include <cstring>

std::size_t QelRecordScanner::lineFeedFrom(const char* data, std::size_t size,
                                           std::size_t from) noexcept {
    std::size_t searchFrom = from;
    if (from >= _clearFrom && from <= _clearTo) {
        if (_clearToLineFeed) return _clearTo;
        searchFrom = _clearTo;
    }
    const void* lineFeed = std::memchr(data + searchFrom, '\n', size - searchFrom);
    _clearFrom = from;
    _clearToLineFeed = lineFeed != nullptr;
    _clearTo = lineFeed != nullptr
                   ? static_cast<std::size_t>(static_cast<const char*>(lineFeed) - data)
                   : size;
    return _clearToLineFeed ? _clearTo : npos;
}

void QelRecordScanner::passPlain(const char* data, std::size_t from, std::size_t to) noexcept {
    if (to == from) return;
    const void* last = ::memrchr(data + from, '\n', to - from);
    if (last != nullptr)
        _recordStart = static_cast<std::size_t>(static_cast<const char*>(last) + 1 - data);
    _state =
        data[to - 1] == '\n' || data[to - 1] == _delimiter ? State::FieldStart : State::Unquoted;
    _pos = to;
}

std::size_t QelRecordScanner::next(const char* data, std::size_t size,
                                   std::size_t target) noexcept {
    auto find = [data](char c, std::size_t from, std::size_t to) {
        return from < to ? static_cast<const char*>(std::memchr(data + from, c, to - from))
                         : nullptr;
    };
    while (_pos < size) {
        if (_state == State::Quoted) {
            const char* quote = find('"', _pos, size);
            _pos = quote == nullptr ? size : static_cast<std::size_t>(quote + 1 - data);
            if (quote != nullptr) _state = State::QuoteSeen;
            continue;
        }
        if (_state == State::QuoteSeen) {
            if (data[_pos] == '"') {  // a doubled quote: still inside the field
                _state = State::Quoted;
                ++_pos;
                continue;
            }
            _state = State::Unquoted;  // the field is closed; what follows is plain text
        }
        // Outside quotes every line feed ends a record, and a quote matters only where a field
        // starts. Before the target only the quotes count; from there on, the first line feed
        // or quote.
        const std::size_t from = std::min(std::max(_pos, target - 1), size);
        const char* quote = _quotes ? find('"', _pos, from) : nullptr;
        if (quote == nullptr) {
            passPlain(data, _pos, from);
            const std::size_t lineFeed = lineFeedFrom(data, size, from);
            const std::size_t plainEnd = lineFeed == npos ? size : lineFeed;
            quote = _quotes ? find('"', from, plainEnd) : nullptr;
            if (quote == nullptr) {
                if (lineFeed == npos) {
                    passPlain(data, from, size);
                    break;
                }
                _pos = _recordStart = lineFeed + 1;
                _state = State::FieldStart;
                return _pos;
            }
        }
        const std::size_t at = static_cast<std::size_t>(quote - data);
        const bool fieldStart =
            at == _pos ? _state == State::FieldStart : quote[-1] == '\n' || quote[-1] == _delimiter;
        passPlain(data, _pos, at);
        _state = fieldStart ? State::Quoted : State::Unquoted;
        _pos = at + 1;
    }
    return npos;
}

void QelRecordScanner::drop(std::size_t n) noexcept {
    _pos -= std::min(n, _pos);
    _recordStart = _recordStart > n ? _recordStart - n : 0;
    if (_clearFrom >= n) {
        _clearFrom -= n;
        _clearTo -= n;
    } else {
        _clearFrom = _clearTo = 0;
        _clearToLineFeed = false;
    }
}

std::size_t QelRecordScanner::countLineFeeds(const char* data, std::size_t size) noexcept {
    return static_cast<std::size_t>(std::count(data, data + size, '\n'));
}
