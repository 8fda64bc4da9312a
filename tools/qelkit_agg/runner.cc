// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/runner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "qelkit/datetime/qel_date.h"
#include "tools/qelkit_agg/input.h"
#include "tools/qelkit_agg/merger.h"
#include "tools/qelkit_agg/record_scanner.h"
#include "tools/qelkit_agg/row_grouper.h"
#include "tools/qelkit_agg/stream_source.h"

namespace {

constexpr std::size_t DEFAULT_CHUNK = std::size_t{4} << 20;
// Chunks are shorter than the longest row, so that a row longer than that always runs past
// the end of the chunk it starts in.
constexpr std::size_t MAX_CHUNK = std::size_t{16} << 20;
constexpr std::size_t ALL_NAMES = static_cast<std::size_t>(-1);
constexpr auto PROGRESS_INTERVAL = std::chrono::milliseconds(100);
const char* const LONG_ROW = "the row is longer than 64 MiB";

using Clock = std::chrono::steady_clock;

// The part of the input before the data: a byte order mark, blank lines, the header row.
struct Preamble {
    const char* unreadable = nullptr;  // what the input is when it is no text qelkit-agg reads
    bool found = false;                // there is a row that is not blank
    bool tooLong = false;
    std::size_t dataStart = 0;
    std::uint64_t lineBreaks = 0;  // before dataStart
    std::uint64_t blankLines = 0;
    std::size_t fieldCount = 0;      // of the first row
    std::vector<std::string> names;  // its first fields, as many as the output names
    std::uint64_t firstRowLine = 1;
    CsvProblem problem = CsvProblem::None;
};

// The columns a row must have by the options alone: the highest column number given.
std::size_t neededColumns(const AggOptions& options) {
    std::size_t needed = static_cast<std::size_t>(options.timeColumn);
    for (int k : options.keyColumns) needed = std::max(needed, static_cast<std::size_t>(k));
    for (int v : options.valueColumns) needed = std::max(needed, static_cast<std::size_t>(v));
    return needed;
}

// The bytes of a mapped file as readPreamble takes them from a StreamSource.
class MappedBytes {
  public:
    MappedBytes(const char* data, std::size_t size, const CsvDialect& dialect) noexcept
        : _data(data), _size(size), _scanner(dialect) {}
    const char* data() const noexcept { return _data; }
    std::size_t size() const noexcept { return _size; }
    void fillTo(std::size_t) const noexcept {}
    void drop(std::size_t n) noexcept {
        _data += n;
        _size -= n;
        _scanner.drop(n);
    }
    // The scanner is shown a doubling part of the file, so that it looks no further than the
    // first record (or the row limit).
    std::size_t firstRecord() noexcept {
        for (std::size_t shown = std::min<std::size_t>(_size, 1 << 16);;
             shown = std::min(_size, 2 * shown)) {
            std::size_t end = _scanner.next(_data, shown, 1);
            if (end == RecordScanner::NONE && shown == _size) end = _size;
            if (end != RecordScanner::NONE) return end > MAX_ROW_BYTES ? RecordScanner::NONE : end;
            if (shown > MAX_ROW_BYTES) return RecordScanner::NONE;
        }
    }

