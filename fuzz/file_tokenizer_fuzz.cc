// SPDX-License-Identifier: Apache-2.0
// Maps arbitrary file contents with NqMappedFileTokenizer and checks every call of a
// pseudo-random sequence of next() and nextLine() against a reference splitter that walks the
// same bytes by index (the end of the data reading as a NUL): the field, the end-of-line
// indicator and the end indicator must agree after each call, and an empty file must be refused
// with the mapping message.
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
#include "tests/records/reference_splitter.h"

namespace {

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
