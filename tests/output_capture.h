// SPDX-License-Identifier: Apache-2.0
// Test helpers that collect what the library writes: its trace lines, and the text a call
// writes to std::cerr.
#ifndef QELKIT_TESTS_OUTPUT_CAPTURE_H
#define QELKIT_TESTS_OUTPUT_CAPTURE_H

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "qelkit/foundation/nq_trace.h"

namespace output_capture {

// The trace lines collected, each "origin|message".
inline std::vector<std::string> traces;

// The trace sink that appends to `traces`.
inline void collectTrace(const char* origin, const char* message) {
    traces.push_back(std::string(origin) + "|" + message);
}

// While it lives, trace lines go to `traces` (emptied first); then the earlier sink is back.
struct TraceCapture {
    TraceCapture() { traces.clear(); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;
    ~TraceCapture() { NqTraceStatic::setSink(previous); }
    const NqTraceSink previous = NqTraceStatic::setSink(collectTrace);
};

// Runs `fn` with std::cerr redirected; returns what was written there.
template <class Fn>
std::string cerrOf(Fn fn) {
    std::ostringstream text;
    std::streambuf* const saved = std::cerr.rdbuf(text.rdbuf());
    fn();
    std::cerr.rdbuf(saved);
    return text.str();
}

}  // namespace output_capture

#endif  // QELKIT_TESTS_OUTPUT_CAPTURE_H
