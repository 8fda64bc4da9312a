// SPDX-License-Identifier: Apache-2.0
// Runs one fuzz target without libFuzzer, so ctest can replay its corpus in every build.
//
//   <target>_replay [--seeded N] <file or directory>...
//
// Each file (a directory: its regular files in name order) is passed to LLVMFuzzerTestOneInput
// once; then N inputs derived from them by a fixed-seed generator (bit flips, inserted and
// erased bytes, truncations, splices), the same in every run. A failed check() or a sanitizer's
// report first prints the name of the input under test. Exit status 2: unreadable arguments.
#include <algorithm>
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
#include <vector>

#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace {

std::string gCurrent;  // the name of the input under test

void run(const std::string& name, const std::string& bytes) {
    gCurrent = name;
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
        const unsigned kind = rng() % 5;
        if (kind == 0 && !s.empty()) s[below(s.size())] ^= static_cast<char>(1u << below(8));
        if (kind == 1) s.insert(below(s.size() + 1), 1, byte);
        if (kind == 2 && !s.empty()) s.erase(below(s.size()), 1 + below(4));
        if (kind == 3) s.resize(below(s.size() + 1));
        if (kind == 4 && !corpus.empty()) {
            const std::string& other = corpus[below(corpus.size())];
            const std::size_t from = below(other.size() + 1);
            s.insert(below(s.size() + 1), other, from, 1 + below(16));
        }
    }
    s.resize(std::min<std::size_t>(s.size(), 4096));
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t seeded = 0;
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (std::strcmp(argv[i], "--seeded") == 0 && i + 1 < argc) {
            seeded = std::strtoul(argv[++i], nullptr, 10);
        } else if (std::filesystem::is_directory(argv[i], error)) {
            std::vector<std::filesystem::path> entries;
            for (const auto& entry : std::filesystem::directory_iterator(argv[i], error))
                if (entry.is_regular_file()) entries.push_back(entry.path());
            std::sort(entries.begin(), entries.end());
            files.insert(files.end(), entries.begin(), entries.end());
        } else {
            files.emplace_back(argv[i]);
        }
        if (error) return std::fprintf(stderr, "%s: %s\n", argv[i], error.message().c_str()), 2;
    }
    checkFailed = [] { std::fprintf(stderr, "replay: failing input: %s\n", gCurrent.c_str()); };
    if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(checkFailed);
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);

    std::vector<std::string> corpus;
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        if (!in) return std::fprintf(stderr, "cannot read %s\n", path.c_str()), 2;
        corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        run(path.string(), corpus.back());
    }
    std::mt19937 rng(20261206);
    for (std::size_t i = 0; i < seeded; ++i)
        run("seeded #" + std::to_string(i), derive(rng, corpus));
    std::printf("%zu inputs passed\n", files.size() + seeded);
    return 0;
}
