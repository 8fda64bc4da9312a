// SPDX-License-Identifier: Apache-2.0
// RWCString: a byte string of explicit length that may hold NUL bytes anywhere, with the
// classic vendor interface. Copies share one buffer through an atomic reference count and the
// first write through any sharer copies it (copy on write), so strings may be copied freely and
// handed to other threads. Texts of up to 15 bytes live inside the object and need no heap block.
//
// capacity() is exact, as callers that reserve final sizes rely on it: a default string has
// capacity 0, a string built from bytes has its length, RWCString(RWSize_T(n)) has n, and
// capacity(n) sets max(n, length()). Growth by appending at least doubles it.
//
// RWCSubString and RWCConstSubString refer to a range of a parent string (no copy); they stay
// valid until the parent changes.
#ifndef QELKIT_FOUNDATION_RW_CSTRING_H
#define QELKIT_FOUNDATION_RW_CSTRING_H

#include <atomic>
#include <cstddef>
#include <cstring>
#include <iosfwd>
#include <string>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_defs.h"

class RWCRegexp;
class RWCSubString;
class RWCConstSubString;

class QELKIT_API RWCString {
  public:
    enum stripType { leading = 1, trailing = 2, both = 3 };
    enum caseCompare { exact, ignoreCase };
    enum scopeType { one, all };

    // ---- Construction and assignment ------------------------------------------------------
    // Empty string, capacity 0.
    constexpr RWCString() noexcept : rep_(nullptr), len_(0), cap_(0), sso_{} {}
    // The bytes of a C string up to its NUL; a null pointer gives an empty string.
    RWCString(const char* cs) { initFrom(cs, cs ? std::strlen(cs) : 0); }
    // Exactly n bytes from cs (NULs included); cs may be null only when n is 0.
    RWCString(const char* cs, std::size_t n) { initFrom(cs, n); }
    // One byte.
    RWCString(char c) { initFrom(&c, 1); }
    // n copies of c.
    RWCString(char c, std::size_t n);
    // Empty, with capacity exactly cap.value().
    explicit RWCString(RWSize_T cap);
    // Shares the buffer of `other`; no bytes are copied.
    RWCString(const RWCString& other) noexcept { copyFrom(other); }
    // Takes the buffer of `other`, which is left empty with capacity 0.
    RWCString(RWCString&& other) noexcept { moveFrom(other); }
    RWCString(const RWCSubString& sub);
    RWCString(const RWCConstSubString& sub);
    RWCString(const std::string& s) { initFrom(s.data(), s.size()); }
    ~RWCString() { release(); }

    RWCString& operator=(const char* cs);
    RWCString& operator=(const RWCString& other) noexcept;
    RWCString& operator=(RWCString&& other) noexcept;
    RWCString& operator=(char c);

    // ---- Size and access ------------------------------------------------------------------
    // Number of bytes, NULs included.
    std::size_t length() const noexcept { return len_; }
    // True for the empty string.
    bool isNull() const noexcept { return len_ == 0; }
    // The bytes followed by one NUL; never null. Valid until the string changes.
    const char* data() const noexcept { return rep_ ? rep_->chars() : sso_; }
    // Classic implicit conversion to the bytes.
    operator const char*() const noexcept { return data(); }

    // Bytes the buffer holds without reallocation, terminator excluded.
    std::size_t capacity() const noexcept { return cap_; }
    // Unshares the buffer and sets the capacity to exactly max(n, length()); returns it.
    std::size_t capacity(std::size_t n);

    // Checked byte access: throws RWBoundsErr when i >= length(). The non-const forms unshare
    // the buffer; the reference is valid until the next copy, assignment or length change.
    char operator[](std::size_t i) const {
        assertElement(i);
        return data()[i];
    }
    char& operator[](std::size_t i) {
        assertElement(i);
        return mutableData()[i];
    }
    char operator[](int i) const { return (*this)[static_cast<std::size_t>(i)]; }
    char& operator[](int i) { return (*this)[static_cast<std::size_t>(i)]; }
    char operator[](unsigned i) const { return (*this)[static_cast<std::size_t>(i)]; }
    char& operator[](unsigned i) { return (*this)[static_cast<std::size_t>(i)]; }
    // Unchecked byte access (i must be below length()).
    char operator()(std::size_t i) const noexcept { return data()[i]; }
    char& operator()(std::size_t i) { return mutableData()[i]; }
    // Throws RWBoundsErr when i >= length().
    void assertElement(std::size_t i) const {
        if (i >= len_) throwBounds(i);
    }

