#include "qelkit/foundation/rw_errors.h"

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

#include "qelkit/foundation/rw_cstring.h"

namespace {

// The dynamic type and text of what `raise` throws, caught as std::exception.
template <class Raise>
std::string thrownType(Raise raise, std::string* text) {
    try {
        raise();
    } catch (const std::exception& e) {
        *text = e.what();
        return typeid(e).name();
    }
    return "nothing";
}

TEST(Errors, RaiseThrowsOwnTypeWithSameText) {
    const RWxmsg plain("plain");
    const RWInternalErr internal(RWCString("internal"));
    const RWBoundsErr bounds("bounds");
    const RWExternalErr external(RWCString("external"));
    const RWxmsg* all[] = {&plain, &internal, &bounds, &external};
    for (const RWxmsg* e : all) {
        std::string text;
        EXPECT_EQ(typeid(*e).name(), thrownType([e] { e->raise(); }, &text));
        EXPECT_EQ(std::string(e->why()), text);
        EXPECT_STREQ(e->why(), e->what());
    }
}

TEST(Errors, RWThrowThrowsTheStaticType) {
    const RWBoundsErr bounds("b");
    const RWInternalErr& asInternal = bounds;
    std::string text;
    EXPECT_EQ(typeid(RWInternalErr).name(), thrownType([&] { RWTHROW(asInternal); }, &text));
    EXPECT_EQ(typeid(RWBoundsErr).name(), thrownType([&] { RWTHROW(bounds); }, &text));
    EXPECT_EQ(typeid(RWExternalErr).name(), thrownType([] { RWThrow(RWExternalErr("e")); }, &text));
    EXPECT_EQ("e", text);
}

TEST(Errors, BoundsErrorNamesIndexAndRangeAndIsAnInternalError) {
    try {
        rwThrowBounds("RWCString::operator[]", 7, 3);
        FAIL() << "no exception";
    } catch (const RWInternalErr& e) {
        const std::string text = e.why();
        EXPECT_NE(std::string::npos, text.find('7')) << text;
        EXPECT_NE(std::string::npos, text.find('3')) << text;
        EXPECT_TRUE(dynamic_cast<const RWBoundsErr*>(&e) != nullptr);
    }
}

}  // namespace
