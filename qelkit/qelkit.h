// SPDX-License-Identifier: Apache-2.0
// Every public class of qelkit and of its foundation layer in one include: the foundation
// layer, the strings, tokenizers and text writers, the collections, the date and time classes,
// the records, file, delimited-record reader, handle, compression and exception classes, and the
// aggregation of rows by period.
// Installed as <qelkit/qelkit.h>; each header it includes can also be included on its own.
#ifndef QELKIT_QELKIT_H
#define QELKIT_QELKIT_H

#include "qelkit/foundation/foundation.h"

#include "qelkit/strings/data_buffer.h"
#include "qelkit/strings/etoken.h"
#include "qelkit/strings/field_writer.h"
#include "qelkit/strings/nq_tokenizer.h"
#include "qelkit/strings/qel_number_text.h"
#include "qelkit/strings/qel_string.h"
#include "qelkit/strings/qel_string_collection.h"
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

#include "qelkit/datetime/get_date.h"
#include "qelkit/datetime/nq_period_sql.h"
#include "qelkit/datetime/nq_string_to_date.h"
#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/datetime/qel_date.h"
#include "qelkit/datetime/qel_locale_snapshot.h"
#include "qelkit/datetime/qel_period.h"
#include "qelkit/datetime/qel_time_io.h"
#include "qelkit/datetime/qel_time_text.h"
#include "qelkit/datetime/qel_zone.h"

#include "qelkit/records/nq_exception.h"
#include "qelkit/records/nq_mapped_file_tokenizer.h"
#include "qelkit/records/nq_named_value_pairs.h"
#include "qelkit/records/nq_simple_handle.h"
#include "qelkit/records/qel_exact_sum.h"
#include "qelkit/records/qel_period_aggregator.h"
#include "qelkit/records/qel_record_reader.h"
#include "qelkit/records/qel_record_scanner.h"
#include "qelkit/records/qel_string_map.h"
#include "qelkit/records/zlib_compression.h"

#endif  // QELKIT_QELKIT_H
