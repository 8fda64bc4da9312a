#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
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

// Sorts `values` with QelQuickSort::sort, checks the result against std::sort and answers the
// number of comparisons made.
long sortAndCount(const std::vector<int>& values, const std::string& label) {
    std::vector<CountedInt> objects(values.begin(), values.end());
    std::vector<RWCollectable*> items;
    for (auto& o : objects) items.push_back(&o);
    CountedInt::comparisons = 0;
    QelQuickSort::sort(items.data(), static_cast<int>(items.size()));
    const long comparisons = CountedInt::comparisons;
    std::vector<int> expected = values, got;
    std::sort(expected.begin(), expected.end());
    for (const RWCollectable* item : items)
        got.push_back(static_cast<const CountedInt*>(item)->value);
    EXPECT_EQ(got, expected) << label << " n=" << values.size();
    return comparisons;
}

// Musser's median-of-3 killer for a pivot chosen from the first, middle and last elements.
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

// McIlroy's adversary: items start as "gas" (unknown, larger than every solid value) and are
// frozen to the next solid value only when the sort compares two gas items, the one frozen
// being the likely pivot. Every partition then splits off as little as possible.
struct Adversary {
    std::vector<int> val;
    int gas = 0, nsolid = 0;
    const RWCollectable* base = nullptr;
    int candidate = 0;
    long comparisons = 0;
    int index(const RWCollectable* p) const { return static_cast<int>(p - base); }
};

int adversaryCompare(const RWCollectable* x, const RWCollectable* y, void* data) {
    auto& a = *static_cast<Adversary*>(data);
    ++a.comparisons;
    const int ix = a.index(x), iy = a.index(y);
    if (a.val[ix] == a.gas && a.val[iy] == a.gas) a.val[ix == a.candidate ? ix : iy] = a.nsolid++;
    if (a.val[ix] == a.gas)
        a.candidate = ix;
    else if (a.val[iy] == a.gas)
        a.candidate = iy;
    return a.val[ix] < a.val[iy] ? -1 : a.val[ix] > a.val[iy] ? 1 : 0;
}

std::vector<int> adversarialInput(int n) {
    std::vector<RWCollectable> objects(n);
    std::vector<RWCollectable*> items;
    for (auto& o : objects) items.push_back(&o);
    Adversary a;
    a.val.assign(n, n);
    a.gas = n;
    a.base = objects.data();
    QelQuickSort::sortByFunctionWithData(items.data(), n, adversaryCompare, &a);
    for (int i = 1; i < n; ++i) EXPECT_LE(a.val[a.index(items[i - 1])], a.val[a.index(items[i])]);
    return a.val;  // the values the adversary settled on, by original position
}

TEST(QelQuickSort, MatchesStdSortOnEveryInputShapeWithinNLogNComparisons) {
    std::mt19937 random(12345);
    for (const int n : {0, 1, 2, 3, 15, 16, 17, 18, 33, 100, 1000, 4097, 100000}) {
        std::vector<int> randomValues(n);
        for (int& v : randomValues) v = static_cast<int>(random() % (n + 1));
        std::vector<int> ascending(n), organPipe(n);
        for (int i = 0; i < n; ++i) {
            ascending[i] = i;
            organPipe[i] = std::min(i, n - 1 - i);
        }
        const std::vector<int> descending(ascending.rbegin(), ascending.rend());
        const std::vector<int> allEqual(n, 7);
        const long randomCount = sortAndCount(randomValues, "random");
        const struct {
            const char* label;
            std::vector<int> values;
        } shapes[] = {{"ascending", ascending},
                      {"descending", descending},
                      {"all equal", allEqual},
                      {"organ pipe", organPipe},
                      {"killer", medianOfThreeKiller(n)},
                      {"adversary", adversarialInput(n)}};
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
    const struct {
        std::vector<int> values;
        long comparisons;
    } cases[] = {{{}, 0},
                 {{42}, 0},
                 {{16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, 15},
                 {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 30},
                 {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 51}};
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
    for (int i = 0; i < 1000; ++i) objects.emplace_back((i * 7919) % 1000);
    std::vector<RWCollectable*> items;
    for (auto& o : objects) items.push_back(&o);
    QelQuickSort::sortByFunction(items.data(), 1000, reverseOrder);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(static_cast<const CountedInt*>(items[i])->value, 999 - i) << i;
    int token = 0;
    expectedData = &token;
    QelQuickSort::sortByFunctionWithData(items.data(), 1000, compareWithData, &token);
    EXPECT_TRUE(rightData > 1000 && wrongData == 0) << rightData << " " << wrongData;
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(static_cast<const CountedInt*>(items[i])->value, i) << i;
}

TEST(QelQuickSort, EqualElementsMayChangeTheirRelativeOrder) {
    // Seventeen equal keys: the partition swaps the first and last items.
    std::vector<CountedInt> objects(17, CountedInt(5));
    std::vector<RWCollectable*> items;
    for (auto& o : objects) items.push_back(&o);
    const std::vector<RWCollectable*> before = items;
    QelQuickSort::sort(items.data(), 17);
    EXPECT_NE(items, before);
    EXPECT_TRUE(std::is_permutation(items.begin(), items.end(), before.begin()));
}

}  // namespace
