#include "qelkit/records/nq_exception.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "qelkit/foundation/nq_trace.h"

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

// A vendor exception whose text comes from an override of why().
class OverridingWhy : public RWxmsg {
  public:
    OverridingWhy() : RWxmsg("base text") {}
    const char* why() const override { return "overridden text"; }
};

TEST(NqException, AsStringPrintsOneLabelledLinePerNonEmptyItem) {
    struct Case {
        NqException e;
        std::vector<const char*> contexts;
        const char* expected;
    } cases[] = {
        {NqException("M"), {}, "Exception : M\n"},
        {NqException(""), {}, "Exception : \n"},
        {NqException(static_cast<const char*>(nullptr)), {}, "Exception : \n"},
        {NqException(RWCString("M\n")), {}, "Exception : M\n"},
        {NqException("M"), {""}, "Exception : M\n"},
        {NqException("M"), {"A", "B"}, "Exception : M\nContext   : A\nB\n"},
        {NqException("M"), {"C1", "C2\n"}, "Exception : M\nContext   : C1\nC2\n"},
        {NqException("M"), {"A", "", "x\ny"}, "Exception : M\nContext   : A\nx\ny\n"},
        {NqException(RWInternalErr("X")), {}, "Exception : X\nOriginator: RogueWave\n"},
        {NqException(OverridingWhy()), {}, "Exception : overridden text\nOriginator: RogueWave\n"},
        {FilledException("E42", "", ""), {}, "Exception : M\nCode      : E42\n"},
        {FilledException("E42", "Acme", "t1\nt2\n"),
         {"ctx"},
         "Exception : M\nCode      : E42\nVendor    : Acme\nTrace     : t1\nt2\nContext   : ctx\n"},
    };
    for (Case& c : cases) {
        for (const char* text : c.contexts) c.e.context(text);
        EXPECT_EQ(std::string(c.expected), c.e.asString().data());
    }
}

TEST(NqException, ContextAccumulatesLinesEndingWithNewline) {
    NqException e("M");
    for (const char* text : {"", "A", "B\n", ""}) e.context(text);
    EXPECT_EQ(std::string("A\nB\n"), e.context().data());
}

TEST(NqException, RaiseAndCloneProduceAPlainNqExceptionWithAllFields) {
    FilledException filled("C", "V", "T");
    filled.context("ctx");
    NqUsageException usage(RWCString("misuse"));
    usage.context("u");
    const NqException* sources[] = {&filled, &usage};
    for (const NqException* source : sources) {
        const std::unique_ptr<RWTHRxmsg> clone(source->clone());
        const RWTHRxmsg& cloned = *clone;
        EXPECT_TRUE(typeid(cloned) == typeid(NqException));
        EXPECT_EQ(std::string(source->asString().data()),
                  static_cast<const NqException&>(cloned).asString().data());
        try {
            source->raise();
            ADD_FAILURE() << "raise() returned";
        } catch (const NqUsageException&) {
            ADD_FAILURE() << "raise() kept the subclass type";
        } catch (const NqException& thrown) {
            EXPECT_TRUE(typeid(thrown) == typeid(NqException));
            EXPECT_EQ(std::string(source->asString().data()), thrown.asString().data());
        }
    }
    EXPECT_THROW(usage.raise(), RWTHRxmsg);
    EXPECT_THROW(usage.raise(), RWxmsg);
    EXPECT_STREQ("misuse", usage.what());
}

void failOnTrace(const char*, const char*) { ADD_FAILURE() << "unexpected trace"; }

TEST(NqException, ConstructionIsNotTracedWithoutTheVariable) {
    const char* flag = std::getenv("NQ_EXCEPTION_TRACE");
    if (flag != nullptr && *flag != '\0') GTEST_SKIP() << "NQ_EXCEPTION_TRACE is set";
    const NqTraceSink previous = NqTraceStatic::setSink(failOnTrace);
    NqException fromText("a");
    NqException fromString(RWCString("b"));
    NqException fromVendor(RWxmsg("c"));
    NqUsageException usage(RWCString("d"));
    NqTraceStatic::setSink(previous);
}

}  // namespace
