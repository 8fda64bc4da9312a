// SPDX-License-Identifier: Apache-2.0
// Benchmarks of the collection classes, each beside a standard-library baseline doing the same
// work with the same virtual operations, so that the ratio comes from one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <unordered_set>
#include <vector>

#include "qelkit/collections/qel_model.h"
#include "qelkit/collections/qel_model_client.h"
#include "qelkit/collections/qel_ordered.h"
#include "qelkit/collections/qel_quick_sort.h"
#include "qelkit/collections/qel_resize_hash_table.h"
#include "qelkit/collections/qel_sorted_vector.h"
#include "qelkit/foundation/rw_collectable_int.h"
#include "qelkit/foundation/rw_ordered.h"

namespace {

// ---- Sorting 1,000,000 collectables by compareTo ------------------------------------------

// Counts every comparison, so that both sorts report how many they made.
std::size_t comparisons = 0;

class CountingInt : public RWCollectableInt {
  public:
    explicit CountingInt(int v) : RWCollectableInt(v) {}
    int compareTo(const RWCollectable* other) const override {
        ++comparisons;
        return RWCollectableInt::compareTo(other);
    }
};

struct IntPool {
    std::vector<std::unique_ptr<CountingInt>> owned;
    std::vector<RWCollectable*> shuffled;
    explicit IntPool(std::size_t n) {
        std::mt19937 rng(42);
        for (std::size_t i = 0; i < n; ++i)
            owned.push_back(std::make_unique<CountingInt>(static_cast<int>(rng() % (n * 4))));
        for (auto& p : owned) shuffled.push_back(p.get());
    }
};

const IntPool& million() {
    static const IntPool pool(1000000);
    return pool;
}

void BM_QelQuickSortMillion(benchmark::State& state) {
    std::vector<RWCollectable*> items;
    for (auto _ : state) {
        state.PauseTiming();
        items = million().shuffled;
        comparisons = 0;
        state.ResumeTiming();
        QelQuickSort::sort(items.data(), static_cast<int>(items.size()));
    }
    state.counters["comparisons"] = static_cast<double>(comparisons);
}
BENCHMARK(BM_QelQuickSortMillion)->Unit(benchmark::kMillisecond);

void BM_StdSortMillionByCompareTo(benchmark::State& state) {
    std::vector<RWCollectable*> items;
    for (auto _ : state) {
        state.PauseTiming();
        items = million().shuffled;
        comparisons = 0;
        state.ResumeTiming();
        std::sort(items.begin(), items.end(), [](const RWCollectable* a, const RWCollectable* b) {
            return a->compareTo(b) < 0;
        });
    }
    state.counters["comparisons"] = static_cast<double>(comparisons);
}
BENCHMARK(BM_StdSortMillionByCompareTo)->Unit(benchmark::kMillisecond);

// ---- QelOrdered::sort with a qsort comparison ----------------------------------------------

int compareSlots(const void* a, const void* b) {
    return (*static_cast<RWCollectable* const*>(a))
        ->compareTo(*static_cast<RWCollectable* const*>(b));
}

void BM_QelOrderedSortQsortMillion(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        QelOrdered ordered(1000000);
        for (RWCollectable* item : million().shuffled) ordered.insert(item);
        comparisons = 0;
        state.ResumeTiming();
        ordered.sort(compareSlots);
    }
    state.counters["comparisons"] = static_cast<double>(comparisons);
}
BENCHMARK(BM_QelOrderedSortQsortMillion)->Unit(benchmark::kMillisecond);

// ---- QelSortedVector::blockInsert of 1,000,000 items --------------------------------------

void BM_QelSortedVectorBlockInsertMillion(benchmark::State& state) {
    RWOrdered source(1000000);
    for (RWCollectable* item : million().shuffled) source.insert(item);
    for (auto _ : state) {
        QelSortedVector v;
        RWOrderedIterator it(source);
        v.blockInsert(it, QelSVquickSort, static_cast<int>(source.entries()));
        benchmark::DoNotOptimize(v.entries());
    }
}
BENCHMARK(BM_QelSortedVectorBlockInsertMillion)->Unit(benchmark::kMillisecond);

void BM_PushBackAndStdSortMillion(benchmark::State& state) {
    const std::vector<RWCollectable*>& source = million().shuffled;
    for (auto _ : state) {
        std::vector<RWCollectable*> v;
        for (RWCollectable* item : source) v.push_back(item);
        std::sort(v.begin(), v.end(), [](const RWCollectable* a, const RWCollectable* b) {
            return a->compareTo(b) < 0;
        });
        benchmark::DoNotOptimize(v.data());
    }
}
BENCHMARK(BM_PushBackAndStdSortMillion)->Unit(benchmark::kMillisecond);

// ---- Removing half of N items: removeDuplicates, blockRemoveAndDestroy, remove_if -----------
// Items come in pairs of equal values, so half of them are duplicates; the removed half is
// deleted in every variant. Building the items is not timed.

std::vector<RWCollectable*> pairedItems(std::size_t n) {
    std::vector<RWCollectable*> items;
    items.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        items.push_back(new RWCollectableInt(static_cast<int>(i / 2)));  // owner: the benchmark
    return items;
}

