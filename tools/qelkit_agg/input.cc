// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/input.h"

#include <signal.h>  // NOLINT(modernize-deprecated-headers): sigaction and siginfo_t are POSIX
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <new>

#include "tools/qelkit_agg/agg_error.h"

namespace {

constexpr std::size_t RAW_BLOCK = 1 << 18;

// What the SIGBUS handler needs, set before it is installed and read only inside it.
const char* guardBegin = nullptr;
std::size_t guardSize = 0;
char guardMessage[4096];
std::size_t guardMessageSize = 0;
struct sigaction previousAction;
std::atomic_flag guardFired = ATOMIC_FLAG_INIT;  // lock-free, so usable in a handler

void onBusError(int sig, siginfo_t* info, void*) {
    const auto* address = static_cast<const char*>(info->si_addr);
    // si_code > 0: raised by the kernel for a fault, so si_addr is the address that faulted.
    if (info->si_code > 0 && address >= guardBegin && address < guardBegin + guardSize) {
        // Several threads may fault at once: one writes the message and ends the process,
        // the others wait for that.
        if (guardFired.test_and_set()) {
            while (true) ::pause();
        }
        ssize_t ignored = ::write(STDERR_FILENO, guardMessage, guardMessageSize);
        (void)ignored;
        _exit(2);
    }
    // Not ours: the default action. On return a fault happens again; a signal sent by a
    // process is sent again, and stays pending until the handler returns.
    ::signal(sig, SIG_DFL);
    if (info->si_code <= 0) ::raise(sig);
}

std::string reason(int error) { return std::strerror(error); }

std::size_t pageSize() noexcept {
    static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

}  // namespace

std::unique_ptr<MappedFile> MappedFile::open(int fd, std::size_t size) noexcept {
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED) return nullptr;
    ::madvise(data, size, MADV_SEQUENTIAL);
    std::unique_ptr<MappedFile> map(new (std::nothrow)
                                        MappedFile(static_cast<const char*>(data), size));
    if (!map) ::munmap(data, size);
    return map;
}

MappedFile::~MappedFile() { ::munmap(const_cast<char*>(_data), _size); }

void MappedFile::populate(std::size_t from, std::size_t to) const noexcept {
#if defined(MADV_POPULATE_READ)
    const std::size_t page = pageSize();
    from -= from % page;
    to = std::min(to, _size);
    if (from < to) ::madvise(const_cast<char*>(_data) + from, to - from, MADV_POPULATE_READ);
#else
    (void)from;
    (void)to;
#endif
}

void MappedFile::release(std::size_t from, std::size_t to) const noexcept {
    const std::size_t page = pageSize();
    from = (from + page - 1) / page * page;
    to = std::min(to, _size) / page * page;
    if (from < to) ::madvise(const_cast<char*>(_data) + from, to - from, MADV_DONTNEED);
}

BusErrorGuard::BusErrorGuard(const char* begin, std::size_t size, const std::string& message) {
    guardBegin = begin;
    guardSize = size;
    guardMessageSize = std::min(message.size(), sizeof guardMessage);
    std::memcpy(guardMessage, message.data(), guardMessageSize);
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousAction);
}

BusErrorGuard::~BusErrorGuard() { ::sigaction(SIGBUS, &previousAction, nullptr); }

const char* unreadableData(const char* text, std::size_t size) noexcept {
    const auto* data = reinterpret_cast<const unsigned char*>(text);
    auto starts = [data, size](std::initializer_list<unsigned char> magic) {
        return size >= magic.size() && std::equal(magic.begin(), magic.end(), data);
    };
    if (starts({0xFF, 0xFE, 0, 0}) || starts({0, 0, 0xFE, 0xFF})) return "UTF-32 text";
    if (starts({0xFF, 0xFE}) || starts({0xFE, 0xFF})) return "UTF-16 text";
    if (starts({'B', 'Z', 'h'})) return "bzip2-compressed data";
    if (starts({0xFD, '7', 'z', 'X', 'Z', 0})) return "xz-compressed data";
    if (starts({0x28, 0xB5, 0x2F, 0xFD})) return "zstd-compressed data";
    return nullptr;
}

StreamInput::StreamInput(int fd, const std::string& name)
    : _fd(fd), _name(name), _in(new unsigned char[RAW_BLOCK]) {
    while (_inEnd < 2 && fill()) {
    }
    _gzip = _inEnd >= 2 && _in[0] == 0x1F && _in[1] == 0x8B;
    if (!_gzip) return;
    _zlib = std::make_unique<z_stream>();
    if (inflateInit2(_zlib.get(), 16 + MAX_WBITS) != Z_OK) {
        _zlib.reset();
        throw AggError(_name + ": cannot start the gzip decoder");
    }
}

StreamInput::~StreamInput() {
    if (_zlib) inflateEnd(_zlib.get());
}

std::size_t StreamInput::readRaw(char* out, std::size_t max) {
    ssize_t n;
    do {
        n = ::read(_fd, out, max);
    } while (n < 0 && errno == EINTR);
    if (n < 0) throw AggError("cannot read '" + _name + "': " + reason(errno));
    _consumed += static_cast<std::uint64_t>(n);
    _ended = n == 0;
    return static_cast<std::size_t>(n);
}

bool StreamInput::fill() {
    if (_ended) return false;
    if (_inStart > 0) {
        std::memmove(_in.get(), _in.get() + _inStart, _inEnd - _inStart);
        _inEnd -= _inStart;
        _inStart = 0;
    }
    _inEnd += readRaw(reinterpret_cast<char*>(_in.get()) + _inEnd, RAW_BLOCK - _inEnd);
    return !_ended;
}

std::size_t StreamInput::read(char* out, std::size_t max) {
    if (!_gzip) {
        if (_inStart < _inEnd) {
            const std::size_t n = std::min(max, _inEnd - _inStart);
            std::memcpy(out, _in.get() + _inStart, n);
            _inStart += n;
            return n;
        }
        return _ended ? 0 : readRaw(out, max);
    }
    z_stream& z = *_zlib;
    const std::size_t wanted = std::min<std::size_t>(max, 1u << 30);
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = static_cast<uInt>(wanted);
    while (z.avail_out != 0) {
        if (_memberDone && !nextMember()) break;
        if (_inStart == _inEnd && !fill())
            throw AggError(_name + ": the compressed data ends early");
        z.next_in = _in.get() + _inStart;
        z.avail_in = static_cast<uInt>(_inEnd - _inStart);
        const int status = inflate(&z, Z_NO_FLUSH);
        _inStart = _inEnd - z.avail_in;
        if (status == Z_STREAM_END) {
            _memberDone = true;
        } else if (status != Z_OK && status != Z_BUF_ERROR) {
            throw AggError(_name + ": the compressed data is corrupt" +
                           (z.msg != nullptr ? std::string(" (") + z.msg + ")" : ""));
        }
    }
    return wanted - z.avail_out;
}

bool StreamInput::nextMember() {
    while (_inEnd - _inStart < 2 && fill()) {
    }
    if (_inStart == _inEnd) return false;
    if (_in[_inStart] == 0) {
        do {
            for (; _inStart < _inEnd; ++_inStart)
                if (_in[_inStart] != 0)
                    throw AggError(_name + ": trailing data after the compressed data");
        } while (fill());
        return false;
    }
    if (_inEnd - _inStart < 2 || _in[_inStart] != 0x1F || _in[_inStart + 1] != 0x8B)
        throw AggError(_name + ": trailing data after the compressed data");
    inflateReset(_zlib.get());
    _memberDone = false;
    return true;
}
