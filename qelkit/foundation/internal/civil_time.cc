// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/internal/civil_time.h"

#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace qelkit_internal {
namespace {

// tm_zone must point to text that outlives the tm; zone names are few, so each distinct name
// is kept once for the life of the process (set nodes never move). The set and its lock are
// never destroyed: a static object of the application may be built before the first reading
// of a time and read one in its destructor, after every object built later is gone.
// The name last returned on this thread is checked first, without the lock.
const char* internedName(const RWCString& name) {
    thread_local const std::string* last = nullptr;
    if (last && last->size() == name.length() &&
        std::memcmp(last->data(), name.data(), name.length()) == 0)
        return last->c_str();
    static std::mutex& lock = *new std::mutex;
    static std::set<std::string>& names = *new std::set<std::string>;
    std::lock_guard<std::mutex> guard(lock);
    last = &*names.emplace(name.data(), name.length()).first;
    return last->c_str();
}

}  // namespace

void fillTm(std::int64_t posix, const RWZone& z, struct tm* t) {
    bool dst = false;
    const long offsetWest = z.offsetAt(posix, &dst);
    const std::int64_t local = posix - offsetWest;
    const CivilTime c = civilTimeFromSeconds(local);
    t->tm_sec = static_cast<int>(c.second);
    t->tm_min = static_cast<int>(c.minute);
    t->tm_hour = static_cast<int>(c.hour);
    t->tm_mday = static_cast<int>(c.date.day);
    t->tm_mon = static_cast<int>(c.date.month) - 1;
    t->tm_year = static_cast<int>(c.date.year - 1900);
    t->tm_wday = static_cast<int>(weekdayFromDays(floorDiv(local, kSecondsPerDay)));
    t->tm_yday = static_cast<int>(c.date.dayOfYear);
    t->tm_isdst = dst ? 1 : 0;
    t->tm_gmtoff = -offsetWest;
    t->tm_zone = internedName(dst ? z.altZoneName() : z.timeZoneName());
}

void fillInvalidTm(struct tm* t) noexcept {
    t->tm_sec = t->tm_min = t->tm_hour = -1;
    t->tm_mday = t->tm_mon = t->tm_year = -1;
    t->tm_wday = t->tm_yday = t->tm_isdst = -1;
    t->tm_gmtoff = 0;
    t->tm_zone = nullptr;
}

}  // namespace qelkit_internal
