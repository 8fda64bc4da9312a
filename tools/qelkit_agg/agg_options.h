// SPDX-License-Identifier: Apache-2.0
// AggOptions: the command line of qelkit-agg, parsed and validated in one place so that the
// reading and grouping code can trust every field. parseAggOptions takes GNU-style options
// (long options as "--name=value" or "--name value", unambiguous prefixes of long names,
// short options as "-t3" or "-t 3", "--" ending the options) and reports the first problem as a
// usage AggError. The options live in one table in agg_options.cc: a new
// option is one row there, one field here and one line of the --help text.
#ifndef QELKIT_TOOLS_QELKIT_AGG_AGG_OPTIONS_H
#define QELKIT_TOOLS_QELKIT_AGG_AGG_OPTIONS_H

#include <string>
#include <vector>

#include "qelkit/datetime/qel_period.h"
#include "qelkit/records/qel_aggregate.h"

enum class OutputFormat { Tsv, Csv, Jsonl };

// The largest column number accepted: far beyond any real row, small enough that the per-column
// bookkeeping of a reader stays a few megabytes.
constexpr int kAggMaxColumn = 1000000;

// A column as the user gave it: a number from 1, or a header name (number 0).
struct ColumnRef {
    int number = 0;
    std::string name;
};

struct AggOptions {
    char delimiter = ',';
    bool collapse = false;  // a run of delimiters separates like one
    bool noQuotes = false;  // '"' is ordinary data, not RFC 4180 quoting
    bool header = false;    // the first row names the columns
    ColumnRef timeColumn{1, ""};
    std::vector<ColumnRef> keyColumns;    // in output order
    std::vector<ColumnRef> valueColumns;  // empty: every column not time or key
    std::vector<std::string> nulls;       // texts that mean a missing value, besides ""
    std::vector<QelAggregate> aggregates = QelAggregate::defaults();
    bool periodGiven = false;
    QelPeriod period;
    // --dates=month-first: month-first layouts first, then the year-first ones
    bool monthFirst = false;
    std::string timeFormat;  // --time-format; empty: the layouts of --dates
    std::string weekStart;   // empty: leave QelDate's setting alone
    bool dst = false;        // keep the system's daylight-saving rules
    std::string zone;        // --tz; empty: the system's zone (TZ)
    std::string zlibFile;    // empty: plain text on standard output
    bool gzip = false;       // zlibFile is written in gzip format (--gzip), not raw zlib
    std::string output;      // -o; written plain, or gzip when it ends in ".gz"
    OutputFormat format = OutputFormat::Tsv;
    std::string from, to;  // --from, --to as given; empty: open
    bool fill = false;     // emit the empty periods between a key's first and last
    bool rows = false;     // one line per grouped row instead of the aggregation
    bool sql = false;      // print the SQL grouping expression and exit
    std::string sqlColumn;
    std::string dialect;   // --dialect; empty: to_char
    std::string sqlTable;  // --sql-query: print the whole query on this table and exit
    bool strict = false;   // stop at the first bad row
    unsigned jobs = 0;     // reading threads; 0: one per core
    bool quiet = false;    // no progress line
    bool help = false;
    bool version = false;
    std::vector<std::string> files;  // paths, "-" for standard input (none with --sql)

    // Some column is given by its header name.
    bool namesColumns() const;
};

// Fills `options` from argv[1..argc-1]. Throws a usage AggError with a one-line message such
// as "invalid time column 'x'" for the first problem. --help and --version succeed whatever else
// is given (after the options before them were read).
void parseAggOptions(int argc, const char* const* argv, AggOptions& options);

// The --help text, ending with a newline.
std::string aggUsageText();
// The --version text: name, version, copyright and licence lines, ending with a newline.
std::string aggVersionText();

#endif  // QELKIT_TOOLS_QELKIT_AGG_AGG_OPTIONS_H
