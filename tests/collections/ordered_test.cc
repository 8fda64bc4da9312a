#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "qelkit/collections/incrementer.h"
#include "qelkit/collections/qel_ordered.h"
#include "qelkit/foundation/rw_collectable_int.h"
#include "qelkit/foundation/rw_errors.h"

namespace {

// An int item, equal and ordered by value, that counts the live instances.
struct Item : RWCollectableInt {
    Item(int v) : RWCollectableInt(v) { ++live; }
    Item(const Item& other) : RWCollectableInt(other) { ++live; }
    ~Item() override { --live; }
    static long live;
};
long Item::live = 0;

int valueOf(const RWCollectable* c) { return static_cast<const RWCollectableInt*>(c)->value(); }

std::string values(const RWOrdered& o) {
    std::string s;
    for (std::size_t i = 0; i < o.entries(); ++i) s += char('0' + valueOf(o.at(i)));
    return s;
}

std::vector<RWCollectable*> pointers(RWOrdered& o) {
    std::vector<RWCollectable*> v;
    for (std::size_t i = 0; i < o.entries(); ++i) v.push_back(o(i));
    return v;
}

// A test collection whose find answers the target when `hit` says so, in constant time.
struct Finder : RWOrdered {
    explicit Finder(std::function<bool(const RWCollectable*)> h) : hit(std::move(h)) {}
    RWCollectable* find(const RWCollectable* t) const override {
        return hit(t) ? const_cast<RWCollectable*>(t) : nullptr;
    }
    std::function<bool(const RWCollectable*)> hit;
};

// The items of a test: a digit names one item each; fresh(v) makes another, equal to v.
struct Pool {
    std::deque<Item> items{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    Item* fresh(int v) { return &items.emplace_back(v); }
    void fill(RWOrdered& o, const char* digits) {
        for (; *digits; ++digits) o.RWOrdered::insert(&items[std::size_t(*digits - '0')]);
    }
};

using F2 = int (*)(const RWCollectable*, const RWCollectable*);
int bySlotValue(const void* a, const void* b) {
    return valueOf(*static_cast<RWCollectable* const*>(a)) -
           valueOf(*static_cast<RWCollectable* const*>(b));
}
int descending(const RWCollectable* a, const RWCollectable* b) { return valueOf(b) - valueOf(a); }
int byDirection(const RWCollectable* a, const RWCollectable* b, void* direction) {
    return *static_cast<const int*>(direction) * (valueOf(a) - valueOf(b));
}

// Counts the walks of the vendor's clearAndDestroy, which reaches the items through apply.
struct WalkCounted : QelOrdered {
    using QelOrdered::QelOrdered;
    void apply(void (*fn)(RWCollectable*, void*), void* data) override {
        ++walks;
        QelOrdered::apply(fn, data);
    }
    int walks = 0;
};

// Each row fills a collection with digits (no growth), applies one operation and compares the
// digits and capacity that follow; a null `after` means RWBoundsErr, nothing changed. Operations:
// insert, append, prepend, insertAt(arg), insertAfter(arg), unique insertion of a new item equal
// to arg, freeSpace(arg), sort by compareTo, by slot (qsort), by function, by function with data,
// and clearAndDestroy.
TEST(QelOrdered, OperationsPlaceSortAndGrowByThePolicy) {
    EXPECT_EQ(QelOpenCollection().incrementer(), BasicIncrementer::global());
    BasicIncrementer zero(0), shrink(-3);
    Incrementer* const times2 = MultiplyingIncrementer::global();
    const struct {
        bool open;
        Incrementer* policy;
        std::size_t capacity, grown;
        char op;
        int arg;
        const char *items, *after;
    } cases[] = {
        {false, nullptr, 10, 42, 'i', 0, "0123456789", "01234567899"},
        {false, times2, 3, 9, 'a', 0, "012", "0129"},
        {false, nullptr, 3, 35, 'p', 0, "012", "9012"},
        {false, nullptr, 3, 35, 't', 1, "012", "0912"},
        {false, nullptr, 2, 34, 'f', -1, "01", "901"},
        {false, nullptr, 0, 32, 'i', 0, "", "9"},
        {false, &zero, 2, 66, 'i', 0, "01", "019"},  // a policy that does not grow leaves +64
        {false, &shrink, 10, 74, 'i', 0, "0123456789", "01234567899"},
        {false, nullptr, 2, 2, 't', 3, "01", nullptr},
        {false, nullptr, 2, 2, 'f', -2, "01", nullptr},
        {false, nullptr, 2, 34, 'u', 9, "01", "019"},
        {false, nullptr, 2, 2, 'u', 1, "01", "01"},   // an equal item is refused...
        {true, nullptr, 2, 66, 'u', 1, "01", "011"},  // ...but appended, by the vendor's growth
        {false, nullptr, 4, 4, 's', 0, "012", "012"},
        {false, nullptr, 4, 8, 's', 5, "012", "012"},
        {false, nullptr, 10, 10, 's', 2, "012", "012"},
        {false, nullptr, 0, 3, 's', 3, "", ""},
        {false, nullptr, 16, 16, 'c', 0, "3141592653", "1123345569"},
        {false, nullptr, 16, 16, 'q', 0, "3141592653", "1123345569"},
        {false, nullptr, 16, 16, 'F', 0, "3141592653", "9655433211"},
        {false, nullptr, 16, 16, 'd', -1, "3141592653", "9655433211"},
        {false, nullptr, 5, 5, 'x', 0, "", ""},  // nothing to destroy: no walk over the items
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.items) + " " + c.op + std::to_string(c.arg));
        Pool pool;
        QelOpenCollection open(c.capacity, c.policy);
        WalkCounted ordered(c.capacity, c.policy);
        QelOrdered& o = c.open ? static_cast<QelOrdered&>(open) : ordered;
        pool.fill(o, c.items);
        Item* x = pool.fresh(c.op == 'u' ? c.arg : 9);
        int data = c.arg;
        auto run = [&] {
            return c.op == 'i'   ? o.insert(x)
                   : c.op == 'a' ? o.append(x)
                   : c.op == 'p' ? o.prepend(x)
                   : c.op == 't' ? o.insertAt(std::size_t(c.arg), x)
                   : c.op == 'f' ? o.insertAfter(c.arg, x)
                   : c.op == 'u' ? static_cast<QelUniqueInsertable&>(o).insertunique(x)
                   : c.op == 's' ? (o.freeSpace(unsigned(c.arg)), nullptr)
                   : c.op == 'c' ? (o.sort(F2(nullptr)), nullptr)
                   : c.op == 'q' ? (o.sort(bySlotValue), nullptr)
                   : c.op == 'F' ? (o.sort(descending), nullptr)
                   : c.op == 'd' ? (o.sort(byDirection, &data), nullptr)
                                 : (o.clearAndDestroy(), nullptr);
        };
        if (c.after == nullptr) {
            EXPECT_THROW(run(), RWBoundsErr);
        } else {
            EXPECT_EQ(run(), std::strlen(c.after) > std::strlen(c.items) ? x : nullptr);
        }
        EXPECT_EQ(values(o), c.after ? c.after : c.items);
        EXPECT_EQ(o.capacity(), c.grown);
        EXPECT_EQ(ordered.walks, 0);
    }
}

