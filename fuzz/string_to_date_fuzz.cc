// SPDX-License-Identifier: Apache-2.0
// Reads arbitrary text as a date the ways the library offers:
// - the six string-to-date conversions: only NqException may escape, a valid result must have
//   its fields in range, and an invalid one ends the trace with the conversion's error line.
//   setDateAll is compared with the same reading in the order of its format's letters.
//   The nq conversions are also compared with a literal reading of their steps: RWCTokenizer
//   for the fields, strtoll clamped to int for the numbers, RWDateTime's tm constructor and its
//   local accessors for every date and time step, and the date and time field parsers alone on
//   a valid value, whose other half they keep. Run it under several TZ values: the fast path
//   differs from the literal one only in zones whose midnight can fall into a daylight gap;
// - QelLocaleSnapshot's fixed-window year, against a direct reference: the first decimal
//   integer of the text up to the first NUL (as scanf "%d" reads it through strtol), 0..68 to
//   2000..2068, 69..99 to 1969..1999, anything else kept; no number gives 4294967295 and "".
//   The numeric forms, on the first four bytes as a year, agree with the text forms.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include "fuzz/fuzz_check.h"
#include "qelkit/datetime/nq_string_to_date.h"
#include "qelkit/datetime/qel_locale_snapshot.h"
#include "qelkit/foundation/nq_trace.h"
#include "qelkit/foundation/rw_ctokenizer.h"
#include "qelkit/records/nq_exception.h"