    // ---- Modification (positions beyond length() throw RWBoundsErr; counts are clipped) ---
    RWCString& append(const char* cs) { return append(cs, cs ? std::strlen(cs) : 0); }
    RWCString& append(const char* cs, std::size_t n);
    RWCString& append(const RWCString& s) { return append(s.data(), s.len_); }
    RWCString& append(const RWCString& s, std::size_t n) { return append(s.data(), clip(n, s)); }
    // Appends n copies of c.
    RWCString& append(char c, std::size_t n = 1) {
        if (n == 1 && rep_ == nullptr && len_ < cap_) {
            // Fast path for a byte appended to an inline string with room.
            sso_[len_++] = c;
            sso_[len_] = '\0';
            return *this;
        }
        if (n == 1 && rep_ != nullptr && len_ < cap_ && isUnique()) {
            char* p = rep_->chars();
            p[len_++] = c;
            p[len_] = '\0';
            return *this;
        }
        return appendFill(c, n);
    }
    RWCString& operator+=(const char* cs) { return append(cs); }
    RWCString& operator+=(const RWCString& s) { return append(s); }
    RWCString& operator+=(char c) { return append(c, 1); }

    RWCString& prepend(const char* cs) { return insert(0, cs); }
    RWCString& prepend(const char* cs, std::size_t n) { return insert(0, cs, n); }
    RWCString& prepend(const RWCString& s) { return insert(0, s); }
    RWCString& prepend(const RWCString& s, std::size_t n) { return insert(0, s, n); }
    RWCString& prepend(char c, std::size_t n = 1) { return insert(0, c, n); }

    RWCString& insert(std::size_t pos, const char* cs) {
        return insert(pos, cs, cs ? std::strlen(cs) : 0);
    }
    RWCString& insert(std::size_t pos, const char* cs, std::size_t n) {
        return replace(pos, 0, cs, n);
    }
    RWCString& insert(std::size_t pos, const RWCString& s) { return replace(pos, 0, s); }
    RWCString& insert(std::size_t pos, const RWCString& s, std::size_t n) {
        return replace(pos, 0, s.data(), clip(n, s));
    }
    RWCString& insert(std::size_t pos, char c, std::size_t n = 1);

    // Removes everything from pos on.
    RWCString& remove(std::size_t pos);
    // Removes up to n bytes from pos.
    RWCString& remove(std::size_t pos, std::size_t n) { return replace(pos, n, nullptr, 0); }

    // Replaces up to n bytes at pos by the given bytes.
    RWCString& replace(std::size_t pos, std::size_t n, const char* cs) {
        return replace(pos, n, cs, cs ? std::strlen(cs) : 0);
    }
    RWCString& replace(std::size_t pos, std::size_t n, const char* cs, std::size_t m);
    RWCString& replace(std::size_t pos, std::size_t n, const RWCString& s) {
        return replace(pos, n, s.data(), s.len_);
    }
    RWCString& replace(std::size_t pos, std::size_t n, const RWCString& s, std::size_t m) {
        return replace(pos, n, s.data(), clip(m, s));
    }

    // Per byte, in place, with std::tolower / std::toupper on the unsigned byte.
    void toLower();
    void toUpper();
    // Truncates to n bytes, or pads with blanks up to n.
    void resize(std::size_t n);

