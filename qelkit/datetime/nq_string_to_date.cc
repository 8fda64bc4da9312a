// SPDX-License-Identifier: Apache-2.0
#include "qelkit/datetime/nq_string_to_date.h"

#include <climits>
#include <cstddef>
#include <cstdint>

#include "qelkit/foundation/nq_environment.h"
#include "qelkit/foundation/nq_trace.h"
#include "qelkit/foundation/rw_locale.h"
#include "qelkit/foundation/rw_zone.h"
#include "qelkit/internal/ascii.h"
#include "qelkit/internal/byte_scan.h"
#include "qelkit/internal/calendar.h"
#include "qelkit/records/nq_exception.h"

namespace {

// The three settings. Each is built on first use, once, even when another file's static
// initialisation converts a date before this file's turn.
const NqEnvironment& traceFlag() {
    static const NqEnvironment TRACEFLAG("NQ_TRACE_DATECONVERT");
    return TRACEFLAG;
}
const NqEnvironment& useBroken() {
    static const NqEnvironment USE_BROKEN("NQ_USE_BROKEN_DATECONVERT");
    return USE_BROKEN;
}
const NqEnvironment& defaultFormat() {
    static const NqEnvironment DEFAULT_FORMAT("NQ_AMBIGUOUS_DATEFORMAT", "M/D/Y");
    return DEFAULT_FORMAT;
}

// Reads the environment at load time, so later changes to it have no effect.
// NOLINTNEXTLINE(cert-err58-cpp): only std::bad_alloc can escape, and it fails the load.
[[maybe_unused]] const bool settingsLoaded = (traceFlag(), useBroken(), defaultFormat(), true);

bool tracing() { return traceFlag().isOn(); }

using Field = qelkit_internal::ByteRange;

// Walks a range of bytes token by token with exactly the step of RWCTokenizer (the shared
// nextToken); with no delimiters the token is the rest up to the next NUL. The delimiter sets
// are fixed predicates here, where RWCTokenizer builds a byte table at every call: the eight
// tokens of a date and time would then cost about as much as nq::datetime may take in all.
// The fuzz target compares the conversions with an RWCTokenizer-based reading.
class FieldScanner {
  public:
    FieldScanner(const char* begin, std::size_t length) : pos_(begin), end_(begin + length) {}
    explicit FieldScanner(const RWCString& text) : FieldScanner(text.data(), text.length()) {}

    // The next token delimited by the bytes `isDelim` accepts (never NUL); an empty token at
    // the end.
    template <class IsDelim>
    Field next(IsDelim isDelim) {
        return qelkit_internal::nextToken(&pos_, end_, isDelim);
    }
    // The rest of the text up to the next NUL byte (the empty delimiter set).
    Field rest() {
        return next([](char) { return false; });
    }

  private:
    const char* pos_;
    const char* end_;
};

bool isDateDelim(char c) { return c == '/' || c == '-' || c == ' '; }
bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }
bool isHourDelim(char c) { return c == ':' || c == ' '; }
bool isSecondDelim(char c) { return c == ':' || c == '.' || c == ' '; }

