// SPDX-License-Identifier: Apache-2.0
// The three sorts of QelQuickSort: one introsort over three comparison objects.
#include "qelkit/collections/qel_quick_sort.h"

void QelQuickSort::sort(RWCollectable** items, int n) {
    introsort(items, items + n, NqSortFunctions::CompareRWCollectable());
}

void QelQuickSort::sortByFunction(RWCollectable** items, int n,
                                  int (*f)(const RWCollectable*, const RWCollectable*)) {
    introsort(items, items + n, NqSortFunctions::CompareRWCollectableFunc{f});
}

void QelQuickSort::sortByFunctionWithData(RWCollectable** items, int n,
                                          int (*f)(const RWCollectable*, const RWCollectable*,
                                                   void*),
                                          void* data) {
    introsort(items, items + n, NqSortFunctions::CompareRWCollectableDataFunc{f, data});
}
