// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/qel_period_aggregator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <numeric>

namespace {

constexpr std::uint32_t NO_GROUP = 0xFFFFFFFFu;
constexpr std::uint32_t NO_KEY = 0xFFFFFFFFu;

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
    // The last bytes little end first, without a library call for a length known only here.
    std::uint64_t tail = 0;
    for (std::size_t i = 0; i < n; ++i)
        tail |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    mix(tail);
    return h;
}

bool earlier(const QelPeriodAggregator::Instant& a, const QelPeriodAggregator::Instant& b) {
    return a.seconds != b.seconds ? a.seconds < b.seconds : a.nanos < b.nanos;
}

// A double-double: hi + lo with |lo| at most half an ulp of hi.
struct Twofold {
    double hi, lo;
};

Twofold twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

Twofold twoProduct(double a, double b) {
    const double p = a * b;
    return {p, std::fma(a, b, -p)};
}

// The exact sum `sum` to about 106 bits: its rounding and the rounding of what is left.
Twofold twofold(const QelExactSum& sum) {
    const double hi = sum.value();
    if (!std::isfinite(hi)) return {hi, 0};
    QelExactSum rest;
    rest.merge(sum);
    rest.add(-hi);
    return {hi, rest.value()};
}

}  // namespace

QelPeriodAggregator::QelPeriodAggregator(std::size_t values) : _values(values), _keySlots(64, 0) {}

QelPeriodAggregator::QelPeriodAggregator(std::size_t values,
                                         const std::vector<QelAggregate>& aggregates)
    : QelPeriodAggregator(values) {
    for (const QelAggregate& a : aggregates) {
        const QelAggregate::Kind kind = a.kind();
        _keepSquares |= kind == QelAggregate::StdDev || kind == QelAggregate::Var;
        _keepValues |= kind == QelAggregate::Median || kind == QelAggregate::Percentile;
        _keepEnds |= kind == QelAggregate::First || kind == QelAggregate::Last;
    }
    _keepsMore = _keepSquares || _keepValues || _keepEnds;
}

QelPeriodAggregator::QelPeriodAggregator(QelPeriodAggregator&&) noexcept = default;

QelPeriodAggregator& QelPeriodAggregator::operator=(QelPeriodAggregator&&) noexcept = default;

QelPeriodAggregator::~QelPeriodAggregator() = default;

std::uint32_t QelPeriodAggregator::keyId(std::string_view key) {
    // Readings usually come in rounds of the same keys in the same order: the key that followed
    // the previous one last time is tried before the table.
    if (_prevKey < _nextKey.size()) {
        const std::uint32_t guess = _nextKey[_prevKey];
        if (guess != NO_KEY && this->key(guess) == key) return _prevKey = guess;
    }
    const std::uint32_t id = lookUpKey(key);
    if (_prevKey != NO_KEY) {
        if (_prevKey >= _nextKey.size()) _nextKey.resize(_keySpans.size(), NO_KEY);
        _nextKey[_prevKey] = id;
    }
    return _prevKey = id;
}

std::uint32_t QelPeriodAggregator::lookUpKey(std::string_view key) {
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
            resizeCells(_groups.size());
        } catch (...) {
            _index.erase(it);
            _groups.resize(g);
            resizeCells(g);
            throw;
        }
    }
    last = it->second;
    return last;
}

void QelPeriodAggregator::resizeCells(std::size_t groups) {
    const std::size_t cells = groups * _values;
    _stats.resize(cells);
    if (!_missing.empty()) _missing.resize(cells, 0);
    if (_keepSquares) _squares.resize(cells);
    if (_keepValues) _kept.resize(cells);
    if (_keepEnds) _ends.resize(cells);
}

void QelPeriodAggregator::add(std::int64_t period, std::uint32_t key, const double* values,
                              Instant at) {
    const std::uint32_t g = find(period, key);
    ++_groups[g].count;
    Stat* s = _stats.data() + std::size_t{g} * _values;
    bool missing = false;
    for (std::size_t v = 0; v < _values; ++v, ++s) {
        const double x = values[v];
        if (std::isnan(x)) {
            missing = true;
            continue;
        }
        s->sum.add(x);
        s->min = std::min(s->min, x);
        s->max = std::max(s->max, x);
    }
    if (missing || _keepsMore) addOther(g, values, at);
}

void QelPeriodAggregator::addOther(std::uint32_t g, const double* values, Instant at) {
    const std::size_t first = std::size_t{g} * _values;
    for (std::size_t v = 0; v < _values; ++v) {
        const double x = values[v];
        if (std::isnan(x)) {
            if (_missing.empty()) _missing.resize(_stats.size(), 0);
            ++_missing[first + v];
            continue;
        }
        if (_keepSquares) {
            Squares& squares = _squares[first + v];
            // x * x exactly, as its rounding and the rounding error fma() recovers.
            const Twofold square = twoProduct(x, x);
            if (!std::isfinite(square.hi) || !std::isfinite(square.lo)) {
                squares.overflow = true;
            } else {
                squares.sum.add(square.hi);
                squares.sum.add(square.lo);
            }
        }
        if (_keepValues) _kept[first + v].push_back(x);
        if (_keepEnds) {
            Ends& ends = _ends[first + v];
            if (!ends.any || earlier(at, ends.firstAt)) {
                ends.firstAt = at;
                ends.first = x;
            }
            if (!ends.any || !earlier(at, ends.lastAt)) {
                ends.lastAt = at;
                ends.last = x;
            }
            ends.any = true;
        }
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
        if (!other._missing.empty() || _keepSquares || _keepValues || _keepEnds)
            mergeOther(g, other, from);
    }
}

