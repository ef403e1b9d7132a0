// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Work that takes seconds (the fit of the learner's weights) on a thread of
// its own, so that the window it belongs to keeps drawing and answering.
// The window's thread looks at it on a timer: `tick` while it runs (to show
// its progress), `done` once when it has ended; both run inside the window's
// guard. The work must not touch the window or the session: it gets its
// input copied and leaves its result for `done` to take.
#include <atomic>
#include <functional>
#include <memory>

#include "ui/form.h"

namespace tabinowa::ui {

class BackgroundTask {
public:
    explicit BackgroundTask(Form& form);
    // Asks a running work to stop and waits for it (its `done` is not called).
    ~BackgroundTask();
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    // Starts `work(stop)` unless one runs already (false then). `work` should
    // return soon once `stop` is set.
    bool start(std::function<void(const std::atomic<bool>& stop)> work, std::function<void()> tick,
               std::function<void()> done, int tickMs = 100);
    bool running() const;
    // Sets the stop flag and waits for the work to end; `done` is not called.
    void cancel();

    struct Impl;

private:
    Form& form_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tabinowa::ui
