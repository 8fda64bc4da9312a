// SPDX-License-Identifier: Apache-2.0
// Runs with NQ_EXCEPTION_TRACE=1 in its environment, read when the library loads. The name
// does not end in _test.cc, so the records suite (run without the variable) leaves it out.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "qelkit/records/nq_exception.h"
#include "tests/output_capture.h"

namespace {

using output_capture::traces;

TEST(NqExceptionTrace, EachConstructorTracesOnceAndCopiesNever) {
    {
        const output_capture::TraceCapture sink;
        const NqException fromText("text"), fromVendor(RWInternalErr("vendor"));
        const NqUsageException usage(RWCString("usage\n"));
        const NqException copy(fromText);
        const std::unique_ptr<RWTHRxmsg> clone(usage.clone());
        EXPECT_THROW(fromVendor.raise(), NqException);
    }
    const std::string origin = "NqException::NqException()|";
    EXPECT_EQ(traces,
              (std::vector<std::string>{origin + "text", origin + "vendor", origin + "usage\n"}));
}

}  // namespace
