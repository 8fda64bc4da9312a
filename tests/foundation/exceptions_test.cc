// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>

#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_errors.h"
#include "qelkit/foundation/rw_thr_exceptions.h"

namespace {

// Whether `throwing` throws an exception caught as `Exact` whose dynamic type is exactly Exact
// and whose text is `why`.
template <class Exact, class Throwing>
bool throwsExactly(Throwing throwing, const std::string& why) {
    try {
        throwing();
    } catch (const Exact& caught) {
        return typeid(caught) == typeid(Exact) && caught.why() == why;
    } catch (...) {
    }
    return false;
}

// Checks an exception built with text `why`: what() matches, raise() through a base reference
// throws its own type, and so does the clone() of a threads-module exception (the clone keeps
// the dynamic type and text, or its raise() would not).
template <class E>
void expectOwnTypeKept(const E& e, const char* why) {
    SCOPED_TRACE(typeid(E).name());
    EXPECT_STREQ(why, e.why());
    EXPECT_STREQ(why, e.what());
    const RWxmsg& base = e;
    EXPECT_TRUE(throwsExactly<E>([&] { base.raise(); }, why));
    if (const RWTHRxmsg* thr = dynamic_cast<const RWTHRxmsg*>(&base)) {
        const std::unique_ptr<RWTHRxmsg> copy(thr->clone());
        EXPECT_TRUE(throwsExactly<E>([&] { copy->raise(); }, why));
    }
}

TEST(Exceptions, RaiseAndCloneKeepTheDynamicTypeAndText) {
    expectOwnTypeKept(RWxmsg("plain"), "plain");
    expectOwnTypeKept(RWInternalErr(RWCString("internal")), "internal");
    expectOwnTypeKept(RWBoundsErr("bounds"), "bounds");
    expectOwnTypeKept(RWExternalErr("external"), "external");
    expectOwnTypeKept(RWTHRxmsg(), "");
    expectOwnTypeKept(RWTHRIllegalUsage(), "Illegal usage");
    expectOwnTypeKept(RWTHRInternalError(), "Internal error");
    expectOwnTypeKept(RWTHRIllegalUsage(RWCString("bad")), "bad");
    EXPECT_THROW(RWTHRIllegalUsage().raise(), std::exception);
}

TEST(Exceptions, RWThrowThrowsTheStaticType) {
    const RWBoundsErr bounds("b");
    const RWInternalErr& asInternal = bounds;
    EXPECT_TRUE(throwsExactly<RWInternalErr>([&] { RWTHROW(asInternal); }, "b"));
    EXPECT_TRUE(throwsExactly<RWBoundsErr>([&] { RWTHROW(bounds); }, "b"));
    EXPECT_TRUE(throwsExactly<RWExternalErr>([] { RWThrow(RWExternalErr("e")); }, "e"));
}

}  // namespace
