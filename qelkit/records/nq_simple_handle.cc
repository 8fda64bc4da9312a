// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/nq_simple_handle.h"

NqSimpleBody::NqSimpleBody() : RWCollectable(), RWTMonitor<RWMutexLock>(), _refCount(0) {}

// A copy gets a lock of its own and no sharers: neither is part of the value.
// NOLINTNEXTLINE(bugprone-copy-constructor-init)
NqSimpleBody::NqSimpleBody(const NqSimpleBody& other)
    : RWCollectable(other), RWTMonitor<RWMutexLock>(), _refCount(0) {}

NqSimpleBody& NqSimpleBody::operator=(const NqSimpleBody& other) {
    RWCollectable::operator=(other);
    return *this;
}

NqSimpleBody::~NqSimpleBody() = default;

int NqSimpleBody::references() const {
    LockGuard guard(monitor());
    return _refCount;
}

NqSimpleHandle::NqSimpleHandle() noexcept : _body(nullptr) {}

NqSimpleHandle::NqSimpleHandle(NqSimpleBody* body) : _body(body) { share(_body); }

NqSimpleHandle::NqSimpleHandle(const NqSimpleHandle& other) : _body(other._body) { share(_body); }

NqSimpleHandle& NqSimpleHandle::operator=(const NqSimpleHandle& other) {
    if (this == &other) return *this;
    unshare(_body);
    _body = other._body;
    share(_body);
    return *this;
}

NqSimpleHandle::~NqSimpleHandle() { unshare(_body); }

void NqSimpleHandle::share(NqSimpleBody* body) {
    if (body == nullptr) return;
    NqSimpleBody::LockGuard guard(body->monitor());
    ++body->_refCount;
}

void NqSimpleHandle::unshare(NqSimpleBody* body) {
    if (body == nullptr) return;
    int remaining;
    {
        NqSimpleBody::LockGuard guard(body->monitor());
        remaining = --body->_refCount;
    }
    // Only the thread that took the count to 0 gets here with 0, and no other handle can
    // reach the body any more, so deleting it outside the lock is safe.
    if (remaining == 0) delete body;
}
