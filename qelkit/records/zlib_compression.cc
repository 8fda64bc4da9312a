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
const std::size_t kChunk = std::size_t{256} * 1024;

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

// The input, handed to the coder at most kChunk bytes at a time, so that a length of any
// size passes through the coder's 32-bit counters.
class Source {
  public:
    Source(const char* data, std::size_t length) noexcept : next_(data), left_(length) {}
    // Refills the coder's input when it is used up; true once the last piece is handed over.
    bool feed(z_stream& zs) noexcept {
        if (zs.avail_in == 0 && left_ != 0) {
            const std::size_t n = std::min(left_, kChunk);
            zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(next_));
            zs.avail_in = static_cast<uInt>(n);
            next_ += n;
            left_ -= n;
        }
        return left_ == 0;
    }
    // Bytes of input the coder has not consumed yet.
    std::size_t remaining(const z_stream& zs) const noexcept { return left_ + zs.avail_in; }

  private:
    const char* next_;
    std::size_t left_;
};

// The result string, written in place: the coder writes straight into its unused capacity,
// which is lengthened with blanks before each call and cut back to the bytes produced after it
// (a string can only be lengthened by filling), so no separate output buffer is copied.
class Sink {
  public:
    // `inputLength` (0 when unknown) lets a full result grow to the size the ratio of output
    // made to input consumed so far predicts, instead of only doubling. The result never
    // grows past `limit` bytes.
    Sink(std::size_t capacity, std::size_t inputLength, std::size_t limit)
        : out_(RWSize_T(std::min(capacity, limit))), inputLength_(inputLength), limit_(limit) {}

    // Opens a fresh stretch of the result to `zs`, growing the capacity when it is full;
    // `remaining` is the input not consumed yet. False when the result has reached the limit.
    bool open(z_stream& zs, std::size_t remaining) {
        if (used_ == limit_) return false;
        std::size_t cap = out_.capacity();
        if (cap == used_) {
            std::size_t grown = std::max<std::size_t>(cap * 2, used_ + 64);
            const std::size_t consumed = inputLength_ - remaining;
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
            cap = std::min(grown, limit_);
            out_.capacity(cap);
        }
        room_ = std::min(cap - used_, kChunk);
        out_.resize(used_ + room_);
        zs.next_out = reinterpret_cast<Bytef*>(&out_(used_));
        zs.avail_out = static_cast<uInt>(room_);
        return true;
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
    std::size_t limit_;
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

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

RWCString compressBytes(const char* data, std::size_t length, int level, int raise) {
    Stream stream(deflateEnd);
    z_stream& zs = stream.zs;
    if (deflateInit_(&zs, level, kZlibVersion, static_cast<int>(sizeof(z_stream))) != Z_OK)
        return RWCString();
    stream.started();

    // deflateBound is enough for the whole stream, so the capacity never has to grow.
    Source source(data, length);
    Sink sink(deflateBound(&zs, length), 0, kNoLimit);
    int rc;
    for (;;) {
        const bool last = source.feed(zs);
        sink.open(zs, source.remaining(zs));
        const uInt inBefore = zs.avail_in;
        // Fed in pieces, deflate writes the same stream as for the whole input at once.
        rc = deflate(&zs, last ? Z_FINISH : Z_NO_FLUSH);
        const std::size_t produced = sink.keep(zs);
        if (rc == Z_OK) continue;  // the stretch filled up, or the piece was consumed
        // No progress at all cannot get better by calling again.
        if (rc == Z_BUF_ERROR && (produced != 0 || zs.avail_in != inBefore)) continue;
        break;
    }
    const int endRc = stream.finish();
    if (endRc != Z_OK || rc != Z_STREAM_END) fail(kCompressFailure, raise);
    return sink.take();
}

RWCString decompressBytes(const char* data, std::size_t length, int raise, std::size_t limit) {
    if (length == 0) return RWCString();
    Stream stream(inflateEnd);
    z_stream& zs = stream.zs;
    if (inflateInit_(&zs, kZlibVersion, static_cast<int>(sizeof(z_stream))) != Z_OK)
        return RWCString();
    stream.started();

    // Four times the input plus 500 bytes covers typical data in one go. A larger input first
    // restores one stretch, so that the capacity can then be set from the ratio seen while
    // little has to be moved; later growth is geometric, keeping what was already restored.
    // One byte past the limit tells a result that would exceed it from one that fills it.
    const std::size_t cap = length > (kChunk - 500) / 4 ? kChunk : length * 4 + 500;
    Source source(data, length);
    Sink sink(cap, length, limit == kNoLimit ? limit : limit + 1);
    int rc = Z_OK;
    bool overLimit = false;
    for (;;) {
        source.feed(zs);
        if (!sink.open(zs, source.remaining(zs))) {
            overLimit = true;
            break;
        }
        const uInt inBefore = zs.avail_in;
        rc = inflate(&zs, Z_NO_FLUSH);
        const std::size_t produced = sink.keep(zs);
        if (rc != Z_OK && rc != Z_BUF_ERROR) break;
        if (produced == 0 && zs.avail_in == inBefore) break;  // truncated: no progress
    }
    // Bytes after the end of the stream (a second stream, garbage) make the input corrupt.
    const bool trailing = rc == Z_STREAM_END && source.remaining(zs) != 0;
    const int endRc = stream.finish();
    RWCString out = sink.take();
    if (overLimit || out.length() > limit) {
        overLimit = true;
        out.resize(limit);
    }
    if (endRc != Z_OK || rc != Z_STREAM_END || trailing || overLimit)
        fail(kDecompressFailure, raise);
    return out;
}

}  // namespace

RWCString ZLIB::compress(const RWCString& data, int level, int raise) {
    return compressBytes(data.data(), data.length(), level, raise);
}

RWCString ZLIB::compressRaw(const char* data, unsigned length, int level, int raise) {
    return compressBytes(data, length, level, raise);
}

RWCString ZLIB::decompress(const RWCString& data, int raise) {
    return decompressBytes(data.data(), data.length(), raise, kNoLimit);
}

RWCString ZLIB::decompress(const RWCString& data, int raise, std::size_t limit) {
    return decompressBytes(data.data(), data.length(), raise, limit);
}

RWCString ZLIB::decompressRaw(const char* data, unsigned length, int raise) {
    return decompressBytes(data, length, raise, kNoLimit);
}

RWCString ZLIB::decompressRaw(const char* data, unsigned length, int raise, std::size_t limit) {
    return decompressBytes(data, length, raise, limit);
}
