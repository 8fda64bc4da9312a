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
#include "tools/qelkit_agg/row_grouper.h"

namespace {

constexpr std::size_t DEFAULT_CHUNK = std::size_t{4} << 20;
// A stream keeps a row whole in memory; one longer than this ends the run.
constexpr std::size_t MAX_STREAM_ROW = std::size_t{64} << 20;
constexpr std::size_t READ_BLOCK = std::size_t{1} << 18;
constexpr auto PROGRESS_INTERVAL = std::chrono::milliseconds(100);

using Clock = std::chrono::steady_clock;

// The part of the input before the data: a byte order mark, blank lines, the header row.
struct Preamble {
    bool complete = false;  // false: the first row may go on past the data given
    bool found = false;     // there is a row that is not blank
    std::size_t dataStart = 0;
    std::uint64_t lineBreaks = 0;  // before dataStart
    std::uint64_t blankLines = 0;
    std::vector<std::string> fields;  // of the first row
    std::uint64_t firstRowLine = 1;
    CsvProblem problem = CsvProblem::None;
};

Preamble readPreamble(const CsvDialect& dialect, bool header, const char* data, std::size_t size,
                      bool final) {
    Preamble pre;
    if (size < 3 && !final) return pre;
    const char* p = data;
    const char* const end = data + size;
    if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) p += 3;  // UTF-8 BOM
    CsvReader reader(dialect, 0);
    reader.keepAll(true);
    CsvRecord record;
    while (p < end) {
        const char* next = reader.read(p, end, final, record);
        if (next == nullptr) return pre;
        if (record.blank) {
            ++pre.blankLines;
            pre.lineBreaks += record.lineBreaks;
            p = next;
            continue;
        }
        pre.found = true;
        pre.firstRowLine = pre.lineBreaks + 1;
        for (const std::string_view f : reader.fields()) pre.fields.emplace_back(f);
        pre.problem = record.problem;
        if (header) {
            pre.lineBreaks += record.lineBreaks;
            p = next;
        }
        break;
    }
    if (!pre.found && !final) return pre;
    pre.complete = true;
    pre.dataStart = static_cast<std::size_t>(p - data);
    return pre;
}

// The bytes read from a stream and not yet handed to a thread, without the zero-filling of
// std::string::resize on every read.
class Pending {
  public:
    explicit Pending(std::size_t capacity) : _capacity(capacity), _bytes(new char[capacity]) {}

    const char* data() const noexcept { return _bytes.get(); }
    std::size_t size() const noexcept { return _size; }
    // Room for `n` more bytes at the end.
    char* room(std::size_t n) {
        if (_size + n > _capacity) {
            _capacity = std::max(_capacity * 2, _size + n);
            std::unique_ptr<char[]> bigger(new char[_capacity]);
            std::memcpy(bigger.get(), _bytes.get(), _size);
            _bytes.swap(bigger);
        }
        return _bytes.get() + _size;
    }
    void added(std::size_t n) noexcept { _size += n; }
    // Hands over a buffer that starts with the first `n` bytes, and keeps the rest.
    std::unique_ptr<char[]> take(std::size_t n) {
        std::unique_ptr<char[]> rest(new char[_capacity]);
        std::memcpy(rest.get(), _bytes.get() + n, _size - n);
        _size -= n;
        _bytes.swap(rest);
        return rest;
    }

  private:
    std::size_t _capacity;
    std::size_t _size = 0;
    std::unique_ptr<char[]> _bytes;
};

class Run {
  public:
    Run(const AggOptions& options, OutputSink& out, Reporter& err)
        : _options(options), _out(out), _err(err), _chunk(aggChunkSize()) {
        _shownName = options.file;
        _layout.dialect = CsvDialect{options.delimiter, options.collapse, !options.noQuotes};
        _layout.period = NqTimeAggregation(options.period);
        _layout.monthFirst = options.qelDates;
        _layout.rows = options.rows;
        _layout.stopAtBadRow = options.strict;
        _layout.zone = &RWZone::local();
        _layout.startOfWeek = QelDate::startOfWeek();
        _jobs =
            options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
        _window = std::min<std::size_t>(2 * _jobs + 2, 12);
    }

    int execute();

  private:
    int fail(const std::string& message) {
        _err.message(message);
        return kAggFailure;
    }
    bool setUp(const Preamble& pre);
    int runMapped(int fd, std::size_t size);
    int runStream(int fd, std::uint64_t total);
    int finish();

