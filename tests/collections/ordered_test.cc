#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
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
class Item : public RWCollectable {
  public:
    explicit Item(int v) : value(v) { ++live; }
    ~Item() override { --live; }
    int compareTo(const RWCollectable* c) const override {
        const int other = static_cast<const Item*>(c)->value;
        return value < other ? -1 : value > other ? 1 : 0;
    }
    RWBoolean isEqual(const RWCollectable* c) const override {
        return static_cast<const Item*>(c)->value == value;
    }
    const int value;
    static long live;
};
long Item::live = 0;

int valueOf(const RWCollectable* c) { return static_cast<const Item*>(c)->value; }

std::string values(const RWOrdered& o) {
    std::string s;
    for (std::size_t i = 0; i < o.entries(); ++i) s += char('0' + valueOf(o.at(i)));
    return s;
}

// A collection whose find answers the target when `hit` says so. Inserts go nowhere. Enough for
// invertedRemove's test side, and O(1) per question.
class Finder : public RWCollection {
  public:
    explicit Finder(std::function<bool(const RWCollectable*)> hit) : hit_(std::move(hit)) {}
    RWCollectable* find(const RWCollectable* t) const override {
        return hit_(t) ? const_cast<RWCollectable*>(t) : nullptr;
    }
    void clear() override {}
    std::size_t entries() const override { return 0; }
    RWBoolean isEmpty() const override { return true; }
    RWCollectable* insert(RWCollectable* item) override { return item; }
    std::size_t occurrencesOf(const RWCollectable*) const override { return 0; }
    RWCollectable* remove(const RWCollectable*) override { return nullptr; }
    RWIterator* newIterator() override { return nullptr; }
    void apply(void (*)(RWCollectable*, void*), void*) override {}

  private:
    std::function<bool(const RWCollectable*)> hit_;
};

// A Finder hitting the items whose value is a digit of `digits`.
Finder hitsOn(const std::string& digits) {
    return Finder([digits](const RWCollectable* t) {
        return digits.find(char('0' + valueOf(t))) != std::string::npos;
    });
}

// Owns the items of a test: one per digit of `digits`, the same digit giving the same pointer.
struct Pool {
    std::vector<std::unique_ptr<Item>> owned;
    Item* byValue[10] = {};
    Item* get(char digit) {
        Item*& p = byValue[digit - '0'];
        if (p == nullptr) owned.emplace_back(p = new Item(digit - '0'));
        return p;
    }
    Item* fresh(int v) {
        owned.emplace_back(new Item(v));
        return owned.back().get();
    }
    void fill(RWOrdered& o, const std::string& digits) {
        for (char d : digits) o.RWOrdered::insert(get(d));
    }
};

TEST(QelOrdered, NullPolicyInstallsSharedBasicIncrementer) {
    BasicIncrementer five(5);
    EXPECT_EQ(QelOrdered().incrementer(), BasicIncrementer::global());
    EXPECT_EQ(QelOpenCollection(3).incrementer(), BasicIncrementer::global());
    EXPECT_EQ(QelOrdered(3, &five).incrementer(), &five);
    EXPECT_EQ(QelOrdered().capacity(), RWCollection::DEFAULT_CAPACITY);
}

TEST(QelOrdered, EveryInsertionGrowsAFullCollectionByItsPolicy) {
    BasicIncrementer zero(0), shrink(-3);
    const struct {
        const char* op;
        std::size_t capacity;
        Incrementer* policy;
        std::size_t grown;
        const char* after;  // values after inserting 9 into "0123..." filled to capacity
    } cases[] = {
        {"insert", 10, nullptr, 42, "01234567899"},
        {"append", 3, MultiplyingIncrementer::global(), 9, "0129"},
        {"prepend", 3, nullptr, 35, "9012"},
        {"insertAt1", 3, nullptr, 35, "0912"},
        {"insertAfter-1", 2, nullptr, 34, "901"},
        {"insertAfter1", 2, nullptr, 34, "019"},
        {"insertunique", 2, nullptr, 34, "019"},
        {"insert", 0, nullptr, 32, "9"},
        // A policy that does not grow leaves the vendor's step of 64.
        {"insert", 2, &zero, 66, "019"},
        {"insert", 10, &shrink, 74, "01234567899"},
    };
    for (const auto& c : cases) {
        Pool pool;
        QelOrdered o(c.capacity, c.policy);
        pool.fill(o, std::string("0123456789").substr(0, c.capacity));
        ASSERT_EQ(o.capacity(), c.capacity);
        Item* nine = pool.get('9');
        const std::string op = c.op;
        RWCollectable* got = op == "insert"          ? o.insert(nine)
                             : op == "append"        ? o.append(nine)
                             : op == "prepend"       ? o.prepend(nine)
                             : op == "insertAt1"     ? o.insertAt(1, nine)
                             : op == "insertAfter-1" ? o.insertAfter(-1, nine)
                             : op == "insertAfter1"  ? o.insertAfter(1, nine)
                                                     : o.insertunique(nine);
        EXPECT_EQ(got, nine) << op;
        EXPECT_EQ(o.capacity(), c.grown) << op << " from " << c.capacity;
        EXPECT_EQ(values(o), c.after) << op;
    }
}

