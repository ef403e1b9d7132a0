// SPDX-License-Identifier: GPL-3.0-or-later
// The fit of the FSRS weights to 100,000 answers of a made-up learner, against
// its floor: one replay of the whole log (the fit makes about a thousand
// mini-batch passes of 21-fold derivatives, so it is a few hundred floors).
#include <benchmark/benchmark.h>

#include "core/quiz/fit.h"
#include "support/synthetic_learner.h"

namespace {

using namespace tabinowa;

const std::vector<fsrs::History>& cards() {
    static const auto c = [] {
        testing::SyntheticLearner p;
        p.weights = testing::unusualWeights();
        p.answers = 100000;
        return fsrs::histories(testing::synthesize(p));
    }();
    return c;
}

void BM_FitWeights100k(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(fsrs::fitWeights(cards()));
    state.SetLabel("ours; the FSRS project's optimizer: make bench-fsrs");
}
BENCHMARK(BM_FitWeights100k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Floor_OneReplay100k(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(fsrs::evaluate(cards(), fsrs::kDefaultWeights));
}
BENCHMARK(BM_Floor_OneReplay100k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
