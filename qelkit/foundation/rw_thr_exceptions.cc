// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/rw_thr_exceptions.h"

RWTHRxmsg::RWTHRxmsg() = default;
RWTHRxmsg::RWTHRxmsg(const RWCString& msg) : RWxmsg(msg) {}
RWTHRxmsg::RWTHRxmsg(const RWTHRxmsg& other) = default;
RWTHRxmsg& RWTHRxmsg::operator=(const RWTHRxmsg& other) = default;
RWTHRxmsg::~RWTHRxmsg() = default;

RWTHRxmsg* RWTHRxmsg::clone() const { return new RWTHRxmsg(*this); }
void RWTHRxmsg::raise() const { throw *this; }

RWTHRIllegalUsage::RWTHRIllegalUsage() : RWTHRxmsg(RWCString("Illegal usage")) {}
RWTHRIllegalUsage::RWTHRIllegalUsage(const RWCString& msg) : RWTHRxmsg(msg) {}

RWTHRxmsg* RWTHRIllegalUsage::clone() const { return new RWTHRIllegalUsage(*this); }
void RWTHRIllegalUsage::raise() const { throw *this; }

RWTHRInternalError::RWTHRInternalError() : RWTHRxmsg(RWCString("Internal error")) {}
RWTHRInternalError::RWTHRInternalError(const RWCString& msg) : RWTHRxmsg(msg) {}

RWTHRxmsg* RWTHRInternalError::clone() const { return new RWTHRInternalError(*this); }
void RWTHRInternalError::raise() const { throw *this; }
