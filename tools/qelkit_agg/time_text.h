// SPDX-License-Identifier: Apache-2.0
// The time layouts qelkit-agg accepts, read strictly: the whole field must be one of them, and
// every field of it in range. Anything else is refused, never read as some other time.
//
// Year-first (both readers):
//   YYYY-MM-DD | YY-MM-DD         '/' may replace both '-'; month and day have 1 or 2 digits
//   then optionally ' ' or 'T' and HH:MM, HH:MM:SS or HH:MM:SS.fraction (1 to 9 digits,
//   dropped; ',' may replace '.'), the hour with 1 or 2 digits,
//   then optionally a zone: Z, or +hh:mm, -hh:mm, +hhmm, +hh (offset east of UTC).
// Month-first (--dates=qel, tried first): M/D/YYYY or M/D/YY, then optionally ' ' and
//   H:MM or H:MM:SS, then optionally ' AM' or ' PM' (hour 1 to 12).
// Blanks and tabs around the text are ignored; 't', 'z', 'am' and 'pm' may be lower case.
// A two-digit year YY is 19YY from 69 to 99 and 20YY from 00 to 68.
#ifndef QELKIT_TOOLS_QELKIT_AGG_TIME_TEXT_H
#define QELKIT_TOOLS_QELKIT_AGG_TIME_TEXT_H

#include <cstdint>
#include <string_view>

struct TimeText {
    std::int64_t wall = 0;        // the fields as seconds since 1970-01-01, as if UTC
    bool hasOffset = false;       // an explicit zone was given
    std::int64_t offsetEast = 0;  // its offset, seconds east of UTC
};

// Reads `text`. Returns false when it is none of the layouts or a field is out of range
// (month 13, 31 April, hour 24, minute 60, offset hour 24).
bool parseTimeText(std::string_view text, bool monthFirst, TimeText& time) noexcept;

#endif  // QELKIT_TOOLS_QELKIT_AGG_TIME_TEXT_H