namespace {

// The trace lines of the conversion running now, each "origin|message".
std::string traced;
void collect(const char* origin, const char* message) {
    traced += std::string(origin) + "|" + message + "\n";
}

void checkRange(const RWDateTime& dt) {
    if (!dt.isValid()) return;
    check(dt.year() >= 1 && dt.year() <= 9999 && dt.month() >= 1 && dt.month() <= 12);
    check(dt.dayOfMonth() >= 1 && dt.dayOfMonth() <= 31 && dt.hour() <= 23);
    check(dt.minute() <= 59 && dt.second() <= 59 && dt.milliSecond() <= 999);
}

// ---- The reference ----------------------------------------------------------------------------
int clamp(long long v) { return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int(v); }

int number(const RWCSubString& token) {
    return clamp(std::strtoll(std::string(token.data(), token.length()).c_str(), nullptr, 10));
}

void setYear(tm& t, int v) {
    long long y = v < 100 ? (v < 69 ? 2000LL + v : 1900LL + v) : v;
    t.tm_year = clamp(y - 1900);
}

void dateFromTm(RWDateTime& dt, tm* t) {
    unsigned ms = 0;
    if (dt.isValid()) {
        t->tm_hour = int(dt.hour()), t->tm_min = int(dt.minute()), t->tm_sec = int(dt.second());
        ms = dt.milliSecond();
    }
    dt = RWDateTime(t, ms);
}

void timeFromTm(RWDateTime& dt, tm* t) {
    if (dt.isValid()) {
        t->tm_mday = int(dt.dayOfMonth()), t->tm_mon = int(dt.month()) - 1;
        t->tm_year = int(dt.year()) - 1900;
    }
    dt = RWDateTime(t, 0);
}

bool refDate(RWDateTime& dt, const RWCString& text) {
    RWCTokenizer next(text);
    const RWCSubString y = next("/- "), m = next("/- "), d = next("/- ");
    if (d.length() == 0) return false;
    if (y.length() < 4) throw NqException("setDateYYYYMMDD() Invalid year '" + RWCString(y) + "'");
    tm t{};
    setYear(t, number(y));
    t.tm_mon = clamp(number(m) - 1LL);
    t.tm_mday = number(d);
    dateFromTm(dt, &t);
    return true;
}

bool refTime(RWDateTime& dt, const RWCString& text) {
    RWCTokenizer next(text);
    const RWCSubString h = next(": "), m = next(": "), s = next(":. ");
    if (m.length() == 0) return false;
    tm t{};
    t.tm_hour = number(h), t.tm_min = number(m);
    if (s.length() != 0) t.tm_sec = number(s);
    timeFromTm(dt, &t);
    return true;
}

// setDateAll: the same three fields, in the order of the format's first letter and the next
// two of M, D and Y after it (Y, M, D when the first field has four bytes); a letter other than
// M, D or Y sets nothing.
bool refDateAll(RWDateTime& dt, const RWCString& text, const std::string& format) {
    RWCTokenizer next(text);
    const RWCSubString fields[3] = {next("/- "), next("/- "), next("/- ")};
    if (fields[2].length() == 0) return false;
    std::string letters = format.substr(0, 1);
    for (std::size_t i = 1; i < format.size() && letters.size() < 3; ++i)
        if (std::string("MDY").find(format[i]) != std::string::npos) letters += format[i];
    letters.resize(3, '\0');
    if (fields[0].length() == 4) letters = "YMD";
    tm t{};
    for (int i = 0; i < 3; ++i) {
        const int v = number(fields[i]);
        if (letters[i] == 'D') t.tm_mday = v;
        if (letters[i] == 'M') t.tm_mon = clamp(v - 1LL);
        if (letters[i] == 'Y') setYear(t, v);
    }
    if (t.tm_mon > 11 || t.tm_mday > 31)
        throw NqException("Date format obviously incorrect for " + text);
    dateFromTm(dt, &t);
    return true;
}

RWDateTime refDatetime(const RWCString& text) {
    RWDateTime dt(RWDateTime::invalid);
    RWCTokenizer next(text);
    const RWCString first(next(" \t"));
    const RWCString rest(next(""));
    if (refDate(dt, first)) {
        if (rest.length() > 2) refTime(dt, rest);
    } else {
        refTime(dt, first);
    }
    return dt;
}

// The result as text, or the exception's message: equal outcomes give equal texts.
template <class F>
std::string outcome(F f) {
    try {
        const RWDateTime dt = f();
        checkRange(dt);
        return dt.isValid() ? std::to_string(dt.milliSeconds()) : "invalid";
    } catch (const NqException& e) {
        return std::string("throw ") + e.why();
    }
}

// A conversion named `name` ends its trace with an error line holding the text (up to a NUL)
// exactly when it gives an invalid value; the outcome.
template <class F>
std::string conversion(const char* name, const QelString& text, F f) {
    traced.clear();
    const std::string result = outcome(f);
    const std::string error = "NqStringToDate::" + std::string(name) + "() Error |" + text.data();
    const std::size_t at = traced.size() - std::min(traced.size(), error.size() + 1);
    check(result.compare(0, 6, "throw ") == 0 ||
          (traced.compare(at, std::string::npos, error + "\n") == 0) == (result == "invalid"));
    return result;
}

// ---- The fixed window ---------------------------------------------------------------------
unsigned windowed(unsigned year) {
    return year >= 100 ? year : year < 69 ? year + 2000 : year + 1900;
}

void checkFixedWindow(const std::string& bytes) {
    const char* text = bytes.c_str();  // up to the first NUL
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    const unsigned expected = end == text ? 4294967295U : windowed(unsigned(int(v)));
    check(QelLocaleSnapshot::fixedWindowValue(text) == expected);
    const auto asText = [](unsigned y) {
        return y == 4294967295U ? QelString() : QelString::format("%4.4d", static_cast<int>(y));
    };
    check(QelLocaleSnapshot::fixedWindowString(text) == asText(expected));
    if (expected == 4294967295U || bytes.size() < 4) return;
    unsigned year = 0;
    for (int i = 3; i >= 0; --i) year = year << 8 | static_cast<unsigned char>(bytes[i]);
    check(QelLocaleSnapshot::fixedWindowValue(year) == windowed(year));
    check(QelLocaleSnapshot::fixedWindowString(year) == asText(windowed(year)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const NqTraceSink installed = NqTraceStatic::setSink(collect);
    (void)installed;
    const QelString text(reinterpret_cast<const char*>(data), size);
    using S = NqStringToDate;
    check(conversion("nq::datetime", text, [&] { return S::nq::datetime(text); }) ==
          outcome([&] { return refDatetime(text); }));
    check(conversion("nq::date", text, [&] { return S::nq::date(text); }) == outcome([&] {
              RWDateTime dt(RWDateTime::invalid);
              refDate(dt, text);
              return dt;
          }));
    check(conversion("nq::time", text, [&] { return S::nq::time(text); }) == outcome([&] {
              RWDateTime dt(RWDateTime::invalid);
              refTime(dt, text);
              return dt;
          }));
    // The field parsers on a valid date and time set their half and keep the other.
    const auto onValid = [&](auto parse) {
        return outcome([&] {
            RWDateTime dt(9, 4, 2007, 1, 2, 3, 456);
            parse(dt, text);
            return dt;
        });
    };
    check(onValid(S::setDateYYYYMMDD) == onValid(refDate));
    check(onValid(S::setTime24HR) == onValid(refTime));
    // A parser on an invalid value, with its answer: a value it does not store reads as another.
    const auto onInvalid = [&](auto parse) {
        return outcome([&] {
            RWDateTime dt(RWDateTime::invalid);
            return parse(dt, text) ? dt : RWDateTime(9, 4, 2007, 1, 2, 3, 456);
        });
    };
    // setDateAll under a few formats and one made of the text's first bytes, on an invalid and
    // on a valid value.
    const std::string formats[] = {"M/D/Y", "D/M/Y", "xYzD",
                                   std::string(text.data(), std::min<std::size_t>(size, 4))};
    for (const std::string& format : formats) {
        const auto setAll = [&format](RWDateTime& dt, const QelString& t) {
            return S::setDateAll(dt, t, format.c_str());
        };
        const auto refAll = [&format](RWDateTime& dt, const QelString& t) {
            return refDateAll(dt, t, format.c_str());
        };
        check(onValid(setAll) == onValid(refAll) && onInvalid(setAll) == onInvalid(refAll));
    }
    conversion("qel::date", text, [&] { return S::qel::date(text); });
    conversion("qel::time", text, [&] { return S::qel::time(text); });
    // qel::datetime falls back to nq::datetime, whose line it traces.
    conversion("nq::datetime", text, [&] { return S::qel::datetime(text); });
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    checkFixedWindow(bytes);
    return 0;
}
