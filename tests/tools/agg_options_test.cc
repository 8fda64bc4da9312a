// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/agg_options.h"
#include "tools/qelkit_agg/agg_error.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// What the parser makes of a command line whose words are separated by single blanks ("~"
// stands for an empty word): its message, or the period it read and whether --help or --version
// was asked for.
std::string parse(const std::string& line) {
    std::vector<std::string> words{"qelkit-agg"};
    std::istringstream in(line);
    for (std::string w; std::getline(in, w, ' ');) words.push_back(w == "~" ? "" : w);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    AggOptions o;
    try {
        parseAggOptions(static_cast<int>(argv.size()), argv.data(), o);
    } catch (const AggError& e) {
        return e.usage() ? e.what() : std::string("not a usage error: ") + e.what();
    }
    return (o.period.kind() == QelPeriod::Named
                ? NqTimeAggregation(o.period.code()).aggregationDesc()
                : o.period.name()) +
           (o.help ? " help" : "") + (o.version ? " version" : "");
}

// The first problem of a bad command line, which must begin the message; the spellings of the
// options and of the delimiter are drawn by agg_differential.py.
TEST(AggOptions, NamesTheFirstProblem) {
    const char* const cases[][2] = {
        {"-d; -t3 -k2,4 -v 5,6 -p quarter-hour f", "Fifteen Minute"},
        {"--ti 2 -p hour f", "option '--ti' is ambiguous"},
        {"-t 1000000 -p day f", "Day"},
        {"-t 1000001 -p day f",
         "invalid time column '1000001': give a header name or a column number from 1 to 1000000"},
        {"-d ~ -p hour f", "invalid delimiter ''"},
        {"-d \r -p hour f", "invalid delimiter '\\r': give one character, or \\t or tab for a tab"},
        {"-d \" -p hour f", "the delimiter '\"' needs --no-quotes"},
        {"-t 0 -p hour f", "invalid time column '0'"},
        {"-t -1 -p hour f", "columns given by name need --header"},
        {"-a sum,p100.5 -p hour f", "invalid aggregates 'sum,p100.5': unknown aggregate 'p100.5'"},
        {"-a p9e1 -p hour f", "invalid aggregates 'p9e1': unknown aggregate 'p9e1'"},
        {"-a sum,,min -p hour f", "invalid aggregates 'sum,,min': an empty aggregate name"},
        {"-a p5,p5 -p hour f", "invalid aggregates 'p5,p5': aggregate 'p5' is given twice"},
        {"-p hour - -", "standard input ('-') is given more than once"},
        {"-o x --gzip y -p hour f", "give either '--output' or '--zlib'/'--gzip', not both"},
        {"--rows --format jsonl -p hour f", "'--rows' writes tsv or csv, not jsonl"},
        {"--sql-query t -t 1 -v v -p hour", "'--sql-query' needs the time and value columns"},
        {"-t 99999999999 -p hour f", "invalid time column '99999999999'"},
        {"-k 1, -p hour f", "invalid key columns '1,'"},
        {"-k 2,2 -p hour f", "invalid key columns '2,2'"},
        {"--values= -p hour f", "invalid value columns ''"},
        {"-p hourglass f", "invalid period 'hourglass': give one of minute, 2 minute,"},
        {"--dates=iso -p hour f", "invalid argument 'iso' for '--dates'"},
        {"--week-start=monday -p week f", "invalid week start 'monday'"},
        {"-j 0 -p hour f", "invalid job count '0'"},
        {"--jobs=257 -p hour f", "invalid job count '257'"},
        {"--jobs= -p hour f", "invalid job count ''"},
        {"-j 2x -p hour f", "invalid job count '2x'"},
        {"--format=xml -p hour f", "invalid format 'xml'"},
        {"--zlib= -p hour f", "option '--zlib' needs a file name"},
        {"--frobnicate -p hour f", "unrecognized option '--frobnicate'"},
        {"-hx", "invalid option -- 'x'"},
        {"-\x01 -p hour f", "invalid option -- '\x01'"},  // long-only options have no letter
        {"--rows=1 -p hour f", "option '--rows' doesn't allow an argument"},
        {"-p hour f --time", "option '--time' requires an argument"},
        {"f", "missing option '--period'"},
        {"-p hour", "missing FILE operand"},
        {"-t 2 -k 2 -p hour f", "column 2 is both the time and a key"},
        {"-t 3 -v 3 -p hour f", "column 3 is both the time and a value"},
        {"-k 3 -v 3 -p hour f", "column 3 is both a key and a value"},
        {"--sql= -p hour", "option '--sql' needs a column name"},
        {"--sql t -p hour f", "extra operand 'f' with '--sql'"},
        {"--sql t -p hour --dialect mysql", "invalid dialect 'mysql'"},
        {"--dialect oracle -p hour f", "option '--dialect' goes with '--sql'"},
        // --help and --version win over later problems, not over earlier ones.
        {"--help --bogus", "None help"},
        {"-h", "None help"},
        {"--version extra operands", "None version"},
        {"--bogus --help", "unrecognized option '--bogus'"},
    };
    for (const auto& [line, want] : cases)
        EXPECT_EQ(parse(line).substr(0, std::string(want).size()), want) << line;
}

}  // namespace
