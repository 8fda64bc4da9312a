// SPDX-License-Identifier: Apache-2.0
// The string hash: case folding agrees with the exact form byte for byte, every byte (NULs
// included) counts, and every output bit (the low ones pick buckets) depends on every input bit.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "qelkit/foundation/rw_cstring.h"

namespace {

std::string asciiLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

TEST(RWCStringHash, IgnoreCaseEqualsExactHashOfLowerCasedBytes) {
    const std::string base = "MixedCase_Text-With@[`{Edges}]0123456789";
    for (std::size_t len = 0; len <= 24; ++len)
        for (std::size_t pos = 0; pos < len; ++pos)
            for (int byte = 0; byte < 256; ++byte) {
                std::string s = base.substr(0, len);
                s[pos] = static_cast<char>(byte);
                const RWCString text(s.data(), s.size()), lower = asciiLower(s);
                ASSERT_EQ(text.hash(RWCString::ignoreCase), lower.hash(RWCString::exact))
                    << len << " " << pos << " " << byte;
            }
}

TEST(RWCStringHash, EveryBitAndTrailingNulChangesTheHash) {
    std::set<unsigned> seen;
    std::size_t texts = 0;
    for (std::size_t len = 0; len <= 40; ++len) {
        const std::string base(len, '\0');
        seen.insert(RWCString(base.data(), len).hash());  // NUL runs of every length
        ++texts;
        for (std::size_t bit = 0; bit < 8 * len; ++bit, ++texts) {
            std::string s = base;
            s[bit / 8] = static_cast<char>(1 << (bit % 8));
            seen.insert(RWCString(s.data(), len).hash());
        }
    }
    EXPECT_EQ(seen.size(), texts);
}

TEST(RWCStringHash, EachInputBitFlipsEachOutputBitHalfTheTime) {
    std::mt19937 rng(3);
    for (std::size_t len : {3, 8, 13, 16}) {
        const int trials = 1000;
        std::vector<int> flips(8 * len * 32);  // [input bit][output bit]
        for (int t = 0; t < trials; ++t) {
            std::string s(len, '\0');
            for (char& c : s) c = static_cast<char>(rng());
            const unsigned h = RWCString(s.data(), len).hash();
            for (std::size_t bit = 0; bit < 8 * len; ++bit) {
                std::string u = s;
                u[bit / 8] = static_cast<char>(u[bit / 8] ^ (1 << (bit % 8)));
                const unsigned d = h ^ RWCString(u.data(), len).hash();
                for (int out = 0; out < 32; ++out) flips[bit * 32 + out] += (d >> out) & 1;
            }
        }
        for (int f : flips) ASSERT_NEAR(f, trials / 2, trials / 10) << len;
    }
}

}  // namespace
