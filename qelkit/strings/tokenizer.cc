// SPDX-License-Identifier: Apache-2.0
#include "qelkit/strings/tokenizer.h"

#include <cstring>

#include "qelkit/internal/byte_scan.h"

using qelkit_internal::findByteOrNul;

Tokenizer::Tokenizer(const QelString& text, int collapse)
    : _string(text), _current(_string.data()), _end(0), _first(1), _collapse(collapse) {}

// _current never passes the first NUL byte: it only steps over bytes equal to the delimiter,
// and a NUL delimiter is caught as the end before any step.
QelString Tokenizer::next(const char delimiter) const {
    if (*_current == '\0') {
        if (_first)
            _first = 0;
        else
            _end = 1;
        return QelString::_nullString;
    }
    if (_first) {
        _first = 0;
    } else if (*_current == delimiter) {
        // _current stands on the delimiter that ended the previous field.
        ++_current;
        if (_collapse)
            while (*_current == delimiter) ++_current;
    }
    const char* const start = _current;
    _current = findByteOrNul(start, delimiter);
    if (_current == start) return QelString::_nullString;
    return QelString(start, static_cast<std::size_t>(_current - start));
}
