#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "qelkit/collections/qel_sorted_vector.h"
#include "qelkit/foundation/rw_defs.h"

namespace {

// A keyed item ordered by key. isEqual is by identity (the RWCollectable default) unless
// `byValue`. Every live item is registered, so tests see exactly which ones were deleted.
class Item : public RWCollectable {
  public:
    explicit Item(int key, bool byValue = false) : key(key), byValue(byValue) {
        live().insert(this);
    }
    ~Item() override { live().erase(this); }
    int compareTo(const RWCollectable* c) const override {
        const int other = static_cast<const Item*>(c)->key;
        return key < other ? -1 : key > other ? 1 : 0;
    }
    RWBoolean isEqual(const RWCollectable* c) const override {
        return byValue ? compareTo(c) == 0 : c == this;
    }
    static std::set<const RWCollectable*>& live() {
        static std::set<const RWCollectable*> items;
        return items;
    }
    const int key;
    const bool byValue;
};

int keyOf(const RWCollectable* c) { return static_cast<const Item*>(c)->key; }
int keySlots(const void* a, const void* b) {
    const int x = keyOf(*static_cast<RWCollectable* const*>(a));
    const int y = keyOf(*static_cast<RWCollectable* const*>(b));
    return x < y ? -1 : x > y ? 1 : 0;
}
int descendingSlots(const void* a, const void* b) { return keySlots(b, a); }

// Owns test items; those a vector deletes must be released first.
struct Pool {
    std::vector<std::unique_ptr<Item>> items;
    Item* make(int key, bool byValue = false) {
        items.push_back(std::make_unique<Item>(key, byValue));
        return items.back().get();
    }
    void release(const std::set<const RWCollectable*>& gone) {
        for (auto& p : items)
            if (gone.count(p.get())) (void)p.release();
    }
};

template <class V>
std::vector<int> keys(const V& v) {
    std::vector<int> out;
    for (std::size_t i = 0; i < v.entries(); ++i) out.push_back(keyOf(v(i)));
    return out;
}

RWOrdered listOf(const std::vector<RWCollectable*>& items) {
    RWOrdered list;
    for (RWCollectable* item : items) list.insert(item);
    return list;
}

struct Recorder : QelDuplicateNotifier {
    std::vector<RWCollectable*> seen;
    int notify(QelSortedVector*, RWCollectable* duplicate) override {
        seen.push_back(duplicate);
        return 0;
    }
};

TEST(SortedVector, InsertuniqueRefusesEqualAndRankCountsSmaller) {
    struct Row {
        std::vector<int> stored;
        int key;
        bool inserted;
        std::size_t rank;
    };
    const Row rows[] = {
        {{}, 5, true, 0},           {{1, 2, 2, 3}, 2, false, 1},    {{1, 2, 2, 3}, 4, true, 4},
        {{1, 2, 2, 3}, 0, true, 0}, {{2, 2, 2, 2, 2}, 2, false, 0}, {{1, 3, 5}, 4, true, 2},
    };
    for (const Row& row : rows) {
        Pool pool;
        QelSortedVector v;
        for (int k : row.stored) v.insert(pool.make(k));
        Item* item = pool.make(row.key);
        EXPECT_EQ(v.rank(item), row.rank) << row.key;
        QelUniqueInsertable& unique = v;
        EXPECT_EQ(unique.insertunique(item), row.inserted ? item : nullptr) << row.key;
        std::vector<int> expected = row.stored;
        if (row.inserted) expected.push_back(row.key);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(keys(v), expected);
        EXPECT_EQ(unique.entries(), expected.size());
    }
}

TEST(SortedVector, IndexWithFindsByComparisonOrMissesWithNpos) {
    Pool pool;
    QelSortedVector v;
    for (int k : {1, 3, 5, 7}) v.insert(pool.make(k));
    EXPECT_EQ(v.indexWith(pool.make(5), keySlots), 2u);
    EXPECT_EQ(v.indexWith(pool.make(4), keySlots), RW_NPOS);
    EXPECT_EQ(QelSortedVector().indexWith(pool.make(1), keySlots), RW_NPOS);
}

TEST(SortedVector, GrowthFollowsThePolicy) {
    struct Row {
        std::size_t capacity;
        int step;  // 0: the shared policy
        int count, items;
        std::size_t capacityAfter;
    };
    const Row rows[] = {
        {10, 0, 0, 11, 42},  // a null policy is BasicIncrementer::global()
        {2, 3, 0, 6, 8},     // count 0: 2 -> 5 -> 8 through the policy
        {10, 3, 4, 4, 10},   // a count that fits reshapes nothing
        {4, 3, 6, 6, 6},     // reshaped once to exactly entries + count
        {4, 3, 5, 8, 69},    // more than announced: the surplus uses RWOrdered's +64
        {0, 0, 0, 1, 32},
    };
    for (const Row& row : rows) {
        Pool pool;
        BasicIncrementer policy(row.step);
        QelSortedVector v(row.capacity, row.step ? &policy : nullptr);
        QelSortedIdentityVector w(row.capacity, row.step ? &policy : nullptr);
        std::vector<RWCollectable*> fresh;
        for (int i = 0; i < row.items; ++i) fresh.push_back(pool.make(row.items - i));
        RWOrdered source = listOf(fresh);
        RWOrderedIterator it(source), itw(source);
        v.blockInsert(it, QelSVquickSort, row.count);
        w.blockInsert(itw, QelSVnone, row.count);
        EXPECT_EQ(v.capacity(), row.capacityAfter) << row.capacity << "/" << row.count;
        EXPECT_EQ(w.capacity(), row.capacityAfter) << row.capacity << "/" << row.count;
        const std::vector<int> got = keys(v);
        EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
    }
    Pool pool;
    MultiplyingIncrementer doubling(2.0f, 100, 1);
    QelSortedVector v(2);
    v.incrementer(&doubling);
    for (int k = 0; k < 3; ++k) v.insert(pool.make(k));
    EXPECT_EQ(v.capacity(), 6u);
}

TEST(SortedVector, SortHonoursTypeAndComparison) {
    struct Row {
        QelSVsortType type;
        int (*cmp)(const void*, const void*);
        std::vector<int> expected;
    };
    const Row rows[] = {
        {QelSVquickSort, descendingSlots, {1, 2, 3, 4}},  // cmp ignored
        {QelSVqsort, nullptr, {1, 2, 3, 4}},
        {QelSVqsort, descendingSlots, {4, 3, 2, 1}},
        {QelSVnone, nullptr, {3, 1, 4, 2}},
        {static_cast<QelSVsortType>(7), keySlots, {3, 1, 4, 2}},
    };
    for (const Row& row : rows) {
        Pool pool;
        QelSortedVector v;
        v.append(pool.make(1));
        v.insertAt(0, pool.make(3));  // positional inserts do not keep the order
        v.append(pool.make(4));
        v.append(pool.make(2));
        v.sort(row.type, row.cmp);
        EXPECT_EQ(keys(v), row.expected) << row.type;
    }
}

TEST(SortedVector, RemoveDuplicatesNotifiesAndDeletesLaterEquals) {
    for (bool byValue : {false, true}) {
        Pool pool;
        QelSortedVector v;
        std::vector<RWCollectable*> all;
        for (int k : {1, 1, 2, 3, 3, 3}) all.push_back(v.insert(pool.make(k, byValue)));
        Recorder recorder;
        EXPECT_EQ(v.removeDuplicates(&recorder), 3);
        EXPECT_EQ(recorder.seen, (std::vector<RWCollectable*>{all[1], all[4], all[5]}));
        EXPECT_EQ(keys(v), (std::vector<int>{1, 2, 3}));
        std::set<const RWCollectable*> gone;
        for (RWCollectable* item : all)
            if (!Item::live().count(item)) gone.insert(item);
        EXPECT_EQ(gone.size(), 3u);
        if (!byValue) {
            EXPECT_EQ(gone, (std::set<const RWCollectable*>{all[1], all[4], all[5]}));
        }
        pool.release(gone);
        Recorder none;
        EXPECT_EQ(v.removeDuplicates(&none), 0);
        EXPECT_EQ(v.removeDuplicates(nullptr), 0);
        EXPECT_TRUE(none.seen.empty());
    }
}

TEST(SortedVector, BlockRemovalsMatchInOnePass) {
    // Stored keys 0..9; the list is given by keys, -1 meaning an item not in the vector.
    struct Row {
        const char* op;
        std::vector<int> list;
        int removed;
        std::vector<int> left;
    };
    const Row rows[] = {
        {"destroy", {-1, -1, 2, 5, 9}, 3, {0, 1, 3, 4, 6, 7, 8}},  // leading misses skipped
        {"destroy", {-1, -1}, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"destroy", {3, 1, 4}, 1, {0, 1, 2, 4, 5, 6, 7, 8, 9}},   // out of order: pass stops
        {"destroy", {2, -1, 4}, 1, {0, 1, 3, 4, 5, 6, 7, 8, 9}},  // a miss mid-list stops it
        {"identity", {3, 1, 8, 4}, 4, {0, 2, 5, 6, 7, 9}},        // late ones through remove
        {"identity", {-1, 0, 9}, 2, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"identity", {}, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"compared", {-1, 4, 5, 6}, 3, {0, 1, 2, 3, 7, 8, 9}},  // equal keys, other objects
        {"compared", {7, 2}, 1, {0, 1, 2, 3, 4, 5, 6, 8, 9}},
    };
    for (const Row& row : rows) {
        Pool pool;
        QelSortedVector v;
        std::vector<Item*> stored;
        for (int k = 0; k < 10; ++k) stored.push_back(static_cast<Item*>(v.insert(pool.make(k))));
        std::vector<RWCollectable*> items;
        const bool compared = std::string(row.op) == "compared";
        for (int k : row.list)
            items.push_back(k < 0 ? pool.make(100 + k) : compared ? pool.make(k) : stored[k]);
        RWOrdered list = listOf(items);
        std::set<const RWCollectable*> before = Item::live();
        const int removed = compared ? v.comparedBlockRemove(list, keySlots)
                            : std::string(row.op) == "identity" ? v.identityBlockRemove(list)
                                                                : v.blockRemoveAndDestroy(list);
        EXPECT_EQ(removed, row.removed) << row.op;
        EXPECT_EQ(keys(v), row.left) << row.op;
        const std::size_t deleted = before.size() - Item::live().size();
        EXPECT_EQ(deleted, std::string(row.op) == "destroy" ? std::size_t(removed) : 0u);
        std::set<const RWCollectable*> gone;
        for (Item* item : stored)
            if (!Item::live().count(item)) gone.insert(item);
        pool.release(gone);
    }
}

TEST(SortedIdentityVector, OrdersByAddressAndKeepsRepeatedPointersTogether) {
    Pool pool;
    QelSortedIdentityVector v(2);
    Item* a = pool.make(1);
    Item* twin = pool.make(1);  // equal key, other object
    EXPECT_EQ(v.insert(a), a);
    EXPECT_EQ(v.insert(twin), twin);
    EXPECT_EQ(v.insert(a), a);
    EXPECT_EQ(v.insertunique(a), nullptr);
    EXPECT_EQ(v.entries(), 3u);
    const std::size_t at = v.index(a);
    ASSERT_NE(at, RW_NPOS);
    EXPECT_EQ(v(at), a);
    const std::size_t firstCopy = v(0) == a ? 0 : 1;  // the two copies are neighbours
    EXPECT_EQ(v(firstCopy + 1), a);
    EXPECT_EQ(v.occurrencesOf(a), 2 - (at - firstCopy));  // counted from the position found on
    EXPECT_EQ(v.find(twin), twin);
    Item* absent = pool.make(1);
    EXPECT_FALSE(v.contains(absent));
    EXPECT_EQ(v.occurrencesOf(absent), 0u);
    EXPECT_EQ(v.remove(absent), nullptr);
    EXPECT_EQ(v.remove(a), a);
    EXPECT_EQ(v.occurrencesOf(a), 1u);
    v.insertAt(0, pool.make(7));
    v.sort(QelSVquickSort, keySlots);  // type ignored, qsort with cmp
    EXPECT_EQ(keys(v), (std::vector<int>{1, 1, 7}));
    v.sort(QelSVnone);  // by address whatever the type
    std::vector<const RWCollectable*> order;
    for (std::size_t i = 0; i < v.entries(); ++i) order.push_back(v(i));
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end(), std::less<const RWCollectable*>()));
}

