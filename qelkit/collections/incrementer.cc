// SPDX-License-Identifier: Apache-2.0
// Fixed-step and multiplying growth policies and their shared instances.
#include "qelkit/collections/incrementer.h"

#include <algorithm>
#include <climits>
#include <cmath>

std::atomic<Incrementer*> BasicIncrementer::_global{nullptr};
std::atomic<Incrementer*> MultiplyingIncrementer::_global{nullptr};

Incrementer* BasicIncrementer::global() {
    Incrementer* shared = _global.load(std::memory_order_acquire);
    if (shared == nullptr) {
        // A function-local static is built exactly once even when first calls race; its
        // destructor is trivial, so the object stays usable until the process ends.
        static BasicIncrementer instance(32);
        shared = &instance;
        _global.store(shared, std::memory_order_release);
    }
    return shared;
}

unsigned BasicIncrementer::increment(unsigned capacity) const {
    return capacity + static_cast<unsigned>(delta);
}

Incrementer* MultiplyingIncrementer::global() {
    Incrementer* shared = _global.load(std::memory_order_acquire);
    if (shared == nullptr) {
        static MultiplyingIncrementer instance(2.0f, 4096, 4);
        shared = &instance;
        _global.store(shared, std::memory_order_release);
    }
    return shared;
}

namespace {

// Truncation toward zero that saturates instead of overflowing; NaN maps to INT_MIN, as the
// hardware conversion does, so it takes the minimum step.
int truncateToInt(float x) {
    if (std::isnan(x) || x < -2147483648.0f) return INT_MIN;
    if (x >= 2147483648.0f) return INT_MAX;
    return static_cast<int>(x);
}

}  // namespace

unsigned MultiplyingIncrementer::increment(unsigned capacity) const {
    // The capacity passes through double on its way to float so that large values round once,
    // to nearest, exactly as the single-precision policy has always computed them.
    const float current = static_cast<float>(static_cast<double>(capacity));
    const int p = truncateToInt(current * factor);
    if (p <= minIncrement) return capacity + static_cast<unsigned>(minIncrement);
    return capacity + static_cast<unsigned>(std::min(p, maxIncrement));
}
