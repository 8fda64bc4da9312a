// SPDX-License-Identifier: Apache-2.0
// qelkit-agg: groups the time-stamped rows of a delimited file by reporting period and key and
// prints count, sum, min, max and mean of each value column per group. See qelkit-agg(1).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "qelkit/datetime/qel_date.h"
#include "qelkit/datetime/qel_zone.h"
#include "qelkit/foundation/nq_trace.h"
#include "qelkit/records/nq_exception.h"
#include "tools/qelkit_agg/agg_error.h"
#include "tools/qelkit_agg/agg_options.h"
#include "tools/qelkit_agg/output.h"
#include "tools/qelkit_agg/reporter.h"
#include "tools/qelkit_agg/run_policy.h"
#include "tools/qelkit_agg/runner.h"
#include "tools/qelkit_agg/sql_expression.h"

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

// The sink for the result: standard output, or the --zlib or --gzip file, which must not be
// the input, named or on standard input.
std::unique_ptr<OutputSink> openOutput(const AggOptions& options, OutputFile& file) {
    struct stat input {};
    const bool inputExists = (options.file == "-" ? ::fstat(STDIN_FILENO, &input)
                                                  : ::stat(options.file.c_str(), &input)) == 0;
    // Standard output may well be the terminal or pipe standard input is: only a regular file
    // counts there. The output file must be no input at all: written into the input's own
    // pipe, it would keep that pipe from ever ending.
    const bool haveInput = inputExists && S_ISREG(input.st_mode);
    struct stat output {};
    if (options.zlibFile.empty()) {
        if (haveInput && ::fstat(STDOUT_FILENO, &output) == 0 && sameFile(input, output))
            throw AggError("standard output is the input file '" + shownName(options.file) + "'");
        return std::make_unique<OutputSink>();
    }
    if (inputExists && ::stat(options.zlibFile.c_str(), &output) == 0 && sameFile(input, output)) {
        throw AggError("'" + shownName(options.zlibFile) + "' is the input file: give " +
                       (options.gzip ? "--gzip" : "--zlib") + " another file");
    }
    return std::make_unique<OutputSink>(file.open(options.zlibFile), options.gzip,
                                        options.zlibFile);
}

int runTool(const AggOptions& options, Reporter& err) {
    if (!options.weekStart.empty()) QelDate::setStartOfWeek(QelString(options.weekStart.c_str()));
    if (options.sql) {
        const SqlText sql = sqlExpression(options.sqlColumn, options.period, QelDate::startOfWeek(),
                                          options.dialect.empty() ? "to_char" : options.dialect);
        if (!sql.warning.empty()) err.message(sql.warning);
        return print(sql.text + '\n');
    }
    OutputFile file;
    const std::unique_ptr<OutputSink> out = openOutput(options, file);
    // Without --dst the zone is frozen at today's offset, so periods never shift mid-file.
    std::optional<QelZone> frozenZone;
    if (!options.dst) frozenZone.emplace();
    const int status = runAggregation(options, *out, err);
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
