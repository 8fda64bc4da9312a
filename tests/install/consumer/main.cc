// SPDX-License-Identifier: Apache-2.0
#include <qelkit/qelkit.h>

#include <cstdio>

int main() {
    // printf-style formatting into the library's string type.
    const QelString text = QelString::format("%s=%d", "x", 42);
    if (text != "x=42") {
        std::fprintf(stderr, "unexpected text: %s\n", text.data());
        return 1;
    }
    std::printf("%s\n", text.data());
    return 0;
}
