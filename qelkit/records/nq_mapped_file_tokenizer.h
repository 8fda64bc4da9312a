// SPDX-License-Identifier: Apache-2.0
// NqMappedFileTokenizer: reads a delimited text file (one record per line, fields separated by
// one delimiter byte) field by field without copying it into memory. The whole file is mapped
// read-only and each field is cut straight from the mapping into a new QelString.
//
// Reading is forward only: next() yields the fields of the current line, then keeps returning
// empty strings with endOfLine() set until nextLine() moves to the next line. A NUL byte ends
// the data for next(); the end of the file acts as if a NUL stood just after its last byte. No
// byte outside the mapping is ever read. One object belongs to one thread at a time.
//
// The file must keep its size while it is mapped. If another process truncates it, reading a
// page that now lies wholly past the new end raises SIGBUS in the reading thread, whose
// default action ends the process; the bytes after the new end on the page that holds it read
// as NUL, so next() may first report the end of the data there. The class installs no signal
// handler and cannot turn the signal into an error. A program that reads files others may
// truncate either works on a copy, or installs its own SIGBUS handler that reports and ends
// the process with _exit() (returning from it repeats the access, throwing from it is
// undefined). A file replaced by renaming a new one over it is safe: the mapping keeps the old
// contents. Bytes changed in place by others may or may not be seen.
#ifndef QELKIT_RECORDS_NQ_MAPPED_FILE_TOKENIZER_H
#define QELKIT_RECORDS_NQ_MAPPED_FILE_TOKENIZER_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "qelkit/export.h"
#include "qelkit/strings/nq_tokenizer.h"
#include "qelkit/strings/qel_string.h"

class QELKIT_API NqMappedFileTokenizer : public NqTokenizer {
  public:
    // Opens and maps `fileName`; `delimiter` separates fields and a non-zero `collapse` makes a
    // run of delimiters separate like one. Throws NqException "Error opening file: <name>,
    // <reason>" when the file cannot be opened and "Error trying to mmap file: <name>, <reason>"
    // when it cannot be mapped (an empty file or a directory included); the descriptor is
    // closed before either is thrown. When fstat fails nothing is thrown: good() is 0 and every
    // field is empty.
    NqMappedFileTokenizer(const QelString& fileName, char delimiter, int collapse);
    // Unmaps the file and closes the descriptor.
    ~NqMappedFileTokenizer() override;
    NqMappedFileTokenizer(const NqMappedFileTokenizer&) = delete;
    NqMappedFileTokenizer& operator=(const NqMappedFileTokenizer&) = delete;

    // The next field of the current line, without its delimiter or newline; an empty string for
    // an empty field, at a line end (endOfLine() set, the cursor stays) and at the end of the
    // data (end() set). A carriage return before a newline stays in the last field. Defined
    // inline below: it runs once per field.
    QelString next() override;
    // Non-zero once next() or nextLine() has reached the end of the data; never cleared.
    int end() override { return _end; }
    // 1 when the file is mapped, 0 otherwise.
    int good() const noexcept { return _address != mapFailed() ? 1 : 0; }
    // Moves to the first field of the next line. A delimiter opening that line is taken as the
    // separator after a previous field, so only the first line of the file reports a leading
    // empty field. A NUL byte counts as a line end here. Defined inline below.
    void nextLine();
    // 1 when the field last returned ended a line (newline, NUL or the end of the data).
    int endOfLine() const noexcept { return _endOfLine; }

    // The whole mapped file, read-only, for code that reads the bytes itself (QelRecordReader
    // over [mappedData(), mappedData() + mappedSize()), say); null while nothing is mapped.
    // The bytes stay put for the life of the tokenizer, whatever next() and nextLine() do; no
    // NUL follows the last one. Reading them is open to the truncation hazard above.
    const char* mappedData() const noexcept {
        return good() ? static_cast<const char*>(_address) : nullptr;
    }
    // The number of mapped bytes (the file's size); 0 while nothing is mapped.
    std::size_t mappedSize() const noexcept { return good() ? static_cast<std::size_t>(_size) : 0; }

