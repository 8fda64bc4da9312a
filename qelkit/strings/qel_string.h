// SPDX-License-Identifier: Apache-2.0
// QelString: the library's string type. It is an RWCString (shared, copy-on-write bytes that may
// hold NULs) with no data of its own, extended with printf-style formatting, counting, stripping,
// escaping, quoting, replacement, a reversible scrambling and numbered placeholders ("%1" ...
// "%99") filled in order by doArg. Every other part of the library passes text as QelString.
#ifndef QELKIT_STRINGS_QEL_STRING_H
#define QELKIT_STRINGS_QEL_STRING_H

#include <cstdarg>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_cstring.h"

class QELKIT_API QelString : public RWCString {
  public:
    // Default format of the integer constructor; "%d" at load. Re-point it only before other
    // threads construct numbers.
    static const char* formatInt;
    // Default format of the floating-point constructor; "%1.14G" at load.
    static const char* formatDouble;
    // The shared empty string. It is constant-initialised, so it exists before any dynamic
    // initialisation of any file and may be used from other load-time objects.
    static const QelString _nullString;

    constexpr QelString() noexcept = default;
    QelString(const char* cs) : RWCString(cs) {}
    QelString(const char* cs, std::size_t n) : RWCString(cs, n) {}
    QelString(const RWCString& s) noexcept : RWCString(s) {}
    QelString(RWCString&& s) noexcept : RWCString(std::move(s)) {}
    QelString(const QelString& s) noexcept = default;
    QelString(QelString&& s) noexcept = default;
    QelString(const RWCSubString& s) : RWCString(s) {}
    QelString(const RWCConstSubString& s) : RWCString(s) {}
    QelString(char c, std::size_t n) : RWCString(c, n) {}
    explicit QelString(RWSize_T cap) : RWCString(cap) {}
    // The text of `value` under the printf-style `format` (read at the call); format must not
    // be null.
    explicit QelString(int value, const char* format = formatInt);
    // Likewise for a double; the default format is formatDouble ("%1.14G").
    explicit QelString(double value, const char* format = formatDouble);

    QelString& operator=(const QelString& s) noexcept = default;
    QelString& operator=(QelString&& s) noexcept = default;
    QelString& operator=(const RWCString& s) noexcept {
        RWCString::operator=(s);
        return *this;
    }
    QelString& operator=(const char* cs) {
        RWCString::operator=(cs);
        return *this;
    }

    // ---- Formatting ----------------------------------------------------------------------
    // A new string holding the formatted text. A null or empty format gives an empty string.
    static QelString format(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static QelString vformat(const char* format, va_list args);
    // Replaces the content by the formatted text, up to its first NUL byte. format must not be
    // null.
    void assignFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Appends the whole formatted text, NUL bytes included. format must not be null.
    void appendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // ---- Counting and small edits --------------------------------------------------------
    // Bytes equal to c before the first NUL byte; numberof('\0') is 0.
    int numberof(const char c) const;
    // Runs of bytes other than space, tab and newline (the vendor tokenizer's tokens).
    int numberofwords() const;
    // Appends "\n" unless the string is empty or already ends with one.
    void endWithNewline();
    // Reverses the bytes in place; returns *this.
    QelString& reverse();

    // ---- Transformations -----------------------------------------------------------------
    // A copy without leading and/or trailing white space (isspace under the current locale);
    // any `how` other than leading, trailing or both gives an unchanged copy.
    QelString stripWhiteSpace(RWCString::stripType how);
    // A copy with backslash escapes resolved ("\n", "\r", "\t"; any other escaped byte stands
    // for itself). Throws RWBoundsErr, naming the lone backslash, when the last byte is a
    // backslash with nothing after it.
    QelString unescape();
    // q, then the string, then q.
    QelString quote(const QelString& q) const;
    // A copy without every byte that occurs in `chars`.
    QelString reduce(const QelString& chars) const;
    // Replaces every occurrence of `from`, left to right and without overlap, by `to`; text
    // inserted from `to` is not searched again. An empty `from` changes nothing.
    void replaceAll(const QelString& from, const QelString& to);
    // Replaces every byte equal to `from` (NULs included) by `to`.
    void transposeInPlace(char from, char to);
    // A copy after transposeInPlace(from, to).
    QelString transpose(char from, char to) const;
    // Flip the top bit of every byte (each undoes the other and itself); unshares first.
    void encrypt();
    void decrypt();

    // ---- Numbered placeholders "%1" ... "%99" --------------------------------------------
    // The text of the leftmost placeholder, or an empty string.
    QelString firstArg();
    // The text of the placeholder with the smallest number, or an empty string.
    QelString lowestArg();
    // Replaces every occurrence of the lowest placeholder by `value`, or appends `value` when
    // there is none. Returns *this for chaining.
    QelString& doArg(const QelString& value);
};

// The vendor's case-sensitive hash of s; the hash function of hashed collections of QelString.
QELKIT_API unsigned qelStringHash(const QelString& s);

#endif  // QELKIT_STRINGS_QEL_STRING_H