// Vector and list by digits: the same digit is the same item; a letter a..j in the list is a new
// item equal to 0..9, and z an item equal to nothing stored. For invertedRemove the list digits
// are the hits of the test.
TEST(QelOrdered, BlockRemovalsKeepTheOrderOnBothSides) {
    const struct {
        char kind;  // 'i' identityBlockRemove, 'v' invertedRemove, or the digit the test throws at
        const char *vector, *list, *kept, *moved;
    } cases[] = {
        {'i', "012345", "13", "0245", ""},
        {'i', "012345", "zz35", "0124", ""},  // leading misses are skipped
        {'i', "012345", "zz", "012345", ""},  // nothing found: nothing changed
        {'i', "012345", "41", "0235", ""},    // 1 is behind the pass: removed afterwards
        {'i', "012345", "c3", "0145", ""},    // an equal copy starts the pass, matching no pointer
        {'i', "01010", "0101", "0", ""},      // a pointer stored twice goes once per list entry
        {'i', "012345", "5z", "01234", ""},   // an unmatched list item finds nothing to remove
        {'v', "012345", "", "012345", ""},
        {'v', "012345", "012345", "", "012345"},
        {'v', "3131", "3", "11", "33"},
        {'4', "0123456", "135", "02456", "13"},  // a test that throws at 4 leaves both sound
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.vector) + " - " + c.list);
        Pool pool;
        QelOrdered o;
        RWOrdered list, moved;
        pool.fill(o, c.vector);
        const std::string hits = c.list;
        Finder test([&](const RWCollectable* t) {
            if (valueOf(t) == c.kind - '0') throw std::runtime_error("find");
            return hits.find(char('0' + valueOf(t))) != std::string::npos;
        });
        for (const char* p = c.list; *p && c.kind == 'i'; ++p)
            list.insert(*p >= 'a' ? pool.fresh(*p == 'z' ? 99 : *p - 'a')
                                  : &pool.items[std::size_t(*p - '0')]);
        try {  // the contents show where a throwing test stopped
            const int removed = int(std::strlen(c.vector) - std::strlen(c.kept));
            EXPECT_EQ(c.kind == 'i' ? o.identityBlockRemove(list)
                                    : (o.invertedRemove(test, moved), removed),
                      removed);
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(values(o), c.kept);
        EXPECT_EQ(values(moved), c.moved);
    }
}

