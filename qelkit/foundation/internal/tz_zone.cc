// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/internal/tz_zone.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

#include "qelkit/internal/calendar.h"

namespace qelkit_internal {
namespace {

constexpr std::size_t kHeaderSize = 44;
constexpr std::size_t kMaxFileSize = 16u << 20;  // far above any real zone file
// Spans are tabulated up to this year; later instants evaluate the rule directly.
constexpr std::int64_t kTableLastYear = 2400;

std::int64_t yearStart(std::int64_t year) { return daysFromCivil(year, 1, 1) * kSecondsPerDay; }

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}
std::int64_t be64(const unsigned char* p) {
    return static_cast<std::int64_t>((std::uint64_t{be32(p)} << 32) | be32(p + 4));
}

std::string zoneDirectory() {
    const char* dir = std::getenv("TZDIR");
    return dir && *dir ? dir : "/usr/share/zoneinfo";
}

// The offsets glibc calls the rule offsets of a file: those of the last standard-time and
// the last daylight-time transitions (the daylight one falls back to the standard one).
void ruleOffsets(const TzFileData& f, long* stdoff, long* dstoff) {
    if (f.transitions.empty()) {
        *stdoff = *dstoff = f.types[0].gmtoff;
        return;
    }
    bool haveStd = false, haveDst = false;
    *stdoff = *dstoff = 0;
    for (std::size_t i = f.transitions.size(); i-- > 0 && !(haveStd && haveDst);) {
        const TzFileData::Type& t = f.types[f.typeOf[i]];
        if (!haveStd && !t.isdst) {
            haveStd = true;
            *stdoff = t.gmtoff;
        } else if (!haveDst && t.isdst) {
            haveDst = true;
            *dstoff = t.gmtoff;
        }
    }
    if (!haveDst) *dstoff = *stdoff;
}

}  // namespace

bool TzFileData::parse(const unsigned char* data, std::size_t size) {
    *this = TzFileData();
    std::size_t pos = 0;
    std::size_t width = 4;
    std::uint64_t isut, isstd, leaps, times, typeCount, chars;
    for (;;) {
        if (size - pos < kHeaderSize || std::memcmp(data + pos, "TZif", 4) != 0) return false;
        const unsigned char* h = data + pos;
        isut = be32(h + 20);
        isstd = be32(h + 24);
        leaps = be32(h + 28);
        times = be32(h + 32);
        typeCount = be32(h + 36);
        chars = be32(h + 40);
        if (isstd > typeCount || isut > typeCount) return false;
        pos += kHeaderSize;
        if (width == 8 || h[4] == '\0') break;
        // Version 2 and later repeat the data with 64-bit times: skip the 32-bit block.
        const std::uint64_t skip = times * 5 + typeCount * 6 + chars + leaps * 8 + isstd + isut;
        if (skip > size - pos) return false;
        pos += static_cast<std::size_t>(skip);
        width = 8;
    }
    if (typeCount == 0 || typeCount > 256) return false;
    const std::uint64_t body = times * (width + 1) + typeCount * 6 + chars;
    const std::uint64_t tail = leaps * (width + 4) + isstd + isut;
    if (body + tail > size - pos) return false;
    const std::uint64_t footerBytes = size - pos - body - tail;
    if (width == 8 && footerBytes < 2) return false;  // glibc wants at least "\n" and one byte

    const unsigned char* p = data + pos;
    transitions.resize(times);
    for (std::size_t i = 0; i < times; ++i, p += width)
        transitions[i] = width == 8 ? be64(p) : static_cast<std::int32_t>(be32(p));
    typeOf.assign(p, p + times);
    p += times;
    for (unsigned char t : typeOf)
        if (t >= typeCount) return false;
    types.resize(typeCount);
    for (Type& t : types) {
        t = Type{static_cast<std::int32_t>(be32(p)), p[4] != 0, p[5], false, false};
        if (p[4] > 1 || p[5] > chars) return false;
        p += 6;
    }
    abbrs.assign(reinterpret_cast<const char*>(p), chars);
    p += chars + leaps * (width + 4);
    for (std::size_t i = 0; i < isstd; ++i) types[i].isstd = *p++ != 0;
    for (std::size_t i = 0; i < isut; ++i) types[i].isut = *p++ != 0;
    // The footer sits between a newline and the file's last byte.
    if (width == 8 && *p == '\n') {
        const char* text = reinterpret_cast<const char*>(p + 1);
        const char* end = text + (footerBytes - 2);
        footer.assign(text, std::find(text, end, '\0'));
    }
    return true;
}

bool TzFileData::read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<unsigned char> bytes;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > kMaxFileSize) return false;
    }
    return parse(bytes.data(), bytes.size());
}

