// SPDX-License-Identifier: Apache-2.0
// NqException: the library's own exception. It is an RWTHRxmsg (so handlers for the vendor's
// RWTHRxmsg, RWxmsg or std::exception catch it) with five text fields, a way for each caller
// to add context lines while the exception travels outwards, and a multi-line rendering for
// logs. With NQ_EXCEPTION_TRACE set and non-empty at load time, every construction from a
// message or a vendor exception is traced through NqTraceStatic.
#ifndef QELKIT_RECORDS_NQ_EXCEPTION_H
#define QELKIT_RECORDS_NQ_EXCEPTION_H

#include "qelkit/export.h"
#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_errors.h"
#include "qelkit/foundation/rw_thr_exceptions.h"
#include "qelkit/strings/qel_string.h"

class QELKIT_API NqException : public RWTHRxmsg {
  public:
    // The message `msg`; all fields empty.
    NqException(const RWCString& msg);
    // The message up to the NUL of `msg` (null gives ""); all fields empty.
    NqException(const char* msg);
    // Converts a vendor exception: the message is source.why() of its dynamic type, and the
    // originator is "RogueWave".
    NqException(const RWxmsg& source);
    // Copies the message and all five fields; never traced.
    NqException(const NqException& other) = default;
    NqException& operator=(const NqException& other) = default;
    ~NqException() override;

    // Throws a copy of *this typed NqException, also when called on a subclass.
    void raise() const override;
    // A new heap copy typed NqException, also when called on a subclass. The caller owns it and
    // deletes it through the virtual destructor.
    RWTHRxmsg* clone() const override;

    // Appends `text` to the context, then a newline unless the context is empty or already ends
    // with one. Each call adds at the end.
    void context(const QelString& text);
    // The accumulated context lines; ends with a newline unless empty.
    const QelString& context() const noexcept { return _context; }
    // Who raised the condition ("RogueWave" for a converted vendor exception).
    const QelString& originator() const noexcept { return _originator; }
    // An error code in text form; empty unless a subclass sets it.
    const QelString& code() const noexcept { return _code; }
    // The vendor whose component reported the condition; empty unless a subclass sets it.
    const QelString& vendor() const noexcept { return _vendor; }
    // A trace or stack text; empty unless a subclass sets it.
    const QelString& trace() const noexcept { return _trace; }

    // One line per non-empty item, each label twelve characters wide: "Exception : " and the
    // message (always, even when empty), then originator, code, vendor, trace and context.
    // Values are copied unchanged, so later lines of a multi-line value start at the margin;
    // every line ends with exactly one newline.
    QelString asString() const;

  protected:
    QelString _context;
    QelString _originator;
    QelString _code;
    QelString _vendor;
    QelString _trace;

  private:
    // Traces the construction when the trace switch is on.
    void traceConstruction() const;
};

// Misuse of an interface by a caller. It adds nothing to NqException: raise() and clone()
// produce a plain NqException.
class QELKIT_API NqUsageException : public NqException {
  public:
    // As NqException(const RWCString&), construction trace included.
    NqUsageException(const RWCString& msg);
    ~NqUsageException() override;
};

#endif  // QELKIT_RECORDS_NQ_EXCEPTION_H
