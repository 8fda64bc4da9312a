// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstddef>
#include <limits>

#include "qelkit/collections/qel_collectable_double.h"
#include "qelkit/collections/qel_collectable_regexp.h"
#include "qelkit/foundation/rw_cregexp.h"
#include "qelkit/foundation/rw_cstring.h"

namespace {

// Against double's own arithmetic: compareTo is the sign of the difference (0 when either is
// NaN), isEqual is ==, and within (-2^31 - 1, 2^32) the hash is the value truncated toward zero,
// modulo 2^32.
TEST(QelCollectableDouble, ComparesEqualsAndHashesByValue) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), big = 2147483648.0;
    const double values[] = {2.5,    3.0,   0.0,  -0.0,      7.9, -7.9,          -1.5,
                             -1e300, 1e300, -big, big - 0.1, big, 2 * big - 0.5, nan};
    for (const double a : values) {
        const QelCollectableDouble x(a);
        if (a > -2147483649.0 && a < 4294967296.0) {
            EXPECT_EQ(x.hash(), static_cast<unsigned>(static_cast<long long>(a))) << a;
        }
        for (const double b : values) {
            const QelCollectableDouble y(b);
            EXPECT_EQ(x.compareTo(&y), (a > b) - (a < b)) << a << " vs " << b;
            EXPECT_EQ(bool(x.isEqual(&y)), a == b) << a << " vs " << b;
        }
    }
}

TEST(QelCollectableRegexp, ConvertsBackToAnExpressionThatMatchesAlike) {
    const RWCString subject("key = value42;");
    for (const char* pattern : {"[a-z]+[0-9]+", "^key", "x+", "[oops"}) {
        const RWCRegexp original(pattern);
        const RWCRegexp back = QelCollectableRegexp(original);
        std::size_t lenOriginal = 0, lenBack = 0;
        EXPECT_EQ(back.index(subject, &lenBack), original.index(subject, &lenOriginal)) << pattern;
        EXPECT_TRUE(lenBack == lenOriginal && back.status() == original.status()) << pattern;
    }
    // The pattern plays no part in equality: two wrappers are equal only when they are one.
    const QelCollectableRegexp a(RWCRegexp("a")), alsoA(RWCRegexp("a"));
    EXPECT_TRUE(a.isEqual(&a) && !a.isEqual(&alsoA));
}

}  // namespace
