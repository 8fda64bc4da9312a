#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
    ~LoggingClient() override { deregisterAll(); }
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

// Fails loudly instead of hanging the suite when `work` does not finish in time.
void finishWithin(std::future<void>& work, const char* what) {
    if (work.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        std::fprintf(stderr, "%s did not finish: deadlock\n", what);
        std::abort();
    }
    work.get();
}

TEST(ModelTest, TypeNamesHoldTheExactTexts) {
    const char* expected[] = {"PRE_CLEAR", "CLEARED",     "PRE_CHANGE", "LOADED",
                              "CHANGED",   "POST_CHANGE", "DESTROYING"};
    ASSERT_EQ(QelModel::typeNames(), QelMtypeNames);
    for (int i = PRE_CLEAR; i <= DESTROYING; ++i) EXPECT_STREQ(QelMtypeNames[i], expected[i]);
    EXPECT_EQ(DESTROYING, 6);
}

TEST(ModelTest, RegistrationsAreCountedPerModel) {
    QelModel m1, m2;
    QelModelClient c, stranger;
    c.registerWith(&m1);
    c.registerWith(&m1);
    c.registerWith(&m2);
    EXPECT_EQ(entriesOf(m1, &c), 1);
    EXPECT_EQ(c.getReference(&m1)->references(), 2u);
    // References are kept in model-address order.
    EXPECT_TRUE(std::less<QelModel*>()(c.model(0), c.model(1)));
    EXPECT_THROW(c.model(2), RWBoundsErr);
    EXPECT_EQ(c.modelCount(), 2);  // the failed look-up left the monitor free
    stranger.deregisterFrom(&m1);  // never registered: asks the model, which changes nothing
    c.deregisterFrom(&m1);
    EXPECT_EQ(c.isRegistered(&m1), 1);
    EXPECT_EQ(entriesOf(m1, &c), 1);
    c.deregisterFrom(&m1);
    EXPECT_EQ(c.isRegistered(&m1), 0);
    EXPECT_EQ(m1.dependentCount(), 0);
    // The client half alone leaves the model untouched.
    EXPECT_EQ(c.addModel(&m1), 1);
    EXPECT_EQ(m1.dependentCount(), 0);
    // A model removes only the first entry of a client listed twice.
    m2.addDependent(&stranger);
    m2.addDependent(&c);
    m2.removeDependent(&c);
    EXPECT_EQ(m2.dependent(1), &c);
    m2.removeDependent(&stranger);
}

// Each case: what the first client does from its CHANGED callback, and the logs of that
// notification and of the next one.
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
         "a:CHANGED b:CHANGED c:CHANGED "}};
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
        m.changed(CHANGED);
        EXPECT_EQ(log, tc.first);
        log.clear();
        c[0]->hook = nullptr;
        m.changed(CHANGED);
        EXPECT_EQ(log, tc.second);
    }
}

TEST(ModelTest, DestroyingAndClientDestructionDropEveryRegistration) {
    std::string log;
    QelModel m, other;
    LoggingClient a("a", &log), b("b", &log);
    a.registerWith(&m);
    for (int i = 0; i < 3; ++i) b.registerWith(&m);
    b.registerWith(&other);
    m.changed(DESTROYING);
    EXPECT_EQ(log, "a:DESTROYING b:DESTROYING ");
    EXPECT_EQ(m.dependentCount(), 0);
    EXPECT_EQ(a.isRegistered(&m) + b.isRegistered(&m), 0);
    EXPECT_EQ(entriesOf(other, &b) * b.isRegistered(&other), 1);
    {
        QelModelClient gone;
        for (QelModel* model : {&m, &other, &other}) gone.registerWith(model);
        EXPECT_EQ(other.dependentCount(), 2);
    }
    EXPECT_EQ(m.dependentCount(), 0);
    ASSERT_EQ(other.dependentCount(), 1);
    EXPECT_EQ(other.dependent(0), &b);
}

