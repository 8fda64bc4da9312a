// SPDX-License-Identifier: Apache-2.0
// Stripping, escapes, quoting, character removal, replacement and byte scrambling.
#include <cctype>
#include <vector>

#include "qelkit/foundation/rw_errors.h"
#include "qelkit/strings/qel_string.h"

QelString QelString::stripWhiteSpace(RWCString::stripType how) {
    const std::size_t n = length();
    if (n == 0) return _nullString;
    if (how != leading && how != trailing && how != both) return *this;
    const char* p = data();
    auto space = [p](std::size_t i) { return std::isspace(static_cast<unsigned char>(p[i])) != 0; };
    std::size_t start = 0;
    std::size_t end = n;  // one past the last byte kept
    if (how == leading || how == both) {
        while (start < n && space(start)) ++start;
        if (start == n) return QelString();
    }
    if (how == trailing || how == both) {
        while (end > start && space(end - 1)) --end;
    }
    if (start == 0 && end == n) return *this;
    return QelString(p + start, end - start);
}

QelString QelString::unescape() {
    const std::size_t n = length();
    const char* p = data();
    const void* hit = std::memchr(p, '\\', n);
    if (hit == nullptr) return *this;
    // One pass: copy the runs between backslashes and resolve each escape as it comes. A
    // backslash never starts a new escape when it is itself the escaped byte.
    QelString out{RWSize_T(n)};
    std::size_t i = 0;
    while (hit != nullptr) {
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - p);
        out.append(p + i, at - i);
        if (at + 1 == n) {
            // The bounds error of the byte the backslash would escape, saying why it is missing.
            throw RWBoundsErr(QelString::format(
                "QelString::unescape: lone backslash at the end of the text (index %zu out of "
                "range [0, %zu))",
                n, n));
        }
        char c = p[at + 1];
        if (c == 'n')
            c = '\n';
        else if (c == 'r')
            c = '\r';
        else if (c == 't')
            c = '\t';
        out.append(c);
        i = at + 2;
        hit = i < n ? std::memchr(p + i, '\\', n - i) : nullptr;
    }
    out.append(p + i, n - i);
    return out;
}

QelString QelString::quote(const QelString& q) const {
    QelString out{RWSize_T(length() + 2 * q.length())};
    out.append(q);
    out.append(*this);
    out.append(q);
    return out;
}

QelString QelString::reduce(const QelString& chars) const {
    bool drop[256] = {};
    const unsigned char* c = reinterpret_cast<const unsigned char*>(chars.data());
    for (std::size_t k = 0; k < chars.length(); ++k) drop[c[k]] = true;

    const std::size_t n = length();
    const char* p = data();
    QelString out{RWSize_T(n + 1)};
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (drop[static_cast<unsigned char>(p[i])]) {
            out.append(p + runStart, i - runStart);
            runStart = i + 1;
        }
    }
    out.append(p + runStart, n - runStart);
    return out;
}

void QelString::replaceAll(const QelString& from, const QelString& to) {
    const std::size_t fromLen = from.length();
    if (fromLen == 0) return;
    // Matches are found left to right and never overlap; searching on in the original text
    // after each match is the same as searching after the inserted text, which is never
    // searched again. Collecting the matches first lets the result be built in one pass.
    std::vector<std::size_t> matches;
    for (std::size_t at = index(from, 0); at != RW_NPOS; at = index(from, at + fromLen))
        matches.push_back(at);
    if (matches.empty()) return;

    const std::size_t toLen = to.length();
    const std::size_t n = length();
    if (toLen == fromLen) {
        char* p = mutableData();
        for (std::size_t at : matches) std::memcpy(p + at, to.data(), toLen);
        return;
    }
    const std::size_t resultLen = n - matches.size() * fromLen + matches.size() * toLen;
    QelString out{RWSize_T(resultLen > capacity() ? resultLen : capacity())};
    const char* p = data();
    std::size_t prev = 0;
    for (std::size_t at : matches) {
        out.append(p + prev, at - prev);
        out.append(to.data(), toLen);
        prev = at + fromLen;
    }
    out.append(p + prev, n - prev);
    *this = std::move(out);
}

void QelString::transposeInPlace(char from, char to) {
    const std::size_t n = length();
    const void* hit = std::memchr(data(), from, n);
    if (hit == nullptr) return;
    std::size_t i = static_cast<std::size_t>(static_cast<const char*>(hit) - data());
    char* p = mutableData();
    for (; i < n; ++i)
        if (p[i] == from) p[i] = to;
}

QelString QelString::transpose(char from, char to) const {
    QelString copy(*this);
    copy.transposeInPlace(from, to);
    return copy;
}

void QelString::encrypt() {
    char* p = mutableData();
    for (std::size_t i = 0, n = length(); i < n; ++i)
        p[i] = static_cast<char>(static_cast<unsigned char>(p[i]) + 128u);
}

void QelString::decrypt() { encrypt(); }
