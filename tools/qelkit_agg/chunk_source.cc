// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/chunk_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include "tools/qelkit_agg/agg_error.h"
#include "tools/qelkit_agg/input.h"
#include "tools/qelkit_agg/reporter.h"

namespace {

const char* const LONG_ROW = "the row is longer than 64 MiB";

const char* changedSize() { return ": the file changed size while it was being read"; }

// A mapped regular file, from `offset` (where its reading starts) to its end.
class MappedChunks : public ChunkSource {
  public:
    MappedChunks(Descriptor fd, const struct stat& info, std::string name, std::size_t chunk,
                 const QelRecordReader::Dialect& dialect, std::unique_ptr<MappedFile> map,
                 std::size_t offset, bool progressShown)
        : ChunkSource(std::move(fd), info, std::move(name), chunk),
          _map(std::move(map)),
          _offset(offset),
          _data(_map->data() + offset),
          _size(_map->size() - offset),
          _guard(_map->data(), _map->size(),
                 std::string(progressShown ? Reporter::CLEAR_LINE : "") + "qelkit-agg: " + _name +
                     ": the file was truncated or could not be read while it was being read\n"),
          _dialect(dialect) {
        _total = _size;
    }

    Preamble preamble(const PreambleRequest& request) override {
        MappedBytes bytes(_data, _size, _dialect);
        Preamble pre = readPreamble(bytes, _dialect, request);
        _dataStart = _trueEnd = pre.dataStart;
        return pre;
    }
    void start(const RowLayout& layout) override {
        _layout = &layout;
        _firstChunk = _dataStart / _chunk;
        _chunkCount = _dataStart < _size ? (_size - 1) / _chunk + 1 - _firstChunk : 0;
    }
    bool next(ChunkJob& job) override {
        if (_nextSeq >= _chunkCount) return false;
        job.seq = _nextSeq++;
        return true;
    }
    GroupedChunk group(ChunkJob& job) override;
    void settle(GroupedChunk& chunk) override;
    void finish() override;
    std::uint64_t done() const noexcept override { return _trueEnd.load(); }

  private:
    std::size_t stopAt(std::size_t seq) const {
        return std::min((_firstChunk + seq + 1) * _chunk, _size);
    }
    ChunkResult groupFrom(std::size_t begin, std::size_t stop) const;

    std::unique_ptr<MappedFile> _map;
    std::size_t _offset;  // of _data in the mapping
    const char* _data;
    std::size_t _size;
    BusErrorGuard _guard;
    QelRecordReader::Dialect _dialect;
    const RowLayout* _layout = nullptr;
    std::size_t _dataStart = 0;
    std::size_t _firstChunk = 0;
    std::size_t _chunkCount = 0;
    std::size_t _nextSeq = 0;
    std::atomic<std::size_t> _trueEnd{0};  // where the next chunk to merge really starts
};

// groupChunk on the mapped data, where a row longer than the limit is a bad row. Chunks are
// shorter than the limit, so such a row is the last of its chunk and runs past its end; records
// are read no further than the limit past the chunk, so that such a row is never read whole.
ChunkResult MappedChunks::groupFrom(std::size_t begin, std::size_t stop) const {
    const std::size_t readEnd = std::min(_size, stop + MAX_ROW_BYTES + 1);
    ChunkResult result = groupChunk(*_layout, _data, 0, begin, stop, readEnd);
    if (result.end <= stop || result.end - begin <= MAX_ROW_BYTES) return result;
    QelRecordReader reader(_layout->dialect, 0);
    QelRecordReader::Record record;
    std::size_t last = begin;
    for (std::size_t p = begin; p < stop;) {
        last = p;
        p = static_cast<std::size_t>(reader.read(_data + p, _data + readEnd, true, record) - _data);
    }
    if (result.end - last <= MAX_ROW_BYTES) return result;
    ChunkResult before = groupChunk(*_layout, _data, 0, begin, last, _size);
    if (before.end != last) return before;  // --strict stopped at an earlier row
    QelRecordScanner scanner(_layout->dialect);
    const std::size_t length = scanner.next(_data + last, _size - last, 1);
    const std::size_t end = length == QelRecordScanner::npos ? _size : last + length;
    ++before.rows;
    before.bad.push_back(BadRow{before.lineBreaks, LONG_ROW});
    before.lineBreaks += QelRecordScanner::countLineFeeds(_data + last, end - last);
    before.end = end;
    return before;
}

GroupedChunk MappedChunks::group(ChunkJob& job) {
    const std::size_t stop = stopAt(job.seq);
    // No record starts in a chunk without a line feed: its search ends there.
    const std::size_t begin =
        job.seq == 0 ? _dataStart
                     : static_cast<std::size_t>(
                           QelRecordReader::nextLineStart(
                               _data, _data + (_firstChunk + job.seq) * _chunk, _data + stop) -
                           _data);
    _map->populate(_offset + begin, _offset + stop);
    GroupedChunk chunk{job.seq, groupFrom(begin, stop)};
    _map->release(_offset + begin, _offset + stop);
    return chunk;
}

void MappedChunks::settle(GroupedChunk& chunk) {
    // A chunk that started inside a quoted field of the chunk before is read again from where
    // that one really ended.
    if (chunk.result.begin != _trueEnd) chunk.result = groupFrom(_trueEnd, stopAt(chunk.seq));
    _trueEnd = chunk.result.end;
}

void MappedChunks::finish() {
    struct stat after;
    if (::fstat(_fd.get(), &after) == 0 && static_cast<std::size_t>(after.st_size) != _map->size())
        throw AggError(_name + changedSize());
    ::lseek(_fd.get(), static_cast<off_t>(_map->size()), SEEK_SET);  // as if read to its end
}

// Anything read front to back.
class StreamChunks : public ChunkSource {
  public:
    StreamChunks(Descriptor fd, const struct stat& info, std::string name, std::size_t chunk,
                 const QelRecordReader::Dialect& dialect)
        : ChunkSource(std::move(fd), info, std::move(name), chunk),
          _regular(S_ISREG(info.st_mode)),
          _start(_regular ? std::max<off_t>(::lseek(_fd.get(), 0, SEEK_CUR), 0) : 0),
          _source(_fd.get(), _name, dialect, chunk),
          _dialect(dialect) {
        if (_regular)
            _total = static_cast<std::uint64_t>(std::max<off_t>(info.st_size - _start, 0));
    }

