// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/rw_cstring.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <istream>
#include <new>
#include <ostream>
#include <string>

#include "qelkit/foundation/rw_errors.h"
#include "qelkit/internal/ascii.h"

namespace {

using qelkit_internal::foldAscii;

// Loads of 8, 4 and 1-3 bytes in the machine's byte order, at any alignment.
inline std::uint64_t load64(const unsigned char* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline std::uint64_t load32(const unsigned char* p) noexcept {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
// The n (1 to 3) bytes at p in one value; with n known, distinct texts give distinct values.
inline std::uint64_t load1to3(const unsigned char* p, std::size_t n) noexcept {
    return (std::uint64_t{p[0]} << 16) | (std::uint64_t{p[n >> 1]} << 8) | p[n - 1];
}

// ASCII upper-case letters of the eight bytes of x turned to lower case, other bytes kept:
// the byte-wise form of foldAscii.
inline std::uint64_t foldAsciiWord(std::uint64_t x) noexcept {
    constexpr std::uint64_t ones = 0x0101010101010101u;
    const std::uint64_t low7 = x & (0x7F * ones);
    const std::uint64_t atLeastA = low7 + (0x80 - 'A') * ones;  // bit 7 set when >= 'A'
    const std::uint64_t aboveZ = low7 + (0x7F - 'Z') * ones;    // bit 7 set when > 'Z'
    const std::uint64_t upper = (atLeastA ^ aboveZ) & ~x & (0x80 * ones);
    return x | (upper >> 2);
}

// The 128-bit product of a and b, its two halves xor-ed together. One round mixes well except
// for changes in the top bits of a factor (they shift the high half by little more than a
// constant), so a hash ends with a second round.
inline std::uint64_t mulFold(std::uint64_t a, std::uint64_t b) noexcept {
    __extension__ typedef unsigned __int128 Wide;
    const Wide r = static_cast<Wide>(a) * b;
    return static_cast<std::uint64_t>(r) ^ static_cast<std::uint64_t>(r >> 64);
}

// Hash of the n bytes at p, read eight at a time: each word is mixed into the state by a folded
// 128-bit product. The last 1 to 8 bytes of a text of 8 or more are read as the word ending at
// the last byte (overlapping the word before), shorter texts by 4-byte or 1-to-3-byte loads, so
// nothing past the text is read. The length enters the final mix: texts differing only by
// trailing NULs differ. Fold selects the case-blind form (ASCII letters folded in every word).
template <bool Fold>
std::uint32_t hashBytes(const unsigned char* p, std::size_t n) noexcept {
    constexpr std::uint64_t kSeed = 0x243F6A8885A308D3u;  // digits of pi
    constexpr std::uint64_t kWord = 0x9E3779B97F4A7C15u;  // 2^64 / golden ratio
    constexpr std::uint64_t kLast = 0xD6E8FEB86659FD93u;
    auto fold = [](std::uint64_t w) { return Fold ? foldAsciiWord(w) : w; };
    std::uint64_t h = kSeed;
    std::uint64_t last;
    if (n >= 8) {
        const unsigned char* end = p + n;
        for (; end - p > 8; p += 8) h = mulFold(h ^ fold(load64(p)), kWord);
        last = load64(end - 8);
    } else if (n >= 4) {
        last = load32(p) | (load32(p + n - 4) << 32);
    } else {
        last = n ? load1to3(p, n) : 0;
    }
    h = mulFold(h ^ fold(last), kLast ^ n);
    h = mulFold(h, kWord);  // second round: each input bit now flips each output bit half the time
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// Does [p, p + n) overlap the buffer [b, b + len)? Text handed to a modifier may come from the
// string itself, which must be copied aside before the buffer moves or shifts.
inline bool overlaps(const char* p, std::size_t n, const char* b, std::size_t len) noexcept {
    return n != 0 && p < b + len && b < p + n;
}

}  // namespace

// ---- Buffer management ---------------------------------------------------------------------

RWCString::Rep* RWCString::newRep(std::size_t room) {
    if (room > static_cast<std::size_t>(-1) / 2) throw std::bad_alloc();
    void* block = ::operator new(sizeof(Rep) + room + 1);
    // Owner: the strings sharing the block; freed by the last one in release().
    Rep* rep = new (block) Rep;
    rep->refs.store(1, std::memory_order_relaxed);
    rep->room = room;
    return rep;
}

void RWCString::freeRep(Rep* rep) noexcept {
    rep->~Rep();
    ::operator delete(rep);
}

void RWCString::initHeap(const char* cs, std::size_t n) {
    rep_ = newRep(n);
    std::memcpy(rep_->chars(), cs, n);
    rep_->chars()[n] = '\0';
}

RWCString::RWCString(char c, std::size_t n) {
    initFrom(nullptr, 0);
    if (n) {
        char* p = reserveForWrite(n);
        std::memset(p, static_cast<unsigned char>(c), n);
        len_ = n;
        p[n] = '\0';
    }
    cap_ = n;
}

RWCString::RWCString(RWSize_T cap) : rep_(nullptr), len_(0), cap_(0), sso_{} {
    const std::size_t n = cap.value();
    if (n > kInline) {
        rep_ = newRep(n);
        rep_->chars()[0] = '\0';
    }
    cap_ = n;
}

void RWCString::relocate(std::size_t room) {
    if (room < len_) room = len_;
    const char* src = data();
    if (room <= kInline) {
        char tmp[kInline + 1];
        std::memcpy(tmp, src, len_ + 1);
        release();
        rep_ = nullptr;
        std::memcpy(sso_, tmp, len_ + 1);
    } else {
        Rep* fresh = newRep(room);
        std::memcpy(fresh->chars(), src, len_ + 1);
        release();
        rep_ = fresh;
    }
}

void RWCString::unshare(std::size_t cap) {
    if (cap < len_) cap = len_;
    relocate(cap);
    cap_ = cap;
}

char* RWCString::reserveForWrite(std::size_t need) {
    if (need > cap_) {
        std::size_t grown = cap_ * 2;
        if (grown < need) grown = need;
        if (grown <= room() && (rep_ == nullptr || isUnique())) {
            cap_ = grown;
        } else {
            unshare(grown);
        }
    } else if (rep_ && !isUnique()) {
        unshare(cap_);
    }
    return rep_ ? rep_->chars() : sso_;
}

std::size_t RWCString::capacity(std::size_t n) {
    if (n < len_) n = len_;
    if (rep_ && !isUnique()) {
        unshare(n);
        return cap_;
    }
    if (n > room()) {
        // The reported capacity is exactly n; the block itself may be larger, so that a caller
        // reserving a little more at every step still reallocates only a logarithmic number of
        // times.
        std::size_t physical = room() * 2;
        if (physical < n) physical = n;
        relocate(physical);
    }
    cap_ = n;
    return cap_;
}

// ---- Assignment ----------------------------------------------------------------------------

RWCString& RWCString::operator=(const RWCString& other) noexcept {
    if (this != &other) {
        release();
        copyFrom(other);
    }
    return *this;
}

RWCString& RWCString::operator=(RWCString&& other) noexcept {
    if (this != &other) {
        release();
        moveFrom(other);
    }
    return *this;
}

RWCString& RWCString::operator=(const char* cs) {
    const std::size_t n = cs ? std::strlen(cs) : 0;
    return replace(0, len_, cs, n);
}

RWCString& RWCString::operator=(char c) { return replace(0, len_, &c, 1); }

// ---- Modification --------------------------------------------------------------------------

RWCString& RWCString::append(const char* cs, std::size_t n) {
    if (n == 0) return *this;
    if (overlaps(cs, n, data(), len_ + 1)) return replace(len_, 0, cs, n);
    const std::size_t need = len_ + n;
    if (need < len_) throw std::bad_alloc();
    char* p = reserveForWrite(need);
    std::memcpy(p + len_, cs, n);
    len_ = need;
    p[len_] = '\0';
    return *this;
}

RWCString& RWCString::appendFill(char c, std::size_t n) {
    if (n == 0) return *this;
    const std::size_t need = len_ + n;
    if (need < len_) throw std::bad_alloc();
    char* p = reserveForWrite(need);
    std::memset(p + len_, static_cast<unsigned char>(c), n);
    len_ = need;
    p[len_] = '\0';
    return *this;
}

RWCString& RWCString::insert(std::size_t pos, char c, std::size_t n) {
    if (pos > len_) throwBounds(pos);
    if (n == 1) return replace(pos, 0, &c, 1);
    const std::string fill(n, c);
    return replace(pos, 0, fill.data(), n);
}

RWCString& RWCString::remove(std::size_t pos) {
    if (pos > len_) throwBounds(pos);
    return replace(pos, len_ - pos, nullptr, 0);
}

RWCString& RWCString::replace(std::size_t pos, std::size_t n, const char* cs, std::size_t m) {
    if (pos > len_) throwBounds(pos);
    if (n > len_ - pos) n = len_ - pos;
    if (m == 0 && n == 0) return *this;
    if (overlaps(cs, m, data(), len_ + 1)) {
        // The replacement is part of this string: copy it aside before the bytes move.
        const std::string aside(cs, m);
        return replace(pos, n, aside.data(), m);
    }
    const std::size_t tail = len_ - pos - n;
    const std::size_t need = len_ - n + m;
    if (m > n && need < len_) throw std::bad_alloc();
    char* p = reserveForWrite(need);
    if (m != n && tail) std::memmove(p + pos + m, p + pos + n, tail);
    if (m) std::memcpy(p + pos, cs, m);
    len_ = need;
    p[len_] = '\0';
    return *this;
}

void RWCString::toLower() {
    if (len_ == 0) return;
    char* p = mutableData();
    for (std::size_t i = 0; i < len_; ++i)
        p[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(p[i])));
}

void RWCString::toUpper() {
    if (len_ == 0) return;
    char* p = mutableData();
    for (std::size_t i = 0; i < len_; ++i)
        p[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(p[i])));
}

void RWCString::resize(std::size_t n) {
    if (n < len_)
        remove(n);
    else if (n > len_)
        appendFill(' ', n - len_);
}

void RWCString::throwBounds(std::size_t i) const { rwThrowBounds("RWCString", i, len_); }

// ---- Search --------------------------------------------------------------------------------

std::size_t RWCString::index(const char* pat, std::size_t patlen, std::size_t start,
                             caseCompare cmp) const {
    if (start > len_ || patlen > len_ - start) return RW_NPOS;
    if (patlen == 0) return start;
    const char* s = data();
    if (cmp == exact) {
        const char first = pat[0];
        const char* p = s + start;
        const char* last = s + (len_ - patlen);  // last place a match can begin
        while (p <= last) {
            p = static_cast<const char*>(
                std::memchr(p, first, static_cast<std::size_t>(last - p) + 1));
            if (p == nullptr) return RW_NPOS;
            if (std::memcmp(p + 1, pat + 1, patlen - 1) == 0)
                return static_cast<std::size_t>(p - s);
            ++p;
        }
        return RW_NPOS;
    }
    for (std::size_t i = start; i + patlen <= len_; ++i) {
        std::size_t k = 0;
        while (k < patlen && foldAscii(static_cast<unsigned char>(s[i + k])) ==
                                 foldAscii(static_cast<unsigned char>(pat[k])))
            ++k;
        if (k == patlen) return i;
    }
    return RW_NPOS;
}

std::size_t RWCString::first(char c, std::size_t start) const noexcept {
    if (start >= len_) return RW_NPOS;
    const char* s = data();
    const void* hit = std::memchr(s + start, c, len_ - start);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - s) : RW_NPOS;
}

