// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/agg_options.h"

#include <algorithm>
#include <cstring>

#include "qelkit/datetime/qel_date.h"
#include "tools/qelkit_agg/agg_error.h"
#include "tools/qelkit_agg/output.h"
#include "tools/qelkit_agg/sql_expression.h"

namespace {

constexpr bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// ---- Values --------------------------------------------------------------------------------

// A decimal number from 1 to `max`, digits only.
bool parsePositive(const std::string& text, long max, long& value) {
    if (text.empty() || text.size() > 10 || !std::all_of(text.begin(), text.end(), isDigit))
        return false;
    value = std::stol(text);
    return value >= 1 && value <= max;
}

// A column number from 1, or else a header name: any text without a comma.
bool parseColumn(const std::string& text, ColumnRef& column) {
    long value = 0;
    if (!text.empty() && std::all_of(text.begin(), text.end(), isDigit)) {
        if (!parsePositive(text, kAggMaxColumn, value)) return false;
        column = ColumnRef{static_cast<int>(value), ""};
        return true;
    }
    if (text.empty() || text.find(',') != std::string::npos) return false;
    column = ColumnRef{0, text};
    return true;
}

bool sameColumn(const ColumnRef& a, const ColumnRef& b) {
    return a.number == b.number && a.name == b.name;
}

// A comma-separated list of columns, none repeated.
bool parseColumnList(const std::string& text, std::vector<ColumnRef>& columns) {
    columns.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        ColumnRef column;
        if (!parseColumn(text.substr(start, comma - start), column)) return false;
        for (const ColumnRef& earlier : columns)
            if (sameColumn(earlier, column)) return false;
        columns.push_back(column);
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

// ---- Period names --------------------------------------------------------------------------

// The library's period names, "a, b, ... or z". With `indent` above 0 the text is broken into
// lines of at most 79 columns, the first starting at column `column`, the others indented by
// `indent` blanks.
std::string periodList(std::size_t column = 0, std::size_t indent = 0) {
    const std::vector<TimeAggregationType> codes = NqTimeAggregation::codes();
    std::string text;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const QelString name = NqTimeAggregation(codes[i]).name();
        const char* separator = i == 0 ? "" : i + 1 == codes.size() ? " or " : ", ";
        std::string item = separator + std::string(name.data(), name.length());
        if (indent > 0 && column + item.size() > 79) {
            const std::size_t blank = item[0] == ',' ? 1 : 0;  // the comma stays on its line
            text.append(item, 0, blank);
            item = "\n" + std::string(indent, ' ') + item.substr(blank + 1);
            column = item.size() - 1;
        } else {
            column += item.size();
        }
        text += item;
    }
    return text;
}

bool parseDates(const std::string& v, AggOptions& o) {
    // "nq" and "qel" are the old spellings.
    if (v != "year-first" && v != "month-first" && v != "nq" && v != "qel") return false;
    o.monthFirst = v == "month-first" || v == "qel";
    return true;
}

// ---- The option table ----------------------------------------------------------------------

AggError usageError(const std::string& message) { return AggError(message, AggError::Usage); }

// `value` of option `option`, which needs `what`: a usage error when it is empty.
const std::string& given(const std::string& value, const char* option, const char* what) {
    if (value.empty()) throw usageError(std::string("option '--") + option + "' needs " + what);
    return value;
}

using Apply = void (*)(const std::string& value, AggOptions& o);

// An option is a flag, which sets one field, or takes a value, which its handler checks and
// stores.
struct OptionEntry {
    const char* name;
    char shortName;          // 0: long form only
    bool AggOptions::*flag;  // for a flag
    Apply apply;             // for an option with a value: throws a usage error for a bad one
    bool takesValue() const noexcept { return apply != nullptr; }
};

// NOLINTNEXTLINE(cert-err58-cpp): only std::bad_alloc can escape, and it fails the start.
const OptionEntry OPTIONS[] = {
    {"delimiter", 'd', nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         if (v == "\\t" || v == "tab") {
             o.delimiter = '\t';
             return;
         }
         if (v.size() != 1 || v[0] == '\n' || v[0] == '\r')
             throw usageError("invalid delimiter '" + shownField(v) +
                              "': give one character, or \\t or tab for a tab");
         o.delimiter = v[0];
         return;
     }},
    {"collapse", 0, &AggOptions::collapse, nullptr},
    {"no-quotes", 0, &AggOptions::noQuotes, nullptr},
    {"header", 0, &AggOptions::header, nullptr},
    {"time", 't', nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         if (parseColumn(v, o.timeColumn)) return;
         throw usageError("invalid time column '" + shownField(v) +
                          "': give a header name or a column number from 1 to " +
                          std::to_string(kAggMaxColumn));
     }},
    {"keys", 'k', nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         if (parseColumnList(v, o.keyColumns)) return;
         throw usageError("invalid key columns '" + shownField(v) +
                          "': give distinct header names or column numbers from 1 to " +
                          std::to_string(kAggMaxColumn) + ", separated by commas");
     }},
    {"values", 'v', nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         if (parseColumnList(v, o.valueColumns)) return;
         throw usageError("invalid value columns '" + shownField(v) +
                          "': give distinct header names or column numbers from 1 to " +
                          std::to_string(kAggMaxColumn) + ", separated by commas");
     }},
    {"null", 0, nullptr, [](const std::string& v, AggOptions& o) -> void { o.nulls.push_back(v); }},
    {"aggregates", 'a', nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         std::string why;
         if (!QelAggregate::parseList(v, o.aggregates, why))
             throw usageError("invalid aggregates '" + shownField(v) + "': " + why);
     }},
    {"period", 'p', nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         o.periodGiven = true;
         std::string why;
         if (QelPeriod::fromName(v, o.period, why)) return;
         throw usageError("invalid period '" + shownField(v) + "': give one of " + periodList() +
                          ", quarter, or N second, minute, hour or day");
     }},
    {"dates", 0, nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         if (parseDates(v, o)) return;
         throw usageError("invalid argument '" + shownField(v) +
                          "' for '--dates': give year-first or month-first");
     }},
    {"time-format", 0, nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         o.timeFormat = given(v, "time-format", "a format");
     }},
    {"tz", 0, nullptr,
     [](const std::string& v, AggOptions& o) -> void { o.zone = given(v, "tz", "a zone name"); }},
    {"from", 0, nullptr, [](const std::string& v, AggOptions& o) -> void { o.from = v; }},
    {"to", 0, nullptr, [](const std::string& v, AggOptions& o) -> void { o.to = v; }},
    {"fill", 0, &AggOptions::fill, nullptr},
    {"week-start", 0, nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         if (QelDate::startOfWeekFromName(QelString(v.data(), v.size())) == 0)
             throw usageError("invalid week start '" + shownField(v) +
                              "': give Sunday, Monday, Friday or Saturday");
         o.weekStart = v;
         return;
     }},
    {"dst", 0, &AggOptions::dst, nullptr},
    {"zlib", 0, nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         o.zlibFile = given(v, "zlib", "a file name");
         o.gzip = false;
         return;
     }},
    {"gzip", 0, nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         o.zlibFile = given(v, "gzip", "a file name");
         o.gzip = true;
         return;
     }},
    {"output", 'o', nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         o.output = given(v, "output", "a file name");
     }},
    {"format", 0, nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         if (v != "tsv" && v != "csv" && v != "jsonl")
             throw usageError("invalid format '" + shownField(v) + "': give tsv, csv or jsonl");
         o.format = v == "csv"     ? OutputFormat::Csv
                    : v == "jsonl" ? OutputFormat::Jsonl
                                   : OutputFormat::Tsv;
         return;
     }},
    {"rows", 0, &AggOptions::rows, nullptr},
    {"sql", 0, nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         o.sqlColumn = given(v, "sql", "a column name");
         o.sql = true;
         return;
     }},
    {"sql-query", 0, nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         o.sqlTable = given(v, "sql-query", "a table name");
     }},
    {"dialect", 0, nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         if (!isSqlDialect(v))
             throw usageError("invalid dialect '" + shownField(v) + "': give " + sqlDialectList());
         o.dialect = v;
         return;
     }},
    {"strict", 0, &AggOptions::strict, nullptr},
    {"jobs", 'j', nullptr,
     [](const std::string& v, AggOptions& o) -> void {
         long jobs = 0;
         if (!parsePositive(v, 256, jobs))
             throw usageError("invalid job count '" + shownField(v) + "': give 1 to 256");
         o.jobs = static_cast<unsigned>(jobs);
         return;
     }},
    {"quiet", 'q', &AggOptions::quiet, nullptr},
    {"help", 'h', &AggOptions::help, nullptr},
    {"version", 0, &AggOptions::version, nullptr},
};

