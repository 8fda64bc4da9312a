// SPDX-License-Identifier: Apache-2.0
// qelkit-agg: groups the time-stamped rows of a delimited file by reporting period and key and
// prints count, sum, min, max and mean of each value column per group. See qelkit-agg(1).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "qelkit/datetime/qel_date.h"
#include "qelkit/datetime/qel_time_text.h"
#include "qelkit/datetime/qel_zone.h"
#include "qelkit/foundation/nq_trace.h"
#include "qelkit/foundation/rw_zone.h"
#include "qelkit/records/nq_exception.h"
#include "tools/qelkit_agg/agg_error.h"
#include "tools/qelkit_agg/agg_options.h"
#include "tools/qelkit_agg/output.h"
#include "tools/qelkit_agg/reporter.h"
#include "tools/qelkit_agg/run_policy.h"
#include "tools/qelkit_agg/runner.h"
#include "tools/qelkit_agg/sql_expression.h"
#include "tools/qelkit_agg/sql_query.h"

namespace {

// The tool reports every bad row itself, once; the library's own diagnostic traces for the
// same rows would only repeat them.
void dropTrace(const char*, const char*) {}

// Writes `text` to standard output.
int print(const std::string& text) {
    OutputSink out;
    out.write(text);
    out.finish();
    return kAggOk;
}

// Opens /dev/null on descriptors 0, 1 and 2 where they are closed, so that no file the tool
// opens takes their place. Reading a closed standard input and writing a closed standard output
// then fail (EBADF) as they would have; messages to a closed standard error are dropped.
// Returns false if /dev/null cannot be opened.
bool openStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = ::open("/dev/null", fd == 1 ? O_RDONLY : O_WRONLY);
        if (opened != fd) return false;
    }
    return true;
}

// The same file, when both exist.
bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The output file of -o, --zlib or --gzip, and how it is compressed.
struct OutputTarget {
    std::string path;  // empty: standard output
    OutputSink::Packing packing = OutputSink::Plain;
    const char* option = "";
};

OutputTarget outputTarget(const AggOptions& options) {
    if (!options.zlibFile.empty())
        return {options.zlibFile, options.gzip ? OutputSink::Gzip : OutputSink::Zlib,
                options.gzip ? "--gzip" : "--zlib"};
    const std::string& path = options.output;
    const bool gz = path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
    return {path, gz ? OutputSink::Gzip : OutputSink::Plain, "--output"};
}

// The sink for the result: standard output, or the output file, which must be no input,
// named or on standard input.
std::unique_ptr<OutputSink> openOutput(const AggOptions& options, OutputFile& file) {
    const OutputTarget target = outputTarget(options);
    for (const std::string& path : options.files) {
        struct stat input {};
        const bool inputExists =
            (path == "-" ? ::fstat(STDIN_FILENO, &input) : ::stat(path.c_str(), &input)) == 0;
        // Standard output may well be the terminal or pipe standard input is: only a regular
        // file counts there. The output file must be no input at all: written into the
        // input's own pipe, it would keep that pipe from ever ending.
        const bool haveInput = inputExists && S_ISREG(input.st_mode);
        struct stat output {};
        if (target.path.empty()) {
            if (haveInput && ::fstat(STDOUT_FILENO, &output) == 0 && sameFile(input, output))
                throw AggError("standard output is the input file '" + shownName(path) + "'");
        } else if (inputExists && ::stat(target.path.c_str(), &output) == 0 &&
                   sameFile(input, output)) {
            throw AggError("'" + shownName(target.path) + "' is the input file: give " +
                           target.option + " another file");
        }
    }
    if (target.path.empty()) return std::make_unique<OutputSink>();
    return std::make_unique<OutputSink>(file.open(target.path), target.packing, target.path);
}

// The working zone: --tz or the system's, frozen at today's offset unless --dst (or
// NQ_ENABLE_DST_RULES) keeps its rules, so that periods never shift mid-file.
struct WorkingZone {
    std::unique_ptr<RWZone> named;
    std::unique_ptr<RWZoneSimple> frozen;
    const RWZone* real = nullptr;
};

void setZone(const AggOptions& options, WorkingZone& zone, RowLayout& layout) {
    if (!options.zone.empty()) {
        zone.named = RWZone::named(options.zone);
        if (!zone.named) {
            throw AggError("unknown time zone '" + shownField(options.zone) +
                               "': give a zone name such as Europe/London or a POSIX TZ rule "
                               "such as CET-1CEST,M3.5.0,M10.5.0/3",
                           AggError::Usage);
        }
    }
    zone.real = zone.named ? zone.named.get() : &RWZone::os();
    layout.zone = zone.real;
    if (options.dst || __envEnableDSTRules.isOn()) return;
    const long offset = zone.real->offsetAt(static_cast<std::int64_t>(std::time(nullptr)));
    zone.frozen = std::make_unique<RWZoneSimple>(offset, zone.real->timeZoneName());
    layout.zone = zone.frozen.get();
    layout.unfrozenZone = zone.real;
}