std::size_t RWCString::last(char c) const noexcept {
    const char* s = data();
    for (std::size_t i = len_; i-- > 0;)
        if (s[i] == c) return i;
    return RW_NPOS;
}

// ---- Sub-strings ---------------------------------------------------------------------------

RWCSubString RWCString::subString(const char* pat, std::size_t start, caseCompare cmp) {
    const std::size_t n = pat ? std::strlen(pat) : 0;
    const std::size_t at = index(pat, n, start, cmp);
    return at == RW_NPOS ? RWCSubString(*this, RW_NPOS, 0) : RWCSubString(*this, at, n);
}

RWCConstSubString RWCString::subString(const char* pat, std::size_t start, caseCompare cmp) const {
    const std::size_t n = pat ? std::strlen(pat) : 0;
    const std::size_t at = index(pat, n, start, cmp);
    return at == RW_NPOS ? RWCConstSubString(*this, RW_NPOS, 0) : RWCConstSubString(*this, at, n);
}

namespace {
// The range [begin, end) left after stripping runs of c per `how`.
void stripRange(const char* s, std::size_t len, int how, char c, std::size_t& begin,
                std::size_t& end) {
    begin = 0;
    end = len;
    if (how & RWCString::leading)
        while (begin < end && s[begin] == c) ++begin;
    if (how & RWCString::trailing)
        while (end > begin && s[end - 1] == c) --end;
}
}  // namespace

