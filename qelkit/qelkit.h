// Every public class of qelkit and of its foundation layer in one include: the foundation
// layer, the extended string and the tokenizers, and the library's exception type.
// Installed as <qelkit/qelkit.h>; each header it includes can also be included on its own.
#ifndef QELKIT_QELKIT_H
#define QELKIT_QELKIT_H

#include "qelkit/foundation/foundation.h"

#include "qelkit/strings/etoken.h"
#include "qelkit/strings/nq_tokenizer.h"
#include "qelkit/strings/qel_string.h"
#include "qelkit/strings/tokenizer.h"

#include "qelkit/records/nq_exception.h"

#endif  // QELKIT_QELKIT_H
