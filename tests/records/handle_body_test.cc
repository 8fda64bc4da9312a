#include "qelkit/records/nq_simple_handle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
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
    NqSimpleHandle first(a), empty, emptyCopy(empty);
    auto second = std::make_unique<NqSimpleHandle>(a);
    NqSimpleHandle& alias = first;
    first = alias;
    EXPECT_EQ(2, a->references());
    NqSimpleHandle other(new CountingBody(deletedB));  // owns that body
    other = first;                                     // drops the last share of B
    EXPECT_EQ(1, deletedB.load());
    EXPECT_EQ(3, a->references());
    other = emptyCopy;
    second.reset();
    EXPECT_EQ(0, deletedA.load() + other.isValid() + emptyCopy.isValid());
    EXPECT_EQ(1, a->references());
    CountingBody copy(*a);
    static_cast<NqSimpleBody&>(copy) = *a;
    EXPECT_EQ(0, copy.references());  // sharing state is never copied
    first = empty;
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
