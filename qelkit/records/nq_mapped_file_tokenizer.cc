// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/nq_mapped_file_tokenizer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "qelkit/records/nq_exception.h"

namespace {

// Owns a descriptor until release(): the constructor can throw after open succeeded.
class DescriptorOwner {
  public:
    explicit DescriptorOwner(int fd) noexcept : fd_(fd) {}
    ~DescriptorOwner() {
        if (fd_ != -1) ::close(fd_);
    }
    DescriptorOwner(const DescriptorOwner&) = delete;
    DescriptorOwner& operator=(const DescriptorOwner&) = delete;
    int get() const noexcept { return fd_; }
    int release() noexcept {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

// `what` + name + ", " + the system's reason for `err` (left out when strerror has none).
QelString failureText(const char* what, const QelString& name, int err) {
    QelString text(what);
    text.append(name);
    if (const char* reason = std::strerror(err)) {
        text.append(", ");
        text.append(reason);
    }
    return text;
}

// The bits of the bytes in [p, p + 64) that end a field: bit i is set when p[i] is the
// delimiter, a newline or NUL, exactly the bytes whose class is not ordinary. The caller
// guarantees that all 64 bytes lie inside the mapping.
inline std::uint64_t fieldEndBits(const char* p, char delimiter,
                                  const unsigned char* classes) noexcept {
#if defined(__SSE2__)
    (void)classes;
    const __m128i delim = _mm_set1_epi8(delimiter);
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i nul = _mm_setzero_si128();
    std::uint64_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i block =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + std::ptrdiff_t{16} * i));
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, delim), _mm_cmpeq_epi8(block, newline)),
                         _mm_cmpeq_epi8(block, nul));
        bits |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hits)))
                << (16 * i);
    }
    return bits;
#else
    (void)delimiter;
    std::uint64_t bits = 0;
    for (int i = 0; i < 64; ++i)
        bits |= static_cast<std::uint64_t>(classes[static_cast<unsigned char>(p[i])] != 0) << i;
    return bits;
#endif
}

}  // namespace

NqMappedFileTokenizer::NqMappedFileTokenizer(const QelString& fileName, char delimiter,
                                             int collapse)
    : _fileName(fileName),
      _address(mapFailed()),
      _current(nullptr),
      _dataEnd(nullptr),
      _endOfLine(0),
      _first(1),
      _end(0),
      _collapse(collapse),
      _size(0),
      _fd(-1),
      _delimiter(delimiter),
      _window(nullptr),
      _windowBits(0) {
    // Filled in this order so that a delimiter equal to newline or NUL loses its line-end role.
    std::memset(_classes, kOrdinary, sizeof _classes);
    _classes[static_cast<unsigned char>('\n')] = kNewline;
    _classes[0] = kNul;
    _classes[static_cast<unsigned char>(delimiter)] = kDelimiter;

    DescriptorOwner fd(::open(_fileName.data(), O_RDONLY));
    if (fd.get() == -1) throw NqException(failureText("Error opening file: ", _fileName, errno));

    struct stat info;
    if (::fstat(fd.get(), &info) != 0) {
        // Nothing mapped: the tokenizer yields only empty strings; the descriptor stays ours.
        _fd = fd.release();
        return;
    }
    _size = info.st_size;
    void* address =
        ::mmap(nullptr, static_cast<std::size_t>(_size), PROT_READ, MAP_PRIVATE, fd.get(), 0);
    if (address == MAP_FAILED)
        throw NqException(failureText("Error trying to mmap file: ", _fileName, errno));
    _address = address;
    _fd = fd.release();
    _current = static_cast<const char*>(address);
    _dataEnd = _current + _size;
}

NqMappedFileTokenizer::~NqMappedFileTokenizer() {
    if (_address != mapFailed()) ::munmap(_address, static_cast<std::size_t>(_size));
    if (_fd != -1) ::close(_fd);
}

const char* NqMappedFileTokenizer::findFieldEndAfterWindow(const char* p) noexcept {
    const char* const dataEnd = _dataEnd;
    while (dataEnd - p >= static_cast<std::ptrdiff_t>(kWindow)) {
        const std::uint64_t bits = fieldEndBits(p, _delimiter, _classes);
        _window = p;
        _windowBits = bits;
        if (bits != 0) return p + __builtin_ctzll(bits);
        p += kWindow;
    }
    if (p >= dataEnd) return dataEnd;
    // Fewer than 64 bytes left: the last window is built byte by byte, so nothing past the data
    // end is read, and its bits past the data end stay clear.
    std::uint64_t bits = 0;
    for (std::size_t i = 0; p + i < dataEnd; ++i)
        bits |= static_cast<std::uint64_t>(_classes[static_cast<unsigned char>(p[i])] != 0) << i;
    _window = p;
    _windowBits = bits;
    return bits != 0 ? p + __builtin_ctzll(bits) : dataEnd;
}

QelString NqMappedFileTokenizer::atEndOfData() noexcept {
    if (_first) {
        _first = 0;
    } else {
        _endOfLine = 1;
        _end = 1;
    }
    return QelString();
}

void NqMappedFileTokenizer::advanceLine() noexcept {
    const char* cursor = _current;
    const char* const dataEnd = _dataEnd;
    _endOfLine = 0;
    if (cursor == nullptr || cursor >= dataEnd) {
        // Already at or past the end: the step past the line end leaves the cursor past the
        // data end, where next() reports the end. The cursor is kept at the data end, which
        // next() treats the same.
        return;
    }
    while (cursor < dataEnd && (_classes[static_cast<unsigned char>(*cursor)] & kLineEnd) == 0)
        cursor = findFieldEnd(cursor + 1);
    if (cursor == dataEnd) {
        // The last line has no line end: one step past it is beyond the data end.
        _current = cursor;
        return;
    }
    ++cursor;  // past the newline or NUL
    if (_collapse)
        while (cursor < dataEnd && *cursor == _delimiter) ++cursor;
    _current = cursor;
    if (cursor == dataEnd) {
        _endOfLine = 1;
        _end = 1;
    }
}
