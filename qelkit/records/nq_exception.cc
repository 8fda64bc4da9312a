// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/nq_exception.h"

#include "qelkit/foundation/nq_environment.h"
#include "qelkit/foundation/nq_trace.h"

namespace {

// The construction trace switch. Built on first use, once, even when another file's static
// initialisation constructs an exception before this file's turn.
const NqEnvironment& traceFlag() {
    static const NqEnvironment TRACEFLAG("NQ_EXCEPTION_TRACE");
    return TRACEFLAG;
}

// Reads the environment at load time, so later changes to it have no effect.
// NOLINTNEXTLINE(cert-err58-cpp): only std::bad_alloc can escape, and it fails the load.
[[maybe_unused]] const bool traceFlagLoaded = (traceFlag(), true);

// Appends `label`, `value` and a closing newline unless `value` already ends with one.
void appendLine(QelString& out, const char* label, const RWCString& value) {
    out.append(label);
    out.append(value);
    out.endWithNewline();
}

}  // namespace

NqException::NqException(const RWCString& msg) : RWTHRxmsg(msg) { traceConstruction(); }

NqException::NqException(const char* msg) : RWTHRxmsg(RWCString(msg)) { traceConstruction(); }

NqException::NqException(const RWxmsg& source)
    : RWTHRxmsg(RWCString(source.why())), _originator("RogueWave") {
    traceConstruction();
}

NqException::~NqException() = default;

void NqException::raise() const { throw NqException(*this); }

RWTHRxmsg* NqException::clone() const { return new NqException(*this); }

void NqException::context(const QelString& text) {
    _context.append(text);
    _context.endWithNewline();
}

QelString NqException::asString() const {
    QelString out;
    if (const char* message = why()) {
        out.append("Exception : ");
        out.append(message);
        out.endWithNewline();
    }
    if (!_originator.isNull()) appendLine(out, "Originator: ", _originator);
    if (!_code.isNull()) appendLine(out, "Code      : ", _code);
    if (!_vendor.isNull()) appendLine(out, "Vendor    : ", _vendor);
    if (!_trace.isNull()) appendLine(out, "Trace     : ", _trace);
    if (!_context.isNull()) appendLine(out, "Context   : ", _context);
    return out;
}

void NqException::traceConstruction() const {
    if (traceFlag().isOn()) NqTraceStatic::output("NqException::NqException()", why());
}

NqUsageException::NqUsageException(const RWCString& msg) : NqException(msg) {}

NqUsageException::~NqUsageException() = default;
