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

#include "qelkit/datetime/nq_time_aggregation.h"

enum class OutputFormat { Tsv, Csv };

// The largest column number accepted: far beyond any real row, small enough that the per-column
// bookkeeping of a reader stays a few megabytes.
constexpr int kAggMaxColumn = 1000000;

struct AggOptions {
    char delimiter = ',';
    bool collapse = false;          // a run of delimiters separates like one
    bool noQuotes = false;          // '"' is ordinary data, not RFC 4180 quoting
    bool header = false;            // the first row names the columns
    int timeColumn = 1;             // 1-based
    std::vector<int> keyColumns;    // 1-based, in output order
    std::vector<int> valueColumns;  // 1-based; empty: every column not time or key
    bool periodGiven = false;
    TimeAggregationType period = None;
    // --dates=month-first: month-first layouts first, then the year-first ones
    bool monthFirst = false;
    std::string weekStart;  // empty: leave QelDate's setting alone
    bool dst = false;       // keep the system's daylight-saving rules
    std::string zlibFile;   // empty: plain text on standard output
    bool gzip = false;      // zlibFile is written in gzip format (--gzip), not raw zlib
    OutputFormat format = OutputFormat::Tsv;
    bool rows = false;  // one line per grouped row instead of the aggregation
    bool sql = false;   // print the SQL grouping expression and exit
    std::string sqlColumn;
    std::string dialect;  // --dialect; empty: to_char
    bool strict = false;  // stop at the first bad row
    unsigned jobs = 0;    // reading threads; 0: one per core
    bool quiet = false;   // no progress line
    bool help = false;
    bool version = false;
    std::string file;  // the input: a path, or "-" for standard input (empty with --sql)
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
