// SPDX-License-Identifier: Apache-2.0
// TzZone: the operating system's time zone as glibc sees it, read once from TZ (else
// /etc/localtime): a TZif file (64-bit data, transitions, types, the POSIX rule that follows
// the last transition) or a POSIX TZ value. Offsets are answered from a table of spans with
// a remembered position, so a run of nearby instants costs a couple of comparisons each.
#ifndef QELKIT_FOUNDATION_INTERNAL_TZ_ZONE_H
#define QELKIT_FOUNDATION_INTERNAL_TZ_ZONE_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qelkit/foundation/internal/tz_rule.h"

namespace qelkit_internal {

// The content of a TZif file, as glibc keeps it.
struct TzFileData {
    struct Type {
        long gmtoff;  // seconds east of UTC
        bool isdst;
        unsigned char abbr;  // index into `abbrs`
        bool isstd;
        bool isut;
    };
    std::vector<std::int64_t> transitions;
    std::vector<unsigned char> typeOf;  // type index of each transition
    std::vector<Type> types;
    std::string abbrs;
    std::string footer;  // the POSIX rule after the last transition; empty if none

    // Parses a whole file image; false when glibc would refuse the file.
    bool parse(const unsigned char* data, std::size_t size);
    // Reads and parses the file at `path`; false when missing, unreadable or refused.
    bool read(const std::string& path);
    // The abbreviation stored at `index`.
    std::string abbreviation(std::size_t index) const;
};

class TzZone {
  public:
    // The zone glibc's tzset() would set up from the TZ value `tz` (null: TZ unset), looking
    // up relative names in TZDIR or /usr/share/zoneinfo.
    explicit TzZone(const char* tz);
    // True when TzZone(tz) reads a zone file for `tz` or `tz` is a whole POSIX TZ rule:
    // false for a value glibc would quietly read as UTC or as a partial rule.
    static bool known(const std::string& tz);
    TzZone(const TzZone&) = delete;
    TzZone& operator=(const TzZone&) = delete;

    // The span of constant offset and daylight flag that holds `t` (POSIX seconds).
    TzSpan spanAt(std::int64_t t) const noexcept;
    // The offset (seconds east of UTC) and daylight flag at `t`; inline for the common case of
    // an instant in the span looked up last.
    long gmtoffAt(std::int64_t t, bool* isdst) const noexcept {
        const std::size_t k = hint_.load(std::memory_order_relaxed);
        if (k + 1 < starts_.size() && starts_[k] <= t && t < starts_[k + 1]) {
            *isdst = infos_[k].isdst;
            return infos_[k].gmtoff;
        }
        const TzSpan s = spanAt(t);
        *isdst = s.isdst;
        return s.gmtoff;
    }
    // The instant whose wall-clock reading is `wall`: the earlier one in an overlap; in a gap
    // the reading with the offset in force before the change (the result lies after it).
    std::int64_t utcFromLocal(std::int64_t wall) const noexcept;

    // What tzset() leaves in timezone, daylight and tzname; `altzone` is the daylight offset
    // (timezone - 3600 when daylight is 0). Offsets are seconds WEST of UTC.
    long timezone() const noexcept { return timezone_; }
    long altzone() const noexcept { return altzone_; }
    bool daylight() const noexcept { return daylight_; }
    const std::string& name(int which) const { return names_[which]; }

  private:
    struct Info {
        long gmtoff;
        bool isdst;
    };
    void useFile(const TzFileData& file);
    void useRule(const TzRule& rule);
    void appendSpan(std::int64_t start, long gmtoff, bool isdst);
    void fillFromRule(std::int64_t from, std::int64_t to);
    bool loadDefaultRules(const TzRule& user);
    // Builds bucketFirst_ once the spans are final.
    void buildIndex();
    // The span holding `t`, for tableBegin_ <= t < tableEnd_, through bucketFirst_.
    std::size_t indexedSpan(std::int64_t t) const noexcept;

    // Spans k = [starts_[k], starts_[k+1]), the last one ending at tableEnd_; before
    // tableBegin_ and from tableEnd_ on the rule is evaluated directly.
    std::vector<std::int64_t> starts_;
    std::vector<Info> infos_;
    std::int64_t tableBegin_ = INT64_MIN;
    std::int64_t tableEnd_ = INT64_MAX;
    TzRule rule_;
    mutable std::atomic<std::size_t> hint_{0};
    // Index of the spans: bucket b covers [bucketOrigin_ + b * 2^bucketShift_, next bucket)
    // and holds the span in force at its start; instants before bucketOrigin_ (the first
    // change) are in span 0, those after the last bucket in the last span.
    std::vector<std::uint32_t> bucketFirst_;
    std::int64_t bucketOrigin_ = 0;
    unsigned bucketShift_ = 0;

    long timezone_ = 0;
    long altzone_ = -3600;
    bool daylight_ = false;
    std::string names_[2];
};

// The zone behind RWZone::os() (built on first use, as os() is): callers that already know they
// convert in os() look spans up here directly, without the virtual offsetAt().
const TzZone& tzZoneOfOs();

}  // namespace qelkit_internal

#endif  // QELKIT_FOUNDATION_INTERNAL_TZ_ZONE_H
