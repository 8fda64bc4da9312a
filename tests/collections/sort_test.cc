#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "qelkit/collections/qel_quick_sort.h"
#include "qelkit/foundation/rw_collectable.h"

namespace {

// An int item that counts the comparisons made through compareTo.
class CountedInt : public RWCollectable {
  public:
    explicit CountedInt(int v) : value(v) {}
    int compareTo(const RWCollectable* c) const override {
        ++comparisons;
        const int other = static_cast<const CountedInt*>(c)->value;
        return value < other ? -1 : value > other ? 1 : 0;
    }
    int value;
    static long comparisons;
};
long CountedInt::comparisons = 0;

template <class T>
std::vector<RWCollectable*> pointersTo(std::vector<T>& objects) {
    std::vector<RWCollectable*> items;
    for (auto& o : objects) items.push_back(&o);
    return items;
}

std::vector<int> valuesOf(const std::vector<RWCollectable*>& items) {
    std::vector<int> values;
    for (const RWCollectable* i : items) values.push_back(static_cast<const CountedInt*>(i)->value);
    return values;
}

// Sorts `values` with QelQuickSort::sort, checks the result against std::sort and answers the
// number of comparisons made.
long sortAndCount(const std::vector<int>& values, const std::string& label) {
    std::vector<CountedInt> objects(values.begin(), values.end());
    std::vector<RWCollectable*> items = pointersTo(objects);
    CountedInt::comparisons = 0;
    QelQuickSort::sort(items.data(), static_cast<int>(items.size()));
    std::vector<int> expected = values;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(valuesOf(items), expected) << label << " n=" << values.size();
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
    for (const int n : {0, 1, 2, 3, 15, 16, 17, 18, 33, 100, 1000, 4097, 100000}) {
        std::vector<int> randomValues(n), ascending(n), organPipe(n);
        for (int i = 0; i < n; ++i) {
            randomValues[i] = static_cast<int>(random() % (n + 1));
            ascending[i] = i;
            organPipe[i] = std::min(i, n - 1 - i);
        }
        const long randomCount = sortAndCount(randomValues, "random");
        // clang-format off
        const struct { const char* label; std::vector<int> values; } shapes[] = {
            {"ascending", ascending}, {"descending", {ascending.rbegin(), ascending.rend()}},
            {"all equal", std::vector<int>(n, 7)}, {"organ pipe", organPipe},
            {"killer", medianOfThreeKiller(n)}};
        // clang-format on
        for (const auto& shape : shapes) {
            const long count = sortAndCount(shape.values, shape.label);
            if (n >= 1000) {
                // Quadratic behaviour would be hundreds of times the random count at 100000.
                EXPECT_LE(count, 3 * randomCount) << shape.label << " n=" << n;
                EXPECT_LE(count, static_cast<long>(4 * n * std::log2(n))) << shape.label;
            }
        }
    }
}

TEST(QelQuickSort, SmallRangesAreInsertionSortedAndLargerOnesPartitioned) {
    // Up to 16 elements insertion alone runs: one comparison per descending element, two per
    // ascending one. At 17 a median-of-three pivot (2 comparisons) and one partition around 8
    // (18) come first, then the insertion pass over 16 (30) plus one unguarded insertion (1).
    // clang-format off
    const struct { std::vector<int> values; long comparisons; } cases[] = {
        {{}, 0}, {{42}, 0},
        {{16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, 15},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 30},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 51}};
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(sortAndCount(c.values, "small"), c.comparisons);
    QelQuickSort::sort(nullptr, 0);  // an empty array is never touched
}

int reverseOrder(const RWCollectable* x, const RWCollectable* y) { return y->compareTo(x); }

// Counts the calls that arrive with the data pointer the test handed over, and the others.
void* expectedData = nullptr;
long rightData = 0, wrongData = 0;
int compareWithData(const RWCollectable* x, const RWCollectable* y, void* data) {
    ++(data == expectedData ? rightData : wrongData);
    return x->compareTo(y);
}

TEST(QelQuickSort, SortByFunctionsFollowTheFunctionAndPassTheDataToEveryCall) {
    std::vector<CountedInt> objects;
    std::vector<int> ascending;
    for (int i = 0; i < 1000; ++i) {
        objects.emplace_back((i * 7919) % 1000);
        ascending.push_back(i);
    }
    std::vector<RWCollectable*> items = pointersTo(objects);
    QelQuickSort::sortByFunction(items.data(), 1000, reverseOrder);
    EXPECT_EQ(valuesOf(items), std::vector<int>(ascending.rbegin(), ascending.rend()));
    int token = 0;
    expectedData = &token;
    QelQuickSort::sortByFunctionWithData(items.data(), 1000, compareWithData, &token);
    EXPECT_TRUE(rightData > 1000 && wrongData == 0) << rightData << " " << wrongData;
    EXPECT_EQ(valuesOf(items), ascending);
}

}  // namespace
