#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <vector>

#include "qelkit/collections/qel_sorted_vector.h"
#include "qelkit/foundation/rw_defs.h"

namespace {

std::set<const RWCollectable*> live;  // every Item not yet deleted
std::size_t itemsMade = 0;

// Ordered by key; isEqual is by identity (the RWCollectable default) unless `byValue`.
struct Item : RWCollectable {
    explicit Item(int key, bool byValue = false) : key(key), byValue(byValue) {
        live.insert(this);
        ++itemsMade;
    }
    ~Item() override { live.erase(this); }
    int compareTo(const RWCollectable* c) const override {
        const int other = static_cast<const Item*>(c)->key;
        return key < other ? -1 : key > other ? 1 : 0;
    }
    RWBoolean isEqual(const RWCollectable* c) const override {
        return byValue ? compareTo(c) == 0 : c == this;
    }
    const int key;
    const bool byValue;
};

// Owns every item it makes: deletes, when it goes, those that no vector has deleted.
struct Pool {
    Item* make(int key, bool byValue = false) { return new Item(key, byValue); }
    ~Pool() {
        while (!live.empty()) delete *live.begin();
    }
};

int keySlots(const void* a, const void* b) {
    const int x = static_cast<const Item*>(*static_cast<RWCollectable* const*>(a))->key;
    const int y = static_cast<const Item*>(*static_cast<RWCollectable* const*>(b))->key;
    return x < y ? -1 : x > y ? 1 : 0;
}
int descendingSlots(const void* a, const void* b) { return keySlots(b, a); }

template <class V>
std::vector<Item*> itemsOf(const V& v) {
    std::vector<Item*> out;
    for (std::size_t i = 0; i < v.entries(); ++i)
        out.push_back(static_cast<Item*>(const_cast<RWCollectable*>(v(i))));
    return out;
}
std::vector<int> keys(const std::vector<Item*>& items) {
    std::vector<int> out;
    for (Item* item : items) out.push_back(item->key);
    return out;
}
RWOrdered listOf(const std::vector<Item*>& items) {
    RWOrdered list;
    for (Item* item : items) list.insert(item);
    return list;
}

struct Recorder : QelDuplicateNotifier {
    std::vector<Item*> seen;
    int notify(QelSortedVector*, RWCollectable* duplicate) override {
        seen.push_back(static_cast<Item*>(duplicate));
        return 0;
    }
};

// One operation on a QelSortedVector filled by append with `stored`. `arg` holds keys of new
// items, except for d, i and D, where it indexes `stored` (-1: a new item, not in the vector).
// For d, v and D the result is also the number of objects deleted.
TEST(SortedVector, SmallCasesGiveResultAndOrder) {
    struct Row {
        char op;
        std::vector<int> stored, arg;
        int result;
        std::vector<int> left;
    } rows[] = {
        {'u', {1, 2, 2, 3}, {2}, 0, {1, 2, 2, 3}},  // insertunique refuses an equal object
        {'u', {1, 3, 5}, {4}, 1, {1, 3, 4, 5}},
        {'r', {}, {5}, 0, {}},  // rank
        {'r', {1, 2, 2, 3}, {2}, 1, {1, 2, 2, 3}},
        {'r', {1, 2, 2, 3}, {4}, 4, {1, 2, 2, 3}},
        {'r', {1, 2, 2, 3}, {0}, 0, {1, 2, 2, 3}},
        {'q', {3, 1, 4, 2}, {}, 0, {1, 2, 3, 4}},  // sort(QelSVquickSort, descending): cmp ignored
        {'Q', {3, 1, 4, 2}, {}, 0, {1, 2, 3, 4}},  // sort(QelSVqsort, null): by compareTo
        {'n', {3, 1, 4, 2}, {}, 0, {3, 1, 4, 2}},  // sort(QelSVnone, keySlots): untouched
        {'D', {1, 1, 2, 3, 3, 3}, {1, 4, 5}, 3, {1, 2, 3}},  // removeDuplicates: arg notified
        {'D', {1, 2, 3}, {}, 0, {1, 2, 3}},
        {'d', {0, 1, 2, 3, 4, 5}, {-1, -1, 2, 5}, 2, {0, 1, 3, 4}},  // leading misses skipped
        {'d', {0, 1, 2, 3, 4, 5}, {3, 1, 4}, 1, {0, 1, 2, 4, 5}},    // out of order: pass ends at 1
        {'v', {0, 1, 2, 3, 4, 5}, {1, 2}, 2, {0, 3, 4, 5}},          // equal by isEqual: deleted
        {'i', {0, 1, 2, 3, 4, 5}, {3, 1, 4}, 3, {0, 2, 5}},  // 1 and 4 through remove afterwards
        {'c', {0, 1, 2, 3, 4, 5}, {-1, 2, 3}, 2, {0, 1, 4, 5}},  // equal keys, other objects
    };
    for (const Row& row : rows) {
        Pool pool;
        QelSortedVector v;
        std::vector<Item*> stored, arg;
        for (int k : row.stored) stored.push_back(static_cast<Item*>(v.append(pool.make(k))));
        for (int k : row.arg)
            arg.push_back(k >= 0 && std::strchr("diD", row.op) ? stored[k]
                                                               : pool.make(k, row.op == 'v'));
        RWOrdered list = listOf(arg);
        QelUniqueInsertable& unique = v;
        Recorder recorder;
        const std::size_t before = live.size();
        const int result =
            row.op == 'u'
                ? (unique.insertunique(arg[0]) == (row.result ? arg[0] : nullptr) ? row.result : -1)
            : row.op == 'r' ? static_cast<int>(v.rank(arg[0]))
            : row.op == 'q' ? (v.sort(QelSVquickSort, descendingSlots), 0)
            : row.op == 'Q' ? (v.sort(QelSVqsort, nullptr), 0)
            : row.op == 'n' ? (v.sort(QelSVnone, keySlots), 0)
            : row.op == 'D' ? v.removeDuplicates(&recorder)
            : row.op == 'i' ? v.identityBlockRemove(list)
            : row.op == 'c' ? v.comparedBlockRemove(list, keySlots)
                            : v.blockRemoveAndDestroy(list);
        EXPECT_EQ(result, row.result) << row.op;
        EXPECT_EQ(keys(itemsOf(v)), row.left) << row.op;
        EXPECT_EQ(before - live.size(), std::strchr("dvD", row.op) ? std::size_t(result) : 0u);
        EXPECT_TRUE(row.op != 'D' || recorder.seen == arg);  // in storage order; the ones deleted
    }
}

TEST(SortedVector, BlockInsertGrowsThroughThePolicy) {
    struct Row {
        std::size_t capacity;
        int step, count, items;  // step 0: a null policy, so the shared BasicIncrementer
        std::size_t capacityAfter;
    } rows[] = {
        {10, 0, 0, 11, 42},  // the shared policy grows 10 to 42
        {2, 3, 0, 6, 8},     // count 0: 2 -> 5 -> 8 through the policy
        {10, 3, 4, 4, 10},   // a count that fits reshapes nothing
        {4, 3, 6, 6, 6},     // reshaped once to exactly entries + count
        {4, 3, 5, 8, 69},    // more than announced: the surplus uses RWOrdered's +64
    };
    for (const Row& row : rows) {
        Pool pool;
        BasicIncrementer policy(row.step);
        QelSortedVector v(row.capacity, row.step ? &policy : nullptr);
        QelSortedIdentityVector w(row.capacity, row.step ? &policy : nullptr);
        std::vector<Item*> fresh;
        for (int i = row.items; i > 0; --i) fresh.push_back(pool.make(i));
        RWOrdered source = listOf(fresh);
        RWOrderedIterator it(source), itw(source);
        v.blockInsert(it, QelSVquickSort, row.count);
        w.blockInsert(itw, QelSVnone, row.count);
        EXPECT_TRUE(v.capacity() == row.capacityAfter && w.capacity() == row.capacityAfter)
            << row.capacity << "/" << row.count;
        EXPECT_EQ(itemsOf(v), std::vector<Item*>(fresh.rbegin(), fresh.rend()));
    }
}

TEST(SortedIdentityVector, RepeatedPointerStoredTwiceSideBySide) {
    Pool pool;
    QelSortedIdentityVector v(2);
    Item *a = pool.make(1), *twin = pool.make(1), *absent = pool.make(1);
    for (Item* p : {a, twin, a}) EXPECT_EQ(v.insert(p), p);
    EXPECT_EQ(v.insertunique(a), nullptr);
    const std::size_t at = v.index(a), firstCopy = v(0) == a ? 0 : 1;
    EXPECT_TRUE(v.entries() == 3 && v(at) == a && v(firstCopy + 1) == a);
    EXPECT_EQ(v.occurrencesOf(a), 2 - (at - firstCopy));  // counted from the position found on
    EXPECT_TRUE(!v.contains(absent) && v.occurrencesOf(absent) == 0 && !v.remove(absent));
    v.insertAt(0, pool.make(7));
    v.sort(QelSVquickSort, keySlots);  // type ignored, qsort with cmp
    EXPECT_EQ(keys(itemsOf(v)), (std::vector<int>{1, 1, 1, 7}));
}

// Both vectors against std::vector models, checked after every step, with every deletion by
// the vector accounted for through the live registry.
TEST(SortedVectors, RandomOperationsAgreeWithModels) {
    std::mt19937 rng(20240607);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const auto byKey = [](const Item* a, const Item* b) { return a->key < b->key; };
    const std::less<const Item*> byAddress;
    Pool pool;
    const std::size_t deletedBefore = itemsMade - live.size();
    std::size_t destroyed = 0;
    BasicIncrementer policy(3);
    QelSortedVector v(0, &policy);
    QelSortedIdentityVector w(1);
    std::vector<Item*> model, wModel, shared;  // wModel: by address, repeats allowed
    for (int i = 0; i < 40; ++i) shared.push_back(pool.make(i));
    for (int step = 0; step < 4000; ++step) {
        const int op = pick(9);
        SCOPED_TRACE(testing::Message() << "step " << step << " op " << op);
        Item* item = op < 5 ? pool.make(pick(40)) : shared[pick(40)];
        const auto lo = std::lower_bound(model.begin(), model.end(), item, byKey);
        const bool exists = lo != model.end() && (*lo)->key == item->key;
        if (op <= 1) {  // insert goes after its equals; insertunique refuses them
            const bool refused = op == 1 && exists;
            ASSERT_EQ(op ? v.insertunique(item) : v.insert(item), refused ? nullptr : item);
            if (!refused)
                model.insert(op ? lo : std::upper_bound(lo, model.end(), item, byKey), item);
        } else if (op == 2) {
            Recorder recorder;
            std::vector<Item*> dups, kept;
            for (std::size_t i = 0; i < model.size(); ++i)
                (i && model[i]->key == model[i - 1]->key ? dups : kept).push_back(model[i]);
            const bool notify = pick(2);
            ASSERT_EQ(v.removeDuplicates(notify ? &recorder : nullptr), int(dups.size()));
            ASSERT_TRUE(!notify || recorder.seen == dups);
            destroyed += dups.size();
            model = kept;
        } else if (op == 3) {  // an absent item, then a sample of the vector in its order
            const bool destroy = pick(2);
            std::vector<Item*> list{pool.make(-1)}, kept;
            for (Item* m : model) (pick(3) ? kept : list).push_back(m);
            RWOrdered rw = listOf(list);
            const int removed = destroy ? v.blockRemoveAndDestroy(rw) : v.identityBlockRemove(rw);
            ASSERT_EQ(removed, static_cast<int>(list.size()) - 1);
            destroyed += destroy ? removed : 0;
            model = kept;
        } else if (op == 4) {
            ASSERT_EQ(v.rank(item), std::size_t(lo - model.begin()));
            const std::size_t at = v.indexWith(item, keySlots);
            ASSERT_TRUE(exists ? at < model.size() && model[at]->key == item->key : at == RW_NPOS);
        } else {  // the identity vector, over the shared items
            const auto wLo = std::lower_bound(wModel.begin(), wModel.end(), item, byAddress);
            const auto wHi = std::upper_bound(wLo, wModel.end(), item, byAddress);
            const std::size_t at = w.index(item), count = wHi - wLo;
            ASSERT_TRUE(w.contains(item) == (count > 0) &&
                        w.find(item) == (count ? item : nullptr));
            ASSERT_TRUE(count ? wModel[at] == item &&
                                    w.occurrencesOf(item) == wHi - wModel.begin() - at
                              : at == RW_NPOS && w.occurrencesOf(item) == 0);
            if (op <= 6) {  // insert puts a repeat after its equals; insertunique refuses it
                const bool refused = op == 6 && count;
                ASSERT_EQ(op == 6 ? w.insertunique(item) : w.insert(item),
                          refused ? nullptr : item);
                if (!refused) wModel.insert(wHi, item);
            } else if (op == 7) {
                ASSERT_EQ(w.remove(item), count ? item : nullptr);
                if (count) wModel.erase(wLo);
            } else {
                std::vector<Item*> batch;
                for (int i = pick(4); i > 0; --i) batch.push_back(shared[pick(40)]);
                RWOrdered source = listOf(batch);
                RWOrderedIterator it(source);
                w.blockInsert(it, QelSVnone, pick(10));
                wModel.insert(wModel.end(), batch.begin(), batch.end());
                std::sort(wModel.begin(), wModel.end(), byAddress);
            }
        }
        ASSERT_EQ(itemsOf(v), model);
        ASSERT_EQ(itemsOf(w), wModel);
        for (Item* m : model) ASSERT_TRUE(live.count(m));
        ASSERT_EQ(itemsMade - live.size(), deletedBefore + destroyed);
    }
}

}  // namespace
