// SPDX-License-Identifier: Apache-2.0
// Benchmarks of the file tokenizer and of ZLIB, each beside baselines doing the same work, so
// that the ratios come from one run.
//
// Tokenizer: a generated 256 MiB measurement file (a timestamp, a device id and six numeric
// fields per line) under $TMPDIR (or /tmp), written once per run on first use and deleted at
// exit. Baselines: (a) std::ifstream + std::getline + a std::string per field; (b) a scan over
// the mapped file finding the same field boundaries through the same 256-entry byte-class
// table, allocating nothing; (c) that scan making a std::string per field; (d) a memchr line
// count over a fresh mapping and (e) over read() into a 1 MiB buffer, the speed of merely
// walking the bytes. The cost of mapping alone: a fresh mapping with one byte read per page,
// plain, with MAP_POPULATE, after madvise(MADV_SEQUENTIAL) or madvise(MADV_WILLNEED), with the
// file in the page cache and, after posix_fadvise(POSIX_FADV_DONTNEED) drops the file's pages
// (outside the timing), read from the disk.
// ZLIB: 16 MiB of generated log-like text at levels 1, 6 and 9 against zlib's compress2 and
// uncompress writing into buffers of known size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "qelkit/records/nq_mapped_file_tokenizer.h"
#include "qelkit/records/zlib_compression.h"

namespace {

// ---- The measurement file -----------------------------------------------------------------
const std::size_t kFileBytes = std::size_t(256) << 20;

// Writes the file on first use and removes it when the program ends.
class MeasurementFile {
  public:
    static const MeasurementFile& get() {
        static const MeasurementFile file;
        return file;
    }
    ~MeasurementFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }
    std::size_t bytes() const { return bytes_; }
    std::size_t fields() const { return fields_; }

  private:
    MeasurementFile() {
        const char* dir = std::getenv("TMPDIR");
        path_ = std::string(dir && *dir ? dir : "/tmp") + "/qelkit_files_bench_" +
                std::to_string(getpid()) + ".csv";
        std::FILE* out = std::fopen(path_.c_str(), "w");
        if (!out) return;
        unsigned seed = 12345;
        char line[160];
        for (long n = 0; bytes_ < kFileBytes; ++n) {
            seed = seed * 1664525u + 1013904223u;
            const int len = std::snprintf(
                line, sizeof line,
                "2026-12-%02ld %02ld:%02ld:%02ld,dev%05u,%u.%02u,%u,%u.%u,-%u,%u.%03u,%u\n",
                1 + n / 86400 % 28, n / 3600 % 24, n / 60 % 60, n % 60, seed % 50000, seed >> 20,
                seed % 100, seed % 9973, seed % 317, seed % 7, seed % 1000, seed % 61, seed % 1000,
                (seed >> 8) % 100000);
            std::fwrite(line, 1, static_cast<std::size_t>(len), out);
            bytes_ += static_cast<std::size_t>(len);
            fields_ += 8;
        }
        std::fclose(out);
    }

    std::string path_;
    std::size_t bytes_ = 0;
    std::size_t fields_ = 0;
};

void report(benchmark::State& state, std::size_t bytes, std::size_t fields) {
    state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
    state.counters["fields/s"] = benchmark::Counter(
        static_cast<double>(fields * state.iterations()), benchmark::Counter::kIsRate);
}

void BM_MappedFileTokenizer(benchmark::State& state) {
    const MeasurementFile& file = MeasurementFile::get();
    std::size_t fields = 0;
    for (auto _ : state) {
        NqMappedFileTokenizer tok(file.path().c_str(), ',', 0);
        fields = 0;
        for (;;) {
            const QelString field = tok.next();
            if (tok.end()) break;
            benchmark::DoNotOptimize(field.data());
            ++fields;
            if (tok.endOfLine()) tok.nextLine();
        }
    }
    if (fields != file.fields()) state.SkipWithError("field count differs");
    report(state, file.bytes(), fields);
}
BENCHMARK(BM_MappedFileTokenizer)->Unit(benchmark::kMillisecond);

// (a) Line by line with the standard streams, a std::string per field.
void BM_IfstreamGetlineSplit(benchmark::State& state) {
    const MeasurementFile& file = MeasurementFile::get();
    std::size_t fields = 0;
    for (auto _ : state) {
        std::ifstream in(file.path());
        std::string line;
        std::vector<std::string> split;
        fields = 0;
        while (std::getline(in, line)) {
            split.clear();
            std::size_t start = 0;
            for (std::size_t comma; (comma = line.find(',', start)) != std::string::npos;
                 start = comma + 1)
                split.emplace_back(line, start, comma - start);
            split.emplace_back(line, start);
            fields += split.size();
            benchmark::DoNotOptimize(split.data());
        }
    }
    if (fields != file.fields()) state.SkipWithError("field count differs");
    report(state, file.bytes(), fields);
}
BENCHMARK(BM_IfstreamGetlineSplit)->Unit(benchmark::kMillisecond);

