// SPDX-License-Identifier: Apache-2.0
// ChunkSource: qelkit-agg's input, open, from its preamble to its end, cut into chunks that
// threads group independently. openChunkSource maps a regular file (named, or redirected to
// standard input) and reads anything else as a stream: pipes, FIFOs, devices, gzip data and
// files that cannot be mapped.
//
// A mapped file is cut at offsets k * chunk size, each chunk starting at the first line start
// after its offset; a chunk whose start turns out to lie inside a quoted field is read again by
// settle(), from where the chunk before really ended, when it is its turn to be merged. A stream
// is cut exactly at record starts by its reader (StreamSource). On both, a row longer than the
// row limit is one bad row, never read whole.
//
// Thread-safety: next() and settle() are called by one thread at a time (the pipeline's maker
// and taker); group() by several at once. Failure: AggError, with the message to show.
#ifndef QELKIT_TOOLS_QELKIT_AGG_CHUNK_SOURCE_H
#define QELKIT_TOOLS_QELKIT_AGG_CHUNK_SOURCE_H

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "tools/qelkit_agg/preamble.h"
#include "tools/qelkit_agg/row_grouper.h"
#include "tools/qelkit_agg/stream_source.h"

// A chunk to group: its number, and for a stream its bytes.
struct ChunkJob {
    std::size_t seq = 0;
    StreamSource::Piece piece;
};

struct GroupedChunk {
    std::size_t seq;
    ChunkResult result;
};

// An open descriptor, closed by the destructor unless it is standard input.
class Descriptor {
  public:
    explicit Descriptor(int fd) noexcept : _fd(fd) {}
    Descriptor(Descriptor&& other) noexcept : _fd(other._fd) { other._fd = -1; }
    Descriptor& operator=(Descriptor&&) = delete;
    ~Descriptor();
    int get() const noexcept { return _fd; }

  private:
    int _fd;
};

class ChunkSource {
  public:
    virtual ~ChunkSource();
    ChunkSource(const ChunkSource&) = delete;
    ChunkSource& operator=(const ChunkSource&) = delete;

    // The input as messages name it.
    const std::string& name() const noexcept { return _name; }
    // Reads the preamble; the data starts after it.
    virtual Preamble preamble(const PreambleRequest& request) = 0;
    // Readies the chunks of the data, grouped with `layout` (which must outlive the source).
    virtual void start(const RowLayout& layout) = 0;
    // The next chunk; false after the last.
    virtual bool next(ChunkJob& job) = 0;
    virtual GroupedChunk group(ChunkJob& job) = 0;
    // Called on each chunk in input order before it is merged.
    virtual void settle(GroupedChunk& chunk);
    // After the last chunk: checks that the input kept its size while it was read.
    virtual void finish() = 0;
    // Bytes read so far and in all (0 when unknown), for the progress line.
    virtual std::uint64_t done() const noexcept = 0;
    std::uint64_t total() const noexcept { return _total; }

  protected:
    ChunkSource(Descriptor fd, const struct stat& info, std::string name, std::size_t chunk);

    Descriptor _fd;
    struct stat _info;
    std::string _name;
    std::size_t _chunk;
    std::uint64_t _total = 0;
};

// Opens `path` ("-": standard input) for reading in chunks of `chunk` bytes. `progressShown`:
// a progress line may be on the terminal when a message must be written from a signal handler.
std::unique_ptr<ChunkSource> openChunkSource(const std::string& path,
                                             const QelRecordReader::Dialect& dialect,
                                             std::size_t chunk, bool progressShown);

#endif  // QELKIT_TOOLS_QELKIT_AGG_CHUNK_SOURCE_H
