// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// The mapping holds the file's bytes, NUL and CR among them. What QelRecordReader makes of
// such bytes is record_reader_fuzz's and qelkit-agg's differential test's.
TEST(MappedFileTokenizerTest, MappingHoldsTheFile) {
    const std::string content("\xEF\xBB\xBFz,\0\"b\r\n", 10);
    TempFile file(content);
    const NqMappedFileTokenizer tokenizer(file.path.c_str(), ',', 0);
    EXPECT_EQ(std::string(tokenizer.mappedData(), tokenizer.mappedSize()), content);
}

}  // namespace