TEST(QelOrdered, BadIndexThrowsWithoutGrowing) {
    Pool pool;
    QelOrdered o(2);
    pool.fill(o, "01");
    EXPECT_THROW(o.insertAt(3, pool.get('5')), RWBoundsErr);
    EXPECT_THROW(o.insertAfter(2, pool.get('5')), RWBoundsErr);
    EXPECT_THROW(o.insertAfter(-2, pool.get('5')), RWBoundsErr);
    EXPECT_EQ(o.capacity(), 2u);
    EXPECT_EQ(values(o), "01");
}

TEST(QelOrdered, InsertuniqueRefusesAnEqualItemUnlessOpen) {
    Pool pool;
    QelOrdered ordered(2);
    QelOpenCollection open(2);
    for (QelOrdered* o : {&ordered, static_cast<QelOrdered*>(&open)}) pool.fill(*o, "12");
    Item* equal = pool.fresh(2);
    EXPECT_EQ(ordered.insertunique(equal), nullptr);
    EXPECT_EQ(values(ordered), "12");
    Item* three = pool.fresh(3);
    EXPECT_EQ(ordered.insertunique(three), three);
    EXPECT_EQ(ordered.last(), three);
    // The open collection appends through the vendor's growth, not its policy (2 + 32).
    QelUniqueInsertable& any = open;
    EXPECT_EQ(any.insertunique(equal), equal);
    EXPECT_EQ(any.entries(), 3u);
    EXPECT_EQ(open.last(), equal);
    EXPECT_EQ(open.capacity(), 66u);
    EXPECT_EQ(static_cast<QelUniqueInsertable&>(ordered).entries(), 3u);
}

// Counts the walks of the vendor's clearAndDestroy, which reaches the items through apply.
class WalkCounted : public QelOrdered {
  public:
    void apply(void (*fn)(RWCollectable*, void*), void* data) override {
        ++walks;
        QelOrdered::apply(fn, data);
    }
    int walks = 0;
};

TEST(QelOrdered, ClearAndDestroyWalksOnlyWhenItemsArePresent) {
    const long before = Item::live;
    WalkCounted o;
    o.clearAndDestroy();
    EXPECT_EQ(o.walks, 0);
    Item* twice = new Item(1);
    o.insert(twice);
    o.insert(new Item(2));
    o.insert(twice);
    o.clearAndDestroy();
    EXPECT_EQ(o.walks, 1);
    EXPECT_EQ(o.entries(), 0u);
    EXPECT_EQ(Item::live, before);
    EXPECT_EQ(o.capacity(), RWCollection::DEFAULT_CAPACITY);
}

TEST(QelOrdered, FreeSpaceReshapesOnlyWhenShortOfRoom) {
    const struct {
        std::size_t items, capacity;
        unsigned n;
        std::size_t after;
    } cases[] = {{3, 4, 0, 4},   {3, 4, 1, 4}, {3, 4, 5, 8},
                 {3, 10, 2, 10}, {0, 0, 3, 3}, {4, 4, 0, 4}};
    for (const auto& c : cases) {
        Pool pool;
        QelOrdered o(c.capacity);
        pool.fill(o, std::string("0123456789").substr(0, c.items));
        o.freeSpace(c.n);
        EXPECT_EQ(o.capacity(), c.after) << c.items << "/" << c.capacity << " + " << c.n;
        EXPECT_EQ(o.entries(), c.items);
    }
}

