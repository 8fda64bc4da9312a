// SPDX-License-Identifier: Apache-2.0
#include "qelkit/strings/etoken.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "qelkit/internal/byte_scan.h"

namespace {

constexpr const char* kWhiteSpace = " \t\n";
constexpr int kHistorySize = 10;

using qelkit_internal::ByteSet;
using qelkit_internal::findByteOrNul;

// Moves p over the delimiters and returns the end of the token that follows: the first
// delimiter or NUL after it. Both scans stop at a NUL, as strspn and strcspn do; an empty token
// means p stands on a NUL.
inline const char* scanToken(const char*& p, char delimiter) {
    while (*p == delimiter) ++p;
    return findByteOrNul(p, delimiter);
}

// Kept out of line so that the single-delimiter path stays small.
[[gnu::noinline]] const char* scanToken(const char*& p, const char* skip) {
    const ByteSet set(skip);
    while (set.has(*p)) ++p;
    const char* q = p;
    while (*q != '\0' && !set.has(*q)) ++q;
    return q;
}

}  // namespace

QelTokenizer::QelTokenizer(const RWCString& text)
    : _string(text), _place(_string.data()), _history{}, _historyCount(0) {}

QelTokenizer::~QelTokenizer() = default;

// The position is kept as an address, but after rewinds over unrecorded moves it can lie a few
// bytes past the buffer. Offsets are therefore computed on integer addresses, which never forms
// an out-of-range pointer through array arithmetic; _place is only dereferenced after checking
// that its offset is below the length.
std::ptrdiff_t QelTokenizer::offset() const {
    return static_cast<std::ptrdiff_t>(reinterpret_cast<std::uintptr_t>(_place) -
                                       reinterpret_cast<std::uintptr_t>(_string.data()));
}

void QelTokenizer::moveTo(std::ptrdiff_t offset) {
    // An offset past the text is kept without forming an out-of-range pointer.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    _place = reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(_string.data()) +
                                           static_cast<std::uintptr_t>(offset));
}

void QelTokenizer::record(int step) {
    if (_historyCount >= kHistorySize) _historyCount = 0;
    _history[_historyCount++] = step;
}

// Inlined into each caller: the call overhead is a noticeable share of reading a short token.
[[gnu::always_inline]] inline const char* QelTokenizer::tokenStep(const char* skip) {
    assert(skip);
    const char* const base = _string.data();
    const std::size_t len = _string.length();
    const std::ptrdiff_t from = offset();
    if (from < 0 || static_cast<std::size_t>(from) >= len) return nullptr;

    // p and q stay within [base, base + len + 1]: each scan stops at the terminating NUL at
    // base[len] at the latest, and a NUL is stepped over only while below the length.
    const char* const end = base + len;
    const char* p = base + from;
    const char* q;
    const bool single = skip[0] != '\0' && skip[1] == '\0';
    for (;;) {
        q = single ? scanToken(p, skip[0]) : scanToken(p, skip);
        if (q != p) break;
        // On a NUL byte, inside the text or the terminator: step over it.
        if (++p >= end) {
            _place = p;
            return nullptr;
        }
    }
    _place = q;
    record(static_cast<int>((q - base) - from));
    return p;
}

RWCSubString QelTokenizer::operator()(const char* skip) {
    const char* const token = tokenStep(skip);
    // Taking a sub-string goes through a non-const accessor of _string; the position is set
    // again from its offset so that it stays valid even if that accessor gave _string its own
    // buffer. A single result object lets the sub-string be built in the caller's slot.
    const std::ptrdiff_t at = offset();
    RWCSubString result = token ? _string(static_cast<std::size_t>(token - _string.data()),
                                          static_cast<std::size_t>(_place - token))
                                : _string(RW_NPOS, 0);
    moveTo(at);
    return result;
}

RWCSubString QelTokenizer::operator()() { return (*this)(kWhiteSpace); }

void QelTokenizer::rewind() {
    if (_historyCount == 0) return;
    --_historyCount;
    moveTo(offset() - _history[_historyCount]);
}

int QelTokenizer::nextInt(const char* skip) {
    // The token is copied so that the conversion stops at its end and not at a later byte.
    RWCString token;
    if (const char* start = tokenStep(skip))
        token = RWCString(start, static_cast<std::size_t>(_place - start));
    return std::atoi(token.data());
}

double QelTokenizer::nextDouble(const char* skip) {
    RWCString token;
    if (const char* start = tokenStep(skip))
        token = RWCString(start, static_cast<std::size_t>(_place - start));
    return std::atof(token.data());
}

int QelTokenizer::advance(const char* chars) {
    const std::ptrdiff_t at = offset();
    if (chars[0] == '\0' || at < 0 || static_cast<std::size_t>(at) >= _string.length()) return 0;
    const char current = *_place;
    for (const char* c = chars; *c != '\0'; ++c) {
        if (*c == current) {
            ++_place;
            return 1;
        }
    }
    return 0;
}

int QelTokenizer::location() const { return static_cast<int>(offset()); }

void QelTokenizer::location(unsigned pos) {
    const std::size_t len = _string.length();
    const std::ptrdiff_t target = static_cast<std::ptrdiff_t>(std::min<std::size_t>(pos, len));
    const std::ptrdiff_t from = offset();
    moveTo(target);
    record(static_cast<int>(target - from));
}

bool QelTokenizer::atEnd() const {
    const std::ptrdiff_t at = offset();
    return at < 0 || static_cast<std::size_t>(at) >= _string.length();
}
