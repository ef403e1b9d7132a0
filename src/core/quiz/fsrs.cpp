// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/quiz/fsrs.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tabinowa::fsrs {

namespace {
double clampDifficulty(double d) { return std::clamp(d, 1.0, 10.0); }
int g(Grade grade) { return static_cast<int>(grade); }
}  // namespace

Scheduler::Scheduler(double desiredRetention, const std::array<double, 21>& weights)
    : w_(weights), retention_(desiredRetention) {
    // The bounds are compared with a little slack so that 0.8 and 0.97 typed by the learner pass.
    if (!(desiredRetention >= kMinRetention - 1e-9 && desiredRetention <= kMaxRetention + 1e-9))
        throw std::invalid_argument("desired retention outside 0.80..0.97");
    decay_ = -w_[20];
    factor_ = std::pow(0.9, 1.0 / decay_) - 1.0;
}

double Scheduler::retrievability(double elapsedDays, double stability) const {
    return std::pow(1.0 + factor_ * elapsedDays / stability, decay_);
}

double Scheduler::initialDifficulty(Grade grade) const {
    return w_[4] - std::exp(w_[5] * (g(grade) - 1)) + 1.0;
}

State Scheduler::first(Grade grade) const {
    return {std::max(w_[g(grade) - 1], kMinStability), clampDifficulty(initialDifficulty(grade))};
}

State Scheduler::next(const State& s, int elapsedDays, Grade grade) const {
    if (!s.graded()) return first(grade);
    const double S = s.stability;
    const double D = s.difficulty;

    // Difficulty: a step by the grade, damped towards 10, then a pull back
    // towards the difficulty of a first "easy".
    const double delta = -w_[6] * (g(grade) - 3);
    const double damped = D + delta * (10.0 - D) / 9.0;
    const double nextD = clampDifficulty(w_[7] * initialDifficulty(Grade::Easy) + (1.0 - w_[7]) * damped);

    double nextS;
    if (elapsedDays <= 0) {
        double inc = std::exp(w_[17] * (g(grade) - 3 + w_[18])) * std::pow(S, -w_[19]);
        if (g(grade) >= 3) inc = std::max(inc, 1.0);
        nextS = S * inc;
    } else {
        const double R = retrievability(elapsedDays, S);
        if (grade == Grade::Again) {
            const double longTerm = w_[11] * std::pow(D, -w_[12]) * (std::pow(S + 1.0, w_[13]) - 1.0) *
                                    std::exp(w_[14] * (1.0 - R));
            const double shortTerm = S / std::exp(w_[17] * w_[18]);
            nextS = std::min(longTerm, shortTerm);
        } else {
            const double hard = grade == Grade::Hard ? w_[15] : 1.0;
            const double easy = grade == Grade::Easy ? w_[16] : 1.0;
            nextS = S * (1.0 + std::exp(w_[8]) * (11.0 - D) * std::pow(S, -w_[9]) *
                                   (std::exp(w_[10] * (1.0 - R)) - 1.0) * hard * easy);
        }
    }
    return {std::max(nextS, kMinStability), nextD};
}

int Scheduler::intervalDays(double stability) const {
    const double days = stability / factor_ * (std::pow(retention_, 1.0 / decay_) - 1.0);
    const double rounded = std::round(days);
    return static_cast<int>(std::clamp(rounded, 1.0, static_cast<double>(kMaximumInterval)));
}

std::array<Scheduler::Outcome, 4> Scheduler::schedule(const State& s, int elapsedDays) const {
    std::array<Outcome, 4> out;
    for (int i = 0; i < 4; ++i) {
        const auto grade = static_cast<Grade>(i + 1);
        auto& o = out[static_cast<std::size_t>(i)];
        o.state = s.graded() ? next(s, std::max(0, elapsedDays), grade) : first(grade);
        o.days = intervalDays(o.state.stability);
    }
    // Rounded to whole days, "hard" may come out no later than "again" (a
    // new question: 0.2 and 1.2 days are both one day), or a same-day answer
    // may bring every grade to one day; a better grade always waits longer.
    for (std::size_t i = 1; i < 4; ++i)
        out[i].days = std::min(std::max(out[i].days, out[i - 1].days + 1), kMaximumInterval);
    return out;
}

}  // namespace tabinowa::fsrs
