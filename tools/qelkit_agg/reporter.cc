// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/reporter.h"

#include <unistd.h>

#include "tools/qelkit_agg/output.h"

std::string shownName(const std::string& name) {
    static const char HEX[] = "0123456789abcdef";
    std::string shown;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            shown += "\\\\";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown.push_back(HEX[byte >> 4]);
            shown.push_back(HEX[byte & 15]);
        } else {
            shown.push_back(c);
        }
    }
    return shown;
}

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
