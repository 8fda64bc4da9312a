// SPDX-License-Identifier: Apache-2.0
#include "qelkit/datetime/get_date.h"

#include <cstdint>
#include <cstring>

#include "qelkit/foundation/nq_environment.h"
#include "qelkit/foundation/nq_trace.h"
#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_locale.h"
#include "qelkit/foundation/rw_zone.h"

namespace {

const char* const kTag = "GetDate::parseDate()";

// The trace switch. Built on first use, once, even when another file's static initialisation
// parses a date before this file's turn.
const NqEnvironment& traceFlag() {
    static const NqEnvironment TRACEFLAG("NQ_TRACE_GETDATE");
    return TRACEFLAG;
}

// Reads the environment at load time, so later changes to it have no effect.
// NOLINTNEXTLINE(cert-err58-cpp): only std::bad_alloc can escape, and it fails the load.
[[maybe_unused]] const bool traceFlagLoaded = (traceFlag(), true);

bool tracing() { return traceFlag().isOn(); }

// Why getdate_r() failed, by its error number (glibc's getdate_err values); "" for others.
const char* getdateReason(int error) {
    switch (error) {
        case 1:
            return "The DATEMSK environment variable is null or undefined.\n";
        case 2:
            return "The template file cannot be opened for reading.\n";
        case 3:
            return "Failed to get file status information.\n";
        case 4:
            return "The template file is not a regular file.\n";
        case 5:
            return "An error is  encountered while reading the template file.\n";
        case 6:
            return "malloc() failed (not enough memory is  available).\n";
        case 7:
            return "There is no line in the template that matches the input.\n";
        case 8:
            return "The input specification is invalid (for example, February 31).\n";
        default:
            return "";
    }
}

}  // namespace

GetDate::GetDate() : _time(RWTime::currentTime()) {}

GetDate::GetDate(long seconds) : _time(static_cast<unsigned long>(seconds)) { fixYear(); }

GetDate::GetDate(const RWDate& date) : _time(RWTime::buildFrom(date, 0, 0, 0, RWZone::local())) {
    fixYear();
}

GetDate::GetDate(const RWTime& time) : _time(time) { fixYear(); }

GetDate::GetDate(const GetDate& other) = default;

GetDate::GetDate(const char* text) : _time(0UL) {
    parseDate(text);
    fixYear();
}

GetDate::GetDate(const char* text, const char* format) : _time(0UL) {
    if (format != nullptr)
        parseDate(text, format);
    else
        parseDate(text);
    fixYear();
}

GetDate::GetDate(tm* t) : _time(t, RWZone::local()) { fixYear(); }

GetDate::~GetDate() = default;

GetDate& GetDate::operator=(const GetDate& other) = default;

RWDate GetDate::date() const { return RWDate(_time, RWZone::local()); }

long GetDate::mktime() const {
    // Unsigned arithmetic wraps without undefined behaviour; the conversion of the low 32 bits
    // to int32_t is two's complement (defined since C++20, and what gcc and clang always do).
    const std::uint32_t low = static_cast<std::uint32_t>(_time.seconds() - RWTime::posixOffset);
    return static_cast<long>(static_cast<std::int32_t>(low));
}

void GetDate::fixYear() {
    if (!_time.isValid()) return;
    const RWZone& zone = RWZone::local();
    tm t{};
    _time.extract(&t, zone);
    if (t.tm_sec < 0) return;
    if (t.tm_year < 69) {
        t.tm_year += 100;
        _time = RWTime(&t, zone);
    }
}

void GetDate::parseDate(const char* text) {
    if (tracing()) NqTraceStatic::output(kTag, text);
    const RWDate date(RWCString(text), RWLocale::global());
    if (date.isValid()) {
        _time = RWTime::buildFrom(date, 0, 0, 0, RWZone::local());
        return;
    }
    if (tracing()) {
        RWCString message("Error: RWTime unable to parse date - ");
        message.append(text != nullptr ? text : "");
        NqTraceStatic::output(kTag, message);
    }
    parseDate(text, "");
}

void GetDate::parseDate(const char* text, const char* format) {
    if (text == nullptr || *text == '\0') {
        if (tracing()) NqTraceStatic::output(kTag, "WARNING: Attempt to parse null date string");
        return;
    }
    // A null format is taken as the empty one: the template file decides.
    if (format == nullptr) format = "";
    if (tracing()) {
        RWCString message(text);
        message.append("  <");
        message.append(format);
        message.append(">");
        NqTraceStatic::output(kTag, message);
    }
    tm t{};
    if (*format != '\0') {
        const char* end = strptime(text, format, &t);
        if (end == nullptr) {
            if (tracing()) {
                RWCString message("Error: strptime failed for conversion format - ");
                message.append(format);
                message.append("; Date: ");
                message.append(text);
                NqTraceStatic::output(kTag, message);
            }
            return;
        }
        // A year written in full but short ("0050") leaves tm_year below 0: read it as a year
        // of the 1900s (0 as 2000), for the constructors' century correction to finish.
        if (t.tm_year < 0) {
            t.tm_year += 1900;
            if (t.tm_year == 0) t.tm_year = 100;
        }
        t.tm_isdst = -1;
        _time = RWTime(&t, RWZone::local());
        return;
    }
    // getdate_r() rather than getdate(): glibc's getdate() returns a static record, and the
    // reentrant form hands back the reason instead of setting getdate_err.
    const int error = getdate_r(text, &t);
    if (error == 0) {
        _time = RWTime(&t, RWZone::local());
        return;
    }
    if (tracing()) {
        RWCString message("Error: Failed to parse date: \"");
        message.append(text);
        message.append("\". ");
        message.append(getdateReason(error));
        NqTraceStatic::output(kTag, message);
    }
}