    Preamble preamble(const PreambleRequest& request) override {
        Preamble pre = readPreamble(_source, _dialect, request);
        if (_source.size() == 0 && _source.ended() && pre.dataStart == 0)
            throw AggError(_name + (_regular ? ": the file is empty" : ": the input is empty"));
        return pre;
    }
    void start(const RowLayout& layout) override { _layout = &layout; }
    bool next(ChunkJob& job) override {
        job.piece = _source.next();
        _consumed = _source.consumed();
        return job.piece.kind != StreamSource::Piece::End;
    }
    GroupedChunk group(ChunkJob& job) override;
    void finish() override;
    std::uint64_t done() const noexcept override { return _consumed.load(); }

  private:
    bool _regular;
    off_t _start;
    StreamSource _source;
    QelRecordReader::Dialect _dialect;
    const RowLayout* _layout = nullptr;
    std::atomic<std::uint64_t> _consumed{0};
};

GroupedChunk StreamChunks::group(ChunkJob& job) {
    const StreamSource::Piece& piece = job.piece;
    if (piece.kind == StreamSource::Piece::LongRow) {
        ChunkResult result(_layout->valueFields.size(), _layout->aggregates);
        result.begin = piece.offset;
        result.rows = 1;
        result.lineBreaks = piece.lineBreaks;
        result.bad.push_back(BadRow{0, LONG_ROW});
        return GroupedChunk{job.seq, std::move(result)};
    }
    const std::size_t end = piece.offset + piece.size;
    GroupedChunk chunk{job.seq,
                       groupChunk(*_layout, piece.data, piece.offset, piece.offset, end, end)};
    job.piece.buffer.reset();  // the bytes are no longer needed
    return chunk;
}

void StreamChunks::finish() {
    // A regular file read to its end must have kept its size.
    struct stat after;
    if (_regular && _info.st_size != 0 && _source.ended() &&
        (_source.consumed() != _total || ::fstat(_fd.get(), &after) != 0 ||
         after.st_size != _info.st_size))
        throw AggError(_name + changedSize());
}

}  // namespace

Descriptor::~Descriptor() {
    if (_fd > STDIN_FILENO) ::close(_fd);
}

ChunkSource::ChunkSource(Descriptor fd, const struct stat& info, std::string name,
                         std::size_t chunk)
    : _fd(std::move(fd)), _info(info), _name(std::move(name)), _chunk(chunk) {}

ChunkSource::~ChunkSource() = default;

void ChunkSource::settle(GroupedChunk&) {}

std::unique_ptr<ChunkSource> openChunkSource(const std::string& path,
                                             const QelRecordReader::Dialect& dialect,
                                             std::size_t chunk, bool progressShown) {
    const std::string name = shownName(path);
    Descriptor fd(path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) throw AggError("cannot open '" + name + "': " + std::strerror(errno));
    struct stat info;
    if (::fstat(fd.get(), &info) != 0)
        throw AggError("cannot read '" + name + "': " + std::strerror(errno));
    if (S_ISDIR(info.st_mode)) throw AggError("cannot read '" + name + "': Is a directory");
    // A regular file, named or on standard input, is mapped from where its reading starts; one
    // that reports no size (as /proc files do), holds gzip data or cannot be mapped is read as a
    // stream.
    const off_t start = S_ISREG(info.st_mode) ? ::lseek(fd.get(), 0, SEEK_CUR) : -1;
    if (start >= 0 && start < info.st_size) {
        unsigned char magic[2] = {0, 0};
        const bool gzip =
            ::pread(fd.get(), magic, 2, start) == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
        std::unique_ptr<MappedFile> map =
            gzip ? nullptr : MappedFile::open(fd.get(), static_cast<std::size_t>(info.st_size));
        if (map) {
            return std::make_unique<MappedChunks>(std::move(fd), info, name, chunk, dialect,
                                                  std::move(map), static_cast<std::size_t>(start),
                                                  progressShown);
        }
    }
    return std::make_unique<StreamChunks>(std::move(fd), info, name, chunk, dialect);
}
