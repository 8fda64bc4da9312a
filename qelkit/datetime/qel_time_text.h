// SPDX-License-Identifier: Apache-2.0
// QelTimeText: a strict reader of time stamps in text. The whole text must be one of the
// layouts of the reader's format, with every field in range; anything else is refused with a
// reason, never read as some other time. The result is the wall-clock reading as seconds since
// 1970-01-01 counted as if UTC, plus the zone offset when the text gives one, so the caller
// decides which zone a text without offset is read in.
//
// Formats (more may be added; a reader's format is fixed when it is built):
//   YearFirst:
//     YYYY-MM-DD | YY-MM-DD         '/' may replace both '-'; month and day have 1 or 2 digits
//     then optionally ' ' or 'T' and HH:MM, HH:MM:SS or HH:MM:SS.fraction (1 to 9 digits,
//     dropped; ',' may replace '.'), the hour with 1 or 2 digits,
//     then optionally a zone: Z, or +hh:mm, -hh:mm, +hhmm, +hh (offset east of UTC).
//   MonthFirst: first M/D/YYYY or M/D/YY, then optionally ' ' and H:MM or H:MM:SS, then
//     optionally ' AM' or ' PM' (hour 1 to 12); a text that is none of these is read as
//     YearFirst. So "12/10/11" is 2011-12-10, but "13/10/11" is 2013-10-11.
// Blanks and tabs around the text are ignored; 't', 'z', 'am' and 'pm' may be lower case.
// A two-digit year YY is 19YY from 69 to 99 and 20YY from 00 to 68. Years run from 1 to 9999.
//
// Thread-safety: read() changes nothing in the reader; one reader may serve many threads.
// Failure: read() returns a Result other than Ok, and describe() names it for a message.
#ifndef QELKIT_DATETIME_QEL_TIME_TEXT_H
#define QELKIT_DATETIME_QEL_TIME_TEXT_H

#include <cstdint>
#include <string_view>

#include "qelkit/export.h"

class QELKIT_API QelTimeText {
  public:
    // The layouts a reader accepts (see above).
    enum Format { YearFirst, MonthFirst };

    // What read() made of a text.
    enum Result {
        Ok,
        Blank,       // nothing but blanks and tabs
        NoLayout,    // not shaped like any layout of the format
        OutOfRange,  // shaped like one, but a field is out of range (month 13, 31 April,
                     // hour 24, minute 60, 13 PM, offset hour 24, year 0)
    };

    // A time read.
    struct Time {
        std::int64_t wall = 0;        // the fields as seconds since 1970-01-01, as if UTC
        bool hasOffset = false;       // an explicit zone was given
        std::int64_t offsetEast = 0;  // its offset, seconds east of UTC (0 without one)
    };

    // A reader of the layouts of `format`.
    explicit QelTimeText(Format format = YearFirst) noexcept : _format(format) {}

    Format format() const noexcept { return _format; }
    // Reads `text` into `time`; on any Result but Ok, `time` is unspecified.
    Result read(std::string_view text, Time& time) const noexcept;
    // A short English phrase for `result` ("the text is blank", ...), for messages.
    static const char* describe(Result result) noexcept;

  private:
    Format _format;
};

#endif  // QELKIT_DATETIME_QEL_TIME_TEXT_H
