// SPDX-License-Identifier: Apache-2.0
#include "qelkit/collections/qel_model_reference.h"

#include <functional>

QelModelReference::~QelModelReference() = default;

int QelModelReference::compareTo(const RWCollectable* other) const {
    LockGuard guard(monitor());
    const QelModel* mine = _model;
    const QelModel* theirs = static_cast<const QelModelReference*>(other)->_model;
    if (mine == theirs) return 0;
    return std::less<const QelModel*>()(mine, theirs) ? -1 : 1;
}

RWBoolean QelModelReference::isEqual(const RWCollectable* other) const {
    LockGuard guard(monitor());
    return _model == static_cast<const QelModelReference*>(other)->_model;
}

unsigned QelModelReference::references() const {
    LockGuard guard(monitor());
    return _count;
}

unsigned QelModelReference::addReference() {
    LockGuard guard(monitor());
    return ++_count;
}

unsigned QelModelReference::removeReference() {
    LockGuard guard(monitor());
    return --_count;
}
