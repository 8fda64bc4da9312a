// SPDX-License-Identifier: Apache-2.0
// Maps arbitrary file contents with NqMappedFileTokenizer and checks every call of a
// pseudo-random sequence of next() and nextLine() against a reference splitter that walks the
// same bytes by index (the end of the data reading as a NUL): the field, the end-of-line
// indicator and the end indicator must agree after each call, the mapping must hold the file's
// bytes, and an empty file must be refused with the mapping message. The corpus holds files of
// a page and around it, with fields longer than the tokenizer's scan windows.
//
// Input: [control: bits 0-1 pick the delimiter (',', ';', newline, NUL), bit 2 collapse,
//         bits 3-7 seed the call sequence][file contents...]
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "qelkit/records/nq_exception.h"
#include "qelkit/records/nq_mapped_file_tokenizer.h"

namespace {

// The tokenizer's rules over an index into the text, where the end of the data reads as a NUL
// and the index may step past it.
struct Reference {
    std::string d;
    char delim;
    bool collapse;
    std::size_t cur = 0;
    bool first = true, eol = false, end = false;

    int cls(std::size_t i) const {
        const char c = i < d.size() ? d[i] : '\0';
        return c == delim ? 1 : c == '\n' ? 3 : c == '\0' ? 7 : 0;
    }
    std::string next() {
        if (cur >= d.size() || d[cur] == '\0') {
            if (!first) eol = end = true;
            first = false;
            return "";
        }
        if (!first && d[cur] == delim)
            for (++cur; collapse && cur < d.size() && d[cur] == delim;) ++cur;
        first = false;
        const std::size_t start = cur;
        while (cls(cur) == 0) ++cur;
        eol = (cls(cur) & 6) != 0;
        return d.substr(start, cur - start);
    }
    void nextLine() {
        while (cur < d.size() && (cls(cur) & 6) == 0) ++cur;
        for (++cur, eol = false; collapse && cur < d.size() && d[cur] == delim;) ++cur;
        if (cur == d.size()) eol = end = true;
    }
};

// An in-memory file reachable by path, so no temporary files pile up.
int memoryFile(const uint8_t* data, std::size_t size) {
    const int fd = memfd_create("file_tokenizer_fuzz", 0);
    if (fd == -1) return -1;
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) {
            close(fd);
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const char delims[] = {',', ';', '\n', '\0'};
    const char delim = delims[data[0] & 3];
    const bool collapse = (data[0] & 4) != 0;
    uint32_t rng = (data[0] >> 3) * 2654435761u + static_cast<uint32_t>(size) + 1;
    const int fd = memoryFile(data + 1, size - 1);
    if (fd == -1) return 0;
    const QelString path("/proc/self/fd/" + std::to_string(fd));
    try {
        NqMappedFileTokenizer tok(path, delim, collapse);
        check(size > 1 && tok.good() == 1);
        Reference ref{std::string(reinterpret_cast<const char*>(data + 1), size - 1), delim,
                      collapse};
        check(std::string(tok.mappedData(), tok.mappedSize()) == ref.d);
        for (std::size_t call = 0; call < 3 * size + 8; ++call) {
            rng = rng * 1664525u + 1013904223u;
            if ((rng >> 24) % 5 == 0) {
                tok.nextLine();
                ref.nextLine();
            } else {
                const QelString field = tok.next();
                check(ref.next() == std::string(field.data(), field.length()));
            }
            check(tok.endOfLine() == int(ref.eol) && tok.end() == int(ref.end));
        }
    } catch (const NqException& e) {
        check(size == 1 &&
              std::string(e.why()).rfind(
                  "Error trying to mmap file: " + std::string(path.data()) + ", ", 0) == 0);
    }
    close(fd);
    return 0;
}
