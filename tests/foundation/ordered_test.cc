// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
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

std::string values(const RWOrdered& v) {
    std::string s;
    for (std::size_t i = 0; i < v.entries(); ++i)
        s += char('0' + static_cast<const RWCollectableInt*>(v.at(i))->value());
    return s;
}

TEST(RWOrdered, PositionalInsertAndRemoveShiftLaterItems) {
    RWCollectableInt n[6] = {0, 1, 2, 3, 4, 5};
    RWOrdered v(4);
    for (int i : {1, 3}) EXPECT_EQ(v.append(&n[i]), &n[i]);
    EXPECT_EQ(v.insertAt(1, &n[2]), &n[2]);
    EXPECT_EQ(v.prepend(&n[0]), &n[0]);
    EXPECT_EQ(v.insertAt(4, &n[4]), &n[4]);  // at entries(): appends
    EXPECT_EQ(v.insertAfter(-1, &n[5]), &n[5]);
    EXPECT_EQ(v.insertAfter(5, &n[5]), &n[5]);
    EXPECT_EQ(values(v), "5012345");
    EXPECT_EQ(v.removeAt(2), &n[1]);
    EXPECT_TRUE(v.removeFirst() == &n[5] && v.removeLast() == &n[5]);
    EXPECT_EQ(values(v), "0234");
    EXPECT_TRUE(v.first() == &n[0] && v.last() == &n[4]);
    v.clear();
    EXPECT_TRUE(!v.first() && !v.last() && !v.removeFirst() && !v.removeLast() && v.isEmpty());
}

TEST(RWOrdered, BadIndexThrowsBoundsErrNamingIt) {
    using Op = void (*)(RWOrdered&);
    const struct {
        Op op;
        const char* text;
    } cases[] = {
        {[](RWOrdered& v) { v.insertAt(3, nullptr); },
         "RWOrdered::insertAt: index 3 out of range [0, 3)"},
        {[](RWOrdered& v) { v.insertAfter(-2, nullptr); }, "index 18446744073709551615 out of"},
        {[](RWOrdered& v) { v.removeAt(2); }, "RWOrdered::removeAt: index 2 out of range [0, 2)"},
        {[](RWOrdered& v) { v[2]; }, "RWOrdered::operator[]: index 2 out of range [0, 2)"},
        {[](RWOrdered& v) { v.at(2); }, "RWOrdered::at: index 2 out of range [0, 2)"},
        {[](RWOrdered& v) { static_cast<const RWOrdered&>(v).at(7); }, "index 7 out of range"},
        {[](RWOrdered& v) { v.boundsCheck(2); }, "RWOrdered::boundsCheck: index 2 out of range"},
        {[](RWOrdered& v) { v.reshape(1); }, "capacity 1 below the 2 entries"},
    };
    RWCollectableInt one(1), two(2);
    RWOrdered v(2);
    v.insert(&one);
    v.insert(&two);
    for (const auto& c : cases) {
        try {
            c.op(v);
            ADD_FAILURE() << "no throw: " << c.text;
        } catch (const RWBoundsErr& e) {
            EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << e.what();
        }
        EXPECT_TRUE(values(v) == "12" && v.capacity() == 2);
    }
}

TEST(RWOrdered, CapacityIsExactAndFullVectorGrowsBy64) {
    RWCollectableInt x;
    for (std::size_t cap : {0u, 10u}) {
        RWOrdered v(cap);
        for (std::size_t i = 0; i <= cap; ++i) v.insert(&x);
        v.clear();
        EXPECT_EQ(v.capacity(), cap + 64);
    }
    RWOrdered v(10);
    for (int i = 0; i < 5; ++i) v.insert(&x);
    v.reshape(8);
    EXPECT_TRUE(v.capacity() == 8 && v.entries() == 5);
}

TEST(RWOrdered, QualifiedPlacementNeverDispatchesToInsertAt) {
    RWCollectableInt n[4] = {0, 1, 2, 3};
    Refusing v(1);
    v.RWOrdered::insert(&n[1]);
    v.RWOrdered::append(&n[2]);  // grows from 1 to 65 on its own
    v.RWOrdered::prepend(&n[0]);
    v.RWOrdered::insertAt(3, &n[3]);
    EXPECT_TRUE(values(v) == "0123" && v.capacity() == 65);
    EXPECT_THROW(v.insertAfter(0, &n[0]), int);  // insertAfter does dispatch
}

TEST(RWOrdered, SearchesCallIsEqualOnStoredItemsOnly) {
    std::vector<const Spy*> log;
    Spy a(&log), b(&log), c(&log);
    RWOrdered v;
    for (Spy* s : {&a, &b, &c, &b}) v.insert(s);
    EXPECT_EQ(v.find(&b), &b);
    EXPECT_EQ(log, (std::vector<const Spy*>{&a, &b}));
    // A target that points at nothing is never looked at.
    const auto* gone = reinterpret_cast<const RWCollectable*>(std::uintptr_t{16});
    EXPECT_TRUE(v.index(gone) == RW_NPOS && !v.contains(gone) && v.remove(gone) == nullptr);
    EXPECT_TRUE(v.index(&c) == 2 && v.occurrencesOf(&b) == 2);
    EXPECT_EQ(v.remove(&b), &b);
    EXPECT_EQ(v.index(&b), 2u);
}

TEST(RWOrdered, EqualWhenTheItemsAreEqualInOrder) {
    RWCollectableInt one(1), alsoOne(1), two(2);
    const auto make = [](std::vector<RWCollectable*> items) {
        auto v = std::make_unique<RWOrdered>();
        for (RWCollectable* p : items) v->insert(p);
        return v;
    };
    const auto a = make({&one, &two, nullptr});
    EXPECT_TRUE(*a == *make({&alsoOne, &two, nullptr}));
    EXPECT_FALSE(*a == *make({&two, &one, nullptr}));
    EXPECT_FALSE(*a == *make({&one, &two}));
    EXPECT_FALSE(*make({nullptr}) == *make({&one}));
    EXPECT_FALSE(*make({&one}) == *make({nullptr}));
}

TEST(RWOrderedIterator, WalksInOrderAndEndsWithNullForever) {
    RWCollectableInt a(1), b(2), c(3);
    RWOrdered v;
    for (RWCollectableInt* p : {&a, &b, &c}) v.insert(p);
    std::unique_ptr<RWIterator> it(v.newIterator());
    EXPECT_TRUE((*it)() == &a && it->key() == &a && (*it)() == &b && (*it)() == &c);
    EXPECT_TRUE((*it)() == nullptr && it->key() == nullptr && (*it)() == nullptr);
    it->reset();
    EXPECT_TRUE(it->findNext(&c) == &c && it->findNext(&c) == nullptr);
    v(1) = nullptr;  // a stored null ends the walk
    RWOrderedIterator walk(v);
    EXPECT_TRUE(walk() == &a && walk() == nullptr);
}

}  // namespace
