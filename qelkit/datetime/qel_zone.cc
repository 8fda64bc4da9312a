// SPDX-License-Identifier: Apache-2.0
#include "qelkit/datetime/qel_zone.h"

#include <ctime>

namespace {

// Built on first use, once, even when another file's load-time code builds a guard first.
const NqEnvironment& envEnableDSTRules() {
    static const NqEnvironment SETTING("NQ_ENABLE_DST_RULES");
    return SETTING;
}

}  // namespace

// NOLINTNEXTLINE(cert-err58-cpp): only std::bad_alloc can escape, and it fails the load.
const NqEnvironment& __envEnableDSTRules = envEnableDSTRules();

QelZone::QelZone() {
    if (envEnableDSTRules().isOn()) return;
    tzset();
    const std::time_t now = std::time(nullptr);
    struct tm local = {};
    localtime_r(&now, &local);
    const RWZone& os = RWZone::os();
    // glibc has no altzone: the operating-system zone knows its daylight offset.
    if (local.tm_isdst > 0) {
        _installed = std::make_unique<RWZoneSimple>(os.altZoneOffset(), os.altZoneName());
    } else {
        _installed = std::make_unique<RWZoneSimple>(timezone, os.timeZoneName());
    }
    _previous = RWZone::local(_installed.get());
}

QelZone::~QelZone() {
    // local(nullptr) reinstalls os(), so a null previous zone is restored correctly too.
    if (_installed) RWZone::local(_previous);
}
