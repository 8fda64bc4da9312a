// SPDX-License-Identifier: Apache-2.0
// The process-wide lock held while a message is written to the standard error stream, so
// messages of different threads come out whole. The library and the default trace sink hold
// it for each write; applications that write to std::cerr may hold it too.
#ifndef QELKIT_FOUNDATION_NQ_OUTPUT_STREAM_LOCK_H
#define QELKIT_FOUNDATION_NQ_OUTPUT_STREAM_LOCK_H

#include "qelkit/export.h"
#include "qelkit/foundation/rw_mutex_lock.h"

class QELKIT_API NqOutputStreamLock {
  public:
    // Constant-initialised: usable during any file's static initialisation and until static
    // destruction ends. Not recursive: do not write through the library while holding it.
    static RWMutexLock _ostream_lock;
};

#endif  // QELKIT_FOUNDATION_NQ_OUTPUT_STREAM_LOCK_H
