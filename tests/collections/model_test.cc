#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
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

// Records each callback as "name:TYPE" and runs an optional hook before the default handling.
class LoggingClient : public QelModelClient {
  public:
    LoggingClient(std::string name, std::vector<std::string>* log)
        : _name(std::move(name)), _log(log) {}
    ~LoggingClient() override { deregisterAll(); }

    void updateFrom(QelModel* m, QelModelChangeType type) override {
        _log->push_back(_name + ":" + QelModel::typeNames()[type]);
        if (hook) hook(m, type);
        QelModelClient::updateFrom(m, type);
    }

    std::function<void(QelModel*, QelModelChangeType)> hook;

  private:
    std::string _name;
    std::vector<std::string>* _log;
};

// Occurrences of `c` in the dependents of `m`.
int entriesOf(QelModel& m, QelModelClient* c) {
    int n = 0;
    for (int i = 0; i < m.dependentCount(); ++i) n += m.dependent(i) == c ? 1 : 0;
    return n;
}

// Fails loudly instead of hanging the suite when `work` does not finish in time.
void finishWithin(std::future<void>& work, std::chrono::seconds limit, const char* what) {
    if (work.wait_for(limit) != std::future_status::ready) {
        std::fprintf(stderr, "%s did not finish: deadlock\n", what);
        std::abort();
    }
    work.get();
}

TEST(ModelTest, TypeNamesHoldTheExactTexts) {
    const char* expected[] = {"PRE_CLEAR", "CLEARED",     "PRE_CHANGE", "LOADED",
                              "CHANGED",   "POST_CHANGE", "DESTROYING"};
    const QelModelChangeType types[] = {PRE_CLEAR, CLEARED,     PRE_CHANGE, LOADED,
                                        CHANGED,   POST_CHANGE, DESTROYING};
    ASSERT_EQ(QelModel::typeNames(), QelMtypeNames);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(static_cast<int>(types[i]), i);
        EXPECT_STREQ(QelModel::typeNames()[types[i]], expected[i]);
    }
}

TEST(ModelTest, RegistrationsAreCountedPerModel) {
    QelModel m1, m2;
    QelModelClient c;
    c.registerWith(&m1);
    c.registerWith(&m1);
    c.registerWith(&m2);
    EXPECT_EQ(entriesOf(m1, &c), 1);
    EXPECT_EQ(c.getReference(&m1)->references(), 2u);
    EXPECT_EQ(c.modelCount(), 2);
    // References are kept in model-address order.
    EXPECT_TRUE(std::less<QelModel*>()(c.model(0), c.model(1)));
    EXPECT_THROW(c.model(2), RWBoundsErr);
    EXPECT_EQ(c.modelCount(), 2);  // the failed look-up left the monitor free

    c.deregisterFrom(&m1);
    EXPECT_EQ(c.isRegistered(&m1), 1);
    EXPECT_EQ(entriesOf(m1, &c), 1);
    c.deregisterFrom(&m1);
    EXPECT_EQ(c.isRegistered(&m1), 0);
    EXPECT_EQ(m1.dependentCount(), 0);
    EXPECT_EQ(c.modelCount(), 1);

    // The client halves alone leave the model untouched.
    EXPECT_EQ(c.addModel(&m1), 1);
    EXPECT_EQ(c.addModel(&m1), 2);
    EXPECT_EQ(m1.dependentCount(), 0);
    EXPECT_EQ(c.removeModel(&m1), 1);
    EXPECT_EQ(c.removeModel(&m1), 0);
    EXPECT_EQ(c.removeModel(&m1), 0);
    EXPECT_EQ(c.isRegistered(&m1), 0);
}

TEST(ModelTest, RemoveDependentTakesOnlyTheFirstEntry) {
    QelModel m;
    QelModelClient a, b, stranger;
    m.addDependent(&a);
    m.addDependent(&b);
    m.addDependent(&a);
    stranger.deregisterFrom(&m);  // never registered: asks the model, which changes nothing
    m.removeDependent(nullptr);
    EXPECT_EQ(m.dependentCount(), 3);
    m.removeDependent(&a);
    ASSERT_EQ(m.dependentCount(), 2);
    EXPECT_EQ(m.dependent(0), &b);
    EXPECT_EQ(m.dependent(1), &a);
    m.removeDependent(&a);
    m.removeDependent(&b);
}

