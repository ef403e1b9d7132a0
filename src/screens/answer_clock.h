// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How long the learner took over a question: from the moment it was shown
// to the answer, for the log of answers.
#include <chrono>
#include <optional>

namespace tabinowa {

class AnswerClock {
public:
    void start() { shown_ = std::chrono::steady_clock::now(); }
    // Seconds since start(); none before the first start.
    std::optional<double> seconds() const {
        if (!shown_) return std::nullopt;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - *shown_).count();
    }

private:
    std::optional<std::chrono::steady_clock::time_point> shown_;
};

}  // namespace tabinowa
