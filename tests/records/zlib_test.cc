// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <utility>

#include "qelkit/records/nq_exception.h"
#include "qelkit/records/zlib_compression.h"
#include "tests/output_capture.h"

namespace {

RWCString randomBytes(std::size_t n) {
    std::mt19937 rng(static_cast<unsigned>(n));
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return RWCString(s);
}

TEST(ZlibTest, RoundTripsAtEveryLevelReadableByZlib) {
    for (std::size_t size : {0, 1, 65537, 1 << 20, 3 << 20}) {
        const RWCString data = size == (3 << 20) ? RWCString('\0', size) : randomBytes(size);
        for (int level = -1; level <= 9; ++level) {
            SCOPED_TRACE(testing::Message() << "size " << size << " level " << level);
            const RWCString packed = ZLIB::compress(data, level);
            std::string back(size + 1, 'x');
            uLongf backLen = back.size();
            ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(&back[0]), &backLen,
                                 reinterpret_cast<const Bytef*>(packed.data()), packed.length()),
                      Z_OK);
            EXPECT_TRUE(RWCString(back.data(), backLen) == data);
            EXPECT_TRUE(ZLIB::decompress(packed) == data);
        }
    }
}

// Corrupt and truncated streams throw with raise set; without it they write one line to
// std::cerr and give back the bytes decoded before the failure.
TEST(ZlibTest, FailuresThrowOrWriteOneLineAndKeepTheBytesDecoded) {
    const RWCString text = randomBytes(200000) + RWCString('a', 300000);
    const RWCString packed = ZLIB::compress(text, 6);
    RWCString badCheck = packed;
    badCheck(badCheck.length() - 1) ^= 1;
    // Each input with the number of leading bytes of `text` that must come back.
    const std::pair<RWCString, std::size_t> cases[] = {
        {"this is not a zlib stream", 0}, {RWCString(packed.data(), packed.length() / 2), 100000},
        {RWCString(packed.data(), 2), 0}, {badCheck, text.length()},
        {packed + packed, text.length()}, {packed + "trailing garbage", text.length()},
    };
    for (const auto& c : cases) {
        const RWCString& input = c.first;
        SCOPED_TRACE(input.length());
        EXPECT_THROW(
            try { ZLIB::decompress(input, 1); } catch (const NqException& e) {
                EXPECT_STREQ(e.why(), "ZLIB decompression failure");
                throw;
            },
            NqException);
        RWCString kept;
        EXPECT_EQ(output_capture::cerrOf([&] { kept = ZLIB::decompress(input, 0); }),
                  "ZLIB decompression failure\n");
        EXPECT_GE(kept.length(), c.second);
        EXPECT_TRUE(RWCString(text.data(), kept.length()) == kept);
    }
    // An output limit: the result may fill it, one more byte fails and keeps the limit's bytes.
    EXPECT_EQ(ZLIB::decompress(packed, 1, text.length()).length(), text.length());
    EXPECT_THROW(ZLIB::decompress(packed, 1, text.length() - 1), NqException);
    EXPECT_EQ(output_capture::cerrOf([&] {
                  EXPECT_TRUE(ZLIB::decompress(packed, 0, 1000) == RWCString(text.data(), 1000));
              }),
              "ZLIB decompression failure\n");
    // Empty input and a level zlib rejects give empty results, silently.
    EXPECT_EQ(output_capture::cerrOf([] {
                  EXPECT_TRUE(ZLIB::decompress(RWCString(), 0).isNull() &&
                              ZLIB::compress("data", 10, 1).isNull());
              }),
              "");
}

}  // namespace