TEST(QelOrdered, BlockRemovalsOfHalfAMillionItemsTakeOnePass) {
    // Shifting the tail once per removed item would take minutes here; one pass takes
    // milliseconds, so the bound is generous even under sanitizers.
    const std::size_t n = 1000000;
    std::vector<RWCollectableInt> objects(n);
    const RWCollectableInt* base = objects.data();
    Finder odd([base](const RWCollectable* t) {
        return (static_cast<const RWCollectableInt*>(t) - base) % 2 == 1;
    });
    QelOrdered byList(n), byTest(n);
    RWOrdered list(n / 2), moved(n / 2);
    for (auto& object : objects) {
        byList.insert(&object);
        byTest.insert(&object);
        if (odd.find(&object)) list.insert(&object);
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(byList.identityBlockRemove(list), int(n / 2));
    byTest.invertedRemove(odd, moved);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
    ASSERT_TRUE(byList.entries() == n / 2 && byTest.entries() == n / 2 && moved.entries() == n / 2);
    for (std::size_t i = 0; i < n / 2; ++i)
        ASSERT_TRUE(byList(i) == &objects[2 * i] && byTest(i) == &objects[2 * i] &&
                    moved(i) == &objects[2 * i + 1])
            << i;
}

// Random operations against a std::vector of the same pointers; after every step the items in
// order, the capacity the growth rule gives, the destroying walks and the items alive must match.
TEST(QelOrdered, RandomOperationsMatchAVectorModel) {
    BasicIncrementer one(1), none(0);
    Incrementer* policies[] = {nullptr, MultiplyingIncrementer::global(), &one, &none};
    for (unsigned seed = 0; seed < 4; ++seed) {
        std::mt19937 rng(seed);
        auto below = [&rng](std::size_t n) { return std::size_t(rng() % n); };
        const long baseline = Item::live;
        std::set<RWCollectable*> alive;  // every item made and not yet deleted, in `o` or not
        std::vector<RWCollectable*> m;
        std::size_t capacity = below(6), largest = 0;
        WalkCounted o(capacity, policies[seed]);
        const Incrementer* rule = policies[seed] ? policies[seed] : BasicIncrementer::global();
        int walks = 0;
        for (int step = 0; step < 1500; ++step) {
            const std::size_t n = m.size(), at = below(n + 1);
            // Mostly insertions, so that the size climbs through many growth steps; rare clears.
            const int op = int(below(400) == 0 ? 10 + below(2) : below(4) ? below(6) : below(10));
            RWCollectable* item = *alive.insert(new Item(int(below(30)))).first;
            auto isEqual = [item](RWCollectable* p) { return p->isEqual(item); };
            const auto eq = std::size_t(std::find_if(m.begin(), m.end(), isEqual) - m.begin());
            const bool inserts = op < 5 || (op == 5 && eq == n);
            const std::size_t grown = rule->increment(unsigned(capacity));
            if (inserts && n >= capacity) capacity = grown > capacity ? grown : capacity + 64;
            if (inserts)
                m.insert(m.begin() + long(op == 2 ? 0 : op == 3 || op == 4 ? at : n), item);
            const std::size_t victim = op == 6 && n ? at % n : op == 7 || op == 8 ? eq : n;
            RWCollectable* gone = victim < n ? m[victim] : nullptr;
            if (gone) m.erase(m.begin() + long(victim));
            RWCollectable* got = op == 0   ? o.insert(item)
                                 : op == 1 ? o.append(item)
                                 : op == 2 ? o.prepend(item)
                                 : op == 3 ? o.insertAt(at, item)
                                 : op == 4 ? o.insertAfter(int(at) - 1, item)
                                 : op == 5 ? o.insertunique(item)
                                 : op == 6 ? (n ? o.removeAt(at % n) : nullptr)
                                 : op == 7 ? o.remove(item)
                                           : nullptr;
            ASSERT_EQ(got, inserts ? item : op == 8 ? nullptr : gone);
            if (op == 8 && gone) alive.erase(gone);
            if (op == 8) o.removeAndDestroy(item);
            if (op == 9) o.freeSpace(unsigned(at)), capacity = std::max(capacity, n + at);
            for (RWCollectable* p : m)
                if (op == 10) alive.erase(p);
            if (op == 10) o.clearAndDestroy(), walks += n > 0;
            if (op == 11) o.clear();  // the items stay alive, the capacity stays
            if (op >= 10) m.clear();
            ASSERT_EQ(pointers(o), m) << seed << ":" << step;
            ASSERT_EQ(o.capacity(), capacity) << seed << ":" << step;
            ASSERT_EQ(o.walks, walks) << seed << ":" << step;
            ASSERT_EQ(Item::live - baseline, long(alive.size())) << seed << ":" << step;
            largest = std::max(largest, m.size());
        }
        EXPECT_GT(largest, 100u) << seed;  // sizes that go through many growth steps
        for (RWCollectable* p : alive) delete p;
        EXPECT_EQ(Item::live, baseline);
    }
}

}  // namespace
