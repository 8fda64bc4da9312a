// SPDX-License-Identifier: Apache-2.0
// QelQuickSort sorts arrays of RWCollectable pointers in place, ascending, by the objects'
// compareTo or by a caller's comparison function. It is an introsort: quick sort with a
// median-of-three pivot, a heap sort once the recursion is 2*log2(n) levels deep, and a final
// insertion sort over the ranges of 16 or fewer elements that partitioning leaves behind. At
// most of the order of n*log(n) comparisons on any input; no memory allocated; not stable.
//
// The algorithm is written once, as the templates introsort, __nq_median and make_heap over a
// comparison object answering "must a come before b?"; NqSortFunctions holds the three
// comparison objects the class functions use. The templates take part in overload resolution
// only for a range of RWCollectable pointers and one of those three objects, so an unqualified
// make_heap over a std container in an application still finds std::make_heap alone.
// Comparisons must give a consistent order and must not change the array: the inner scans rely
// on that and test no bounds.
#ifndef QELKIT_COLLECTIONS_QEL_QUICK_SORT_H
#define QELKIT_COLLECTIONS_QEL_QUICK_SORT_H

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <type_traits>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"

class QELKIT_API QelQuickSort {
  public:
    // Sorts items[0..n) so that no item's compareTo the one before it is negative. n >= 0.
    static void sort(RWCollectable** items, int n);
    // Sorts items[0..n) ascending by f: a comes before b when f(b, a) > 0, so f(x, y) should
    // answer like x->compareTo(y). n >= 0.
    static void sortByFunction(RWCollectable** items, int n,
                               int (*f)(const RWCollectable*, const RWCollectable*));
    // As sortByFunction, passing `data` unchanged as the third argument of every call of f.
    static void sortByFunctionWithData(RWCollectable** items, int n,
                                       int (*f)(const RWCollectable*, const RWCollectable*, void*),
                                       void* data);
};

// The comparison objects: each answers whether `a` must come before `b`, and each asks only
// whether one comparison is positive.
struct QELKIT_API NqSortFunctions {
    // By the objects' own order: b->compareTo(a) > 0.
    struct CompareRWCollectable {
        bool operator()(const RWCollectable* a, const RWCollectable* b) const {
            return b->compareTo(a) > 0;
        }
    };

    // By a comparison function: f(b, a) > 0.
    struct CompareRWCollectableFunc {
        int (*f)(const RWCollectable*, const RWCollectable*);
        bool operator()(const RWCollectable* a, const RWCollectable* b) const {
            return f(b, a) > 0;
        }
    };

    // By a comparison function with the caller's data: f(b, a, data) > 0.
    struct CompareRWCollectableDataFunc {
        int (*f)(const RWCollectable*, const RWCollectable*, void*);
        void* data;
        bool operator()(const RWCollectable* a, const RWCollectable* b) const {
            return f(b, a, data) > 0;
        }
    };
};

namespace qelkit_internal {

template <class Compare>
struct IsSortFunction : std::false_type {};
template <>
struct IsSortFunction<NqSortFunctions::CompareRWCollectable> : std::true_type {};
template <>
struct IsSortFunction<NqSortFunctions::CompareRWCollectableFunc> : std::true_type {};
template <>
struct IsSortFunction<NqSortFunctions::CompareRWCollectableDataFunc> : std::true_type {};

// Valid (as int) only for the library's own argument types: elements that are RWCollectable
// pointers and one of the comparison objects of NqSortFunctions.
template <class T, class Compare>
using IfSortArguments =
    std::enable_if_t<IsSortFunction<Compare>::value &&
                         std::is_convertible<const T&, const RWCollectable*>::value,
                     int>;
template <class RandomIt, class Compare>
using IfSortRange = IfSortArguments<typename std::iterator_traits<RandomIt>::value_type, Compare>;

}  // namespace qelkit_internal

// The median of a, b and c under `comp`, found with two or three comparisons.
template <class T, class Compare, qelkit_internal::IfSortArguments<T, Compare> = 0>
const T& __nq_median(const T& a, const T& b, const T& c, Compare comp) {
    if (comp(a, b)) {
        if (comp(b, c)) return b;
        if (comp(a, c)) return c;
        return a;
    }
    if (comp(a, c)) return a;
    if (comp(b, c)) return c;
    return b;
}

