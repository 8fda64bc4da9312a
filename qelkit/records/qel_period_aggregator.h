// SPDX-License-Identifier: Apache-2.0
// QelPeriodAggregator: statistics of time-stamped rows grouped by reporting period and key. A
// row brings the start of its period, a key tuple and one number per value column; a group is a
// (period start, key tuple) pair and keeps its row count and, per value column, the sum, the
// minimum, the maximum and the mean. Sums are exact (QelExactSum) and read back correctly
// rounded, so they do not depend on the order of the rows.
//
// Period starts are plain integers, typically wall-clock seconds from 1970-01-01 counted as if
// UTC (from NqTimeAggregation::calendarTruncate read in the working zone); they only need to be
// equal for rows of one period and to order periods. A key tuple is given as its fields joined
// by NUL bytes (a single field is its own tuple; no tuple at all is the empty text), so no field
// may hold a NUL byte. Key tuples are numbered from 0 in order of first appearance, and so are
// the groups.
//
// Parallel use: each thread fills an aggregator of its own from one consecutive part of the
// input, and the parts are then merged into one, in input order. Counts, sums, means and
// extremes come out the same, to the last bit, as from one aggregator fed every row, wherever
// the input was cut (merging in input order keeps even the sign of a zero extreme, which takes
// the first of equal values).
//
// Thread safety: not locked; one object must not be changed while another thread uses it; const
// operations may run on several threads at once.
// Failure: only std::bad_alloc, which leaves the aggregator usable but the row or merge it
// stopped in partly counted.
// Limits: fewer than 2^32 key tuples and 2^32 groups; counts below 2^64. Values must be finite
// or NaN (missing): an infinity leaves the sums meaningless. The variance is exact to about
// 2^-100 relative to the squared mean; it is an infinity when a square overflows (|x| > 1e150).
// Percentiles keep every value of the group's column: 8 bytes per value, and the other
// statistics a few dozen bytes per group and column. Movable, not copyable.
#ifndef QELKIT_RECORDS_QEL_PERIOD_AGGREGATOR_H
#define QELKIT_RECORDS_QEL_PERIOD_AGGREGATOR_H

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "qelkit/export.h"
#include "qelkit/records/qel_aggregate.h"
#include "qelkit/records/qel_exact_sum.h"

class QELKIT_API QelPeriodAggregator {
  public:
    // A group as group() shows it.
    struct Group {
        std::int64_t period;  // the period start the rows brought
        std::uint32_t key;    // the id of the key tuple
        std::uint64_t count;  // rows counted
    };

    // When a row happened, for first and last: seconds and nanoseconds on any fixed scale (POSIX
    // seconds, or wall-clock seconds of one zone), compared as a pair.
    struct Instant {
        std::int64_t seconds;
        std::int32_t nanos;
    };

    // An empty aggregator for rows of `values` value columns (0 counts rows only) that keeps
    // the count, n, sum, min, max and mean.
    explicit QelPeriodAggregator(std::size_t values);
    // One that also keeps what `aggregates` need beyond those.
    QelPeriodAggregator(std::size_t values, const std::vector<QelAggregate>& aggregates);
    // Moves take every group over; the aggregator moved from may only be assigned or destroyed.
    QelPeriodAggregator(QelPeriodAggregator&&) noexcept;
    QelPeriodAggregator& operator=(QelPeriodAggregator&&) noexcept;
    ~QelPeriodAggregator();

    // The number of value columns each row brings.
    std::size_t values() const noexcept { return _values; }

    // The id of key tuple `key` (fields joined by NUL bytes), added when new.
    std::uint32_t keyId(std::string_view key);
    // The key tuple of id `id` (below keyCount()), as keyId() was given it.
    std::string_view key(std::uint32_t id) const noexcept {
        return std::string_view(_keyText.data() + _keySpans[id].first, _keySpans[id].second);
    }
    // The number of distinct key tuples seen so far.
    std::size_t keyCount() const noexcept { return _keySpans.size(); }

    // Counts one row of period start `period` and key id `key` (from keyId()) with its
    // `values()` numbers at `values`, a NaN standing for a missing value, which no statistic
    // of its column counts. `at` orders the rows for first and last.
    void add(std::int64_t period, std::uint32_t key, const double* values,
             Instant at = Instant{0, 0});
    // Adds every group of `other` (same values()) into this one, key tuples matched by their
    // text. Merging the parts of an input in its order gives what one aggregator would.
    void merge(const QelPeriodAggregator& other);

    // The number of groups so far.
    std::size_t groupCount() const noexcept { return _groups.size(); }
    // Group `g` (below groupCount()).
    const Group& group(std::uint32_t g) const noexcept { return _groups[g]; }
    // Every group index in output order: by period start, then by key tuple compared field by
    // field (bytes compared unsigned, a field before any longer one it begins).
    std::vector<std::uint32_t> groupsInOrder() const;
    // The rank of each key id (below keyCount()) in that key order.
    std::vector<std::uint32_t> keyRanks() const;

