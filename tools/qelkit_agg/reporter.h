// SPDX-License-Identifier: Apache-2.0
// Reporter: every line qelkit-agg writes to standard error goes through it, each with one
// write(2) call, as "qelkit-agg: text". On a terminal it also keeps a progress line, which it
// clears before any other message, so that the two never share a line.
#ifndef QELKIT_TOOLS_QELKIT_AGG_REPORTER_H
#define QELKIT_TOOLS_QELKIT_AGG_REPORTER_H

#include <string>

// `name` (of a file) as messages show it, on one line: a backslash as \\, a line feed as \n,
// a carriage return as \r, a tab as \t, other control bytes as \xHH.
std::string shownName(const std::string& name);
// `text` with every control byte left in it written as \xHH, so that a message stays one line
// whatever the input held (the fields it quotes have their tabs and line breaks escaped).
std::string oneLine(const std::string& text);

class Reporter {
  public:
    // The text that clears the progress line.
    static constexpr const char* CLEAR_LINE = "\r\033[K";

    // `progress`: show progress lines (standard error is a terminal, no --quiet).
    explicit Reporter(bool progress) noexcept : _progress(progress) {}

    bool progressEnabled() const noexcept { return _progress; }
    // Writes "qelkit-agg: " `text` and a line feed, after clearing a progress line.
    void message(const std::string& text);
    // Replaces the progress line with "qelkit-agg: " `text`; nothing unless enabled.
    void progress(const std::string& text);
    // Clears the progress line, if one is shown.
    void clear();

  private:
    void write(const std::string& text) noexcept;

    bool _progress;
    bool _shown = false;
};

#endif  // QELKIT_TOOLS_QELKIT_AGG_REPORTER_H
