// SPDX-License-Identifier: Apache-2.0
// Formatting of broken-down times with a snapshot's names and patterns. Traces and time I/O
// format instants on hot paths, so a whole format is written into one stack buffer and turned
// into a string once.
#include <cstddef>
#include <cstring>
#include <utility>

#include "qelkit/foundation/rw_locale.h"

class RWLocaleSnapshot::Writer {
  public:
    void put(char c) {
        if (len_ == kSize) spill();
        buf_[len_++] = c;
    }
    void put(const char* p, std::size_t n) {
        if (n > kSize - len_) {
            spill();
            if (n > kSize) {
                out_.append(p, n);
                return;
            }
        }
        std::memcpy(buf_ + len_, p, n);
        len_ += n;
    }
    void put(const RWCString& s) { put(s.data(), s.length()); }
    // Two digits for 0..99, else the plain number.
    void put2(long v) {
        if (v >= 0 && v <= 99) {
            put(static_cast<char>('0' + v / 10));
            put(static_cast<char>('0' + v % 10));
        } else {
            putNumber(v, 1, '0');
        }
    }
    // `v` in decimal, at least `width` digits, padded on the left with `pad`.
    void putNumber(long v, int width, char pad) {
        char digits[24];
        char* const end = digits + sizeof digits;
        char* p = end;
        const bool negative = v < 0;
        unsigned long u =
            negative ? 0UL - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
        do {
            *--p = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u != 0);
        while (end - p < width) *--p = pad;
        if (negative) *--p = '-';
        put(p, static_cast<std::size_t>(end - p));
    }
    // The text written; the writer is spent.
    RWCString take() {
        if (out_.isNull()) return RWCString(buf_, len_);
        spill();
        return std::move(out_);
    }

  private:
    void spill() {
        out_.append(buf_, len_);
        len_ = 0;
    }

    static constexpr std::size_t kSize = 256;
    char buf_[kSize];
    std::size_t len_ = 0;
    RWCString out_;  // text beyond one buffer, in order before buf_
};

namespace {

// Names indexed by a tm field; a field out of range gives "?".
template <typename Writer>
void putName(Writer& out, const RWCString* names, int count, int index) {
    if (index >= 0 && index < count) {
        out.put(names[index]);
    } else {
        out.put('?');
    }
}

int hour12(const struct tm& t) { return t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12; }

long mod100(long v) { return (v % 100 + 100) % 100; }

}  // namespace

RWCString RWLocaleSnapshot::asString(const struct tm* t, char format, const RWZone& z) const {
    if (t == nullptr) return RWCString("#INVALID#");
    Writer out;
    if (!appendField(out, *t, format, z, 0)) {
        out.put('%');
        out.put(format);
    }
    return out.take();
}

RWCString RWLocaleSnapshot::formatText(const struct tm& t, const char* format,
                                       const RWZone& z) const {
    Writer out;
    appendPattern(out, format, std::strlen(format), t, z, 0);
    return out.take();
}

void RWLocaleSnapshot::appendPattern(Writer& out, const char* p, std::size_t n, const struct tm& t,
                                     const RWZone& z, int depth) const {
    const char* const end = p + n;
    while (p < end) {
        // Literal runs between conversions are short: a byte loop beats a memchr call.
        const char* pct = p;
        while (pct < end && *pct != '%') ++pct;
        out.put(p, static_cast<std::size_t>(pct - p));
        if (pct == end) return;
        if (pct + 1 == end) {  // a trailing '%' is copied
            out.put('%');
            return;
        }
        const char* conversion = pct + 1;
        // Platform patterns may ask for alternative digits or eras; the plain form is used.
        if (depth > 0 && (*conversion == 'E' || *conversion == 'O') && conversion + 1 < end) {
            ++conversion;
        }
        if (!appendField(out, t, *conversion, z, depth)) {
            out.put(pct, static_cast<std::size_t>(conversion - pct) + 1);
        }
        p = conversion + 1;
    }
}

