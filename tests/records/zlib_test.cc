// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

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

// Inputs beyond the coder's 256 KiB chunks, random and highly compressible (the result then
// grows far past its first guess), come back whole through zlib's own uncompress and through
// decompress; zlib_fuzz compares every level with zlib's compress2 on small inputs.
TEST(ZlibTest, LargeInputsRoundTripReadableByZlib) {
    for (const RWCString& data : {randomBytes(1 << 20), RWCString('\0', 3 << 20)}) {
        const RWCString packed = ZLIB::compress(data, 9);
        std::string back(data.length() + 1, 'x');
        uLongf backLen = back.size();
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(&back[0]), &backLen,
                             reinterpret_cast<const Bytef*>(packed.data()), packed.length()),
                  Z_OK);
        EXPECT_TRUE(RWCString(back.data(), backLen) == data);
        EXPECT_TRUE(ZLIB::decompress(packed) == data);
    }
}

// Corrupt, truncated and trailing input is zlib_fuzz's. An output limit: the result
// may fill it; one more byte fails, and without raise keeps the limit's bytes. Empty input and a
// level zlib rejects give empty results, silently.
TEST(ZlibTest, OutputLimitEmptyInputAndBadLevels) {
    const RWCString text = randomBytes(200000) + RWCString('a', 300000);
    const RWCString packed = ZLIB::compress(text, 6);
    EXPECT_EQ(ZLIB::decompress(packed, 1, text.length()).length(), text.length());
    EXPECT_THROW(
        try { ZLIB::decompress(packed, 1, text.length() - 1); } catch (const NqException& e) {
            EXPECT_STREQ(e.why(), "ZLIB decompression failure");
            throw;
        },
        NqException);
    EXPECT_EQ(output_capture::cerrOf([&] {
                  EXPECT_TRUE(ZLIB::decompress(packed, 0, 1000) == RWCString(text.data(), 1000));
              }),
              "ZLIB decompression failure\n");
    EXPECT_EQ(output_capture::cerrOf([] {
                  EXPECT_TRUE(ZLIB::decompress(RWCString(), 0).isNull() &&
                              ZLIB::compress("data", 10, 1).isNull() &&
                              ZLIB::compress("data", -2, 1).isNull());
              }),
              "");
}

}  // namespace
