// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A made-up learner whose memory follows FSRS-6 with known weights: each day
// new cards are learnt and due ones are answered a little early or late
// (so the recall at each answer varies), each answer right with the model's
// recall, graded hard, good or easy when right; a card answered wrong is
// often tried again the same day. Used by the fit's tests and benchmarks.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/quiz/fit.h"

namespace tabinowa::testing {

struct SyntheticLearner {
    fsrs::Weights weights = fsrs::kDefaultWeights;
    double retention = 0.9;
    int answers = 20000;       // stop once this many answers were given
    int newPerDay = 20;
    double timingSpread = 0.6; // answers fall at interval × (1 - spread/2 .. 1 + spread/2)
    double retryAfterWrong = 0.5;
    unsigned seed = 7;
};

// The answers as the log would hold them (day, outcome 0..3, key).
inline std::vector<fsrs::LoggedAnswer> synthesize(const SyntheticLearner& p) {
    struct Live {
        fsrs::State state;
        std::int32_t last = 0;
        std::int32_t due = 0;
    };
    std::mt19937_64 rng(p.seed);
    std::uniform_real_distribution<double> u(0, 1);
    const fsrs::Scheduler truth(p.retention, p.weights);
    std::vector<Live> cards;
    std::vector<fsrs::LoggedAnswer> log;
    log.reserve(static_cast<std::size_t>(p.answers) + 64);
    auto gradeWhenRight = [&] {
        const double x = u(rng);
        return x < 0.15 ? fsrs::Grade::Hard : x < 0.9 ? fsrs::Grade::Good : fsrs::Grade::Easy;
    };
    auto answer = [&](std::size_t i, std::int32_t day, fsrs::Grade g) {
        Live& c = cards[i];
        c.state = c.state.graded() ? truth.next(c.state, day - c.last, g) : truth.first(g);
        c.last = day;
        const double spread = 1 + p.timingSpread * (u(rng) - 0.5);
        const int interval = truth.intervalDays(c.state.stability);
        c.due = day + std::max(1, static_cast<int>(std::lround(interval * spread)));
        log.push_back({day, static_cast<int>(g) - 1, "card" + std::to_string(i)});
    };
    for (std::int32_t day = 20000; static_cast<int>(log.size()) < p.answers; ++day) {
        std::vector<std::size_t> due;
        for (std::size_t i = 0; i < cards.size(); ++i)
            if (cards[i].due <= day) due.push_back(i);
        for (std::size_t i : due) {
            const double r = truth.retrievability(day - cards[i].last, cards[i].state.stability);
            const bool right = u(rng) < r;
            answer(i, day, right ? gradeWhenRight() : fsrs::Grade::Again);
            if (!right && u(rng) < p.retryAfterWrong) answer(i, day, fsrs::Grade::Good);
        }
        for (int k = 0; k < p.newPerDay; ++k) {
            cards.emplace_back();
            const double x = u(rng);
            const auto g = x < 0.25 ? fsrs::Grade::Again : x < 0.4 ? fsrs::Grade::Hard
                         : x < 0.9 ? fsrs::Grade::Good : fsrs::Grade::Easy;
            answer(cards.size() - 1, day, g);
        }
    }
    return log;
}

// A learner unlike the defaults: memories that last longer, forgetting that is steeper.
inline fsrs::Weights unusualWeights() {
    fsrs::Weights w = fsrs::kDefaultWeights;
    w[0] = 0.8; w[1] = 2.5; w[2] = 6.0; w[3] = 9.0;
    w[4] = 6.0; w[8] = 1.9; w[10] = 1.4; w[11] = 1.2; w[20] = 0.45;
    return w;
}

}  // namespace tabinowa::testing
