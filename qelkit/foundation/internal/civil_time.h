// SPDX-License-Identifier: Apache-2.0
// The broken-down time (struct tm) of an instant in a zone, for RWTime and RWDateTime; the
// calendar arithmetic itself is qelkit/internal/calendar.h. Internal: not installed.
#ifndef QELKIT_FOUNDATION_INTERNAL_CIVIL_TIME_H
#define QELKIT_FOUNDATION_INTERNAL_CIVIL_TIME_H

#include <cstdint>
#include <ctime>

#include "qelkit/foundation/rw_zone.h"
#include "qelkit/internal/calendar.h"

namespace qelkit_internal {

// Fills every field of `t` with the reading of POSIX instant `posix` in zone `z`: tm_wday 0 is
// Sunday, tm_yday is 0-based, tm_isdst and tm_gmtoff come from the zone, tm_zone points to
// the zone's name for that reading (kept for the life of the process).
void fillTm(std::int64_t posix, const RWZone& z, struct tm* t);
// Every int field of `t` set to -1, tm_gmtoff 0 and tm_zone null: the reading of an invalid
// instant.
void fillInvalidTm(struct tm* t) noexcept;

}  // namespace qelkit_internal

#endif  // QELKIT_FOUNDATION_INTERNAL_CIVIL_TIME_H