  private:
    const char* _data;
    std::size_t _size;
    RecordScanner _scanner;
};

// Skips a byte order mark, and when the first row matters (`keep` is not 0: the names to keep
// with --header, ALL_NAMES for all of them) the blank lines before it and, with `header`, the
// row itself. Looks at the first row only up to the row limit.
template <typename Bytes>
Preamble readPreamble(Bytes& bytes, const CsvDialect& dialect, bool header, bool firstRowRules,
                      std::size_t keep) {
    Preamble pre;
    auto drop = [&](std::size_t n) {
        bytes.drop(n);
        pre.dataStart += n;
    };
    bytes.fillTo(8);
    pre.unreadable = unreadableData(bytes.data(), bytes.size());
    if (pre.unreadable != nullptr) return pre;
    if (bytes.size() >= 3 && std::memcmp(bytes.data(), "\xEF\xBB\xBF", 3) == 0) drop(3);
    if (!firstRowRules) return pre;
    CsvReader reader(dialect, keep == ALL_NAMES ? 0 : keep);
    reader.keepAll(keep == ALL_NAMES);
    CsvRecord record;
    std::size_t length = 0;
    while (true) {
        length = bytes.firstRecord();
        if (length == 0) return pre;
        pre.firstRowLine = pre.lineBreaks + 1;
        if (length == RecordScanner::NONE) {
            pre.tooLong = true;
            return pre;
        }
        reader.read(bytes.data(), bytes.data() + length, true, record);
        if (!record.blank) break;
        ++pre.blankLines;
        pre.lineBreaks += record.lineBreaks;
        drop(length);
    }
    pre.found = true;
    pre.fieldCount = record.fieldCount;
    pre.problem = record.problem;
    const std::size_t names = std::min(keep, record.fieldCount);
    for (std::size_t i = 0; i < names; ++i) pre.names.emplace_back(reader.fields()[i]);
    if (header) {
        pre.lineBreaks += record.lineBreaks;
        drop(length);
    }
    return pre;
}

class Run {
  public:
    Run(const AggOptions& options, OutputSink& out, Reporter& err)
        : _options(options), _out(out), _err(err), _chunk(aggChunkSize()) {
        _shownName = shownName(options.file);
        _layout.dialect = CsvDialect{options.delimiter, options.collapse, !options.noQuotes};
        _layout.period = NqTimeAggregation(options.period);
        _layout.monthFirst = options.monthFirst;
        _layout.rows = options.rows;
        _layout.stopAtBadRow = options.strict;
        _layout.zone = &RWZone::local();
        _layout.startOfWeek = QelDate::startOfWeek();
        _jobs = options.jobs != 0 ? options.jobs
                                  : std::clamp(std::thread::hardware_concurrency(), 1u, 256u);
    }

    int execute();

  private:
    // Stops the threads and waits for them on every way out of a run, before the mapped file
    // they read is unmapped.
    struct Joiner {
        Run& run;
        ~Joiner() { run.joinWorkers(true); }
    };

    int fail(const std::string& message) {
        _err.clear();
        _err.message(message);
        return kAggFailure;
    }
    bool setUp(const Preamble& pre);
    int runMapped(int fd, const MappedFile& map, std::size_t offset);
    int runStream(int fd, const struct stat& info);
    int finish();

    void startWorkers(bool mapped);
    void joinWorkers(bool stop);
    // Groups chunks until there are none left; `index` numbers the thread, from 0 for this one.
    void work(bool mapped, unsigned index);
    void mergeReady();
    void showProgress();
    ChunkResult groupMapped(std::size_t begin, std::size_t stop) const;
    std::size_t stopAt(std::size_t seq) const {
        return std::min((_firstChunk + seq + 1) * _chunk, _size);
    }

    const AggOptions& _options;
    OutputSink& _out;
    Reporter& _err;
    std::size_t _chunk;
    std::string _shownName;
    RowLayout _layout;
    std::unique_ptr<Merger> _merger;
    unsigned _jobs = 1;
    std::size_t _window = 4;

