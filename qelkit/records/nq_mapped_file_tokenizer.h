// SPDX-License-Identifier: Apache-2.0
// NqMappedFileTokenizer: reads a delimited text file (one record per line, fields separated by
// one delimiter byte) field by field without copying it into memory. The whole file is mapped
// read-only and each field is cut straight from the mapping into a new QelString.
//
// Reading is forward only: next() yields the fields of the current line, then keeps returning
// empty strings with endOfLine() set until nextLine() moves to the next line. A NUL byte ends
// the data for next(); the end of the file acts as if a NUL stood just after its last byte. No
// byte outside the mapping is ever read. One object belongs to one thread at a time.
#ifndef QELKIT_RECORDS_NQ_MAPPED_FILE_TOKENIZER_H
#define QELKIT_RECORDS_NQ_MAPPED_FILE_TOKENIZER_H

#include <sys/types.h>

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
    // data (end() set). A carriage return before a newline stays in the last field.
    QelString next() override;
    // Non-zero once next() or nextLine() has reached the end of the data; never cleared.
    int end() override { return _end; }
    // 1 when the file is mapped, 0 otherwise.
    int good() const noexcept { return _address != mapFailed() ? 1 : 0; }
    // Moves to the first field of the next line. A delimiter opening that line is taken as the
    // separator after a previous field, so only the first line of the file reports a leading
    // empty field. A NUL byte counts as a line end here.
    void nextLine();
    // 1 when the field last returned ended a line (newline, NUL or the end of the data).
    int endOfLine() const noexcept { return _endOfLine; }

  private:
    // The failure value of mmap (all bits set), used while nothing is mapped.
    static void* mapFailed() noexcept {
        return reinterpret_cast<void*>(~static_cast<uintptr_t>(0));
    }
    // Byte roles in _classes: a set bit of kLineEnd marks a byte that ends a line.
    enum : unsigned char { kOrdinary = 0, kDelimiter = 1, kNewline = 3, kNul = 7, kLineEnd = 6 };
    // The class of the byte at p, with the virtual NUL at the data end.
    unsigned char classAt(const char* p) const noexcept {
        return _classes[p < _dataEnd ? static_cast<unsigned char>(*p) : 0];
    }

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
};

#endif  // QELKIT_RECORDS_NQ_MAPPED_FILE_TOKENIZER_H
