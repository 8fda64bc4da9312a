// Every public class of qelkit and of its foundation layer in one include: the foundation
// layer, the extended string and the tokenizers, the collections, and the library's exception
// type.
// Installed as <qelkit/qelkit.h>; each header it includes can also be included on its own.
#ifndef QELKIT_QELKIT_H
#define QELKIT_QELKIT_H

#include "qelkit/foundation/foundation.h"

#include "qelkit/strings/etoken.h"
#include "qelkit/strings/nq_tokenizer.h"
#include "qelkit/strings/qel_string.h"
#include "qelkit/strings/tokenizer.h"

#include "qelkit/collections/incrementer.h"
#include "qelkit/collections/prime_number.h"
#include "qelkit/collections/qel_collectable_double.h"
#include "qelkit/collections/qel_collectable_regexp.h"
#include "qelkit/collections/qel_duplicate_notifier.h"
#include "qelkit/collections/qel_model.h"
#include "qelkit/collections/qel_model_client.h"
#include "qelkit/collections/qel_model_reference.h"
#include "qelkit/collections/qel_ordered.h"
#include "qelkit/collections/qel_quick_sort.h"
#include "qelkit/collections/qel_resize_hash_table.h"
#include "qelkit/collections/qel_sorted_vector.h"
#include "qelkit/collections/qel_unique_insertable.h"

#include "qelkit/records/nq_exception.h"

#endif  // QELKIT_QELKIT_H
