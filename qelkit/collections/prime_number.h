// SPDX-License-Identifier: Apache-2.0
// Odd-prime bucket counts for the resizing hash tables: PrimeNumber answers the next accepted
// odd number above a count, and whether a number is accepted. Pure functions, safe on any thread.
#ifndef QELKIT_COLLECTIONS_PRIME_NUMBER_H
#define QELKIT_COLLECTIONS_PRIME_NUMBER_H

#include "qelkit/export.h"

class QELKIT_API PrimeNumber {
  public:
    // The smallest odd number above `n` that isPrime accepts, searched in wrapping unsigned
    // arithmetic: an odd prime, except that next(0) is 1 and next(4294967295) wraps to 1.
    // Never 2. Cost: about sqrt(result) divisions per candidate.
    static unsigned next(unsigned n);

    // 1 when `n` is an odd prime or 1, else 0: every even number (2 included) and 0 give 0.
    static int isPrime(unsigned n);
};

#endif  // QELKIT_COLLECTIONS_PRIME_NUMBER_H
