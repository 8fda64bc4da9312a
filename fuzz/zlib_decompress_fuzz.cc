// SPDX-License-Identifier: Apache-2.0
// Decompresses arbitrary bytes with ZLIB::decompress under both raise flags and checks the
// result against a naive decoder (zlib's inflate into a vector that grows one kilobyte at a
// time): the same bytes come back, a failure is reported exactly when the naive decoder does
// not reach the end of a stream or input follows that end, the raising call throws nothing but
// NqException and the quiet call writes exactly the failure line to std::cerr.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "qelkit/records/nq_exception.h"
#include "qelkit/records/zlib_compression.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

// The bytes inflate produces before it stops, and whether it reached the stream's end with
// nothing left after it.
std::string naiveInflate(const uint8_t* data, std::size_t size, bool& complete) {
    std::string out;
    complete = false;
    if (size == 0) {
        complete = true;
        return out;
    }
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return out;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    bool complete;
    const std::string expected = naiveInflate(data, size, complete);

    bool thrown = false;
    try {
        const RWCString result = ZLIB::decompressRaw(bytes, static_cast<unsigned>(size), 1);
        check(std::string(result.data(), result.length()) == expected);
    } catch (const NqException& e) {
        check(std::string(e.why()) == "ZLIB decompression failure");
        thrown = true;
    }
    check(thrown == !complete);

    std::ostringstream captured;
    std::streambuf* old = std::cerr.rdbuf(captured.rdbuf());
    const RWCString quiet = ZLIB::decompressRaw(bytes, static_cast<unsigned>(size), 0);
    std::cerr.rdbuf(old);
    check(std::string(quiet.data(), quiet.length()) == expected);
    check(captured.str() == (complete ? "" : "ZLIB decompression failure\n"));
    return 0;
}