namespace qelkit_internal {

// Sifts a hole at `hole` down to a leaf along the larger children, then pushes `value` back up
// from there: fewer comparisons than sifting the value down level by level.
template <class RandomIt, class Distance, class T, class Compare>
void adjustHeap(RandomIt first, Distance hole, Distance len, T value, Compare comp) {
    const Distance top = hole;
    Distance child = 2 * hole + 2;
    while (child < len) {
        if (comp(first[child], first[child - 1])) --child;
        first[hole] = first[child];
        hole = child;
        child = 2 * (hole + 1);
    }
    if (child == len) {
        first[hole] = first[child - 1];
        hole = child - 1;
    }
    Distance parent = (hole - 1) / 2;
    while (hole > top && comp(first[parent], value)) {
        first[hole] = first[parent];
        hole = parent;
        parent = (hole - 1) / 2;
    }
    first[hole] = value;
}

template <class RandomIt, class Compare>
void heapSort(RandomIt first, RandomIt last, Compare comp);

// Moves `value` down from `last` while it must come before its left neighbour. Something at or
// before the start of the scan must not come after `value`: no bound is tested.
template <class RandomIt, class T, class Compare>
void unguardedLinearInsert(RandomIt last, T value, Compare comp) {
    RandomIt next = last;
    --next;
    while (comp(value, *next)) {
        *last = *next;
        last = next;
        --next;
    }
    *last = value;
}

// Inserts *i into the sorted [first, i), going straight to the front when it is smallest.
template <class RandomIt, class Compare>
void linearInsert(RandomIt first, RandomIt i, Compare comp) {
    auto value = *i;
    if (comp(value, *first)) {
        std::copy_backward(first, i, i + 1);
        *first = value;
    } else {
        unguardedLinearInsert(i, value, comp);
    }
}

template <class RandomIt, class Compare>
void insertionSort(RandomIt first, RandomIt last, Compare comp) {
    if (first == last) return;
    for (RandomIt i = first + 1; i != last; ++i) linearInsert(first, i, comp);
}

// Hoare partition around a value of the range; returns the start of the upper part.
template <class RandomIt, class T, class Compare>
RandomIt unguardedPartition(RandomIt first, RandomIt last, T pivot, Compare comp) {
    for (;;) {
        while (comp(*first, pivot)) ++first;
        --last;
        while (comp(pivot, *last)) --last;
        if (!(first < last)) return first;
        auto held = *first;
        *first = *last;
        *last = held;
        ++first;
    }
}

constexpr std::ptrdiff_t insertionThreshold = 16;

template <class RandomIt, class Size, class Compare>
void introsortLoop(RandomIt first, RandomIt last, Size depthLimit, Compare comp) {
    while (last - first > insertionThreshold) {
        if (depthLimit == 0) {
            heapSort(first, last, comp);
            return;
        }
        --depthLimit;
        auto pivot = __nq_median(*first, *(first + (last - first) / 2), *(last - 1), comp);
        RandomIt cut = unguardedPartition(first, last, pivot, comp);
        introsortLoop(cut, last, depthLimit, comp);
        last = cut;
    }
}

// The number of halvings that bring n (>= 1) down to 1.
template <class Size>
Size floorLog2(Size n) {
    Size k = 0;
    for (; n != 1; n >>= 1) ++k;
    return k;
}

}  // namespace qelkit_internal

// Arranges [first, last) as a max-heap under `comp` (the element nothing must follow first).
template <class RandomIt, class Compare, qelkit_internal::IfSortRange<RandomIt, Compare> = 0>
void make_heap(RandomIt first, RandomIt last, Compare comp) {
    using Distance = typename std::iterator_traits<RandomIt>::difference_type;
    const Distance len = last - first;
    if (len < 2) return;
    for (Distance parent = (len - 2) / 2;; --parent) {
        qelkit_internal::adjustHeap(first, parent, len, first[parent], comp);
        if (parent == 0) return;
    }
}

// Sorts [first, last) ascending under `comp`, which answers whether its first argument must come
// before its second. Not stable; comparisons must be consistent.
template <class RandomIt, class Compare, qelkit_internal::IfSortRange<RandomIt, Compare> = 0>
void introsort(RandomIt first, RandomIt last, Compare comp) {
    namespace in = qelkit_internal;
    if (first == last) return;
    const auto n = last - first;
    in::introsortLoop(first, last, 2 * in::floorLog2(n), comp);
    // Partitioning left a smallest element among the first 16, so every later insertion stops
    // without a bounds test.
    if (n > in::insertionThreshold) {
        in::insertionSort(first, first + in::insertionThreshold, comp);
        for (RandomIt i = first + in::insertionThreshold; i != last; ++i)
            in::unguardedLinearInsert(i, *i, comp);
    } else {
        in::insertionSort(first, last, comp);
    }
}

template <class RandomIt, class Compare>
void qelkit_internal::heapSort(RandomIt first, RandomIt last, Compare comp) {
    using Distance = typename std::iterator_traits<RandomIt>::difference_type;
    ::make_heap(first, last, comp);
    while (last - first > 1) {
        --last;
        auto value = *last;
        *last = *first;
        adjustHeap(first, Distance(0), Distance(last - first), value, comp);
    }
}

#endif  // QELKIT_COLLECTIONS_QEL_QUICK_SORT_H
