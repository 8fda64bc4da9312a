// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary TZ values to the zone reader and to glibc, the reference it must match:
// tzset()'s timezone, daylight and names, and localtime_r's offset and daylight flag at the
// year starts and the changes of a spread of years. TZDIR points at a directory that does not
// exist, so neither side finds a zone file and both read the value as a POSIX rule.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <string>

#include "fuzz/fuzz_check.h"
#include "qelkit/foundation/internal/tz_rule.h"
#include "qelkit/foundation/internal/tz_zone.h"
#include "qelkit/internal/calendar.h"

namespace {

using qelkit_internal::daysFromCivil;
using qelkit_internal::TzRule;
using qelkit_internal::TzSpan;
using qelkit_internal::TzZone;

void compareAt(const TzZone& zone, std::int64_t t) {
    const std::time_t tt = static_cast<std::time_t>(t);
    struct tm tm;
    if (!localtime_r(&tt, &tm)) return;
    const TzSpan span = zone.spanAt(t);
    check(span.gmtoff == tm.tm_gmtoff);
    check(span.isdst == (tm.tm_isdst > 0));
    check(span.start <= t && t < span.end);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZDIR", "/nonexistent-qelkit-fuzz-tzdir", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 80) return 0;
    const std::string tz(reinterpret_cast<const char*>(data), size);
    if (tz.find('\0') != std::string::npos) return 0;
    const char* body = tz.c_str() + (tz[0] == ':' ? 1 : 0);
    // An absolute path would open real files (a device could block); and a half-read month
    // sends glibc outside its month table, where no answer is defined.
    if (*body == '/' || !TzRule::parse(body).wellDefined()) return 0;

    setenv("TZ", tz.c_str(), 1);
    tzset();
    const long glibcTimezone = timezone;
    const int glibcDaylight = daylight;
    const std::string glibcNames[2] = {tzname[0], tzname[1]};

    const TzZone zone(tz.c_str());
    check(zone.timezone() == glibcTimezone);
    check(zone.daylight() == (glibcDaylight != 0));
    check(zone.name(0) == glibcNames[0] && zone.name(1) == glibcNames[1]);

    const TzRule rule = TzRule::parse(body);
    for (const std::int64_t year :
         {1, 1600, 1900, 1969, 1970, 1971, 2000, 2024, 2038, 2100, 2399, 2400, 2401, 5000, 9999}) {
        const std::int64_t start = daysFromCivil(year, 1, 1) * 86400;
        // UTC year 0 is left out: glibc answers there from a cache its history fills.
        for (const std::int64_t t : {start - 1, start, start + 183 * 86400})
            if (year > 1 || t >= start) compareAt(zone, t);
        for (int which = 0; which < 2; ++which) {
            const std::int64_t change = rule.changeAt(which, year);
            for (const std::int64_t t : {change - 1, change})
                if (t >= daysFromCivil(1, 1, 1) * 86400) compareAt(zone, t);
        }
    }
    return 0;
}
