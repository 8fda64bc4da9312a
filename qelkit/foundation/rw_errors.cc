// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/rw_errors.h"

#include <cstdio>

#include "qelkit/foundation/rw_cstring.h"

RWxmsg::RWxmsg() : msg_(std::make_shared<const std::string>()) {}
RWxmsg::RWxmsg(const char* msg) : msg_(std::make_shared<const std::string>(msg ? msg : "")) {}
RWxmsg::RWxmsg(const RWCString& msg)
    : msg_(std::make_shared<const std::string>(msg.data(), msg.length())) {}
RWxmsg::~RWxmsg() = default;

const char* RWxmsg::why() const { return msg_->c_str(); }
void RWxmsg::raise() const { throw *this; }
const char* RWxmsg::what() const noexcept { return why(); }

RWInternalErr::RWInternalErr(const char* msg) : RWxmsg(msg) {}
RWInternalErr::RWInternalErr(const RWCString& msg) : RWxmsg(msg) {}
void RWInternalErr::raise() const { throw *this; }

RWBoundsErr::RWBoundsErr(const char* msg) : RWInternalErr(msg) {}
RWBoundsErr::RWBoundsErr(const RWCString& msg) : RWInternalErr(msg) {}
void RWBoundsErr::raise() const { throw *this; }

RWExternalErr::RWExternalErr(const char* msg) : RWxmsg(msg) {}
RWExternalErr::RWExternalErr(const RWCString& msg) : RWxmsg(msg) {}
void RWExternalErr::raise() const { throw *this; }

void RWThrow(const RWInternalErr& err) { throw err; }
void RWThrow(const RWBoundsErr& err) { throw err; }
void RWThrow(const RWExternalErr& err) { throw err; }

void rwThrowBounds(const char* what, std::size_t index, std::size_t length) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s: index %zu out of range [0, %zu)", what, index, length);
    throw RWBoundsErr(buf);
}
