// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/rw_locale.h"

#include <langinfo.h>
#include <locale.h>  // NOLINT(modernize-deprecated-headers): newlocale and locale_t are POSIX

#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "qelkit/internal/ascii.h"

namespace {

using qelkit_internal::equalsIgnoreCase;

const char* const kCMonths[12] = {"January",   "February", "March",    "April",
                                  "May",       "June",     "July",     "August",
                                  "September", "October",  "November", "December"};
const char* const kCWeekdays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                   "Thursday", "Friday", "Saturday"};

// Does the `n` bytes at `p` name `full`, its abbreviation `abbrev` (a trailing '.' of the
// abbreviation optional) or the first three bytes of `full`? Any ASCII case.
bool namesEntry(const char* p, std::size_t n, const char* full, std::size_t fullLen,
                const char* abbrev, std::size_t abbrevLen) noexcept {
    if (n == 0) return false;
    if (equalsIgnoreCase(p, n, full, fullLen)) return true;
    if (equalsIgnoreCase(p, n, abbrev, abbrevLen)) return true;
    if (abbrevLen > 1 && abbrev[abbrevLen - 1] == '.' &&
        equalsIgnoreCase(p, n, abbrev, abbrevLen - 1)) {
        return true;
    }
    return n == 3 && fullLen > 3 && equalsIgnoreCase(p, n, full, 3);
}

// Index (0-based) into English names matched in full or by their first three letters.
int indexOfCName(const RWCString& name, const char* const* names, int count) noexcept {
    for (int i = 0; i < count; ++i) {
        const std::size_t len = std::strlen(names[i]);
        if (namesEntry(name.data(), name.length(), names[i], len, names[i], 3)) return i;
    }
    return -1;
}

// The order of day, month and year in a numeric date pattern such as "%d.%m.%Y"; "MDY" when
// the pattern does not name all three.
void readDateOrder(const RWCString& pattern, char order[3]) {
    char found[3];
    int count = 0;
    auto add = [&](char field) {
        for (int i = 0; i < count; ++i) {
            if (found[i] == field) return;
        }
        if (count < 3) found[count++] = field;
    };
    const char* p = pattern.data();
    const char* const end = p + pattern.length();
    for (; p < end; ++p) {
        if (*p != '%' || p + 1 >= end) continue;
        ++p;
        if ((*p == 'E' || *p == 'O') && p + 1 < end) ++p;
        switch (*p) {
            case 'd':
            case 'e':
                add('D');
                break;
            case 'm':
            case 'b':
            case 'B':
            case 'h':
                add('M');
                break;
            case 'y':
            case 'Y':
                add('Y');
                break;
            case 'D':
                add('M');
                add('D');
                add('Y');
                break;
            case 'F':
                add('Y');
                add('M');
                add('D');
                break;
            default:
                break;
        }
    }
    const char* chosen = count == 3 ? found : "MDY";
    std::memcpy(order, chosen, 3);
}

struct LocaleFree {
    void operator()(locale_t loc) const noexcept { freelocale(loc); }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFree>;

std::atomic<const RWLocale*> globalLocale{nullptr};  // null: defaultLocale()

}  // namespace

// ---- RWLocale ------------------------------------------------------------------------------

RWLocale::~RWLocale() = default;

RWCString RWLocale::asString(const struct tm* t, const char* format, const RWZone& z) const {
    if (t == nullptr) return RWCString("#INVALID#");
    if (format == nullptr) return RWCString();
    return formatText(*t, format, z);
}

RWCString RWLocale::formatText(const struct tm& t, const char* format, const RWZone& z) const {
    RWCString out;
    const char* p = format;
    while (*p != '\0') {
        const char* pct = std::strchr(p, '%');
        if (pct == nullptr) {
            out.append(p, std::strlen(p));
            break;
        }
        out.append(p, static_cast<std::size_t>(pct - p));
        const char c = pct[1];
        if (c == '\0') {  // a trailing '%' is copied
            out.append('%');
            break;
        }
        out.append(asString(&t, c, z));
        p = pct + 2;
    }
    return out;
}

RWCString RWLocale::asString(long value) const {
    char buf[32];
    const int n = std::snprintf(buf, sizeof buf, "%ld", value);
    return RWCString(buf, static_cast<std::size_t>(n));
}

RWCString RWLocale::asString(unsigned long value) const {
    char buf[32];
    const int n = std::snprintf(buf, sizeof buf, "%lu", value);
    return RWCString(buf, static_cast<std::size_t>(n));
}

