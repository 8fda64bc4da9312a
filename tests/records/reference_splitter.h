// SPDX-License-Identifier: Apache-2.0
// A reference for NqMappedFileTokenizer, shared by its tests and its fuzz target: the
// tokenizer's rules written over an index into the text, where the end of the data reads as a
// NUL and the index may step past it.
#ifndef QELKIT_TESTS_RECORDS_REFERENCE_SPLITTER_H
#define QELKIT_TESTS_RECORDS_REFERENCE_SPLITTER_H

#include <cstddef>
#include <string>

struct Reference {
    std::string d;
    char delim;
    bool collapse;
    std::size_t cur = 0;
    bool first = true, eol = false, end = false;

    int cls(std::size_t i) const {
        const char c = i < d.size() ? d[i] : '\0';
        return c == delim ? 1 : c == '\n' ? 3 : c == '\0' ? 7 : 0;
    }
    std::string next() {
        if (cur >= d.size() || d[cur] == '\0') {
            if (!first) eol = end = true;
            first = false;
            return "";
        }
        if (!first && d[cur] == delim)
            for (++cur; collapse && cur < d.size() && d[cur] == delim;) ++cur;
        first = false;
        const std::size_t start = cur;
        while (cls(cur) == 0) ++cur;
        eol = (cls(cur) & 6) != 0;
        return d.substr(start, cur - start);
    }
    void nextLine() {
        while (cur < d.size() && (cls(cur) & 6) == 0) ++cur;
        for (++cur, eol = false; collapse && cur < d.size() && d[cur] == delim;) ++cur;
        if (cur == d.size()) eol = end = true;
    }
};

#endif  // QELKIT_TESTS_RECORDS_REFERENCE_SPLITTER_H
