#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <thread>
#include <vector>

#include "qelkit/collections/incrementer.h"
#include "qelkit/collections/prime_number.h"

namespace {

TEST(BasicIncrementer, AddsItsStepWrappingAndSharesOneInstance) {
    EXPECT_EQ(BasicIncrementer::global()->increment(0), 32u);
    EXPECT_EQ(BasicIncrementer::global()->increment(100), 132u);
    EXPECT_EQ(BasicIncrementer::global(), BasicIncrementer::global());
    EXPECT_EQ(BasicIncrementer(7).increment(0xFFFFFFFEu), 5u);
    EXPECT_EQ(BasicIncrementer(-3).increment(10), 7u);
}

TEST(MultiplyingIncrementer, SharedInstanceDoublesBetweenFourAndFourThousand) {
    const Incrementer* shared = MultiplyingIncrementer::global();
    EXPECT_EQ(shared, MultiplyingIncrementer::global());
    EXPECT_NE(static_cast<const void*>(shared), BasicIncrementer::global());
    const struct {
        unsigned from, to;
    } steps[] = {{0, 4},
                 {1, 5},
                 {2, 6},
                 {3, 9},
                 {10, 30},
                 {2047, 6141},
                 {2048, 6144},
                 {6144, 10240},
                 {1u << 30, (1u << 30) + 4096},
                 {0xFFFFFFFFu, 4095}};
    for (const auto& s : steps) EXPECT_EQ(shared->increment(s.from), s.to) << s.from;
}

TEST(MultiplyingIncrementer, BoundsAndOddFactorsFollowSignedComparisons) {
    const struct {
        float factor;
        int maxIncrement, minIncrement;
        unsigned from, to;
    } cases[] = {
        // A negative factor keeps every product at or below the minimum step.
        {-1.5f, 100, 3, 0, 3},
        {-1.5f, 100, 3, 1000, 1003},
        {-1.5f, 100, 0, 1000, 1000},
        // Maximum below minimum: the minimum while p <= min, the maximum above it.
        {1.0f, 2, 10, 10, 20},
        {1.0f, 2, 10, 11, 13},
        // Products beyond int saturate: +huge takes maxIncrement, -huge minIncrement.
        {FLT_MAX, 50, 1, 1, 51},
        {-FLT_MAX, 50, 1, 1, 2},
        {FLT_MAX, INT_MAX, 1, 3, 3u + INT_MAX},
        // Single precision: 16777217 rounds to 16777216 before the multiplication.
        {1.0f, INT_MAX, 0, 16777217, 16777217u + 16777216u},
        // Truncation toward zero: 3 * 0.9 = 2.7 gives 2.
        {0.9f, 100, 1, 3, 5},
    };
    for (const auto& c : cases)
        EXPECT_EQ(
            MultiplyingIncrementer(c.factor, c.maxIncrement, c.minIncrement).increment(c.from),
            c.to)
            << c.factor << " " << c.maxIncrement << " " << c.minIncrement << " " << c.from;
}

TEST(Incrementer, RacingFirstCallsOfGlobalSeeOneInstance) {
    std::vector<const Incrementer*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] {
            seen[i] = (i & 1) ? MultiplyingIncrementer::global() : BasicIncrementer::global();
        });
    for (auto& t : threads) t.join();
    for (std::size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], (i & 1) ? MultiplyingIncrementer::global() : BasicIncrementer::global());
}

TEST(PrimeNumber, IsPrimeAcceptsOddPrimesAndOne) {
    const struct {
        unsigned n;
        int prime;
    } cases[] = {{0, 0},           {1, 1},           {2, 0},
                 {3, 1},           {4, 0},           {5, 1},
                 {7, 1},           {9, 0},           {15, 0},
                 {25, 0},          {29, 1},          {49, 0},
                 {121, 0},         {65521, 1},       {65535, 0},
                 {4294967291u, 1}, {4294967295u, 0}, {4294967071u, 0} /* 65521 * 65551 */,
                 {4294967279u, 1}};
    for (const auto& c : cases) EXPECT_EQ(PrimeNumber::isPrime(c.n), c.prime) << c.n;
}

TEST(PrimeNumber, NextGivesTheNextOddPrimeAndWrapsToOne) {
    const struct {
        unsigned n, next;
    } cases[] = {{0, 1},
                 {1, 3},
                 {2, 3},
                 {3, 5},
                 {7, 11},
                 {8, 11},
                 {23, 29},
                 {24, 29},
                 {1000, 1009},
                 {65521, 65537},
                 {4294967290u, 4294967291u},
                 {4294967291u, 1},
                 {4294967295u, 1}};
    for (const auto& c : cases) EXPECT_EQ(PrimeNumber::next(c.n), c.next) << c.n;
}

TEST(PrimeNumber, NextAgreesWithASieveUpToTenThousand) {
    constexpr unsigned limit = 10000;
    std::vector<bool> composite(limit + 200, false);
    for (unsigned i = 2; i * i < composite.size(); ++i)
        if (!composite[i])
            for (unsigned j = i * i; j < composite.size(); j += i) composite[j] = true;
    for (unsigned n = 1; n <= limit; ++n) {
        unsigned expected = n + 1;
        while (expected % 2 == 0 || composite[expected]) ++expected;
        ASSERT_EQ(PrimeNumber::next(n), expected) << n;
        ASSERT_EQ(PrimeNumber::isPrime(n), int{n == 1 || (n % 2 == 1 && !composite[n])}) << n;
    }
}

}  // namespace
