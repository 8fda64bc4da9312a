// SPDX-License-Identifier: Apache-2.0
// QelTimeText's fractions, epoch counts and patterns; expected times are read by the date
// library from the plain "YYYY-MM-DD HH:MM:SS" written beside each case.
#include <date/date.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>

#include "qelkit/datetime/qel_time_text.h"

namespace {

using R = QelTimeText::Result;

QelTimeText compiled(const char* pattern) {
    QelTimeText reader(QelTimeText::Pattern);
    std::string why;
    EXPECT_TRUE(QelTimeText::pattern(pattern, reader, why)) << pattern << ": " << why;
    return reader;
}

std::int64_t wallOf(const char* plain) {
    std::istringstream in(plain);
    date::sys_seconds t;
    in >> date::parse("%F %T", t);
    EXPECT_FALSE(in.fail()) << plain;
    return t.time_since_epoch().count();
}

// clang-format off
TEST(TimeText, FractionsEpochCountsAndPatterns) {
    const QelTimeText iso, mdy(QelTimeText::MonthFirst), s(QelTimeText::Epoch), ms(QelTimeText::EpochMs),
        us(QelTimeText::EpochUs), clf = compiled(" %d/%b/%Y:%H:%M:%S %z "), am = compiled("%Y%m%d %I:%M %p"),
        syslog = compiled("%b %e %H:%M:%S.%f %y"), dots = compiled("%e.%m.%y"), pct = compiled("%%%Y-%m-%dT%H%z");
    struct Case { const QelTimeText& reader; const char* text; R result; const char* plain = ""; int nanos = 0; int east = 0; bool zoned = false; };
    const Case cases[] = {
        {iso, "2024-02-29T23:59:59.5Z", R::Ok, "2024-02-29 23:59:59", 500000000, 0, true},
        {iso, "2024-2-9 1:02:03,123456789", R::Ok, "2024-02-09 01:02:03", 123456789, 0, false},
        {iso, "2024-02-29 01:02:03.1234567891", R::NoLayout},
        {mdy, "12/10/11 1:02:03 pm", R::Ok, "2011-12-10 13:02:03", 0, 0, false},
        {mdy, "13/10/11 1:02:03.25", R::Ok, "2013-10-11 01:02:03", 250000000, 0, false},
        {s, "  1700000000.25\t", R::Ok, "2023-11-14 22:13:20", 250000000, 0, true},
        {s, "-1.25", R::Ok, "1969-12-31 23:59:58", 750000000, 0, true},
        {s, "-0.0000000009", R::Ok, "1970-01-01 00:00:00", 0, 0, true},
        {s, "-62135596800", R::Ok, "0001-01-01 00:00:00", 0, 0, true},
        {s, "253402300799.9999999999", R::Ok, "9999-12-31 23:59:59", 999999999, 0, true},
        {ms, "-1", R::Ok, "1969-12-31 23:59:59", 999000000, 0, true},
        {ms, "0001700000000123.4567", R::Ok, "2023-11-14 22:13:20", 123456700, 0, true},
        {us, "1700000000123456.7899", R::Ok, "2023-11-14 22:13:20", 123456789, 0, true},
        {s, "-62135596800.5", R::OutOfRange}, {s, "253402300800", R::OutOfRange},
        {ms, "253402300800000", R::OutOfRange}, {us, "99999999999999999999999999", R::OutOfRange},
        {s, "1e9", R::NoLayout}, {s, "+5", R::NoLayout}, {s, "0x10", R::NoLayout}, {s, "nan", R::NoLayout},
        {s, "inf", R::NoLayout}, {s, "1.", R::NoLayout}, {s, ".5", R::NoLayout}, {s, "- 1", R::NoLayout},
        {s, "1.2.3", R::NoLayout}, {s, " \t", R::Blank},
        {clf, "10/Oct/2000:13:55:36 -0700", R::Ok, "2000-10-10 13:55:36", 0, -25200, true},
        {am, "20240301 12:05 aM", R::Ok, "2024-03-01 00:05:00", 0, 0, false},
        {am, "2024031 12:5 PM", R::Ok, "2024-03-01 12:05:00", 0, 0, false},
        {syslog, "JAN  5 01:02:03.04 99", R::Ok, "1999-01-05 01:02:03", 40000000, 0, false},
        {dots, "5.3.68", R::Ok, "2068-03-05 00:00:00", 0, 0, false},
        {pct, "%2023-06-01T12+05:30", R::Ok, "2023-06-01 12:00:00", 0, 19800, true},
        {pct, "%2023-06-01T12z", R::Ok, "2023-06-01 12:00:00", 0, 0, true},
        {dots, "29.2.23", R::OutOfRange}, {am, "20240301 13:05 PM", R::OutOfRange},
        {am, "20240301 00:05 AM", R::OutOfRange}, {clf, "10/Oct/0000:13:55:36 Z", R::OutOfRange},
        {pct, "%2023-06-01T12+24", R::OutOfRange}, {syslog, "Jan 5 24:00:00.0 99", R::OutOfRange},
        {clf, "10/Sept/2000:13:55:36 Z", R::NoLayout}, {clf, "10/Oct/2000:13:55:36", R::NoLayout},
        {dots, "5.3.1968", R::NoLayout}, {syslog, "Jan 5 01:02:03.1234567890 99", R::NoLayout},
        {am, "20240301 12:05", R::NoLayout}, {pct, "2023-06-01T12Z", R::NoLayout},
        {QelTimeText(QelTimeText::Pattern), "2023-06-01", R::NoLayout}};
    for (const Case& c : cases) {
        QelTimeText::Time t;
        ASSERT_EQ(c.result, c.reader.read(c.text, t)) << c.text;
        if (c.result != R::Ok) continue;
        EXPECT_EQ(std::make_tuple(wallOf(c.plain), c.nanos, std::int64_t{c.east}, c.zoned),
                  std::make_tuple(t.wall, t.nanos, t.offsetEast, t.hasOffset)) << c.text;
    }
}

TEST(TimeText, PatternsRefusedWithTheReason) {
    const std::pair<std::string, const char*> refused[] = {
        {"%Y-%m", "needs a year (%Y or %y), a month (%m or %b) and a day"}, {"%H:%M", "needs a year"},
        {"%Y-%m-%d %q", "%q is no directive"}, {"%Y-%m-%d %", "ends with a lone '%'"},
        {"%Y-%m-%d %y", "%y gives the year a second time (after %Y)"},
        {"%b %e %d %Y", "%d gives the day a second time (after %e)"},
        {"%Y-%m-%d %I:%M", "%I needs %p"}, {"%Y-%m-%d %H %p", "%p needs the hour as %I"},
        {"%Y-%m-%d %p", "%p needs the hour as %I"}, {"%Y-%m-%d" + std::string(44, 'x'), "more than 48 steps"}};
    for (const auto& [pattern, reason] : refused) {
        QelTimeText reader(QelTimeText::MonthFirst);
        std::string why;
        EXPECT_FALSE(QelTimeText::pattern(pattern, reader, why)) << pattern;
        EXPECT_NE(std::string::npos, why.find(reason)) << pattern << ": " << why;
        EXPECT_EQ(QelTimeText::MonthFirst, reader.format()) << pattern;
    }
    EXPECT_EQ(QelTimeText::Pattern, compiled(("%Y-%m-%d" + std::string(43, 'x')).c_str()).format());
}
// clang-format on

}  // namespace