  private:
    // The failure value of mmap (all bits set), used while nothing is mapped; spelled out here
    // so that the public header needs no <sys/mman.h>.
    static void* mapFailed() noexcept {
        // NOLINTNEXTLINE(performance-no-int-to-ptr)
        return reinterpret_cast<void*>(~static_cast<uintptr_t>(0));
    }
    // Byte roles in _classes: a set bit of kLineEnd marks a byte that ends a line.
    enum : unsigned char { kOrdinary = 0, kDelimiter = 1, kNewline = 3, kNul = 7, kLineEnd = 6 };
    // The class of the byte at p, with the virtual NUL at the data end.
    unsigned char classAt(const char* p) const noexcept {
        return _classes[p < _dataEnd ? static_cast<unsigned char>(*p) : 0];
    }
    // The first byte at or after p (inside the mapping or at the data end) whose class is not
    // ordinary, or the data end. Works through windows of kWindow bytes, keeping the bits of the
    // field-ending bytes of the current one, so each byte is examined once however short the
    // fields are.
    const char* findFieldEnd(const char* p) noexcept {
        // The offset is taken on integers: before the first window is read, _window is null.
        const std::uintptr_t offset =
            reinterpret_cast<std::uintptr_t>(p) - reinterpret_cast<std::uintptr_t>(_window);
        if (offset < kWindow) {
            const std::uint64_t bits = _windowBits >> offset;
            if (bits != 0) return p + __builtin_ctzll(bits);
            if (_dataEnd - _window <= static_cast<std::ptrdiff_t>(kWindow)) return _dataEnd;
            p = _window + kWindow;
        }
        return findFieldEndAfterWindow(p);
    }
    // findFieldEnd() past the cached window: reads the following windows.
    const char* findFieldEndAfterWindow(const char* p) noexcept;
    static constexpr std::size_t kWindow = 64;
    // next() where the data has ended: clears the first-call flag if set, else sets end() and
    // endOfLine(); returns an empty string.
    QelString atEndOfData() noexcept;
    // nextLine() in every case but the common one.
    void advanceLine() noexcept;

    QelString _fileName;
    void* _address;
    const char* _current;
    const char* _dataEnd;
    unsigned char _endOfLine;
    unsigned char _first;
    int _end;
    int _collapse;
    off_t _size;
    int _fd;
    char _delimiter;
    unsigned char _classes[256];
    // The window last examined by findFieldEnd() and its field-ending bytes, bit i for
    // _window[i]; bits past the data end are clear.
    const char* _window;
    std::uint64_t _windowBits;
};

inline QelString NqMappedFileTokenizer::next() {
    const char* cursor = _current;
    // While nothing is mapped, the cursor and the data end are both null.
    if (__builtin_expect(cursor >= _dataEnd || *cursor == '\0', 0)) return atEndOfData();
    if (__builtin_expect(_first, 0)) {
        // A delimiter opening the file is not skipped: it ends an empty first field.
        _first = 0;
    } else if (*cursor == _delimiter) {
        ++cursor;
        if (_collapse)
            while (cursor < _dataEnd && *cursor == _delimiter) ++cursor;
    }
    const char* const start = cursor;
    cursor = findFieldEnd(cursor);
    _current = cursor;
    _endOfLine = (classAt(cursor) & kLineEnd) != 0 ? 1 : 0;
    return QelString(start, static_cast<std::size_t>(cursor - start));
}

inline void NqMappedFileTokenizer::nextLine() {
    const char* const cursor = _current;
    // The common case: the cursor rests on the newline that ended the last field, and more data
    // follows it. (While nothing is mapped both pointers are null and the difference is 0.)
    if (_dataEnd - cursor > 1 && !_collapse &&
        (_classes[static_cast<unsigned char>(*cursor)] & kLineEnd) != 0) {
        _current = cursor + 1;
        _endOfLine = 0;
        return;
    }
    advanceLine();
}

#endif  // QELKIT_RECORDS_NQ_MAPPED_FILE_TOKENIZER_H
