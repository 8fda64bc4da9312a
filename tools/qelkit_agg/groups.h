// SPDX-License-Identifier: Apache-2.0
// The groups of qelkit-agg: KeyTable numbers the distinct key tuples, GroupTable keeps per
// (period start, key) the row count and per value column a compensated sum, the minimum and
// the maximum. Each reading thread fills its own pair for one chunk of the input; merging
// them in chunk order gives the same sums, to the last bit, however the chunks were shared
// among threads.
#ifndef QELKIT_TOOLS_QELKIT_AGG_GROUPS_H
#define QELKIT_TOOLS_QELKIT_AGG_GROUPS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

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
        std::int64_t period;  // POSIX seconds of the period start
        std::uint32_t key;    // KeyTable id
        std::uint64_t count;
    };

    // Per group, `values` statistics of four doubles: sum, its compensation, min, max.
    explicit GroupTable(std::size_t values) : _values(values) {}

    // The index of group (period, key), added empty when new.
    std::uint32_t find(std::int64_t period, std::uint32_t key);
    // Counts one row with its `values` numbers into group `g`.
    void add(std::uint32_t g, const double* values) noexcept;
    // Adds group `from` of `other` (counts, sums with their compensations, extremes) into `g`.
    void merge(std::uint32_t g, const GroupTable& other, std::uint32_t from) noexcept;

    const std::vector<Group>& groups() const noexcept { return _groups; }
    // The compensated sum, min and max of value column `v` of group `g`. A sum that left the
    // range of double is an infinity (or NaN after infinities of both signs).
    double sum(std::uint32_t g, std::size_t v) const noexcept;
    double min(std::uint32_t g, std::size_t v) const noexcept { return stat(g, v)[2]; }
    double max(std::uint32_t g, std::size_t v) const noexcept { return stat(g, v)[3]; }

  private:
    const double* stat(std::uint32_t g, std::size_t v) const noexcept {
        return _stats.data() + (std::size_t{g} * _values + v) * 4;
    }

    struct PairHash {
        std::size_t operator()(const std::pair<std::int64_t, std::uint32_t>& k) const noexcept {
            return std::hash<std::uint64_t>()(
                static_cast<std::uint64_t>(k.first) * 0x9E3779B97F4A7C15ULL ^ k.second);
        }
    };

    std::size_t _values;
    std::vector<Group> _groups;
    std::vector<double> _stats;
    std::unordered_map<std::pair<std::int64_t, std::uint32_t>, std::uint32_t, PairHash> _index;
    // The group each key went to last: rows sorted by time hit it almost always.
    std::vector<std::uint32_t> _lastOfKey;
};

#endif  // QELKIT_TOOLS_QELKIT_AGG_GROUPS_H
