// SPDX-License-Identifier: Apache-2.0
// Runs one fuzz target without libFuzzer, so ctest can replay its corpus in every build.
//
//   <target>_replay [--seeded N] <file or directory>...
//
// Each file is passed to LLVMFuzzerTestOneInput once (a directory: its regular files in name
// order). --seeded N then adds N inputs derived from those files by a fixed-seed generator (bit
// flips, inserted and erased bytes, truncations, splices), so every run sees the same inputs.
// The input under test is kept where a fatal-signal handler and the sanitizers' death callback
// can print it, so a failing run names the input that broke it. Exit status: 0 when every input
// passed, 2 on a bad command line or an unreadable file.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

// UBSan's runtime keeps its own death callbacks: have it abort instead of exiting quietly, so
// the SIGABRT handler below names the input. UBSAN_OPTIONS still overrides this.
extern "C" const char* __ubsan_default_options() { return "abort_on_error=1"; }

namespace {

// The name of the input under test, written before each call and read by the handlers.
char gCurrent[512];
std::size_t gCurrentLength = 0;

constexpr int kFatalSignals[] = {SIGILL, SIGABRT, SIGSEGV, SIGBUS, SIGFPE};
struct sigaction gPrevious[std::size(kFatalSignals)];

void printCurrent() {
    static const char prefix[] = "replay: failing input: ";
    if (write(STDERR_FILENO, prefix, sizeof prefix - 1) < 0) return;
    if (write(STDERR_FILENO, gCurrent, gCurrentLength) < 0) return;
    if (write(STDERR_FILENO, "\n", 1) < 0) return;
}

// Prints the input, puts back the handler that was there before (a sanitizer's, or the
// default) and lets it act: a fault re-executes the faulting instruction, anything else is
// raised again.
void onFatalSignal(int sig) {
    printCurrent();
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i)
        if (kFatalSignals[i] == sig) sigaction(sig, &gPrevious[i], nullptr);
    if (sig == SIGABRT) raise(sig);
}

void setCurrent(const std::string& name) {
    gCurrentLength = std::min(name.size(), sizeof gCurrent - 1);
    std::memcpy(gCurrent, name.data(), gCurrentLength);
}

void run(const std::string& name, const std::string& bytes) {
    setCurrent(name);
    // A buffer of exactly the input's size, so a sanitizer sees any read past its end.
    const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[bytes.size()]);
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    LLVMFuzzerTestOneInput(copy.get(), bytes.size());
}

// One derived input: one to four edits of a corpus entry, kept under 4 KiB.
std::string derive(std::mt19937& rng, const std::vector<std::string>& corpus) {
    const auto below = [&rng](std::size_t n) { return n == 0 ? 0 : rng() % n; };
    std::string s = corpus.empty() ? std::string() : corpus[below(corpus.size())];
    for (std::size_t edits = 1 + below(4); edits > 0; --edits) {
        const char byte = static_cast<char>(rng());
        switch (rng() % 5) {
            case 0:
                if (!s.empty()) s[below(s.size())] ^= static_cast<char>(1u << below(8));
                break;
            case 1:
                s.insert(below(s.size() + 1), 1, byte);
                break;
            case 2:
                if (!s.empty()) s.erase(below(s.size()), 1 + below(4));
                break;
            case 3:
                s.resize(below(s.size() + 1));
                break;
            default:
                if (!corpus.empty()) {
                    const std::string& other = corpus[below(corpus.size())];
                    const std::size_t from = below(other.size() + 1);
                    s.insert(below(s.size() + 1), other, from, 1 + below(16));
                }
        }
    }
    if (s.size() > 4096) s.resize(4096);
    return s;
}

bool readFile(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad() && in.is_open();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program = std::filesystem::path(argv[0]).filename().string();
    std::size_t seeded = 0;
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seeded" && i + 1 < argc) {
            char* end = nullptr;
            seeded = std::strtoul(argv[++i], &end, 10);
            if (*end != '\0' || argv[i][0] == '-') {
                std::fprintf(stderr, "%s: --seeded needs a count, not \"%s\"\n", program.c_str(),
                             argv[i]);
                return 2;
            }
            continue;
        }
        std::error_code error;
        if (std::filesystem::is_directory(arg, error)) {
            std::vector<std::filesystem::path> entries;
            for (const auto& entry : std::filesystem::directory_iterator(arg, error))
                if (entry.is_regular_file()) entries.push_back(entry.path());
            std::sort(entries.begin(), entries.end());
            files.insert(files.end(), entries.begin(), entries.end());
        } else {
            files.emplace_back(arg);
        }
        if (error) {
            std::fprintf(stderr, "%s: %s: %s\n", program.c_str(), arg.c_str(),
                         error.message().c_str());
            return 2;
        }
    }
    if (files.empty() && seeded == 0) {
        std::fprintf(stderr, "usage: %s [--seeded N] <file or directory>...\n", program.c_str());
        return 2;
    }

    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
        struct sigaction action {};
        action.sa_handler = onFatalSignal;
        sigemptyset(&action.sa_mask);
        sigaction(kFatalSignals[i], &action, &gPrevious[i]);
    }
    if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(printCurrent);
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);

    std::vector<std::string> corpus;
    for (const auto& path : files) {
        std::string bytes;
        if (!readFile(path, bytes)) {
            std::fprintf(stderr, "%s: cannot read %s\n", program.c_str(), path.c_str());
            return 2;
        }
        run(path.string(), bytes);
        corpus.push_back(std::move(bytes));
    }
    std::mt19937 rng(20261206);
    for (std::size_t i = 0; i < seeded; ++i)
        run("seeded #" + std::to_string(i), derive(rng, corpus));
    std::printf("%s: %zu inputs passed\n", program.c_str(), files.size() + seeded);
    return 0;
}
