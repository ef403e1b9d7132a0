// The deck build over a 20,000-record question file against the floor of
// reading the same file sequentially into memory, in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

#include "files/io.h"
#include "files/records.h"
#include "quiz/deck.h"
#include "support/temp_folder.h"

using namespace tabinowa;

namespace {

struct Bank {
    testing::TempProgramFolder folder;
    Bank() {
        std::string bytes;
        Mondai m;
        m.Mondai1 = "【読み】";
        m.Mondai2 = "札幌市の読みは？";
        for (int i = 1; i <= 20000; ++i) {
            m.InyoNo = static_cast<std::int16_t>(i % 30000);
            m.Syokyo = static_cast<std::int16_t>(i % 7 == 0);
            bytes += m.encode("bench");
        }
        testing::writeBytes(folder.folders().questionRecords(), bytes);
    }
};

Bank& bank() {
    static Bank b;
    return b;
}

void BM_DeckBuild(benchmark::State& state) {
    PosixIo io;
    MtRandom random;
    QuestionDeck deck;
    for (auto _ : state) {
        deck.build(io, bank().folder.folders(), random);
        benchmark::DoNotOptimize(deck.deckLength);
    }
}

void BM_SequentialRead(benchmark::State& state) {
    PosixIo io;
    for (auto _ : state) {
        std::string bytes = readWholeFile(io, bank().folder.folders().questionRecords());
        benchmark::DoNotOptimize(bytes.data());
    }
}

BENCHMARK(BM_DeckBuild)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMillisecond);

// Prints the ratio of the two means after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) times_[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        double build = times_["BM_DeckBuild"], read = times_["BM_SequentialRead"];
        if (read > 0) std::printf("deck build / sequential read = %.2fx (goal: at most 2.0x)\n", build / read);
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
