// SPDX-License-Identifier: Apache-2.0
// NqTokenizer: the abstract source of tokens (fields) shared by the string tokenizer below and
// the memory-mapped file tokenizer. NqStringTokenizer walks a string split at one delimiter,
// keeping empty fields; a replacement byte lets a field carry the delimiter itself.
#ifndef QELKIT_STRINGS_NQ_TOKENIZER_H
#define QELKIT_STRINGS_NQ_TOKENIZER_H

#include "qelkit/export.h"
#include "qelkit/strings/qel_string.h"
#include "qelkit/strings/tokenizer.h"

class QELKIT_API NqTokenizer {
  public:
    virtual ~NqTokenizer();
    // The next token; an empty string for an empty token and at the end.
    virtual QelString next() = 0;
    // Non-zero once the source has reported its end.
    virtual int end() = 0;
};

class QELKIT_API NqStringTokenizer : public NqTokenizer {
  public:
    // Splits its own copy of text at `delimiter`; a non-zero collapse makes a run of
    // delimiters after a field count as one. In every field returned, each byte equal to
    // `replacement` is turned into `delimiter`.
    NqStringTokenizer(const QelString& text, char delimiter, int collapse, char replacement);
    ~NqStringTokenizer() override;
    // The next field, with the replacement byte turned into the delimiter.
    QelString next() override;
    // Non-zero once a call of next has found nothing left.
    int end() override;

  private:
    Tokenizer _tokenizer;
    char _delimiter;
    char _replacement;
};

#endif  // QELKIT_STRINGS_NQ_TOKENIZER_H