int clampToInt(long long v) {
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

// The number at the start of a token, read as atoi() reads it (leading white space, a sign,
// digits; whatever follows is ignored, no digits read as 0). Values beyond int saturate,
// where atoi() would be undefined.
int readNumber(Field token) {
    const char* p = token.data;
    const char* const end = p + token.length;
    // The common token: up to 9 bytes starting with a digit, whose value cannot overflow.
    if (token.length != 0 && token.length <= 9 && static_cast<unsigned char>(*p - '0') <= 9) {
        int v = 0;
        for (; p < end && static_cast<unsigned char>(*p - '0') <= 9; ++p) v = v * 10 + (*p - '0');
        return v;
    }
    return qelkit_internal::atoiSaturating(p, end);
}

// The wall-clock reading of a valid date-time in `zone`, the fields extract() would give,
// without those nobody here reads (the zone name is the costly one).
struct Wall {
    int year, mon, mday, hour, min;  // tm conventions: year - 1900, month 0..11
};

Wall wallOf(const RWDateTime& dt, const RWZone& zone) {
    using namespace qelkit_internal;
    const std::int64_t posix = floorDiv(dt.milliSeconds(), 1000) - kPosixFrom1901;
    const CivilTime c = civilTimeFromSeconds(posix - zone.offsetAt(posix));
    return Wall{static_cast<int>(c.date.year - 1900), static_cast<int>(c.date.month) - 1,
                static_cast<int>(c.date.day), static_cast<int>(c.hour), static_cast<int>(c.minute)};
}

// Sets the field of `t` named by `letter` ("D", "M", "Y", "h", "m", "s") from `v`; any other
// letter sets nothing. Arithmetic saturates at the int range.
void setField(tm& t, char letter, int v) {
    switch (letter) {
        case 'D':
            t.tm_mday = v;
            break;
        case 'M':
            t.tm_mon = clampToInt(static_cast<long long>(v) - 1);
            break;
        case 'Y': {
            long long year = v;
            if (year < 100) year += year < 69 ? 2000 : 1900;
            t.tm_year = clampToInt(year - 1900);
            break;
        }
        case 'h':
            t.tm_hour = v;
            break;
        case 'm':
            t.tm_min = v;
            break;
        case 's':
            t.tm_sec = v;
            break;
        default:
            break;
    }
}

// The first, second and third field letters of a field-order format: its first character,
// then the next two of "M", "D", "Y" after it; '\0' where the format runs out.
void formatLetters(const char* format, char letters[3]) {
    letters[0] = *format;
    letters[1] = letters[2] = '\0';
    const char* p = *format != '\0' ? format + 1 : format;
    for (int i = 1; i < 3; ++i) {
        while (*p != '\0' && *p != 'M' && *p != 'D' && *p != 'Y') ++p;
        if (*p == '\0') break;
        letters[i] = *p++;
    }
}

// A conversion's closing check: an invalid result is traced under `tag`, tracing on or not.
RWDateTime checked(const RWDateTime& dt, const char* tag, const QelString& text) {
    if (!dt.isValid()) NqTraceStatic::output(tag, text);
    return dt;
}

// Traces a token's bytes under `tag` (the RWCString form stops at a NUL; a token holds none).
void traceField(const char* tag, Field text) {
    NqTraceStatic::output(tag, RWCString(text.data, text.length));
}

// The fields of setDateYYYYMMDD: year, month and day from `text` into `t`. False when the day
// is missing; throws NqException for a year shorter than 4 characters.
bool readYearFirst(Field text, tm& t) {
    FieldScanner scan(text.data, text.length);
    const Field year = scan.next(isDateDelim);
    const Field month = scan.next(isDateDelim);
    const Field day = scan.next(isDateDelim);
    if (day.length == 0) return false;
    if (year.length < 4) {
        RWCString message("setDateYYYYMMDD() Invalid year '");
        message.append(year.data, year.length);
        message.append("'");
        throw NqException(message);
    }
    setField(t, 'Y', readNumber(year));
    setField(t, 'M', readNumber(month));
    setField(t, 'D', readNumber(day));
    return true;
}

// The fields of setTime24HR: hour, minute and optional second from `text` into `t`. False
// when the minute is missing.
bool readTime24(Field text, tm& t) {
    FieldScanner scan(text.data, text.length);
    const Field hour = scan.next(isHourDelim);
    const Field minute = scan.next(isHourDelim);
    const Field second = scan.next(isSecondDelim);
    // The rest of the text would be the fourth token; nothing reads it.
    if (minute.length == 0) return false;
    setField(t, 'h', readNumber(hour));
    setField(t, 'm', readNumber(minute));
    if (second.length != 0) setField(t, 's', readNumber(second));
    return true;
}

// setDateYYYYMMDD over a range of bytes.
bool yearFirst(RWDateTime& dt, Field text) {
    if (tracing()) traceField("NqStringConvert::setDateYYYYMMDD()", text);
    tm t{};
    if (!readYearFirst(text, t)) return false;
    NqStringToDate::setDateFromTm(dt, &t);
    return true;
}

// setTime24HR over a range of bytes.
bool time24(RWDateTime& dt, Field text) {
    if (tracing()) traceField("NqStringConvert::setTime24HR()", text);
    tm t{};
    if (!readTime24(text, t)) return false;
    NqStringToDate::setTimeFromTm(dt, &t);
    return true;
}

// setDateFromTm(dt, date) then setTimeFromTm(dt, time) for an invalid `dt`, untraced, in one
// pass of calendar arithmetic instead of two constructions and a breakdown. The first step
// gives the midnight of the date (or an invalid value, which the second step cannot repair: it
// would build day 0 of January 1900); the second reads the date back from that midnight. That
// reading is the date itself unless midnight falls in a daylight gap, which is left to the two
// steps. The arithmetic is RWDateTime's own (the same internal helpers).
void dateThenTime(RWDateTime& dt, tm& date, tm& time) {
    using namespace qelkit_internal;
    const std::int64_t year = static_cast<std::int64_t>(date.tm_year) + 1900;
    // Negative fields wrap to values validCivil rejects, as the tm constructor rejects them.
    const unsigned month = static_cast<unsigned>(date.tm_mon) + 1;
    const unsigned day = static_cast<unsigned>(date.tm_mday);
    if (!validCivil(year, month, day)) return;
    const RWZone& zone = RWZone::local();
    const std::int64_t wall = daysFromCivil(year, month, day) * kSecondsPerDay;
    const std::int64_t utc = zone.utcFromLocal(wall);
    const RWDateTime midnight((utc + kPosixFrom1901) * 1000);
    if (!midnight.isValid()) return;
    if (utc - zone.offsetAt(utc) != wall) {
        dt = midnight;
        NqStringToDate::setTimeFromTm(dt, &time);
        return;
    }
    // What the field constructor does with the date already checked and counted: check the
    // time of day (negative fields wrap to values above the limits), convert the wall clock.
    const unsigned hour = static_cast<unsigned>(time.tm_hour);
    const unsigned minute = static_cast<unsigned>(time.tm_min);
    const unsigned second = static_cast<unsigned>(time.tm_sec);
    if (hour > 23 || minute > 59 || second > 59) return;
    dt = RWDateTime(
        (zone.utcFromLocal(wall + std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second) +
         kPosixFrom1901) *
        1000);
}

}  // namespace

