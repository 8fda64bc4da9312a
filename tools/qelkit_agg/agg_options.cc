// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/agg_options.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "qelkit/strings/qel_string.h"

namespace {

enum class Opt {
    Delimiter,
    Collapse,
    Header,
    Time,
    Keys,
    Values,
    Period,
    Dates,
    WeekStart,
    Dst,
    Zlib,
    Rows,
    Sql,
    Strict,
    Help,
    Version
};

struct OptionEntry {
    const char* name;
    char shortName;  // 0: long form only
    bool takesValue;
    Opt id;
};

const OptionEntry OPTIONS[] = {
    {"delimiter", 'd', true, Opt::Delimiter},
    {"collapse", 0, false, Opt::Collapse},
    {"header", 0, false, Opt::Header},
    {"time", 't', true, Opt::Time},
    {"keys", 'k', true, Opt::Keys},
    {"values", 'v', true, Opt::Values},
    {"period", 'p', true, Opt::Period},
    {"dates", 0, true, Opt::Dates},
    {"week-start", 0, true, Opt::WeekStart},
    {"dst", 0, false, Opt::Dst},
    {"zlib", 0, true, Opt::Zlib},
    {"rows", 0, false, Opt::Rows},
    {"sql", 0, true, Opt::Sql},
    {"strict", 0, false, Opt::Strict},
    {"help", 'h', false, Opt::Help},
    {"version", 0, false, Opt::Version},
};

// The entry of a long option given as `name` (an exact name or an unambiguous prefix). Sets
// `error` and returns null when it names none or several.
const OptionEntry* findLong(const std::string& name, std::string& error) {
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
    error = (matches == 0 ? "unrecognized option '--" : "option '--") + name +
            (matches == 0 ? "'" : "' is ambiguous");
    return nullptr;
}

const OptionEntry* findShort(char c) {
    for (const OptionEntry& entry : OPTIONS)
        if (entry.shortName == c) return &entry;
    return nullptr;
}

// A column number: decimal digits only, 1 to INT_MAX.
bool parseColumn(const std::string& text, int& column) {
    if (text.empty() || text.size() > 10 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value < 1 || value > INT_MAX) return false;
    column = static_cast<int>(value);
    return true;
}

// A comma-separated list of column numbers, none repeated.
bool parseColumnList(const std::string& text, std::vector<int>& columns) {
    columns.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        int column = 0;
        if (!parseColumn(text.substr(start, comma - start), column)) return false;
        if (std::find(columns.begin(), columns.end(), column) != columns.end()) return false;
        columns.push_back(column);
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

// Applies one option with its value (empty for flags). Returns a message or "".
std::string apply(const OptionEntry& entry, const std::string& value, AggOptions& o) {
    switch (entry.id) {
        case Opt::Delimiter:
            if (value == "\\t" || value == "tab") {
                o.delimiter = '\t';
            } else if (value.size() != 1 || value[0] == '\n' || value[0] == '\r') {
                return "invalid delimiter '" + value +
                       "': give one character, or \\t or tab for a tab";
            } else {
                o.delimiter = value[0];
            }
            return "";
        case Opt::Collapse:
            o.collapse = true;
            return "";
        case Opt::Header:
            o.header = true;
            return "";
        case Opt::Time:
            if (!parseColumn(value, o.timeColumn))
                return "invalid time column '" + value + "': give a column number from 1";
            return "";
        case Opt::Keys:
            if (!parseColumnList(value, o.keyColumns))
                return "invalid key columns '" + value +
                       "': give distinct column numbers from 1, separated by commas";
            return "";
        case Opt::Values:
            if (!parseColumnList(value, o.valueColumns))
                return "invalid value columns '" + value +
                       "': give distinct column numbers from 1, separated by commas";
            return "";
        case Opt::Period:
            o.periodText = value;
            o.period = NqTimeAggregation::fromString(QelString(value.c_str()));
            if (o.period == None && value != "none")
                return "invalid period '" + value +
                       "': try \"15 minute\", \"hour\", \"day\", \"week\", \"month\", \"year\" "
                       "or \"none\"";
            return "";
        case Opt::Dates:
            if (value != "nq" && value != "qel")
                return "invalid argument '" + value + "' for '--dates': give nq or qel";
            o.qelDates = value == "qel";
            return "";
        case Opt::WeekStart:
            if (value != "Sunday" && value != "Monday" && value != "Friday" && value != "Saturday")
                return "invalid week start '" + value +
                       "': give Sunday, Monday, Friday or Saturday";
            o.weekStart = value;
            return "";
        case Opt::Dst:
            o.dst = true;
            return "";
        case Opt::Zlib:
            if (value.empty()) return "option '--zlib' needs a file name";
            o.zlibFile = value;
            return "";
        case Opt::Rows:
            o.rows = true;
            return "";
        case Opt::Sql:
            if (value.empty()) return "option '--sql' needs a column name";
            o.sql = true;
            o.sqlColumn = value;
            return "";
        case Opt::Strict:
            o.strict = true;
            return "";
        case Opt::Help:
            o.help = true;
            return "";
        case Opt::Version:
            o.version = true;
            return "";
    }
    return "";
}

// Checks the options against each other once all are read.
std::string checkCombination(const std::vector<std::string>& operands, AggOptions& o) {
    if (o.periodText.empty() && o.period == None) return "missing option '--period'";
    if (o.sql) {
        if (!operands.empty()) return "extra operand '" + operands[0] + "' with '--sql'";
        return "";
    }
    if (operands.empty()) return "missing FILE operand";
    if (operands.size() > 1) return "extra operand '" + operands[1] + "'";
    o.file = operands[0];
    if (std::find(o.keyColumns.begin(), o.keyColumns.end(), o.timeColumn) != o.keyColumns.end())
        return "column " + std::to_string(o.timeColumn) + " is both the time and a key";
    for (int v : o.valueColumns) {
        if (v == o.timeColumn)
            return "column " + std::to_string(v) + " is both the time and a value";
        if (std::find(o.keyColumns.begin(), o.keyColumns.end(), v) != o.keyColumns.end())
            return "column " + std::to_string(v) + " is both a key and a value";
    }
    return "";
}

}  // namespace

std::string parseAggOptions(int argc, const char* const* argv, AggOptions& options) {
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
            std::string error;
            entry = findLong(arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2),
                             error);
            if (entry == nullptr) return error;
            shown = std::string("--") + entry->name;
            if (eq != std::string::npos) {
                if (!entry->takesValue) return "option '" + shown + "' doesn't allow an argument";
                value = arg.substr(eq + 1);
                hasValue = true;
            }
        } else {
            entry = findShort(arg[1]);
            if (entry == nullptr) return std::string("invalid option -- '") + arg[1] + "'";
            shown = std::string("-") + arg[1];
            if (arg.size() > 2) {
                if (!entry->takesValue) return std::string("invalid option -- '") + arg[2] + "'";
                value = arg.substr(2);
                hasValue = true;
            }
        }
        if (entry->takesValue && !hasValue) {
            if (i + 1 >= argc) return "option '" + shown + "' requires an argument";
            value = argv[++i];
        }
        const std::string error = apply(*entry, value, options);
        if (!error.empty()) return error;
        if (options.help || options.version) return "";
    }
    return checkCombination(operands, options);
}

