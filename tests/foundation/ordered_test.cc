// SPDX-License-Identifier: Apache-2.0
// Contents, find, index, remove and occurrencesOf against a model, for RWOrdered and
// RWSortedVector, and RWOrdered's placement by position, bounds, growth and reshape, are the
// collection models fuzz target's; here which side of isEqual is called, equality, iteration,
// placement kept in the base class, and a sorted vector's refusal of positional insertion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "qelkit/foundation/rw_collectable_int.h"
#include "qelkit/foundation/rw_errors.h"
#include "qelkit/foundation/rw_ordered.h"
#include "qelkit/foundation/rw_sorted_vector.h"

namespace {

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

// Qualified placement never dispatches to a derived insertAt, as the sorted vectors need. A bad
// index names the operation and the range.
TEST(RWOrdered, PlacementStaysInTheBaseClassAndBadIndexesAreNamed) {
    RWCollectableInt n[4] = {0, 1, 2, 3};
    Refusing r(1);
    r.RWOrdered::insert(&n[1]);
    r.RWOrdered::append(&n[2]);
    r.RWOrdered::prepend(&n[0]);
    r.RWOrdered::insertAt(3, &n[3]);
    EXPECT_EQ(values(r), "0123");
    EXPECT_THROW(r.insertAfter(0, &n[0]), int);  // insertAfter does dispatch
    try {
        r.removeAt(4);
        ADD_FAILURE();
    } catch (const RWBoundsErr& e) {
        EXPECT_NE(std::string(e.what()).find("RWOrdered::removeAt: index 4 out of range [0, 4)"),
                  std::string::npos);
    }
    RWSortedVector sorted;
    sorted.insert(&n[2]);
    RWOrdered& base = sorted;
    EXPECT_THROW(sorted.append(&n[1]), RWInternalErr);
    EXPECT_THROW(sorted.prepend(&n[1]), RWInternalErr);
    EXPECT_THROW(sorted.insertAfter(-1, &n[1]), RWInternalErr);
    EXPECT_THROW(base.insertAt(0, &n[1]), RWInternalErr);
    sorted.RWOrdered::insertAt(0, &n[1]);  // derived classes place items themselves this way
    EXPECT_TRUE(values(sorted) == "12" && sorted.isA() == rwSortedVectorId);
}

TEST(RWOrdered, SearchesCallIsEqualOnStoredItemsOnlyAndEqualityIsInOrder) {
    std::vector<const Spy*> log;
    Spy a(&log), b(&log), c(&log);
    RWOrdered v;
    for (Spy* s : {&a, &b, &c, &b}) v.insert(s);
    EXPECT_EQ(v.find(&b), &b);
    EXPECT_EQ(log, (std::vector<const Spy*>{&a, &b}));
    // A target that points at nothing is never looked at.
    const auto* gone = reinterpret_cast<const RWCollectable*>(std::uintptr_t{16});
    EXPECT_TRUE(v.index(gone) == RW_NPOS && !v.contains(gone) && v.remove(gone) == nullptr);
    RWCollectableInt one(1), alsoOne(1), two(2);
    const auto make = [](std::vector<RWCollectable*> items) {
        auto o = std::make_unique<RWOrdered>();
        for (RWCollectable* p : items) o->insert(p);
        return o;
    };
    const auto x = make({&one, &two, nullptr});
    EXPECT_TRUE(*x == *make({&alsoOne, &two, nullptr}));
    EXPECT_FALSE(*x == *make({&two, &one, nullptr}));
    EXPECT_FALSE(*x == *make({&one, &two}));
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
