// SPDX-License-Identifier: Apache-2.0
// NqStringToDate: converts the numeric date and time texts of application data ("2007-04-09",
// "04/09/2007", "14:09:43", or a date and a time separated by a blank) into an RWDateTime in
// RWZone::local(). The `nq` scope uses only the field parsers below; the `qel` scope asks the
// locale-driven vendor parser first and falls back to them. The class has no instances.
//
// Settings, read once when the library is loaded:
//   NQ_TRACE_DATECONVERT       on: the field parsers trace their input and broken-down time;
//   NQ_USE_BROKEN_DATECONVERT  on: nq::date reads dates in the NQ_AMBIGUOUS_DATEFORMAT order;
//   NQ_AMBIGUOUS_DATEFORMAT    field order of ambiguous dates, "M/D/Y" by default.
// A conversion whose result is not valid always traces the text under its error tag.
// Every function may run on several threads at once.
#ifndef QELKIT_DATETIME_NQ_STRING_TO_DATE_H
#define QELKIT_DATETIME_NQ_STRING_TO_DATE_H

#include <ctime>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_date_time.h"
#include "qelkit/strings/qel_string.h"

class QELKIT_API NqStringToDate {
  public:
    NqStringToDate() = delete;

    // The library's own numeric parsers.
    struct nq {
        // A date at 00:00:00.000: year first ("2007-04-09"), or in the NQ_AMBIGUOUS_DATEFORMAT
        // order when NQ_USE_BROKEN_DATECONVERT is on. Invalid when fields are missing; throws
        // NqException for a year shorter than 4 characters (year first) or a plainly wrong
        // month or day (field order).
        static RWDateTime date(const QelString& text);
        // A 24-hour time of day ("14:09", "14:09:43"). It starts from an invalid date, so the
        // result carries day 0 of January 1900, which RWDateTime rejects: it is invalid.
        static RWDateTime time(const QelString& text);
        // A year-first date, then a time after the first blank or tab ("2007-04-09 14:09:43");
        // a text with no date fields is read as a time alone. Throws as date() does.
        static RWDateTime datetime(const QelString& text);
    };

    // The locale-driven vendor parser of RWLocale::global() first, the numeric parsers next.
    struct qel {
        // Vendor date, else the field-order parser (whatever NQ_USE_BROKEN_DATECONVERT says).
        // Throws NqException for a plainly wrong month or day.
        static RWDateTime date(const QelString& text);
        // Vendor time of day (today), else the 24-hour parser (which, starting from the failed
        // vendor parse, gives an invalid result as nq::time does).
        static RWDateTime time(const QelString& text);
        // Vendor date and time, else nq::datetime(text). Throws as nq::datetime does.
        static RWDateTime datetime(const QelString& text);
    };

    // Year, month and day delimited by '/', '-' or blank; two-digit years 00-68 are 2000-2068
    // and 69-99 are 1969-1999. Returns false, leaving `dt` alone, when the day is missing; throws
    // NqException "setDateYYYYMMDD() Invalid year '<year>'" for a year shorter than 4
    // characters. Otherwise replaces the date of `dt` (keeping a valid dt's time of day) and
    // returns true; impossible dates make `dt` invalid.
    static bool setDateYYYYMMDD(RWDateTime& dt, const QelString& text);
    // Three fields delimited by '/', '-' or blank, in the order of `format` ("M/D/Y", "D/M/Y",
    // "Y/M/D"; null counts as ""), or year first when the first field has 4 characters. An
    // order not starting with the year is traced as ambiguous, tracing on or not. Returns false
    // when the third field is missing; throws NqException "Date format obviously incorrect for
    // <text>" for a month above 12 or a day above 31; else stores as setDateYYYYMMDD does.
    static bool setDateAll(RWDateTime& dt, const QelString& text, const char* format);
    // Hour, minute and optional second delimited by ':' or blank (the second also by '.', so
    // a fraction is ignored). Returns false, leaving `dt` alone, when the minute is missing;
    // else replaces the time of day of `dt` (keeping a valid dt's date; milliseconds 0) and
    // returns true. Values are not range-checked here: RWDateTime rejects them.
    static bool setTime24HR(RWDateTime& dt, const QelString& text);
    // `dt` becomes the date held in `t` (tm_year, tm_mon, tm_mday) at the time of day of `dt`
    // (or at the time fields of `t` when dt is invalid), in RWZone::local(). `t` receives the
    // time fields.
    static void setDateFromTm(RWDateTime& dt, tm* t);
    // `dt` becomes the time of day held in `t` on the date of `dt` (or on the date fields of
    // `t` when dt is invalid), milliseconds 0, in RWZone::local(). `t` receives the date fields.
    static void setTimeFromTm(RWDateTime& dt, tm* t);
    // "TM: " and tm_year, tm_mon, tm_mday, tm_hour, tm_min, tm_sec, tm_yday, tm_wday separated
    // by blanks, each in QelString::formatInt; for traces.
    static QelString printTm(tm* t);
};

#endif  // QELKIT_DATETIME_NQ_STRING_TO_DATE_H
