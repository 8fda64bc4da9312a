// SPDX-License-Identifier: Apache-2.0
// Benchmarks of the string classes, each beside a standard-library baseline doing the same work,
// so that the ratio comes from one run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_ctokenizer.h"
#include "qelkit/strings/etoken.h"
#include "qelkit/strings/qel_string.h"
#include "qelkit/strings/tokenizer.h"

namespace {

// ---- Copying a 1 MiB string -----------------------------------------------------------------
const std::string& mebibyte() {
    static const std::string text(1 << 20, 'm');
    return text;
}

void BM_CopyRWCString1MiB(benchmark::State& state) {
    const RWCString source(mebibyte());
    for (auto _ : state) {
        RWCString copy(source);
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_CopyRWCString1MiB);

void BM_CopyStdString1MiB(benchmark::State& state) {
    const std::string source(mebibyte());
    for (auto _ : state) {
        std::string copy(source);
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_CopyStdString1MiB);

// ---- Building and destroying short strings (0 to 15 bytes) ----------------------------------
const char* const kShortTexts[] = {"",
                                   "a",
                                   "ab",
                                   "abc",
                                   "abcd",
                                   "abcde",
                                   "abcdef",
                                   "abcdefg",
                                   "abcdefgh",
                                   "abcdefghi",
                                   "abcdefghij",
                                   "abcdefghijk",
                                   "abcdefghijkl",
                                   "abcdefghijklm",
                                   "abcdefghijklmn",
                                   "abcdefghijklmno"};

void BM_ShortQelString(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        QelString s(kShortTexts[i++ & 15]);
        benchmark::DoNotOptimize(s.data());
    }
}
BENCHMARK(BM_ShortQelString);

void BM_ShortStdString(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        std::string s(kShortTexts[i++ & 15]);
        benchmark::DoNotOptimize(s.data());
    }
}
BENCHMARK(BM_ShortStdString);

// ---- Appending 1,000,000 single bytes ---------------------------------------------------------
void BM_AppendBytesRWCString(benchmark::State& state) {
    for (auto _ : state) {
        RWCString s;
        for (int i = 0; i < 1000000; ++i) s.append(static_cast<char>('a' + (i & 7)));
        benchmark::DoNotOptimize(s.data());
    }
}
BENCHMARK(BM_AppendBytesRWCString)->Unit(benchmark::kMillisecond);

void BM_AppendBytesStdString(benchmark::State& state) {
    for (auto _ : state) {
        std::string s;
        for (int i = 0; i < 1000000; ++i) s.push_back(static_cast<char>('a' + (i & 7)));
        benchmark::DoNotOptimize(s.data());
    }
}
BENCHMARK(BM_AppendBytesStdString)->Unit(benchmark::kMillisecond);

// ---- Formatting a short line --------------------------------------------------------------------
void BM_FormatQelString(benchmark::State& state) {
    int n = 0;
    for (auto _ : state) {
        QelString s = QelString::format("%s=%d (%5.2f)", "pressure", ++n, 3.14159);
        benchmark::DoNotOptimize(s.data());
    }
}
BENCHMARK(BM_FormatQelString);

void BM_FormatSnprintfStdString(benchmark::State& state) {
    int n = 0;
    for (auto _ : state) {
        char buf[256];
        const int len = std::snprintf(buf, sizeof buf, "%s=%d (%5.2f)", "pressure", ++n, 3.14159);
        std::string s(buf, static_cast<std::size_t>(len));
        benchmark::DoNotOptimize(s.data());
    }
}
BENCHMARK(BM_FormatSnprintfStdString);

// ---- replaceAll("a", "bb"): 100,000 matches per MiB ---------------------------------------------
std::string matchText(std::size_t mebibytes) {
    std::string text(mebibytes << 20, 'x');
    const std::size_t step = (1 << 20) / 100000;  // one match every 10 bytes
    for (std::size_t i = 0, count = 0; i < text.size() && count < 100000 * mebibytes;
         i += step, ++count)
        text[i] = 'a';
    return text;
}

void BM_ReplaceAllQelString(benchmark::State& state) {
    const QelString source(matchText(static_cast<std::size_t>(state.range(0))));
    const QelString from("a"), to("bb");
    for (auto _ : state) {
        QelString s(source);
        s.replaceAll(from, to);
        benchmark::DoNotOptimize(s.data());
    }
}
BENCHMARK(BM_ReplaceAllQelString)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_ReplaceAllStdStringRebuild(benchmark::State& state) {
    const std::string source = matchText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::string out;
        std::size_t pos = 0;
        for (std::size_t at; (at = source.find('a', pos)) != std::string::npos; pos = at + 1) {
            out.append(source, pos, at - pos);
            out.append("bb");
        }
        out.append(source, pos, std::string::npos);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ReplaceAllStdStringRebuild)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// ---- doArg: five placeholders in a 200-byte template
// ----------------------------------------------
void BM_DoArgFiveOf200Bytes(benchmark::State& state) {
    QelString templ(
        "Device %1 reported %2 readings between %3 and %4; the largest value was %5. "
        "Further readings are queued and will be delivered with the next report of the "
        "collector that serves this site.");
    templ.append(QelString('.', 200 - templ.length()));
    for (auto _ : state) {
        QelString s(templ);
        s.doArg("dev-0042").doArg("1440").doArg("2007-04-09 00:00").doArg("2007-04-10 00:00");
        s.doArg("98.6");
        benchmark::DoNotOptimize(s.data());
    }
}
BENCHMARK(BM_DoArgFiveOf200Bytes);

// ---- Tokenizing 64 MiB of comma-separated fields ------------------------------------------------
const std::string& csv64() {
    static const std::string text = [] {
        std::string t;
        t.reserve(64 << 20);
        const char* fields[] = {"2007-04-09", "dev42", "17.25", "", "1013.2", "ok", "x", "-3"};
        for (std::size_t i = 0; t.size() < (64u << 20); ++i) {
            t += fields[i & 7];
            t += ',';
        }
        t.pop_back();
        return t;
    }();
    return text;
}

void BM_TokenizerNext64MiB(benchmark::State& state) {
    const QelString text(csv64());
    for (auto _ : state) {
        Tokenizer tok(text, 0);
        std::size_t fields = 0, bytes = 0;
        for (;;) {
            QelString f = tok.next(',');
            if (tok.end()) break;
            ++fields;
            bytes += f.length();
        }
        benchmark::DoNotOptimize(bytes);
        state.counters["fields"] = static_cast<double>(fields);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.length()));
}
BENCHMARK(BM_TokenizerNext64MiB)->Unit(benchmark::kMillisecond);

