// SPDX-License-Identifier: GPL-3.0-or-later
// Our fit of the FSRS weights beside the FSRS project's own optimizer (run
// by bench/fsrs_reference/compare.mjs under Node): this program makes the
// logs of made-up learners, fits them, and writes for each log its cards
// (ratings and days between answers) and our weights, time and metrics.
//   tabinowa-fit-compare OUT_DIR
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/quiz/fit.h"
#include "support/synthetic_learner.h"

using namespace tabinowa;

namespace {

struct Log {
    const char* name;
    testing::SyntheticLearner learner;
};

std::string weightsJson(const fsrs::Weights& w) {
    std::string out = "[";
    char buf[40];
    for (std::size_t i = 0; i < w.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%s%.17g", i ? "," : "", w[i]);
        out += buf;
    }
    return out + "]";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);

    std::vector<Log> logs;
    auto add = [&](const char* name, const fsrs::Weights& w, int answers, unsigned seed, double hardEasy) {
        Log l{name, {}};
        l.learner.weights = w;
        l.learner.answers = answers;
        l.learner.seed = seed;
        (void)hardEasy;
        logs.push_back(l);
    };
    add("defaults-20k", fsrs::kDefaultWeights, 20000, 1, 0);
    add("unusual-20k", testing::unusualWeights(), 20000, 2, 0);
    add("unusual-3k", testing::unusualWeights(), 3000, 3, 0);
    add("defaults-100k", fsrs::kDefaultWeights, 100000, 4, 0);
    add("unusual-100k", testing::unusualWeights(), 100000, 5, 0);

    std::ofstream index(dir / "logs.txt");
    for (const Log& l : logs) {
        auto log = testing::synthesize(l.learner);
        const auto cards = fsrs::histories(log);
        const auto t0 = std::chrono::steady_clock::now();
        const auto fit = fsrs::fitWeights(cards);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const auto truth = fsrs::evaluate(cards, l.learner.weights);

        std::ofstream c(dir / (std::string(l.name) + ".cards.json"));
        c << "[";
        for (std::size_t i = 0; i < cards.size(); ++i) {
            c << (i ? ",\n[" : "[");
            for (std::size_t k = 0; k < cards[i].size(); ++k)
                c << (k ? "," : "") << "[" << static_cast<int>(cards[i][k].grade) << ","
                  << (k ? cards[i][k].day - cards[i][k - 1].day : 0) << "]";
            c << "]";
        }
        c << "]\n";
        std::ofstream o(dir / (std::string(l.name) + ".ours.json"));
        o << "{\"answers\":" << log.size() << ",\"seconds\":" << seconds << ",\"weights\":" << weightsJson(fit.fitted)
          << ",\"truth\":" << weightsJson(l.learner.weights) << ",\"logLoss\":" << fit.after.logLoss
          << ",\"rmseBins\":" << fit.after.rmseBins << ",\"truthLogLoss\":" << truth.logLoss
          << ",\"defaultsLogLoss\":" << fit.before.logLoss << "}\n";
        index << l.name << "\n";
        std::printf("%-14s %7zu answers  ours %.4f (truth %.4f, defaults %.4f)  %.2f s\n", l.name, log.size(),
                    fit.after.logLoss, truth.logLoss, fit.before.logLoss, seconds);
        std::fflush(stdout);
    }
    return 0;
}
