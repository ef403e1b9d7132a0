// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The review scheduler: the FSRS-6 memory model (difficulty, stability,
// retrievability) with its published default weights, counted in whole days.
// A question's state after each graded answer gives the days until it is due
// again for the desired retention (0.80 to 0.97, 0.9 unless the learner sets it).
#include <array>

namespace tabinowa::fsrs {

enum class Grade { Again = 1, Hard = 2, Good = 3, Easy = 4 };

using Weights = std::array<double, 21>;

// The 21 published default weights of FSRS-6 (w0 … w20).
inline constexpr Weights kDefaultWeights = {
    0.2172, 1.1771, 3.2602, 16.1507, 7.0114, 0.57,   2.0966, 0.0069, 1.5261, 0.112,  1.0178,
    1.849,  0.1133, 0.3127, 2.2934,  0.2191, 3.0004, 0.7536, 0.3332, 0.1437, 0.2};

inline constexpr double kDefaultRetention = 0.9;
inline constexpr double kMinRetention = 0.80;
inline constexpr double kMaxRetention = 0.97;
inline constexpr int kMaximumInterval = 36500;  // days
inline constexpr double kMinStability = 0.001;

// A question's memory: stability in days (the time for recall to fall to
// 90 %) and difficulty 1..10. A stability of 0 means never graded.
struct State {
    double stability = 0;
    double difficulty = 0;
    bool graded() const { return stability > 0; }
};

class Scheduler {
public:
    // Throws std::invalid_argument for a retention outside 0.80..0.97.
    explicit Scheduler(double desiredRetention = kDefaultRetention,
                       const std::array<double, 21>& weights = kDefaultWeights);

    double desiredRetention() const { return retention_; }

    // Probability of recall `elapsedDays` after the last answer.
    double retrievability(double elapsedDays, double stability) const;
    // The state after the first answer.
    State first(Grade g) const;
    // The state after an answer `elapsedDays` whole days after the last one;
    // 0 days is an answer on the same day (the short-term formula).
    State next(const State& s, int elapsedDays, Grade g) const;
    // Whole days until the next review, 1..36500.
    int intervalDays(double stability) const;

    // What each grade would do to a question in state `s` answered
    // `elapsedDays` after its last answer (the first answer when `s` is not
    // graded): the new state and the days until it is due, by grade
    // (again, hard, good, easy). The days never fall with a better grade and
    // rise by at least one from grade to grade below the maximum interval,
    // so the four grades always mean four different waits.
    struct Outcome {
        State state;
        int days = 1;
    };
    std::array<Outcome, 4> schedule(const State& s, int elapsedDays) const;

    double initialDifficulty(Grade g) const;  // unclamped D0(G)

private:
    std::array<double, 21> w_;
    double retention_;
    double decay_;   // -w20
    double factor_;  // 0.9^(1/decay) - 1
};

}  // namespace tabinowa::fsrs
