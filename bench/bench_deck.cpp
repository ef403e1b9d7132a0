// SPDX-License-Identifier: GPL-3.0-or-later
// The deck build over a 20,000-record question file (51.6 MB) against the
// floor of streaming the same file through one reused 64 KiB buffer, in the
// same run: the least any build that looks at every record must do.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "bench_support.h"
#include "core/files/io.h"
#include "core/quiz/deck.h"

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

// Opens the file, reads it from start to end into one buffer made before the
// loop (no allocation, no zero-fill inside it), closes it.
void BM_StreamedRead(benchmark::State& state) {
    const AppFolders folders = bench::questionBank().folder.folders();
    PosixIo io;
    constexpr std::size_t kBuffer = 64 * 1024;
    std::unique_ptr<char[]> buffer(new char[kBuffer]);
    long long total = 0;
    for (auto _ : state) {
        const int fd = io.open(folders.questionRecords(), Io::Mode::Read);
        if (fd < 0) {
            state.SkipWithError("cannot open the question file");
            break;
        }
        std::uint64_t at = 0;
        for (long r; (r = io.readAt(fd, buffer.get(), kBuffer, at)) > 0;) at += static_cast<std::uint64_t>(r);
        io.close(fd);
        benchmark::DoNotOptimize(buffer.get());
        total = static_cast<long long>(at);
    }
    state.counters["bytes"] = static_cast<double>(total);
}

BENCHMARK(BM_DeckBuild)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamedRead)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return bench::runBenchmarks(argc, argv, [](const bench::RatioReporter& t) {
        const double build = t.real("BM_DeckBuild"), read = t.real("BM_StreamedRead");
        if (read > 0)
            std::printf("deck build / streamed read (64 KiB buffer) = %.2fx real, %.2fx CPU (goal: at most 1.0x)\n",
                        build / read, t.cpu("BM_DeckBuild") / t.cpu("BM_StreamedRead"));
    });
}
