// SPDX-License-Identifier: Apache-2.0
// A program built the way an application links the shared library, with -Wl,-z,defs: the public
// class templates no other test instantiates, each member that can throw made to throw, and the
// address of every public free function and variable taken. Header code that calls a function
// the library does not export fails to link here (the unit tests and fuzz replays, linked the
// same way, instantiate the hash map, the locks and the monitor).
#include <cstdio>
#include <cstring>

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

// A function or variable's address, as an untyped pointer.
template <class T>
const void* address(T* p) {
    return reinterpret_cast<const void*>(p);
}

void freeFunctions() {
    expectThrow<RWBoundsErr>([] { rwThrowBounds("op", 7, 3); }, "op: index 7", "rwThrowBounds");

    RWCollectableInt items[] = {RWCollectableInt(3), RWCollectableInt(1), RWCollectableInt(2)};
    RWCollectable* ptrs[] = {&items[0], &items[1], &items[2]};
    introsort(ptrs, ptrs + 3, NqSortFunctions::CompareRWCollectable());
    check(ptrs[0] == &items[1] && ptrs[2] == &items[0], "introsort");
    make_heap(ptrs, ptrs + 3, NqSortFunctions::CompareRWCollectable());

    // Every other public free function and variable, by address.
    using Unary = RWCString(const RWCString&);
    using Out = std::ostream&(std::ostream&, const RWCString&);
    const void* const addresses[] = {
        address(&qelStringHash),
        address(&checkString),
        address<Unary>(&toLower),
        address<Unary>(&toUpper),
        address<RWCString(const RWCString&, const RWCString&)>(&operator+),
        address<RWCString(const RWCString&, const char*)>(&operator+),
        address<RWCString(const char*, const RWCString&)>(&operator+),
        address<Out>(&operator<<),
        address<std::ostream&(std::ostream&, const RWCSubString&)>(&operator<<),
        address<std::ostream&(std::ostream&, const RWCConstSubString&)>(&operator<<),
        address<std::istream&(std::istream&, RWCString&)>(&operator>>),
        address(&timeIOFormat),
        address(&isoFormat),
        address(&QelMtypeNames),
        address(&__envDateOutputFmt),
        address(&__envTimeOutputFmt),
        address(&__envEnableDSTRules)};
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
    orderedVector();
    freeFunctions();
    exactSum();
    if (failures == 0) std::printf("every public template and free function links and works\n");
    return failures == 0 ? 0 : 1;
}
