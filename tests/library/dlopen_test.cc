// SPDX-License-Identifier: Apache-2.0
// Loads the shared library named by argv[1] with dlopen, as a plugin host does, and calls into
// it: the zone and a date-time conversion, which use the library's per-thread state, then
// unloads it. Run with TZ=UTC. The program does not link the library.
#include <dlfcn.h>

#include <cstdio>

#include "qelkit/foundation/rw_date_time.h"

namespace {

template <class Fn>
Fn symbol(void* lib, const char* name) {
    void* p = dlsym(lib, name);
    if (p == nullptr) std::fprintf(stderr, "dlsym %s: %s\n", name, dlerror());
    return reinterpret_cast<Fn>(p);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) {
        std::fprintf(stderr, "dlopen: %s\n", dlerror());
        return 1;
    }
    // RWZone::os() and RWDateTime::julian(const RWZone&) const; a member function takes the
    // object as its first argument.
    const auto os = symbol<const RWZone& (*)()>(lib, "_ZN6RWZone2osEv");
    const auto julian = symbol<unsigned long (*)(const RWDateTime*, const RWZone&)>(
        lib, "_ZNK10RWDateTime6julianERK6RWZone");
    if (os == nullptr || julian == nullptr) return 1;
    // 2024-02-29 12:34:56 UTC: Julian Day Number 2440588 (1970-01-01) + 19782 days.
    const RWDateTime instant((1709210096LL + 2177452800LL) * 1000);
    const unsigned long day = julian(&instant, os());
    if (day != 2460370) {
        std::fprintf(stderr, "julian day %lu, expected 2460370\n", day);
        return 1;
    }
    if (dlclose(lib) != 0) {
        std::fprintf(stderr, "dlclose: %s\n", dlerror());
        return 1;
    }
    return 0;
}
