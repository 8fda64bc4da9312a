// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/zlib_compression.h"

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <iostream>
#include <utility>

#include "qelkit/foundation/nq_output_stream_lock.h"
#include "qelkit/records/nq_exception.h"

namespace {

// zlib checks only the first character of the version it is given, so any 1.x library
// accepts the version these calls were written for.
const char kZlibVersion[] = "1.1.3";

const char kCompressFailure[] = "ZLIB compression failure";
const char kDecompressFailure[] = "ZLIB decompression failure";

// At most this many bytes are opened to one coder call: the blank fill that lengthens the
// result string then stays in cache until the coder overwrites it.
const std::size_t kChunk = 256 * 1024;

// A zero-filled z_stream that ends itself on every path, also when an allocation throws.
class Stream {
  public:
    explicit Stream(int (*endFn)(z_streamp)) noexcept : end_(endFn) {}
    ~Stream() {
        if (live_) end_(&zs);
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    // Records that the init call succeeded, so the destructor must end the stream.
    void started() noexcept { live_ = true; }
    // Ends the stream now and returns what the end call returned.
    int finish() noexcept {
        live_ = false;
        return end_(&zs);
    }

    z_stream zs{};

  private:
    int (*end_)(z_streamp);
    bool live_ = false;
};

// The result string, written in place: the coder writes straight into its unused capacity,
// which is lengthened with blanks before each call and cut back to the bytes produced after it
// (a string can only be lengthened by filling), so no separate output buffer is copied.
class Sink {
  public:
    // `inputLength` (0 when unknown) lets a full result grow to the size the ratio of output
    // made to input consumed so far predicts, instead of only doubling.
    Sink(std::size_t capacity, std::size_t inputLength)
        : out_(RWSize_T(capacity)), inputLength_(inputLength) {}

    // Opens a fresh stretch of the result to `zs`, growing the capacity when it is full.
    void open(z_stream& zs) {
        std::size_t cap = out_.capacity();
        if (cap == used_) {
            std::size_t grown = std::max<std::size_t>(cap * 2, used_ + 64);
            const std::size_t consumed = inputLength_ - zs.avail_in;
            if (inputLength_ != 0 && consumed != 0) {
                const double predicted = static_cast<double>(used_) /
                                         static_cast<double>(consumed) *
                                         static_cast<double>(inputLength_) * 1.0625;
                // A prefix may compress far better than the rest: the prediction is trusted up
                // to sixteen times the input, beyond that the capacity only doubles.
                const double limit = 16.0 * static_cast<double>(inputLength_) + 4096;
                if (predicted > static_cast<double>(grown))
                    grown = std::max(grown, static_cast<std::size_t>(std::min(predicted, limit)));
            }
            cap = grown;
            out_.capacity(cap);
        }
        room_ = std::min(cap - used_, kChunk);
        out_.resize(used_ + room_);
        zs.next_out = reinterpret_cast<Bytef*>(&out_(used_));
        zs.avail_out = static_cast<uInt>(room_);
    }
    // Keeps the bytes the last call wrote; returns how many there were.
    std::size_t keep(const z_stream& zs) {
        const std::size_t produced = room_ - zs.avail_out;
        used_ += produced;
        out_.resize(used_);
        return produced;
    }
    // The bytes produced; a result far smaller than its reserved capacity gives the room back.
    RWCString take() {
        if (out_.capacity() > 2 * used_ + 4096) out_.capacity(used_);
        return std::move(out_);
    }

  private:
    RWCString out_;
    std::size_t inputLength_;
    std::size_t used_ = 0;
    std::size_t room_ = 0;
};

// Reports a coder failure: throws NqException(text) when `raise` is set, otherwise writes text
// and a newline to std::cerr under the error-stream lock.
void fail(const char* text, int raise) {
    if (raise) throw NqException(text);
    RWMutexLock::LockGuard guard(NqOutputStreamLock::_ostream_lock);
    std::cerr << text << '\n';
    std::cerr.flush();
}

unsigned clampLength(std::size_t n) noexcept {
    return n > static_cast<unsigned>(-1) ? static_cast<unsigned>(-1) : static_cast<unsigned>(n);
}

}  // namespace

RWCString ZLIB::compress(const RWCString& data, int level, int raise) {
    return compressRaw(data.data(), clampLength(data.length()), level, raise);
}

RWCString ZLIB::compressRaw(const char* data, unsigned length, int level, int raise) {
    Stream stream(deflateEnd);
    z_stream& zs = stream.zs;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    zs.avail_in = length;
    if (deflateInit_(&zs, level, kZlibVersion, static_cast<int>(sizeof(z_stream))) != Z_OK)
        return RWCString();
    stream.started();

    // deflateBound is enough for the whole stream, so the capacity never has to grow.
    Sink sink(deflateBound(&zs, length), 0);
    int rc;
    for (;;) {
        sink.open(zs);
        const uInt inBefore = zs.avail_in;
        rc = deflate(&zs, Z_FINISH);
        const std::size_t produced = sink.keep(zs);
        if (rc == Z_OK) continue;  // the stretch filled up
        // No progress at all cannot get better by calling again.
        if (rc == Z_BUF_ERROR && (produced != 0 || zs.avail_in != inBefore)) continue;
        break;
    }
    const int endRc = stream.finish();
    if (endRc != Z_OK || rc != Z_STREAM_END) fail(kCompressFailure, raise);
    return sink.take();
}

RWCString ZLIB::decompress(const RWCString& data, int raise) {
    return decompressRaw(data.data(), clampLength(data.length()), raise);
}

RWCString ZLIB::decompressRaw(const char* data, unsigned length, int raise) {
    if (length == 0) return RWCString();
    Stream stream(inflateEnd);
    z_stream& zs = stream.zs;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    zs.avail_in = length;
    if (inflateInit_(&zs, kZlibVersion, static_cast<int>(sizeof(z_stream))) != Z_OK)
        return RWCString();
    stream.started();

    // Four times the input plus 500 bytes covers typical data in one go. A larger input first
    // restores one stretch, so that the capacity can then be set from the ratio seen while
    // little has to be moved; later growth is geometric, keeping what was already restored.
    Sink sink(std::min(static_cast<std::size_t>(length) * 4 + 500, kChunk), length);
    int rc;
    for (;;) {
        sink.open(zs);
        rc = inflate(&zs, Z_FINISH);
        if (sink.keep(zs) == 0) break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) break;
    }
    const int endRc = stream.finish();
    if (endRc != Z_OK || rc != Z_STREAM_END) fail(kDecompressFailure, raise);
    return sink.take();
}
