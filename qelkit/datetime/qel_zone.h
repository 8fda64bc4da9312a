// SPDX-License-Identifier: Apache-2.0
// QelZone: a scoped guard that replaces the process-wide local zone (RWZone::local()) with a
// fixed-offset zone frozen at the offset and name in force when the guard is built, so that
// local-time arithmetic ignores daylight-saving changes; the previous zone comes back when the
// guard ends. With NQ_ENABLE_DST_RULES set (non-empty) at load the guard does nothing.
//
// It changes process-wide state without a lock: build and end it while no other thread does
// local-time arithmetic. Nested guards must end in reverse order of construction.
#ifndef QELKIT_DATETIME_QEL_ZONE_H
#define QELKIT_DATETIME_QEL_ZONE_H

#include <memory>

#include "qelkit/export.h"
#include "qelkit/foundation/nq_environment.h"
#include "qelkit/foundation/rw_zone.h"

class QELKIT_API QelZone {
  public:
    // Installs RWZoneSimple(offset, name) of the operating system's zone now (daylight offset
    // and name while daylight time is in force). Allocation failure propagates and leaves the
    // local zone unchanged.
    QelZone();
    // Reinstalls the zone that was local when this guard was built, then deletes its own.
    ~QelZone();

    QelZone(const QelZone&) = delete;
    QelZone& operator=(const QelZone&) = delete;

  private:
    std::unique_ptr<RWZoneSimple> _installed;  // null when the guard does nothing
    const RWZone* _previous = nullptr;
};

// The NQ_ENABLE_DST_RULES setting, read once at load (no default). Valid once the library's
// static initialisation has run.
extern QELKIT_API const NqEnvironment& __envEnableDSTRules;

#endif  // QELKIT_DATETIME_QEL_ZONE_H
