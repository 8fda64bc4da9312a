// SPDX-License-Identifier: Apache-2.0
// RWLocale: the conventions that date and time text follows (month and weekday names, AM/PM,
// the date and time patterns, the numeric order of dates), used both to format broken-down
// times and to parse dates and times typed by people.
//
// RWLocale::defaultLocale() is the built-in "C" locale; RWLocaleSnapshot captures a named
// platform locale without touching the process's C locale. RWLocale::global() is the locale
// the date and time classes use by default.
#ifndef QELKIT_FOUNDATION_RW_LOCALE_H
#define QELKIT_FOUNDATION_RW_LOCALE_H

#include <cstddef>
#include <ctime>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_defs.h"
#include "qelkit/foundation/rw_zone.h"

class QELKIT_API RWLocale {
  public:
    virtual ~RWLocale();

    // The text of one conversion character `format` (as in "%<format>") for the broken-down
    // time `t`; '\0' means "%x %X". Names come from the locale, %Z and %z from `z`.
    // An unsupported character gives "%" followed by it; a null `t` gives "#INVALID#".
    virtual RWCString asString(const struct tm* t, char format,
                               const RWZone& z = RWZone::local()) const = 0;
    // `format` copied byte by byte, each '%' plus a supported character replaced by its text;
    // an unsupported character after '%', or a trailing '%', is copied unchanged. A null
    // `format` gives the empty string, a null `t` "#INVALID#".
    RWCString asString(const struct tm* t, const char* format,
                       const RWZone& z = RWZone::local()) const;
    // Numbers in the locale's conventions (the "C" ones: no grouping, '.' as decimal point).
    virtual RWCString asString(long value) const;
    virtual RWCString asString(unsigned long value) const;
    // `precision` digits after the point; trailing zeros (and then the point) are dropped
    // unless `showpoint` is set.
    virtual RWCString asString(double value, int precision = 6, bool showpoint = false) const;

    // Parses a date ("2007-04-09", "04/09/2007", "Apr 9, 2007", ...). On success sets tm_mday,
    // tm_mon and tm_year only and returns true; otherwise leaves `t` untouched.
    virtual RWBoolean stringToDate(const RWCString& text, struct tm* t) const = 0;
    // Parses a time of day ("14:09", "2:09:43 PM"). On success sets tm_hour, tm_min and
    // tm_sec only and returns true; otherwise leaves `t` untouched.
    virtual RWBoolean stringToTime(const RWCString& text, struct tm* t) const = 0;
    // 1..12 for a full or three-letter month name (any case), else 0. The base class knows
    // the English names of the "C" locale.
    virtual int monthIndex(const RWCString& name) const;
    // 1 (Monday)..7 for a full or three-letter weekday name (any case), else 0.
    virtual int weekdayIndex(const RWCString& name) const;
    // The name the locale was created with ("C" for the default locale).
    virtual const RWCString& locale_name() const = 0;

    // The locale date and time text uses by default; defaultLocale() until replaced.
    static const RWLocale& global();
    // Installs `loc` (not owned; must outlive its use) and returns the previous locale, never
    // null; a null `loc` reinstalls defaultLocale(). The swap is atomic.
    static const RWLocale* global(const RWLocale* loc);
    // The built-in "C" locale. It is never destroyed, so static destructors may still use it.
    static const RWLocale& defaultLocale();

  protected:
    // The whole of `format` for `t` (both checked non-null by the const char* asString, which
    // calls it). The default appends asString(&t, c, z) for each conversion (an unsupported
    // one gives "%" plus the character); a locale that can write its conversions straight into
    // one buffer overrides it.
    virtual RWCString formatText(const struct tm& t, const char* format, const RWZone& z) const;
};

// An immutable copy of a platform locale's date and time conventions, safe to share between
// threads. An unknown locale name never throws: the "C" conventions are used.
class QELKIT_API RWLocaleSnapshot : public RWLocale {
  public:
    // `localeName`: nullptr for the current C locale (as setlocale(LC_TIME, NULL) names it),
    // "" for the environment's locale. The process's locale is neither read nor changed
    // beyond that query.
    explicit RWLocaleSnapshot(const char* localeName = nullptr);
    ~RWLocaleSnapshot() override;

    using RWLocale::asString;
    RWCString asString(const struct tm* t, char format,
                       const RWZone& z = RWZone::local()) const override;
    RWBoolean stringToDate(const RWCString& text, struct tm* t) const override;
    RWBoolean stringToTime(const RWCString& text, struct tm* t) const override;
    // Full names, the locale's abbreviations and the first three letters of full names.
    int monthIndex(const RWCString& name) const override;
    int weekdayIndex(const RWCString& name) const override;
    // The name as given to the constructor; for nullptr the name of the C locale current then.
    const RWCString& locale_name() const override;

  protected:
    RWCString formatText(const struct tm& t, const char* format, const RWZone& z) const override;

  private:
    // Collects formatted text in a stack buffer, so that a whole format costs one string.
    class Writer;

    // Fills every field with the "C" conventions.
    void setCConventions();
    // One conversion; false when it is not supported. `depth` is 0 for a caller's conversion
    // and counts nested locale patterns: only depth 0 expands %c, %x and %X, and inside
    // patterns the extra conversions platform patterns use (%r, %k, %l, %n, %t, %C, %u, %P)
    // are understood.
    bool appendField(Writer& out, const struct tm& t, char c, const RWZone& z, int depth) const;
    // A format or locale pattern of `n` bytes; unsupported conversions are copied, and inside
    // locale patterns (depth > 0) the E and O modifiers are skipped.
    void appendPattern(Writer& out, const char* pattern, std::size_t n, const struct tm& t,
                       const RWZone& z, int depth) const;
    // 1-based index of the month or weekday (Sunday 1) whose name is the `n` bytes at `p`.
    int monthIndexOf(const char* p, std::size_t n) const;
    int weekdayIndexOf(const char* p, std::size_t n) const;

    RWCString name_;
    RWCString monthNames_[12];
    RWCString monthAbbrevs_[12];
    RWCString weekdayNames_[7];  // Sunday first, as in C
    RWCString weekdayAbbrevs_[7];
    RWCString am_;
    RWCString pm_;
    RWCString dateTimePattern_;  // %c
    RWCString datePattern_;      // %x
    RWCString timePattern_;      // %X
    RWCString amPmTimePattern_;  // %r inside platform patterns
    char dateOrder_[3];          // 'M', 'D', 'Y' in the order of the numeric date pattern
};

#endif  // QELKIT_FOUNDATION_RW_LOCALE_H
