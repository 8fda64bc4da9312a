// SPDX-License-Identifier: Apache-2.0
// What the fuzz targets share: check() stops the run at a failed comparison (libFuzzer and the
// replay both report the input), and Input reads the bytes of one input from the front.
#ifndef QELKIT_FUZZ_FUZZ_CHECK_H
#define QELKIT_FUZZ_FUZZ_CHECK_H

#include <cstddef>
#include <cstdint>
#include <string>

// Called before a failed check stops the run; the replay sets it to name the input.
inline void (*checkFailed)() = nullptr;

inline void check(bool ok) {
    if (ok) return;
    if (checkFailed) checkFailed();
    __builtin_trap();
}

struct Input {
    const std::uint8_t* p;
    std::size_t n;
    // The next byte, 0 once the input is used up.
    std::uint8_t next() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
    // The bytes not read yet.
    std::string rest() const { return std::string(reinterpret_cast<const char*>(p), n); }
};

#endif
