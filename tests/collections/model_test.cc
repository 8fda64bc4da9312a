// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "qelkit/collections/qel_model.h"
#include "qelkit/collections/qel_model_client.h"
#include "qelkit/collections/qel_model_reference.h"
#include "qelkit/foundation/rw_errors.h"

namespace {

// Records each callback as "name:TYPE " and runs an optional hook before the default handling.
struct LoggingClient : QelModelClient {
    LoggingClient(std::string name, std::string* log) : name(std::move(name)), log(log) {}
    ~LoggingClient() override { finishCallbacks(); }
    void updateFrom(QelModel* m, QelModelChangeType type) override {
        *log += name + ":" + QelModel::typeNames()[type] + " ";
        if (hook) hook(m, type);
        QelModelClient::updateFrom(m, type);
    }
    std::string name;
    std::string* log;
    std::function<void(QelModel*, QelModelChangeType)> hook;
};

// Occurrences of `c` in the dependents of `m`.
int entriesOf(QelModel& m, QelModelClient* c) {
    int n = 0;
    for (int i = 0; i < m.dependentCount(); ++i) n += m.dependent(i) == c ? 1 : 0;
    return n;
}

TEST(ModelTest, RegistrationsAreCountedPerModelUntilDestroying) {
    QelModel m1, m2;
    QelModelClient c, stranger;
    for (QelModel* m : {&m1, &m1, &m2, &m2}) c.registerWith(m);
    EXPECT_TRUE(entriesOf(m1, &c) == 1 && c.getReference(&m1)->references() == 2u);
    EXPECT_TRUE(std::less<QelModel*>()(c.model(0), c.model(1)));  // in model-address order
    EXPECT_THROW(c.model(2), RWBoundsErr);
    EXPECT_EQ(c.modelCount(), 2);  // the failed look-up left the monitor free
    stranger.deregisterFrom(&m1);  // never registered: asks the model, which changes nothing
    c.deregisterFrom(&m1);
    EXPECT_TRUE(c.isRegistered(&m1) == 1 && entriesOf(m1, &c) == 1);
    m2.changed(DESTROYING);  // leaves every client of m2, whatever its count
    EXPECT_TRUE(c.isRegistered(&m2) == 0 && m2.dependentCount() == 0 && entriesOf(m1, &c) == 1);
    c.deregisterFrom(&m1);
    EXPECT_TRUE(c.isRegistered(&m1) == 0 && m1.dependentCount() == 0);
    EXPECT_EQ(c.addModel(&m1), 1);  // the client half alone leaves the model untouched
    EXPECT_EQ(m1.dependentCount(), 0);
    const QelModelReference a(&m1), alsoA(&m1), b(&m2);  // equal and ordered by model
    EXPECT_TRUE(a.isEqual(&alsoA) && !a.isEqual(&b) && a.compareTo(&alsoA) == 0);
    EXPECT_EQ(a.compareTo(&b), std::less<QelModel*>()(&m1, &m2) ? -1 : 1);
}

// Each case: what the first client does from its CHANGED callback, and the logs of that
// notification and of the next one, sent from another thread: it would wait forever for a lock
// the first one left held.
TEST(ModelTest, CallbacksMayChangeTheDependentsOfTheNotifyingModel) {
    using Clients = std::unique_ptr<LoggingClient>[4];
    // clang-format off
    const struct { const char* what; void (*act)(QelModel&, Clients&); const char *first, *second; }
    cases[] = {
        {"self deregisters", [](QelModel& m, Clients& c) { c[0]->deregisterFrom(&m); },
         "a:CHANGED b:CHANGED c:CHANGED ", "b:CHANGED c:CHANGED "},
        {"removes a later client", [](QelModel& m, Clients& c) { c[2]->deregisterFrom(&m); },
         "a:CHANGED b:CHANGED ", "a:CHANGED b:CHANGED "},
        {"destroys a later client", [](QelModel&, Clients& c) { c[1].reset(); },
         "a:CHANGED c:CHANGED ", "a:CHANGED c:CHANGED "},
        {"registers another client", [](QelModel& m, Clients& c) { c[3]->registerWith(&m); },
         "a:CHANGED b:CHANGED c:CHANGED ", "a:CHANGED b:CHANGED c:CHANGED d:CHANGED "},
        {"re-registers itself",
         [](QelModel& m, Clients& c) { c[0]->deregisterFrom(&m); c[0]->registerWith(&m); },
         "a:CHANGED b:CHANGED c:CHANGED ", "b:CHANGED c:CHANGED a:CHANGED "},
        {"nested notification", [](QelModel& m, Clients&) { m.changed(LOADED); },
         "a:CHANGED a:LOADED b:LOADED c:LOADED b:CHANGED c:CHANGED ",
         "a:CHANGED b:CHANGED c:CHANGED "},
        {"throws", [](QelModel&, Clients&) { throw std::runtime_error("callback failed"); },
         "a:CHANGED thrown ", "a:CHANGED b:CHANGED c:CHANGED "}};
    // clang-format on
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.what);
        std::string log;
        QelModel m;
        Clients c;
        for (int i = 0; i < 4; ++i)
            c[i] = std::make_unique<LoggingClient>(std::string(1, 'a' + i), &log);
        c[0]->hook = [&](QelModel* from, QelModelChangeType type) {
            if (type == CHANGED) tc.act(*from, c);
        };
        for (int i = 0; i < 3; ++i) c[i]->registerWith(&m);
        try {
            m.changed(CHANGED);
        } catch (const std::runtime_error&) {
            log += "thrown ";
        }
        EXPECT_EQ(log, tc.first);
        log.clear();
        c[0]->hook = nullptr;
        std::thread([&] { m.changed(CHANGED); }).join();
        EXPECT_EQ(log, tc.second);
    }
}

