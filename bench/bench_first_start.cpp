// SPDX-License-Identifier: GPL-3.0-or-later
// The first start in an empty user folder (the shipped masters and pictures
// copied in, then both builds) against its floor in the same run: the same
// files copied by the standard library plus the two builds alone. Each
// iteration starts from an empty folder; emptying it is not timed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "bench_support.h"
#include "core/build/builds.h"
#include "core/build/program_folder.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/files/io.h"

using namespace tabinowa;
namespace fs = std::filesystem;

namespace {

void emptyFolder(const fs::path& p) {
    fs::remove_all(p);
}

void BM_FirstStart(benchmark::State& state) {
    testing::TempProgramFolder root;
    const fs::path folder = root.path() / "user";
    PosixIo io;
    MtRandom random;
    for (auto _ : state) {
        const SetupReport r = prepareProgramFolder(folder, bench::shippedData(), io, random);
        if (!r.questionsBuilt || !r.citiesBuilt) state.SkipWithError("the builds did not run");
        state.PauseTiming();
        emptyFolder(folder);
        state.ResumeTiming();
    }
}

void BM_CopyAndBuildsAlone(benchmark::State& state) {
    testing::TempProgramFolder root;
    const fs::path folder = root.path() / "user";
    const fs::path data = bench::shippedData();
    PosixIo io;
    MtRandom random;
    for (auto _ : state) {
        const AppFolders f{folder};
        fs::create_directories(f.data());
        for (const char* sub : {"file1", "作業ファイル"}) {
            const fs::path to = folder / AppFolders::u8path(sub);
            fs::copy(data / AppFolders::u8path(sub), to, fs::copy_options::recursive);
        }
        Session session(folder, io, random);
        buildQuestionFile(session);
        buildCityFiles(session);
        state.PauseTiming();
        emptyFolder(folder);
        state.ResumeTiming();
    }
}

BENCHMARK(BM_FirstStart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyAndBuildsAlone)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return bench::runBenchmarks(argc, argv, [](const bench::RatioReporter& t) {
        const char* a = "BM_FirstStart";
        const char* b = "BM_CopyAndBuildsAlone";
        if (t.real(a) > 0 && t.real(b) > 0 && t.cpu(b) > 0)
            std::printf("first start / copy + both builds alone = %.2fx real, %.2fx CPU (goal: at most 1.3x)\n",
                        t.real(a) / t.real(b), t.cpu(a) / t.cpu(b));
    });
}