// The entry of a long option given as `name` (an exact name or an unambiguous prefix). Throws a
// usage error when it names none or several.
const OptionEntry* findLong(const std::string& name) {
    const OptionEntry* found = nullptr;
    int matches = 0;
    for (const OptionEntry& entry : OPTIONS) {
        if (name == entry.name) return &entry;
        if (std::strncmp(entry.name, name.c_str(), name.size()) == 0) {
            found = &entry;
            ++matches;
        }
    }
    if (matches == 1) return found;
    throw usageError(matches == 0 ? "unrecognized option '--" + shownField(name) + "'"
                                  : "option '--" + shownField(name) + "' is ambiguous");
}

const OptionEntry* findShort(char c) {
    for (const OptionEntry& entry : OPTIONS)
        if (entry.shortName == c) return &entry;
    return nullptr;
}

std::string shownColumn(const ColumnRef& column) {
    return column.number != 0 ? std::to_string(column.number) : "'" + shownField(column.name) + "'";
}

// Checks that no column is given twice among time, keys and values.
void checkColumnRoles(const AggOptions& o) {
    for (const ColumnRef& k : o.keyColumns)
        if (sameColumn(k, o.timeColumn))
            throw usageError("column " + shownColumn(k) + " is both the time and a key");
    for (const ColumnRef& v : o.valueColumns) {
        if (sameColumn(v, o.timeColumn))
            throw usageError("column " + shownColumn(v) + " is both the time and a value");
        for (const ColumnRef& k : o.keyColumns)
            if (sameColumn(k, v))
                throw usageError("column " + shownColumn(v) + " is both a key and a value");
    }
}

