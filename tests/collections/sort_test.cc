// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "qelkit/collections/qel_quick_sort.h"
#include "qelkit/foundation/rw_collectable_int.h"

namespace {

// An int item that counts the comparisons made through compareTo.
struct CountedInt : RWCollectableInt {
    using RWCollectableInt::RWCollectableInt;
    int compareTo(const RWCollectable* c) const override {
        return ++comparisons, RWCollectableInt::compareTo(c);
    }
    static inline long comparisons = 0;
};

// Sorts `values` with QelQuickSort::sort, checks the result against std::sort and answers the
// number of comparisons made.
long sortAndCount(const std::vector<int>& values, const char* label) {
    std::vector<CountedInt> objects(values.begin(), values.end());
    std::vector<RWCollectable*> items;
    for (CountedInt& o : objects) items.push_back(&o);
    CountedInt::comparisons = 0;
    QelQuickSort::sort(items.data(), static_cast<int>(items.size()));
    std::vector<int> expected = values, got;
    std::sort(expected.begin(), expected.end());
    for (RWCollectable* i : items) got.push_back(static_cast<CountedInt*>(i)->value());
    EXPECT_EQ(got, expected) << label << " n=" << values.size();
    return CountedInt::comparisons;
}

// Musser's median-of-3 killer for a pivot chosen from the first, middle and last elements: it
// makes a quick sort without a depth limit quadratic.
std::vector<int> medianOfThreeKiller(int n) {
    const int k = n / 2;
    std::vector<int> v(n);
    for (int i = 0; i < k; ++i) {
        v[i] = (i % 2 == 0) ? i + 1 : k + i;
        v[k + i] = 2 * (i + 1);
    }
    if (n % 2) v[n - 1] = n;
    return v;
}

TEST(QelQuickSort, MatchesStdSortOnEveryInputShapeWithinNLogNComparisons) {
    std::mt19937 random(12345);
    for (const int n : {0, 1, 2, 3, 16, 17, 33, 1000, 100000}) {
        std::vector<int> values(n), ascending(n);
        for (int i = 0; i < n; ++i)
            values[i] = static_cast<int>(random() % (n + 1)), ascending[i] = i;
        const long randomCount = sortAndCount(values, "random");
        // clang-format off
        const struct { const char* label; std::vector<int> values; } shapes[] = {
            {"ascending", ascending}, {"descending", {ascending.rbegin(), ascending.rend()}},
            {"all equal", std::vector<int>(n, 7)}, {"killer", medianOfThreeKiller(n)}};
        // clang-format on
        for (const auto& shape : shapes) {
            const long count = sortAndCount(shape.values, shape.label);
            // Quadratic behaviour would be hundreds of times the random count at 100000.
            if (n == 100000) {
                EXPECT_LE(count, 3 * randomCount) << shape.label;
            }
        }
    }
}

}  // namespace
