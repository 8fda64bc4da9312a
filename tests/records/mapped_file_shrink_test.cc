// SPDX-License-Identifier: Apache-2.0
// A mapped file cut short by someone else: reading its lost pages raises SIGBUS, which ends the
// process unless the program has its own handler, and the tokenizer leaves that handler alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>

#include "qelkit/records/nq_mapped_file_tokenizer.h"

namespace {

void reportAndExit(int) {
    static const char kText[] = "the file changed size while it was being read\n";
    (void)!write(STDERR_FILENO, kText, sizeof kText - 1);
    _exit(2);
}

// Reads every field; the file was truncated after it was mapped.
void readAll(NqMappedFileTokenizer& tok) {
    while (!tok.end()) {
        tok.next();
        if (tok.endOfLine()) tok.nextLine();
    }
}

TEST(MappedFileShrinkDeathTest, ReadingPagesLostToTruncationRaisesSigbus) {
    const std::string path = testing::TempDir() + "qelkit_shrink_" + std::to_string(getpid());
    std::ofstream(path) << std::string(3 * 4096, 'x') << ",y\n";
    NqMappedFileTokenizer tok(path.c_str(), ',', 0);
    ASSERT_EQ(truncate(path.c_str(), 0), 0);
    ASSERT_EQ(std::remove(path.c_str()), 0);  // the mapping keeps the file alive

    // The sanitizers catch SIGBUS themselves: the child restores the system's default first.
    EXPECT_EXIT((std::signal(SIGBUS, SIG_DFL), readAll(tok)), testing::KilledBySignal(SIGBUS), "");
    EXPECT_EXIT((std::signal(SIGBUS, reportAndExit), readAll(tok)), testing::ExitedWithCode(2),
                "the file changed size while it was being read");
}

}  // namespace
