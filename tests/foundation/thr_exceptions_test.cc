#include "qelkit/foundation/rw_thr_exceptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <typeinfo>

namespace {

// Catches what raise() throws by `Exact` only, so a copy sliced to a base type is not caught.
template <class Exact>
bool raisesAs(const RWTHRxmsg& e) {
    try {
        e.raise();
    } catch (const Exact& caught) {
        return typeid(caught) == typeid(Exact) && std::string(caught.why()) == e.why();
    } catch (...) {
    }
    return false;
}

struct ThrCase {
    std::function<RWTHRxmsg*()> make;  // heap object, owned by the test
    const std::type_info& type;
    std::string why;
    bool (*raisesOwnType)(const RWTHRxmsg&);
};

TEST(ThrExceptions, CloneAndRaiseKeepDynamicTypeAndMessage) {
    const ThrCase cases[] = {
        {[] { return new RWTHRxmsg(); }, typeid(RWTHRxmsg), "", raisesAs<RWTHRxmsg>},
        {[] { return new RWTHRxmsg(RWCString("base")); }, typeid(RWTHRxmsg), "base",
         raisesAs<RWTHRxmsg>},
        {[] { return new RWTHRIllegalUsage(); }, typeid(RWTHRIllegalUsage), "Illegal usage",
         raisesAs<RWTHRIllegalUsage>},
        {[] { return new RWTHRIllegalUsage(RWCString("bad")); }, typeid(RWTHRIllegalUsage), "bad",
         raisesAs<RWTHRIllegalUsage>},
        {[] { return new RWTHRInternalError(); }, typeid(RWTHRInternalError), "Internal error",
         raisesAs<RWTHRInternalError>},
        {[] { return new RWTHRInternalError(RWCString("oops")); }, typeid(RWTHRInternalError),
         "oops", raisesAs<RWTHRInternalError>},
    };
    for (const ThrCase& c : cases) {
        const std::unique_ptr<RWTHRxmsg> e(c.make());
        SCOPED_TRACE(c.why);
        EXPECT_EQ(c.why, e->why());
        EXPECT_STREQ(e->why(), e->what());
        const std::unique_ptr<RWTHRxmsg> copy(e->clone());
        const RWTHRxmsg& copied = *copy;
        EXPECT_TRUE(typeid(copied) == c.type);
        EXPECT_EQ(c.why, copy->why());
        EXPECT_TRUE(c.raisesOwnType(*e));
    }
}

TEST(ThrExceptions, IllegalUsageIsCaughtByVendorAndStandardBases) {
    EXPECT_THROW(RWTHRIllegalUsage(RWCString("x")).raise(), RWxmsg);
    EXPECT_THROW(RWTHRIllegalUsage(RWCString("x")).raise(), std::exception);
    // Raised through a base reference, the thrown copy still has the dynamic type.
    const RWTHRInternalError internal;
    const RWxmsg& base = internal;
    EXPECT_THROW(base.raise(), RWTHRInternalError);
}

}  // namespace
