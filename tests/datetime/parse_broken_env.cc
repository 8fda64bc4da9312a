// Runs with NQ_USE_BROKEN_DATECONVERT=1, once with the default field order M/D/Y and once with
// NQ_AMBIGUOUS_DATEFORMAT=D/M/Y; each row holds the expectation for both orders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "qelkit/datetime/nq_string_to_date.h"
#include "qelkit/foundation/nq_trace.h"
#include "qelkit/records/nq_exception.h"

namespace {

std::vector<std::string> traces;
void capture(const char*, const char* message) { traces.emplace_back(message); }

// "YYYY-MM-DD" of a valid result, "invalid", or the message of the exception thrown.
std::string outcome(const char* text) {
    try {
        const RWDateTime dt = NqStringToDate::nq::date(text);
        return dt.isValid() ? std::string(dt.asString("%Y-%m-%d")) : "invalid";
    } catch (const NqException& e) {
        return e.why();
    }
}

TEST(BrokenDateConvert, DatesFollowTheAmbiguousFieldOrder) {
    const bool dmy = std::getenv("NQ_AMBIGUOUS_DATEFORMAT") != nullptr;
    const std::string format = dmy ? "D/M/Y" : "M/D/Y";
    struct Case {
        const char* text;
        const char* mdy;
        const char* dmy;
        bool ambiguous;
    };
    const Case cases[] = {
        {"04/09/2007", "2007-04-09", "2007-09-04", true},
        {"2007/04/09", "2007-04-09", "2007-04-09", false},
        {"13/12/07", "Date format obviously incorrect for 13/12/07", "2007-12-13", true},
        {"07-04-09", "2009-07-04", "2009-04-07", true},
        {"04/09", "invalid", "invalid", false},
    };
    const NqTraceSink previous = NqTraceStatic::setSink(capture);
    for (const Case& c : cases) {
        traces.clear();
        EXPECT_EQ(outcome(c.text), dmy ? c.dmy : c.mdy) << c.text;
        const bool traced = !traces.empty() && traces[0] == std::string("ERROR: Ambiguous date '") +
                                                                c.text + "'.  Using format " +
                                                                format;
        EXPECT_EQ(traced, c.ambiguous) << c.text;
    }
    NqTraceStatic::setSink(previous);
}

}  // namespace
