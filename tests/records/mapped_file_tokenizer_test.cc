// SPDX-License-Identifier: Apache-2.0
// NqMappedFileTokenizer's failures to open and map, and a file cut short by someone else while
// it is mapped. Its fields against a reference splitter, on files around a page long, are
// file_tokenizer_fuzz's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "qelkit/records/nq_exception.h"
#include "qelkit/records/nq_mapped_file_tokenizer.h"

namespace {

// A temporary file holding `content`, removed at scope exit.
struct TempFile {
    explicit TempFile(const std::string& content) {
        std::ofstream(path, std::ios::binary) << content;
    }
    ~TempFile() { std::remove(path.c_str()); }
    static inline int count = 0;
    std::string path = testing::TempDir() + "qelkit_tok_" + std::to_string(getpid()) + "_" +
                       std::to_string(++count);
};

int openDescriptors() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator()));
}

TEST(MappedFileTokenizerTest, OpenAndMapFailuresNameFileAndReasonWithoutLeaks) {
    TempFile empty("");
    const std::string missing = empty.path + ".missing";
    const std::string cases[][2] = {
        {missing, "Error opening file: " + missing + ", " + std::strerror(ENOENT)},
        {"/tmp", std::string("Error trying to mmap file: /tmp, ") + std::strerror(ENODEV)},
        {empty.path, "Error trying to mmap file: " + empty.path + ", " + std::strerror(EINVAL)},
    };
    const int before = openDescriptors();
    for (const auto& c : cases)
        EXPECT_THROW(
            try { NqMappedFileTokenizer(c[0].c_str(), ',', 0); } catch (const NqException& e) {
                EXPECT_EQ(e.why(), c[1]);
                throw;
            },
            NqException);
    EXPECT_EQ(openDescriptors(), before);
}

// Reading a page lost to truncation raises SIGBUS: its default action ends the process, and a
// handler of the program's own receives it. The sanitizers catch SIGBUS themselves, so each
// child sets the disposition first.
TEST(MappedFileTokenizerDeathTest, PagesLostToTruncationRaiseSigbus) {
    std::unique_ptr<NqMappedFileTokenizer> tok;
    {
        const TempFile file(std::string(3 * getpagesize(), 'x') + ",y\n");
        tok = std::make_unique<NqMappedFileTokenizer>(file.path.c_str(), ',', 0);
        ASSERT_EQ(truncate(file.path.c_str(), 0), 0);
    }
    const auto readAll = [&tok] {
        for (; !tok->end(); tok->nextLine()) tok->next();
    };
    EXPECT_EXIT((std::signal(SIGBUS, SIG_DFL), readAll()), testing::KilledBySignal(SIGBUS), "");
    const auto handler = [](int) { _exit(2); };
    EXPECT_EXIT((std::signal(SIGBUS, +handler), readAll()), testing::ExitedWithCode(2), "");
}

}  // namespace
