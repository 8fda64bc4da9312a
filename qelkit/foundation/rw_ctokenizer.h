// SPDX-License-Identifier: Apache-2.0
// RWCTokenizer: walks a text token by token, a token being a run of bytes that are not in a
// delimiter set. Runs of delimiters never give empty tokens; the end is reported as the null
// sub-string. A NUL byte inside the text always delimits, whatever the set.
//
// The tokenizer keeps its own copy of the text (sharing the caller's buffer until either side
// writes), so the sub-strings it returns stay valid while the tokenizer lives, also when it was
// built from a temporary.
#ifndef QELKIT_FOUNDATION_RW_CTOKENIZER_H
#define QELKIT_FOUNDATION_RW_CTOKENIZER_H

#include <cstddef>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_cstring.h"

class QELKIT_API RWCTokenizer {
  public:
    // Starts at the first byte of (its copy of) s.
    explicit RWCTokenizer(const RWCString& s);

    // The next token with the delimiters space, tab and newline; the null sub-string when no
    // token is left.
    RWCSubString operator()();
    // The next token with the delimiter set `delims` (a C string, not null; an empty set gives
    // the rest of the text up to the next NUL byte). The delimiter that ends a token is not
    // consumed: a following call with an empty set returns it as its first byte.
    RWCSubString operator()(const char* delims);
    // The same with the first n bytes of `delims` as the set.
    RWCSubString operator()(const char* delims, std::size_t n);

    // True when no call, whatever its delimiter set, can produce another token: the position
    // is at the end of the text or only NUL bytes remain.
    bool done() const;

  private:
    RWCString str_;    // own copy of the text; returned sub-strings refer to it
    std::size_t pos_;  // offset of the next byte to read; may be one past the end
};

#endif  // QELKIT_FOUNDATION_RW_CTOKENIZER_H
