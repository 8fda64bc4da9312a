// SPDX-License-Identifier: Apache-2.0
// The input side of qelkit-agg: a regular file (named, or redirected to standard input) is
// mapped whole; pipes, FIFOs, devices, files that cannot be mapped and gzip data (recognised by
// its first two bytes, decoded with zlib's streaming interface) are read as streams, a block at
// a time.
//
// A mapped file that shrinks while it is read, or whose pages cannot be read from the disk,
// raises SIGBUS on the first access to such a page. BusErrorGuard turns that into a message
// and exit status 2: its handler writes a text prepared beforehand and calls _exit, both
// async-signal-safe, whichever thread faults.
#ifndef QELKIT_TOOLS_QELKIT_AGG_INPUT_H
#define QELKIT_TOOLS_QELKIT_AGG_INPUT_H

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A read-only mapping of a whole open file; unmapped by the destructor.
class MappedFile {
  public:
    // Maps `size` bytes (more than 0) of `fd`; null when the file cannot be mapped (it is then
    // read as a stream).
    static std::unique_ptr<MappedFile> open(int fd, std::size_t size) noexcept;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const char* data() const noexcept { return _data; }
    std::size_t size() const noexcept { return _size; }
    // Maps the pages of bytes [from, to) in one call where the kernel can (Linux 5.14), which
    // costs less than faulting them in one by one; a hint, its failure is ignored.
    void populate(std::size_t from, std::size_t to) const noexcept;
    // Drops the mapped pages that lie wholly inside bytes [from, to), so that unmapping the
    // file at the end costs little: threads release the parts they have read, in parallel. The
    // bytes stay readable (a later access reads them from the file again); a hint, its failure
    // is ignored.
    void release(std::size_t from, std::size_t to) const noexcept;

  private:
    MappedFile(const char* data, std::size_t size) noexcept : _data(data), _size(size) {}

    const char* _data;
    std::size_t _size;
};

// While it lives, a SIGBUS the kernel raises for an access to [begin, begin + size) writes
// `message` to standard error and ends the process with status 2; any other SIGBUS, a fault
// elsewhere or one sent by kill(2), keeps its default action. One guard at a time.
class BusErrorGuard {
  public:
    BusErrorGuard(const char* begin, std::size_t size, const std::string& message);
    ~BusErrorGuard();
    BusErrorGuard(const BusErrorGuard&) = delete;
    BusErrorGuard& operator=(const BusErrorGuard&) = delete;
};

// What the first bytes of an input (at least 6 of them, unless the input is shorter) show it
// to be when it is data qelkit-agg does not read: "UTF-16 text", "xz-compressed data"; else
// null.
const char* unreadableData(const char* data, std::size_t size) noexcept;

// The bytes of a descriptor that is read front to back, gunzipped when they start with the
// gzip magic bytes. As for gzip -d, several gzip members one after another are one stream, and
// zero bytes after the last member (padding) are ignored.
class StreamInput {
  public:
    // Reads the first bytes of `fd` to look for the gzip magic. `name` is used in messages.
    // Throws AggError.
    StreamInput(int fd, const std::string& name);
    ~StreamInput();
    StreamInput(const StreamInput&) = delete;
    StreamInput& operator=(const StreamInput&) = delete;

    bool gzip() const noexcept { return _gzip; }
    // Stores up to `max` (more than 0) bytes of the data at `out`. Returns how many; 0 only
    // at the end. Throws AggError on a read error or corrupt or truncated gzip data.
    std::size_t read(char* out, std::size_t max);
    // Bytes taken from the descriptor so far.
    std::uint64_t consumed() const noexcept { return _consumed; }

  private:
    bool fill();  // more raw bytes into _in; false at the end of the descriptor
    // After a gzip member: starts the next one; false at the end of the data (zero padding
    // read). Throws AggError on anything else.
    bool nextMember();
    // One read(2) of up to `max` bytes into `out`, again when a signal interrupts it.
    std::size_t readRaw(char* out, std::size_t max);

    int _fd;
    std::string _name;
    bool _gzip = false;
    bool _ended = false;  // the descriptor reached its end
    bool _memberDone = false;
    std::unique_ptr<z_stream> _zlib;
    std::unique_ptr<unsigned char[]> _in;
    std::size_t _inStart = 0;
    std::size_t _inEnd = 0;
    std::uint64_t _consumed = 0;
};

#endif  // QELKIT_TOOLS_QELKIT_AGG_INPUT_H
