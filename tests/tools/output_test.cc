// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/output.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

// Every byte arrives through a pipe, down to a single one; a bad descriptor gives its errno.
TEST(WriteFully, WritesEveryByteOrGivesTheError) {
    for (const std::string text : {"", "x", "two\nlines\n"}) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        EXPECT_EQ(writeFully(fds[1], text.data(), text.size()), 0);
        ::close(fds[1]);
        char got[16];
        const ssize_t n = ::read(fds[0], got, sizeof got);
        ::close(fds[0]);
        EXPECT_EQ(std::string(got, n > 0 ? static_cast<std::size_t>(n) : 0), text);
    }
    EXPECT_EQ(writeFully(-1, "x", 1), EBADF);
}

}  // namespace