void BM_RemoveDuplicatesHalf(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        QelSortedVector v(n);
        for (RWCollectable* item : pairedItems(n)) v.append(item);
        state.ResumeTiming();
        v.removeDuplicates(nullptr);
        state.PauseTiming();
        v.clearAndDestroy();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RemoveDuplicatesHalf)->Arg(1000000)->Arg(4000000)->Unit(benchmark::kMillisecond);

void BM_BlockRemoveAndDestroyHalf(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        QelSortedVector v(n);
        RWOrdered list(n / 2);
        const std::vector<RWCollectable*> items = pairedItems(n);
        for (std::size_t i = 0; i < n; ++i) {
            v.append(items[i]);
            if (i % 2) list.append(items[i]);
        }
        state.ResumeTiming();
        v.blockRemoveAndDestroy(list);
        state.PauseTiming();
        v.clearAndDestroy();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BlockRemoveAndDestroyHalf)->Arg(1000000)->Arg(4000000)->Unit(benchmark::kMillisecond);

void BM_StdRemoveIfHalf(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<RWCollectable*> v = pairedItems(n);
        state.ResumeTiming();
        const RWCollectable* kept = nullptr;
        v.erase(std::remove_if(v.begin(), v.end(),
                               [&kept](RWCollectable* item) {
                                   if (kept != nullptr && kept->compareTo(item) == 0) {
                                       delete item;
                                       return true;
                                   }
                                   kept = item;
                                   return false;
                               }),
                v.end());
        state.PauseTiming();
        for (RWCollectable* item : v) delete item;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StdRemoveIfHalf)->Arg(1000000)->Arg(4000000)->Unit(benchmark::kMillisecond);

// ---- Resizing hash collections: 1,000,000 inserts, then 1,000,000 lookups --------------------

struct HashOf {
    std::size_t operator()(const RWCollectable* c) const { return c->hash(); }
};
struct EqualOf {
    bool operator()(const RWCollectable* a, const RWCollectable* b) const { return a->isEqual(b); }
};

struct DistinctInts {
    std::vector<std::unique_ptr<RWCollectableInt>> owned;
    std::vector<RWCollectable*> items;
    DistinctInts() {
        std::mt19937 rng(7);
        std::unordered_set<int> seen;
        while (items.size() < 1000000) {
            const int v = static_cast<int>(rng());
            if (!seen.insert(v).second) continue;
            owned.push_back(std::make_unique<RWCollectableInt>(v));
            items.push_back(owned.back().get());
        }
    }
};

const DistinctInts& distinct() {
    static const DistinctInts pool;
    return pool;
}

template <class Table>
void insertAll(Table& table) {
    for (RWCollectable* item : distinct().items) table.insert(item);
}

template <class Table>
std::size_t findAll(const Table& table) {
    std::size_t found = 0;
    for (RWCollectable* item : distinct().items) found += table.find(item) != nullptr;
    return found;
}

using StdPointerSet = std::unordered_set<RWCollectable*, HashOf, EqualOf>;

template <class Table>
void BM_HashInsertMillion(benchmark::State& state) {
    distinct();  // build the items before timing starts
    for (auto _ : state) {
        Table table;
        insertAll(table);
        benchmark::DoNotOptimize(table.size());
    }
}

template <class Table>
void BM_HashFindMillion(benchmark::State& state) {
    Table table;
    insertAll(table);
    for (auto _ : state) benchmark::DoNotOptimize(findAll(table));
}

// size() and a find() answering a pointer, so that the standard set fits the same templates.
template <class Base>
struct Sized : Base {
    std::size_t size() const { return this->entries(); }
};
struct StdSet : StdPointerSet {
    RWCollectable* find(RWCollectable* item) const {
        const auto it = StdPointerSet::find(item);
        return it == end() ? nullptr : *it;
    }
};

BENCHMARK_TEMPLATE(BM_HashInsertMillion, Sized<QelResizeHashTable>)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_HashInsertMillion, Sized<QelResizeSet>)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_HashInsertMillion, StdSet)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_HashFindMillion, Sized<QelResizeHashTable>)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_HashFindMillion, Sized<QelResizeSet>)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_HashFindMillion, StdSet)->Unit(benchmark::kMillisecond);

// ---- Notifying 10,000 clients ---------------------------------------------------------------

class CountingClient : public QelModelClient {
  public:
    ~CountingClient() override { deregisterAll(); }
    void updateFrom(QelModel*, QelModelChangeType) override { ++calls; }
    std::size_t calls = 0;
};

void BM_QelModelChanged10000(benchmark::State& state) {
    QelModel model;
    std::vector<std::unique_ptr<CountingClient>> clients(10000);
    for (auto& c : clients) {
        c = std::make_unique<CountingClient>();
        c->registerWith(&model);
    }
    for (auto _ : state) model.changed(CHANGED);
    benchmark::DoNotOptimize(clients.front()->calls);
    clients.clear();
}
BENCHMARK(BM_QelModelChanged10000)->Unit(benchmark::kMicrosecond);

void BM_PlainLoopUpdateFrom10000(benchmark::State& state) {
    QelModel model;
    std::vector<std::unique_ptr<CountingClient>> owned(10000);
    std::vector<QelModelClient*> clients;
    for (auto& c : owned) {
        c = std::make_unique<CountingClient>();
        clients.push_back(c.get());
    }
    for (auto _ : state)
        for (QelModelClient* c : clients) c->updateFrom(&model, CHANGED);
    benchmark::DoNotOptimize(owned.front()->calls);
}
BENCHMARK(BM_PlainLoopUpdateFrom10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
