// SPDX-License-Identifier: Apache-2.0
// ZLIB's compression and decompression of arbitrary bytes against zlib itself:
// - compress at the level the first byte gives must make byte for byte what compress2 makes,
//   and decompress must give the input back;
// - decompress of the bytes themselves, under both raise flags, must give what inflate gives
//   (into a vector grown a kilobyte at a time) and fail exactly when inflate does not reach the
//   end of a stream or input follows that end: the raising call throws nothing but NqException,
//   the quiet one writes exactly the failure line to std::cerr.
//
// Input: [level: value % 11 - 1, so -1 to 9][data...]
#include <zlib.h>

#include <iostream>
#include <sstream>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "qelkit/records/nq_exception.h"
#include "qelkit/records/zlib_compression.h"

namespace {

// The bytes inflate produces before it stops, and whether it reached the stream's end with
// nothing left after it.
std::string naiveInflate(const uint8_t* data, std::size_t size, bool& complete) {
    std::string out;
    complete = size == 0;
    z_stream zs{};
    if (size == 0 || inflateInit(&zs) != Z_OK) return out;
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = static_cast<uInt>(size);
    std::vector<unsigned char> chunk(1024);
    int rc;
    do {
        zs.next_out = chunk.data();
        zs.avail_out = static_cast<uInt>(chunk.size());
        rc = inflate(&zs, Z_NO_FLUSH);
        out.append(reinterpret_cast<const char*>(chunk.data()), chunk.size() - zs.avail_out);
    } while (rc == Z_OK);
    complete = rc == Z_STREAM_END && zs.avail_in == 0;
    inflateEnd(&zs);
    return out;
}

std::string bytes(const RWCString& s) { return std::string(s.data(), s.length()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int level = data[0] % 11 - 1;
    ++data, --size;
    const RWCString input(reinterpret_cast<const char*>(data), size);
    const RWCString packed = ZLIB::compress(input, level, 1);
    std::vector<Bytef> reference(compressBound(size));
    uLongf referenceLen = reference.size();
    check(compress2(reference.data(), &referenceLen, data, size, level) == Z_OK);
    check(bytes(packed) == std::string(reinterpret_cast<char*>(reference.data()), referenceLen));
    check(ZLIB::decompress(packed, 1) == input);

    bool complete;
    const std::string expected = naiveInflate(data, size, complete);
    bool thrown = false;
    try {
        check(bytes(ZLIB::decompressRaw(input.data(), static_cast<unsigned>(size), 1)) == expected);
    } catch (const NqException& e) {
        check(std::string(e.why()) == "ZLIB decompression failure");
        thrown = true;
    }
    check(thrown == !complete);
    std::ostringstream captured;
    std::streambuf* old = std::cerr.rdbuf(captured.rdbuf());
    const RWCString quiet = ZLIB::decompressRaw(input.data(), static_cast<unsigned>(size), 0);
    std::cerr.rdbuf(old);
    check(bytes(quiet) == expected);
    check(captured.str() == (complete ? "" : "ZLIB decompression failure\n"));
    return 0;
}
