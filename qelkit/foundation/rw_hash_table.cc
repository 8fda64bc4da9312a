// SPDX-License-Identifier: Apache-2.0
// RWHashTable, RWSet and RWIdentitySet over one entry array with per-bucket chain links.
#include "qelkit/foundation/rw_hash_table.h"

#include <cstdint>

#include "qelkit/foundation/rw_errors.h"

RWDEFINE_COLLECTABLE(RWHashTable, rwHashTableId)
RWDEFINE_COLLECTABLE(RWSet, rwSetId)
RWDEFINE_COLLECTABLE(RWIdentitySet, rwIdentitySetId)

namespace {

// Heap addresses share their low bits (alignment, object size): multiply so that every bit of
// the address reaches the high half, which becomes the hash.
unsigned addressHash(const void* p) noexcept {
    const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p));
    return static_cast<unsigned>((bits * 0x9E3779B97F4A7C15ull) >> 32);
}

}  // namespace

RWHashTable::RWHashTable(std::size_t buckets) : RWHashTable(buckets, false) {}

RWHashTable::RWHashTable(std::size_t buckets, bool identity) : identity_(identity) {
    heads_.assign(buckets, nil);
    setBucketCount(buckets);
}

RWHashTable::~RWHashTable() = default;

void RWHashTable::setBucketCount(std::size_t n) {
    pow2_ = n != 0 && (n & (n - 1)) == 0;
    mask_ = pow2_ ? n - 1 : 0;
}

unsigned RWHashTable::hashOf(const RWCollectable* item) const {
    return identity_ ? addressHash(item) : item->hash();
}

bool RWHashTable::matches(const RWCollectable* item, const RWCollectable* target) const {
    return identity_ ? item == target : item->isEqual(target);
}

std::size_t RWHashTable::bucketOf(unsigned hash) const noexcept {
    // Same result as hash % buckets(), cheaper for powers of two and 32-bit counts.
    if (pow2_) return hash & mask_;
    const std::size_t n = heads_.size();
    if (n <= 0xFFFFFFFFu) return hash % static_cast<std::uint32_t>(n);
    return hash % n;
}

void RWHashTable::resize(std::size_t n) {
    if (n == heads_.size() || (n == 0 && !entries_.empty())) return;
    std::vector<std::uint32_t> heads(n, nil);
    std::vector<std::uint32_t> tails(n, nil);
    setBucketCount(n);
    heads_.swap(heads);  // bucketOf now uses the new count; `heads` holds the old chains
    // Walk the old chains in order and append to the new ones, so items of one bucket keep
    // their relative order (find returns the earliest of equal items).
    for (std::uint32_t first : heads) {
        for (std::uint32_t k = first; k != nil;) {
            Entry& e = entries_[k];
            const std::uint32_t following = e.next;
            const std::size_t b = bucketOf(e.hash);
            e.next = nil;
            if (tails[b] == nil)
                heads_[b] = k;
            else
                entries_[tails[b]].next = k;
            tails[b] = k;
            k = following;
        }
    }
}

RWCollectable* RWHashTable::add(RWCollectable* item, bool unique) {
    if (item == nullptr || heads_.empty()) return nullptr;
    const unsigned h = hashOf(item);
    const std::size_t b = bucketOf(h);
    std::uint32_t tail = nil;
    for (std::uint32_t k = heads_[b]; k != nil; k = entries_[k].next) {
        if (unique && matches(entries_[k].item, item)) return entries_[k].item;
        tail = k;
    }
    if (entries_.size() >= nil)
        RWThrow(RWInternalErr("RWHashTable::insert: more than 4294967294 items"));
    const auto k = static_cast<std::uint32_t>(entries_.size());
    entries_.push_back(Entry{item, h, nil});
    if (tail == nil)
        heads_[b] = k;
    else
        entries_[tail].next = k;
    return item;
}

RWCollectable* RWHashTable::insert(RWCollectable* item) { return add(item, false); }