// Each case: what the first client's hook does on CHANGED, and the log of two notifications.
TEST(ModelTest, CallbacksMayChangeTheDependentsOfTheNotifyingModel) {
    struct Case {
        const char* what;
        std::function<void(QelModel&, LoggingClient& self, LoggingClient& b, LoggingClient& c,
                           LoggingClient& d)>
            act;
        std::vector<std::string> first, second;
    };
    const std::vector<Case> cases = {
        {"self deregisters",
         [](QelModel& m, LoggingClient& a, LoggingClient&, LoggingClient&, LoggingClient&) {
             a.deregisterFrom(&m);
         },
         {"a:CHANGED", "b:CHANGED", "c:CHANGED"},
         {"b:CHANGED", "c:CHANGED"}},
        {"removes a later client",
         [](QelModel& m, LoggingClient&, LoggingClient&, LoggingClient& c, LoggingClient&) {
             c.deregisterFrom(&m);
         },
         {"a:CHANGED", "b:CHANGED"},
         {"a:CHANGED", "b:CHANGED"}},
        {"registers another client",
         [](QelModel& m, LoggingClient&, LoggingClient&, LoggingClient&, LoggingClient& d) {
             d.registerWith(&m);
         },
         {"a:CHANGED", "b:CHANGED", "c:CHANGED"},
         {"a:CHANGED", "b:CHANGED", "c:CHANGED", "d:CHANGED"}},
        {"re-registers itself",
         [](QelModel& m, LoggingClient& a, LoggingClient&, LoggingClient&, LoggingClient&) {
             a.deregisterFrom(&m);
             a.registerWith(&m);
         },
         {"a:CHANGED", "b:CHANGED", "c:CHANGED"},
         {"b:CHANGED", "c:CHANGED", "a:CHANGED"}},
        {"nested notification",
         [](QelModel& m, LoggingClient&, LoggingClient&, LoggingClient&, LoggingClient&) {
             m.changed(LOADED);
         },
         {"a:CHANGED", "a:LOADED", "b:LOADED", "c:LOADED", "b:CHANGED", "c:CHANGED"},
         {"a:CHANGED", "b:CHANGED", "c:CHANGED"}},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.what);
        std::vector<std::string> log;
        QelModel m;
        LoggingClient a("a", &log), b("b", &log), c("c", &log), d("d", &log);
        a.hook = [&](QelModel* from, QelModelChangeType type) {
            if (type == CHANGED) tc.act(*from, a, b, c, d);
        };
        a.registerWith(&m);
        b.registerWith(&m);
        c.registerWith(&m);
        m.changed(CHANGED);
        EXPECT_EQ(log, tc.first);
        log.clear();
        a.hook = nullptr;
        m.changed(CHANGED);
        EXPECT_EQ(log, tc.second);
    }
}

TEST(ModelTest, ClientDestroyedByEarlierCallbackIsSkipped) {
    std::vector<std::string> log;
    QelModel m;
    LoggingClient a("a", &log);
    auto b = std::make_unique<LoggingClient>("b", &log);
    LoggingClient c("c", &log);
    a.hook = [&](QelModel*, QelModelChangeType) { b.reset(); };
    a.registerWith(&m);
    b->registerWith(&m);
    c.registerWith(&m);
    m.changed(PRE_CHANGE);
    EXPECT_EQ(log, (std::vector<std::string>{"a:PRE_CHANGE", "c:PRE_CHANGE"}));
    EXPECT_EQ(m.dependentCount(), 2);
}

TEST(ModelTest, DestroyingDropsEveryClientWhateverItsCount) {
    std::vector<std::string> log;
    QelModel m, other;
    LoggingClient a("a", &log), b("b", &log);
    a.registerWith(&m);
    b.registerWith(&m);
    b.registerWith(&m);
    b.registerWith(&m);
    b.registerWith(&other);
    m.changed(DESTROYING);
    EXPECT_EQ(log, (std::vector<std::string>{"a:DESTROYING", "b:DESTROYING"}));
    EXPECT_EQ(m.dependentCount(), 0);
    EXPECT_EQ(a.isRegistered(&m) + b.isRegistered(&m), 0);
    EXPECT_EQ(b.isRegistered(&other), 1);
    EXPECT_EQ(entriesOf(other, &b), 1);
}

TEST(ModelTest, DestroyedClientLeavesEveryModel) {
    QelModel m1, m2, m3;
    QelModelClient stays;
    stays.registerWith(&m2);
    {
        QelModelClient c;
        c.registerWith(&m1);
        c.registerWith(&m2);
        c.registerWith(&m2);
        c.registerWith(&m3);
        EXPECT_EQ(m2.dependentCount(), 2);
    }
    EXPECT_EQ(m1.dependentCount(), 0);
    ASSERT_EQ(m2.dependentCount(), 1);
    EXPECT_EQ(m2.dependent(0), &stays);
    EXPECT_EQ(m3.dependentCount(), 0);
}