    // ---- Search (RW_NPOS when not found, also when start > length()) ---------------------
    // Lowest position >= start where the pattern begins; an empty pattern matches at start.
    std::size_t index(const char* pat, std::size_t start = 0, caseCompare cmp = exact) const {
        return index(pat, pat ? std::strlen(pat) : 0, start, cmp);
    }
    // The pattern may hold NUL bytes.
    std::size_t index(const RWCString& pat, std::size_t start = 0, caseCompare cmp = exact) const {
        return index(pat.data(), pat.len_, start, cmp);
    }
    std::size_t index(const char* pat, std::size_t patlen, std::size_t start,
                      caseCompare cmp) const;
    // Same as index(pat, start, exact).
    std::size_t find(const char* pat, std::size_t start = 0) const { return index(pat, start); }
    bool contains(const char* pat, caseCompare cmp = exact) const {
        return index(pat, 0, cmp) != RW_NPOS;
    }
    bool contains(const RWCString& pat, caseCompare cmp = exact) const {
        return index(pat, 0, cmp) != RW_NPOS;
    }
    // First or last byte equal to c over the whole length, NULs included.
    std::size_t first(char c) const noexcept { return first(c, 0); }
    std::size_t first(char c, std::size_t start) const noexcept;
    std::size_t last(char c) const noexcept;
    // First match of a regular expression at or after start (the longest there).
    std::size_t index(const RWCRegexp& re, std::size_t start = 0) const;
    // Likewise, storing the match length in *len (when len is not null).
    std::size_t index(const RWCRegexp& re, std::size_t* len, std::size_t start) const;

    // ---- Sub-strings ----------------------------------------------------------------------
    // The bytes [start, start + len); throws RWBoundsErr unless start + len <= length(),
    // except that (RW_NPOS, 0) gives the null sub-string.
    RWCSubString operator()(std::size_t start, std::size_t len);
    RWCConstSubString operator()(std::size_t start, std::size_t len) const;
    // The first match of `re` at or after start, or the null sub-string.
    RWCSubString operator()(const RWCRegexp& re, std::size_t start = 0);
    RWCConstSubString operator()(const RWCRegexp& re, std::size_t start = 0) const;
    // The first occurrence of pat at or after start, or the null sub-string.
    RWCSubString subString(const char* pat, std::size_t start = 0, caseCompare cmp = exact);
    RWCConstSubString subString(const char* pat, std::size_t start = 0,
                                caseCompare cmp = exact) const;
    // The string without leading and/or trailing runs of c.
    RWCSubString strip(stripType s = trailing, char c = ' ');
    RWCConstSubString strip(stripType s = trailing, char c = ' ') const;

    // ---- Comparison and hashing -----------------------------------------------------------
    // Lexicographic on unsigned bytes, a proper prefix first: <0, 0 or >0.
    int compareTo(const char* cs, caseCompare cmp = exact) const {
        return compareTo(cs, cs ? std::strlen(cs) : 0, cmp);
    }
    int compareTo(const RWCString& s, caseCompare cmp = exact) const {
        return compareTo(s.data(), s.len_, cmp);
    }
    int compareTo(const char* bytes, std::size_t n, caseCompare cmp) const;
    // Deterministic 32-bit hash of the bytes, read eight at a time; ignoreCase folds ASCII
    // letters first.
    unsigned hash(caseCompare cmp = exact) const;
    static unsigned hash(const RWCString& s) { return s.hash(exact); }

  protected:
    // Writable bytes; unshares the buffer first.
    char* mutableData() {
        if (rep_ == nullptr) return sso_;
        if (!isUnique()) unshare(cap_);
        return rep_->chars();
    }

  private:
    friend class RWCSubString;

    // Heap block: a reference count, the allocated size, then the bytes and a NUL.
    struct Rep {
        std::atomic<std::size_t> refs;
        std::size_t room;  // bytes allocated for text, terminator excluded
        char* chars() noexcept { return reinterpret_cast<char*>(this + 1); }
        const char* chars() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    };
    static constexpr std::size_t kInline = 15;

    static Rep* newRep(std::size_t room);
    static void freeRep(Rep* rep) noexcept;

