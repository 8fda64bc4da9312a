// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary bytes to the "C" locale's date and time parsers and name look-ups, and uses
// them as a format. Each parser is checked against a plain reference implementation of the
// accepted forms written below, and RWDate / RWDateTime built from the text must be valid
// exactly when the reference accepts and hold what it reads (a time alone on today's date, a
// date and a time split at the first blank-separated word holding ':'); formatting is checked
// against strftime conversion by conversion, on a time drawn from the input whose fields lie
// beyond their ranges half the time (as a caller's own tm may hold them: glibc prints numbers
// up to 150 as they are, names as "?").
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "qelkit/foundation/rw_date.h"
#include "qelkit/foundation/rw_date_time.h"
#include "qelkit/foundation/rw_locale.h"
#include "qelkit/foundation/rw_zone.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isSep(char c) { return std::strchr(" \t/-.,", c) != nullptr && c != '\0'; }

std::string trimmed(const std::string& s) {
    const char* ws = " \t\n\r\f\v";
    const std::size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos) return std::string();
    return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

std::string lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

int nameIndex(const std::string& word, const char* const* names, int count) {
    const std::string w = lower(word);
    for (int i = 0; i < count; ++i) {
        const std::string full = lower(names[i]);
        if (w == full || w == full.substr(0, 3)) return i + 1;
    }
    return 0;
}

const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};
const char* const kDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                             "Friday", "Saturday", "Sunday"};

bool validDay(int d, int m, int y) {
    static const int len[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    const bool leap = y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
    return d <= len[m - 1] + (m == 2 && leap ? 1 : 0);
}

int year(const std::string& digits) {
    const int v = std::atoi(digits.c_str());
    return digits.size() <= 2 ? 1900 + v : v;
}

// Reference date parser for the "C" locale: y/m/d of the date, or false.
bool referenceDate(const std::string& text, int* y, int* m, int* d) {
    const std::string s = trimmed(text);
    if (s.empty() || isSep(s.front()) || isSep(s.back())) return false;
    std::vector<std::string> toks;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (isSep(c)) {
            ++i;
            continue;
        }
        if (!isDigit(c) && !isAlpha(c)) return false;
        std::size_t j = i;
        while (j < s.size() && (isDigit(c) ? isDigit(s[j]) : isAlpha(s[j]))) ++j;
        toks.push_back(s.substr(i, j - i));
        i = j;
    }
    if (!toks.empty() && isAlpha(toks[0][0]) && nameIndex(toks[0], kDays, 7) != 0) {
        toks.erase(toks.begin());
    }
    int monthAt = -1;
    for (std::size_t i = 0; i < toks.size(); ++i) {
        if (!isAlpha(toks[i][0])) continue;
        if (monthAt >= 0 || nameIndex(toks[i], kMonths, 12) == 0) return false;
        monthAt = static_cast<int>(i);
    }
    std::string ds, ms, ys;
    if (monthAt >= 0) {
        if (toks.size() != 3 || monthAt == 2) return false;
        ds = toks[monthAt == 0 ? 1 : 0];
        ys = toks[2];
        *m = nameIndex(toks[monthAt], kMonths, 12);
    } else if (toks.size() == 3) {
        const bool ymd = toks[0].size() == 4;
        ys = toks[ymd ? 0 : 2], ms = toks[ymd ? 1 : 0], ds = toks[ymd ? 2 : 1];
        if (ms.size() > 2) return false;
        *m = std::atoi(ms.c_str());
    } else if (toks.size() == 1 && (toks[0].size() == 6 || toks[0].size() == 8)) {
        ms = toks[0].substr(0, 2), ds = toks[0].substr(2, 2), ys = toks[0].substr(4);
        *m = std::atoi(ms.c_str());
    } else {
        return false;
    }
    if (ds.size() > 2 || ys.size() > 4) return false;
    *d = std::atoi(ds.c_str());
    *y = year(ys);
    return validDay(*d, *m, *y);
}

