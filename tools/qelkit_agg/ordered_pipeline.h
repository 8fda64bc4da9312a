// SPDX-License-Identifier: Apache-2.0
// runOrdered: work cut into jobs that several threads do at once, whose results are taken in
// the order the jobs were made. qelkit-agg groups the chunks of its input this way, and formats
// the blocks of its output lines.
//
// There is no thread of its own for any step: a thread that is free takes the next result in
// order if it is ready and nobody is taking one, else makes the next job if the window has room
// and nobody is making one, and does that job. So a slow job never holds the others up beyond
// the window, making a job (reading a stream) overlaps with the work, and the steps run outside
// the pipeline's lock.
//
// Thread-safety: `produce` is called by one thread at a time, and so is `consume`, in job order;
// `work` runs on several threads at once. Each step's effects are visible to the next call of
// any step (they are ordered by the pipeline's mutex).
// Failure: the first exception thrown by a step stops the run (no job is made after it, results
// not yet taken are dropped) and is thrown again by runOrdered once every thread has ended. A
// thread that cannot start is an AggError.
#ifndef QELKIT_TOOLS_QELKIT_AGG_ORDERED_PIPELINE_H
#define QELKIT_TOOLS_QELKIT_AGG_ORDERED_PIPELINE_H

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/qelkit_agg/agg_error.h"

template <typename Job, typename Result>
struct OrderedSteps {
    // Makes the next job in `job`; false when there are no more.
    std::function<bool(Job&)> produce;
    // Does a job.
    std::function<Result(Job&)> work;
    // Takes the next result in job order; false stops the run.
    std::function<bool(Result&)> consume;
};

namespace qelkit_agg_detail {

template <typename Job, typename Result>
class OrderedRun {
  public:
    OrderedRun(const OrderedSteps<Job, Result>& steps, std::size_t window)
        : _steps(steps), _window(window) {}

    // One thread's part: consume, or produce and work, until the run is over.
    void serve() {
        std::unique_lock<std::mutex> lock(_mutex);
        try {
            while (!_stop && !(_ended && _consumed == _made)) {
                if (!consumeNext(lock) && !produceAndWork(lock)) _changed.wait(lock);
            }
        } catch (...) {
            if (!lock.owns_lock()) lock.lock();
            fail(std::current_exception());
        }
    }
    void fail(std::exception_ptr failure) {
        if (!_failure) _failure = std::move(failure);
        _stop = true;
        _changed.notify_all();
    }
    std::mutex& mutex() noexcept { return _mutex; }
    std::exception_ptr failure() const noexcept { return _failure; }

  private:
    // Takes the next result if it is ready and nobody else is taking one.
    bool consumeNext(std::unique_lock<std::mutex>& lock) {
        const auto it = _ready.find(_consumed);
        if (_consuming || it == _ready.end()) return false;
        Result result = std::move(it->second);
        _ready.erase(it);
        _consuming = true;
        lock.unlock();
        const bool go = _steps.consume(result);
        lock.lock();
        _consuming = false;
        ++_consumed;
        if (!go) _stop = true;
        _changed.notify_all();
        return true;
    }
    // Makes the next job if the window has room and nobody else is making one, then does it.
    bool produceAndWork(std::unique_lock<std::mutex>& lock) {
        if (_producing || _ended || _made >= _consumed + _window) return false;
        _producing = true;
        lock.unlock();
        Job job{};
        const bool made = _steps.produce(job);
        lock.lock();
        _producing = false;
        _changed.notify_all();
        if (!made) {
            _ended = true;
            return true;
        }
        const std::size_t seq = _made++;
        lock.unlock();
        Result result = _steps.work(job);
        lock.lock();
        _ready.emplace(seq, std::move(result));
        return true;
    }

    const OrderedSteps<Job, Result>& _steps;
    const std::size_t _window;
    std::mutex _mutex;
    std::condition_variable _changed;
    std::map<std::size_t, Result> _ready;  // results done, by job number
    std::size_t _made = 0;                 // jobs made so far
    std::size_t _consumed = 0;             // results taken so far
    bool _producing = false;
    bool _consuming = false;
    bool _ended = false;  // produce had no more
    bool _stop = false;
    std::exception_ptr _failure;
};

}  // namespace qelkit_agg_detail

// Runs `steps` on `threads` threads (at least 1), the calling one included, with at most
// `window` jobs made whose results were not yet taken; the window is never smaller than the
// number of threads. Returns when every result was taken or the run stopped.
template <typename Job, typename Result>
void runOrdered(unsigned threads, std::size_t window, const OrderedSteps<Job, Result>& steps) {
    threads = std::max(1u, threads);
    qelkit_agg_detail::OrderedRun<Job, Result> run(steps, std::max<std::size_t>(window, threads));
    std::vector<std::thread> helpers;
    try {
        for (unsigned i = 1; i < threads; ++i) helpers.emplace_back([&run] { run.serve(); });
    } catch (const std::exception& e) {
        const std::lock_guard<std::mutex> lock(run.mutex());
        run.fail(std::make_exception_ptr(AggError(
            "only " + std::to_string(helpers.size() + 1) + " of " + std::to_string(threads) +
            " threads could start (" + e.what() + "): give fewer --jobs")));
    }
    run.serve();
    for (std::thread& t : helpers) t.join();
    if (run.failure()) std::rethrow_exception(run.failure());
}

#endif  // QELKIT_TOOLS_QELKIT_AGG_ORDERED_PIPELINE_H
