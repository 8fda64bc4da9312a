// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <iterator>

#include "qelkit/foundation/rw_sorted_vector.h"

namespace {

int compareInts(const void* key, const void* element) {
    const int a = *static_cast<const int*>(key), b = *static_cast<const int*>(element);
    return a < b ? -1 : a > b ? 1 : 0;
}

// Against std::lower_bound, on every prefix of a sorted array with a run of equal elements.
TEST(RWBSearch, HitGivesAnEqualElementAndMissGivesTheInsertionPoint) {
    const int sorted[] = {10, 20, 20, 20, 30, 40, 50};
    for (std::size_t n = 0; n <= std::size(sorted); ++n)
        for (int key = 5; key <= 55; key += 5) {
            std::size_t idx = 99;
            const bool hit = rwBSearch(&key, sorted, n, sizeof(int), compareInts, idx);
            const int* lower = std::lower_bound(sorted, sorted + n, key);
            EXPECT_EQ(hit, lower != sorted + n && *lower == key) << n << ' ' << key;
            EXPECT_TRUE(hit ? idx < n && sorted[idx] == key : idx == std::size_t(lower - sorted))
                << n << " elements, key " << key << ", index " << idx;
        }
}

}  // namespace
