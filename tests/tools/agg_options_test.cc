// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/agg_options.h"
#include "tools/qelkit_agg/agg_error.h"
#include "tools/qelkit_agg/output.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string shown(const ColumnRef& c) { return c.number != 0 ? std::to_string(c.number) : c.name; }

std::string join(const std::vector<ColumnRef>& v, const char* separator = ",") {
    std::string s;
    for (const ColumnRef& c : v) s += (s.empty() ? "" : separator) + shown(c);
    return s;
}

std::string join(const std::vector<std::string>& v) {
    std::string s;
    for (const std::string& x : v) s += (s.empty() ? "" : "+") + x;
    return s;
}

// What the parser makes of a command line whose words are separated by single blanks ("~"
// stands for an empty word): its message, or the delimiter, columns, period and file it read.
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
    std::string aggregates;
    for (const QelAggregate& a : o.aggregates)
        aggregates += (aggregates.empty() ? "" : ",") + a.name();
    return std::string(1, o.delimiter) + " t" + shown(o.timeColumn) + " k" + join(o.keyColumns) +
           " v" + join(o.valueColumns) + " " +
           (o.period.kind() == QelPeriod::Named
                ? NqTimeAggregation(o.period.code()).aggregationDesc()
                : o.period.name()) +
           " " + join(o.files) + (o.help ? " help" : "") + (o.version ? " version" : "") +
           (aggregates == "count,sum,min,max,mean" ? "" : " a" + aggregates);
}

// Long, short, attached and abbreviated forms; then the first problem of a bad command line,
// which must begin the message.
TEST(AggOptions, ReadsEveryFormAndNamesTheFirstProblem) {
    const std::pair<const char*, const char*> cases[] = {
        {"-p hour f.csv", ", t1 k v Hour f.csv"},
        {"--period=day -d tab f", "\t t1 k v Day f"},
        {"-p week -d \\t f", "\t t1 k v Week f"},
        {"-d; -t3 -k2,4 -v 5,6 -p quarter-hour f", "; t3 k2,4 v5,6 Fifteen Minute f"},
        {"--delim=| --time 2 --ke=1 --val=3 --per=month f", "| t2 k1 v3 Month f"},
        {"--ti 2 -p hour f", "option '--ti' is ambiguous"},
        {"f -p none -t 4", ", t4 k v None f"},
        {"-p year -- -odd-name", ", t1 k v Year -odd-name"},
        {"-t 1000000 -p day f", ", t1000000 k v Day f"},
        {"-t 1000001 -p day f",
         "invalid time column '1000001': give a header name or a column number from 1 to 1000000"},
        {"-p hour -", ", t1 k v Hour -"},
        {"-d ~ -p hour f", "invalid delimiter ''"},
        {"-d \n -p hour f", "invalid delimiter '\\n'"},
        {"-d \r -p hour f", "invalid delimiter '\\r': give one character, or \\t or tab for a tab"},
        {"-d \" -p hour f", "the delimiter '\"' needs --no-quotes"},
        {"-t 0 -p hour f", "invalid time column '0'"},
        {"-t -1 -p hour f", "columns given by name need --header"},
        {"--header -t when -k site,2 -v temp -p hour a b", ", twhen ksite,2 vtemp Hour a+b"},
        {"-a p99.9,n,median,p0,p100 -p hour f", ", t1 k v Hour f ap99.9,n,median,p0,p100"},
        {"-a sum,p100.5 -p hour f", "invalid aggregates 'sum,p100.5': unknown aggregate 'p100.5'"},
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
        {"--format=xml -p hour f", "invalid format 'xml'"},
        {"--zlib= -p hour f", "option '--zlib' needs a file name"},
        {"--frobnicate -p hour f", "unrecognized option '--frobnicate'"},
        {"--d=x -p hour f", "option '--d' is ambiguous"},
        {"-z -p hour f", "invalid option -- 'z'"},
        {"-hx", "invalid option -- 'x'"},
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
        {"--help --bogus", ", t1 k v None  help"},
        {"-h", ", t1 k v None  help"},
        {"--version extra operands", ", t1 k v None  version"},
        {"--vers", ", t1 k v None  version"},
        {"--bogus --help", "unrecognized option '--bogus'"},
    };
    for (const auto& [line, want] : cases)
        EXPECT_EQ(parse(line).substr(0, std::strlen(want)), want) << line;
}

// Every byte arrives through a pipe, down to a single one (no output of the tool is one byte
// long); a bad descriptor gives its errno.
TEST(WriteFully, WritesEveryByteOrGivesTheError) {
    for (const std::string text : {"x", "two\nlines\n"}) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        EXPECT_EQ(writeFully(fds[1], text.data(), text.size()), 0);
        ::close(fds[1]);
        char got[16];
        const ssize_t n = ::read(fds[0], got, sizeof got);
        ::close(fds[0]);
        EXPECT_EQ(std::string(got, n > 0 ? static_cast<std::size_t>(n) : 0), text);
    }
    EXPECT_EQ(writeFully(-1, "x", 1), EBADF);
}

}  // namespace
