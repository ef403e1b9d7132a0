// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/background.h"

#include <QTimer>

#include <thread>

#include "ui/internal.h"

namespace tabinowa::ui {

struct BackgroundTask::Impl {
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    QPointer<QTimer> timer;
    std::function<void()> tick, done;
    bool running = false;

    void join() {
        if (thread.joinable()) thread.join();
        if (timer) {
            timer->stop();
            timer->deleteLater();
        }
        running = false;
    }
};

BackgroundTask::BackgroundTask(Form& form) : form_(form), impl_(std::make_unique<Impl>()) {}

BackgroundTask::~BackgroundTask() { cancel(); }

bool BackgroundTask::running() const { return impl_->running; }

void BackgroundTask::cancel() {
    impl_->stop = true;
    impl_->join();
}

bool BackgroundTask::start(std::function<void(const std::atomic<bool>&)> work, std::function<void()> tick,
                           std::function<void()> done, int tickMs) {
    if (impl_->running) return false;
    Impl& s = *impl_;
    s.stop = false;
    s.finished = false;
    s.tick = std::move(tick);
    s.done = std::move(done);
    QWidget* window = detail::Access::node(form_).widget;
    s.timer = new QTimer(window);
    s.running = true;
    s.thread = std::thread([&s, work = std::move(work)] {
        try {
            work(s.stop);
        } catch (...) {
            // the work reports its own failures through what it leaves for `done`
        }
        s.finished = true;
    });
    QObject::connect(s.timer, &QTimer::timeout, s.timer, [this] {
        Impl& st = *impl_;
        if (!st.finished) {
            if (st.tick) form_.run(st.tick);
            return;
        }
        st.join();
        if (st.done) form_.run(st.done);
    });
    s.timer->start(tickMs);
    return true;
}

}  // namespace tabinowa::ui