// The options of the two SQL modes, which read no file.
void checkSqlModes(const std::vector<std::string>& operands, const AggOptions& o) {
    if (o.sql && !o.sqlTable.empty())
        throw usageError("give either '--sql' or '--sql-query', not both");
    if (!operands.empty()) {
        throw usageError("extra operand '" + shownField(operands[0]) + "' with '" +
                         (o.sql ? "--sql" : "--sql-query") + "'");
    }
    if (!o.sqlTable.empty() && (o.timeColumn.number != 0 || o.valueColumns.empty()))
        throw usageError("'--sql-query' needs the time and value columns by name (-t, -v)");
    for (const ColumnRef& c : o.keyColumns)
        if (!o.sqlTable.empty() && c.number != 0)
            throw usageError("'--sql-query' needs the key columns by name");
    for (const ColumnRef& c : o.valueColumns)
        if (!o.sqlTable.empty() && c.number != 0)
            throw usageError("'--sql-query' needs the value columns by name");
}

// Checks the options against each other once all are read.
void checkCombination(const std::vector<std::string>& operands, AggOptions& o) {
    if (!o.periodGiven) throw usageError("missing option '--period'");
    if (!o.noQuotes && o.delimiter == '"')
        throw usageError("the delimiter '\"' needs --no-quotes: it is the quote character");
    checkColumnRoles(o);
    if (o.sql || !o.sqlTable.empty()) {
        checkSqlModes(operands, o);
        return;
    }
    if (!o.dialect.empty())
        throw usageError("option '--dialect' goes with '--sql' or '--sql-query'");
    if (operands.empty()) throw usageError("missing FILE operand");
    if (std::count(operands.begin(), operands.end(), "-") > 1)
        throw usageError("standard input ('-') is given more than once");
    o.files = operands;
    if (o.namesColumns() && !o.header) throw usageError("columns given by name need --header");
    if (!o.output.empty() && !o.zlibFile.empty())
        throw usageError("give either '--output' or '--zlib'/'--gzip', not both");
    if (o.rows && o.format == OutputFormat::Jsonl)
        throw usageError("'--rows' writes tsv or csv, not jsonl");
    if (o.fill && o.rows) throw usageError("'--fill' does not go with '--rows'");
    const TimeAggregationType code = o.period.code();
    if (o.fill && o.period.kind() == QelPeriod::Named &&
        (code == AllHours || code == WeekHour || code == MonthHour || code == None))
        throw usageError("'--fill' needs periods that follow one another, not '" + o.period.name() +
                         "'");
    if (!o.timeFormat.empty() && o.monthFirst)
        throw usageError("give either '--time-format' or '--dates', not both");
}

}  // namespace