int bySlotValue(const void* a, const void* b) {
    return valueOf(*static_cast<RWCollectable* const*>(a)) -
           valueOf(*static_cast<RWCollectable* const*>(b));
}
int descending(const RWCollectable* a, const RWCollectable* b) { return valueOf(b) - valueOf(a); }
int countedAscending(const RWCollectable* a, const RWCollectable* b, void* data) {
    ++*static_cast<long*>(data);
    return valueOf(a) - valueOf(b);
}

TEST(QelOrdered, SortsInPlaceThreeWays) {
    using F2 = int (*)(const RWCollectable*, const RWCollectable*);
    for (const std::string input : {"", "7", "3141592653589793238", "99999", "987654321"}) {
        std::string up = input, down = input;
        std::sort(up.begin(), up.end());
        std::sort(down.rbegin(), down.rend());
        Pool pool;
        QelOrdered o(0);
        for (char d : input) o.insert(pool.fresh(d - '0'));
        o.sort(bySlotValue);
        EXPECT_EQ(values(o), up);
        o.sort(descending);
        EXPECT_EQ(values(o), down);
        o.sort(static_cast<F2>(nullptr));  // by compareTo
        EXPECT_EQ(values(o), up);
        long calls = 0;
        o.sort(descending);
        o.sort(countedAscending, &calls);
        EXPECT_EQ(values(o), up);
        EXPECT_EQ(calls > 0, input.size() > 1) << input;
    }
}

// Vector and list by digits: the same digit is the same item; a letter a..j in the list is a new
// item equal to 0..9, and z an item equal to nothing stored.
TEST(QelOrdered, IdentityBlockRemoveCompactsFromTheFirstItemFound) {
    const struct {
        const char *vector, *list, *kept;
        int removed;
    } cases[] = {
        {"012345", "13", "0245", 2},
        {"012345", "zz35", "0124", 2},  // leading misses are skipped
        {"012345", "zz", "012345", 0},  // nothing found: nothing changed
        {"012345", "", "012345", 0},
        {"012345", "41", "0235", 2},  // 1 is behind the pass: removed afterwards
        {"012345", "c3", "0145", 2},  // an equal copy starts the pass but matches no pointer
        {"01010", "0101", "0", 4},    // a pointer stored twice goes once per list entry
        {"012345", "012345", "", 6},
        {"012345", "5z", "01234", 1},  // an unmatched list item finds nothing to remove
    };
    for (const auto& c : cases) {
        Pool pool;
        QelOrdered o;
        RWOrdered list;
        pool.fill(o, c.vector);
        for (const char* p = c.list; *p; ++p)
            list.insert(*p >= 'a' ? pool.fresh(*p == 'z' ? 9 : *p - 'a') : pool.get(*p));
        EXPECT_EQ(o.identityBlockRemove(list), c.removed) << c.vector << " - " << c.list;
        EXPECT_EQ(values(o), c.kept) << c.vector << " - " << c.list;
    }
}

TEST(QelOrdered, InvertedRemoveMovesMatchesInOrder) {
    const struct {
        const char *vector, *hits, *kept, *moved;
    } cases[] = {
        {"012345", "", "012345", ""},
        {"012345", "012345", "", "012345"},
        {"012345", "135", "024", "135"},
        {"3131", "3", "11", "33"},
        {"", "1", "", ""},
    };
    for (const auto& c : cases) {
        Pool pool;
        QelOrdered o;
        RWOrdered moved;
        pool.fill(o, c.vector);
        Finder test = hitsOn(c.hits);
        o.invertedRemove(test, moved);
        EXPECT_EQ(values(o), c.kept) << c.vector << " / " << c.hits;
        EXPECT_EQ(values(moved), c.moved) << c.vector << " / " << c.hits;
    }
}

TEST(QelOrdered, InvertedRemoveStaysConsistentWhenTheTestThrows) {
    Pool pool;
    QelOrdered o;
    RWOrdered moved;
    pool.fill(o, "0123456");
    Finder test([](const RWCollectable* t) {
        if (valueOf(t) == 4) throw std::runtime_error("find");
        return valueOf(t) % 2 == 1;
    });
    EXPECT_THROW(o.invertedRemove(test, moved), std::runtime_error);
    EXPECT_EQ(values(o), "02456");
    EXPECT_EQ(values(moved), "13");
}

