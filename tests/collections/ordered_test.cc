// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "qelkit/collections/incrementer.h"
#include "qelkit/collections/qel_ordered.h"
#include "tests/collections/live_item.h"

namespace {

std::string digitsOf(const RWOrdered& o) {
    std::string s;
    for (RWCollectable* c : itemsOf(o)) s += char('0' + valueOf(c));
    return s;
}

// A test collection whose find answers the target when `hit` says so, in constant time.
struct Finder : RWOrdered {
    explicit Finder(std::function<bool(const RWCollectable*)> h) : hit(std::move(h)) {}
    RWCollectable* find(const RWCollectable* t) const override {
        return hit(t) ? const_cast<RWCollectable*>(t) : nullptr;
    }
    std::function<bool(const RWCollectable*)> hit;
};

// The items 0..9 of a test, one per digit, filled into collections by their digits.
struct Digits : LivePool {
    std::vector<LiveItem*> items;
    Digits() {
        for (int i = 0; i < 10; ++i) items.push_back(make(i));
    }
    void fill(RWOrdered& o, const char* digits) {
        for (; *digits; ++digits) o.RWOrdered::insert(items[std::size_t(*digits - '0')]);
    }
};

// Placement, bounds, freeSpace, the sorts and growth by a multiplying policy are the collection
// models fuzz target's; here growth by the default policy (32 more) and, where the policy would
// not grow, by RWOrdered's own 64; and QelOpenCollection's unique insertion, which appends an
// equal item and grows as RWOrdered does.
TEST(QelOrdered, DefaultAndStillPoliciesAndOpenUniqueInsertion) {
    Digits pool;
    BasicIncrementer zero(0);
    QelOrdered byDefault(2), still(2, &zero);
    QelOpenCollection open(2);
    for (QelOrdered* o : {&byDefault, &still, static_cast<QelOrdered*>(&open)}) {
        pool.fill(*o, "01");
        LiveItem* const one = pool.make(1);
        EXPECT_EQ(o->insertunique(one), o == &open ? one : nullptr);
    }
    EXPECT_TRUE(byDefault.insert(pool.items[9]) == pool.items[9] && still.insert(pool.items[9]));
    EXPECT_EQ(digitsOf(open), "011");
    EXPECT_TRUE(byDefault.capacity() == 34 && still.capacity() == 66 && open.capacity() == 66);
}

// Vector and list by digits: the same digit is the same item; a letter a..j in the list is a new
// item equal to 0..9, and z an item equal to nothing stored. For invertedRemove the list digits
// are the hits of the test.
TEST(QelOrdered, BlockRemovalsKeepTheOrderOnBothSides) {
    const struct {
        char kind;  // 'i' identityBlockRemove, 'v' invertedRemove, or the digit the test throws at
        const char *vector, *list, *kept, *moved;
    } cases[] = {
        {'i', "012345", "zz35", "0124", ""},  // leading misses are skipped
        {'i', "012345", "zz", "012345", ""},  // nothing found: nothing changed
        {'i', "012345", "41", "0235", ""},    // 1 is behind the pass: removed afterwards
        {'i', "012345", "c3", "0145", ""},    // an equal copy starts the pass, matching no pointer
        {'i', "01010", "0101", "0", ""},      // a pointer stored twice goes once per list entry
        {'i', "012345", "5z", "01234", ""},   // an unmatched list item finds nothing to remove
        {'v', "012345", "012345", "", "012345"}, {'v', "3131", "3", "11", "33"},
        {'4', "0123456", "135", "02456", "13"},  // a test that throws at 4 leaves both sound
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.vector) + " - " + c.list);
        Digits pool;
        QelOrdered o;
        RWOrdered list, moved;
        pool.fill(o, c.vector);
        const std::string hits = c.list;
        Finder test([&](const RWCollectable* t) {
            if (valueOf(t) == c.kind - '0') throw std::runtime_error("find");
            return hits.find(char('0' + valueOf(t))) != std::string::npos;
        });
        for (const char* p = c.list; *p && c.kind == 'i'; ++p)
            list.insert(*p >= 'a' ? pool.make(*p == 'z' ? 99 : *p - 'a')
                                  : pool.items[std::size_t(*p - '0')]);
        try {  // the contents show where a throwing test stopped
            const int removed = int(std::strlen(c.vector) - std::strlen(c.kept));
            EXPECT_EQ(c.kind == 'i' ? o.identityBlockRemove(list)
                                    : (o.invertedRemove(test, moved), removed),
                      removed);
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(digitsOf(o), c.kept);
        EXPECT_EQ(digitsOf(moved), c.moved);
    }
}

}  // namespace