TEST(ModelTest, ExceptionFromCallbackLeavesModelUnlocked) {
    std::string log;
    QelModel m;
    LoggingClient a("a", &log), b("b", &log);
    a.hook = [](QelModel*, QelModelChangeType) { throw std::runtime_error("callback failed"); };
    a.registerWith(&m);
    b.registerWith(&m);
    EXPECT_THROW(m.changed(CHANGED), std::runtime_error);
    EXPECT_EQ(log, "a:CHANGED ");
    std::thread([&] { EXPECT_EQ(m.dependentCount(), 2); }).join();  // would wait for the lock
}

// A DESTROYING notification on one thread reaches a client whose deregisterAll already runs on
// another: the callback needs the client's monitor while deregisterAll needs the model.
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
    finishWithin(clear, "deregisterAll");
    finishWithin(notify, "changed(DESTROYING)");
    EXPECT_EQ(c.modelCount(), 0);
    EXPECT_EQ(m.dependentCount(), 0);
    EXPECT_EQ(other.dependentCount(), 0);
}

// Counts its callbacks, and those that reach it from a model it is not registered with.
class StressClient : public QelModelClient {
  public:
    ~StressClient() override { deregisterAll(); }
    void updateFrom(QelModel* m, QelModelChangeType type) override {
        calls.fetch_add(1, std::memory_order_relaxed);
        if (isRegistered(m) == 0) strays.fetch_add(1, std::memory_order_relaxed);
        if (type == CHANGED && (++_seen % 8) == 0) {  // count up and down inside the callback
            registerWith(m);
            deregisterFrom(m);
        }
        QelModelClient::updateFrom(m, type);
    }
    static inline std::atomic<long> calls{0}, strays{0};

  private:
    std::atomic<unsigned> _seen{0};  // callbacks arrive from several threads
};

// A callback that deregisters its own client keeps running while another thread destroys the
// client: the destructor waits for it. A callback may also destroy its own client.
class LeavingClient : public QelModelClient {
  public:
    std::promise<void> left;
    ~LeavingClient() override { finishCallbacks(); }
    std::atomic<bool>* returned = nullptr;  // set when the callback is about to return
    bool selfDestruct = false;
    void updateFrom(QelModel* m, QelModelChangeType) override {
        deregisterFrom(m);
        if (selfDestruct) {
            delete this;
            return;
        }
        left.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        selfDestruct = false;  // touches the object after the destroying thread has started
        *returned = true;
    }
};

TEST(ModelTest, DestructionWaitsForCallbacksOnOtherThreads) {
    QelModel m;
    auto* client = new LeavingClient;  // owner: the thread below
    client->registerWith(&m);
    std::atomic<bool> returned{false};
    client->returned = &returned;
    std::future<void> left = client->left.get_future();
    bool returnedBeforeDestroyed = false;
    std::thread destroyer([&] {
        left.wait();
        delete client;
        returnedBeforeDestroyed = returned;
    });
    m.changed(CHANGED);
    destroyer.join();
    EXPECT_TRUE(returnedBeforeDestroyed);

    auto* self = new LeavingClient;  // owner: its own callback
    self->selfDestruct = true;
    self->registerWith(&m);
    m.changed(CHANGED);
    EXPECT_EQ(m.dependentCount(), 0);
}

TEST(ModelTest, StressConcurrentRegistrationNotificationAndDestruction) {
    constexpr int kThreads = 8, kOpsPerThread = 12500, kModels = 4, kMaxClients = 8;
    QelModel models[kModels];
    std::vector<std::vector<std::unique_ptr<StressClient>>> clients(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 rng(1234 + t);
            auto& own = clients[t];
            for (int op = 0; op < kOpsPerThread; ++op) {
                const unsigned r = rng() % 100;
                QelModel* m = &models[rng() % kModels];
                if (own.empty() || (r >= 90 && own.size() < kMaxClients))
                    own.push_back(std::make_unique<StressClient>());
                else if (StressClient& c = *own[rng() % own.size()]; r < 35)
                    c.registerWith(m);
                else if (r < 60)
                    c.deregisterFrom(m);
                else if (r < 78)
                    m->changed(CHANGED);
                else if (r < 80)
                    m->changed(DESTROYING);
                else if (r < 85)
                    c.deregisterAll();
                else
                    own.erase(own.begin() + static_cast<long>(rng() % own.size()));
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_GT(StressClient::calls.load(), 0);
    EXPECT_EQ(StressClient::strays.load(), 0);
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

}  // namespace
