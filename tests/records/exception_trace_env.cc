// Runs with NQ_EXCEPTION_TRACE=1 in its environment, read when the library loads. The name
// does not end in _test.cc, so the records suite (run without the variable) leaves it out.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "qelkit/foundation/nq_trace.h"
#include "qelkit/records/nq_exception.h"

namespace {

std::vector<std::string> traces;

void capture(const char* origin, const char* message) {
    traces.push_back(std::string(origin) + "|" + message);
}

TEST(NqExceptionTrace, EachConstructorTracesOnceAndCopiesNever) {
    traces.clear();
    const NqTraceSink previous = NqTraceStatic::setSink(capture);
    const NqException fromText("text");
    const NqException fromString(RWCString("string\n"));
    const NqException fromVendor(RWInternalErr("vendor"));
    const NqUsageException usage(RWCString("usage"));
    const std::vector<std::string> constructed = {
        "NqException::NqException()|text", "NqException::NqException()|string\n",
        "NqException::NqException()|vendor", "NqException::NqException()|usage"};
    EXPECT_EQ(constructed, traces);

    const NqException copy(fromText);
    const std::unique_ptr<RWTHRxmsg> clone(usage.clone());
    EXPECT_THROW(fromVendor.raise(), NqException);
    EXPECT_THROW(usage.raise(), NqException);
    NqTraceStatic::setSink(previous);
    EXPECT_EQ(constructed, traces);
}

}  // namespace
