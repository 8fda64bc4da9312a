#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "qelkit/foundation/rw_collectable_int.h"
#include "qelkit/foundation/rw_errors.h"
#include "qelkit/foundation/rw_ordered.h"

namespace {

// Counts destructions, to check what the ...AndDestroy operations delete.
struct Counted : RWCollectable {
    explicit Counted(int* deaths) : deaths(deaths) {}
    ~Counted() override { ++*deaths; }
    int* deaths;
};

// Records the receiver of every isEqual call; equal only to itself.
struct Spy : RWCollectable {
    explicit Spy(std::vector<const Spy*>* log) : log(log) {}
    RWBoolean isEqual(const RWCollectable* c) const override {
        log->push_back(this);
        return c == this;
    }
    std::vector<const Spy*>* log;
};

// Refuses positional insertion, as sorted collections do.
struct Refusing : RWOrdered {
    using RWOrdered::RWOrdered;
    RWCollectable* insertAt(std::size_t, RWCollectable*) override { throw 42; }
};

std::vector<int> values(const RWOrdered& v) {
    std::vector<int> out;
    for (std::size_t i = 0; i < v.entries(); ++i)
        out.push_back(static_cast<const RWCollectableInt*>(v.at(i))->value());
    return out;
}

TEST(RWOrdered, PositionalInsertAndRemoveShiftLaterItems) {
    RWCollectableInt n[6] = {0, 1, 2, 3, 4, 5};
    RWOrdered v(4);
    for (int i : {1, 3}) EXPECT_EQ(v.append(&n[i]), &n[i]);
    EXPECT_EQ(v.insertAt(1, &n[2]), &n[2]);
    EXPECT_EQ(v.prepend(&n[0]), &n[0]);
    EXPECT_EQ(v.insertAt(4, &n[4]), &n[4]);  // at entries(): appends
    EXPECT_EQ(values(v), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(v.insertAfter(-1, &n[5]), &n[5]);
    EXPECT_EQ(v.insertAfter(5, &n[5]), &n[5]);
    EXPECT_EQ(values(v), (std::vector<int>{5, 0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(v.removeAt(2), &n[1]);
    EXPECT_EQ(v.removeFirst(), &n[5]);
    EXPECT_EQ(v.removeLast(), &n[5]);
    EXPECT_EQ(values(v), (std::vector<int>{0, 2, 3, 4}));
    EXPECT_TRUE(v.first() == &n[0] && v.last() == &n[4]);
    EXPECT_THROW(v.insertAt(5, &n[0]), RWBoundsErr);
    EXPECT_THROW(v.insertAfter(-2, &n[0]), RWBoundsErr);
    EXPECT_THROW(v.removeAt(4), RWBoundsErr);
    v.clear();
    EXPECT_TRUE(!v.first() && !v.last() && !v.removeFirst() && !v.removeLast() && v.isEmpty());
}

TEST(RWOrdered, CheckedAccessThrowsBoundsErr) {
    RWCollectableInt one(1);
    RWOrdered v;
    v.insert(&one);
    v(0) = nullptr;  // the unchecked slot is writable
    const RWOrdered& cv = v;
    EXPECT_TRUE(v[0] == nullptr && cv.at(0) == nullptr);
    EXPECT_THROW(v[1], RWBoundsErr);
    EXPECT_THROW(v.at(1), RWBoundsErr);
    EXPECT_THROW(cv.at(7), RWBoundsErr);
    EXPECT_THROW(v.boundsCheck(1), RWBoundsErr);
}

TEST(RWOrdered, CapacityIsExactAndFullVectorGrowsBy64) {
    RWCollectableInt x;
    for (std::size_t cap : {0u, 1u, 10u, 64u}) {
        RWOrdered v(cap);
        EXPECT_EQ(v.capacity(), cap);
        for (std::size_t i = 0; i < cap; ++i) v.insert(&x);
        EXPECT_EQ(v.capacity(), cap);
        v.insert(&x);
        EXPECT_EQ(v.capacity(), cap + 64);
        v.clear();
        EXPECT_EQ(v.capacity(), cap + 64);
    }
    RWOrdered v(10);
    for (int i = 0; i < 5; ++i) v.insert(&x);
    v.reshape(8);
    EXPECT_EQ(v.capacity(), 8u);
    EXPECT_THROW(v.reshape(4), RWBoundsErr);
    EXPECT_EQ(v.entries(), 5u);
}

TEST(RWOrdered, QualifiedPlacementNeverDispatchesToInsertAt) {
    RWCollectableInt n[4] = {0, 1, 2, 3};
    Refusing v(1);
    v.RWOrdered::insert(&n[1]);
    v.RWOrdered::append(&n[2]);  // grows from 1 to 65 on its own
    v.RWOrdered::prepend(&n[0]);
    v.RWOrdered::insertAt(3, &n[3]);
    EXPECT_EQ(values(v), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(v.capacity(), 65u);
    EXPECT_THROW(v.insertAfter(0, &n[0]), int);  // insertAfter does dispatch
}

TEST(RWOrdered, SearchesCallIsEqualOnStoredItemsOnly) {
    std::vector<const Spy*> log;
    Spy a(&log), b(&log), c(&log);
    RWOrdered v;
    for (Spy* s : {&a, &b, &c, &b}) v.insert(s);
    EXPECT_EQ(v.find(&b), &b);
    EXPECT_EQ(log, (std::vector<const Spy*>{&a, &b}));
    log.clear();
    // A target that points at nothing is never looked at.
    const auto* gone = reinterpret_cast<const RWCollectable*>(std::uintptr_t{16});
    EXPECT_TRUE(v.find(gone) == nullptr && v.index(gone) == RW_NPOS && !v.contains(gone));
    EXPECT_EQ(log.size(), 12u);
    EXPECT_EQ(v.index(&c), 2u);
    EXPECT_EQ(v.occurrencesOf(&b), 2u);
    EXPECT_EQ(v.remove(&b), &b);
    EXPECT_EQ(v.index(&b), 2u);
    EXPECT_EQ(v.remove(gone), nullptr);
}

TEST(RWOrdered, ClearAndDestroyDeletesEachDistinctItemOnce) {
    int deaths = 0;
    RWOrdered v;
    RWCollectable* twice = new Counted(&deaths);
    RWCollectable* once = new Counted(&deaths);
    for (RWCollectable* p : {twice, once, static_cast<RWCollectable*>(nullptr), twice}) v.insert(p);
    auto* third = new Counted(&deaths);
    v.insert(third);
    v.removeAndDestroy(third);
    EXPECT_TRUE(deaths == 1 && v.entries() == 4);
    v.removeAndDestroy(third);  // no longer present: nothing deleted
    v.RWCollection::clearAndDestroy();
    EXPECT_EQ(deaths, 3);
    EXPECT_TRUE(v.isEmpty());
}

TEST(RWOrdered, CopiesShareItemsAndCompareByIsEqual) {
    RWCollectableInt a(1), b(2), alsoB(2);
    RWOrdered v(3);
    v.insert(&a);
    v.insert(&b);
    RWOrdered copy(v), assigned(0);
    assigned = v;
    EXPECT_TRUE(copy == v && assigned == v && copy.capacity() == 3 && copy(1) == &b);
    assigned(1) = &alsoB;
    EXPECT_TRUE(assigned == v);
    assigned.removeLast();
    EXPECT_FALSE(assigned == v);
    std::unique_ptr<RWCollectable> c(v.copy());
    EXPECT_TRUE(c->isA() == rwOrderedId && static_cast<RWOrdered&>(*c) == v);
}

TEST(RWOrderedIterator, WalksInOrderAndEndsWithNullForever) {
    std::vector<const Spy*> log;
    Spy a(&log), b(&log), c(&log);
    RWOrdered v;
    for (Spy* s : {&a, &b, &c}) v.insert(s);
    std::unique_ptr<RWIterator> it(v.newIterator());
    EXPECT_TRUE((*it)() == &a && it->key() == &a && (*it)() == &b);
    EXPECT_TRUE((*it)() == &c && (*it)() == nullptr && it->key() == nullptr);
    v.insert(&a);
    EXPECT_EQ((*it)(), nullptr);
    it->reset();
    EXPECT_TRUE(it->findNext(&c) == &c && it->findNext(&c) == nullptr);
    v(1) = nullptr;  // a stored null ends the walk
    RWOrderedIterator walk(v);
    EXPECT_TRUE(walk() == &a && walk() == nullptr);
}

}  // namespace
