// SPDX-License-Identifier: Apache-2.0
// Compresses arbitrary bytes with ZLIB::compress at a level taken from the first input byte and
// checks that the stream is byte for byte what zlib's compress2 makes of the same input at the
// same level, and that ZLIB::decompress gives the input back.
//
// Input: [level: value % 11 - 1, so -1 to 9][data...]
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qelkit/records/zlib_compression.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int level = data[0] % 11 - 1;
    const RWCString input(reinterpret_cast<const char*>(data + 1), size - 1);

    const RWCString packed = ZLIB::compress(input, level, 1);
    std::vector<Bytef> reference(compressBound(size - 1));
    uLongf referenceLen = reference.size();
    check(compress2(reference.data(), &referenceLen, data + 1, size - 1, level) == Z_OK);
    check(packed.length() == referenceLen &&
          std::string(packed.data(), packed.length()) ==
              std::string(reinterpret_cast<const char*>(reference.data()), referenceLen));

    const RWCString back = ZLIB::decompress(packed, 1);
    check(back == input);
    return 0;
}