bool AggOptions::namesColumns() const {
    if (timeColumn.number == 0) return true;
    for (const ColumnRef& c : keyColumns)
        if (c.number == 0) return true;
    for (const ColumnRef& c : valueColumns)
        if (c.number == 0) return true;
    return false;
}

void parseAggOptions(int argc, const char* const* argv, AggOptions& options) {
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg(argv[i]);
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionEntry* entry = nullptr;
        std::string value;
        bool hasValue = false;
        std::string shown;  // the option as the user wrote it, for messages
        if (arg[1] == '-') {
            const std::size_t eq = arg.find('=');
            entry = findLong(arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2));
            shown = std::string("--") + entry->name;
            if (eq != std::string::npos) {
                if (!entry->takesValue())
                    throw usageError("option '" + shown + "' doesn't allow an argument");
                value = arg.substr(eq + 1);
                hasValue = true;
            }
        } else {
            entry = findShort(arg[1]);
            if (entry == nullptr)
                throw usageError("invalid option -- '" + shownField(arg.substr(1, 1)) + "'");
            shown = std::string("-") + arg[1];
            if (arg.size() > 2) {
                if (!entry->takesValue())
                    throw usageError("invalid option -- '" + shownField(arg.substr(2, 1)) + "'");
                value = arg.substr(2);
                hasValue = true;
            }
        }
        if (entry->takesValue() && !hasValue) {
            if (i + 1 >= argc) throw usageError("option '" + shown + "' requires an argument");
            value = argv[++i];
        }
        if (entry->flag != nullptr) {
            options.*(entry->flag) = true;
        } else {
            entry->apply(value, options);
        }
        if (options.help || options.version) return;
    }
    checkCombination(operands, options);
}