// Reads --from or --to (`text`, named `option`) as an instant: with its own offset, or as a
// wall-clock time of the working zone.
std::int64_t rangeEnd(const std::string& text, const char* option, const RowLayout& layout) {
    QelTimeText::Time time;
    if (layout.timeText.read(text, time) != QelTimeText::Ok &&
        QelTimeText(QelTimeText::YearFirst).read(text, time) != QelTimeText::Ok) {
        throw AggError(std::string("invalid time '") + shownField(text) + "' for '" + option +
                           "': give YYYY-MM-DD[ HH:MM[:SS]] with an optional Z or +hh:mm",
                       AggError::Usage);
    }
    return time.hasOffset ? time.wall - time.offsetEast : layout.zone->utcFromLocal(time.wall);
}

// Prints the whole query of --sql-query: the table aggregated as the tool would.
int printSqlQuery(const AggOptions& options, const RowLayout& layout, Reporter& err) {
    SqlQueryRequest request;
    request.dialect = options.dialect.empty() ? "to_char" : options.dialect;
    request.table = options.sqlTable;
    request.timeColumn = options.timeColumn.name;
    for (const ColumnRef& k : options.keyColumns) request.keyColumns.push_back(k.name);
    for (const ColumnRef& v : options.valueColumns) request.valueColumns.push_back(v.name);
    request.aggregates = options.aggregates;
    const SqlText period = sqlPeriodExpression(request.timeColumn, options.period,
                                               QelDate::startOfWeek(), request.dialect);
    if (!period.warning.empty()) err.message(period.warning);
    request.periodExpression = period.text;
    // The column holds wall-clock times of the working zone.
    auto wall = [&layout](std::int64_t utc) { return utc - layout.zone->offsetAt(utc); };
    if (layout.hasFrom) request.fromWall = wall(layout.fromUtc);
    if (layout.hasTo) request.toWall = wall(layout.toUtc);
    const SqlQuery query = sqlQuery(request);
    for (const std::string& note : query.notes) err.message(note);
    return print(query.text + '\n');
}

int runTool(const AggOptions& options, Reporter& err) {
    if (!options.weekStart.empty()) QelDate::setStartOfWeek(QelString(options.weekStart.c_str()));
    if (options.sql) {
        const SqlText sql =
            sqlPeriodExpression(options.sqlColumn, options.period, QelDate::startOfWeek(),
                                options.dialect.empty() ? "to_char" : options.dialect);
        if (!sql.warning.empty()) err.message(sql.warning);
        return print(sql.text + '\n');
    }
    RowLayout layout = optionLayout(options);
    WorkingZone zone;
    setZone(options, zone, layout);
    if (!options.from.empty()) {
        layout.hasFrom = true;
        layout.fromUtc = rangeEnd(options.from, "--from", layout);
    }
    if (!options.to.empty()) {
        layout.hasTo = true;
        layout.toUtc = rangeEnd(options.to, "--to", layout);
    }
    if (!options.sqlTable.empty()) return printSqlQuery(options, layout, err);
    OutputFile file;
    const std::unique_ptr<OutputSink> out = openOutput(options, file);
    const int status = runAggregation(options, layout, *out, err);
    out->finish();
    if (status == kAggOk) file.commit();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (!openStandardDescriptors()) return kAggFailure;
    Reporter err(false);
    AggOptions options;
    try {
        parseAggOptions(argc, argv, options);
    } catch (const AggError& e) {
        err.message(std::string(e.what()) + "\nTry 'qelkit-agg --help' for more information.");
        return kAggFailure;
    }
    NqTraceStatic::setSink(dropTrace);
    Reporter progress(!options.help && !options.version && !options.quiet &&
                      ::isatty(STDERR_FILENO) == 1);
    try {
        if (options.help) return print(aggUsageText());
        if (options.version) return print(aggVersionText());
        return runTool(options, progress);
    } catch (const AggError& e) {
        progress.message(e.usage() ? std::string(e.what()) +
                                         "\nTry 'qelkit-agg --help' for more information."
                                   : e.what());
    } catch (const NqException& e) {
        progress.message(e.why());
    } catch (const std::bad_alloc&) {
        progress.message("out of memory");
    } catch (const std::exception& e) {
        progress.message(e.what());
    }
    return kAggFailure;
}
