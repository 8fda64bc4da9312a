// SPDX-License-Identifier: Apache-2.0
// qelkit-agg: groups the time-stamped rows of a delimited file by reporting period and key and
// prints count, sum, min, max and mean of each value column per group. See qelkit-agg(1).
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/datetime/qel_date.h"
#include "qelkit/datetime/qel_zone.h"
#include "qelkit/foundation/nq_trace.h"
#include "qelkit/records/nq_exception.h"
#include "qelkit/records/zlib_compression.h"
#include "tools/qelkit_agg/agg_options.h"
#include "tools/qelkit_agg/aggregator.h"

namespace {

int usageError(const std::string& message) {
    std::cerr << "qelkit-agg: " << message << "\n"
              << "Try 'qelkit-agg --help' for more information.\n";
    return kAggUsage;
}

// The tool reports every bad row itself, once; the library's own diagnostic traces for the
// same rows would only repeat them.
void dropTrace(const char*, const char*) {}

// Writes `text` compressed to `file`. Returns false after a message when that fails.
bool writeCompressed(const std::string& text, const std::string& file) {
    const RWCString packed = ZLIB::compress(RWCString(text.data(), text.size()));
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) out.write(packed.data(), static_cast<std::streamsize>(packed.length()));
    out.close();
    if (!out) {
        std::cerr << "qelkit-agg: cannot write '" << file << "'\n";
        return false;
    }
    return true;
}

int runTool(const AggOptions& options) {
    if (!options.weekStart.empty()) QelDate::setStartOfWeek(QelString(options.weekStart.c_str()));
    if (options.sql) {
        std::cout << NqTimeAggregation(options.period)
                         .oracleToChar(QelString(options.sqlColumn.c_str()))
                         .data()
                  << '\n';
        return kAggOk;
    }
    // Without --dst the zone is frozen at today's offset, so periods never shift mid-file.
    std::optional<QelZone> frozenZone;
    if (!options.dst) frozenZone.emplace();

    std::ostringstream packed;
    std::ostream& out = options.zlibFile.empty() ? static_cast<std::ostream&>(std::cout) : packed;
    Aggregator aggregator(options, out, std::cerr);
    int status = aggregator.run();
    if (!options.zlibFile.empty() && status == kAggOk &&
        !writeCompressed(packed.str(), options.zlibFile))
        status = kAggUsage;
    out.flush();
    if (!std::cout) {
        std::cerr << "qelkit-agg: write error on standard output\n";
        status = kAggUsage;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    AggOptions options;
    const std::string error = parseAggOptions(argc, argv, options);
    if (!error.empty()) return usageError(error);
    if (options.help) {
        std::cout << aggUsageText();
        return kAggOk;
    }
    if (options.version) {
        std::cout << aggVersionText();
        return kAggOk;
    }
    NqTraceStatic::setSink(dropTrace);
    try {
        return runTool(options);
    } catch (const NqException& e) {
        std::cerr << "qelkit-agg: " << e.why() << '\n';
    } catch (const std::exception& e) {
        std::cerr << "qelkit-agg: " << e.what() << '\n';
    }
    return kAggUsage;
}
