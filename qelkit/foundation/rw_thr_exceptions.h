// SPDX-License-Identifier: Apache-2.0
// Exceptions of the threads module. RWTHRxmsg is the base the library's own exception derives
// from; RWTHRIllegalUsage reports a lock or thread facility used against its rules, and
// RWTHRInternalError a failure inside the facility itself. Each class can copy itself (clone)
// and throw itself (raise) with its dynamic type, so handlers may store and rethrow them
// without knowing the concrete class.
#ifndef QELKIT_FOUNDATION_RW_THR_EXCEPTIONS_H
#define QELKIT_FOUNDATION_RW_THR_EXCEPTIONS_H

#include "qelkit/export.h"
#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_errors.h"

class QELKIT_API RWTHRxmsg : public RWxmsg {
  public:
    // An empty message.
    RWTHRxmsg();
    // The message `msg`, returned by why().
    RWTHRxmsg(const RWCString& msg);
    RWTHRxmsg(const RWTHRxmsg& other);
    RWTHRxmsg& operator=(const RWTHRxmsg& other);
    ~RWTHRxmsg() override;

    // A new heap copy of this object's dynamic type (as far as a subclass overrides clone). The
    // caller owns it and deletes it through the virtual destructor.
    virtual RWTHRxmsg* clone() const;
    // Throws a copy of *this typed RWTHRxmsg.
    void raise() const override;
};

class QELKIT_API RWTHRIllegalUsage : public RWTHRxmsg {
  public:
    // The message "Illegal usage".
    RWTHRIllegalUsage();
    explicit RWTHRIllegalUsage(const RWCString& msg);

    // A new heap copy typed RWTHRIllegalUsage; the caller owns it.
    RWTHRxmsg* clone() const override;
    // Throws a copy of *this typed RWTHRIllegalUsage.
    void raise() const override;
};

class QELKIT_API RWTHRInternalError : public RWTHRxmsg {
  public:
    // The message "Internal error".
    RWTHRInternalError();
    explicit RWTHRInternalError(const RWCString& msg);

    // A new heap copy typed RWTHRInternalError; the caller owns it.
    RWTHRxmsg* clone() const override;
    // Throws a copy of *this typed RWTHRInternalError.
    void raise() const override;
};

#endif  // QELKIT_FOUNDATION_RW_THR_EXCEPTIONS_H
