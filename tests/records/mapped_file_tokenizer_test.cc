#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "qelkit/records/nq_exception.h"
#include "qelkit/records/nq_mapped_file_tokenizer.h"

namespace {

using namespace std::string_literals;

// A temporary file holding `content`, removed at scope exit.
struct TempFile {
    explicit TempFile(const std::string& content) {
        char name[] = "/tmp/qelkit_tokXXXXXX";
        const int fd = mkstemp(name);
        EXPECT_EQ(write(fd, content.data(), content.size()), ssize_t(content.size()));
        close(fd);
        path = name;
    }
    ~TempFile() { std::remove(path.c_str()); }
    std::string path;
};

// Reference splitter: the tokenizer's rules over an index into the text, where the end of the
// data reads as a NUL and the index may step past it.
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

TEST(MappedFileTokenizerTest, MatchesReferenceOnRandomFiles) {
    std::mt19937 rng(20261206);
    const char bytes[] = "abx,,;\n\n\r";  // and its terminating NUL
    const char delims[] = {',', ';', '\n', '\0'};
    for (int round = 0; round < 400; ++round) {
        std::string content(1 + rng() % 120, ' ');
        for (char& c : content) c = bytes[rng() % (round % 5 == 0 ? 9 : 10)];
        Reference ref{content, delims[rng() % 4], rng() % 2 == 1};
        TempFile file(content);
        NqMappedFileTokenizer tok(file.path.c_str(), ref.delim, ref.collapse);
        ASSERT_EQ(tok.good(), 1);
        for (std::size_t call = 0; call < content.size() * 3 + 4; ++call) {
            SCOPED_TRACE(testing::Message() << "round " << round << " call " << call);
            if (rng() % 5 == 0) {
                tok.nextLine();
                ref.nextLine();
            } else {
                ASSERT_EQ(std::string(tok.next()), ref.next());
            }
            ASSERT_EQ(tok.endOfLine(), int(ref.eol));
            ASSERT_EQ(tok.end(), int(ref.end));
        }
    }
}

// Known files read the usual way (fields until a line end, then nextLine): "|" separates
// fields, "$" marks a line end, "#" the end.
TEST(MappedFileTokenizerTest, SplitsKnownFilesIntoLinesAndFields) {
    const std::string cases[][3] = {
        {"a,b\nc,d\n", ",0", "a|b$c|d$#"}, {"a,,b\n", ",0", "a||b$#"},
        {"a,,b\n", ",1", "a|b$#"},         {"a,b", ",0", "a|b$#"},
        {",a\n,b\n", ",0", "|a$b$#"},      {"a\r\nb\r\n", ",0", "a\r$b\r$#"},
        {"a\nb\n", "\n0", "a|b|$#"},       {"a,b\0c\n"s, ",0", "a|b$c$#"},
        {"a\n\0b\n"s, ",0", "a$#"},
    };
    for (const auto& c : cases) {
        TempFile file(c[0]);
        NqMappedFileTokenizer tok(file.path.c_str(), c[1][0], c[1][1] - '0');
        std::string out;
        while (out.size() < 100 && !tok.end()) {
            out += std::string(tok.next());
            out += tok.end() ? "#" : tok.endOfLine() ? "$" : "|";
            if (tok.endOfLine() && !tok.end()) tok.nextLine();
        }
        EXPECT_EQ(out + (out.back() == '#' ? "" : "#"), c[2]) << c[0];
    }
}

int openDescriptors() {
    int n = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (dir && readdir(dir)) ++n;
    if (dir) closedir(dir);
    return n;
}

TEST(MappedFileTokenizerTest, OpenAndMapFailuresNameFileAndReasonWithoutLeaks) {
    TempFile empty("");
    const std::string missing = empty.path + ".missing";
    const std::string cases[][2] = {
        {missing, "Error opening file: " + missing + ", " + std::strerror(ENOENT)},
        {"/tmp", "Error trying to mmap file: /tmp, "s + std::strerror(ENODEV)},
        {empty.path, "Error trying to mmap file: " + empty.path + ", " + std::strerror(EINVAL)},
    };
    const int before = openDescriptors();
    for (const auto& c : cases) {
        try {
            NqMappedFileTokenizer tok(c[0].c_str(), ',', 0);
            ADD_FAILURE() << "no exception for " << c[0];
        } catch (const NqException& e) {
            EXPECT_EQ(e.why(), c[1]);
        }
    }
    {
        TempFile file("a\n");
        NqMappedFileTokenizer tok(file.path.c_str(), ',', 0);
        EXPECT_EQ(openDescriptors(), before + 1);
    }
    EXPECT_EQ(openDescriptors(), before);
}

}  // namespace
