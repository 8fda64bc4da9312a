#include "qelkit/foundation/rw_ctokenizer.h"

#include <cstdint>
#include <cstring>

namespace {

// The first byte at or after p that equals c or is NUL. The text always ends in a NUL, so the
// scan stays inside the buffer; glibc's strchrnul does it with vector loads.
inline const char* findByteOrNul(const char* p, char c) {
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return strchrnul(p, c);
#else
    while (*p != c && *p != '\0') ++p;
    return p;
#endif
}

// A set of bytes as 256 bits, cheap to build per call. NUL is never a member, so a scan over
// members stops at it.
class ByteSet {
  public:
    ByteSet(const char* chars, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char c = static_cast<unsigned char>(chars[i]);
            if (c != 0) bits_[c >> 6] |= std::uint64_t{1} << (c & 63);
        }
    }
    bool has(char ch) const {
        const unsigned char c = static_cast<unsigned char>(ch);
        return (bits_[c >> 6] >> (c & 63)) & 1;
    }

  private:
    std::uint64_t bits_[4] = {};
};

}  // namespace

RWCTokenizer::RWCTokenizer(const RWCString& s) : str_(s), pos_(0) {}

RWCSubString RWCTokenizer::operator()() { return (*this)(" \t\n", 3); }

RWCSubString RWCTokenizer::operator()(const char* delims) {
    return (*this)(delims, std::strlen(delims));
}

RWCSubString RWCTokenizer::operator()(const char* delims, std::size_t n) {
    const std::size_t len = str_.length();
    // data() is the const accessor: it never unshares the buffer. The text is followed by a
    // NUL, so every scan below ends inside the buffer.
    const char* const text = str_.data();
    const bool single = n == 1 && delims[0] != '\0';
    const ByteSet set(delims, single ? 0 : n);
    while (pos_ < len) {
        const char* p = text + pos_;
        const char* q;
        if (single) {
            while (*p == delims[0]) ++p;
            q = findByteOrNul(p, delims[0]);
        } else {
            while (set.has(*p)) ++p;
            q = p;
            while (*q != '\0' && !set.has(*q)) ++q;
        }
        if (q == p) {
            // On a NUL byte, inside the text or the terminator: step over it.
            pos_ = static_cast<std::size_t>(p - text) + 1;
            continue;
        }
        pos_ = static_cast<std::size_t>(q - text);
        return str_(static_cast<std::size_t>(p - text), static_cast<std::size_t>(q - p));
    }
    return str_(RW_NPOS, 0);
}

bool RWCTokenizer::done() const {
    const std::size_t len = str_.length();
    if (pos_ >= len) return true;
    const char* text = str_.data();
    for (std::size_t i = pos_; i < len; ++i)
        if (text[i] != '\0') return false;
    return true;
}
