// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How long the learner took over a question: from the moment it was shown
// to the answer, for the log of answers. Windows where the learner first asks
// for the answer and judges afterwards also keep the time to recall: from
// the question shown to the answer asked for.
#include <chrono>
#include <optional>

namespace tabinowa {

class AnswerClock {
public:
    // A question on screen: the clock runs from now, no answer asked for yet.
    void start() {
        shown_ = std::chrono::steady_clock::now();
        answered_.reset();
    }
    // Seconds since start(); none before the first start.
    std::optional<double> seconds() const {
        if (!shown_) return std::nullopt;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - *shown_).count();
    }
    // The answer was asked for: the time to recall ends here.
    void answerAsked() {
        if (shown_) answered_ = std::chrono::steady_clock::now();
    }
    // Seconds from start() to answerAsked(); none while no answer was asked
    // for since the question came (or since forgetAnswer()).
    std::optional<double> recallSeconds() const {
        if (!shown_ || !answered_) return std::nullopt;
        return std::chrono::duration<double>(*answered_ - *shown_).count();
    }
    // The time to recall was used (the verdict taken): none until the next ask.
    void forgetAnswer() { answered_.reset(); }

private:
    std::optional<std::chrono::steady_clock::time_point> shown_;
    std::optional<std::chrono::steady_clock::time_point> answered_;
};

}  // namespace tabinowa