const char* aggUsageText() {
    return "Usage: qelkit-agg [OPTION]... FILE\n"
           "  or:  qelkit-agg --sql COLUMN --period TEXT [--week-start DAY]\n"
           "Group time-stamped measurements of a delimited FILE by reporting period and key,\n"
           "and print per group the count and the sum, min, max and mean of each value column.\n"
           "\n"
           "  -d, --delimiter=CHAR   field delimiter (default ','); \\t or tab for a tab\n"
           "      --collapse         a run of delimiters counts as one\n"
           "      --header           the first line names the columns\n"
           "  -t, --time=N           column holding the time, from 1 (default 1)\n"
           "  -k, --keys=LIST        key columns, comma-separated (default: none)\n"
           "  -v, --values=LIST      value columns (default: every column not time or key)\n"
           "  -p, --period=TEXT      reporting period: \"15 minute\", \"hour\", \"day\", "
           "\"week\",\n"
           "                         \"month\", \"year\", ... or \"none\" (required)\n"
           "      --dates=nq|qel     time reader: numeric fields (nq, default) or the locale\n"
           "                         first (qel)\n"
           "      --week-start=DAY   Sunday, Monday, Friday or Saturday\n"
           "      --dst              keep daylight-saving rules (default: the zone offset at\n"
           "                         start is used throughout)\n"
           "      --zlib=FILE        write the output zlib-compressed to FILE\n"
           "      --rows             print line number, period start and keys of each grouped\n"
           "                         row instead of the aggregation\n"
           "      --sql=COLUMN       print the Oracle to_char expression for COLUMN and the\n"
           "                         period, and exit\n"
           "      --strict           stop at the first bad row (exit status 1)\n"
           "  -h, --help             display this help and exit\n"
           "      --version          output version information and exit\n"
           "\n"
           "Bad rows are reported on standard error as FILE:LINE: reason and skipped.\n"
           "Exit status: 0 success, 1 a bad row under --strict, 2 bad usage or an unreadable\n"
           "or empty file.\n";
}

const char* aggVersionText() {
    return "qelkit-agg (qelkit) 1.0.0\n"
           "Copyright (C) 2026 the qelkit authors.\n"
           "This is free software: you are free to change and redistribute it.\n";
}
