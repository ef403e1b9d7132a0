#pragma once
// Work handed to a second thread at once, which the caller does itself when it
// comes to need the result before that thread has begun: on a busy machine a
// new thread can wait for a core longer than the work takes. Where no thread
// can be started, the caller does it. The work runs once at most; a job
// dropped before its thread began is never run.
//
// Background work (the deck read while the first window is being made) runs
// on a thread of lower priority (core/thread_priority.h); the caller, when it
// does the work itself, keeps its own.
#include <unistd.h>

#include <cstdlib>

#include <atomic>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <system_error>
#include <thread>

#include "core/base/thread_priority.h"

namespace tabinowa {

// Whether a second thread would find a core free: the load average of the
// last minute (which counts the caller) stays below the cores online. On a
// machine kept busy by other programs a new thread waits for a core longer
// than short work takes, and whoever then waits for it loses more than the
// overlap gains.
inline bool aCoreIsIdle() {
    const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    double load = 0;
    if (cores < 2 || ::getloadavg(&load, 1) != 1) return false;
    return load < static_cast<double>(cores);
}

enum class Priority { Normal, Background };

template <class T>
class HandOffJob {
public:
    explicit HandOffJob(std::function<T()> work, Priority priority = Priority::Normal)
        : state_(std::make_shared<State>()) {
        state_->work = std::move(work);
        result_ = state_->promise.get_future();
        try {
            std::thread([s = state_, priority] {
                if (priority == Priority::Background) lowerThisThreadsPriority(kBackgroundNiceness);
                s->run(false);
            }).detach();
        } catch (const std::system_error&) {
        }
    }
    // A thread already at work finishes on its own; nothing waits for it.
    ~HandOffJob() { state_->claimed.exchange(true); }
    HandOffJob(const HandOffJob&) = delete;
    HandOffJob& operator=(const HandOffJob&) = delete;

    // The result, or the work's exception; at most once.
    T get() {
        state_->run(true);
        return result_.get();
    }
    // Whether the work has begun (or is done), here or on the thread.
    bool begun() const { return state_->claimed.load(); }
    // Whether the caller did the work (known once get() returned).
    bool doneByCaller() const { return state_->byCaller; }

private:
    struct State {
        std::atomic<bool> claimed{false};
        bool byCaller = false;
        std::function<T()> work;
        std::promise<T> promise;
        void run(bool caller) {
            if (claimed.exchange(true)) return;
            byCaller = caller;
            try {
                promise.set_value(work());
            } catch (...) {
                promise.set_exception(std::current_exception());
            }
        }
    };
    std::shared_ptr<State> state_;
    std::future<T> result_;
};

}  // namespace tabinowa
