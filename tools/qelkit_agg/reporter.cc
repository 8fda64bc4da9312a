// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/reporter.h"

#include <unistd.h>

#include <cerrno>

void Reporter::write(const std::string& text) noexcept {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // nowhere left to complain
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

void Reporter::message(const std::string& text) {
    write((_shown ? CLEAR_LINE : "") + std::string("qelkit-agg: ") + text + "\n");
    _shown = false;
}

void Reporter::progress(const std::string& text) {
    if (!_progress) return;
    write(CLEAR_LINE + std::string("qelkit-agg: ") + text);
    _shown = true;
}

void Reporter::clear() {
    if (!_shown) return;
    write(CLEAR_LINE);
    _shown = false;
}
