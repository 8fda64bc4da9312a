// SPDX-License-Identifier: Apache-2.0
// The string hash: case folding agrees with the exact form byte for byte.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