// The file mapped read-only for the scans; unmapped and closed at scope exit.
class Mapping {
  public:
    // `flags` are added to MAP_PRIVATE; `advice`, unless -1, is given to madvise.
    explicit Mapping(const std::string& path, int flags = 0, int advice = -1)
        : fd_(open(path.c_str(), O_RDONLY)) {
        struct stat st;
        if (fd_ != -1 && fstat(fd_, &st) == 0) {
            size_ = static_cast<std::size_t>(st.st_size);
            void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | flags, fd_, 0);
            if (p != MAP_FAILED) {
                data_ = static_cast<const char*>(p);
                if (advice != -1) madvise(p, size_, advice);
            }
        }
    }
    ~Mapping() {
        if (data_) munmap(const_cast<char*>(data_), size_);
        if (fd_ != -1) close(fd_);
    }
    const char* begin() const { return data_; }
    const char* end() const { return data_ + size_; }

  private:
    int fd_;
    std::size_t size_ = 0;
    const char* data_ = nullptr;
};

struct ClassTable {
    unsigned char c[256] = {};
    ClassTable() {
        c[static_cast<unsigned char>('\n')] = 3;
        c[0] = 7;
        c[static_cast<unsigned char>(',')] = 1;
    }
};

// (b) and (c): one table lookup per byte; each field is passed to `use` as (start, length).
template <class Use>
std::size_t scanFields(const char* p, const char* end, Use use) {
    static const ClassTable table;
    std::size_t fields = 0;
    const char* start = p;
    for (; p < end; ++p) {
        if (table.c[static_cast<unsigned char>(*p)] != 0) {
            use(start, static_cast<std::size_t>(p - start));
            ++fields;
            start = p + 1;
        }
    }
    return fields;
}

void BM_TableScanNoAlloc(benchmark::State& state) {
    const MeasurementFile& file = MeasurementFile::get();
    std::size_t fields = 0;
    for (auto _ : state) {
        Mapping map(file.path());
        std::size_t total = 0;
        fields =
            scanFields(map.begin(), map.end(), [&](const char*, std::size_t n) { total += n; });
        benchmark::DoNotOptimize(total);
    }
    if (fields != file.fields()) state.SkipWithError("field count differs");
    report(state, file.bytes(), fields);
}
BENCHMARK(BM_TableScanNoAlloc)->Unit(benchmark::kMillisecond);

void BM_TableScanStdString(benchmark::State& state) {
    const MeasurementFile& file = MeasurementFile::get();
    std::size_t fields = 0;
    for (auto _ : state) {
        Mapping map(file.path());
        fields = scanFields(map.begin(), map.end(), [](const char* s, std::size_t n) {
            std::string field(s, n);
            benchmark::DoNotOptimize(field.data());
        });
    }
    if (fields != file.fields()) state.SkipWithError("field count differs");
    report(state, file.bytes(), fields);
}
BENCHMARK(BM_TableScanStdString)->Unit(benchmark::kMillisecond);

// (d) and (e): lines counted with memchr, over a fresh mapping and over read() buffers.
std::size_t countLines(const char* p, const char* end) {
    std::size_t lines = 0;
    while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))))
        ++lines, ++p;
    return lines;
}

