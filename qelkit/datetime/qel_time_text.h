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
//     then optionally ' ' or 'T' and HH:MM, HH:MM:SS or HH:MM:SS.fraction (1 to 9 digits, kept
//     in Time::nanos; ',' may replace '.'), the hour with 1 or 2 digits,
//     then optionally a zone: Z, or +hh:mm, -hh:mm, +hhmm, +hh (offset east of UTC).
//   MonthFirst: first M/D/YYYY or M/D/YY, then optionally ' ' and H:MM or H:MM:SS, then
//     optionally ' AM' or ' PM' (hour 1 to 12); a text that is none of these is read as
//     YearFirst. So "12/10/11" is 2011-12-10, but "13/10/11" is 2013-10-11.
//   Epoch, EpochMs, EpochUs: seconds, milliseconds or microseconds since 1970-01-01 00:00 UTC,
//     as -?DIGITS or -?DIGITS.DIGITS (no '+', exponent, hex, "nan" or "inf"). Fraction digits
//     past the nanosecond are dropped; the value is then floored to whole seconds (so -1.25
//     is wall -2, nanos 750000000); a second outside years 1 to 9999 is OutOfRange. The result
//     is an instant: hasOffset, offsetEast 0.
//   Pattern: a strptime-like pattern compiled by pattern() (below); QelTimeText(Pattern)
//     itself has no pattern and reads nothing (NoLayout).
// Blanks and tabs around the text are ignored; 't', 'z', 'am' and 'pm' may be lower case.
// A two-digit year YY is 19YY from 69 to 99 and 20YY from 00 to 68. Years run from 1 to 9999.
//
// Patterns: literal characters match themselves exactly, "%%" a '%', and each directive one
// field: %Y four digits (year 1 to 9999); %y two digits (the two-digit-year rule above); %m, %d,
// %H (0-23), %I (1-12), %M, %S one or two digits, read greedily (two when two follow); %e a day
// of one or two digits after an optional space; %f 1 to 9 fraction digits of the second; %p AM
// or PM in any case; %b Jan .. Dec in any case; %z Z (or z), +hh:mm, +hhmm or +hh (or '-'). A
// pattern needs a year, a month and a day, names each field at most once, and uses %I exactly when
// it uses %p; missing time fields are 0. Blanks and tabs around the pattern are dropped, as around
// the text. A pattern is compiled once into a program of at most 48 steps (a directive or one
// literal character each) held inside the reader: reading allocates nothing and uses no locale.
//
// Thread-safety: read() changes nothing in the reader; one reader may serve many threads.
// Failure: read() returns a Result other than Ok, and describe() names it for a message.
#ifndef QELKIT_DATETIME_QEL_TIME_TEXT_H
#define QELKIT_DATETIME_QEL_TIME_TEXT_H

#include <cstdint>
#include <string>
#include <string_view>

#include "qelkit/export.h"

class QELKIT_API QelTimeText {
  public:
    // The layouts a reader accepts (see above).
    enum Format { YearFirst, MonthFirst, Epoch, EpochMs, EpochUs, Pattern };

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
        std::int32_t nanos = 0;       // the fraction of the second, 0 to 999999999
    };

    // A reader of the layouts of `format`.
    explicit QelTimeText(Format format = YearFirst) noexcept : _format(format) {}

    // Compiles `pattern` (see above) into `reader` and returns true; on a refused pattern
    // returns false, leaves `reader` unchanged and says why in `why` ("%q is no directive").
    static bool pattern(std::string_view pattern, QelTimeText& reader, std::string& why);

    Format format() const noexcept { return _format; }
    // Reads `text` into `time`; on any Result but Ok, `time` is unspecified.
    Result read(std::string_view text, Time& time) const noexcept;
    // A short English phrase for `result` ("the text is blank", ...), for messages.
    static const char* describe(Result result) noexcept;

  private:
    static constexpr int kMaxSteps = 48;
    Result readPattern(const char* begin, const char* end, Time& time) const noexcept;
    // One step of a compiled pattern: what to read, and the character of a literal.
    struct Step {
        unsigned char op;
        char literal;
    };

    Format _format;
    unsigned char _steps = 0;  // steps of the pattern in use
    Step _program[kMaxSteps] = {};
};

#endif  // QELKIT_DATETIME_QEL_TIME_TEXT_H