// Counts its callbacks, and those that reach it from a model it is not registered with.
struct StressClient : QelModelClient {
    ~StressClient() override { finishCallbacks(); }
    void updateFrom(QelModel* m, QelModelChangeType type) override {
        const long n = calls.fetch_add(1, std::memory_order_relaxed);
        if (isRegistered(m) == 0) strays.fetch_add(1, std::memory_order_relaxed);
        if (type == CHANGED && n % 8 == 0) {  // count up and down inside the callback
            registerWith(m);
            deregisterFrom(m);
        }
        QelModelClient::updateFrom(m, type);
    }
    static inline std::atomic<long> calls{0}, strays{0};
};

struct SelfDeleting : QelModelClient {
    void updateFrom(QelModel*, QelModelChangeType) override { delete this; }
};

// A callback that deregisters its own client keeps running while another thread destroys the
// client: the destructor waits for it. A callback may also destroy its own client.
TEST(ModelTest, DestructionWaitsForCallbacksOnOtherThreads) {
    std::string log;
    QelModel m;
    std::promise<void> left;
    std::atomic<bool> returned{false};
    bool returnedBeforeDestroyed = false;
    auto* client = new LoggingClient("a", &log);  // owner: the thread below
    client->hook = [&](QelModel* from, QelModelChangeType) {
        client->deregisterFrom(from);
        left.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        returned = true;  // the default handling then still uses the client
    };
    client->registerWith(&m);
    std::thread destroyer([&, leaving = left.get_future()] {
        leaving.wait();
        delete client;
        returnedBeforeDestroyed = returned;
    });
    m.changed(CHANGED);
    destroyer.join();
    EXPECT_TRUE(returnedBeforeDestroyed);
    (new SelfDeleting)->registerWith(&m);  // owner: its own callback
    m.changed(CHANGED);
    EXPECT_EQ(m.dependentCount(), 0);
}

// A client clearing its registrations while another thread notifies one of its models (and
// holds that model's lock in a callback) must neither deadlock nor be called afterwards.
TEST(ModelTest, DeregisterAllDuringForeignNotificationDoesNotDeadlock) {
    std::string log;
    QelModel m, other;
    std::atomic<bool> notifying{false}, clearing{false};
    LoggingClient gate("gate", &log);
    QelModelClient c;
    gate.hook = [&](QelModel*, QelModelChangeType) {
        notifying = true;
        while (!clearing.load()) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    gate.registerWith(&m);
    c.registerWith(&other);
    c.registerWith(&m);
    std::future<void> notify = std::async(std::launch::async, [&] { m.changed(DESTROYING); });
    std::future<void> clear = std::async(std::launch::async, [&] {
        while (!notifying.load()) std::this_thread::yield();
        clearing = true;
        c.deregisterAll();
    });
    for (std::future<void>* f : {&clear, &notify})
        ASSERT_EQ(f->wait_for(std::chrono::seconds(20)), std::future_status::ready) << "deadlock";
    EXPECT_EQ(c.modelCount() + m.dependentCount() + other.dependentCount(), 0);
}

TEST(ModelTest, StressConcurrentRegistrationNotificationAndDestruction) {
    constexpr int kThreads = 8, kOpsPerThread = 12500, kModels = 4, kMaxClients = 8;
    QelModel models[kModels];
    std::vector<std::vector<std::unique_ptr<StressClient>>> clients(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 rng(1234 + t);
            auto& own = clients[t];
            for (int op = 0; op < kOpsPerThread; ++op) {
                const unsigned r = rng() % 100;
                QelModel* m = &models[rng() % kModels];
                if (own.empty() || (r >= 90 && own.size() < kMaxClients)) {
                    own.push_back(std::make_unique<StressClient>());
                    continue;
                }
                StressClient& c = *own[rng() % own.size()];
                r < 35   ? c.registerWith(m)
                : r < 60 ? c.deregisterFrom(m)
                : r < 78 ? m->changed(CHANGED)
                : r < 80 ? m->changed(DESTROYING)
                : r < 85 ? c.deregisterAll()
                         : void(own.erase(own.begin() + static_cast<long>(rng() % own.size())));
            }
        });
    for (std::thread& th : threads) th.join();
    EXPECT_TRUE(StressClient::calls > 0 && StressClient::strays == 0) << StressClient::strays;
    // A client is listed once exactly while it holds a reference for the model.
    for (QelModel& m : models) {
        int registered = 0;
        for (auto& own : clients)
            for (auto& c : own) {
                EXPECT_EQ(entriesOf(m, c.get()), c->isRegistered(&m));
                registered += c->isRegistered(&m);
            }
        EXPECT_EQ(m.dependentCount(), registered);
    }
    clients.clear();
    for (QelModel& m : models) EXPECT_EQ(m.dependentCount(), 0);
}

// Notifications from thread-local destructors that run after the library's own thread-local
// bookkeeping is gone, on two threads at once. Under ThreadSanitizer a list shared by the two
// threads shows up as a data race.
constexpr int kNotifications = 200;
std::atomic<int> gArrived{0}, gCallbacks{0}, gLeft{0};

// Counts its callbacks; in the last one it leaves the model, which pins it while the callback
// runs.
struct LeavingClient : QelModelClient {
    ~LeavingClient() override { finishCallbacks(); }
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
    LeavingClient client;
    LateNotifier() { client.registerWith(&model); }
    ~LateNotifier() {
        gArrived.fetch_add(1);
        while (gArrived.load() < 2) std::this_thread::yield();
        for (int i = 0; i < kNotifications; ++i) model.changed(CHANGED);
    }
};

TEST(ModelTest, TwoThreadsNotifyFromLateDestructorsEachOnItsOwnList) {
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
