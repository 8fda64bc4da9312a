// SPDX-License-Identifier: Apache-2.0
// Feeds arbitrary TZ values to the zone reader and to glibc, the reference it must match
// (tests/foundation/tz_glibc_compare.h), also at the rule's changes in a spread of years. TZDIR
// points at a directory that does not exist, so neither side finds a zone file and both read
// the value as a POSIX rule.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "qelkit/foundation/internal/tz_rule.h"
#include "tests/foundation/tz_glibc_compare.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZDIR", "/nonexistent-qelkit-fuzz-tzdir", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 80) return 0;
    const std::string tz(reinterpret_cast<const char*>(data), size);
    if (tz.find('\0') != std::string::npos) return 0;
    const char* body = tz.c_str() + (tz[0] == ':' ? 1 : 0);
    // An absolute path would open real files (a device could block); and a half-read month
    // sends glibc outside its month table, where no answer is defined.
    const qelkit_internal::TzRule rule = qelkit_internal::TzRule::parse(body);
    if (*body == '/' || !rule.wellDefined()) return 0;
    std::vector<std::int64_t> changes;
    for (const std::int64_t year :
         {1, 1600, 1900, 1969, 1970, 1971, 2000, 2024, 2038, 2100, 2399, 2400, 2401, 5000, 9999})
        for (int which = 0; which < 2; ++which)
            changes.insert(changes.end(),
                           {rule.changeAt(which, year) - 1, rule.changeAt(which, year)});
    check(compareWithGlibc(tz, changes).empty());
    return 0;
}
