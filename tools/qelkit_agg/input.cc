// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/input.h"

#include <signal.h>  // NOLINT(modernize-deprecated-headers): sigaction and siginfo_t are POSIX
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

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
    if (address >= guardBegin && address < guardBegin + guardSize) {
        // Several threads may fault at once: one writes the message and ends the process,
        // the others wait for that.
        if (guardFired.test_and_set()) {
            while (true) ::pause();
        }
        ssize_t ignored = ::write(STDERR_FILENO, guardMessage, guardMessageSize);
        (void)ignored;
        _exit(2);
    }
    // Not ours: the default action, on return the access faults again.
    ::signal(sig, SIG_DFL);
}

std::string reason(int error) { return std::strerror(error); }

std::size_t pageSize() noexcept {
    static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

}  // namespace

MappedFile::MappedFile(int fd, std::size_t size, const std::string& name) : _size(size) {
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED) throw InputError("cannot read '" + name + "': " + reason(errno));
    _data = static_cast<const char*>(data);
    ::madvise(data, size, MADV_SEQUENTIAL);
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

StreamInput::StreamInput(int fd, const std::string& name)
    : _fd(fd), _name(name), _in(new unsigned char[RAW_BLOCK]) {
    while (_inEnd < 2 && fill()) {
    }
    _gzip = _inEnd >= 2 && _in[0] == 0x1F && _in[1] == 0x8B;
    if (!_gzip) return;
    _zlib = std::make_unique<z_stream>();
    if (inflateInit2(_zlib.get(), 16 + MAX_WBITS) != Z_OK) {
        _zlib.reset();
        throw InputError(_name + ": cannot start the gzip decoder");
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
    if (n < 0) throw InputError("cannot read '" + _name + "': " + reason(errno));
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
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = static_cast<uInt>(std::min<std::size_t>(max, 1u << 30));
    while (z.avail_out != 0) {
        if (_inStart == _inEnd && !fill()) {
            if (!_memberDone) throw InputError(_name + ": the compressed data ends early");
            break;
        }
        if (_memberDone) {
            // Another member may follow; anything else is not gzip data.
            while (_inEnd - _inStart < 2 && fill()) {
            }
            if (_inEnd - _inStart < 2 || _in[_inStart] != 0x1F || _in[_inStart + 1] != 0x8B)
                throw InputError(_name + ": trailing data after the compressed data");
            inflateReset(&z);
            _memberDone = false;
        }
        z.next_in = _in.get() + _inStart;
        z.avail_in = static_cast<uInt>(_inEnd - _inStart);
        const int status = inflate(&z, Z_NO_FLUSH);
        _inStart = _inEnd - z.avail_in;
        if (status == Z_STREAM_END) {
            _memberDone = true;
        } else if (status != Z_OK && status != Z_BUF_ERROR) {
            throw InputError(_name + ": the compressed data is corrupt" +
                             (z.msg != nullptr ? std::string(" (") + z.msg + ")" : ""));
        }
    }
    return max - z.avail_out;
}
