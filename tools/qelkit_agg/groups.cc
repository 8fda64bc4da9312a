// SPDX-License-Identifier: Apache-2.0
#include "tools/qelkit_agg/groups.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <numeric>

namespace {

constexpr std::uint32_t NO_GROUP = 0xFFFFFFFFu;

// A hash of a short key, eight bytes at a time, each step a multiply and a shift (the
// finaliser of splitmix64): keys are a few bytes long, where the standard hash spends most of
// its time on setup.
std::uint64_t keyHash(std::string_view key) noexcept {
    const char* p = key.data();
    std::size_t n = key.size();
    std::uint64_t h = n * 0x9E3779B97F4A7C15ull;
    auto mix = [&h](std::uint64_t word) {
        h = (h ^ word) * 0xBF58476D1CE4E5B9ull;
        h = (h ^ (h >> 31)) * 0x94D049BB133111EBull;
        h ^= h >> 29;
    };
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        mix(word);
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, p, n);
    mix(tail);
    return h;
}

}  // namespace

KeyTable::KeyTable() : _slots(64, 0) {}

std::uint32_t KeyTable::intern(std::string_view key) {
    const std::uint64_t hash = keyHash(key);
    const std::uint64_t tag = hash >> 32 << 32;
    const std::size_t mask = _slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint64_t slot = _slots[i];
        if (slot == 0) {
            const auto id = static_cast<std::uint32_t>(_spans.size());
            _spans.emplace_back(_text.size(), key.size());
            _text.append(key);
            _slots[i] = tag | (std::uint64_t{id} + 1);
            if (_spans.size() * 2 > _slots.size()) grow();
            return id;
        }
        if ((slot & ~0xFFFFFFFFull) == tag) {
            const auto id = static_cast<std::uint32_t>((slot & 0xFFFFFFFFu) - 1);
            if (this->key(id) == key) return id;
        }
    }
}

void KeyTable::grow() {
    std::vector<std::uint64_t> slots(_slots.size() * 2, 0);
    const std::size_t mask = slots.size() - 1;
    for (std::uint32_t id = 0; id < _spans.size(); ++id) {
        const std::uint64_t hash = keyHash(key(id));
        std::size_t i = hash & mask;
        while (slots[i] != 0) i = (i + 1) & mask;
        slots[i] = (hash >> 32 << 32) | (std::uint64_t{id} + 1);
    }
    _slots.swap(slots);
}

std::vector<std::uint32_t> KeyTable::sorted() const {
    std::vector<std::uint32_t> ids(_spans.size());
    std::iota(ids.begin(), ids.end(), 0u);
    std::sort(ids.begin(), ids.end(),
              [this](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    return ids;
}

std::uint32_t GroupTable::find(std::int64_t period, std::uint32_t key) {
    if (key >= _lastOfKey.size()) _lastOfKey.resize(key + 1, NO_GROUP);
    std::uint32_t& last = _lastOfKey[key];
    if (last != NO_GROUP && _groups[last].period == period) return last;
    const auto [it, added] =
        _index.emplace(std::make_pair(period, key), static_cast<std::uint32_t>(_groups.size()));
    if (added) {
        _groups.push_back(Group{period, key, 0});
        for (std::size_t v = 0; v < _values; ++v) {
            _stats.push_back(Stat{ExactSum(), std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity()});
        }
    }
    last = it->second;
    return last;
}

void GroupTable::add(std::uint32_t g, const double* values) {
    ++_groups[g].count;
    Stat* s = _stats.data() + std::size_t{g} * _values;
    for (std::size_t v = 0; v < _values; ++v, ++s) {
        s->sum.add(values[v]);
        s->min = std::min(s->min, values[v]);
        s->max = std::max(s->max, values[v]);
    }
}

void GroupTable::merge(std::uint32_t g, const GroupTable& other, std::uint32_t from) {
    _groups[g].count += other._groups[from].count;
    Stat* s = _stats.data() + std::size_t{g} * _values;
    const Stat* o = &other.stat(from, 0);
    for (std::size_t v = 0; v < _values; ++v, ++s, ++o) {
        s->sum.merge(o->sum);
        s->min = std::min(s->min, o->min);
        s->max = std::max(s->max, o->max);
    }
}
