// SPDX-License-Identifier: Apache-2.0
// Tokenizer: splits a text at one delimiter byte and, unlike the other tokenizers, keeps empty
// fields: N delimiters give N + 1 fields. Optionally a run of delimiters after a field counts as
// one. The text is read up to its first NUL byte, which is taken as its end.
//
// next() is const although it advances the position (the position fields are mutable), so a
// Tokenizer held as a const member can still be walked. Not copyable: its position points into
// its own copy of the text.
#ifndef QELKIT_STRINGS_TOKENIZER_H
#define QELKIT_STRINGS_TOKENIZER_H

#include "qelkit/export.h"
#include "qelkit/strings/qel_string.h"

class QELKIT_API Tokenizer {
  public:
    // Walks its own (shared) copy of text; a non-zero collapse makes a run of delimiters
    // after a field count as one. Delimiters at the very start still give one empty field.
    Tokenizer(const QelString& text, int collapse);
    Tokenizer(const Tokenizer&) = delete;
    Tokenizer& operator=(const Tokenizer&) = delete;

    // The next field split at `delimiter`: an empty string for an empty field and at the end.
    // The call after the last field sets the end flag, which tells the two apart.
    QelString next(const char delimiter) const;

    // The end flag: non-zero once a call has found nothing left to return.
    int end() const { return _end; }

  private:
    QelString _string;             // own copy of the text
    mutable const char* _current;  // current position inside _string's buffer
    mutable int _end;              // 1 once the end has been reported
    mutable int _first;            // 1 until the first call of next
    int _collapse;                 // non-zero: a run of delimiters counts as one
};

#endif  // QELKIT_STRINGS_TOKENIZER_H
