// SPDX-License-Identifier: Apache-2.0
// The groups of qelkit-agg: KeyTable numbers the distinct key tuples, GroupTable keeps per
// (period, key) the row count and per value column the exact sum, the minimum and the maximum.
// Each reading thread fills its own pair for one chunk of the input; the sums are exact, so
// the merged result is the same, to the last bit, wherever the chunks were cut.
#ifndef QELKIT_TOOLS_QELKIT_AGG_GROUPS_H
#define QELKIT_TOOLS_QELKIT_AGG_GROUPS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tools/qelkit_agg/exact_sum.h"

// Key tuples, each stored once as its fields joined by NUL bytes (no field holds one: rows
// with a NUL are never grouped), so comparing two stored keys compares the tuples field by
// field. Ids count from 0 in order of first appearance.
class KeyTable {
  public:
    KeyTable();
    // The id of `key`, added when new.
    std::uint32_t intern(std::string_view key);
    std::string_view key(std::uint32_t id) const noexcept {
        return std::string_view(_text.data() + _spans[id].first, _spans[id].second);
    }
    std::size_t size() const noexcept { return _spans.size(); }
    // Ids in the order of their keys.
    std::vector<std::uint32_t> sorted() const;

  private:
    void grow();

    std::string _text;                                        // every key, one after another
    std::vector<std::pair<std::size_t, std::size_t>> _spans;  // offset and size, by id
    std::vector<std::uint64_t> _slots;  // open addressing: hash in the high half, id + 1 low
};

class GroupTable {
  public:
    struct Group {
        std::int64_t period;  // the period's wall-clock start, in seconds as if UTC
        std::uint32_t key;    // KeyTable id
        std::uint64_t count;
    };

    // Per group, statistics of `values` value columns.
    explicit GroupTable(std::size_t values) : _values(values) {}

    // The index of group (period, key), added empty when new.
    std::uint32_t find(std::int64_t period, std::uint32_t key);
    // Counts one row with its `values` numbers into group `g`.
    void add(std::uint32_t g, const double* values);
    // Adds group `from` of `other` (count, sums, extremes) into `g`.
    void merge(std::uint32_t g, const GroupTable& other, std::uint32_t from);

    const std::vector<Group>& groups() const noexcept { return _groups; }
    // The sum of value column `v` of group `g`, correctly rounded: an infinity only when the
    // exact sum overflows. Its mean likewise, and its extremes.
    double sum(std::uint32_t g, std::size_t v) const noexcept { return stat(g, v).sum.value(); }
    double mean(std::uint32_t g, std::size_t v) const noexcept {
        return stat(g, v).sum.mean(_groups[g].count);
    }
    double min(std::uint32_t g, std::size_t v) const noexcept { return stat(g, v).min; }
    double max(std::uint32_t g, std::size_t v) const noexcept { return stat(g, v).max; }

  private:
    struct Stat {
        ExactSum sum;
        double min;
        double max;
    };
    const Stat& stat(std::uint32_t g, std::size_t v) const noexcept {
        return _stats[std::size_t{g} * _values + v];
    }

    struct PairHash {
        std::size_t operator()(const std::pair<std::int64_t, std::uint32_t>& k) const noexcept {
            return std::hash<std::uint64_t>()(
                static_cast<std::uint64_t>(k.first) * 0x9E3779B97F4A7C15ULL ^ k.second);
        }
    };

    std::size_t _values;
    std::vector<Group> _groups;
    std::vector<Stat> _stats;
    std::unordered_map<std::pair<std::int64_t, std::uint32_t>, std::uint32_t, PairHash> _index;
    // The group each key went to last: rows sorted by time hit it almost always.
    std::vector<std::uint32_t> _lastOfKey;
};

#endif  // QELKIT_TOOLS_QELKIT_AGG_GROUPS_H