TEST(QelOrdered, BlockRemovalsOfHalfAMillionItemsTakeOnePass) {
    // Shifting the tail once per removed item would take minutes here; one pass takes
    // milliseconds, so the bound is generous even under sanitizers.
    const std::size_t n = 1000000;
    std::vector<RWCollectableInt> objects(n);
    const RWCollectableInt* base = objects.data();
    auto odd = [base](const RWCollectable* t) {
        return (static_cast<const RWCollectableInt*>(t) - base) % 2 == 1;
    };
    QelOrdered byList(n), byTest(n);
    RWOrdered list(n / 2), moved(n / 2);
    for (auto& object : objects) {
        byList.insert(&object);
        byTest.insert(&object);
        if (odd(&object)) list.insert(&object);
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(byList.identityBlockRemove(list), int(n / 2));
    Finder test(odd);
    byTest.invertedRemove(test, moved);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0);
    ASSERT_EQ(byList.entries(), n / 2);
    ASSERT_EQ(byTest.entries(), n / 2);
    ASSERT_EQ(moved.entries(), n / 2);
    for (std::size_t i = 0; i < n / 2; ++i) {
        ASSERT_EQ(byList(i), &objects[2 * i]);
        ASSERT_EQ(byTest(i), &objects[2 * i]);
        ASSERT_EQ(moved(i), &objects[2 * i + 1]);
    }
}

// The differential test's reference: a std::vector of the same pointers and the capacity the
// growth rule must give.
struct Model {
    std::vector<Item*> items;
    std::size_t capacity;
    const Incrementer* policy;
    void grow() {
        if (items.size() < capacity) return;
        const std::size_t grown = policy->increment(static_cast<unsigned>(capacity));
        if (grown > capacity) capacity = grown;
        if (items.size() >= capacity) capacity += 64;
    }
    std::size_t firstEqual(const Item* probe) const {
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i]->value == probe->value) return i;
        return items.size();
    }
};