bool RWLocaleSnapshot::appendField(Writer& out, const struct tm& t, char c, const RWZone& z,
                                   int depth) const {
    switch (c) {
        case 'a':
            putName(out, weekdayAbbrevs_, 7, t.tm_wday);
            return true;
        case 'A':
            putName(out, weekdayNames_, 7, t.tm_wday);
            return true;
        case 'b':
        case 'h':
            putName(out, monthAbbrevs_, 12, t.tm_mon);
            return true;
        case 'B':
            putName(out, monthNames_, 12, t.tm_mon);
            return true;
        case 'd':
            out.put2(t.tm_mday);
            return true;
        case 'e':
            out.putNumber(t.tm_mday, 2, ' ');
            return true;
        case 'D':
            out.put2(t.tm_mon + 1L);
            out.put('/');
            out.put2(t.tm_mday);
            out.put('/');
            out.put2(mod100(t.tm_year + 1900L));
            return true;
        case 'F':
            out.putNumber(t.tm_year + 1900L, 1, '0');
            out.put('-');
            out.put2(t.tm_mon + 1L);
            out.put('-');
            out.put2(t.tm_mday);
            return true;
        case 'H':
            out.put2(t.tm_hour);
            return true;
        case 'I':
            out.put2(hour12(t));
            return true;
        case 'j':
            out.putNumber(t.tm_yday + 1L, 3, '0');
            return true;
        case 'm':
            out.put2(t.tm_mon + 1L);
            return true;
        case 'M':
            out.put2(t.tm_min);
            return true;
        case 'S':
            out.put2(t.tm_sec);
            return true;
        case 'p':
            out.put(t.tm_hour >= 12 ? pm_ : am_);
            return true;
        case 'R':
        case 'T':
            out.put2(t.tm_hour);
            out.put(':');
            out.put2(t.tm_min);
            if (c == 'T') {
                out.put(':');
                out.put2(t.tm_sec);
            }
            return true;
        case 'w':
            out.putNumber(t.tm_wday, 1, '0');
            return true;
        case 'y':
            out.put2(mod100(t.tm_year + 1900L));
            return true;
        case 'Y':
            out.putNumber(t.tm_year + 1900L, 1, '0');
            return true;
        case 'Z':
            out.put(t.tm_isdst > 0 ? z.altZoneName() : z.timeZoneName());
            return true;
        case 'z': {
            const long east = -(t.tm_isdst > 0 ? z.altZoneOffset() : z.timeZoneOffset());
            const long minutes = (east < 0 ? -east : east) / 60;
            out.put(east < 0 ? '-' : '+');
            out.put2(minutes / 60);
            out.put2(minutes % 60);
            return true;
        }
        case '%':
            out.put('%');
            return true;
        default:
            break;
    }
    // The locale's own patterns: only at the top, so that no pattern can expand forever.
    if (depth == 0) {
        switch (c) {
            case 'c':
                appendPattern(out, dateTimePattern_, dateTimePattern_.length(), t, z, 1);
                return true;
            case 'x':
                appendPattern(out, datePattern_, datePattern_.length(), t, z, 1);
                return true;
            case 'X':
                appendPattern(out, timePattern_, timePattern_.length(), t, z, 1);
                return true;
            case '\0':
                appendPattern(out, datePattern_, datePattern_.length(), t, z, 1);
                out.put(' ');
                appendPattern(out, timePattern_, timePattern_.length(), t, z, 1);
                return true;
            default:
                return false;
        }
    }
    // Conversions that platform patterns use beyond the ones offered to callers.
    switch (c) {
        case 'r':
            if (depth > 1) return false;
            appendPattern(out, amPmTimePattern_, amPmTimePattern_.length(), t, z, depth + 1);
            return true;
        case 'k':
            out.putNumber(t.tm_hour, 2, ' ');
            return true;
        case 'l':
            out.putNumber(hour12(t), 2, ' ');
            return true;
        case 'n':
            out.put('\n');
            return true;
        case 't':
            out.put('\t');
            return true;
        case 'C':
            out.put2((t.tm_year + 1900L) / 100);
            return true;
        case 'u':
            out.putNumber(t.tm_wday == 0 ? 7 : t.tm_wday, 1, '0');
            return true;
        case 'P': {
            RWCString marker = t.tm_hour >= 12 ? pm_ : am_;
            marker.toLower();
            out.put(marker);
            return true;
        }
        default:
            return false;
    }
}