void BM_QelTokenizer64MiB(benchmark::State& state) {
    const RWCString text(csv64());
    for (auto _ : state) {
        QelTokenizer tok(text);
        std::size_t fields = 0, bytes = 0;
        for (;;) {
            // A sub-string is bound once: assigning to it would edit the tokenizer's text.
            const RWCSubString f = tok(",");
            if (f.isNull()) break;
            QelString field(f);
            ++fields;
            bytes += field.length();
        }
        benchmark::DoNotOptimize(bytes);
        state.counters["fields"] = static_cast<double>(fields);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.length()));
}
BENCHMARK(BM_QelTokenizer64MiB)->Unit(benchmark::kMillisecond);

// The foundation tokenizer with a set of two delimiters (its byte-set path).
void BM_RWCTokenizerSet64MiB(benchmark::State& state) {
    const RWCString text(csv64());
    for (auto _ : state) {
        RWCTokenizer next(text);
        std::size_t fields = 0, bytes = 0;
        for (;;) {
            const RWCSubString f = next(",;");
            if (f.isNull()) break;
            ++fields;
            bytes += f.length();
        }
        benchmark::DoNotOptimize(bytes);
        state.counters["fields"] = static_cast<double>(fields);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.length()));
}
BENCHMARK(BM_RWCTokenizerSet64MiB)->Unit(benchmark::kMillisecond);

void BM_StringViewFind64MiB(benchmark::State& state) {
    const std::string& text = csv64();
    for (auto _ : state) {
        std::string_view rest(text);
        std::size_t fields = 0, bytes = 0;
        for (;;) {
            const std::size_t at = rest.find(',');
            std::string field(rest.substr(0, at));
            ++fields;
            bytes += field.size();
            if (at == std::string_view::npos) break;
            rest.remove_prefix(at + 1);
        }
        benchmark::DoNotOptimize(bytes);
        state.counters["fields"] = static_cast<double>(fields);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_StringViewFind64MiB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