// Rows of `other` come after this aggregator's in input order: its first value wins only when
// strictly earlier, its last one also on equal times.
void QelPeriodAggregator::mergeOther(std::uint32_t g, const QelPeriodAggregator& other,
                                     std::uint32_t from) {
    const std::size_t to = std::size_t{g} * _values;
    const std::size_t at = std::size_t{from} * _values;
    for (std::size_t v = 0; v < _values; ++v) {
        if (!other._missing.empty() && other._missing[at + v] != 0) {
            if (_missing.empty()) _missing.resize(_stats.size(), 0);
            _missing[to + v] += other._missing[at + v];
        }
        if (_keepSquares && other._keepSquares) {
            _squares[to + v].sum.merge(other._squares[at + v].sum);
            _squares[to + v].overflow |= other._squares[at + v].overflow;
        }
        if (_keepValues && other._keepValues) {
            const std::vector<double>& more = other._kept[at + v];
            _kept[to + v].insert(_kept[to + v].end(), more.begin(), more.end());
        }
        if (_keepEnds && other._keepEnds && other._ends[at + v].any) {
            Ends& ends = _ends[to + v];
            const Ends& theirs = other._ends[at + v];
            if (!ends.any || earlier(theirs.firstAt, ends.firstAt)) {
                ends.firstAt = theirs.firstAt;
                ends.first = theirs.first;
            }
            if (!ends.any || !earlier(theirs.lastAt, ends.lastAt)) {
                ends.lastAt = theirs.lastAt;
                ends.last = theirs.last;
            }
            ends.any = true;
        }
    }
}

double QelPeriodAggregator::value(std::uint32_t g, std::size_t v, const QelAggregate& a) const {
    switch (a.kind()) {
        case QelAggregate::Count:
            return static_cast<double>(_groups[g].count);
        case QelAggregate::N:
            return static_cast<double>(present(g, v));
        case QelAggregate::Sum:
            return sum(g, v);
        case QelAggregate::Min:
            return min(g, v);
        case QelAggregate::Max:
            return max(g, v);
        case QelAggregate::Mean:
            return mean(g, v);
        case QelAggregate::Median:
        case QelAggregate::Percentile:
            return percentile(g, v, a.fraction());
        case QelAggregate::StdDev:
            return std::sqrt(variance(g, v));
        case QelAggregate::Var:
            return variance(g, v);
        case QelAggregate::First:
        case QelAggregate::Last: {
            if (!_keepEnds) return EMPTY;
            const Ends& ends = _ends[std::size_t{g} * _values + v];
            if (!ends.any) return EMPTY;
            return a.kind() == QelAggregate::First ? ends.first : ends.last;
        }
    }
    return EMPTY;
}

// (n * sum of squares - sum^2) / (n (n - 1)), from the exact sums carried to about 106 bits,
// so the difference keeps its precision unless the mean dwarfs the spread by some 2^50.
double QelPeriodAggregator::variance(std::uint32_t g, std::size_t v) const {
    const std::uint64_t n = present(g, v);
    if (!_keepSquares || n < 2) return EMPTY;
    const Squares& squares = _squares[std::size_t{g} * _values + v];
    if (squares.overflow) return std::numeric_limits<double>::infinity();
    const auto count = static_cast<double>(n);
    const Twofold s1 = twofold(stat(g, v).sum);
    const Twofold s2 = twofold(squares.sum);
    const Twofold scaled = twoProduct(count, s2.hi);
    const Twofold squared = twoProduct(s1.hi, s1.hi);
    const Twofold top = twoSum(scaled.hi, -squared.hi);
    const double rest =
        top.lo + (scaled.lo - squared.lo) + count * s2.lo - 2 * s1.hi * s1.lo - s1.lo * s1.lo;
    const double difference = top.hi + rest;
    // The exact difference is never negative; rounding may leave a tiny negative one.
    return std::max(0.0, difference) / count / (count - 1);
}

// Linear interpolation between the closest ranks of the sorted values: position
// fraction * (n - 1), lo + (hi - lo) * (position - floor(position)).
double QelPeriodAggregator::percentile(std::uint32_t g, std::size_t v, double fraction) const {
    if (!_keepValues) return EMPTY;
    std::vector<double> values = _kept[std::size_t{g} * _values + v];
    if (values.empty()) return EMPTY;
    const double position = fraction * static_cast<double>(values.size() - 1);
    const auto rank = static_cast<std::size_t>(position);
    const auto nth = values.begin() + static_cast<std::ptrdiff_t>(rank);
    std::nth_element(values.begin(), nth, values.end());
    const double lo = *nth;
    const double part = position - static_cast<double>(rank);
    if (part == 0 || rank + 1 == values.size()) return lo;
    const double hi = *std::min_element(nth + 1, values.end());
    return lo + (hi - lo) * part;
}

std::vector<std::uint32_t> QelPeriodAggregator::keyRanks() const {
    std::vector<std::uint32_t> byKey(_keySpans.size());
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::sort(byKey.begin(), byKey.end(),
              [this](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    std::vector<std::uint32_t> rank(byKey.size());
    for (std::uint32_t r = 0; r < byKey.size(); ++r) rank[byKey[r]] = r;
    return rank;
}

std::vector<std::uint32_t> QelPeriodAggregator::groupsInOrder() const {
    // Keys are ranked once, so that sorting the groups compares two integers.
    const std::vector<std::uint32_t> rank = keyRanks();
    std::vector<std::uint32_t> order(_groups.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [this, &rank](std::uint32_t a, std::uint32_t b) {
        return _groups[a].period != _groups[b].period ? _groups[a].period < _groups[b].period
                                                      : rank[_groups[a].key] < rank[_groups[b].key];
    });
    return order;
}
