// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <vector>

#include "qelkit/collections/incrementer.h"
#include "qelkit/collections/prime_number.h"

namespace {

TEST(Incrementer, StepsFromEachCapacityWrappingInUnsignedArithmetic) {
    const BasicIncrementer seven(7), down(-3);
    const Incrementer* basic = BasicIncrementer::global();
    const Incrementer* doubling = MultiplyingIncrementer::global();  // 2.0, at most 4096, least 4
    // clang-format off
    const struct { const Incrementer* policy; unsigned from, to; } steps[] = {
        {basic, 0, 32}, {basic, 100, 132}, {&seven, 0xFFFFFFFEu, 5}, {&down, 10, 7},
        {doubling, 0, 4}, {doubling, 1, 5}, {doubling, 2, 6}, {doubling, 3, 9}, {doubling, 10, 30},
        {doubling, 2047, 6141}, {doubling, 2048, 6144}, {doubling, 6144, 10240},
        {doubling, 0xFFFFFFFFu, 4095}};
    // clang-format on
    for (const auto& s : steps) EXPECT_EQ(s.policy->increment(s.from), s.to) << s.from;
}

TEST(MultiplyingIncrementer, BoundsAndOddFactorsFollowSignedComparisons) {
    // clang-format off
    const struct { float factor; int max, min; unsigned from, to; } cases[] = {
        // A negative factor keeps every product at or below the minimum step.
        {-1.5f, 100, 3, 0, 3}, {-1.5f, 100, 3, 1000, 1003},
        // Maximum below minimum: the minimum while p <= min, the maximum above it.
        {1.0f, 2, 10, 10, 20}, {1.0f, 2, 10, 11, 13},
        // Products beyond int saturate: +huge takes maxIncrement, -huge minIncrement.
        {FLT_MAX, 50, 1, 1, 51}, {-FLT_MAX, 50, 1, 1, 2}, {FLT_MAX, INT_MAX, 1, 3, 3u + INT_MAX},
        // Single precision: 16777217 rounds to 16777216 before the multiplication; truncation
        // toward zero: 3 * 0.9 = 2.7 gives 2.
        {1.0f, INT_MAX, 0, 16777217, 16777217u + 16777216u}, {0.9f, 100, 1, 3, 5}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(MultiplyingIncrementer(c.factor, c.max, c.min).increment(c.from), c.to)
            << "row " << &c - cases;
}

TEST(PrimeNumber, IsPrimeAcceptsOddPrimesAndOneAndNextWrapsToOne) {
    // clang-format off
    const struct { unsigned n, prime, next; } cases[] = {
        {65521, 1, 65537}, {4294967071u /* 65521 * 65551 */, 0, 4294967087u},
        {4294967290u, 0, 4294967291u}, {4294967291u, 1, 1}, {4294967295u, 0, 1}};
    // clang-format on
    std::vector<bool> composite(10200, false);
    for (unsigned i = 2; i * i < composite.size(); ++i)
        for (unsigned j = i * i; j < composite.size(); j += i) composite[j] = true;
    for (unsigned n = 0; n <= 10000; ++n) {  // against a sieve
        unsigned expected = n + 1;
        while (expected % 2 == 0 || composite[expected]) ++expected;
        ASSERT_EQ(PrimeNumber::next(n), expected) << n;
        ASSERT_EQ(PrimeNumber::isPrime(n), int{n == 1 || (n % 2 == 1 && !composite[n])}) << n;
    }
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<unsigned>(PrimeNumber::isPrime(c.n)), c.prime) << c.n;
        EXPECT_EQ(PrimeNumber::next(c.n), c.next) << c.n;
    }
}

}  // namespace
