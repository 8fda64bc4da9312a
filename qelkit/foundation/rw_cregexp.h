// SPDX-License-Identifier: Apache-2.0
// RWCRegexp: a compiled regular expression of the classic small syntax, searched in byte strings
// with leftmost-longest semantics. Used for placeholder searches, so a search is cheap: the
// compiled form is immutable and shared by copies, and matching touches no shared scratch, so one
// expression may be searched from many threads at once.
//
// Syntax (bytes, all 256 values):
//   c       an ordinary byte matches itself (NUL included when the pattern is an RWCString)
//   .       any byte
//   [set]   one byte of the set: single bytes and ranges "a-z"; "[^...]" is the complement;
//           a "]" right after "[" or "[^" is a member, as is a "-" first or last;
//           "\" quotes the next byte inside a set too
//   * + ?   zero or more, one or more, zero or one of the preceding one-byte expression
//   ^       first in the pattern: the match starts at subject position 0
//   $       last in the pattern (unquoted): the match ends at the subject's end
//   \c      the byte c itself, whatever it is
// Anywhere else "^" and "$" are ordinary bytes; there are no groups, alternation or counts.
// A malformed pattern (unclosed set, reversed range, quantifier with no one-byte expression
// before it, trailing lone "\") leaves status() ILLEGAL; searches then find nothing.
#ifndef QELKIT_FOUNDATION_RW_CREGEXP_H
#define QELKIT_FOUNDATION_RW_CREGEXP_H

#include <cstddef>
#include <memory>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_defs.h"

class RWCString;

class QELKIT_API RWCRegexp {
  public:
    // OK: compiled. ILLEGAL: malformed pattern. NOMEM: memory ran out while compiling.
    // TOOLONG: more than maxAtoms one-byte expressions.
    enum statVal { OK, ILLEGAL, NOMEM, TOOLONG };

    // The largest number of one-byte expressions a pattern may hold.
    static constexpr std::size_t maxAtoms = 8192;

    // Compiles the bytes of a C string up to its NUL; a null pointer is the empty pattern.
    // Never throws for a bad pattern: see status().
    RWCRegexp(const char* pat);
    // Compiles all length() bytes of `pat`, NULs included (a NUL is an ordinary byte).
    RWCRegexp(const RWCString& pat);
    // Copies share the compiled form, which is never changed afterwards.
    RWCRegexp(const RWCRegexp& other) = default;
    RWCRegexp& operator=(const RWCRegexp& other) = default;
    ~RWCRegexp();
    // Replace the expression by a newly compiled pattern.
    RWCRegexp& operator=(const RWCString& pat);
    RWCRegexp& operator=(const char* pat);

    // The lowest position >= start in `str` where the pattern matches, with the longest match
    // there; its length goes to *len when len is not null (0 when nothing matches). RW_NPOS when
    // there is no match, when start > str.length() or when the pattern did not compile. The
    // empty pattern matches at start with length 0; a "^" pattern only ever matches at 0.
    std::size_t index(const RWCString& str, std::size_t* len, std::size_t start = 0) const;

    // The outcome of the last compilation.
    statVal status() { return status_; }
    statVal status() const { return status_; }

    struct Program;  // the compiled form, defined with the matcher

  private:
    void compile(const char* pat, std::size_t n);

    std::shared_ptr<const Program> prog_;  // null unless status_ is OK
    statVal status_ = ILLEGAL;
};

#endif  // QELKIT_FOUNDATION_RW_CREGEXP_H