// ---- Differential runs against plain std::vector models ----

// Greedy one-pass reference over `model` from `start`: each list item in turn is matched to
// the next element at or after the cursor; the first list item with no match ends the pass.
// Returns the positions matched and the index of the first unmatched list item.
std::pair<std::vector<std::size_t>, std::size_t> greedy(
    const std::vector<Item*>& model, std::size_t start, const std::vector<Item*>& list,
    std::size_t from, const std::function<bool(Item*, Item*)>& match) {
    std::vector<std::size_t> hits;
    std::size_t cursor = start, l = from;
    for (; l < list.size(); ++l) {
        while (cursor < model.size() && !match(model[cursor], list[l])) ++cursor;
        if (cursor == model.size()) break;
        hits.push_back(cursor++);
    }
    return {hits, l};
}

TEST(SortedVector, RandomOperationsAgreeWithModel) {
    std::mt19937 rng(20240607);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::set<Item*> owned;  // live items the test must delete: those not in the vector
    auto make = [&](int key) {
        Item* item = new Item(key);
        owned.insert(item);
        return item;
    };
    auto dispose = [&](Item* item) {
        owned.erase(item);
        delete item;
    };
    auto byKey = [](const Item* a, const Item* b) { return a->key < b->key; };
    BasicIncrementer policy(3);
    QelSortedVector v(0, &policy);
    std::vector<Item*> model;
    for (int step = 0; step < 6000; ++step) {
        const int op = pick(9);
        SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op));
        if (op <= 1) {
            Item* item = make(pick(60));
            owned.erase(item);
            const auto exists = std::binary_search(model.begin(), model.end(), item, byKey);
            if (op == 0) {
                v.insert(item);
                model.insert(std::upper_bound(model.begin(), model.end(), item, byKey), item);
            } else if (exists) {
                ASSERT_EQ(v.insertunique(item), nullptr);
                owned.insert(item);
            } else {
                ASSERT_EQ(v.insertunique(item), item);
                model.insert(std::lower_bound(model.begin(), model.end(), item, byKey), item);
            }
        } else if (op == 2) {
            std::vector<RWCollectable*> fresh;
            for (int i = pick(40); i > 0; --i) fresh.push_back(make(pick(60)));
            RWOrdered source = listOf(fresh);
            RWOrderedIterator it(source);
            const int counts[] = {0, int(fresh.size()), int(fresh.size()) / 2, 1000};
            v.blockInsert(it, pick(2) ? QelSVqsort : QelSVquickSort, counts[pick(4)]);
            std::vector<Item*> got;
            for (std::size_t i = 0; i < v.entries(); ++i)
                got.push_back(static_cast<Item*>(const_cast<RWCollectable*>(v(i))));
            ASSERT_TRUE(std::is_sorted(got.begin(), got.end(), byKey));
            for (RWCollectable* f : fresh) {
                model.push_back(static_cast<Item*>(f));
                owned.erase(static_cast<Item*>(f));
            }
            ASSERT_TRUE(std::is_permutation(got.begin(), got.end(), model.begin(), model.end()));
            model = got;  // the sort is not stable: adopt its order among equal keys
        } else if (op == 3) {
            Recorder recorder;
            const bool notify = pick(2);
            std::vector<RWCollectable*> dups;
            std::vector<Item*> kept;
            for (std::size_t i = 0; i < model.size(); ++i)
                (i && model[i]->key == model[i - 1]->key ? (void)dups.push_back(model[i])
                                                         : kept.push_back(model[i]));
            ASSERT_EQ(v.removeDuplicates(notify ? &recorder : nullptr), int(dups.size()));
            if (notify) {
                ASSERT_EQ(recorder.seen, dups);
            }
            model = kept;
        } else if (op <= 6) {
            // A list of a few absent items, then a subsequence of the vector, sometimes shuffled
            // or with a stray absent item inside.
            std::vector<Item*> list;
            for (int i = pick(3); i > 0; --i) list.push_back(make(pick(70)));
            const std::size_t absentLead = list.size();
            for (Item* m : model)
                if (pick(4) == 0) list.push_back(op == 6 ? make(m->key) : m);
            if (pick(5) == 0) std::shuffle(list.begin() + absentLead, list.end(), rng);
            if (pick(5) == 0) list.insert(list.begin() + pick(int(list.size()) + 1), make(-1));
            std::size_t first = 0, start = model.size();
            for (; first < list.size(); ++first) {
                if (op == 6) {
                    std::size_t idx = 0;
                    if (rwBSearch(&list[first], model.data(), model.size(), sizeof(Item*), keySlots,
                                  idx)) {
                        start = idx;
                        break;
                    }
                } else if (std::binary_search(model.begin(), model.end(), list[first], byKey)) {
                    start = std::lower_bound(model.begin(), model.end(), list[first], byKey) -
                            model.begin();
                    break;
                }
            }
            std::function<bool(Item*, Item*)> match = [](Item* s, Item* l) { return s == l; };
            if (op == 6) match = [](Item* s, Item* l) { return s->key == l->key; };
            auto [hits, unmatched] = greedy(model, start, list, first, match);
            std::vector<Item*> removedItems;
            for (auto h = hits.rbegin(); h != hits.rend(); ++h) {
                removedItems.push_back(model[*h]);
                model.erase(model.begin() + *h);
            }
            int expected = int(hits.size());
            if (op == 5 && first < list.size()) {
                for (std::size_t l = unmatched; l < list.size(); ++l) {
                    auto at = std::lower_bound(model.begin(), model.end(), list[l], byKey);
                    if (at == model.end() || (*at)->key != list[l]->key) continue;
                    removedItems.push_back(*at);
                    model.erase(at);
                    ++expected;
                }
            }
            RWOrdered rwList = listOf(std::vector<RWCollectable*>(list.begin(), list.end()));
            const int got = op == 4   ? v.blockRemoveAndDestroy(rwList)
                            : op == 5 ? v.identityBlockRemove(rwList)
                                      : v.comparedBlockRemove(rwList, keySlots);
            ASSERT_EQ(got, expected);
            if (op != 4) owned.insert(removedItems.begin(), removedItems.end());
            for (Item* l : list)
                if (owned.count(l)) dispose(l);
            for (Item* r : removedItems)
                if (owned.count(r)) dispose(r);
        } else {
            Item* probe = make(pick(70));
            const auto below = std::lower_bound(model.begin(), model.end(), probe, byKey);
            ASSERT_EQ(v.rank(probe), std::size_t(below - model.begin()));
            const std::size_t at = v.indexWith(probe, keySlots);
            if (below != model.end() && (*below)->key == probe->key)
                ASSERT_TRUE(at < model.size() && model[at]->key == probe->key);
            else
                ASSERT_EQ(at, RW_NPOS);
            dispose(probe);
        }
        ASSERT_EQ(v.entries(), model.size());
        for (std::size_t i = 0; i < model.size(); ++i) ASSERT_EQ(v(i), model[i]) << i;
        // Exactly the items of the vector and those held by the test are alive.
        std::set<const RWCollectable*> expectLive(model.begin(), model.end());
        expectLive.insert(owned.begin(), owned.end());
        ASSERT_EQ(Item::live(), expectLive);
    }
    v.clearAndDestroy();
    for (Item* item : std::set<Item*>(owned)) dispose(item);
    EXPECT_TRUE(Item::live().empty());
}

