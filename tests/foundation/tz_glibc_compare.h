// SPDX-License-Identifier: Apache-2.0
// The zone reader against glibc for one TZ value, shared by the in-process zone test and the
// zone-rule fuzz target: tzset()'s timezone, daylight and names, then localtime_r's offset and
// daylight flag either side of every change from 1890 to 2110, at the start and the middle of a
// spread of years and at the instants given; each reading must map back to its instant (an
// overlap reading to the earlier one).
#ifndef QELKIT_TESTS_FOUNDATION_TZ_GLIBC_COMPARE_H
#define QELKIT_TESTS_FOUNDATION_TZ_GLIBC_COMPARE_H

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "qelkit/foundation/internal/tz_zone.h"
#include "qelkit/internal/calendar.h"

// The first disagreement, "" when none.
inline std::string compareWithGlibc(const std::string& tz, std::vector<std::int64_t> instants) {
    using qelkit_internal::daysFromCivil;
    setenv("TZ", tz.c_str(), 1);
    tzset();
    const qelkit_internal::TzZone zone(tz.c_str());
    const std::string glibc = std::to_string(timezone) + " " + std::to_string(daylight != 0) + " " +
                              tzname[0] + "/" + tzname[1];
    const std::string ours = std::to_string(zone.timezone()) + " " +
                             std::to_string(zone.daylight()) + " " + zone.name(0) + "/" +
                             zone.name(1);
    if (glibc != ours) return tz + ": tzset " + glibc + ", TzZone " + ours;
    for (std::int64_t t = zone.spanAt(-2524521600).end; t < 4417977600; t = zone.spanAt(t).end)
        instants.insert(instants.end(), {t - 1, t, t + 1});
    for (const std::int64_t year :
         {1, 1600, 1900, 1969, 1970, 1971, 2000, 2024, 2038, 2100, 2399, 2400, 2401, 5000, 9999})
        for (const std::int64_t day : {0, 183})
            for (const std::int64_t s : {-1, 0})
                instants.push_back((daysFromCivil(year, 1, 1) + day) * 86400 + s);
    for (const std::int64_t t : instants) {
        const std::time_t tt = static_cast<std::time_t>(t);
        struct tm tm;
        // Before year 1 glibc answers from a cache that earlier calls fill.
        if (t < daysFromCivil(1, 1, 1) * 86400 || !localtime_r(&tt, &tm)) continue;
        const qelkit_internal::TzSpan s = zone.spanAt(t);
        const std::int64_t wall = t + s.gmtoff, back = zone.utcFromLocal(wall);
        if (s.gmtoff != tm.tm_gmtoff || s.isdst != (tm.tm_isdst > 0) || s.start > t || t >= s.end ||
            back > t || back + zone.spanAt(back).gmtoff != wall)
            return tz + " at " + std::to_string(t) + ": glibc " + std::to_string(tm.tm_gmtoff) +
                   "/" + std::to_string(tm.tm_isdst) + ", TzZone " + std::to_string(s.gmtoff) +
                   "/" + std::to_string(s.isdst) + " in [" + std::to_string(s.start) + ", " +
                   std::to_string(s.end) + "), back " + std::to_string(back);
    }
    return "";
}

#endif  // QELKIT_TESTS_FOUNDATION_TZ_GLIBC_COMPARE_H
