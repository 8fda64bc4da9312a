// SPDX-License-Identifier: Apache-2.0
// The library stays usable until static destruction ends: an object with static storage that
// is built before the library first reads a time, and so destroyed after everything the
// library built later, reads a time and notifies a model in its destructor (by then the
// thread's own thread-local objects are gone too). Run with TZ=UTC; under AddressSanitizer a
// use of freed memory aborts the process.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "qelkit/collections/qel_model.h"
#include "qelkit/foundation/rw_date_time.h"

namespace {

// 2024-02-29 12:34:56 UTC, as milliseconds from 1901-01-01.
const RWDateTime kInstant((1709210096LL + 2177452800LL) * 1000);

// Exits with a message when the reading of kInstant is not the hand-computed one.
void checkReading(const char* when) {
    struct tm t;
    kInstant.extract(&t, RWZone::os());
    if (t.tm_year != 124 || t.tm_mon != 1 || t.tm_mday != 29 || t.tm_hour != 12 || t.tm_min != 34 ||
        t.tm_sec != 56 || t.tm_zone == nullptr || std::strcmp(t.tm_zone, "UTC") != 0) {
        std::fprintf(stderr, "%s: wrong reading %d-%d-%d %d:%d:%d %s\n", when, t.tm_year, t.tm_mon,
                     t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_zone ? t.tm_zone : "(null)");
        std::_Exit(1);
    }
}

QelModel model;  // destroyed after the object below

struct UsesTheLibraryAtExit {
    ~UsesTheLibraryAtExit() {
        checkReading("in a static destructor");
        model.changed(DESTROYING);
    }
} usesTheLibraryAtExit;

}  // namespace

int main() {
    checkReading("in main");
    model.changed(PRE_CLEAR);
    return 0;
}
