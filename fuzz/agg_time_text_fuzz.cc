// SPDX-License-Identifier: Apache-2.0
// qelkit-agg's time reader on arbitrary text, with both reader settings. Whatever it accepts
// must be a real calendar time, and its wall-clock fields written back in the plainest layout
// ("YYYY-MM-DD HH:MM:SS") must read back to the same instant with no zone.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "qelkit/internal/calendar.h"
#include "tools/qelkit_agg/time_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(input), size);
    for (const bool monthFirst : {false, true}) {
        TimeText time;
        if (!parseTimeText(text, monthFirst, time)) continue;
        const qelkit_internal::CivilTime t = qelkit_internal::civilTimeFromSeconds(time.wall);
        check(t.date.year >= 1 && t.date.year <= 9999);
        check(time.offsetEast > -86400 && time.offsetEast < 86400);
        check(time.hasOffset || time.offsetEast == 0);
        char plain[32];
        std::snprintf(plain, sizeof plain, "%04d-%02u-%02u %02u:%02u:%02u",
                      static_cast<int>(t.date.year), t.date.month, t.date.day, t.hour, t.minute,
                      t.second);
        TimeText again;
        check(parseTimeText(plain, false, again) && again.wall == time.wall && !again.hasOffset);
    }
    return 0;
}
