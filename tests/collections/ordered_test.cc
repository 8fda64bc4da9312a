// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "qelkit/collections/incrementer.h"
#include "qelkit/collections/qel_ordered.h"
#include "qelkit/foundation/rw_errors.h"
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

using F2 = int (*)(const RWCollectable*, const RWCollectable*);
int descending(const RWCollectable* a, const RWCollectable* b) { return valueOf(b) - valueOf(a); }
int byDirection(const RWCollectable* a, const RWCollectable* b, void* direction) {
    return *static_cast<const int*>(direction) * (valueOf(a) - valueOf(b));
}

// Each row fills a collection with digits (no growth), applies one operation and compares the
// digits and capacity that follow; a null `after` means RWBoundsErr, nothing changed. Operations:
// insert, append, prepend, insertAt(arg), insertAfter(arg), unique insertion of a new item equal
// to arg, freeSpace(arg), sort by compareTo, by slot (qsort), by function, by function with data.
TEST(QelOrdered, OperationsPlaceSortAndGrowByThePolicy) {
    BasicIncrementer zero(0);
    Incrementer* const times2 = MultiplyingIncrementer::global();
    // clang-format off
    const struct { bool open; Incrementer* policy; std::size_t capacity, grown; char op; int arg;
                   const char *items, *after; } cases[] = {
        {false, nullptr, 10, 42, 'i', 0, "0123456789", "01234567899"},
        {false, times2, 3, 9, 'a', 0, "012", "0129"},
        {false, nullptr, 3, 35, 'p', 0, "012", "9012"},
        {false, nullptr, 3, 35, 't', 1, "012", "0912"},
        {false, nullptr, 2, 34, 'f', -1, "01", "901"},
        {false, &zero, 2, 66, 'i', 0, "01", "019"},  // a policy that does not grow leaves +64
        {false, nullptr, 4, 8, 's', 5, "012", "012"},
        {false, nullptr, 2, 2, 't', 3, "01", nullptr},
        {false, nullptr, 2, 2, 'f', -2, "01", nullptr},
        {false, nullptr, 2, 2, 'u', 1, "01", "01"},   // an equal item is refused...
        {true, nullptr, 2, 66, 'u', 1, "01", "011"},  // ...but appended, by the vendor's growth
        {false, nullptr, 10, 10, 'c', 0, "3141592653", "1123345569"},
        {false, nullptr, 10, 10, 'q', 0, "3141592653", "1123345569"},
        // more than 16 items: partitioned before the insertion pass
        {false, nullptr, 20, 20, 'F', 0, "31415926535897932384", "99988765554433332211"},
        {false, nullptr, 20, 20, 'd', -1, "31415926535897932384", "99988765554433332211"}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.items) + " " + c.op + std::to_string(c.arg));
        Digits pool;
        QelOpenCollection open(c.capacity, c.policy);
        QelOrdered ordered(c.capacity, c.policy);
        QelOrdered& o = c.open ? open : ordered;
        pool.fill(o, c.items);
        LiveItem* x = pool.make(c.op == 'u' ? c.arg : 9);
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
                   : c.op == 'q' ? (o.sort(valueSlots), nullptr)
                   : c.op == 'F' ? (o.sort(descending), nullptr)
                                 : (o.sort(byDirection, &data), nullptr);
        };
        if (c.after == nullptr) {
            EXPECT_THROW(run(), RWBoundsErr);
        } else {
            EXPECT_EQ(run(), std::strlen(c.after) > std::strlen(c.items) ? x : nullptr);
        }
        EXPECT_EQ(digitsOf(o), c.after ? c.after : c.items);
        EXPECT_EQ(o.capacity(), c.grown);
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
