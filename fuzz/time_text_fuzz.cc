// SPDX-License-Identifier: Apache-2.0
// QelTimeText on arbitrary text, in both formats. Whatever it accepts must be a real calendar
// time, and its wall-clock fields written back in the plainest layout ("YYYY-MM-DD HH:MM:SS")
// must read back to the same instant with no zone. It calls a text blank exactly when the text
// holds nothing but blanks and tabs, and in range or out of range exactly when the text with
// every digit made '1' (which puts every field in range and keeps the shape) reads.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "qelkit/datetime/qel_time_text.h"
#include "qelkit/internal/calendar.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(input), size);
    std::string ones(text);
    for (char& c : ones) c = c >= '0' && c <= '9' ? '1' : c;
    for (const auto format : {QelTimeText::YearFirst, QelTimeText::MonthFirst}) {
        QelTimeText::Time time, shaped;
        const QelTimeText::Result result = QelTimeText(format).read(text, time);
        check((result == QelTimeText::Blank) == (text.find_first_not_of(" \t") == text.npos));
        check((result == QelTimeText::Ok || result == QelTimeText::OutOfRange) ==
              (QelTimeText(format).read(ones, shaped) == QelTimeText::Ok));
        if (result != QelTimeText::Ok) continue;
        const qelkit_internal::CivilTime t = qelkit_internal::civilTimeFromSeconds(time.wall);
        check(t.date.year >= 1 && t.date.year <= 9999);
        check(time.offsetEast > -86400 && time.offsetEast < 86400);
        check(time.hasOffset || time.offsetEast == 0);
        char plain[32];
        std::snprintf(plain, sizeof plain, "%04d-%02u-%02u %02u:%02u:%02u",
                      static_cast<int>(t.date.year), t.date.month, t.date.day, t.hour, t.minute,
                      t.second);
        QelTimeText::Time again;
        check(QelTimeText().read(plain, again) == QelTimeText::Ok && again.wall == time.wall &&
              !again.hasOffset);
    }
    return 0;
}