TEST(SortedIdentityVector, RandomOperationsAgreeWithModel) {
    std::mt19937 rng(99);
    Pool pool;
    std::vector<Item*> items;
    for (int i = 0; i < 200; ++i) items.push_back(pool.make(i));
    QelSortedIdentityVector v(1);
    std::vector<Item*> model;  // sorted by address, repeats allowed
    const std::less<const RWCollectable*> below;
    for (int step = 0; step < 6000; ++step) {
        Item* item = items[rng() % items.size()];
        const auto lo = std::lower_bound(model.begin(), model.end(), item, below);
        const auto hi = std::upper_bound(model.begin(), model.end(), item, below);
        const bool present = lo != hi;
        switch (rng() % 5) {
            case 0:
                ASSERT_EQ(v.insert(item), item);
                model.insert(hi, item);
                break;
            case 1:
                ASSERT_EQ(v.insertunique(item), present ? nullptr : item);
                if (!present) model.insert(lo, item);
                break;
            case 2:
                ASSERT_EQ(v.remove(item), present ? item : nullptr);
                if (present) model.erase(lo);
                break;
            case 3: {
                const std::size_t at = v.index(item);
                ASSERT_EQ(v.contains(item), present);
                ASSERT_EQ(v.find(item), present ? item : nullptr);
                if (!present) {
                    ASSERT_EQ(at, RW_NPOS);
                    ASSERT_EQ(v.occurrencesOf(item), 0u);
                    break;
                }
                ASSERT_EQ(model[at], item);
                ASSERT_EQ(v.occurrencesOf(item), std::size_t(hi - model.begin()) - at);
                break;
            }
            default: {
                std::vector<Item*> batch;
                for (int i = int(rng() % 4); i > 0; --i) batch.push_back(items[rng() % 200]);
                RWOrdered source = listOf({batch.begin(), batch.end()});
                RWOrderedIterator it(source);
                v.blockInsert(it, QelSVnone, int(rng() % 10));
                model.insert(model.end(), batch.begin(), batch.end());
                std::sort(model.begin(), model.end(), below);
            }
        }
        ASSERT_EQ(v.entries(), model.size());
        for (std::size_t i = 0; i < model.size(); ++i) ASSERT_EQ(v(i), model[i]);
    }
}

}  // namespace
