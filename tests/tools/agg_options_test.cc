// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/agg_options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// Parses a blank-separated command line ("~" stands for an empty argument).
std::string parse(const std::string& line, AggOptions& options) {
    std::vector<std::string> words{"qelkit-agg"};
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w == "~" ? "" : w);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    return parseAggOptions(static_cast<int>(argv.size()), argv.data(), options);
}

std::string join(const std::vector<int>& v) {
    std::string s;
    for (int x : v) s += (s.empty() ? "" : ",") + std::to_string(x);
    return s;
}

TEST(AggOptions, AcceptsLongShortAttachedAndAbbreviatedForms) {
    struct Case {
        const char* line;
        char delimiter;
        int time;
        const char* keys;
        const char* values;
        TimeAggregationType period;
        const char* file;
    };
    const Case cases[] = {
        {"-p hour f.csv", ',', 1, "", "", Hour, "f.csv"},
        {"--period=day -d tab f", '\t', 1, "", "", Day, "f"},
        {"-p week -d \\t f", '\t', 1, "", "", Week, "f"},
        {"-d; -t3 -k2,4 -v 5,6 -p quarter-hour f", ';', 3, "2,4", "5,6", FifteenMinute, "f"},
        {"--delim=| --ti 2 --ke=1 --val=3 --per=month f", '|', 2, "1", "3", Month, "f"},
        {"f -p none -t 4", ',', 4, "", "", None, "f"},
        {"-p year -- -odd-name", ',', 1, "", "", Year, "-odd-name"},
        {"-t 2147483647 -p day f", ',', 2147483647, "", "", Day, "f"},
        {"-p hour -", ',', 1, "", "", Hour, "-"},
    };
    for (const Case& c : cases) {
        AggOptions o;
        ASSERT_EQ(parse(c.line, o), "") << c.line;
        EXPECT_EQ(o.delimiter, c.delimiter) << c.line;
        EXPECT_EQ(o.timeColumn, c.time) << c.line;
        EXPECT_EQ(join(o.keyColumns), c.keys) << c.line;
        EXPECT_EQ(join(o.valueColumns), c.values) << c.line;
        EXPECT_EQ(o.period, c.period) << c.line;
        EXPECT_EQ(o.file, c.file) << c.line;
    }
}

// Exact names only: every --help name and library description in its usual spellings, and
// none of the texts the library's substring rules would still take for some period.
TEST(AggOptions, PeriodNamesAreExact) {
    // clang-format off
    const std::pair<const char*, TimeAggregationType> accepted[] = {
        {"minute", OneMinute}, {"One Minute", OneMinute}, {"2 minutes", TwoMinute},
        {"5min", FiveMinute}, {"Ten-Minute", TenMinute}, {"15 minute", FifteenMinute},
        {"quarter_hour", FifteenMinute}, {"30 MINUTE", HalfHour}, {"Half-Hour", HalfHour},
        {"hour", Hour}, {"hourly", Hour}, {"All Hours", AllHours}, {"week-hour", WeekHour},
        {"Month Hour", MonthHour}, {"  day ", Day}, {"weeks", Week}, {"Month", Month},
        {"yearly", Year}, {"None", None}};
    // clang-format on
    for (const auto& [text, period] : accepted) {
        TimeAggregationType got = Year;
        EXPECT_TRUE(periodFromName(text, got)) << text;
        EXPECT_EQ(got, period) << text;
    }
    for (const char* text : {"45 minute", "20 minute", "3 hours", "quarterly", "hourglass", "",
                             "half", "quarter", "fortnight", "minute 15", "15", "day day"}) {
        TimeAggregationType got = Year;
        EXPECT_FALSE(periodFromName(text, got)) << text;
    }
}

TEST(AggOptions, FlagsAndTextOptionsAreStored) {
    AggOptions o;
    ASSERT_EQ(parse("--collapse --header --dst --rows --strict --dates=qel --week-start Monday "
                    "--zlib out.z --no-quotes -q -j 3 --format=csv -p hour f",
                    o),
              "");
    EXPECT_TRUE(o.collapse && o.header && o.dst && o.rows && o.strict && o.qelDates && o.noQuotes &&
                o.quiet);
    EXPECT_EQ(o.weekStart, "Monday");
    EXPECT_EQ(o.zlibFile, "out.z");
    EXPECT_EQ(o.jobs, 3u);
    EXPECT_EQ(o.format, OutputFormat::Csv);

    AggOptions sql;
    ASSERT_EQ(parse("--sql ts -p day", sql), "");
    EXPECT_TRUE(sql.sql);
    EXPECT_EQ(sql.sqlColumn, "ts");
    EXPECT_EQ(sql.file, "");
}

TEST(AggOptions, HelpAndVersionWinOverLaterProblems) {
    const char* lines[] = {"--help --bogus", "-h", "--version extra operands", "--vers"};
    for (const char* line : lines) {
        AggOptions o;
        EXPECT_EQ(parse(line, o), "") << line;
        EXPECT_TRUE(o.help || o.version) << line;
    }
    AggOptions o;
    EXPECT_EQ(parse("--bogus --help", o), "unrecognized option '--bogus'");
}

TEST(AggOptions, RejectsMalformedValues) {
    const char* lines[][2] = {
        {"-d ~ -p hour f", "invalid delimiter ''"},
        {"-d \\n -p hour f", "invalid delimiter '\\n'"},
        {"-t -1 -p hour f", "invalid time column '-1'"},
        {"-t 99999999999 -p hour f", "invalid time column '99999999999'"},
        {"-k 1, -p hour f", "invalid key columns '1,'"},
        {"-v 0 -p hour f", "invalid value columns '0'"},
        {"-p ~ f", "invalid period ''"},
        {"-p hours2 f", "invalid period 'hours2': give one of minute, 2 minute,"},
        {"--week-start=monday -p week f", "invalid week start 'monday'"},
        {"-hx", "invalid option -- 'x'"},
        {"--rows=1 -p hour f", "option '--rows' doesn't allow an argument"},
        {"-k", "option '-k' requires an argument"},
        {"-j 0 -p hour f", "invalid job count '0'"},
        {"--jobs=257 -p hour f", "invalid job count '257'"},
        {"--format=xml -p hour f", "invalid format 'xml'"},
        {"-d \" -p hour f", "the delimiter '\"' needs --no-quotes"},
    };
    for (const auto& c : lines) {
        AggOptions o;
        const std::string error = parse(c[0], o);
        EXPECT_EQ(error.compare(0, std::strlen(c[1]), c[1]), 0) << c[0] << " -> " << error;
    }
}

}  // namespace