RWCString RWLocale::asString(double value, int precision, bool showpoint) const {
    if (precision < 0) precision = 6;
    const int n = std::snprintf(nullptr, 0, "%.*f", precision, value);
    std::string buf(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(&buf[0], buf.size(), "%.*f", precision, value);
    buf.resize(static_cast<std::size_t>(n));
    if (!showpoint && buf.find('.') != std::string::npos) {
        while (buf.back() == '0') buf.pop_back();
        if (buf.back() == '.') buf.pop_back();
    }
    return RWCString(buf);
}

int RWLocale::monthIndex(const RWCString& name) const {
    return indexOfCName(name, kCMonths, 12) + 1;
}

int RWLocale::weekdayIndex(const RWCString& name) const {
    const int i = indexOfCName(name, kCWeekdays, 7);
    return i < 0 ? 0 : (i == 0 ? 7 : i);
}

const RWLocale& RWLocale::global() {
    const RWLocale* loc = globalLocale.load(std::memory_order_acquire);
    return loc != nullptr ? *loc : defaultLocale();
}

const RWLocale* RWLocale::global(const RWLocale* loc) {
    const RWLocale* previous = globalLocale.exchange(loc, std::memory_order_acq_rel);
    return previous != nullptr ? previous : &defaultLocale();
}

const RWLocale& RWLocale::defaultLocale() {
    // Owner: the process. Deliberately never deleted, so that code run by static destructors
    // (traces of other objects) can still format and parse with it.
    static const RWLocaleSnapshot* const cLocale = new RWLocaleSnapshot("C");
    return *cLocale;
}

// ---- RWLocaleSnapshot ----------------------------------------------------------------------

RWLocaleSnapshot::RWLocaleSnapshot(const char* localeName) {
    setCConventions();
    if (localeName != nullptr) {
        name_ = localeName;
    } else {
        // Only the name is read; the process's locale is left as it is.
        const char* current = std::setlocale(LC_TIME, nullptr);
        name_ = current != nullptr ? current : "C";
    }
    if (name_ == "C" || name_ == "POSIX") return;
    const LocaleHandle loc(newlocale(LC_TIME_MASK, name_.data(), locale_t{}));
    if (!loc) return;  // unknown locale: the "C" conventions stay
    auto text = [&loc](nl_item item) -> const char* {
        const char* s = nl_langinfo_l(item, loc.get());
        return s != nullptr ? s : "";
    };
    // A name or pattern the locale leaves empty keeps its "C" value; empty AM/PM strings are
    // real (24-hour locales) and are kept.
    auto take = [&text](RWCString& field, nl_item item) {
        const char* s = text(item);
        if (*s != '\0') field = s;
    };
    for (int i = 0; i < 12; ++i) {
        take(monthNames_[i], static_cast<nl_item>(MON_1 + i));
        take(monthAbbrevs_[i], static_cast<nl_item>(ABMON_1 + i));
    }
    for (int i = 0; i < 7; ++i) {
        take(weekdayNames_[i], static_cast<nl_item>(DAY_1 + i));
        take(weekdayAbbrevs_[i], static_cast<nl_item>(ABDAY_1 + i));
    }
    am_ = text(AM_STR);
    pm_ = text(PM_STR);
    take(dateTimePattern_, D_T_FMT);
    take(datePattern_, D_FMT);
    take(timePattern_, T_FMT);
    take(amPmTimePattern_, T_FMT_AMPM);
    readDateOrder(datePattern_, dateOrder_);
}

RWLocaleSnapshot::~RWLocaleSnapshot() = default;

void RWLocaleSnapshot::setCConventions() {
    for (int i = 0; i < 12; ++i) {
        monthNames_[i] = kCMonths[i];
        monthAbbrevs_[i] = RWCString(kCMonths[i], 3);
    }
    for (int i = 0; i < 7; ++i) {
        weekdayNames_[i] = kCWeekdays[i];
        weekdayAbbrevs_[i] = RWCString(kCWeekdays[i], 3);
    }
    am_ = "AM";
    pm_ = "PM";
    dateTimePattern_ = "%a %b %e %H:%M:%S %Y";
    datePattern_ = "%m/%d/%y";
    timePattern_ = "%H:%M:%S";
    amPmTimePattern_ = "%I:%M:%S %p";
    std::memcpy(dateOrder_, "MDY", 3);
}

int RWLocaleSnapshot::monthIndexOf(const char* p, std::size_t n) const {
    for (int i = 0; i < 12; ++i) {
        if (namesEntry(p, n, monthNames_[i].data(), monthNames_[i].length(),
                       monthAbbrevs_[i].data(), monthAbbrevs_[i].length())) {
            return i + 1;
        }
    }
    return 0;
}

int RWLocaleSnapshot::weekdayIndexOf(const char* p, std::size_t n) const {
    for (int i = 0; i < 7; ++i) {
        if (namesEntry(p, n, weekdayNames_[i].data(), weekdayNames_[i].length(),
                       weekdayAbbrevs_[i].data(), weekdayAbbrevs_[i].length())) {
            return i + 1;
        }
    }
    return 0;
}

int RWLocaleSnapshot::monthIndex(const RWCString& name) const {
    return monthIndexOf(name.data(), name.length());
}

int RWLocaleSnapshot::weekdayIndex(const RWCString& name) const {
    const int sundayFirst = weekdayIndexOf(name.data(), name.length());
    return sundayFirst <= 1 ? sundayFirst * 7 : sundayFirst - 1;
}

const RWCString& RWLocaleSnapshot::locale_name() const { return name_; }
