// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/nq_trace.h"

#include <atomic>
#include <cstring>
#include <iostream>
#include <string>

#include "qelkit/foundation/nq_output_stream_lock.h"

namespace {

// nullptr selects the default sink. Constant-initialised, so tracing works at load time.
std::atomic<NqTraceSink> currentSink{nullptr};

void defaultSink(const char* origin, const char* message) {
    const std::size_t messageLength = std::strlen(message);
    std::string line;
    line.reserve(std::strlen(origin) + messageLength + 3);
    line.append(origin).append(": ").append(message, messageLength);
    if (messageLength == 0 || message[messageLength - 1] != '\n') line.push_back('\n');

    RWMutexLock::LockGuard guard(NqOutputStreamLock::_ostream_lock);
    std::cerr.write(line.data(), static_cast<std::streamsize>(line.size()));
    std::cerr.flush();
}

}  // namespace

void NqTraceStatic::output(const char* origin, const char* message) {
    if (origin == nullptr) origin = "";
    if (message == nullptr) message = "";
    const NqTraceSink sink = currentSink.load(std::memory_order_acquire);
    (sink != nullptr ? sink : defaultSink)(origin, message);
}

void NqTraceStatic::output(const char* origin, const RWCString& message) {
    output(origin, message.data());
}

void NqTraceStatic::output(const RWCString& origin, const char* message) {
    output(origin.data(), message);
}

void NqTraceStatic::output(const RWCString& origin, const RWCString& message) {
    output(origin.data(), message.data());
}

NqTraceSink NqTraceStatic::setSink(NqTraceSink sink) noexcept {
    return currentSink.exchange(sink, std::memory_order_acq_rel);
}
