// SPDX-License-Identifier: Apache-2.0
// Runs a decoded sequence of edits on an RWCString and on a copy that shares its bytes, against
// std::string. The bytes come from a small alphabet holding NUL, 0xFF and the neighbours of the
// letters, where case folding and terminators go wrong. After every step the text, its
// terminator and the untouched copy must agree with the reference, and so must index(),
// compareTo() with the copy and with the edit's argument, hash() (exact and ignoring case; the
// latter is the exact hash of the text lowered), first() and last().
//
// Input: [start length][start bytes...] then edits, each [op][pos][count][argument length]
// [argument bytes...]; a byte picks a letter of the alphabet by its value modulo 11.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "qelkit/foundation/rw_cstring.h"

namespace {

const std::string kAlphabet("aAzZ@[`{ \0\xff", 11);

// Up to max bytes of the alphabet, the count first.
std::string text(Input& in, std::size_t max) {
    std::string t(in.next() % (max + 1), ' ');
    for (char& c : t) c = kAlphabet[in.next() % kAlphabet.size()];
    return t;
}

std::string bytes(const RWCString& s) { return std::string(s.data(), s.length()); }

std::string asciiLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

int sign(long v) { return (v > 0) - (v < 0); }

std::size_t npos(std::size_t found) { return found == std::string::npos ? RW_NPOS : found; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in{data, size};
    std::string ref = text(in, 20);
    RWCString s(ref.data(), ref.size());
    while (in.n > 0) {
        const RWCString before = s;  // shares the bytes until s is written
        const std::string beforeRef = ref;
        const std::uint8_t op = in.next();
        const std::size_t pos = in.next() % (ref.size() + 1), n = in.next() % 9;
        const std::string arg = text(in, 6);
        const std::size_t clipped = std::min(n, ref.size() - pos);
        switch (op % 10) {
            case 0:
                s.append(arg.data(), arg.size()), ref += arg;
                break;
            case 1:
                s.prepend(arg.data(), arg.size()), ref.insert(0, arg);
                break;
            case 2:
                s.insert(pos, arg.data(), arg.size()), ref.insert(pos, arg);
                break;
            case 3:
                s.remove(pos, n), ref.erase(pos, clipped);
                break;
            case 4:
                s.replace(pos, n, arg.data(), arg.size()), ref.replace(pos, clipped, arg);
                break;
            case 5:
                s.resize(n), ref.resize(n, ' ');
                break;
            case 6:  // assignment through a sub-string
                s(pos, clipped) = RWCString(arg.data(), arg.size());
                ref.replace(pos, clipped, arg);
                break;
            case 7:
                s.toLower(), ref = asciiLower(ref);
                break;
            case 8:  // a sub-string lowers its own bytes only
                s(pos, clipped).toLower();
                ref.replace(pos, clipped, asciiLower(ref.substr(pos, clipped)));
                break;
            default:
                s = RWCString(s(pos, clipped)), ref = ref.substr(pos, clipped);
        }
        check(bytes(s) == ref);
        check(s.data()[s.length()] == '\0');
        check(bytes(before) == beforeRef);  // a shared copy never changes
        const RWCString pattern(arg.data(), std::min<std::size_t>(arg.size(), op >> 6));
        for (const RWCString::caseCompare cmp : {RWCString::exact, RWCString::ignoreCase}) {
            const auto fold = [cmp](const std::string& t) {
                return cmp == RWCString::exact ? t : asciiLower(t);
            };
            const std::string a = fold(ref), b = fold(bytes(pattern)), old = fold(beforeRef);
            check(s.index(pattern, pos, cmp) == npos(a.find(b, pos)));
            check(sign(s.compareTo(before, cmp)) == sign(a.compare(old)));
            check(sign(s.compareTo(RWCString(arg.data(), arg.size()), cmp)) ==
                  sign(a.compare(fold(arg))));
            check((s.hash(cmp) == before.hash(cmp)) == (a == old));
        }
        const std::string lowered = asciiLower(ref);  // case folding of the hash, byte for byte
        check(s.hash(RWCString::ignoreCase) == RWCString(lowered.data(), lowered.size()).hash());
        const char c = kAlphabet[op % kAlphabet.size()];
        check(s.first(c, pos) == npos(ref.find(c, pos)));
        check(s.last(c) == npos(ref.rfind(c)));
    }
    return 0;
}
