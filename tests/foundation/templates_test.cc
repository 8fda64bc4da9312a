// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "qelkit/foundation/rw_tptr_ordered_vector.h"

namespace {

struct Counted {
    Counted(int v, int* deaths) : v(v), deaths(deaths) {}
    ~Counted() { ++*deaths; }
    bool operator==(const Counted& o) const { return v == o.v; }
    int v;
    int* deaths;
};

TEST(RWTPtrOrderedVector, ClearAndDestroyDeletesEachElementOnce) {
    int deaths = 0;
    RWTPtrOrderedVector<Counted> v;
    Counted* twice = new Counted(1, &deaths);
    v.append(twice);
    v.insert(new Counted(2, &deaths));
    v.insertAt(0, new Counted(3, &deaths));
    v.append(twice);
    const std::size_t cap = v.capacity();
    v.clearAndDestroy();
    EXPECT_EQ(deaths, 3);
    EXPECT_TRUE(v.isEmpty());
    EXPECT_EQ(v.capacity(), cap);
}

}  // namespace
