// SPDX-License-Identifier: Apache-2.0
// The output side of qelkit-agg: where its lines go (standard output, or one zlib or gzip
// stream into a file that replaces FILE only when the run succeeds), and how fields, numbers,
// times and quoted input are written.
//
// Fields in the default TSV format are escaped as in PostgreSQL's COPY text format: a
// backslash as \\, a tab as \t, a line feed as \n, a carriage return as \r; nothing else
// changes. In CSV (RFC 4180) a field holding ',', '"', a line feed or a carriage return is
// enclosed in '"', with each '"' doubled. Lines end with a line feed in both.
#ifndef QELKIT_TOOLS_QELKIT_AGG_OUTPUT_H
#define QELKIT_TOOLS_QELKIT_AGG_OUTPUT_H

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "qelkit/foundation/rw_zone.h"
#include "tools/qelkit_agg/agg_options.h"

// Appends `field` to `out` in `format`.
void appendField(std::string& out, std::string_view field, OutputFormat format);
// Appends `text` as a JSON string (RFC 8259): quoted, with '"', '\\' and control characters
// escaped; a byte that is not part of valid UTF-8 becomes U+FFFD.
void appendJsonString(std::string& out, std::string_view text);
// Appends the wall-clock reading in `zone` of the POSIX instant `utc`, as "%Y-%m-%d %H:%M:%S".
void appendLocalTime(std::string& out, std::int64_t utc, const RWZone& zone);
// `field` as a message shows it: escaped as in TSV, cut after about 80 bytes with "...".
std::string shownField(std::string_view field);
// Writes all `size` bytes at `data` to `fd`, again after interruptions. Returns 0, or the
// errno of the failure.
int writeFully(int fd, const char* data, std::size_t size) noexcept;

// A buffered writer to a descriptor, or through zlib (raw zlib or gzip format) into a file. The
// first failure is kept: later writes do nothing, and finish() throws it as an AggError.
class OutputSink {
  public:
    // How a file is written: as it is, as one raw zlib stream, or as one gzip member.
    enum Packing { Plain, Zlib, Gzip };

    // Standard output.
    OutputSink();
    // The open descriptor `fd`, which the sink then owns, written with `packing`; `path` names
    // the file in messages.
    OutputSink(int fd, Packing packing, const std::string& path);
    ~OutputSink();
    OutputSink(const OutputSink&) = delete;
    OutputSink& operator=(const OutputSink&) = delete;

    void write(std::string_view text);
    // Writes what is buffered (and the end of the zlib stream). Throws AggError("cannot write
    // to standard output: No space left on device") for the first failure.
    void finish();

  private:
    void flushBuffer(bool last);
    void writeAll(const char* data, std::size_t size);  // keeps the first failure

    int _fd;
    bool _ownsFd;
    std::unique_ptr<z_stream> _zlib;  // null for plain output
    std::string _buffer;
    std::string _packed;
    std::string _target;  // "to standard output", "'out.gz'"
    std::string _error;
};

// The output file of -o, --zlib and --gzip. A regular file, or a name that does not exist yet, is
// written as a new file beside it, which replaces it only at commit(): a run that fails leaves
// an earlier file as it was. Anything else (a device, a FIFO, a symbolic link) is written in
// place. The destructor removes a new file that was not committed.
class OutputFile {
  public:
    // Opens the file for `path`. Returns the descriptor to write to (owned by the caller).
    // Throws AggError("cannot open 'x': reason").
    int open(const std::string& path);
    ~OutputFile();
    // Puts the new file in place of the old. Throws AggError on failure.
    void commit();

  private:
    std::string _path;
    std::string _temporary;  // empty when written in place
};

#endif  // QELKIT_TOOLS_QELKIT_AGG_OUTPUT_H
