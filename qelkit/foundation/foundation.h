// SPDX-License-Identifier: Apache-2.0
// The whole foundation layer in one include: the string, tokenizer, regular-expression,
// collectable and collection classes, the date, time, zone and locale classes, the error and
// thread exception types, the locks and monitor, and the trace, environment and error-stream
// services. Code that used to include several vendor or support headers can include this one.
#ifndef QELKIT_FOUNDATION_FOUNDATION_H
#define QELKIT_FOUNDATION_FOUNDATION_H

#include "qelkit/foundation/rw_defs.h"
#include "qelkit/foundation/rw_errors.h"

#include "qelkit/foundation/rw_cregexp.h"
#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_ctokenizer.h"

#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_collectable_int.h"
#include "qelkit/foundation/rw_collectable_string.h"

#include "qelkit/foundation/rw_collection.h"
#include "qelkit/foundation/rw_date.h"
#include "qelkit/foundation/rw_date_time.h"
#include "qelkit/foundation/rw_hash_table.h"
#include "qelkit/foundation/rw_locale.h"
#include "qelkit/foundation/rw_ordered.h"
#include "qelkit/foundation/rw_sorted_vector.h"
#include "qelkit/foundation/rw_time.h"
#include "qelkit/foundation/rw_tptr_ordered_vector.h"
#include "qelkit/foundation/rw_tval_hash_map.h"
#include "qelkit/foundation/rw_zone.h"

#include "qelkit/foundation/rw_monitor.h"
#include "qelkit/foundation/rw_mutex_lock.h"
#include "qelkit/foundation/rw_recursive_lock.h"
#include "qelkit/foundation/rw_thr_exceptions.h"

#include "qelkit/foundation/nq_environment.h"
#include "qelkit/foundation/nq_output_stream_lock.h"
#include "qelkit/foundation/nq_trace.h"

#endif  // QELKIT_FOUNDATION_FOUNDATION_H