    // Shared by the threads, under _mutex.
    std::mutex _mutex;
    std::condition_variable _cv;
    std::map<std::size_t, ChunkResult> _ready;      // by sequence number
    std::size_t _merged = 0;                        // sequence number of the next to merge
    bool _go = false;                               // the mapped chunks are laid out
    unsigned _allowed = static_cast<unsigned>(-1);  // threads with a lower index may work
    bool _stop = false;
    int _status = kAggOk;
    std::string _failure;
    // The mapped file, from the data on, cut at offsets k * _chunk from chunk _firstChunk on.
    const MappedFile* _map = nullptr;
    std::size_t _mapOffset = 0;  // of _data in the mapping
    const char* _data = nullptr;
    std::size_t _size = 0;
    std::size_t _firstChunk = 0;
    std::size_t _dataStart = 0;
    std::size_t _trueEnd = 0;  // where the next chunk to merge really starts
    std::size_t _nextSeq = 0;
    std::size_t _chunkCount = 0;
    // The stream's chunks waiting for a thread.
    std::deque<StreamSource::Piece> _jobsQueue;
    std::deque<std::size_t> _jobsSeq;
    bool _produced = false;
    std::atomic<std::uint64_t> _consumed{0};
    std::uint64_t _total = 0;  // bytes of the input for the progress line; 0 when unknown
    bool _regular = false;     // the input is a regular file
    std::vector<std::thread> _threads;
    Clock::time_point _started = Clock::now();
    Clock::time_point _shown = Clock::now() - PROGRESS_INTERVAL;  // the first is shown at once
};

bool Run::setUp(const Preamble& pre) {
    if (pre.unreadable != nullptr) {
        fail(_shownName + ": looks like " + pre.unreadable + ", which qelkit-agg does not read");
        return false;
    }
    if (pre.tooLong) {
        fail(_shownName + ":" + std::to_string(pre.firstRowLine) + ": the " +
             (_options.header ? "header row" : "first row, which sets the value columns,") +
             " is longer than 64 MiB");
        return false;
    }
    if (pre.found && _options.header && pre.problem != CsvProblem::None) {
        fail(_shownName + ":" + std::to_string(pre.firstRowLine) +
             ": the header row cannot be read: " +
             (pre.problem == CsvProblem::Nul ? "it holds a NUL byte" : "its quoting is broken"));
        return false;
    }
    const std::size_t fieldCount = pre.fieldCount;
    const auto& keys = _options.keyColumns;
    std::size_t needed = neededColumns(_options);
    // The first row matters when it names the columns or settles the value columns; else a
    // short first row is one bad row like any other.
    const bool firstRowRules = _options.header || _options.valueColumns.empty();
    if (pre.found && firstRowRules && needed > fieldCount) {
        fail("column " + std::to_string(needed) + " is beyond the " + std::to_string(fieldCount) +
             " fields of the first row of '" + _shownName + "'");
        return false;
    }
    std::vector<int> values = _options.valueColumns;
    if (values.empty()) {
        for (int c = 1; c <= static_cast<int>(fieldCount); ++c)
            if (c != _options.timeColumn && std::find(keys.begin(), keys.end(), c) == keys.end())
                values.push_back(c);
        if (pre.found && values.empty()) {
            fail("no value columns: the first row of '" + _shownName + "' has only " +
                 std::to_string(fieldCount) + (fieldCount == 1 ? " field" : " fields"));
            return false;
        }
        if (!values.empty()) needed = std::max(needed, static_cast<std::size_t>(values.back()));
    }
    _layout.needed = needed;
    _layout.timeField = static_cast<std::size_t>(_options.timeColumn) - 1;
    for (int k : keys) _layout.keyFields.push_back(static_cast<std::size_t>(k) - 1);
    for (int v : values) _layout.valueFields.push_back(static_cast<std::size_t>(v) - 1);
    // Names only for the columns used: a column number may be far beyond the others.
    auto nameOf = [&](std::size_t field) {
        return _options.header && field < pre.names.size() ? pre.names[field]
                                                           : "c" + std::to_string(field + 1);
    };
    std::vector<std::string> keyNames, valueNames;
    for (std::size_t k : _layout.keyFields) keyNames.push_back(nameOf(k));
    for (std::size_t v : _layout.valueFields) valueNames.push_back(nameOf(v));
    _merger =
        std::make_unique<Merger>(_options, _layout, std::move(keyNames), std::move(valueNames),
                                 _shownName, _out, _err, pre.lineBreaks + 1, _jobs);
    _merger->addBlankLines(pre.blankLines);
    return true;
}

void Run::showProgress() {
    if (!_err.progressEnabled()) return;
    const Clock::time_point now = Clock::now();
    if (now - _shown < PROGRESS_INTERVAL) return;
    _shown = now;
    const double seconds = std::chrono::duration<double>(now - _started).count();
    const std::uint64_t done = _data != nullptr ? _trueEnd : _consumed.load();
    std::string text;
    if (_total != 0) text = std::to_string(done * 100 / _total) + "%, ";
    text += std::to_string(_merger->rows()) + " rows, " +
            std::to_string(static_cast<std::uint64_t>(_merger->rows() / std::max(seconds, 1e-3))) +
            " rows/s";
    if (_total != 0 && done != 0) {
        const double left = seconds * static_cast<double>(_total - std::min(done, _total)) / done;
        text += ", " + std::to_string(std::llround(left)) + " s left";
    }
    _err.progress(text);
}

// groupChunk on the mapped data, where a row longer than the limit is a bad row. Chunks are
// shorter than the limit, so such a row is the last of its chunk and runs past its end; records
// are read no further than the limit past the chunk, so that such a row is never read whole.
ChunkResult Run::groupMapped(std::size_t begin, std::size_t stop) const {
    const std::size_t readEnd = std::min(_size, stop + MAX_ROW_BYTES + 1);
    ChunkResult result = groupChunk(_layout, _data, 0, begin, stop, readEnd);
    if (result.end <= stop || result.end - begin <= MAX_ROW_BYTES) return result;
    CsvReader reader(_layout.dialect, 0);
    CsvRecord record;
    std::size_t last = begin;
    for (std::size_t p = begin; p < stop;) {
        last = p;
        p = static_cast<std::size_t>(reader.read(_data + p, _data + readEnd, true, record) - _data);
    }
    if (result.end - last <= MAX_ROW_BYTES) return result;
    ChunkResult before = groupChunk(_layout, _data, 0, begin, last, _size);
    if (before.end != last) return before;  // --strict stopped at an earlier row
    RecordScanner scanner(_layout.dialect);
    const std::size_t length = scanner.next(_data + last, _size - last, 1);
    const std::size_t end = length == RecordScanner::NONE ? _size : last + length;
    ++before.rows;
    before.bad.push_back(BadRow{before.lineBreaks, LONG_ROW});
    before.lineBreaks += countLineFeeds(_data + last, end - last);
    before.end = end;
    return before;
}

// Under _mutex: merges the results that are next in order.
void Run::mergeReady() {
    while (!_stop) {
        const auto it = _ready.find(_merged);
        if (it == _ready.end()) break;
        ChunkResult chunk = std::move(it->second);
        _ready.erase(it);
        // A mapped chunk that started inside a quoted field of the chunk before is read again
        // from where that one really ended.
        if (_data != nullptr && chunk.begin != _trueEnd)
            chunk = groupMapped(_trueEnd, stopAt(_merged));
        if (!_merger->add(chunk)) {
            _stop = true;
            _status = kAggBadRows;
        }
        _trueEnd = chunk.end;
        ++_merged;
        showProgress();
    }
    _cv.notify_all();
}

void Run::work(bool mapped, unsigned index) {
    std::unique_lock<std::mutex> lock(_mutex);
    try {
        while (index < _allowed) {
            std::optional<ChunkResult> result;
            std::size_t seq = 0;
            if (mapped) {
                _cv.wait(lock, [this, index] {
                    return _stop || index >= _allowed ||
                           (_go && (_nextSeq >= _chunkCount || _nextSeq < _merged + _window));
                });
                if (_stop || index >= _allowed || _nextSeq >= _chunkCount) return;
                seq = _nextSeq++;
                lock.unlock();
                // No record starts in a chunk without a line feed: its search ends there.
                const std::size_t begin =
                    seq == 0 ? _dataStart
                             : static_cast<std::size_t>(
                                   nextLineStart(_data, _data + (_firstChunk + seq) * _chunk,
                                                 _data + stopAt(seq)) -
                                   _data);
                _map->populate(_mapOffset + begin, _mapOffset + stopAt(seq));
                result.emplace(groupMapped(begin, stopAt(seq)));
                _map->release(_mapOffset + begin, _mapOffset + stopAt(seq));
            } else {
                _cv.wait(lock, [this, index] {
                    return _stop || index >= _allowed || _produced || !_jobsQueue.empty();
                });
                if (_stop || index >= _allowed || _jobsQueue.empty()) return;
                StreamSource::Piece job = std::move(_jobsQueue.front());
                seq = _jobsSeq.front();
                _jobsQueue.pop_front();
                _jobsSeq.pop_front();
                _cv.notify_all();
                lock.unlock();
                const std::size_t end = job.offset + job.size;
                result.emplace(groupChunk(_layout, job.data, job.offset, job.offset, end, end));
            }
            lock.lock();
            _ready.emplace(seq, std::move(*result));
            mergeReady();
        }
    } catch (const std::exception& e) {
        if (!lock.owns_lock()) lock.lock();
        if (_failure.empty())
            _failure =
                dynamic_cast<const std::bad_alloc*>(&e) != nullptr ? "out of memory" : e.what();
        _stop = true;
        _cv.notify_all();
    }
}

// Starts the threads that group chunks (this one is one of them for a mapped file). When the
// system refuses one, memory or threads are short: the run goes on with half of those it got,
// leaving room for their work, and says so.
void Run::startWorkers(bool mapped) {
    const unsigned wanted = _jobs;
    const unsigned first = mapped ? 1 : 0;
    std::string refusal;
    for (unsigned i = first; i < wanted && refusal.empty(); ++i) {
        try {
            _threads.emplace_back([this, mapped, i] { work(mapped, i); });
        } catch (const std::exception& e) {
            refusal = e.what();
        }
    }
    _jobs = static_cast<unsigned>(_threads.size()) + first;
    if (_jobs == 0) throw InputError("cannot start a thread: " + refusal);
    if (!refusal.empty()) {
        const unsigned started = _jobs;
        _jobs = std::max(1u, started / 2);
        {
            const std::lock_guard<std::mutex> lock(_mutex);
            _allowed = _jobs;
            _cv.notify_all();
        }
        for (std::size_t i = _jobs - first; i < _threads.size(); ++i) _threads[i].join();
        _threads.resize(_jobs - first);
        _err.message("only " + std::to_string(started) + " of " + std::to_string(wanted) +
                     " threads could start (" + refusal + "); going on with " +
                     std::to_string(_jobs));
    }
    const std::lock_guard<std::mutex> lock(_mutex);
    _window = std::min<std::size_t>(2 * _jobs + 2, 12);
}

void Run::joinWorkers(bool stop) {
    if (stop) {
        const std::lock_guard<std::mutex> lock(_mutex);
        _stop = true;
        _cv.notify_all();
    }
    for (std::thread& t : _threads) t.join();
    _threads.clear();
}

int Run::runMapped(int fd, const MappedFile& map, std::size_t offset) {
    const std::string lost =
        std::string(_err.progressEnabled() ? Reporter::CLEAR_LINE : "") +
        "qelkit-agg: " + _shownName +
        ": the file was truncated or could not be read while it was being read\n";
    const BusErrorGuard guard(map.data(), map.size(), lost);
    _map = &map;
    _mapOffset = offset;
    _data = map.data() + offset;
    _size = _total = map.size() - offset;
    const Joiner joiner{*this};
    startWorkers(true);
    MappedBytes bytes(_data, _size, _layout.dialect);
    const bool firstRowRules = _options.header || _options.valueColumns.empty();
    const Preamble pre = readPreamble(bytes, _layout.dialect, _options.header, firstRowRules,
                                      !_options.header                ? 0
                                      : _options.valueColumns.empty() ? ALL_NAMES
                                                                      : neededColumns(_options));
    if (!setUp(pre)) return kAggFailure;
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        _dataStart = _trueEnd = pre.dataStart;
        _firstChunk = pre.dataStart / _chunk;
        _chunkCount = pre.dataStart < _size ? (_size - 1) / _chunk + 1 - _firstChunk : 0;
        _go = true;
        _cv.notify_all();
    }
    work(true, 0);
    joinWorkers(false);
    struct stat after;
    if (::fstat(fd, &after) == 0 && static_cast<std::size_t>(after.st_size) != map.size())
        return fail(_shownName + ": the file changed size while it was being read");
    ::lseek(fd, static_cast<off_t>(map.size()), SEEK_SET);  // as if read to its end
    _data = nullptr;
    return finish();
}

