// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/reporter.h"

#include <unistd.h>

#include "tools/qelkit_agg/output.h"

void Reporter::write(const std::string& text) noexcept {
    writeFully(STDERR_FILENO, text.data(), text.size());  // a failure has nowhere to go
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