// The parsers work on byte ranges, so that nq::datetime hands them its two tokens without
// copying them into strings; the public forms pass the whole text.
bool NqStringToDate::setTime24HR(RWDateTime& dt, const QelString& text) {
    return time24(dt, Field{text.data(), text.length()});
}

bool NqStringToDate::setDateYYYYMMDD(RWDateTime& dt, const QelString& text) {
    return yearFirst(dt, Field{text.data(), text.length()});
}

bool NqStringToDate::setDateAll(RWDateTime& dt, const QelString& text, const char* format) {
    if (tracing()) NqTraceStatic::output("NqStringConvert::setDateAll()", text);
    if (format == nullptr) format = "";
    FieldScanner scan(text);
    const Field fields[3] = {scan.next(isDateDelim), scan.next(isDateDelim),
                             scan.next(isDateDelim)};
    char letters[3];
    formatLetters(format, letters);
    if (fields[2].length == 0) return false;
    if (fields[0].length == 4) {
        letters[0] = 'Y';
        letters[1] = 'M';
        letters[2] = 'D';
    } else if (letters[0] != 'Y') {
        RWCString message("ERROR: Ambiguous date '");
        message.append(text);
        message.append("'.  Using format ");
        message.append(format);
        NqTraceStatic::output("NqStringConvert::setDateAll()", message);
    }
    tm t{};
    for (int i = 0; i < 3; ++i) setField(t, letters[i], readNumber(fields[i]));
    if (t.tm_mon > 11 || t.tm_mday > 31) {
        RWCString message("Date format obviously incorrect for ");
        message.append(text);
        throw NqException(message);
    }
    setDateFromTm(dt, &t);
    return true;
}