    bool isUnique() const noexcept { return rep_->refs.load(std::memory_order_acquire) == 1; }
    // Bytes the current buffer can physically hold.
    std::size_t room() const noexcept { return rep_ ? rep_->room : kInline; }
    void initFrom(const char* cs, std::size_t n) {
        len_ = n;
        cap_ = n;
        if (n <= kInline) {
            rep_ = nullptr;
            if (n) std::memcpy(sso_, cs, n);
            sso_[n] = '\0';
        } else {
            initHeap(cs, n);
        }
    }
    void initHeap(const char* cs, std::size_t n);
    void copyFrom(const RWCString& other) noexcept {
        rep_ = other.rep_;
        len_ = other.len_;
        cap_ = other.cap_;
        if (rep_)
            rep_->refs.fetch_add(1, std::memory_order_relaxed);
        else
            std::memcpy(sso_, other.sso_, sizeof sso_);
    }
    void moveFrom(RWCString& other) noexcept {
        rep_ = other.rep_;
        len_ = other.len_;
        cap_ = other.cap_;
        if (!rep_) std::memcpy(sso_, other.sso_, sizeof sso_);
        other.rep_ = nullptr;
        other.len_ = 0;
        other.cap_ = 0;
        other.sso_[0] = '\0';
    }
    void release() noexcept {
        if (rep_ && rep_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) freeRep(rep_);
    }
    // Moves the text into a private buffer of `room` bytes (at least len_); cap_ is untouched.
    void relocate(std::size_t room);
    // Gives this string its own buffer of exactly `cap` bytes (at least len_) and reports it.
    void unshare(std::size_t cap);
    // Makes the buffer own and able to hold `need` bytes, growing the capacity by the growth
    // rule when it is too small; returns the writable bytes.
    char* reserveForWrite(std::size_t need);
    RWCString& appendFill(char c, std::size_t n);
    [[noreturn]] void throwBounds(std::size_t i) const;
    static std::size_t clip(std::size_t n, const RWCString& s) noexcept {
        return n < s.len_ ? n : s.len_;
    }

    Rep* rep_;  // heap buffer, or null when the text lives in sso_
    std::size_t len_;
    std::size_t cap_;  // reported capacity; never above room()
    char sso_[kInline + 1];
};

// ---- Sub-strings ------------------------------------------------------------------------
// A writable range of a parent string. Assigning to it replaces those bytes in the parent.
class QELKIT_API RWCSubString {
  public:
    RWCSubString(const RWCSubString&) = default;
    // True for the null sub-string (no position).
    bool isNull() const noexcept { return start_ == RW_NPOS; }
    int operator!() const noexcept { return isNull(); }
    // Offset in the parent (RW_NPOS for the null sub-string) and length in bytes.
    std::size_t start() const noexcept { return start_; }
    std::size_t length() const noexcept { return len_; }
    // The first byte of the range inside the parent (not NUL-terminated).
    const char* data() const noexcept {
        return isNull() ? parent_->data() + parent_->length() : parent_->data() + start_;
    }
    // Byte i of the range, unchecked (i relative to start()).
    char& operator()(std::size_t i);
    char operator()(std::size_t i) const;
    // Byte i of the range; throws RWBoundsErr when i >= length().
    char& operator[](std::size_t i);
    char operator[](std::size_t i) const;

    // Replace the range's bytes in the parent; RWBoundsErr on a null sub-string.
    RWCSubString& operator=(const char* cs);
    RWCSubString& operator=(const RWCString& s);
    RWCSubString& operator=(const RWCSubString& s);
    void toLower();
    void toUpper();

  private:
    friend class RWCString;
    friend class RWCConstSubString;
    RWCSubString(RWCString& parent, std::size_t start, std::size_t len) noexcept
        : parent_(&parent), start_(start), len_(len) {}
    void assign(const char* bytes, std::size_t n);

    RWCString* parent_;
    std::size_t start_;
    std::size_t len_;
};