std::string aggUsageText() {
    return "Usage: qelkit-agg [OPTION]... FILE...\n"
           "  or:  qelkit-agg --sql COLUMN -p NAME [--week-start DAY] [--dialect NAME]\n"
           "Group time-stamped measurements of delimited FILEs by reporting period and key,\n"
           "and print per group the count and chosen statistics of each value column.\n"
           "FILEs are read one after another; - is standard input (once); gzip data is\n"
           "recognised and decompressed.\n"
           "\n"
           "Input:\n"
           "  -d, --delimiter=CHAR   field delimiter (default ','); \\t or tab for a tab\n"
           "      --collapse         a run of delimiters counts as one\n"
           "      --no-quotes        '\"' is ordinary data (default: RFC 4180 quoted fields)\n"
           "      --header           the first row of each FILE names the columns\n"
           "  -t, --time=COLUMN      column holding the time (default 1)\n"
           "  -k, --keys=LIST        key columns, comma-separated (default: none)\n"
           "  -v, --values=LIST      value columns (default: every column not time or key)\n"
           "                         COLUMN: a number from 1, or a header name (--header)\n"
           "      --null=TEXT        TEXT is missing, as an empty field is (repeatable)\n"
           "      --dates=ORDER      time layouts: year-first (the default), or month-first\n"
           "                         ones first, then the year-first ones; nq and qel are\n"
           "                         old spellings of the two; see the manual page\n"
           "      --time-format=FMT  times as epoch, epoch-ms or epoch-us (seconds, ms or\n"
           "                         us since 1970 UTC), or a pattern of %Y %y %m %d %e %H\n"
           "                         %I %M %S %f %p %b %z %% ('%d/%m/%Y %H:%M')\n"
           "\n"
           "Grouping:\n"
           "  -p, --period=NAME      reporting period (required): " +
           periodList(54, 25) +
           ";\n"
           "                         also quarter or N second|minute|hour|day (\"20 minute\")\n"
           "  -a, --aggregates=LIST  count, n, sum, min, max, mean, median, stddev, var,\n"
           "                         first, last, pN (p95, p99.9); default: count, sum,\n"
           "                         min, max, mean\n"
           "      --week-start=DAY   Sunday, Monday, Friday or Saturday\n"
           "      --tz=ZONE          working zone: a zone name (Europe/London) or a POSIX\n"
           "                         TZ rule (default: the TZ environment variable)\n"
           "      --dst              keep daylight-saving rules (default: the zone's offset\n"
           "                         at start is used throughout)\n"
           "      --from=TIME        leave out rows before TIME (in the working zone, or at\n"
           "                         its own offset)\n"
           "      --to=TIME          leave out rows at or after TIME\n"
           "      --fill             also print the empty periods between a key's first and\n"
           "                         last period (count 0)\n"
           "\n"
           "Output:\n"
           "      --format=FORMAT    tsv (default: tab-separated, with \\t, \\n, \\r and \\\\\n"
           "                         escapes), csv (RFC 4180) or jsonl (one JSON object per\n"
           "                         group)\n"
           "  -o, --output=FILE      write to FILE, replaced only when the run succeeds;\n"
           "                         gzip-compressed when FILE ends in .gz\n"
           "      --zlib=FILE        write the output zlib-compressed to FILE\n"
           "      --gzip=FILE        write the output gzip-compressed to FILE\n"
           "      --rows             print line number, period start and keys of each\n"
           "                         grouped row instead of the aggregation\n"
           "      --sql=COLUMN       print the SQL expression that groups COLUMN by the\n"
           "                         period, and exit\n"
           "      --dialect=NAME     for --sql: oracle, postgresql, clickhouse or duckdb\n"
           "                         (the period start as a timestamp), or to_char (the\n"
           "                         classic Oracle text; the default)\n"
           "\n"
           "Run:\n"
           "      --strict           stop at the first bad row (exit status 1)\n"
           "  -j, --jobs=N           reading threads (default: one per core)\n"
           "  -q, --quiet            no progress line on a terminal\n"
           "  -h, --help             display this help and exit\n"
           "      --version          output version information and exit\n"
           "\n"
           "Times: YYYY-MM-DD, then optionally ' ' or 'T', HH:MM[:SS[.fraction]] and Z or\n"
           "+hh:mm; a two-digit year YY means 19YY from 69, else 20YY.\n"
           "Empty statistics (a mean of no values, a variance of one) are empty fields\n"
           "(null in JSON). Percentiles interpolate linearly between the closest ranks and\n"
           "keep every value of a group in memory.\n"
           "Bad rows are reported on standard error as FILE:LINE: reason and skipped.\n"
           "Exit status: 0 success; 1 a bad row under --strict, or no row could be grouped;\n"
           "2 bad usage, an unreadable, empty or changing file, or an output error.\n";
}

std::string aggVersionText() {
    return "qelkit-agg (qelkit) " QELKIT_VERSION
           "\n"
           "Copyright (C) 2026 the qelkit authors.\n"
           "Licensed under the Apache License, Version 2.0: "
           "<https://www.apache.org/licenses/LICENSE-2.0>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}