void NqStringToDate::setDateFromTm(RWDateTime& dt, tm* t) {
    const RWZone& zone = RWZone::local();
    unsigned ms = 0;
    if (dt.isValid()) {
        const Wall now = wallOf(dt, zone);
        t->tm_hour = now.hour;
        t->tm_min = now.min;
        t->tm_sec = static_cast<int>(dt.second());
        ms = dt.milliSecond();
    }
    if (tracing()) NqTraceStatic::output("NqStringConvert::setDateFromTm()", printTm(t));
    dt = RWDateTime(t, ms, zone);
}

void NqStringToDate::setTimeFromTm(RWDateTime& dt, tm* t) {
    const RWZone& zone = RWZone::local();
    if (dt.isValid()) {
        const Wall now = wallOf(dt, zone);
        t->tm_mday = now.mday;
        t->tm_mon = now.mon;
        t->tm_year = now.year;
    }
    if (tracing()) NqTraceStatic::output("NqStringConvert::setTimeFromTm()", printTm(t));
    dt = RWDateTime(t, 0, zone);
}

QelString NqStringToDate::printTm(tm* t) {
    const int fields[] = {t->tm_year, t->tm_mon, t->tm_mday, t->tm_hour,
                          t->tm_min,  t->tm_sec, t->tm_yday, t->tm_wday};
    QelString out("TM:");
    for (const int v : fields) {
        out.append(" ");
        out.appendFormat(QelString::formatInt, v);
    }
    return out;
}

RWDateTime NqStringToDate::nq::date(const QelString& text) {
    RWDateTime dt(RWDateTime::invalid);
    if (useBroken().isOn())
        setDateAll(dt, text, defaultFormat().value());
    else
        setDateYYYYMMDD(dt, text);
    return checked(dt, "NqStringToDate::nq::date() Error ", text);
}

RWDateTime NqStringToDate::nq::time(const QelString& text) {
    RWDateTime dt(RWDateTime::invalid);
    setTime24HR(dt, text);
    return checked(dt, "NqStringToDate::nq::time() Error ", text);
}

RWDateTime NqStringToDate::nq::datetime(const QelString& text) {
    RWDateTime dt(RWDateTime::invalid);
    FieldScanner scan(text);
    const Field first = scan.next(isBlankOrTab);
    // The rest keeps the blank or tab that ended the first token; the time parser skips it.
    const Field rest = scan.rest();
    if (tracing()) {
        // Step by step, so that each step writes its own trace.
        if (yearFirst(dt, first)) {
            if (rest.length > 2) time24(dt, rest);
        } else {
            time24(dt, first);
        }
    } else {
        tm date{};
        tm time{};
        if (!readYearFirst(first, date)) {
            if (readTime24(first, time)) NqStringToDate::setTimeFromTm(dt, &time);
        } else if (rest.length > 2 && readTime24(rest, time)) {
            dateThenTime(dt, date, time);
        } else {
            NqStringToDate::setDateFromTm(dt, &date);
        }
    }
    return checked(dt, "NqStringToDate::nq::datetime() Error ", text);
}

RWDateTime NqStringToDate::qel::date(const QelString& text) {
    RWDateTime dt(text, RWDateTime::setDate, RWLocale::global(), RWZone::local());
    if (dt.isValid()) return dt;
    setDateAll(dt, text, defaultFormat().value());
    return checked(dt, "NqStringToDate::qel::date() Error ", text);
}

RWDateTime NqStringToDate::qel::time(const QelString& text) {
    RWDateTime dt(text, RWDateTime::setTime, RWLocale::global(), RWZone::local());
    if (dt.isValid()) return dt;
    setTime24HR(dt, text);
    return checked(dt, "NqStringToDate::qel::time() Error ", text);
}

RWDateTime NqStringToDate::qel::datetime(const QelString& text) {
    const RWDateTime dt(text, RWDateTime::setBoth, RWLocale::global(), RWZone::local());
    if (dt.isValid()) return dt;
    return nq::datetime(text);
}
