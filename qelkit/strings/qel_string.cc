// SPDX-License-Identifier: Apache-2.0
// Construction from numbers, printf-style formatting, counting and reversal.
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "qelkit/strings/qel_string.h"

const char* QelString::formatInt = "%d";
const char* QelString::formatDouble = "%1.14G";

// Constant-initialised (its constructor is constexpr): it exists before any file's dynamic
// initialisation and its destructor runs at unload, in reverse order of construction.
const QelString QelString::_nullString;

namespace {

// Formats into `stack` (of stackSize bytes, at most stackSize - 1 written) and, when the text
// does not fit, a second time into a heap block of the exact size. Calls `place(text, n)` with
// the complete text of n bytes. A negative count from vsnprintf places nothing.
template <class Place>
void formatTwice(char* stack, std::size_t stackSize, const char* format, va_list args,
                 Place&& place) {
    const std::size_t limit = stackSize - 1;
    va_list first;
    va_copy(first, args);
    const int count = std::vsnprintf(stack, limit, format, first);
    va_end(first);
    stack[limit] = '\0';
    if (count < 0) return;
    const std::size_t n = static_cast<std::size_t>(count);
    if (n < limit) {
        place(static_cast<const char*>(stack), n);
        return;
    }
    std::unique_ptr<char[]> heap(new char[n + 2]);
    heap[n + 1] = '\0';
    va_list second;
    va_copy(second, args);
    std::vsnprintf(heap.get(), n + 1, format, second);
    va_end(second);
    place(static_cast<const char*>(heap.get()), n);
}

constexpr std::size_t kFormatBuffer = 2048;
constexpr std::size_t kAssignBuffer = 256;

}  // namespace

QelString::QelString(int value, const char* format) { appendFormat(format, value); }

QelString::QelString(double value, const char* format) { appendFormat(format, value); }

QelString QelString::vformat(const char* format, va_list args) {
    QelString result;
    if (format == nullptr || format[0] == '\0') return result;
    char stack[kFormatBuffer];
    formatTwice(stack, kFormatBuffer, format, args, [&result](const char* text, std::size_t n) {
        result = QelString(RWSize_T(n + 1));
        result.append(text, n);
    });
    return result;
}

QelString QelString::format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    QelString result = vformat(format, args);
    va_end(args);
    return result;
}

void QelString::assignFormat(const char* format, ...) {
    assert(format != nullptr);
    va_list args;
    va_start(args, format);
    char stack[kAssignBuffer];
    formatTwice(stack, kAssignBuffer, format, args, [this](const char* text, std::size_t n) {
        // Emptied, then n bytes reserved; the text ends at its first NUL byte.
        *this = QelString(RWSize_T(n));
        const void* nul = std::memchr(text, '\0', n);
        append(text, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : n);
    });
    va_end(args);
}

void QelString::appendFormat(const char* format, ...) {
    assert(format != nullptr);
    va_list args;
    va_start(args, format);
    char stack[kAssignBuffer];
    formatTwice(stack, kAssignBuffer, format, args, [this](const char* text, std::size_t n) {
        capacity(length() + n);
        append(text, n);
    });
    va_end(args);
}

int QelString::numberof(const char c) const {
    if (c == '\0') return 0;
    int count = 0;
    for (const char* p = data(); *p != '\0'; ++p)
        if (*p == c) ++count;
    return count;
}

int QelString::numberofwords() const {
    // Counts the tokens of the vendor tokenizer with its default delimiters " \t\n": runs of
    // bytes that are neither a delimiter nor NUL (an embedded NUL always separates tokens).
    int words = 0;
    bool inWord = false;
    const char* p = data();
    for (std::size_t i = 0, n = length(); i < n; ++i) {
        const char c = p[i];
        const bool separator = c == ' ' || c == '\t' || c == '\n' || c == '\0';
        if (!separator && !inWord) ++words;
        inWord = !separator;
    }
    return words;
}

void QelString::endWithNewline() {
    const std::size_t n = length();
    if (n != 0 && data()[n - 1] != '\n') append('\n');
}

QelString& QelString::reverse() {
    const std::size_t n = length();
    if (n < 2) return *this;
    char* p = mutableData();
    for (std::size_t i = 0; i < n / 2; ++i) {
        const char t = p[i];
        p[i] = p[n - 1 - i];
        p[n - 1 - i] = t;
    }
    return *this;
}

unsigned qelStringHash(const QelString& s) { return s.hash(RWCString::exact); }