// A read-only range of a parent string.
class QELKIT_API RWCConstSubString {
  public:
    RWCConstSubString(const RWCSubString& sub) noexcept
        : parent_(sub.parent_), start_(sub.start_), len_(sub.len_) {}
    bool isNull() const noexcept { return start_ == RW_NPOS; }
    int operator!() const noexcept { return isNull(); }
    std::size_t start() const noexcept { return start_; }
    std::size_t length() const noexcept { return len_; }
    const char* data() const noexcept {
        return isNull() ? parent_->data() + parent_->length() : parent_->data() + start_;
    }
    // Byte i of the range, unchecked.
    char operator()(std::size_t i) const { return data()[i]; }
    // Byte i of the range; throws RWBoundsErr when i >= length().
    char operator[](std::size_t i) const;

  private:
    friend class RWCString;
    RWCConstSubString(const RWCString& parent, std::size_t start, std::size_t len) noexcept
        : parent_(&parent), start_(start), len_(len) {}

    const RWCString* parent_;
    std::size_t start_;
    std::size_t len_;
};

inline RWCSubString RWCString::operator()(std::size_t start, std::size_t len) {
    if (start == RW_NPOS && len == 0) return RWCSubString(*this, RW_NPOS, 0);
    if (start > len_ || len > len_ - start) throwBounds(start > len_ ? start : start + len);
    return RWCSubString(*this, start, len);
}

inline RWCConstSubString RWCString::operator()(std::size_t start, std::size_t len) const {
    if (start == RW_NPOS && len == 0) return RWCConstSubString(*this, RW_NPOS, 0);
    if (start > len_ || len > len_ - start) throwBounds(start > len_ ? start : start + len);
    return RWCConstSubString(*this, start, len);
}

inline RWCString::RWCString(const RWCSubString& sub) { initFrom(sub.data(), sub.length()); }
inline RWCString::RWCString(const RWCConstSubString& sub) { initFrom(sub.data(), sub.length()); }

// ---- Comparison operators ----------------------------------------------------------------
namespace qelkit_internal {
inline bool sameBytes(const char* a, std::size_t na, const char* b, std::size_t nb) noexcept {
    return na == nb && (na == 0 || std::memcmp(a, b, na) == 0);
}
inline std::size_t cLength(const char* cs) noexcept { return cs ? std::strlen(cs) : 0; }
}  // namespace qelkit_internal

inline bool operator==(const RWCString& a, const RWCString& b) noexcept {
    return qelkit_internal::sameBytes(a.data(), a.length(), b.data(), b.length());
}
inline bool operator==(const RWCString& a, const char* b) noexcept {
    return qelkit_internal::sameBytes(a.data(), a.length(), b, qelkit_internal::cLength(b));
}
inline bool operator==(const char* a, const RWCString& b) noexcept { return b == a; }
inline bool operator!=(const RWCString& a, const RWCString& b) noexcept { return !(a == b); }
inline bool operator!=(const RWCString& a, const char* b) noexcept { return !(a == b); }
inline bool operator!=(const char* a, const RWCString& b) noexcept { return !(b == a); }
inline bool operator<(const RWCString& a, const RWCString& b) { return a.compareTo(b) < 0; }
inline bool operator<(const RWCString& a, const char* b) { return a.compareTo(b) < 0; }
inline bool operator<(const char* a, const RWCString& b) { return b.compareTo(a) > 0; }
inline bool operator>(const RWCString& a, const RWCString& b) { return a.compareTo(b) > 0; }
inline bool operator>(const RWCString& a, const char* b) { return a.compareTo(b) > 0; }
inline bool operator>(const char* a, const RWCString& b) { return b.compareTo(a) < 0; }
inline bool operator<=(const RWCString& a, const RWCString& b) { return a.compareTo(b) <= 0; }
inline bool operator<=(const RWCString& a, const char* b) { return a.compareTo(b) <= 0; }
inline bool operator<=(const char* a, const RWCString& b) { return b.compareTo(a) >= 0; }
inline bool operator>=(const RWCString& a, const RWCString& b) { return a.compareTo(b) >= 0; }
inline bool operator>=(const RWCString& a, const char* b) { return a.compareTo(b) >= 0; }
inline bool operator>=(const char* a, const RWCString& b) { return b.compareTo(a) <= 0; }

