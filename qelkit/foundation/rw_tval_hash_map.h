// SPDX-License-Identifier: Apache-2.0
// RWTValHashMap<K, T, H, EQ>: a map of keys to values, both held by value, in a fixed number of
// buckets chosen at construction (no automatic rehash; resize() rehashes on request). A key's
// bucket is h(key) & (n - 1) when the bucket count n is a power of two, else h(key) % n; H
// returns an unsigned integer and EQ tests key equality. Iteration goes bucket by bucket, in
// insertion order within a bucket. With 0 buckets the map holds nothing.
//
// Representation: pairs live in one slot array (freed slots are reused), chained per bucket by
// 32-bit links. Each slot keeps the full hash code of its key: lookups, insertions and removals
// call EQ only on keys whose code matches, and resize() rehashes without calling H. References
// to values stay valid until the next insertion or resize.
#ifndef QELKIT_FOUNDATION_RW_TVAL_HASH_MAP_H
#define QELKIT_FOUNDATION_RW_TVAL_HASH_MAP_H

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "qelkit/foundation/rw_errors.h"

template <class K, class T, class H, class EQ>
class RWTValHashMap {
  public:
    typedef std::size_t size_type;
    typedef K key_type;
    typedef T mapped_type;
    typedef std::pair<const K, T> value_type;

  private:
    static constexpr std::uint32_t nil = 0xFFFFFFFFu;
    // What H returns for a key.
    typedef std::decay_t<decltype(std::declval<const H&>()(std::declval<const K&>()))> Code;
    static_assert(std::is_integral<Code>::value,
                  "RWTValHashMap: the hash functor must return an integer");
    struct Slot {
        template <class... A>
        explicit Slot(Code c, A&&... args)
            : code(c), next(nil), kv(std::in_place, std::forward<A>(args)...) {}
        Code code;                     // hash code of the key (stale when the slot is free)
        std::uint32_t next;            // next slot of the bucket (or of the free list), or nil
        std::optional<value_type> kv;  // empty when the slot is on the free list
    };

    template <class Map, class Value>
    class Iter {
      public:
        typedef std::forward_iterator_tag iterator_category;
        typedef typename RWTValHashMap::value_type value_type;
        typedef std::ptrdiff_t difference_type;
        typedef Value* pointer;
        typedef Value& reference;

        Iter() = default;
        // A const iterator from a mutable one.
        template <class M2, class V2>
        Iter(const Iter<M2, V2>& other)
            : map_(other.map_), bucket_(other.bucket_), at_(other.at_) {}

        reference operator*() const { return *map_->slots_[at_].kv; }
        pointer operator->() const { return &*map_->slots_[at_].kv; }
        Iter& operator++() {
            at_ = map_->slots_[at_].next;
            if (at_ == nil) settle(bucket_ + 1);
            return *this;
        }
        Iter operator++(int) {
            Iter before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const Iter& a, const Iter& b) {
            return a.bucket_ == b.bucket_ && a.at_ == b.at_;
        }
        friend bool operator!=(const Iter& a, const Iter& b) { return !(a == b); }

      private:
        friend class RWTValHashMap;
        template <class, class>
        friend class Iter;
        Iter(Map* map, size_type bucket) : map_(map) { settle(bucket); }
        // Moves to the first slot of the first non-empty bucket at or after b (else the end).
        void settle(size_type b) {
            const size_type n = map_->heads_.size();
            while (b < n && map_->heads_[b] == nil) ++b;
            bucket_ = b;
            at_ = b < n ? map_->heads_[b] : nil;
        }

        Map* map_ = nullptr;
        size_type bucket_ = 0;
        std::uint32_t at_ = nil;
    };

  public:
    typedef Iter<RWTValHashMap, value_type> iterator;
    typedef Iter<const RWTValHashMap, const value_type> const_iterator;

    // An empty map with exactly `buckets` buckets.
    explicit RWTValHashMap(size_type buckets = 64, const H& h = H(), const EQ& eq = EQ())
        : heads_(buckets, nil), hash_(h), eq_(eq) {}
    RWTValHashMap(const RWTValHashMap&) = default;
    RWTValHashMap(RWTValHashMap&&) noexcept(std::is_nothrow_move_constructible_v<H>&&
                                                std::is_nothrow_move_constructible_v<EQ>) = default;
    RWTValHashMap& operator=(RWTValHashMap other) {
        swap(other);
        return *this;
    }