RWCollectable* RWHashTable::find(const RWCollectable* target) const {
    if (target == nullptr || heads_.empty()) return nullptr;
    for (std::uint32_t k = heads_[bucketOf(hashOf(target))]; k != nil; k = entries_[k].next)
        if (matches(entries_[k].item, target)) return entries_[k].item;
    return nullptr;
}

std::size_t RWHashTable::occurrencesOf(const RWCollectable* target) const {
    if (target == nullptr || heads_.empty()) return 0;
    std::size_t count = 0;
    for (std::uint32_t k = heads_[bucketOf(hashOf(target))]; k != nil; k = entries_[k].next)
        if (matches(entries_[k].item, target)) ++count;
    return count;
}

RWCollectable* RWHashTable::remove(const RWCollectable* target) {
    if (target == nullptr || heads_.empty()) return nullptr;
    std::uint32_t* link = &heads_[bucketOf(hashOf(target))];
    while (*link != nil) {
        const std::uint32_t k = *link;
        RWCollectable* item = entries_[k].item;
        if (matches(item, target)) {
            *link = entries_[k].next;
            drop(k);
            return item;
        }
        link = &entries_[k].next;
    }
    return nullptr;
}

void RWHashTable::erase(std::uint32_t k) {
    std::uint32_t* link = &heads_[bucketOf(entries_[k].hash)];
    while (*link != k) link = &entries_[*link].next;
    *link = entries_[k].next;
    drop(k);
}

void RWHashTable::drop(std::uint32_t k) {
    const auto last = static_cast<std::uint32_t>(entries_.size() - 1);
    if (k != last) {
        // The last entry moves into slot k: repoint the link that reached it.
        std::uint32_t* link = &heads_[bucketOf(entries_[last].hash)];
        while (*link != last) link = &entries_[*link].next;
        *link = k;
        entries_[k] = entries_[last];
    }
    entries_.pop_back();
}

void RWHashTable::clear() {
    entries_.clear();
    heads_.assign(heads_.size(), nil);
}

RWIterator* RWHashTable::newIterator() { return new RWHashTableIterator(*this); }

void RWHashTable::apply(void (*fn)(RWCollectable*, void*), void* data) {
    for (std::size_t i = entries_.size(); i-- != 0;) fn(entries_[i].item, data);
}

// The walk goes from the last entry down: taking out the current entry moves the last one,
// already visited, into its slot, so nothing is skipped or seen twice.
RWCollectable* RWHashTableIterator::operator()() {
    if (ended_) return nullptr;
    const std::size_t n = table_->entries_.size();
    if (!started_) {
        started_ = true;
        next_ = n;
    }
    if (next_ > n) next_ = n;
    if (next_ == 0) {
        ended_ = true;
        current_ = nullptr;
        return nullptr;
    }
    current_ = table_->entries_[--next_].item;
    return current_;
}

void RWHashTableIterator::reset() {
    next_ = 0;
    current_ = nullptr;
    started_ = false;
    ended_ = false;
}

RWCollectable* RWHashTableIterator::findNext(const RWCollectable* target) {
    while (RWCollectable* item = (*this)())
        if (item->isEqual(target)) return item;
    return nullptr;
}

RWCollectable* RWHashTableIterator::remove() {
    if (current_ == nullptr || next_ >= table_->entries_.size() ||
        table_->entries_[next_].item != current_)
        return nullptr;
    RWCollectable* item = current_;
    table_->erase(static_cast<std::uint32_t>(next_));
    current_ = nullptr;
    return item;
}

RWSet::RWSet(std::size_t buckets) : RWHashTable(buckets, false) {}

RWSet::RWSet(std::size_t buckets, bool identity) : RWHashTable(buckets, identity) {}

RWCollectable* RWSet::insert(RWCollectable* item) { return add(item, true); }

RWIdentitySet::RWIdentitySet(std::size_t buckets) : RWSet(buckets, true) {}
