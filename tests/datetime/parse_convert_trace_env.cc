// Runs with NQ_TRACE_DATECONVERT=1 and TZ=UTC in its environment.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qelkit/datetime/nq_string_to_date.h"
#include "qelkit/foundation/nq_trace.h"

namespace {

std::vector<std::string> traces;
void capture(const char* origin, const char* message) {
    traces.push_back(std::string(origin) + "|" + message);
}

TEST(StringToDateTrace, FieldParsersTraceInputAndBrokenDownTime) {
    struct Case {
        RWDateTime (*convert)(const QelString&);
        const char* text;
        std::vector<std::string> want;
    };
    const Case cases[] = {
        {NqStringToDate::nq::datetime,
         "2007-04-09 14:09:43",
         {"NqStringConvert::setDateYYYYMMDD()|2007-04-09",
          "NqStringConvert::setDateFromTm()|TM: 107 3 9 0 0 0 0 0",
          "NqStringConvert::setTime24HR()| 14:09:43",
          "NqStringConvert::setTimeFromTm()|TM: 107 3 9 14 9 43 0 0"}},
        {NqStringToDate::nq::time,
         "14",
         {"NqStringConvert::setTime24HR()|14", "NqStringToDate::nq::time() Error |14"}},
        {NqStringToDate::qel::date,
         "2007/4/9 x",
         {"NqStringConvert::setDateAll()|2007/4/9 x",
          "NqStringConvert::setDateFromTm()|TM: 107 3 9 0 0 0 0 0"}},
    };
    const NqTraceSink previous = NqTraceStatic::setSink(capture);
    for (const Case& c : cases) {
        traces.clear();
        c.convert(c.text);
        EXPECT_EQ(traces, c.want) << c.text;
    }
    NqTraceStatic::setSink(previous);
}

}  // namespace
