// SPDX-License-Identifier: Apache-2.0
// A program built the way an application links the shared library, with -Wl,-z,defs: every
// public class template is instantiated with ordinary types, each member that can throw is made
// to throw, and the address of every public free function and variable is taken. Header code
// that calls a function the library does not export fails to link here.
#include <cstdio>
#include <cstring>
#include <functional>
#include <sstream>
#include <vector>

#include "qelkit/qelkit.h"

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

// Runs `f`, which must throw an E whose text contains `text`.
template <class E, class F>
void expectThrow(F f, const char* text, const char* what) {
    try {
        f();
    } catch (const E& e) {
        check(std::strstr(e.why(), text) != nullptr, what);
        return;
    } catch (...) {
    }
    check(false, what);
}

void hashMap() {
    RWTValHashMap<int, int, std::hash<int>, std::equal_to<int>> map;
    check(map.insert(1, 10) && !map.insert(1, 11), "hash map insert");
    map[2] += 5;
    int value = 0;
    check(map.findValue(2, value) && value == 5 && map.entries() == 2, "hash map operator[]");
    RWTValHashMap<int, int, std::hash<int>, std::equal_to<int>> empty(0);
    expectThrow<RWInternalErr>([&] { empty[1]; }, "no buckets", "operator[] without buckets");
}

struct Counted {
    ~Counted() { ++deaths; }
    bool operator==(const Counted& o) const { return this == &o; }
    static inline int deaths = 0;
};

void orderedVector() {
    int a = 1, b = 2;
    RWTPtrOrderedVector<int> v;
    v.insertAt(0, &a);
    v.append(&b);
    check(v.at(1) == &b && v[0] == &a && v.index(&b) == 1, "ordered vector access");
    const RWTPtrOrderedVector<int>& cv = v;
    expectThrow<RWBoundsErr>([&] { v.insertAt(3, &a); }, "insertAt", "insertAt past the end");
    expectThrow<RWBoundsErr>([&] { v[2]; }, "operator[]", "operator[] past the end");
    expectThrow<RWBoundsErr>([&] { cv[2]; }, "operator[]", "const operator[] past the end");
    expectThrow<RWBoundsErr>([&] { v.at(2); }, "at", "at past the end");
    expectThrow<RWBoundsErr>([&] { cv.at(2); }, "at", "const at past the end");
    expectThrow<RWBoundsErr>([&] { v.removeAt(2); }, "removeAt", "removeAt past the end");
    check(v.removeLast() == &b && v.removeFirst() == &a, "ordered vector removal");
    expectThrow<RWBoundsErr>([&] { v.removeLast(); }, "removeLast", "removeLast when empty");
    expectThrow<RWBoundsErr>([&] { v.removeFirst(); }, "removeAt", "removeFirst when empty");
    // clearAndDestroy deletes an element stored twice once, and keeps the capacity.
    RWTPtrOrderedVector<Counted> owner;
    auto* twice = new Counted;
    owner.append(twice);
    owner.insertAt(0, new Counted);
    owner.append(twice);
    const std::size_t capacity = owner.capacity();
    owner.clearAndDestroy();
    check(Counted::deaths == 2 && owner.isEmpty() && owner.capacity() == capacity,
          "clearAndDestroy deletes each element once");
}

void locks() {
    RWTRecursiveLock<RWMutexLock> lock;
    {
        RWTRecursiveLock<RWMutexLock>::LockGuard outer(lock);
        RWTRecursiveLock<RWMutexLock>::TryLockGuard inner(lock);
        check(inner.isAcquired(), "recursive lock nesting");
    }
    expectThrow<RWTHRIllegalUsage>([&] { lock.release(); }, "Not owner", "release unowned");
    RWTMonitor<RWMutexLock> monitor;
    {
        RWTMonitor<RWMutexLock>::LockGuard guard(monitor.monitor());
        RWTMonitor<RWMutexLock>::UnlockGuard unlocked(monitor);
    }
    check(monitor.tryAcquire(), "monitor free again");
    monitor.release();
}

void freeFunctions() {
    expectThrow<RWBoundsErr>([] { rwThrowBounds("op", 7, 3); }, "op: index 7", "rwThrowBounds");

    RWCollectableInt items[] = {RWCollectableInt(3), RWCollectableInt(1), RWCollectableInt(2)};
    RWCollectable* ptrs[] = {&items[0], &items[1], &items[2]};
    introsort(ptrs, ptrs + 3, NqSortFunctions::CompareRWCollectable());
    check(ptrs[0] == &items[1] && ptrs[2] == &items[0], "introsort");
    make_heap(ptrs, ptrs + 3, NqSortFunctions::CompareRWCollectable());

    // Every other public free function and variable, by address.
    const void* const addresses[] = {
        reinterpret_cast<const void*>(&qelStringHash),
        reinterpret_cast<const void*>(&checkString),
        reinterpret_cast<const void*>(static_cast<RWCString (*)(const RWCString&)>(&toLower)),
        reinterpret_cast<const void*>(static_cast<RWCString (*)(const RWCString&)>(&toUpper)),
        reinterpret_cast<const void*>(
            static_cast<RWCString (*)(const RWCString&, const RWCString&)>(&operator+)),
        reinterpret_cast<const void*>(
            static_cast<RWCString (*)(const RWCString&, const char*)>(&operator+)),
        reinterpret_cast<const void*>(
            static_cast<RWCString (*)(const char*, const RWCString&)>(&operator+)),
        reinterpret_cast<const void*>(
            static_cast<std::ostream& (*)(std::ostream&, const RWCString&)>(&operator<<)),
        reinterpret_cast<const void*>(
            static_cast<std::ostream& (*)(std::ostream&, const RWCSubString&)>(&operator<<)),
        reinterpret_cast<const void*>(
            static_cast<std::ostream& (*)(std::ostream&, const RWCConstSubString&)>(&operator<<)),
        reinterpret_cast<const void*>(
            static_cast<std::istream& (*)(std::istream&, RWCString&)>(&operator>>)),
        &timeIOFormat,
        &isoFormat,
        &QelMtypeNames,
        &__envDateOutputFmt,
        &__envTimeOutputFmt,
        &__envEnableDSTRules,
    };
    for (const void* p : addresses) check(p != nullptr, "public symbol address");
}

// The inline add of QelExactSum, which calls into the library for values far apart.
void exactSum() {
    QelExactSum sum;
    for (const double x : {1e300, 0.5, -1e300}) sum.add(x);
    check(sum.value() == 0.5, "QelExactSum add");
}

}  // namespace

int main() {
    hashMap();
    orderedVector();
    locks();
    freeFunctions();
    exactSum();
    if (failures == 0) std::printf("every public template and free function links and works\n");
    return failures == 0 ? 0 : 1;
}
