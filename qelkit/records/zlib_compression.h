// SPDX-License-Identifier: Apache-2.0
// ZLIB: compresses a byte string into one zlib stream (RFC 1950: two-byte header, deflate data,
// Adler-32 check, nothing of this library's own around it) and restores it, in one call each.
// Strings may hold any bytes, NUL included. The functions keep no state and may run in several
// threads at once.
//
// Failures of the coder (corrupt or truncated input, an error of zlib) are reported by the
// raise flag: non-zero throws NqException "ZLIB compression failure" or "ZLIB decompression
// failure"; zero writes that text and a newline to std::cerr, holding
// NqOutputStreamLock::_ostream_lock, and returns the bytes produced before the failure (a
// caller cannot tell such a partial result from a complete one). Input that goes on after the
// end of the stream (a second stream, garbage) is such a failure too, as is a result that
// would exceed the output limit a caller gives. A level zlib rejects (outside -1 to 9) gives an
// empty string, silently, whatever the raise flag. Running out of memory propagates as
// std::bad_alloc from the string classes; the output limit bounds what decompression may take.
#ifndef QELKIT_RECORDS_ZLIB_COMPRESSION_H
#define QELKIT_RECORDS_ZLIB_COMPRESSION_H

#include <cstddef>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_cstring.h"

struct QELKIT_API ZLIB {
    // The zlib stream of all the bytes of `data`, of any length.
    static RWCString compress(const RWCString& data, int level = -1, int raise = 1);
    // The zlib stream of `length` bytes at `data`, at `level` (-1 zlib's default, 0 stored, 1
    // fastest to 9 best). Throws NqException on failure when `raise` is non-zero.
    static RWCString compressRaw(const char* data, unsigned length, int level = -1, int raise = 1);
    // decompressRaw of all the bytes of `data`, of any length.
    static RWCString decompress(const RWCString& data, int raise = 1);
    // As decompress, with a failure once the result would exceed `limit` bytes (with `raise`
    // zero the first `limit` bytes come back).
    static RWCString decompress(const RWCString& data, int raise, std::size_t limit);
    // The bytes restored from the zlib stream of `length` bytes at `data`, which must be the
    // whole input: bytes after the end of the stream are a failure. Empty input gives an empty
    // string without calling zlib. Throws NqException on corrupt, truncated or trailing input
    // when `raise` is non-zero.
    static RWCString decompressRaw(const char* data, unsigned length, int raise = 1);
    // As decompressRaw, with a failure once the result would exceed `limit` bytes.
    static RWCString decompressRaw(const char* data, unsigned length, int raise, std::size_t limit);
};

#endif  // QELKIT_RECORDS_ZLIB_COMPRESSION_H