TEST(ModelTest, ExceptionFromCallbackLeavesModelUnlocked) {
    std::vector<std::string> log;
    QelModel m;
    LoggingClient a("a", &log), b("b", &log);
    a.hook = [](QelModel*, QelModelChangeType) { throw std::runtime_error("callback failed"); };
    a.registerWith(&m);
    b.registerWith(&m);
    EXPECT_THROW(m.changed(CHANGED), std::runtime_error);
    EXPECT_EQ(log, std::vector<std::string>{"a:CHANGED"});
    // Another thread gets the model's lock at once.
    std::future<void> other =
        std::async(std::launch::async, [&] { EXPECT_EQ(m.dependentCount(), 2); });
    finishWithin(other, std::chrono::seconds(20), "dependentCount on another thread");
}

TEST(ModelTest, ReferenceCountsAndComparesByModel) {
    QelModel models[2];
    QelModelReference low(&models[0]), high(&models[1]), same(&models[0]);
    EXPECT_EQ(low.references(), 0u);
    EXPECT_EQ(low.addReference(), 1u);
    EXPECT_EQ(low.addReference(), 2u);
    EXPECT_EQ(low.removeReference(), 1u);
    EXPECT_EQ(same.removeReference(), UINT_MAX);
    EXPECT_LT(low.compareTo(&high), 0);
    EXPECT_GT(high.compareTo(&low), 0);
    EXPECT_EQ(low.compareTo(&same), 0);
    EXPECT_TRUE(low.isEqual(&same));
    EXPECT_FALSE(low.isEqual(&high));
    EXPECT_EQ(high.model(), &models[1]);
}

// A DESTROYING notification on one thread reaches a client whose deregisterAll already runs on
// another: the callback needs the client's monitor while deregisterAll needs the model.
TEST(ModelTest, DeregisterAllDuringForeignNotificationDoesNotDeadlock) {
    std::vector<std::string> log;
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
    finishWithin(clear, std::chrono::seconds(30), "deregisterAll");
    finishWithin(notify, std::chrono::seconds(30), "changed(DESTROYING)");
    EXPECT_EQ(c.modelCount(), 0);
    EXPECT_EQ(m.dependentCount(), 0);
    EXPECT_EQ(other.dependentCount(), 0);
}

// Clients check on every callback that they are alive and registered with the notifying model.
class StressClient : public QelModelClient {
  public:
    static constexpr std::uint32_t kAlive = 0x600dC0DE;
    ~StressClient() override {
        deregisterAll();
        _magic = 0;
    }
    void updateFrom(QelModel* m, QelModelChangeType type) override {
        calls.fetch_add(1, std::memory_order_relaxed);
        if (_magic.load() != kAlive || isRegistered(m) == 0) {
            strays.fetch_add(1, std::memory_order_relaxed);
        }
        if (type == CHANGED && (++_seen % 8) == 0) {  // count up and down inside the callback
            registerWith(m);
            deregisterFrom(m);
        }
        QelModelClient::updateFrom(m, type);
    }
    static std::atomic<long> calls;
    static std::atomic<long> strays;

  private:
    std::atomic<std::uint32_t> _magic{kAlive};
    std::atomic<unsigned> _seen{0};
};
std::atomic<long> StressClient::calls{0};
std::atomic<long> StressClient::strays{0};

TEST(ModelTest, StressConcurrentRegistrationNotificationAndDestruction) {
    constexpr int kThreads = 8, kOpsPerThread = 12500, kModels = 4, kMaxClients = 8;
    StressClient::calls = 0;
    StressClient::strays = 0;
    QelModel models[kModels];
    std::vector<std::vector<std::unique_ptr<StressClient>>> clients(kThreads);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
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
                if (r < 35) {
                    c.registerWith(m);
                } else if (r < 60) {
                    c.deregisterFrom(m);
                } else if (r < 78) {
                    m->changed(CHANGED);
                } else if (r < 80) {
                    m->changed(DESTROYING);
                } else if (r < 85) {
                    c.deregisterAll();
                } else {
                    own.erase(own.begin() + static_cast<long>(rng() % own.size()));
                }
            }
        });
    }
    for (std::thread& th : threads) th.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("stress: %d operations in %.2f s, %ld callbacks\n", kThreads * kOpsPerThread,
                seconds, StressClient::calls.load());
    EXPECT_LT(seconds, 60.0);
    EXPECT_GT(StressClient::calls.load(), 0);
    EXPECT_EQ(StressClient::strays.load(), 0);

    // A client is listed once exactly while it holds a reference for the model.
    for (QelModel& m : models) {
        int registered = 0;
        for (auto& own : clients) {
            for (auto& c : own) {
                EXPECT_EQ(entriesOf(m, c.get()), c->isRegistered(&m));
                registered += c->isRegistered(&m);
            }
        }
        EXPECT_EQ(m.dependentCount(), registered);
    }
    clients.clear();
    for (QelModel& m : models) EXPECT_EQ(m.dependentCount(), 0);
}

}  // namespace
