#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "qelkit/datetime/nq_string_to_date.h"
#include "qelkit/foundation/nq_trace.h"
#include "qelkit/records/nq_exception.h"

namespace {

using S = NqStringToDate;
std::vector<std::string> traces;
void capture(const char* origin, const char* message) {
    traces.push_back(std::string(origin) + message);
}

// Local "YYYY-MM-DD hh:mm:ss.mmm" of a valid value, else "invalid".
std::string show(const RWDateTime& dt) {
    if (!dt.isValid()) return "invalid";
    return std::string(dt.asString("%Y-%m-%d %H:%M:%S.")) +
           std::to_string(dt.milliSecond() + 1000).substr(1);
}

// show() of what `f` returns, or "throw: " and the message of the NqException it throws.
template <class F>
std::string outcome(F f) {
    try {
        return show(f());
    } catch (const NqException& e) {
        return std::string("throw: ") + e.why();
    }
}

class StringToDate : public ::testing::Test {
  protected:
    void SetUp() override { previous_ = NqTraceStatic::setSink(capture), traces.clear(); }
    void TearDown() override { NqTraceStatic::setSink(previous_); }
    NqTraceSink previous_ = nullptr;
};

TEST_F(StringToDate, ConversionsReadFieldsAndThrowOnMalformedOnes) {
    struct Case {
        RWDateTime (*convert)(const QelString&);
        const char* text;
        const char* want;
    };
    const Case cases[] = {
        {S::nq::date, "2007-04-09", "2007-04-09 00:00:00.000"},
        {S::nq::date, "2007/4/9", "2007-04-09 00:00:00.000"},
        {S::nq::date, "0068 1 1", "2068-01-01 00:00:00.000"},
        {S::nq::date, "0069-1-1", "1969-01-01 00:00:00.000"},
        {S::nq::date, "0100-1-1", "100-01-01 00:00:00.000"},
        {S::nq::date, "2007-+4-9xx", "2007-04-09 00:00:00.000"},
        {S::nq::date, "2007-02-31", "invalid"},
        {S::nq::date, "2007-13-01", "invalid"},
        {S::nq::date, "99999999999999999999-1-1", "invalid"},
        {S::nq::date, "07-04-09", "throw: setDateYYYYMMDD() Invalid year '07'"},
        {S::nq::datetime, "2007-04-09 14:09:43", "2007-04-09 14:09:43.000"},
        {S::nq::datetime, "2007-04-09\t14:09", "2007-04-09 14:09:00.000"},
        {S::nq::datetime, "2007-04-09 AM", "2007-04-09 00:00:00.000"},
        {S::nq::datetime, "2007-04-09 1", "2007-04-09 00:00:00.000"},
        {S::nq::datetime, "2007-04-09 25:00", "invalid"},
        {S::nq::datetime, "123-4-5 14:09", "throw: setDateYYYYMMDD() Invalid year '123'"},
        {S::qel::date, "Apr 9, 2007", "2007-04-09 00:00:00.000"},
        {S::qel::date, "2007-04-09 x", "2007-04-09 00:00:00.000"},
        {S::qel::date, "13/12/07", "throw: Date format obviously incorrect for 13/12/07"},
        {S::qel::datetime, "04/09/2007 2:09 PM", "2007-04-09 14:09:00.000"},
        {S::qel::datetime, "2007-04-09T14:09:43", "2007-04-09 00:00:00.000"},
    };
    // A NUL byte delimits like any delimiter; the time after it is still read.
    EXPECT_EQ(show(S::nq::datetime(QelString("2007-04-09\0 14:09", 17))),
              "2007-04-09 14:09:00.000");
    for (const Case& c : cases)
        EXPECT_EQ(outcome([&] { return c.convert(c.text); }), c.want) << c.text;
}

TEST_F(StringToDate, InvalidResultsAreTracedUnderTheConversionTag) {
    EXPECT_FALSE(S::nq::date("2007-04").isValid());
    EXPECT_FALSE(S::nq::time("14").isValid());
    EXPECT_FALSE(S::nq::datetime("14:09").isValid());
    EXPECT_FALSE(S::qel::time("14.09").isValid());
    EXPECT_TRUE(S::qel::time("14:09").isValid());
    const std::vector<std::string> want = {
        "NqStringToDate::nq::date() Error 2007-04", "NqStringToDate::nq::time() Error 14",
        "NqStringToDate::nq::datetime() Error 14:09", "NqStringToDate::qel::time() Error 14.09"};
    EXPECT_EQ(traces, want);
}

TEST_F(StringToDate, FieldOrderFollowsFormatUnlessFirstFieldIsAYear) {
    struct Case {
        const char* text;
        const char* format;
        const char* want;
        bool ambiguous;
    };
    const Case cases[] = {
        {"04/09/2007", "M/D/Y", "2007-04-09 00:00:00.000", true},
        {"2007/04/09", "D/M/Y", "2007-04-09 00:00:00.000", false},
        {"13/12/07", "D/M/Y", "2007-12-13 00:00:00.000", true},
        {"07-04-09", "Y-M-D", "2007-04-09 00:00:00.000", false},
        {"1 2 68", "M/D/Y", "2068-01-02 00:00:00.000", true},
        {"1 2 69", "M/D/Y", "1969-01-02 00:00:00.000", true},
        {"1 2 99", "M/D/Y", "1999-01-02 00:00:00.000", true},
        {"1 2 100", "M/D/Y", "100-01-02 00:00:00.000", true},
        {"1 2 3", "M", "invalid", true},
        {"04/09", "M/D/Y", "not stored", false},
    };
    for (const Case& c : cases) {
        traces.clear();
        RWDateTime dt(RWDateTime::invalid);
        EXPECT_EQ(S::setDateAll(dt, c.text, c.format) ? show(dt) : "not stored", c.want) << c.text;
        const std::string msg =
            std::string("NqStringConvert::setDateAll()ERROR: Ambiguous date '") + c.text +
            "'.  Using format " + c.format;
        EXPECT_EQ(traces, c.ambiguous ? std::vector<std::string>{msg} : std::vector<std::string>{});
    }
}

TEST_F(StringToDate, FieldParsersKeepTheOtherHalf) {
    struct Case {
        bool (*parse)(RWDateTime&, const QelString&);
        const char* text;
        const char* want;
    };
    const Case cases[] = {
        {S::setTime24HR, "14:09", "2007-04-09 14:09:00.000"},
        {S::setTime24HR, "14:09:30.250", "2007-04-09 14:09:30.000"},
        {S::setTime24HR, "14:09.30", "2007-04-09 14:09:00.000"},
        {S::setTime24HR, "14", "not stored"},
        {S::setTime24HR, "14.09", "not stored"},
        {S::setDateYYYYMMDD, "2008-02-29", "2008-02-29 01:02:03.456"},
        {S::setDateYYYYMMDD, "2008-02", "not stored"},
    };
    for (const Case& c : cases) {
        RWDateTime dt(9, 4, 2007, 1, 2, 3, 456);
        const std::string before = show(dt);
        EXPECT_EQ(c.parse(dt, c.text) ? show(dt) : "not stored", c.want) << c.text;
        if (c.want == std::string("not stored")) {
            EXPECT_EQ(show(dt), before) << c.text;
        }
    }
}

TEST_F(StringToDate, PrintTmListsEightFieldsWithoutDst) {
    tm t{};
    EXPECT_EQ(std::string(S::printTm(&t)), "TM: 0 0 0 0 0 0 0 0");
    t.tm_year = 107, t.tm_mon = 3, t.tm_mday = 9, t.tm_hour = 14, t.tm_min = 9, t.tm_sec = 59;
    t.tm_yday = 98, t.tm_wday = 1, t.tm_isdst = 1;
    EXPECT_EQ(std::string(S::printTm(&t)), "TM: 107 3 9 14 9 59 98 1");
}

}  // namespace