int Run::runStream(int fd, const struct stat& info) {
    const off_t start = _regular ? ::lseek(fd, 0, SEEK_CUR) : 0;
    _total = _regular ? static_cast<std::uint64_t>(info.st_size - std::max<off_t>(start, 0)) : 0;
    StreamSource source(fd, _shownName, _layout.dialect, _chunk);
    const Joiner joiner{*this};
    startWorkers(false);
    const bool firstRowRules = _options.header || _options.valueColumns.empty();
    const Preamble pre = readPreamble(source, _layout.dialect, _options.header, firstRowRules,
                                      !_options.header                ? 0
                                      : _options.valueColumns.empty() ? ALL_NAMES
                                                                      : neededColumns(_options));
    if (source.size() == 0 && source.ended() && pre.dataStart == 0)
        return fail(_shownName + (_regular ? ": the file is empty" : ": the input is empty"));
    if (!setUp(pre)) return kAggFailure;
    std::size_t seq = 0;
    while (true) {
        StreamSource::Piece piece = source.next();
        _consumed.store(source.consumed());
        if (piece.kind == StreamSource::Piece::End) break;
        std::unique_lock<std::mutex> lock(_mutex);
        if (piece.kind == StreamSource::Piece::LongRow) {
            ChunkResult result(_layout.valueFields.size());
            result.begin = piece.offset;
            result.rows = 1;
            result.lineBreaks = piece.lineBreaks;
            result.bad.push_back(BadRow{0, LONG_ROW});
            _ready.emplace(seq++, std::move(result));
            mergeReady();
        } else {
            _cv.wait(lock, [&] { return _stop || seq < _merged + _window; });
            _jobsQueue.push_back(std::move(piece));
            _jobsSeq.push_back(seq++);
            _cv.notify_all();
        }
        if (_stop) break;
    }
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        _produced = true;
        _cv.notify_all();
    }
    joinWorkers(false);
    // A regular file read to its end must have kept its size.
    struct stat after;
    if (_regular && info.st_size != 0 && source.ended() && _failure.empty() &&
        (source.consumed() != _total || ::fstat(fd, &after) != 0 || after.st_size != info.st_size))
        return fail(_shownName + ": the file changed size while it was being read");
    return finish();
}

