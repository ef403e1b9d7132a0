// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Weights of the FSRS-6 model fitted to one learner's own answers.
//
// Every card's answers are replayed through the model; each answer given on
// a later day than the one before it is a prediction the model made (the
// retrievability at that moment) and an outcome (right = any grade above
// "again"). The fit minimises the mean log loss of those predictions over the
// 21 weights, starting from the published defaults, with Adam on mini-batches
// of cards and exact gradients (forward-mode derivatives through the replay),
// every weight clamped to the range FSRS allows after each step.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/quiz/fsrs.h"

namespace tabinowa::fsrs {

// The range FSRS-6 keeps each weight in (initial stabilities 0.001..100 days,
// difficulty 1..10, the decay w20 0.1..0.8, ...).
inline constexpr std::array<std::pair<double, double>, 21> kWeightRanges = {{
    {0.001, 100}, {0.001, 100}, {0.001, 100}, {0.001, 100},
    {1, 10}, {0.001, 4}, {0.001, 4}, {0.001, 0.75},
    {0, 4.5}, {0, 0.8}, {0.001, 3.5},
    {0.001, 5}, {0.001, 0.25}, {0.001, 0.9}, {0, 4},
    {0, 1}, {1, 6},
    {0, 2}, {0, 2}, {0.01, 0.8}, {0.1, 0.8},
}};

Weights clamped(Weights w);
// Every weight finite and within its range.
bool inRange(const Weights& w);

// The answers a fit needs before it runs: 1,000 answers that the model
// predicted (an answer on a later day than the card's previous one). With 21
// weights that is about 50 predictions a weight, and the share of right
// answers is then known to about ±1 percentage point; below it a fit follows
// the noise of a few cards more than the learner's memory.
inline constexpr int kMinPredictedAnswers = 1000;

struct Review {
    std::int32_t day = 0;
    Grade grade = Grade::Good;
};
// One card's answers in the order given.
using History = std::vector<Review>;

// One row of the answer log as the fit reads it.
struct LoggedAnswer {
    std::int32_t day = 0;
    int outcome = 0;  // 0..3 again..easy; 4, a removal, is no answer
    std::string key;
};
// The log (in the order answered) as one history per card, in order of the
// cards' first answers. Removals are left out.
std::vector<History> histories(const std::vector<LoggedAnswer>& log);

// Answers the model predicts (later day than the card's previous answer).
int predictedAnswers(const std::vector<History>& cards);

struct Metrics {
    double logLoss = 0;   // mean log loss of the predicted recall
    double rmseBins = 0;  // RMSE between predicted and actual recall over 20 bins of predicted recall, weighted by count
    int answers = 0;      // predicted answers
};
Metrics evaluate(const std::vector<History>& cards, const Weights& w);

// The same replay in double precision with derivatives (the fit's own
// function): the mean log loss and its gradient over the 21 weights.
double lossAndGradient(const std::vector<History>& cards, const Weights& w, Weights& gradient);

struct FitOptions {
    int epochs = 5;
    int minSteps = 300;      // at least this many Adam steps (short logs get more epochs)
    int batchSize = 512;     // predicted answers a step
    double learningRate = 0.04;
    unsigned seed = 2024;
    // Called after each step with the share done (0..1); returning false stops the fit.
    std::function<bool(double)> progress;
};

struct FitResult {
    Weights weights = kDefaultWeights;  // what the learner is scheduled with from now on
    Weights fitted = kDefaultWeights;   // what the optimizer reached
    Metrics before;  // the defaults (or the weights the fit started from) on the log
    Metrics after;   // the fitted weights on the same log
    bool enough = false;    // the log reached kMinPredictedAnswers
    bool improved = false;  // the fitted weights predict better (lower log loss): weights == fitted
    bool stopped = false;   // progress() asked to stop
};

// Fits from `start` (the defaults unless said). Keeps `start` when there are
// too few answers or the fit does not lower the log loss.
FitResult fitWeights(const std::vector<History>& cards, const FitOptions& options = {},
                     const Weights& start = kDefaultWeights);

// Weights as text ("w0 w1 … w20", shortest round-trip form) and back; nullopt-like
// empty result (false) when the text is not 21 finite numbers in range.
std::string weightsText(const Weights& w);
bool parseWeights(const std::string& text, Weights& out);

}  // namespace tabinowa::fsrs
