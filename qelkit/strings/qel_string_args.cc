// SPDX-License-Identifier: Apache-2.0
// Numbered placeholders "%1" ... "%99" filled in order by doArg.
#include "qelkit/foundation/rw_cregexp.h"
#include "qelkit/strings/qel_string.h"

namespace {

// The placeholder pattern, compiled once behind the function-local static's guard and only read
// afterwards; destroyed at unload.
const RWCRegexp& argPattern() {
    static const RWCRegexp pattern("%[123456789][0123456789]?");
    return pattern;
}

// Compile the pattern while the library loads, so that no caller pays for it later.
// NOLINTNEXTLINE(cert-err58-cpp): only std::bad_alloc can escape, and it fails the load.
[[maybe_unused]] const RWCRegexp& loadedArgPattern = argPattern();

}  // namespace

QelString QelString::firstArg() {
    std::size_t len = 0;
    const std::size_t at = argPattern().index(*this, &len, 0);
    if (at == RW_NPOS) return QelString();
    return QelString(data() + at, len);
}

QelString QelString::lowestArg() {
    const RWCRegexp& pattern = argPattern();
    std::size_t len = 0;
    std::size_t at = pattern.index(*this, &len, 0);
    if (at == RW_NPOS) return QelString();
    const char* p = data();
    const char* lowest = p + at;
    std::size_t lowestLen = len;
    for (at = pattern.index(*this, &len, at + len); at != RW_NPOS;
         at = pattern.index(*this, &len, at + len)) {
        // Fewer digits is a smaller number; with as many digits, byte order is number order.
        if (len < lowestLen || (len == lowestLen && std::memcmp(p + at, lowest, len) < 0)) {
            lowest = p + at;
            lowestLen = len;
        }
    }
    return QelString(lowest, lowestLen);
}

QelString& QelString::doArg(const QelString& value) {
    const QelString lowest = lowestArg();
    if (lowest.isNull())
        append(value);
    else
        replaceAll(lowest, value);
    return *this;
}