    void startWorkers(bool mapped);
    void work(bool mapped);
    void mergeReady();
    void showProgress();
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
    std::map<std::size_t, ChunkResult> _ready;  // by sequence number
    std::size_t _merged = 0;                    // sequence number of the next to merge
    bool _stop = false;
    int _status = kAggOk;
    std::string _failure;
    // The mapped file, cut at offsets k * _chunk from chunk _firstChunk on.
    const MappedFile* _map = nullptr;
    const char* _data = nullptr;
    std::size_t _size = 0;
    std::size_t _firstChunk = 0;
    std::size_t _dataStart = 0;
    std::size_t _trueEnd = 0;  // where the next chunk to merge really starts
    std::size_t _nextSeq = 0;
    std::size_t _chunkCount = 0;
    // The stream's chunks waiting for a thread.
    struct Job {
        std::size_t seq;
        std::size_t offset;
        std::size_t size;
        std::unique_ptr<char[]> bytes;
    };
    std::deque<Job> _jobsQueue;
    bool _produced = false;
    std::atomic<std::uint64_t> _consumed{0};
    std::uint64_t _total = 0;  // bytes of the input for the progress line; 0 when unknown
    bool _regular = false;     // the input is a regular file, not standard input
    std::vector<std::thread> _threads;
    Clock::time_point _started = Clock::now();
    Clock::time_point _shown = Clock::now() - PROGRESS_INTERVAL;  // the first is shown at once
};