int Run::finish() {
    _err.clear();
    if (!_failure.empty()) return fail(_failure);
    if (_merger->rows() == 0) {
        return fail(_shownName +
                    (_options.header ? ": no data after the header row" : ": no data rows"));
    }
    if (_status == kAggOk && !_options.rows) _merger->writeAggregation();
    _err.message(_merger->summary());
    if (_status == kAggOk && _merger->skipped() == _merger->rows()) _status = kAggBadRows;
    return _status;
}

int Run::execute() {
    const bool standardInput = _options.file == "-";
    const int fd =
        standardInput ? STDIN_FILENO : ::open(_options.file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail("cannot open '" + _shownName + "': " + std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() {
            if (fd != STDIN_FILENO) ::close(fd);
        }
    } closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return fail("cannot read '" + _shownName + "': " + std::strerror(errno));
    if (S_ISDIR(info.st_mode)) return fail("cannot read '" + _shownName + "': Is a directory");
    try {
        // A regular file, named or on standard input, is mapped from where its reading starts;
        // one that reports no size (as /proc files do), holds gzip data or cannot be mapped is
        // read as a stream.
        _regular = S_ISREG(info.st_mode);
        const off_t start = _regular ? ::lseek(fd, 0, SEEK_CUR) : -1;
        if (_regular && start >= 0 && start < info.st_size) {
            unsigned char magic[2] = {0, 0};
            const bool gzip =
                ::pread(fd, magic, 2, start) == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
            const std::unique_ptr<MappedFile> map =
                gzip ? nullptr : MappedFile::open(fd, static_cast<std::size_t>(info.st_size));
            if (map) return runMapped(fd, *map, static_cast<std::size_t>(start));
        }
        return runStream(fd, info);
    } catch (const InputError& e) {
        return fail(e.what());
    }
}

}  // namespace

std::size_t aggChunkSize() {
    const char* text = std::getenv("QELKIT_AGG_CHUNK_SIZE");
    if (text == nullptr) return DEFAULT_CHUNK;
    const unsigned long long value = std::strtoull(text, nullptr, 10);
    return value >= 1 && value <= MAX_CHUNK ? static_cast<std::size_t>(value) : DEFAULT_CHUNK;
}

int runAggregation(const AggOptions& options, OutputSink& out, Reporter& err) {
    return Run(options, out, err).execute();
}
