// SPDX-License-Identifier: Apache-2.0
// QelTokenizer: a tokenizer with the call form of RWCTokenizer (a set of delimiter bytes, runs
// of which are skipped; tokens handed out as sub-strings) that can also step back. Each token
// read and each jump with location(pos) is recorded in a history of ten steps, which rewind()
// undoes one at a time. It also offers numeric reads, a one-byte step and positioning.
//
// The tokenizer keeps its own copy of the text; returned sub-strings refer to that copy and
// stay valid while the tokenizer lives. A NUL byte inside the text acts as one more delimiter.
// Not copyable: its position points into its own copy of the text.
#ifndef QELKIT_STRINGS_ETOKEN_H
#define QELKIT_STRINGS_ETOKEN_H

#include <cstddef>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_cstring.h"

class QELKIT_API QelTokenizer {
  public:
    // Starts at the first byte of (its copy of) text, with an empty history.
    explicit QelTokenizer(const RWCString& text);
    QelTokenizer(const QelTokenizer&) = delete;
    QelTokenizer& operator=(const QelTokenizer&) = delete;
    virtual ~QelTokenizer();

    // The next token, skipping any run of bytes found in `skip`; the null sub-string when no
    // token is left. `skip` must not be null (asserted). The read is recorded in the history.
    RWCSubString operator()(const char* skip);
    // The same with the delimiters space, tab and newline.
    RWCSubString operator()();

    // Undoes the last recorded step (token read or location(pos)); nothing when the history is
    // empty. At most ten steps can be undone in a row.
    void rewind();

    // The next token converted by atoi; 0 when no token is left or it is not a number.
    int nextInt(const char* skip);
    // The next token converted by atof; 0.0 when no token is left or it is not a number.
    double nextDouble(const char* skip);

    // Steps over the current byte and returns 1 when it is one of `chars` (a C string);
    // otherwise, or at the end, returns 0 without moving. Not recorded in the history.
    int advance(const char* chars);

    // The current position as a byte offset from the start of the text. It can lie past the
    // end after a read that found no token.
    int location() const;
    // Moves to byte offset pos, or to the end of the text when pos is beyond it; recorded in
    // the history.
    void location(unsigned pos);

    // True when the current offset is at or past the length of the text.
    bool atEnd() const;
    // The text being walked.
    const RWCString& string() const { return _string; }

  private:
    // Reads the next token: returns its first byte and leaves _place right after it, or
    // returns null when no token is left.
    const char* tokenStep(const char* skip);
    // Adds one step (new offset minus old offset) to the history.
    void record(int step);
    std::ptrdiff_t offset() const;
    void moveTo(std::ptrdiff_t offset);

    RWCString _string;   // own copy of the text
    const char* _place;  // current position inside _string's buffer
    int _history[10];    // signed distances of the recorded steps
    int _historyCount;   // valid entries in _history
};

#endif  // QELKIT_STRINGS_ETOKEN_H