std::string TzFileData::abbreviation(std::size_t index) const {
    if (index >= abbrs.size()) return std::string();
    return std::string(abbrs.c_str() + index);
}

bool TzZone::known(const std::string& tz) {
    std::string value = !tz.empty() && tz[0] == ':' ? tz.substr(1) : tz;
    if (value.empty()) return false;
    TzFileData file;
    if (file.read(value[0] == '/' ? value : zoneDirectory() + "/" + value)) return true;
    bool whole = false;
    TzRule::parse(value.c_str(), nullptr, &whole);
    return whole;
}

TzZone::TzZone(const char* tz) {
    std::string value = tz == nullptr ? "/etc/localtime" : (*tz == '\0' ? "Universal" : tz);
    if (tz != nullptr && value[0] == ':') value.erase(0, 1);
    TzFileData file;
    if (!value.empty() && file.read(value[0] == '/' ? value : zoneDirectory() + "/" + value)) {
        useFile(file);
        return;
    }
    if (value.empty() || value == "/etc/localtime") {
        useRule(TzRule::fixed(0, "UTC"));
        return;
    }
    bool wantsDefaultRules = false;
    const TzRule rule = TzRule::parse(value.c_str(), &wantsDefaultRules);
    if (wantsDefaultRules && loadDefaultRules(rule)) return;
    useRule(rule);
}

void TzZone::appendSpan(std::int64_t start, long gmtoff, bool isdst) {
    if (!starts_.empty() && start <= starts_.back()) {
        infos_.back() = Info{gmtoff, isdst};  // a transition out of order replaces the last
    } else if (infos_.empty() || infos_.back().gmtoff != gmtoff || infos_.back().isdst != isdst) {
        starts_.push_back(start);
        infos_.push_back(Info{gmtoff, isdst});
    }
}

void TzZone::fillFromRule(std::int64_t from, std::int64_t to) {
    for (std::int64_t t = from; t < to;) {
        const TzSpan s = rule_.spanAt(t);
        appendSpan(t, s.gmtoff, s.isdst);
        t = s.end;
    }
    tableEnd_ = to;
}

void TzZone::useRule(const TzRule& rule) {
    rule_ = rule;
    names_[0] = rule.name(0);
    names_[1] = rule.name(1);
    timezone_ = -rule.offset(0);
    daylight_ = rule.offset(0) != rule.offset(1);
    altzone_ = daylight_ ? -rule.offset(1) : timezone_ - 3600;
    tableBegin_ = yearStart(1);
    fillFromRule(tableBegin_, yearStart(kTableLastYear));
    buildIndex();
}

void TzZone::useFile(const TzFileData& f) {
    // Names: those of the last standard and the last daylight transition.
    bool named[2] = {false, false};
    for (std::size_t i = f.transitions.size(); i-- > 0 && !(named[0] && named[1]);) {
        const TzFileData::Type& t = f.types[f.typeOf[i]];
        if (!named[t.isdst]) {
            names_[t.isdst] = f.abbreviation(t.abbr);
            named[t.isdst] = true;
        }
    }
    if (!named[0]) names_[0] = f.abbreviation(0);
    if (!named[1]) names_[1] = names_[0];
    long stdoff, dstoff;
    ruleOffsets(f, &stdoff, &dstoff);
    timezone_ = -stdoff;
    // glibc reports daylight time when any transition is to daylight time, even one whose
    // offset equals the standard one.
    daylight_ = false;
    for (const unsigned char type : f.typeOf) daylight_ = daylight_ || f.types[type].isdst;
    altzone_ = daylight_ ? -dstoff : timezone_ - 3600;

    // Before the first transition: the first standard-time type (the first type if none).
    std::size_t first = 0;
    while (first < f.types.size() && f.types[first].isdst) ++first;
    if (first == f.types.size()) first = 0;
    appendSpan(INT64_MIN, f.types[first].gmtoff, f.types[first].isdst);
    const std::size_t n = f.transitions.size();
    const bool ruleAfterLast = n > 0 && !f.footer.empty();
    for (std::size_t i = 0; i + (ruleAfterLast ? 1 : 0) < n; ++i) {
        const TzFileData::Type& t = f.types[f.typeOf[i]];
        appendSpan(f.transitions[i], t.gmtoff, t.isdst);
    }
    if (ruleAfterLast) {
        rule_ = TzRule::parse(f.footer.c_str());
        const std::int64_t last = f.transitions[n - 1];
        fillFromRule(last, std::max(last + 1, yearStart(kTableLastYear)));
    }
    buildIndex();
}