RWCSubString RWCString::strip(stripType how, char c) {
    std::size_t b, e;
    stripRange(data(), len_, how, c, b, e);
    return RWCSubString(*this, b, e - b);
}

RWCConstSubString RWCString::strip(stripType how, char c) const {
    std::size_t b, e;
    stripRange(data(), len_, how, c, b, e);
    return RWCConstSubString(*this, b, e - b);
}

// ---- Comparison and hashing ----------------------------------------------------------------

int RWCString::compareTo(const char* bytes, std::size_t n, caseCompare cmp) const {
    const char* s = data();
    const std::size_t common = std::min(len_, n);
    if (cmp == exact) {
        if (common) {
            const int r = std::memcmp(s, bytes, common);
            if (r != 0) return r < 0 ? -1 : 1;
        }
    } else {
        for (std::size_t i = 0; i < common; ++i) {
            const unsigned char a = foldAscii(static_cast<unsigned char>(s[i]));
            const unsigned char b = foldAscii(static_cast<unsigned char>(bytes[i]));
            if (a != b) return a < b ? -1 : 1;
        }
    }
    return len_ == n ? 0 : (len_ < n ? -1 : 1);
}

unsigned RWCString::hash(caseCompare cmp) const {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data());
    return cmp == exact ? hashBytes<false>(p, len_) : hashBytes<true>(p, len_);
}

