// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/nq_simple_handle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Counts its own destructions in a counter that outlives it.
class CountingBody : public NqSimpleBody {
  public:
    explicit CountingBody(std::atomic<int>& deleted) : deleted_(deleted) {}
    ~CountingBody() override { ++deleted_; }

  private:
    std::atomic<int>& deleted_;
};

TEST(NqSimpleHandle, SharesAreCountedAndTheLastOneDeletesTheBody) {
    std::atomic<int> deletedA{0}, deletedB{0};
    auto* a = new CountingBody(deletedA);  // owned by the handles from here on
    NqSimpleHandle first(a), second(a), other(new CountingBody(deletedB));  // other owns body B
    NqSimpleHandle& alias = first;
    first = alias;
    other = second;  // drops the last share of B
    CountingBody copy(*a);
    static_cast<NqSimpleBody&>(copy) = *a;  // sharing state is never copied
    EXPECT_TRUE(deletedB.load() == 1 && a->references() == 3 && copy.references() == 0);
    first = second = other = NqSimpleHandle();
    EXPECT_EQ(1, deletedA.load());
}

TEST(NqSimpleHandle, SharedAcrossThreadsTheBodyIsDeletedExactlyOnce) {
    std::atomic<int> deleted{0}, broken{0};  // broken: rounds that saw too few shares
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    {
        NqSimpleHandle origin(new CountingBody(deleted));  // owns the body until the threads do
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([held = origin, &go, &deleted, &broken] {
                while (!go.load()) std::this_thread::yield();
                std::vector<NqSimpleHandle> local(4);
                for (int r = 0; r < 2000; ++r) {
                    NqSimpleHandle copy(held);
                    local[r % 4] = copy;
                    local[(r + 1) % 4] = NqSimpleHandle();
                    if (held.body()->references() < 2 || deleted.load() != 0) ++broken;
                }
            });
        }
    }
    go = true;  // the threads now hold the only shares
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(0, broken.load());
    EXPECT_EQ(1, deleted.load());
}

}  // namespace
