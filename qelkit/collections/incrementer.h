// SPDX-License-Identifier: Apache-2.0
// Growth policies of the vector-based collections. A collection that is full asks its policy
// for the next capacity and reshapes its storage to exactly that many slots. Policies hold no
// changing state, so one object may serve any number of collections on any thread; collections
// never own or delete the policy they are given.
#ifndef QELKIT_COLLECTIONS_INCREMENTER_H
#define QELKIT_COLLECTIONS_INCREMENTER_H

#include <atomic>

#include "qelkit/export.h"

class QELKIT_API Incrementer {
  public:
    // The capacity to grow to from `capacity`; unsigned 32-bit arithmetic, so it may wrap.
    virtual unsigned increment(unsigned capacity) const = 0;

  protected:
    Incrementer() = default;
    Incrementer(const Incrementer&) = default;
    Incrementer& operator=(const Incrementer&) = default;
    // Not virtual: policies are never deleted through this interface.
    ~Incrementer() = default;
};

// Grows by a fixed step.
class QELKIT_API BasicIncrementer : public Incrementer {
  public:
    // `step` is added to the capacity at every step (a negative step wraps as unsigned). The
    // parameters are named apart from the members so that -Wshadow stays quiet for users.
    explicit constexpr BasicIncrementer(int step) noexcept : delta(step) {}

    // The shared policy with a step of 32, created by the first call (safe when first calls
    // race) and kept for the life of the process. Never null; the caller must not delete it.
    static Incrementer* global();

    // capacity + delta, wrapping.
    unsigned increment(unsigned capacity) const override;

  private:
    int delta;

    static std::atomic<Incrementer*> _global;
};

// Grows by `factor` (the constructor's `times`) times the capacity, but by no less than
// `minIncrement` (`least`) and, once the product exceeds `minIncrement`, by no more than
// `maxIncrement` (`most`).
class QELKIT_API MultiplyingIncrementer : public Incrementer {
  public:
    constexpr MultiplyingIncrementer(float times, int most, int least) noexcept
        : factor(times), maxIncrement(most), minIncrement(least) {}

    // The shared policy (factor 2, steps from 4 to 4096), created by the first call (safe when
    // first calls race) and kept for the life of the process. Never null; not to be deleted.
    static Incrementer* global();

    // With p = the single-precision product capacity * factor truncated to int (saturated;
    // NaN gives INT_MIN): capacity + minIncrement when p <= minIncrement, else
    // capacity + min(p, maxIncrement). Signed comparisons, wrapping unsigned additions.
    unsigned increment(unsigned capacity) const override;

  private:
    float factor;
    int maxIncrement;
    int minIncrement;

    static std::atomic<Incrementer*> _global;
};

#endif  // QELKIT_COLLECTIONS_INCREMENTER_H