bool TzZone::loadDefaultRules(const TzRule& user) {
    TzFileData f;
    if (!f.read(zoneDirectory() + "/posixrules") || f.types.size() < 2) return false;
    long ruleStd, lastDst;
    ruleOffsets(f, &ruleStd, &lastDst);
    // The file's changes happen at its wall-clock times: move them to the user's offsets.
    // glibc keeps no daylight offset for a file with transitions and shifts the changes out
    // of daylight time as if it were 0; so do we, to land on the same instants.
    const long ruleDst = f.transitions.empty() ? lastDst : 0;
    const long stdoff = user.offset(0), dstoff = user.offset(1);
    bool isdst = false;
    for (std::size_t i = 0; i < f.transitions.size(); ++i) {
        const TzFileData::Type& t = f.types[f.typeOf[i]];
        f.typeOf[i] = t.isdst ? 1 : 0;
        if (!t.isut) f.transitions[i] += isdst && !t.isstd ? dstoff - ruleDst : stdoff - ruleStd;
        isdst = t.isdst;
    }
    f.types.resize(2);
    f.types[0].gmtoff = stdoff;
    f.types[0].isdst = false;
    f.types[1].gmtoff = dstoff;
    f.types[1].isdst = true;
    useFile(f);
    names_[0] = user.name(0);
    names_[1] = user.name(1);
    timezone_ = -stdoff;
    altzone_ = daylight_ ? -dstoff : timezone_ - 3600;
    return true;
}

TzSpan TzZone::spanAt(std::int64_t t) const noexcept {
    if (t < tableBegin_) {
        TzSpan s = rule_.spanAt(t);
        s.end = std::min(s.end, tableBegin_);
        return s;
    }
    if (t >= tableEnd_) {
        TzSpan s = rule_.spanAt(t);
        s.start = std::max(s.start, tableEnd_);
        return s;
    }
    const std::size_t n = starts_.size();
    std::size_t k = hint_.load(std::memory_order_relaxed);
    if (!(k < n && starts_[k] <= t && (k + 1 == n || t < starts_[k + 1]))) {
        k = indexedSpan(t);
        hint_.store(k, std::memory_order_relaxed);
    }
    return TzSpan{starts_[k], k + 1 < n ? starts_[k + 1] : tableEnd_, infos_[k].gmtoff,
                  infos_[k].isdst};
}

void TzZone::buildIndex() {
    bucketFirst_.clear();
    if (starts_.size() < 2) return;
    // Buckets of 2^shift seconds from the first change to the last, about one per span, so a
    // lookup scans a span or two from its bucket's first one.
    bucketOrigin_ = starts_[1];
    const std::uint64_t range =
        static_cast<std::uint64_t>(starts_.back()) - static_cast<std::uint64_t>(bucketOrigin_);
    bucketShift_ = 0;
    while ((range >> bucketShift_) + 1 > starts_.size()) ++bucketShift_;
    bucketFirst_.resize(static_cast<std::size_t>(range >> bucketShift_) + 1);
    std::size_t k = 1;
    for (std::size_t b = 0; b < bucketFirst_.size(); ++b) {
        const std::int64_t bucketStart =
            bucketOrigin_ + static_cast<std::int64_t>(std::uint64_t{b} << bucketShift_);
        while (k + 1 < starts_.size() && starts_[k + 1] <= bucketStart) ++k;
        bucketFirst_[b] = static_cast<std::uint32_t>(k);
    }
}

std::size_t TzZone::indexedSpan(std::int64_t t) const noexcept {
    if (bucketFirst_.empty() || t < bucketOrigin_) return 0;
    const std::uint64_t b =
        (static_cast<std::uint64_t>(t) - static_cast<std::uint64_t>(bucketOrigin_)) >> bucketShift_;
    const std::size_t n = starts_.size();
    if (b >= bucketFirst_.size()) return n - 1;
    std::size_t k = bucketFirst_[static_cast<std::size_t>(b)];
    while (k + 1 < n && starts_[k + 1] <= t) ++k;
    return k;
}

std::int64_t TzZone::utcFromLocal(std::int64_t wall) const noexcept {
    // Every answer lies within a day and a few hours of the wall-clock count; walk the spans
    // of that window in order and take the first whose offset maps the reading into itself.
    constexpr std::int64_t kReach = std::int64_t{30} * 3600;
    constexpr std::int64_t kLimit = INT64_MAX / 4;
    wall = std::max(-kLimit, std::min(kLimit, wall));
    std::optional<std::int64_t> beforeGap;  // in a gap: the reading by the offset before it
    for (TzSpan s = spanAt(wall - kReach);; s = spanAt(s.end)) {
        const std::int64_t c = wall - s.gmtoff;
        if (c >= s.start && c < s.end) return c;
        if (c >= s.end) beforeGap = c;
        if (s.end > wall + kReach || s.end == INT64_MAX) break;
    }
    return beforeGap ? *beforeGap : wall - spanAt(wall).gmtoff;
}

}  // namespace qelkit_internal
