// SPDX-License-Identifier: Apache-2.0
// NqMappedFileTokenizer against the pages under it: fields longer than the tokenizer's scan
// windows, files that end on a page boundary, and a file cut short by someone else while it is
// mapped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "qelkit/records/nq_mapped_file_tokenizer.h"
#include "tests/records/reference_splitter.h"

namespace {

const std::string kPath = testing::TempDir() + "qelkit_paging_" + std::to_string(getpid());

// Maps a new file holding `content`, cuts the file to `keep` bytes if that is shorter, and
// removes its name; the mapping keeps what it still can.
std::unique_ptr<NqMappedFileTokenizer> mapped(const std::string& content, char delim, bool collapse,
                                              std::size_t keep = SIZE_MAX) {
    std::ofstream(kPath, std::ios::binary) << content;
    auto tok = std::make_unique<NqMappedFileTokenizer>(kPath.c_str(), delim, collapse);
    EXPECT_EQ(keep < content.size() ? truncate(kPath.c_str(), off_t(keep)) : 0, 0);
    std::remove(kPath.c_str());
    return tok;
}

TEST(MappedFileTokenizerPagingTest, LongFieldsAndPageSizedFilesMatchReference) {
    std::mt19937 rng(4242);
    const std::size_t page = static_cast<std::size_t>(getpagesize());
    for (const std::size_t size : {page - 1, page, page + 1, 2 * page}) {
        for (int round = 0; round < 12; ++round) {
            std::string content(size, ' ');  // newline, ',' and ';' one in 64 each, NUL rarer
            for (char& c : content) {
                const unsigned r = rng() % 512;
                c = r < 24 ? "\n,;"[r % 3] : r == 24 ? '\0' : static_cast<char>('a' + r % 26);
            }
            Reference ref{content, round % 2 ? ';' : ',', round % 3 == 0};
            auto tok = mapped(content, ref.delim, ref.collapse);
            for (std::size_t call = 0; call < 3 * size; ++call) {
                const bool line = rng() % 5 == 0;
                const std::string got = line ? (tok->nextLine(), "") : std::string(tok->next());
                const std::string want = line ? (ref.nextLine(), "") : ref.next();
                ASSERT_EQ(got + "|" + char('0' + tok->endOfLine()) + char('0' + tok->end()),
                          want + "|" + char('0' + ref.eol) + char('0' + ref.end))
                    << size << " bytes, round " << round << ", call " << call;
            }
        }
    }
}

// Reading a page lost to truncation raises SIGBUS: its default action ends the process, and a
// handler of the program's own receives it. The sanitizers catch SIGBUS themselves, so each
// child sets the disposition first.
TEST(MappedFileTokenizerPagingDeathTest, PagesLostToTruncationRaiseSigbus) {
    auto tok = mapped(std::string(3 * getpagesize(), 'x') + ",y\n", ',', false, 0);
    const auto readAll = [&tok] {
        for (; !tok->end(); tok->nextLine()) tok->next();
    };
    EXPECT_EXIT((std::signal(SIGBUS, SIG_DFL), readAll()), testing::KilledBySignal(SIGBUS), "");
    const auto handler = [](int) { _exit(2); };
    EXPECT_EXIT((std::signal(SIGBUS, +handler), readAll()), testing::ExitedWithCode(2), "");
}

}  // namespace