TEST(QelOrdered, RandomOperationsMatchAVectorModel) {
    BasicIncrementer one(1), none(0);
    Incrementer* policies[] = {nullptr, MultiplyingIncrementer::global(), &one, &none};
    for (unsigned seed = 1; seed <= 8; ++seed) {
        std::mt19937 rng(seed);
        auto below = [&rng](std::size_t n) { return std::size_t(rng() % n); };
        Incrementer* policy = policies[seed % 4];
        const long baseline = Item::live;
        std::set<Item*> allocated;  // every item not yet deleted, in or out of the collection
        auto make = [&](int v) { return *allocated.insert(new Item(v)).first; };
        const std::size_t initial = below(6);
        QelOrdered o(initial, policy);
        Model m{{}, initial, policy ? policy : BasicIncrementer::global()};
        int sortKind = 0;
        std::size_t largest = 0;
        for (int step = 0; step < 3000; ++step) {
            const std::size_t n = m.items.size();
            // Insertions outweigh removals and block operations are rare, so that the collection
            // grows to hundreds of items and through many policy steps between clears.
            int op = int(below(24));
            if (op >= 16) op = int(below(5));
            Item* item = make(int(below(30)));
            switch (op) {
                case 0:
                case 1:
                case 2:
                case 3:
                case 4: {
                    const std::size_t at = op == 0 || op == 1 ? n : op == 2 ? 0 : below(n + 1);
                    m.grow();
                    m.items.insert(m.items.begin() + at, item);
                    RWCollectable* got = op == 0   ? o.insert(item)
                                         : op == 1 ? o.append(item)
                                         : op == 2 ? o.prepend(item)
                                         : op == 3 ? o.insertAt(at, item)
                                                   : o.insertAfter(int(at) - 1, item);
                    ASSERT_EQ(got, item);
                    break;
                }
                case 5: {
                    const bool present = m.firstEqual(item) != n;
                    if (!present) m.grow(), m.items.push_back(item);
                    ASSERT_EQ(o.insertunique(item), present ? nullptr : item);
                    break;
                }
                case 6:
                case 7:
                case 8: {
                    if (n == 0) break;
                    const std::size_t i = op == 6 ? below(n) : m.firstEqual(item);
                    Item* expected = i < n ? m.items[i] : nullptr;
                    if (i < n) m.items.erase(m.items.begin() + i);
                    if (op == 6) {
                        ASSERT_EQ(o.removeAt(i), expected);
                    }
                    if (op == 7) {
                        ASSERT_EQ(o.remove(item), expected);
                    }
                    if (op == 8) {
                        o.removeAndDestroy(item);
                        if (expected) allocated.erase(expected);
                    }
                    break;
                }
                case 9: {
                    if (below(6) != 0) break;
                    // An in-order pick of stored items with foreign ones, sometimes two swapped.
                    RWOrdered list;
                    for (Item* p : m.items)
                        if (below(3) == 0) list.insert(below(8) == 0 ? make(100) : p);
                    if (list.entries() > 1 && below(3) == 0)
                        std::swap(list(0), list(list.entries() - 1));
                    // Reference: erase matches one by one from the first found item onwards.
                    std::size_t k = 0, at = n, count = 0;
                    for (; k < list.entries(); ++k)
                        if ((at = m.firstEqual(static_cast<Item*>(list(k)))) != n) break;
                    if (k < list.entries()) {
                        for (std::size_t i = at; i < m.items.size() && k < list.entries();)
                            if (m.items[i] == list(k))
                                m.items.erase(m.items.begin() + i), ++k, ++count;
                            else
                                ++i;
                        for (; k < list.entries(); ++k) {
                            const std::size_t j = m.firstEqual(static_cast<Item*>(list(k)));
                            if (j != m.items.size()) m.items.erase(m.items.begin() + j), ++count;
                        }
                    }
                    ASSERT_EQ(o.identityBlockRemove(list), int(count));
                    break;
                }
                case 10: {
                    if (below(6) != 0) break;
                    const int mod = int(below(4)) + 2, rest = int(below(mod));
                    Finder test([=](const RWCollectable* t) { return valueOf(t) % mod == rest; });
                    std::vector<Item*> expectMoved;
                    auto kept = std::stable_partition(m.items.begin(), m.items.end(), [&](Item* p) {
                        return p->value % mod != rest;
                    });
                    expectMoved.assign(kept, m.items.end());
                    m.items.erase(kept, m.items.end());
                    RWOrdered moved(0);
                    o.invertedRemove(test, moved);
                    ASSERT_EQ(moved.entries(), expectMoved.size());
                    for (std::size_t i = 0; i < expectMoved.size(); ++i)
                        ASSERT_EQ(moved(i), expectMoved[i]);
                    break;
                }
                case 11: {
                    const unsigned more = unsigned(below(40));
                    if (m.capacity < n + more) m.capacity = n + more;
                    o.freeSpace(more);
                    break;
                }
                case 12:
                case 13: {
                    using F2 = int (*)(const RWCollectable*, const RWCollectable*);
                    const int kind = sortKind++ % 3;
                    if (kind == 0) o.sort(bySlotValue);
                    if (kind == 1) o.sort(static_cast<F2>(nullptr));
                    long calls = 0;
                    if (kind == 2) o.sort(countedAscending, &calls);
                    std::vector<Item*> got(n), sortedModel = m.items, sortedGot;
                    for (std::size_t i = 0; i < n; ++i) got[i] = static_cast<Item*>(o(i));
                    for (std::size_t i = 1; i < n; ++i) ASSERT_LE(got[i - 1]->value, got[i]->value);
                    sortedGot = got;
                    std::sort(sortedModel.begin(), sortedModel.end());
                    std::sort(sortedGot.begin(), sortedGot.end());
                    ASSERT_EQ(sortedGot, sortedModel);  // the same pointers, none lost or doubled
                    m.items = got;
                    break;
                }
                case 14:
                    if (below(100) != 0) break;
                    for (Item* p : m.items) allocated.erase(p);
                    m.items.clear();
                    o.clearAndDestroy();
                    break;
                default:
                    if (below(100) != 0) break;
                    o.clear();  // the items stay alive, the capacity stays
                    m.items.clear();
                    break;
            }
            ASSERT_EQ(o.entries(), m.items.size())
                << "seed " << seed << " step " << step << " op " << op;
            ASSERT_EQ(o.capacity(), m.capacity)
                << "seed " << seed << " step " << step << " op " << op;
            for (std::size_t i = 0; i < m.items.size(); ++i)
                ASSERT_EQ(o(i), m.items[i]) << "seed " << seed << " step " << step << " op " << op;
            ASSERT_EQ(Item::live - baseline, long(allocated.size()))
                << "seed " << seed << " step " << step;
            largest = std::max(largest, n);
        }
        EXPECT_GT(largest, 100u) << "seed " << seed;  // the walk must reach sizes that grow
        o.clear();
        for (Item* p : allocated) delete p;
        EXPECT_EQ(Item::live, baseline);
    }
}

}  // namespace