    // Adds the pair when no equal key is present (true); an existing key keeps its value
    // (false). false with 0 buckets.
    bool insert(const K& key, const T& value) {
        if (heads_.empty()) return false;
        const Code code = hash_(key);
        const size_type b = bucketOf(code);
        std::uint32_t tail = nil;
        for (std::uint32_t k = heads_[b]; k != nil; k = slots_[k].next) {
            if (matches(slots_[k], code, key)) return false;
            tail = k;
        }
        link(b, tail, place(code, key, value));
        return true;
    }
    // Copies the value of `key` into `value` (true); on a miss returns false, `value` untouched.
    bool findValue(const K& key, T& value) const {
        const std::uint32_t k = locate(key);
        if (k == nil) return false;
        value = slots_[k].kv->second;
        return true;
    }
    // Copies the stored key equal to `key` into `foundKey` (true), else false.
    bool find(const K& key, K& foundKey) const {
        const std::uint32_t k = locate(key);
        if (k == nil) return false;
        foundKey = slots_[k].kv->first;
        return true;
    }
    // Both of the above at once; outputs untouched on a miss.
    bool findKeyAndValue(const K& key, K& foundKey, T& value) const {
        const std::uint32_t k = locate(key);
        if (k == nil) return false;
        foundKey = slots_[k].kv->first;
        value = slots_[k].kv->second;
        return true;
    }
    bool contains(const K& key) const { return locate(key) != nil; }
    // Takes out the pair of `key` (true), else false.
    bool remove(const K& key) {
        if (heads_.empty()) return false;
        const Code code = hash_(key);
        std::uint32_t* at = &heads_[bucketOf(code)];
        while (*at != nil) {
            Slot& s = slots_[*at];
            if (matches(s, code, key)) {
                const std::uint32_t k = *at;
                *at = s.next;
                s.kv.reset();
                s.next = free_;
                free_ = k;
                --count_;
                return true;
            }
            at = &s.next;
        }
        return false;
    }
    // The value of `key`, inserting a default T first when missing. RWInternalErr with 0
    // buckets. The reference is valid until the next insertion or resize.
    T& operator[](const K& key) {
        if (heads_.empty())
            RWThrow(RWInternalErr("RWTValHashMap::operator[]: the map has no buckets"));
        const Code code = hash_(key);
        const size_type b = bucketOf(code);
        std::uint32_t tail = nil;
        for (std::uint32_t k = heads_[b]; k != nil; k = slots_[k].next) {
            if (matches(slots_[k], code, key)) return slots_[k].kv->second;
            tail = k;
        }
        const std::uint32_t k = place(code, key, T());
        link(b, tail, k);
        return slots_[k].kv->second;
    }

    size_type entries() const noexcept { return count_; }
    bool isEmpty() const noexcept { return count_ == 0; }
    // Removes every pair; the bucket count is kept.
    void clear() noexcept {
        slots_.clear();
        heads_.assign(heads_.size(), nil);
        free_ = nil;
        count_ = 0;
    }
    // The bucket count.
    size_type capacity() const noexcept { return heads_.size(); }
    // Rehashes into exactly n buckets; resize(0) is ignored unless the map is empty.
    void resize(size_type n) {
        if (n == heads_.size() || (n == 0 && count_ != 0)) return;
        std::vector<std::uint32_t> old(n, nil);
        std::vector<std::uint32_t> tails(n, nil);
        heads_.swap(old);
        for (std::uint32_t first : old) {
            for (std::uint32_t k = first; k != nil;) {
                const std::uint32_t following = slots_[k].next;
                const size_type b = bucketOf(slots_[k].code);
                link(b, tails[b], k);
                tails[b] = k;
                k = following;
            }
        }
    }

    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, heads_.size()); }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, heads_.size()); }

    // fn(key, value, data) for every pair, in iteration order.
    void apply(void (*fn)(const K&, const T&, void*), void* data) const {
        for (const value_type& kv : *this) fn(kv.first, kv.second, data);
    }

    // Exchanges the contents (buckets, pairs, hasher and equality) of two maps.
    void swap(RWTValHashMap& other) {
        using std::swap;
        swap(heads_, other.heads_);
        swap(slots_, other.slots_);
        swap(free_, other.free_);
        swap(count_, other.count_);
        swap(hash_, other.hash_);
        swap(eq_, other.eq_);
    }

  private:
    // The bucket of a key whose hash code is `code` (the map has at least one bucket).
    size_type bucketOf(Code code) const {
        const auto h = static_cast<size_type>(code);
        const size_type n = heads_.size();
        return (n & (n - 1)) == 0 ? h & (n - 1) : h % n;
    }
    // Does the occupied slot s hold `key`, whose hash code is `code`? The codes are compared
    // first, so EQ runs only on a likely match.
    bool matches(const Slot& s, Code code, const K& key) const {
        return s.code == code && eq_(s.kv->first, key);
    }
    std::uint32_t locate(const K& key) const {
        if (heads_.empty()) return nil;
        const Code code = hash_(key);
        for (std::uint32_t k = heads_[bucketOf(code)]; k != nil; k = slots_[k].next)
            if (matches(slots_[k], code, key)) return k;
        return nil;
    }
    // Stores the pair and its key's hash code in a free slot (or a new one) and returns its
    // index, not yet linked.
    std::uint32_t place(Code code, const K& key, const T& value) {
        std::uint32_t k = free_;
        if (k != nil) {
            slots_[k].kv.emplace(key, value);
            slots_[k].code = code;
            free_ = slots_[k].next;
        } else {
            if (slots_.size() >= nil)
                RWThrow(RWInternalErr("RWTValHashMap::insert: more than 4294967294 pairs"));
            k = static_cast<std::uint32_t>(slots_.size());
            slots_.emplace_back(code, key, value);
        }
        ++count_;
        return k;
    }
    // Makes slot k the last of bucket b, whose last slot so far is `tail` (nil: empty).
    void link(size_type b, std::uint32_t tail, std::uint32_t k) {
        slots_[k].next = nil;
        if (tail == nil)
            heads_[b] = k;
        else
            slots_[tail].next = k;
    }

    std::vector<std::uint32_t> heads_;  // first slot of each bucket, or nil
    std::vector<Slot> slots_;
    std::uint32_t free_ = nil;  // first slot of the free list
    size_type count_ = 0;
    H hash_;
    EQ eq_;
};

#endif  // QELKIT_FOUNDATION_RW_TVAL_HASH_MAP_H