bool Run::setUp(const Preamble& pre) {
    if (pre.found && _options.header && pre.problem != CsvProblem::None) {
        _err.message(
            messageName(_shownName) + ":" + std::to_string(pre.firstRowLine) +
            ": the header row cannot be read: " +
            (pre.problem == CsvProblem::Nul ? "it holds a NUL byte" : "its quoting is broken"));
        return false;
    }
    const std::size_t fieldCount = pre.fields.size();
    const auto& keys = _options.keyColumns;
    std::size_t needed = static_cast<std::size_t>(_options.timeColumn);
    for (int k : keys) needed = std::max(needed, static_cast<std::size_t>(k));
    for (int v : _options.valueColumns) needed = std::max(needed, static_cast<std::size_t>(v));
    // The first row matters when it names the columns or settles the value columns; else a
    // short first row is one bad row like any other.
    const bool firstRowRules = _options.header || _options.valueColumns.empty();
    if (pre.found && firstRowRules && needed > fieldCount) {
        _err.message("column " + std::to_string(needed) + " is beyond the " +
                     std::to_string(fieldCount) + " fields of the first row of '" +
                     messageName(_shownName) + "'");
        return false;
    }
    std::vector<int> values = _options.valueColumns;
    if (values.empty()) {
        for (int c = 1; c <= static_cast<int>(fieldCount); ++c)
            if (c != _options.timeColumn && std::find(keys.begin(), keys.end(), c) == keys.end())
                values.push_back(c);
        if (pre.found && values.empty()) {
            _err.message("no value columns: the first row of '" + messageName(_shownName) +
                         "' has only " + std::to_string(fieldCount) +
                         (fieldCount == 1 ? " field" : " fields"));
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
        return _options.header ? pre.fields[field] : "c" + std::to_string(field + 1);
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
            chunk = groupChunk(_layout, _data, 0, _trueEnd, stopAt(_merged), _size);
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

void Run::work(bool mapped) {
    std::unique_lock<std::mutex> lock(_mutex);
    try {
        while (true) {
            std::optional<ChunkResult> result;
            std::size_t seq = 0;
            if (mapped) {
                _cv.wait(lock, [this] {
                    return _stop || _nextSeq >= _chunkCount || _nextSeq < _merged + _window;
                });
                if (_stop || _nextSeq >= _chunkCount) return;
                seq = _nextSeq++;
                lock.unlock();
                const std::size_t begin =
                    seq == 0 ? _dataStart
                             : static_cast<std::size_t>(
                                   nextLineStart(_data, _data + (_firstChunk + seq) * _chunk,
                                                 _data + _size) -
                                   _data);
                _map->populate(begin, stopAt(seq));
                result.emplace(groupChunk(_layout, _data, 0, begin, stopAt(seq), _size));
                _map->release(begin, stopAt(seq));
            } else {
                _cv.wait(lock, [this] { return _stop || _produced || !_jobsQueue.empty(); });
                if (_stop || _jobsQueue.empty()) return;
                Job job = std::move(_jobsQueue.front());
                _jobsQueue.pop_front();
                _cv.notify_all();
                seq = job.seq;
                lock.unlock();
                const std::size_t end = job.offset + job.size;
                result.emplace(
                    groupChunk(_layout, job.bytes.get(), job.offset, job.offset, end, end));
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

void Run::startWorkers(bool mapped) {
    for (unsigned i = mapped ? 1 : 0; i < _jobs; ++i)
        _threads.emplace_back([this, mapped] { work(mapped); });
}

int Run::runMapped(int fd, std::size_t size) {
    MappedFile map(fd, size, _shownName);
    const BusErrorGuard guard(map.data(), size,
                              std::string(_err.progressEnabled() ? Reporter::CLEAR_LINE : "") +
                                  "qelkit-agg: " + _shownName +
                                  ": the file changed size while it was being read\n");
    _map = &map;
    _data = map.data();
    _size = size;
    _total = size;
    const Preamble pre = readPreamble(_layout.dialect, _options.header, _data, size, true);
    if (!setUp(pre)) return kAggFailure;
    _dataStart = _trueEnd = pre.dataStart;
    _firstChunk = pre.dataStart / _chunk;
    _chunkCount = pre.dataStart < size ? (size - 1) / _chunk + 1 - _firstChunk : 0;
    startWorkers(true);
    work(true);
    for (std::thread& t : _threads) t.join();
    _threads.clear();
    struct stat after;
    if (::fstat(fd, &after) == 0 && static_cast<std::size_t>(after.st_size) != size)
        return fail(_shownName + ": the file changed size while it was being read");
    _data = nullptr;
    return finish();
}

int Run::runStream(int fd, std::uint64_t total) {
    StreamInput input(fd, _shownName);
    _total = total;
    Pending pending(_chunk + 2 * READ_BLOCK);
    bool ended = false;
    // Reads more of the stream onto `pending`; false at its end.
    auto more = [&]() {
        const std::size_t n = input.read(pending.room(READ_BLOCK), READ_BLOCK);
        pending.added(n);
        _consumed.store(input.consumed());
        ended = n == 0;
        return n != 0;
    };
    Preamble pre;
    while (!(pre = readPreamble(_layout.dialect, _options.header, pending.data(), pending.size(),
                                ended))
                .complete)
        more();
    if (pending.size() == 0)
        return fail(_shownName + (_regular ? ": the file is empty" : ": the input is empty"));
    if (!setUp(pre)) return kAggFailure;
    pending.take(pre.dataStart);
    std::size_t offset = pre.dataStart;  // of pending's first byte, a record start
    std::size_t seq = 0;
    std::size_t scanned = 0;  // a record start up to which the quote-aware scan got
    CsvReader scanner(_layout.dialect, 0);
    startWorkers(false);
    auto push = [&](std::size_t cut) {
        Job job{seq++, offset, cut, pending.take(cut)};
        offset += cut;
        scanned = 0;
        std::unique_lock<std::mutex> lock(_mutex);
        _cv.wait(lock, [&] { return _stop || job.seq < _merged + _window; });
        _jobsQueue.push_back(std::move(job));
        _cv.notify_all();
        return !_stop;
    };
    try {
        bool going = true;
        while (going && (pending.size() != 0 || !ended)) {
            // The chunk ends at the first record start at or after the next multiple of the
            // chunk size; quoted fields are followed only if a quote is in sight.
            const std::size_t nominal = (offset / _chunk + 1) * _chunk - offset;
            while (pending.size() <= nominal && more()) {
            }
            const char* begin = pending.data();
            const char* end = begin + pending.size();
            const char* cut = nextLineStart(begin, begin + std::min(nominal, pending.size()), end);
            bool exact = ended || cut < end || (cut > begin && end[-1] == '\n');
            if (_layout.dialect.quotes && std::memchr(begin, '"', cut - begin) != nullptr) {
                const char* p = begin + scanned;
                CsvRecord record;
                while (p < begin + nominal && p < end) {
                    const char* next = scanner.read(p, end, ended, record);
                    if (next == nullptr) break;
                    p = next;
                }
                scanned = static_cast<std::size_t>(p - begin);
                cut = p;
                exact = ended || p >= begin + nominal;
            }
            if (!exact) {
                if (pending.size() > _chunk + MAX_STREAM_ROW)
                    throw InputError(_shownName + ": a row near byte " + std::to_string(offset) +
                                     " is longer than 64 MiB");
                more();
                continue;
            }
            if (cut == begin) break;  // nothing left
            going = push(static_cast<std::size_t>(cut - begin));
        }
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(_mutex);
            _stop = true;
            _cv.notify_all();
        }
        for (std::thread& t : _threads) t.join();
        throw;
    }
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _produced = true;
        _cv.notify_all();
    }
    for (std::thread& t : _threads) t.join();
    _threads.clear();
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
    if (fd < 0) return fail("cannot open '" + _options.file + "': " + std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() {
            if (fd != STDIN_FILENO) ::close(fd);
        }
    } closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return fail("cannot read '" + _options.file + "': " + std::strerror(errno));
    if (S_ISDIR(info.st_mode)) return fail("cannot read '" + _options.file + "': Is a directory");
    try {
        // A regular file that reports no size (as /proc files do) is read as a stream.
        _regular = S_ISREG(info.st_mode) && !standardInput;
        if (_regular && info.st_size != 0) {
            unsigned char magic[2] = {0, 0};
            const bool gzip = ::pread(fd, magic, 2, 0) == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
            if (!gzip) return runMapped(fd, static_cast<std::size_t>(info.st_size));
        }
        return runStream(fd, _regular ? static_cast<std::uint64_t>(info.st_size) : 0);
    } catch (const InputError& e) {
        _err.clear();
        return fail(e.what());
    }
}

}  // namespace

std::size_t aggChunkSize() {
    const char* text = std::getenv("QELKIT_AGG_CHUNK_SIZE");
    if (text == nullptr) return DEFAULT_CHUNK;
    const unsigned long long value = std::strtoull(text, nullptr, 10);
    return value >= 1 ? static_cast<std::size_t>(value) : DEFAULT_CHUNK;
}

int runAggregation(const AggOptions& options, OutputSink& out, Reporter& err) {
    return Run(options, out, err).execute();
}
