// SPDX-License-Identifier: Apache-2.0
// Notifications from thread-local destructors that run after the library's own thread-local
// bookkeeping is gone, on two threads at once. Under ThreadSanitizer a list shared by the two
// threads shows up as a data race.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "qelkit/collections/qel_model.h"
#include "qelkit/collections/qel_model_client.h"

namespace {

constexpr int kNotifications = 200;
std::atomic<int> gArrived{0};
std::atomic<int> gCallbacks{0};
std::atomic<int> gLeft{0};

// Counts its callbacks; in the last one it leaves the model, which pins it while the callback
// runs.
struct CountingClient : QelModelClient {
    ~CountingClient() override { finishCallbacks(); }
    void updateFrom(QelModel* m, QelModelChangeType type) override {
        gCallbacks.fetch_add(1);
        if (++seen == kNotifications) {
            deregisterFrom(m);
            gLeft.fetch_add(isRegistered(m) == 0 ? 1 : 0);
        }
        QelModelClient::updateFrom(m, type);
    }
    int seen = 0;
};

// Built before the thread's first notification, so destroyed after the bookkeeping it set up.
// Its destructor waits for the other thread's, then notifies its model repeatedly.
struct LateNotifier {
    QelModel model;
    CountingClient client;
    LateNotifier() { client.registerWith(&model); }
    ~LateNotifier() {
        gArrived.fetch_add(1);
        while (gArrived.load() < 2) std::this_thread::yield();
        for (int i = 0; i < kNotifications; ++i) model.changed(CHANGED);
    }
};

TEST(ModelLateNotifyTest, TwoThreadsNotifyFromLateDestructorsEachOnItsOwnList) {
    auto body = [] {
        thread_local LateNotifier notifier;
        QelModel early;
        early.changed(CHANGED);  // sets up the thread's bookkeeping after `notifier`
        (void)notifier;
    };
    std::thread a(body), b(body);
    a.join();
    b.join();
    EXPECT_EQ(gCallbacks.load(), 2 * kNotifications);
    EXPECT_EQ(gLeft.load(), 2);
}

}  // namespace
