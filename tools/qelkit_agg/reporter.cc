// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/reporter.h"

#include <unistd.h>

#include "tools/qelkit_agg/output.h"

std::string oneLine(const std::string& text) {
    static const char HEX[] = "0123456789ABCDEF";
    std::string line;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) {
            line.push_back(c);
            continue;
        }
        line += "\\x";
        line.push_back(HEX[u >> 4]);
        line.push_back(HEX[u & 15]);
    }
    return line;
}

std::string shownName(const std::string& name) {
    std::string shown;
    appendField(shown, name, OutputFormat::Tsv);
    return oneLine(shown);
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