// Sub-strings compare by length and bytes; a null sub-string equals "".
inline bool operator==(const RWCConstSubString& a, const char* b) noexcept {
    return qelkit_internal::sameBytes(a.data(), a.length(), b, qelkit_internal::cLength(b));
}
inline bool operator==(const RWCConstSubString& a, const RWCString& b) noexcept {
    return qelkit_internal::sameBytes(a.data(), a.length(), b.data(), b.length());
}
inline bool operator==(const RWCConstSubString& a, const RWCConstSubString& b) noexcept {
    return qelkit_internal::sameBytes(a.data(), a.length(), b.data(), b.length());
}
inline bool operator==(const RWCSubString& a, const char* b) noexcept {
    return RWCConstSubString(a) == b;
}
inline bool operator==(const RWCSubString& a, const RWCString& b) noexcept {
    return RWCConstSubString(a) == b;
}
inline bool operator==(const RWCSubString& a, const RWCSubString& b) noexcept {
    return RWCConstSubString(a) == RWCConstSubString(b);
}
inline bool operator==(const RWCSubString& a, const RWCConstSubString& b) noexcept {
    return RWCConstSubString(a) == b;
}
inline bool operator==(const RWCConstSubString& a, const RWCSubString& b) noexcept {
    return a == RWCConstSubString(b);
}
inline bool operator==(const RWCString& a, const RWCSubString& b) noexcept { return b == a; }
inline bool operator==(const RWCString& a, const RWCConstSubString& b) noexcept { return b == a; }
inline bool operator==(const char* a, const RWCSubString& b) noexcept { return b == a; }
inline bool operator==(const char* a, const RWCConstSubString& b) noexcept { return b == a; }
#define QELKIT_RW_SUBSTRING_NE(A, B) \
    inline bool operator!=(A a, B b) noexcept { return !(a == b); }
QELKIT_RW_SUBSTRING_NE(const RWCSubString&, const char*)
QELKIT_RW_SUBSTRING_NE(const RWCSubString&, const RWCString&)
QELKIT_RW_SUBSTRING_NE(const RWCSubString&, const RWCSubString&)
QELKIT_RW_SUBSTRING_NE(const RWCSubString&, const RWCConstSubString&)
QELKIT_RW_SUBSTRING_NE(const RWCConstSubString&, const char*)
QELKIT_RW_SUBSTRING_NE(const RWCConstSubString&, const RWCString&)
QELKIT_RW_SUBSTRING_NE(const RWCConstSubString&, const RWCSubString&)
QELKIT_RW_SUBSTRING_NE(const RWCConstSubString&, const RWCConstSubString&)
QELKIT_RW_SUBSTRING_NE(const RWCString&, const RWCSubString&)
QELKIT_RW_SUBSTRING_NE(const RWCString&, const RWCConstSubString&)
QELKIT_RW_SUBSTRING_NE(const char*, const RWCSubString&)
QELKIT_RW_SUBSTRING_NE(const char*, const RWCConstSubString&)
#undef QELKIT_RW_SUBSTRING_NE

// ---- Free functions -----------------------------------------------------------------------
QELKIT_API RWCString toLower(const RWCString& s);
QELKIT_API RWCString toUpper(const RWCString& s);
QELKIT_API RWCString operator+(const RWCString& a, const RWCString& b);
QELKIT_API RWCString operator+(const RWCString& a, const char* b);
QELKIT_API RWCString operator+(const char* a, const RWCString& b);

// Writes all length() bytes, NULs included.
QELKIT_API std::ostream& operator<<(std::ostream& os, const RWCString& s);
QELKIT_API std::ostream& operator<<(std::ostream& os, const RWCSubString& s);
QELKIT_API std::ostream& operator<<(std::ostream& os, const RWCConstSubString& s);
// Reads the next white-space-delimited word.
QELKIT_API std::istream& operator>>(std::istream& is, RWCString& s);

#endif  // QELKIT_FOUNDATION_RW_CSTRING_H
