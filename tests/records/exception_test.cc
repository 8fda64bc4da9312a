// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/nq_exception.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

// A subclass filling the fields the library never sets itself.
class FilledException : public NqException {
  public:
    FilledException(const char* code, const char* vendor, const char* trace) : NqException("M") {
        _code = code;
        _vendor = vendor;
        _trace = trace;
    }
};

TEST(NqException, AsStringPrintsOneLabelledLinePerNonEmptyItem) {
    struct Case {
        NqException e;
        std::vector<const char*> contexts;
        const char* expected;
    } cases[] = {
        {NqException(""), {}, "Exception : \n"},
        {NqException(static_cast<const char*>(nullptr)), {""}, "Exception : \n"},
        {NqException(RWCString("M\n")), {}, "Exception : M\n"},
        {NqException("M"), {"C1", "C2\n"}, "Exception : M\nContext   : C1\nC2\n"},
        {NqException("M"), {"A", "", "x\ny"}, "Exception : M\nContext   : A\nx\ny\n"},
        {NqException(RWInternalErr("X")), {}, "Exception : X\nOriginator: RogueWave\n"},
        {FilledException("E42", "Acme", "t1\nt2\n"),
         {"ctx"},
         "Exception : M\nCode      : E42\nVendor    : Acme\nTrace     : t1\nt2\nContext   : ctx\n"},
    };
    for (Case& c : cases) {
        for (const char* text : c.contexts) c.e.context(text);
        EXPECT_EQ(std::string(c.expected), c.e.asString().data());
    }
}

// The copies are plain NqExceptions (the subclass is sliced off) carrying every field.
TEST(NqException, RaiseAndCloneProduceAPlainNqExceptionWithAllFields) {
    FilledException source("C", "V", "T");
    source.context("ctx");
    const std::unique_ptr<RWTHRxmsg> clone(source.clone());
    const RWTHRxmsg& cloned = *clone;
    ASSERT_TRUE(typeid(cloned) == typeid(NqException));
    EXPECT_EQ(std::string(source.asString().data()),
              static_cast<const NqException&>(cloned).asString().data());
    try {
        source.raise();
        ADD_FAILURE() << "raise() returned";
    } catch (const NqException& thrown) {
        EXPECT_TRUE(typeid(thrown) == typeid(NqException));
        EXPECT_EQ(std::string(source.asString().data()), thrown.asString().data());
    }
}

}  // namespace