// Reference time parser: H:MM or H:MM:SS, then optionally one blank and AM/PM.
bool referenceTime(const std::string& text, int* h, int* mi, int* s) {
    std::string t = trimmed(text);
    std::string suffix;
    const std::size_t lastDigit = t.find_last_of("0123456789");
    if (lastDigit == std::string::npos) return false;
    suffix = t.substr(lastDigit + 1);
    t = t.substr(0, lastDigit + 1);
    if (!suffix.empty() && (suffix[0] == ' ' || suffix[0] == '\t')) suffix.erase(0, 1);
    const bool am = lower(suffix) == "am", pm = lower(suffix) == "pm";
    if (!suffix.empty() && !am && !pm) return false;
    const std::size_t c1 = t.find(':');
    if (c1 == std::string::npos || c1 == 0 || c1 > 2) return false;
    const std::string rest = t.substr(c1 + 1);
    if (!(rest.size() == 2 || (rest.size() == 5 && rest[2] == ':'))) return false;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (i != 2 && !isDigit(rest[i])) return false;
    }
    for (std::size_t i = 0; i < c1; ++i) {
        if (!isDigit(t[i])) return false;
    }
    *h = std::atoi(t.substr(0, c1).c_str());
    *mi = std::atoi(rest.substr(0, 2).c_str());
    *s = rest.size() == 5 ? std::atoi(rest.substr(3).c_str()) : 0;
    if (am || pm) {
        if (*h < 1 || *h > 12) return false;
        *h = *h % 12 + (pm ? 12 : 0);
    }
    return *h <= 23 && *mi <= 59 && *s <= 59;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const RWCString text(input.data(), input.size());
    const RWLocale& c = RWLocale::defaultLocale();

    struct tm sentinel;
    std::memset(&sentinel, 0x5a, sizeof sentinel);

    struct tm t = sentinel;
    int y = 0, m = 0, d = 0;
    const bool dateOk = c.stringToDate(text, &t);
    check(dateOk == referenceDate(input, &y, &m, &d));
    if (dateOk) {
        check(t.tm_year == y - 1900 && t.tm_mon == m - 1 && t.tm_mday == d);
        t.tm_year = sentinel.tm_year, t.tm_mon = sentinel.tm_mon, t.tm_mday = sentinel.tm_mday;
    }
    check(std::memcmp(&t, &sentinel, sizeof t) == 0);

    t = sentinel;
    int h = 0, mi = 0, s = 0;
    const bool timeOk = c.stringToTime(text, &t);
    check(timeOk == referenceTime(input, &h, &mi, &s));
    if (timeOk) {
        check(t.tm_hour == h && t.tm_min == mi && t.tm_sec == s);
        t.tm_hour = sentinel.tm_hour, t.tm_min = sentinel.tm_min, t.tm_sec = sentinel.tm_sec;
    }
    check(std::memcmp(&t, &sentinel, sizeof t) == 0);

    // The date and time classes parse through the locale; a time alone is of today.
    static const RWZoneSimple utcZone(0, "UTC");
    const RWDateTime onlyDate(text, RWDateTime::setDate, c, utcZone);
    const RWDateTime onlyTime(text, RWDateTime::setTime, c, utcZone);
    check(onlyDate == (dateOk ? RWDateTime(d, m, y, 0, 0, 0, 0, utcZone) : RWDateTime()));
    check(RWDate(text) == RWDate(onlyDate.julian(utcZone)));
    check(onlyTime.isValid() == timeOk);
    const unsigned long today = RWDateTime(RWDateTime::setCurrentTime).julian(utcZone);
    check(!timeOk ||
          (onlyTime.hour(utcZone) == unsigned(h) && onlyTime.minute(utcZone) == unsigned(mi) &&
           onlyTime.second() == unsigned(s) && onlyTime.julian(utcZone) + 1 >= today &&
           onlyTime.julian(utcZone) <= today));
    // Both: the time begins at the first blank-separated word holding ':'.
    const std::size_t colon = input.find(':');
    bool bothOk = false;
    if (colon != std::string::npos) {
        const std::size_t blank = input.find_last_of(" \t\n\r\f\v", colon);
        const std::size_t start = blank == std::string::npos ? 0 : blank + 1;
        bothOk = start > 0 && referenceDate(input.substr(0, start), &y, &m, &d) &&
                 referenceTime(input.substr(start), &h, &mi, &s);
    }
    check(RWDateTime(text, RWDateTime::setBoth, c, utcZone) ==
          (bothOk ? RWDateTime(d, m, y, h, mi, s, 0, utcZone) : RWDateTime()));

    check(c.monthIndex(text) == nameIndex(input, kMonths, 12));
    check(c.weekdayIndex(text) == nameIndex(input, kDays, 7));

    // The input as a format, on a time drawn from it (years 2000..9999: glibc pads %Y below
    // 1000; hours 0..23: beyond, glibc's %I subtracts 12 once).
    std::uint32_t hash = 2166136261u;
    for (const char ch : input) hash = (hash ^ static_cast<unsigned char>(ch)) * 16777619u;
    const auto pick = [&hash](int lo, int hi) {
        hash = hash * 1103515245u + 12345u;
        return lo + static_cast<int>((hash >> 8) % static_cast<unsigned>(hi - lo + 1));
    };
    const bool wide = (hash & 1) != 0;
    struct tm when {};
    when.tm_year = pick(100, 8099), when.tm_mon = wide ? pick(-2, 13) : pick(0, 11);
    when.tm_mday = wide ? pick(0, 150) : pick(1, 31), when.tm_hour = pick(0, 23);
    when.tm_min = wide ? pick(0, 150) : pick(0, 59),
    when.tm_sec = wide ? pick(0, 150) : pick(0, 60);
    when.tm_wday = wide ? pick(-2, 8) : pick(0, 6), when.tm_yday = pick(0, 365);
    when.tm_zone = "UTC";
    const char* format = input.c_str();  // up to the first NUL, as the locale reads it
    const RWCString out = c.asString(&when, format, utcZone);
    // The one-letter form of a conversion prints as its "%" form.
    if (size > 0 && std::strchr("aAbhBcdeDFHIjmMSpRTwxXyY%", data[0]) && data[0] != '\0')
        check(c.asString(&when, input[0], utcZone) ==
              c.asString(&when, ("%" + input.substr(0, 1)).c_str(), utcZone));
    std::string expected;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%' || p[1] == '\0' || !std::strchr("aAbhBcdeDFHIjmMSpRTwxXyYZz%", p[1])) {
            expected += *p;
            if (*p == '%' && p[1] != '\0') expected += *++p;
            continue;
        }
        const char conversion[3] = {'%', *++p, '\0'};
        char buf[64];
        expected.append(buf, std::strftime(buf, sizeof buf, conversion, &when));
    }
    check(std::string(out.data(), out.length()) == expected);
    return 0;
}
