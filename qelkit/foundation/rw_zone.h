// SPDX-License-Identifier: Apache-2.0
// RWZone: a time zone as the date and time classes see it. A zone has a standard offset and a
// daylight offset (both in seconds WEST of UTC, as the classic C library counts them), their
// names, and the rule that says when daylight time is in force.
//
// RWZoneSimple is one fixed offset with no daylight time. RWZone::os() is the operating
// system's zone (TZ, else /etc/localtime) with all of its rules, historical changes included;
// its conversions agree with localtime_r for every instant without calling it: the zone file
// (or the POSIX rule TZ holds) is read once and answered from a table. RWZone::local() is the
// zone that local-time arithmetic uses by default: os() until an application installs another.
//
// os() reports what tzset() leaves in glibc's variables: timeZoneOffset() is `timezone`,
// daylightObserved() is `daylight`, the names are tzname[0] and tzname[1]. glibc has no
// `altzone`: altZoneOffset() is the offset of the zone's latest daylight time, or the standard
// offset less one hour when it has none. Its utcFromLocal() maps a reading that occurs twice
// to the earlier instant, and a reading skipped by a change forward to the instant it names
// under the offset in force before the change (02:30 on a spring-forward night in New York
// becomes 03:30 daylight time).
#ifndef QELKIT_FOUNDATION_RW_ZONE_H
#define QELKIT_FOUNDATION_RW_ZONE_H

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_defs.h"

class QELKIT_API RWZone {
  public:
    virtual ~RWZone();

    // Seconds west of UTC while standard time is in force.
    virtual long timeZoneOffset() const = 0;
    // Seconds west of UTC while daylight time is in force (RWZoneSimple: its one offset).
    virtual long altZoneOffset() const = 0;
    // The zone has daylight time at some point of its rules.
    virtual RWBoolean daylightObserved() const = 0;
    // Daylight time is in force at the wall-clock time held in tm_year, tm_mon, tm_mday,
    // tm_hour, tm_min and tm_sec (tm_isdst and the other fields are ignored).
    virtual RWBoolean isDaylight(const struct tm* t) const = 0;
    // Names of standard and daylight time ("GMT", "BST").
    virtual RWCString timeZoneName() const = 0;
    virtual RWCString altZoneName() const = 0;

    // Conversions the date and time classes are built on. Instants are POSIX seconds (since
    // 1970-01-01 00:00:00 UTC), 64-bit, so every year from 1 to 9999 is reachable.
    //
    // Seconds west of UTC in force at the instant `utc`; when `isDst` is given it receives
    // whether that is daylight time. The default asks isDaylight() of the standard-time
    // reading of the instant; zones with a faster way override it.
    virtual long offsetAt(std::int64_t utc, bool* isDst = nullptr) const;
    // The instant whose wall-clock reading in this zone is `wall` (the wall-clock fields
    // counted as seconds since 1970-01-01 00:00:00 as if they were UTC). A reading that falls
    // in a gap or an overlap of a daylight change maps to one of the instants around it.
    virtual std::int64_t utcFromLocal(std::int64_t wall) const;

    // The zone local-time arithmetic uses; os() until replaced. One atomic load once os()
    // has been built (its construction installs it as the local zone unless one is set).
    static const RWZone& local() {
        const RWZone* zone = localZone_.load(std::memory_order_acquire);
        return zone ? *zone : os();
    }
    // Installs `zone` (not owned; must outlive its use) as the local zone and returns the one
    // it replaces; a null `zone` reinstalls os(). The swap is atomic.
    static const RWZone* local(const RWZone* zone);
    // The operating system's zone, read once on first use from TZ (":name", a name under
    // TZDIR or /usr/share/zoneinfo, an absolute path, or a POSIX rule) as tzset() reads it;
    // unset means /etc/localtime, an unreadable value UTC. Never destroyed.
    static const RWZone& os();
    // Offset 0 all year, named "UTC".
    static const RWZone& utc();
    // The zone named `name`: a zone file name (IANA, as "Europe/London", looked up in TZDIR
    // or /usr/share/zoneinfo; or an absolute path) or a POSIX TZ rule ("CET-1CEST,M3.5.0,
    // M10.5.0/3"). Null for anything else: never UTC in place of a name that is not known.
    static std::unique_ptr<RWZone> named(const std::string& name);

  private:
    friend class RWDateTime;
    // os() once it has been built, else null: RWDateTime keeps the fields of its reading in
    // os() (whose rules never change) and compares zones against this pointer.
    static const RWZone* builtOs() noexcept { return os_.load(std::memory_order_acquire); }

    // The installed local zone; null until os() is built or a zone is installed. Both are
    // constant-initialised, so they are usable during static initialisation.
    static std::atomic<const RWZone*> localZone_;
    static std::atomic<const RWZone*> os_;
};

// A fixed offset with no daylight time: both offsets and both names are the ones given.
class QELKIT_API RWZoneSimple : public RWZone {
  public:
    // `offsetWest`: seconds west of UTC (UTC+01:00 is -3600).
    RWZoneSimple(long offsetWest, const RWCString& name);

    long timeZoneOffset() const override;
    long altZoneOffset() const override;
    RWBoolean daylightObserved() const override;
    RWBoolean isDaylight(const struct tm* t) const override;
    RWCString timeZoneName() const override;
    RWCString altZoneName() const override;
    long offsetAt(std::int64_t utc, bool* isDst = nullptr) const override;
    std::int64_t utcFromLocal(std::int64_t wall) const override;

  private:
    long offset_;
    RWCString name_;
};

#endif  // QELKIT_FOUNDATION_RW_ZONE_H
