// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/record_scanner.h"

#include <algorithm>
#include <cstring>

std::size_t RecordScanner::next(const char* data, std::size_t size, std::size_t target) noexcept {
    const char* const end = data + size;
    while (_pos < size) {
        const char* p = data + _pos;
        if (_state == State::Quoted) {
            const auto* quote = static_cast<const char*>(std::memchr(p, '"', end - p));
            _pos = quote == nullptr ? size : static_cast<std::size_t>(quote + 1 - data);
            if (quote != nullptr) _state = State::QuoteSeen;
            continue;
        }
        if (_state == State::QuoteSeen) {
            if (*p == '"') {  // a doubled quote: still inside the field
                _state = State::Quoted;
                ++_pos;
                continue;
            }
            _state = State::Unquoted;  // the field is closed; what follows is plain text
        }
        // Outside quotes every line feed ends a record, and a quote matters only where a field
        // starts: up to the next quote, the line feeds decide.
        const char* quote =
            _quotes ? static_cast<const char*>(std::memchr(p, '"', end - p)) : nullptr;
        const char* const plainEnd = quote != nullptr ? quote : end;
        const char* const from = std::max(p, data + target - 1);
        if (from < plainEnd) {
            const auto* lineFeed = static_cast<const char*>(std::memchr(from, '\n', plainEnd - from));
            if (lineFeed != nullptr) {
                _pos = _recordStart = static_cast<std::size_t>(lineFeed + 1 - data);
                _state = State::FieldStart;
                return _pos;
            }
        }
        const void* last = ::memrchr(p, '\n', static_cast<std::size_t>(plainEnd - p));
        if (last != nullptr) _recordStart = static_cast<std::size_t>(static_cast<const char*>(last) + 1 - data);
        if (quote == nullptr) {
            if (end > p)
                _state = end[-1] == '\n' || end[-1] == _delimiter ? State::FieldStart
                                                                  : State::Unquoted;
            _pos = size;
            break;
        }
        const bool fieldStart = quote == p ? _state == State::FieldStart
                                           : quote[-1] == '\n' || quote[-1] == _delimiter;
        _state = fieldStart ? State::Quoted : State::Unquoted;
        _pos = static_cast<std::size_t>(quote + 1 - data);
    }
    return NONE;
}

void RecordScanner::drop(std::size_t n) noexcept {
    _pos -= std::min(n, _pos);
    _recordStart = _recordStart > n ? _recordStart - n : 0;
}

std::size_t countLineFeeds(const char* data, std::size_t size) noexcept {
    return static_cast<std::size_t>(std::count(data, data + size, '\n'));
}
