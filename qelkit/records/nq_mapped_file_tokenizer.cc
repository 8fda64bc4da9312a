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

// The first byte in [p, end) whose class is not ordinary, or end. The bytes of a non-ordinary
// class are exactly the delimiter, the newline and NUL, so whole 16-byte blocks are tested
// against those three at once; the tail goes through the class table. Never reads at or past
// end.
inline const char* skipOrdinary(const char* p, const char* end, const unsigned char* classes,
                                char delimiter) noexcept {
#if defined(__SSE2__)
    const __m128i delim = _mm_set1_epi8(delimiter);
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i nul = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, delim), _mm_cmpeq_epi8(block, newline)),
                         _mm_cmpeq_epi8(block, nul));
        const int mask = _mm_movemask_epi8(hits);
        if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#else
    (void)delimiter;
#endif
    while (p < end && classes[static_cast<unsigned char>(*p)] == 0) ++p;
    return p;
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
      _delimiter(delimiter) {
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

QelString NqMappedFileTokenizer::next() {
    const char* cursor = _current;
    const char* const dataEnd = _dataEnd;
    if (cursor == nullptr || cursor >= dataEnd || *cursor == '\0') {
        if (_first) {
            _first = 0;
        } else {
            _endOfLine = 1;
            _end = 1;
        }
        return QelString();
    }
    if (_first) {
        // A delimiter opening the file is not skipped: it ends an empty first field.
        _first = 0;
    } else if (*cursor == _delimiter) {
        ++cursor;
        if (_collapse)
            while (cursor < dataEnd && *cursor == _delimiter) ++cursor;
    }
    const char* const start = cursor;
    if (cursor < dataEnd && _classes[static_cast<unsigned char>(*cursor)] == kOrdinary)
        cursor = skipOrdinary(cursor + 1, dataEnd, _classes, _delimiter);
    _current = cursor;
    _endOfLine = (classAt(cursor) & kLineEnd) != 0 ? 1 : 0;
    return QelString(start, static_cast<std::size_t>(cursor - start));
}

void NqMappedFileTokenizer::nextLine() {
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
        ++cursor;
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
