// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstddef>
#include <limits>

#include "qelkit/collections/qel_collectable_double.h"
#include "qelkit/collections/qel_collectable_regexp.h"
#include "qelkit/foundation/rw_cregexp.h"
#include "qelkit/foundation/rw_cstring.h"

namespace {

TEST(QelCollectableDouble, ComparesAndEqualsByValueWithNaNUnordered) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // clang-format off
    const struct { double a, b; int compare; bool equal; } cases[] = {
        {2.5, 2.5, 0, true}, {2.5, 3.0, -1, false}, {3.0, 2.5, 1, false}, {0.0, -0.0, 0, true},
        {-1e300, 1e300, -1, false}, {nan, 1.0, 0, false}, {1.0, nan, 0, false}, {nan, nan, 0, false}};
    // clang-format on
    for (const auto& c : cases) {
        const QelCollectableDouble a(c.a), b(c.b);
        EXPECT_EQ(a.compareTo(&b), c.compare) << c.a << " vs " << c.b;
        EXPECT_EQ(a.isEqual(&b), c.equal) << c.a << " vs " << c.b;
    }
    const QelCollectableDouble notANumber(nan);
    EXPECT_FALSE(notANumber.isEqual(&notANumber));
}

TEST(QelCollectableDouble, HashesTheValueTruncatedToThirtyTwoBits) {
    // clang-format off
    const struct { double v; unsigned hash; } cases[] = {
        {2.5, 2}, {-0.0, 0}, {7.9, 7}, {-7.9, 4294967289u}, {-1.5, 4294967295u},
        {-2147483648.0, 2147483648u}, {2147483647.9, 2147483647u}, {2147483648.0, 2147483648u},
        {4294967295.5, 4294967295u}};
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(QelCollectableDouble(c.v).hash(), c.hash) << c.v;
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
