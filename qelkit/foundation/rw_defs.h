// SPDX-License-Identifier: Apache-2.0
// Basic types and constants shared by the whole foundation layer: the "no position" value,
// the classic boolean and size types, and the wrapper that selects capacity constructors.
#ifndef QELKIT_FOUNDATION_RW_DEFS_H
#define QELKIT_FOUNDATION_RW_DEFS_H

#include <cstddef>
#include <cstdint>

#include "qelkit/export.h"

// The "no position" result of every string and collection search (all bits set).
constexpr std::size_t RW_NPOS = static_cast<std::size_t>(-1);

typedef bool RWBoolean;
typedef unsigned long RWspace;
typedef unsigned short RWClassID;
typedef std::int64_t rwint64;

// Selects the capacity constructors (`RWCString(RWSize_T(n))`): an empty object with room for
// exactly n elements.
class QELKIT_API RWSize_T {
  public:
    explicit RWSize_T(std::size_t n) noexcept : n_(n) {}
    // The requested capacity.
    std::size_t value() const noexcept { return n_; }

  private:
    std::size_t n_;
};

#endif  // QELKIT_FOUNDATION_RW_DEFS_H
