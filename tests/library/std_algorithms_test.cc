// SPDX-License-Identifier: Apache-2.0
// An application's own code that includes every public header and calls the standard heap
// algorithms unqualified on a std::vector, at global scope: the library's sort templates must
// not take part in those calls.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "qelkit/qelkit.h"

int main() {
    std::vector<int> v{5, 1, 4, 2, 3};
    make_heap(v.begin(), v.end(), std::less<int>());
    if (v.front() != 5) return 1;
    sort_heap(v.begin(), v.end(), std::less<int>());
    if (v != std::vector<int>{1, 2, 3, 4, 5}) {
        std::fprintf(stderr, "the standard heap algorithms did not sort\n");
        return 1;
    }
    return 0;
}
