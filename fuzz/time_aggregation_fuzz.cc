// SPDX-License-Identifier: Apache-2.0
// Fuzzes NqTimeAggregation: fromString on arbitrary text must name a period of the table, and
// truncation of instants taken from the input, under fixed-offset zones, must give the start
// of a period that holds the instant: never later than it, never further back than the
// longest period (plus the week a week-numbering year may start early), a start that
// truncates to itself and whose previous second lies in an earlier period. A start of week
// outside 1..7 must be refused at once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_check.h"
#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/foundation/nq_trace.h"
#include "qelkit/foundation/rw_zone.h"

namespace {

// Reads n little-endian bytes from the input, zero past its end.
std::uint64_t take(const std::uint8_t*& data, std::size_t& size, std::size_t n) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        v |= std::uint64_t{size ? *data : std::uint8_t{0}} << (8 * i);
        if (size) ++data, --size;
    }
    return v;
}

// Instants (RWTime seconds) whose periods all lie inside the representable range:
// 1902-01-01 .. 9998-01-01 UTC.
constexpr std::uint64_t LOW = 31536000ULL;
constexpr std::uint64_t HIGH = 255516681600ULL;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (NqTraceStatic::setSink([](const char*, const char*) {}), true);
    (void)quiet;
    const QelString text(reinterpret_cast<const char*>(data), size);
    const char code = static_cast<char>(NqTimeAggregation::fromString(text));
    check(code != '\0' && std::strchr("OBFTQPHAUVDWMYN", code) != nullptr);

    const long offset = static_cast<long>(take(data, size, 2) % (2 * 50400 + 1)) - 50400;
    const RWZoneSimple zone(offset, "F");
    const RWZone* previous = RWZone::local(&zone);
    const std::uint64_t raw = take(data, size, 8);
    const char* const codes = "OBFTQPHDWUMY";
    const NqTimeAggregation period(
        static_cast<TimeAggregationType>(codes[take(data, size, 1) % 12]));
    const int sowByte = static_cast<int>(take(data, size, 1));
    const int sow = 1 + sowByte % 7;

    const RWTime t(LOW + raw % (HIGH - LOW));
    const RWTime start = period.truncate(t, sow);
    // A week-hour lies within its week; a week-numbering year may start up to a week early.
    const std::uint64_t reach = period.code() == WeekHour
                                    ? 604800
                                    : static_cast<std::uint64_t>(period.maxSeconds()) +
                                          (period.code() == Year ? 7 * 86400 : 0);
    check(start.isValid() && start <= t && t.seconds() - start.seconds() < reach);
    check(period.truncate(start, sow) == start);
    check(period.truncate(start - 1, sow) < start);

    // Any instant at all: either a period start not after it, or the invalid time.
    const RWTime any(raw);
    const RWTime r = period.truncate(any, sow);
    check(!r.isValid() || r <= any);

    // Out-of-range starts of week: refused for every code, whatever the instant.
    const int bad = (sowByte & 1) ? 8 + sowByte : -sowByte;
    check(!period.truncate(any, bad).isValid());
    RWZone::local(previous);
    return 0;
}
