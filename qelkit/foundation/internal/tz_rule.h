// SPDX-License-Identifier: Apache-2.0
// TzRule: a POSIX TZ value ("EST5EDT,M3.2.0,M11.1.0", "<+0545>-5:45", "UTC0") read and
// evaluated exactly as glibc reads and evaluates it, quirks included, so that a zone built on
// it agrees with localtime_r for every instant. Internal: not installed.
#ifndef QELKIT_FOUNDATION_INTERNAL_TZ_RULE_H
#define QELKIT_FOUNDATION_INTERNAL_TZ_RULE_H

#include <cstdint>
#include <string>

namespace qelkit_internal {

// A stretch of time [start, end) during which one offset and one daylight flag are in force.
struct TzSpan {
    std::int64_t start;
    std::int64_t end;
    long gmtoff;  // seconds EAST of UTC, as tm_gmtoff
    bool isdst;
};

// The check reads the loop variable of the implicit copy of changes_ as a name of ours.
// NOLINTNEXTLINE(bugprone-reserved-identifier)
class TzRule {
  public:
    // One of the two yearly changes: index 0 starts daylight time, index 1 ends it.
    struct Change {
        enum Kind { dayOfYear0, julianDay1, monthWeekDay };  // "n", "Jn", "Mm.w.d"
        Kind kind = dayOfYear0;
        unsigned short month = 0, week = 0, day = 0;
        int secs = 0;    // local time of day of the change; may be negative or past 24h
        int offset = 0;  // seconds east of UTC of the time this rule describes
    };

    // Reads `text` as glibc's TZ parser does: what it cannot read stays at glibc's defaults
    // (offset 0, empty names, a change at day 0). `wantsDefaultRules` is set when the value
    // names a daylight time but no rules: glibc then takes the rules from the "posixrules"
    // zone file if it can, else the US rules this rule already holds.
    // `whole` (when given) is set when every part read and nothing is left over: a value glibc
    // reads as written, not one it reads in part or as UTC.
    static TzRule parse(const char* text, bool* wantsDefaultRules = nullptr, bool* whole = nullptr);
    // A zone of one fixed offset and name, no daylight time.
    static TzRule fixed(int offsetEast, const std::string& name);

    // The instant of change `which` (0 or 1) computed for UTC year `year`. Like glibc, years up
    // to 1970 count their days from 1970-01-01. (For UTC year 0 glibc may answer from a
    // stale cache entry for a change it failed to read; that history is not reproduced.)
    std::int64_t changeAt(int which, std::int64_t year) const noexcept;
    // The span around `t` in which the rule's answer does not change (bounded by the changes
    // and by the UTC year, as the rule is evaluated per UTC year).
    TzSpan spanAt(std::int64_t t) const noexcept;

    // False when a month of a half-read "M" change is out of 1..12: glibc then reads outside
    // its month table, so no answer can match it.
    bool wellDefined() const noexcept;

    const std::string& name(int which) const { return names_[which]; }
    int offset(int which) const noexcept { return changes_[which].offset; }
    const Change& change(int which) const noexcept { return changes_[which]; }

  private:
    std::string names_[2];
    Change changes_[2];
};

}  // namespace qelkit_internal

#endif  // QELKIT_FOUNDATION_INTERNAL_TZ_RULE_H
