// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/nq_output_stream_lock.h"

#include <type_traits>

// The constexpr constructor makes this constant initialisation, done before any code runs.
RWMutexLock NqOutputStreamLock::_ostream_lock;

#if defined(__GLIBCXX__)
// Nothing to destroy, so the lock stays valid while other files' statics are destroyed.
static_assert(std::is_trivially_destructible<RWMutexLock>::value,
              "the stream lock must outlive static destruction");
#endif