void BM_MemchrLinesMapped(benchmark::State& state) {
    const MeasurementFile& file = MeasurementFile::get();
    for (auto _ : state) {
        Mapping map(file.path());
        benchmark::DoNotOptimize(countLines(map.begin(), map.end()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(file.bytes() * state.iterations()));
}
BENCHMARK(BM_MemchrLinesMapped)->Unit(benchmark::kMillisecond);

void BM_MemchrLinesRead(benchmark::State& state) {
    const MeasurementFile& file = MeasurementFile::get();
    std::vector<char> buffer(std::size_t(1) << 20);
    for (auto _ : state) {
        const int fd = open(file.path().c_str(), O_RDONLY);
        std::size_t lines = 0;
        for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;)
            lines += countLines(buffer.data(), buffer.data() + n);
        close(fd);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(file.bytes() * state.iterations()));
}
BENCHMARK(BM_MemchrLinesRead)->Unit(benchmark::kMillisecond);

// The mapping alone: map, read one byte per page, unmap. Argument 0: how the file is mapped
// (0 plain, 1 MAP_POPULATE, 2 MADV_SEQUENTIAL, 3 MADV_WILLNEED); argument 1: 1 to drop the
// file's cached pages before each iteration, so that the pages come from the disk. Those cold
// runs are timed by the clock, as the thread's CPU time leaves out the wait for the disk.
void BM_MappingPages(benchmark::State& state) {
    const MeasurementFile& file = MeasurementFile::get();
    const int how = static_cast<int>(state.range(0));
    const int flags = how == 1 ? MAP_POPULATE : 0;
    const int advice = how == 2 ? MADV_SEQUENTIAL : how == 3 ? MADV_WILLNEED : -1;
    const long page = sysconf(_SC_PAGESIZE);
    for (auto _ : state) {
        if (state.range(1) != 0) {
            state.PauseTiming();
            const int fd = open(file.path().c_str(), O_RDONLY);
            fdatasync(fd);  // pages still dirty from writing the file cannot be dropped
            posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            close(fd);
            state.ResumeTiming();
        }
        Mapping map(file.path(), flags, advice);
        unsigned sum = 0;
        for (const char* p = map.begin(); p < map.end(); p += page)
            sum += static_cast<unsigned char>(*p);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(file.bytes() * state.iterations()));
}
BENCHMARK(BM_MappingPages)
    ->ArgsProduct({{0, 1, 2, 3}, {0}})
    ->ArgNames({"how", "cold"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MappingPages)
    ->ArgsProduct({{0, 1, 2, 3}, {1}})
    ->ArgNames({"how", "cold"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// ---- Compression --------------------------------------------------------------------------
const std::size_t kTextBytes = std::size_t(16) << 20;

const RWCString& logText() {
    static const RWCString text = [] {
        static const char* const kWords[] = {"connection", "accepted", "closed",  "timeout",
                                             "user",       "session",  "request", "served",
                                             "cache",      "miss",     "retry",   "ok"};
        std::string out;
        out.reserve(kTextBytes + 256);
        unsigned seed = 777;
        char line[256];
        for (long n = 0; out.size() < kTextBytes; ++n) {
            seed = seed * 1664525u + 1013904223u;
            int len = std::snprintf(line, sizeof line,
                                    "Dec  6 %02ld:%02ld:%02ld host%02u app[%u]: %s %s id=%u ",
                                    n / 3600 % 24, n / 60 % 60, n % 60, seed % 16, 1000 + seed % 50,
                                    kWords[seed % 12], kWords[(seed >> 8) % 12], seed % 100000);
            len +=
                std::snprintf(line + len, sizeof line - len, "took %u ms\n", (seed >> 12) % 2000);
            out.append(line, static_cast<std::size_t>(len));
        }
        out.resize(kTextBytes);
        return RWCString(out);
    }();
    return text;
}

void BM_ZLIBCompress(benchmark::State& state) {
    const RWCString& text = logText();
    const int level = static_cast<int>(state.range(0));
    std::size_t out = 0;
    for (auto _ : state) {
        const RWCString packed = ZLIB::compress(text, level);
        out = packed.length();
        benchmark::DoNotOptimize(packed.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(text.length() * state.iterations()));
    state.counters["ratio"] = static_cast<double>(text.length()) / static_cast<double>(out);
}
BENCHMARK(BM_ZLIBCompress)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);

void BM_zlibCompress2(benchmark::State& state) {
    const RWCString& text = logText();
    const int level = static_cast<int>(state.range(0));
    std::vector<Bytef> buffer(compressBound(text.length()));
    for (auto _ : state) {
        uLongf len = buffer.size();
        compress2(buffer.data(), &len, reinterpret_cast<const Bytef*>(text.data()), text.length(),
                  level);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(text.length() * state.iterations()));
}
BENCHMARK(BM_zlibCompress2)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);

void BM_ZLIBDecompress(benchmark::State& state) {
    const RWCString& text = logText();
    const RWCString packed = ZLIB::compress(text, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const RWCString back = ZLIB::decompress(packed);
        if (back.length() != text.length()) return state.SkipWithError("length differs");
        benchmark::DoNotOptimize(back.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(text.length() * state.iterations()));
}
BENCHMARK(BM_ZLIBDecompress)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);

void BM_zlibUncompress(benchmark::State& state) {
    const RWCString& text = logText();
    const RWCString packed = ZLIB::compress(text, static_cast<int>(state.range(0)));
    std::vector<Bytef> buffer(text.length());
    for (auto _ : state) {
        uLongf len = buffer.size();
        if (uncompress(buffer.data(), &len, reinterpret_cast<const Bytef*>(packed.data()),
                       packed.length()) != Z_OK)
            return state.SkipWithError("uncompress failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(text.length() * state.iterations()));
}
BENCHMARK(BM_zlibUncompress)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
