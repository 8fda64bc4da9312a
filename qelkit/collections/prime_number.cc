// SPDX-License-Identifier: Apache-2.0
// Trial division by descending candidates from the square root.
#include "qelkit/collections/prime_number.h"

#include <cmath>

int PrimeNumber::isPrime(unsigned n) {
    const unsigned s = static_cast<unsigned>(std::sqrt(static_cast<double>(n)));
    // Below 9 the odd numbers are 1, 3, 5 and 7: all accepted, with 1 counted as prime.
    if (s <= 2 || (n & 1u) == 0) return static_cast<int>(n & 1u);
    // The divisors run from s down to 3. n is odd here, so an even divisor can never divide it
    // and is skipped: the answer is the same as testing every d, at half the divisions.
    for (unsigned d = (s & 1u) ? s : s - 1; d >= 3; d -= 2) {
        if (n % d == 0) return 0;
    }
    return 1;
}

unsigned PrimeNumber::next(unsigned n) {
    unsigned candidate = n + 1;
    if ((candidate & 1u) == 0) ++candidate;  // odd first candidate; 4294967295 wraps to 1
    while (!isPrime(candidate)) candidate += 2;
    return candidate;
}
