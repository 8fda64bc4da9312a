// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/qel_period_aggregator.h"

#include <algorithm>
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

QelPeriodAggregator::QelPeriodAggregator(std::size_t values) : _values(values), _keySlots(64, 0) {}

QelPeriodAggregator::QelPeriodAggregator(QelPeriodAggregator&&) noexcept = default;

QelPeriodAggregator& QelPeriodAggregator::operator=(QelPeriodAggregator&&) noexcept = default;

QelPeriodAggregator::~QelPeriodAggregator() = default;

std::uint32_t QelPeriodAggregator::keyId(std::string_view key) {
    const std::uint64_t hash = keyHash(key);
    const std::uint64_t tag = hash >> 32 << 32;
    const std::size_t mask = _keySlots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint64_t slot = _keySlots[i];
        if (slot == 0) {
            // The text first: should a later step fail, the table still holds only whole keys.
            const auto id = static_cast<std::uint32_t>(_keySpans.size());
            const std::size_t offset = _keyText.size();
            _keyText.append(key);
            _keySpans.emplace_back(offset, key.size());
            _keySlots[i] = tag | (std::uint64_t{id} + 1);
            if (_keySpans.size() * 2 > _keySlots.size()) growKeySlots();
            return id;
        }
        if ((slot & ~0xFFFFFFFFull) == tag) {
            const auto id = static_cast<std::uint32_t>((slot & 0xFFFFFFFFu) - 1);
            if (this->key(id) == key) return id;
        }
    }
}

void QelPeriodAggregator::growKeySlots() {
    std::vector<std::uint64_t> slots(_keySlots.size() * 2, 0);
    const std::size_t mask = slots.size() - 1;
    for (std::uint32_t id = 0; id < _keySpans.size(); ++id) {
        const std::uint64_t hash = keyHash(key(id));
        std::size_t i = hash & mask;
        while (slots[i] != 0) i = (i + 1) & mask;
        slots[i] = (hash >> 32 << 32) | (std::uint64_t{id} + 1);
    }
    _keySlots.swap(slots);
}

std::uint32_t QelPeriodAggregator::find(std::int64_t period, std::uint32_t key) {
    if (key >= _lastOfKey.size()) _lastOfKey.resize(key + 1, NO_GROUP);
    std::uint32_t& last = _lastOfKey[key];
    if (last != NO_GROUP && _groups[last].period == period) return last;
    const auto g = static_cast<std::uint32_t>(_groups.size());
    const auto [it, added] = _index.emplace(std::make_pair(period, key), g);
    if (added) {
        try {
            _groups.push_back(Group{period, key, 0});
            for (std::size_t v = 0; v < _values; ++v) {
                _stats.push_back(Stat{QelExactSum(), std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity()});
            }
        } catch (...) {
            _index.erase(it);
            _stats.erase(_stats.begin() + static_cast<std::ptrdiff_t>(g * _values), _stats.end());
            _groups.resize(g);
            throw;
        }
    }
    last = it->second;
    return last;
}

void QelPeriodAggregator::add(std::int64_t period, std::uint32_t key, const double* values) {
    const std::uint32_t g = find(period, key);
    ++_groups[g].count;
    Stat* s = _stats.data() + std::size_t{g} * _values;
    for (std::size_t v = 0; v < _values; ++v, ++s) {
        s->sum.add(values[v]);
        s->min = std::min(s->min, values[v]);
        s->max = std::max(s->max, values[v]);
    }
}

void QelPeriodAggregator::merge(const QelPeriodAggregator& other) {
    // Each key of `other` is looked up once, then each of its groups merged.
    std::vector<std::uint32_t> keyIds(other.keyCount());
    for (std::uint32_t k = 0; k < keyIds.size(); ++k) keyIds[k] = keyId(other.key(k));
    for (std::uint32_t from = 0; from < other._groups.size(); ++from) {
        const Group& group = other._groups[from];
        const std::uint32_t g = find(group.period, keyIds[group.key]);
        _groups[g].count += group.count;
        Stat* s = _stats.data() + std::size_t{g} * _values;
        const Stat* o = other._stats.data() + std::size_t{from} * _values;
        for (std::size_t v = 0; v < _values; ++v, ++s, ++o) {
            s->sum.merge(o->sum);
            s->min = std::min(s->min, o->min);
            s->max = std::max(s->max, o->max);
        }
    }
}

std::vector<std::uint32_t> QelPeriodAggregator::groupsInOrder() const {
    // Keys are ranked once, so that sorting the groups compares two integers.
    std::vector<std::uint32_t> byKey(_keySpans.size());
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::sort(byKey.begin(), byKey.end(),
              [this](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    std::vector<std::uint32_t> rank(byKey.size());
    for (std::uint32_t r = 0; r < byKey.size(); ++r) rank[byKey[r]] = r;
    std::vector<std::uint32_t> order(_groups.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [this, &rank](std::uint32_t a, std::uint32_t b) {
        return _groups[a].period != _groups[b].period ? _groups[a].period < _groups[b].period
                                                      : rank[_groups[a].key] < rank[_groups[b].key];
    });
    return order;
}