    // The number of values of column `v` (below values()) present in group `g`.
    std::uint64_t present(std::uint32_t g, std::size_t v) const noexcept {
        return _missing.empty() ? _groups[g].count
                                : _groups[g].count - _missing[std::size_t{g} * _values + v];
    }
    // The statistics of value column `v` in group `g`, NaN when there is none (no value
    // present): the sum correctly rounded (an infinity only when the exact sum overflows), the
    // mean likewise, the extremes.
    double sum(std::uint32_t g, std::size_t v) const noexcept {
        return present(g, v) == 0 ? EMPTY : stat(g, v).sum.value();
    }
    double mean(std::uint32_t g, std::size_t v) const noexcept {
        const std::uint64_t n = present(g, v);
        return n == 0 ? EMPTY : stat(g, v).sum.mean(n);
    }
    double min(std::uint32_t g, std::size_t v) const noexcept {
        return present(g, v) == 0 ? EMPTY : stat(g, v).min;
    }
    double max(std::uint32_t g, std::size_t v) const noexcept {
        return present(g, v) == 0 ? EMPTY : stat(g, v).max;
    }
    // Aggregate `a` of column `v` in group `g` (Count: the group's rows, whatever `v`); NaN
    // when it is empty, or when the aggregator was not built to keep it.
    double value(std::uint32_t g, std::size_t v, const QelAggregate& a) const;

  private:
    static constexpr double EMPTY = std::numeric_limits<double>::quiet_NaN();

    struct Stat {
        QelExactSum sum;
        double min = std::numeric_limits<double>::infinity();
        double max = -std::numeric_limits<double>::infinity();
    };
    // The sum of squares of a column, for the variance.
    struct Squares {
        QelExactSum sum;
        bool overflow = false;
    };
    // The first and last value by time.
    struct Ends {
        Instant firstAt{0, 0}, lastAt{0, 0};
        double first = 0, last = 0;
        bool any = false;
    };
    struct PairHash {
        std::size_t operator()(const std::pair<std::int64_t, std::uint32_t>& k) const noexcept {
            return std::hash<std::uint64_t>()(
                static_cast<std::uint64_t>(k.first) * 0x9E3779B97F4A7C15ULL ^ k.second);
        }
    };

    const Stat& stat(std::uint32_t g, std::size_t v) const noexcept {
        return _stats[std::size_t{g} * _values + v];
    }
    // The index of group (period, key), added empty when new.
    std::uint32_t find(std::int64_t period, std::uint32_t key);
    // Sizes every per-column array for `groups` groups.
    void resizeCells(std::size_t groups);
    // The id of `key` from the table, added when new.
    std::uint32_t lookUpKey(std::string_view key);
    void growKeySlots();
    // add() for a row with a missing value or statistics beyond the common ones.
    void addOther(std::uint32_t g, const double* values, Instant at);
    void mergeOther(std::uint32_t g, const QelPeriodAggregator& other, std::uint32_t from);
    double variance(std::uint32_t g, std::size_t v) const;
    double percentile(std::uint32_t g, std::size_t v, double fraction) const;

    std::size_t _values;
    // Key tuples: every text one after another, offset and size by id, and an open-addressing
    // table of ids (hash in the high half, id + 1 in the low one).
    std::string _keyText;
    std::vector<std::pair<std::size_t, std::size_t>> _keySpans;
    std::vector<std::uint64_t> _keySlots;
    // The id keyId() gave last, and by id the one it gave after that id last time (all ones
    // for none; may be shorter than the key count).
    std::uint32_t _prevKey = 0xFFFFFFFFu;
    std::vector<std::uint32_t> _nextKey;
    std::vector<Group> _groups;
    std::vector<Stat> _stats;  // values() per group
    // What the aggregates asked for beyond the common statistics.
    bool _keepSquares = false, _keepValues = false, _keepEnds = false;
    bool _keepsMore = false;  // any of the three
    // values() per group, each empty until it is first needed (_missing: until a value is
    // missing) or unless asked for.
    std::vector<std::uint64_t> _missing;
    std::vector<Squares> _squares;
    std::vector<std::vector<double>> _kept;
    std::vector<Ends> _ends;
    std::unordered_map<std::pair<std::int64_t, std::uint32_t>, std::uint32_t, PairHash> _index;
    // The group each key went to last: rows sorted by time hit it almost always.
    std::vector<std::uint32_t> _lastOfKey;
};

#endif  // QELKIT_RECORDS_QEL_PERIOD_AGGREGATOR_H
