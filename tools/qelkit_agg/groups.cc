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

// Neumaier's step: `sum` + `value`, with the rounding error of the addition kept in `comp`.
void compensatedAdd(double& sum, double& comp, double value) noexcept {
    const double t = sum + value;
    comp += std::fabs(sum) >= std::fabs(value) ? (sum - t) + value : (value - t) + sum;
    sum = t;
}

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
            _stats.insert(_stats.end(), {0.0, 0.0, std::numeric_limits<double>::infinity(),
                                         -std::numeric_limits<double>::infinity()});
        }
    }
    last = it->second;
    return last;
}

void GroupTable::add(std::uint32_t g, const double* values) noexcept {
    ++_groups[g].count;
    double* s = _stats.data() + std::size_t{g} * _values * 4;
    for (std::size_t v = 0; v < _values; ++v, s += 4) {
        compensatedAdd(s[0], s[1], values[v]);
        s[2] = std::min(s[2], values[v]);
        s[3] = std::max(s[3], values[v]);
    }
}

void GroupTable::merge(std::uint32_t g, const GroupTable& other, std::uint32_t from) noexcept {
    _groups[g].count += other._groups[from].count;
    double* s = _stats.data() + std::size_t{g} * _values * 4;
    const double* o = other.stat(from, 0);
    for (std::size_t v = 0; v < _values; ++v, s += 4, o += 4) {
        compensatedAdd(s[0], s[1], o[0]);
        s[1] += o[1];
        s[2] = std::min(s[2], o[2]);
        s[3] = std::max(s[3], o[3]);
    }
}

double GroupTable::sum(std::uint32_t g, std::size_t v) const noexcept {
    const double* s = stat(g, v);
    // Once the running sum overflowed, its compensation means nothing.
    return std::isfinite(s[0]) ? s[0] + s[1] : s[0];
}
