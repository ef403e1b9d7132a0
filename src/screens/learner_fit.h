// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fits the FSRS weights to the learner's answers without holding up the
// window: the log is read on the window's thread in slices of a few
// thousand rows (one slice a tick), the fit runs on a thread of its own with
// a copy of the answers, and its result is committed on the window's thread.
#include <functional>
#include <memory>
#include <string>

#include "core/session/session.h"
#include "ui/background.h"
#include "ui/form.h"

namespace tabinowa {

class LearnerFit {
public:
    // `status` receives the progress and the outcome in Japanese.
    LearnerFit(Session& session, ui::Form& form, std::function<void(const std::string&)> status);
    ~LearnerFit();

    // Starts a fit unless one runs. `automatic`: only when the daily fit is
    // on and none ran today.
    bool start(bool automatic);
    bool running() const;
    // Whether a daily fit is due (on, none today).
    static bool dueToday(Session& session);

    // "対数損失 0.3512　RMSE 1.7％（1,234回）"
    static std::string metricsText(const fsrs::Metrics& m);
    // What the last fit found, for 環境作成.
    static std::string summary(Session& session);

    struct Shared;

private:
    Session& session_;
    std::function<void(const std::string&)> status_;
    std::shared_ptr<Shared> shared_;
    ui::BackgroundTask task_;
};

}  // namespace tabinowa
