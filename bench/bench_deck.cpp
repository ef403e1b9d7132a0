// The deck build over a 20,000-record question file against the floor of
// reading the same file sequentially into memory, in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench_support.h"
#include "files/io.h"
#include "quiz/deck.h"

using namespace tabinowa;

namespace {

// The bank is made before the timed loops, so that no iteration pays for it.
void BM_DeckBuild(benchmark::State& state) {
    const AppFolders folders = bench::questionBank().folder.folders();
    PosixIo io;
    MtRandom random;
    QuestionDeck deck;
    for (auto _ : state) {
        deck.build(io, folders, random);
        benchmark::DoNotOptimize(deck.deckLength);
    }
}

void BM_SequentialRead(benchmark::State& state) {
    const AppFolders folders = bench::questionBank().folder.folders();
    PosixIo io;
    for (auto _ : state) {
        std::string bytes = readWholeFile(io, folders.questionRecords());
        benchmark::DoNotOptimize(bytes.data());
    }
}

BENCHMARK(BM_DeckBuild)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return bench::runBenchmarks(argc, argv, [](const bench::RatioReporter& t) {
        const double build = t.real("BM_DeckBuild"), read = t.real("BM_SequentialRead");
        if (read > 0) std::printf("deck build / sequential read = %.2fx (goal: at most 2.0x)\n", build / read);
    });
}
