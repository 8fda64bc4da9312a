// SPDX-License-Identifier: Apache-2.0
#include "qelkit/collections/qel_model_client.h"

#include <cassert>
#include <chrono>
#include <functional>
#include <thread>

#include "qelkit/collections/internal/model_callbacks.h"
QelModelClient::QelModelClient()
    : _references(RWCollection::DEFAULT_CAPACITY), _monitor(new RWMutexLock) {}

QelModelClient::~QelModelClient() { finishCallbacks(); }

void QelModelClient::finishCallbacks() {
    deregisterAll();
    // No model lists this client any more, so no new callback can start. Callbacks already
    // running on other threads may still use the object: wait for them. Callbacks of this
    // thread (the client destroyed from inside one of them) are not waited for; they are marked
    // so that their notification does not touch the client again.
    const int own = qelkit_internal::forgetOnThisThread(this);
    if (own != 0) _callbacks.fetch_sub(own, std::memory_order_relaxed);
    for (unsigned waits = 0; _callbacks.load(std::memory_order_acquire) > 0; ++waits) {
        if (waits < 64)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

std::size_t QelModelClient::lowerBound(const QelModel* m) {
    // The models are fixed for the life of a reference, so the search reads them without taking
    // each reference's monitor.
    std::size_t low = 0;
    std::size_t high = _references.entries();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (std::less<const QelModel*>()(referenceAt(mid)->model(), m)) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return low;
}

QelModelReference* QelModelClient::referenceAt(std::size_t i) {
    // The vector hands out const items; the references themselves are this client's to change.
    return static_cast<QelModelReference*>(const_cast<RWCollectable*>(_references(i)));
}

void QelModelClient::dropReference(std::size_t i) {
    // A client that leaves a model during one of its own callbacks is no longer protected by
    // that model's list: pin it until the callback returns.
    qelkit_internal::pinIfRunning(this, _callbacks);
    delete static_cast<QelModelReference*>(_references.removeAt(i));
}

QelModelReference* QelModelClient::getReference(QelModel* m) {
    const std::size_t i = lowerBound(m);
    if (i < _references.entries() && referenceAt(i)->model() == m) return referenceAt(i);
    return nullptr;
}

unsigned QelModelClient::countUp(QelModel* m) {
    const std::size_t i = lowerBound(m);
    if (i < _references.entries() && referenceAt(i)->model() == m) {
        return referenceAt(i)->addReference();
    }
    std::unique_ptr<QelModelReference> created(new QelModelReference(m));
    _references.insert(created.get());  // lands at i: the vector keeps model-address order
    return created.release()->addReference();
}

unsigned QelModelClient::countDown(QelModel* m) {
    const std::size_t i = lowerBound(m);
    if (i == _references.entries() || referenceAt(i)->model() != m) return 0;
    const unsigned n = referenceAt(i)->removeReference();
    if (n == 0) dropReference(i);
    return n;
}

int QelModelClient::addModel(QelModel* m) {
    assert(m != nullptr);
    RWMutexLock::LockGuard guard(*_monitor);
    return static_cast<int>(countUp(m));
}

int QelModelClient::removeModel(QelModel* m) {
    assert(m != nullptr);
    RWMutexLock::LockGuard guard(*_monitor);
    return static_cast<int>(countDown(m));
}

// The model's lock is held across both halves, so no other registration, deregistration or
// notification of this model can slip in between the client's count and the model's list (the
// order model lock, then client monitor is kept). The monitor itself covers only the client half
// and is released before the model is called.
void QelModelClient::registerWith(QelModel* m) {
    assert(m != nullptr);
    RWTRecursiveLock<RWMutexLock>::LockGuard modelGuard(m->_lock);
    {
        RWMutexLock::LockGuard guard(*_monitor);
        if (countUp(m) != 1) return;
    }
    try {
        m->addDependent(this);
    } catch (...) {
        RWMutexLock::LockGuard guard(*_monitor);
        countDown(m);
        throw;
    }
}

void QelModelClient::deregisterFrom(QelModel* m) {
    assert(m != nullptr);
    RWTRecursiveLock<RWMutexLock>::LockGuard modelGuard(m->_lock);
    {
        RWMutexLock::LockGuard guard(*_monitor);
        if (countDown(m) != 0) return;
    }
    m->removeDependent(this);
}

void QelModelClient::updateFrom(QelModel* m, QelModelChangeType type) {
    if (type != DESTROYING) return;
    RWTRecursiveLock<RWMutexLock>::LockGuard modelGuard(m->_lock);
    m->removeDependent(this);
    RWMutexLock::LockGuard guard(*_monitor);
    const std::size_t i = lowerBound(m);
    if (i < _references.entries() && referenceAt(i)->model() == m) dropReference(i);
}

// Holding the monitor, this must not wait for a model's lock: a notification of that model on
// another thread may be waiting for the monitor inside a callback. So the model's lock is only
// tried; when another thread holds it, the monitor is let go for a moment and the last reference
// is looked at afresh. A model is touched only while its reference is held, so a model that a
// DESTROYING notification released (and its owner then deleted) meanwhile is never reached.
void QelModelClient::deregisterAll() {
    RWMutexLock::LockGuard guard(*_monitor);
    unsigned waits = 0;
    while (!_references.isEmpty()) {
        const std::size_t last = _references.entries() - 1;
        QelModel* m = referenceAt(last)->model();
        RWTRecursiveLock<RWMutexLock>::TryLockGuard modelGuard(m->_lock);
        if (!modelGuard.isAcquired()) {
            RWMutexLock::UnlockGuard unlock(*_monitor);
            if (++waits < 64) {
                std::this_thread::yield();
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            }
            continue;
        }
        waits = 0;
        m->removeDependent(this);
        dropReference(last);
    }
}

int QelModelClient::modelCount() {
    RWMutexLock::LockGuard guard(*_monitor);
    return static_cast<int>(_references.entries());
}

QelModel* QelModelClient::model(int i) {
    RWMutexLock::LockGuard guard(*_monitor);
    _references.boundsCheck(static_cast<std::size_t>(i));
    return referenceAt(static_cast<std::size_t>(i))->model();
}

int QelModelClient::isRegistered(QelModel* m) {
    RWMutexLock::LockGuard guard(*_monitor);
    return getReference(m) != nullptr ? 1 : 0;
}