// ---- RWCSubString --------------------------------------------------------------------------

char& RWCSubString::operator()(std::size_t i) { return parent_->mutableData()[start_ + i]; }
char RWCSubString::operator()(std::size_t i) const { return data()[i]; }

char& RWCSubString::operator[](std::size_t i) {
    if (i >= len_) rwThrowBounds("RWCSubString", i, len_);
    return parent_->mutableData()[start_ + i];
}

char RWCSubString::operator[](std::size_t i) const {
    if (i >= len_) rwThrowBounds("RWCSubString", i, len_);
    return data()[i];
}

char RWCConstSubString::operator[](std::size_t i) const {
    if (i >= len_) rwThrowBounds("RWCConstSubString", i, len_);
    return data()[i];
}

void RWCSubString::assign(const char* bytes, std::size_t n) {
    if (isNull()) rwThrowBounds("RWCSubString assignment to a null sub-string", 0, 0);
    parent_->replace(start_, len_, bytes, n);
    len_ = n;
}

RWCSubString& RWCSubString::operator=(const char* cs) {
    assign(cs, cs ? std::strlen(cs) : 0);
    return *this;
}

RWCSubString& RWCSubString::operator=(const RWCString& s) {
    assign(s.data(), s.length());
    return *this;
}

RWCSubString& RWCSubString::operator=(const RWCSubString& s) {
    if (this != &s) assign(s.data(), s.length());
    return *this;
}

void RWCSubString::toLower() {
    if (isNull() || len_ == 0) return;
    char* p = parent_->mutableData() + start_;
    for (std::size_t i = 0; i < len_; ++i)
        p[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(p[i])));
}

void RWCSubString::toUpper() {
    if (isNull() || len_ == 0) return;
    char* p = parent_->mutableData() + start_;
    for (std::size_t i = 0; i < len_; ++i)
        p[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(p[i])));
}

// ---- Free functions ------------------------------------------------------------------------

RWCString toLower(const RWCString& s) {
    RWCString r(s);
    r.toLower();
    return r;
}

RWCString toUpper(const RWCString& s) {
    RWCString r(s);
    r.toUpper();
    return r;
}

namespace {
RWCString concat(const char* a, std::size_t na, const char* b, std::size_t nb) {
    RWCString r(RWSize_T(na + nb));
    r.append(a, na);
    r.append(b, nb);
    return r;
}
}  // namespace

RWCString operator+(const RWCString& a, const RWCString& b) {
    return concat(a.data(), a.length(), b.data(), b.length());
}
RWCString operator+(const RWCString& a, const char* b) {
    return concat(a.data(), a.length(), b, qelkit_internal::cLength(b));
}
RWCString operator+(const char* a, const RWCString& b) {
    return concat(a, qelkit_internal::cLength(a), b.data(), b.length());
}

std::ostream& operator<<(std::ostream& os, const RWCString& s) {
    return os.write(s.data(), static_cast<std::streamsize>(s.length()));
}
std::ostream& operator<<(std::ostream& os, const RWCSubString& s) {
    return os.write(s.data(), static_cast<std::streamsize>(s.length()));
}
std::ostream& operator<<(std::ostream& os, const RWCConstSubString& s) {
    return os.write(s.data(), static_cast<std::streamsize>(s.length()));
}

std::istream& operator>>(std::istream& is, RWCString& s) {
    std::string word;
    if (is >> word) s = RWCString(word.data(), word.size());
    return is;
}
