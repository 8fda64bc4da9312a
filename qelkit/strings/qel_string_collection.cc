// SPDX-License-Identifier: Apache-2.0
#include "qelkit/strings/qel_string_collection.h"

#include <cassert>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "qelkit/datetime/get_date.h"
#include "qelkit/foundation/rw_collection.h"
#include "qelkit/strings/internal/string_item_pool.h"

namespace {

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Ends an item built by the collection; the qualified call skips the virtual dispatch, which
// is safe because every item is exactly an RWCollectableString.
void destroyItem(RWCollectableString* item) noexcept {
    item->RWCollectableString::~RWCollectableString();
}

}  // namespace

QelStringCollection::QelStringCollection() : _list(RWCollection::DEFAULT_CAPACITY) {}

QelStringCollection::QelStringCollection(const QelStringCollection& other)
    : RWCollectable(other), _list(other._list.entries()) {
    copyItems(other);
}

QelStringCollection& QelStringCollection::operator=(const QelStringCollection& other) {
    if (this == &other) return *this;
    clearAndDestroy();
    copyItems(other);
    return *this;
}

QelStringCollection::~QelStringCollection() { clearAndDestroy(); }

void QelStringCollection::copyItems(const QelStringCollection& other) {
    const std::size_t n = other._list.entries();
    reserveMore(n);
    for (std::size_t i = 0; i < n; ++i) {
        // The copy shares the source item's buffer until either is written.
        adopt(nullptr, 0, &other.item(static_cast<int>(i)));
    }
}

RWCollectableString& QelStringCollection::operator()(int i) {
    assert(i >= 0);
    const std::size_t want = static_cast<std::size_t>(i);
    if (want >= _list.entries()) {
        reserveMore(want + 1 - _list.entries());
        while (want >= _list.entries()) append(nullptr, 0);
    }
    return *static_cast<RWCollectableString*>(_list(want));
}

QelString QelStringCollection::getString(int i) const { return QelString(item(i)); }

int QelStringCollection::getInt(int i) const { return std::atoi(item(i).data()); }

double QelStringCollection::getDouble(int i) const { return std::atof(item(i).data()); }

RWTime QelStringCollection::getTime(int i, const QelString& format) const {
    return GetDate(item(i).data(), format.data()).time();
}

void QelStringCollection::insert(const QelString& s) {
    // The new item shares s's buffer instead of copying the bytes.
    adopt(s.data(), s.length(), &s);
}

void QelStringCollection::append(const char* p, std::size_t n) { adopt(p, n, nullptr); }

void QelStringCollection::adopt(const char* p, std::size_t n, const RWCString* share) {
    // Room first, so that once the item exists nothing can fail before the list holds it.
    if (_list.entries() == _list.capacity()) reserveMore(1);
    if (!_pool) _pool = std::make_unique<qelkit_internal::StringItemPool>();
    void* slot = _pool->allocate();
    RWCollectableString* item;
    try {
        item =
            share ? new (slot) RWCollectableString(*share) : new (slot) RWCollectableString(p, n);
    } catch (...) {
        _pool->release(slot);
        throw;
    }
    _list.insert(item);  // owned by the list from here; pop or clearAndDestroy ends it
}

void QelStringCollection::reserveMore(std::size_t more) {
    const std::size_t need = _list.entries() + more;
    const std::size_t cap = _list.capacity();
    if (need <= cap) return;
    // Doubling keeps a long run of appends linear; the list's own step of 64 slots would make
    // splitting a text of many fields quadratic.
    std::size_t grown =
        cap < RWCollection::DEFAULT_CAPACITY ? RWCollection::DEFAULT_CAPACITY : cap * 2;
    if (grown < need) grown = need;
    _list.reshape(grown);
}

int QelStringCollection::split(const QelString& text, StripType strip, const char delimiter) {
    // The fields are those a non-collapsing Tokenizer yields: the text ends at its first NUL
    // byte, and every delimiter before it ends a field. They are found with memchr, and each
    // field is trimmed in place, so no intermediate string is built.
    const bool stripLeading = strip == leading || strip == both;
    const bool stripTrailing = strip == trailing || strip == both;
    const char* start = text.data();
    const char* const nul = static_cast<const char*>(std::memchr(start, 0, text.length()));
    const char* const end = nul ? nul : start + text.length();
    for (;;) {
        const char* hit = static_cast<const char*>(std::memchr(
            start, static_cast<unsigned char>(delimiter), static_cast<std::size_t>(end - start)));
        const char* first = start;
        const char* last = hit ? hit : end;  // one past the field's last byte
        // The same rule as QelString::stripWhiteSpace.
        if (stripLeading)
            while (first < last && isSpace(*first)) ++first;
        if (stripTrailing)
            while (last > first && isSpace(last[-1])) --last;
        append(first, static_cast<std::size_t>(last - first));
        if (hit == nullptr) break;
        start = hit + 1;
    }
    return entries();
}

void QelStringCollection::insertAndSplit(const QelString& text, int chunk) {
    const std::size_t length = text.length();
    if (length == 0) return;
    const char* const bytes = text.data();
    if (chunk < 1) {
        // No piece size to cut at: keep the text whole rather than lose or loop.
        append(bytes, length);
        return;
    }
    const std::size_t size = static_cast<std::size_t>(chunk);
    std::size_t pos = 0;
    while (pos < length) {
        std::size_t n = size;
        std::size_t e = pos + size;
        if (size > length - pos) {
            n = length - pos;
            e = length;
        }
        // A piece ending between the first and second byte of "]]>" is shortened by one byte,
        // so the next piece starts with the whole sequence.
        if (e + 2 <= length && n > 1 && std::memcmp(bytes + e - 1, "]]>", 3) == 0) --n;
        append(bytes + pos, n);
        pos += n;
    }
}

void QelStringCollection::pop() {
    if (_list.entries() == 0) return;
    RWCollectableString* item = static_cast<RWCollectableString*>(_list.removeLast());
    destroyItem(item);
    _pool->release(item);
}

void QelStringCollection::clearAndDestroy() {
    const std::size_t n = _list.entries();
    for (std::size_t i = 0; i < n; ++i) destroyItem(static_cast<RWCollectableString*>(_list(i)));
    _list.clear();
    if (_pool) _pool->reset();
}

void QelStringCollection::stripContents(StripType strip) {
    if (strip == noStrip) return;
    const std::size_t n = _list.entries();
    for (std::size_t i = 0; i < n; ++i) {
        RWCollectableString& s = *static_cast<RWCollectableString*>(_list(i));
        s = QelString(s).stripWhiteSpace(static_cast<RWCString::stripType>(strip));
    }
}

QelString QelStringCollection::concat(char separator) {
    const std::size_t n = _list.entries();
    if (n == 0) return QelString();
    std::size_t total = n - 1;
    for (std::size_t i = 0; i < n; ++i) total += item(static_cast<int>(i)).length();
    QelString out{RWSize_T(total)};
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) out.append(separator, 1);
        out.append(item(static_cast<int>(i)));
    }
    return out;
}
