// SPDX-License-Identifier: Apache-2.0
// NqTraceStatic: the library's diagnostic trace. Each call writes one line naming the calling
// operation (origin) and a message. By default the line goes to std::cerr; an application can
// install its own sink to route traces to its log, and tests install one to capture them.
#ifndef QELKIT_FOUNDATION_NQ_TRACE_H
#define QELKIT_FOUNDATION_NQ_TRACE_H

#include "qelkit/export.h"
#include "qelkit/foundation/rw_cstring.h"

// Receives every trace call: the origin and message texts, never null (a null text arrives as
// ""), trailing newlines included. Called with no library lock held, possibly from several
// threads at once.
using NqTraceSink = void (*)(const char* origin, const char* message);

class QELKIT_API NqTraceStatic {
  public:
    // Traces `message` from `origin`. The default sink writes "origin: message" plus a newline
    // unless the message ends with one, as a single write to std::cerr under
    // NqOutputStreamLock::_ostream_lock, then flushes. A null text counts as empty.
    static void output(const char* origin, const char* message);
    // The RWCString forms pass the text up to its first NUL byte. Four overloads so that a
    // literal origin with a string message (or the reverse) is not ambiguous.
    static void output(const char* origin, const RWCString& message);
    static void output(const RWCString& origin, const char* message);
    static void output(const RWCString& origin, const RWCString& message);

    // Installs `sink` for every later trace and returns the previous one (nullptr while the
    // default was active). nullptr restores the default, so setSink(previous) undoes a change.
    static NqTraceSink setSink(NqTraceSink sink) noexcept;
};

#endif  // QELKIT_FOUNDATION_NQ_TRACE_H
