// SPDX-License-Identifier: Apache-2.0
#include "qelkit/strings/nq_tokenizer.h"

NqTokenizer::~NqTokenizer() = default;

NqStringTokenizer::NqStringTokenizer(const QelString& text, char delimiter, int collapse,
                                     char replacement)
    : _tokenizer(text, collapse), _delimiter(delimiter), _replacement(replacement) {}

NqStringTokenizer::~NqStringTokenizer() = default;

QelString NqStringTokenizer::next() {
    QelString field = _tokenizer.next(_delimiter);
    field.transposeInPlace(_replacement, _delimiter);
    return field;
}

int NqStringTokenizer::end() { return _tokenizer.end(); }
