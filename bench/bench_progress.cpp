// SPDX-License-Identifier: GPL-3.0-or-later
// The steps that write a learner's progress, each against the bare writes of
// the same bytes to the same files, fsyncs on both sides:
//   BM_Visit        a visit (point.csv, 訪問消去.ran, 県範囲.csv through the journal)
//   BM_FloorVisit   the three files' new bytes written over the old ones and fsynced
//   BM_RightAnswer  a right answer (point.csv replaced: temporary file, fsync, rename, folder fsync)
//   BM_FloorRight   point.csv's new bytes written over the old ones and fsynced
//   BM_Removal      a removal (one byte written in place; no fsync)
//   BM_FloorRemoval the same byte written in place through a file held open (no fsync)
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "bench_support.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/files/io.h"
#include "core/files/records.h"
#include "core/files/visit_state.h"
#include "core/files/prefectures.h"
#include "core/game/visit_game.h"
#include "core/quiz/questions.h"
#include "support/game_fixture.h"
#include "support/temp_folder.h"

using namespace tabinowa;

namespace {

struct Folder {
    testing::TempProgramFolder tmp;
    AppFolders f = tmp.folders();
    std::string points, marks, ranges;
    Folder() {
        testing::writeProgramInUse(f);
        testing::writeBytes(f.pointFile(), " 99999999\r\n");
        points = testing::readBytes(f.pointFile());
        marks = testing::readBytes(f.visitMarks());
        ranges = testing::readBytes(f.rangeFile());
    }
    void restore() const {
        testing::writeBytes(f.pointFile(), points);
        testing::writeBytes(f.visitMarks(), marks);
        testing::writeBytes(f.rangeFile(), ranges);
    }
};

// Bare: open, write, fsync, close; the floor's only work.
void bareWrite(const std::filesystem::path& p, const std::string& bytes) {
    int fd = ::open(p.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0 || ::pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()) ||
        ::fsync(fd) != 0)
        std::abort();
    ::close(fd);
}

void BM_Visit(benchmark::State& state) {
    Folder fx;
    PosixIo io;
    MtRandom random(1);
    Session s(fx.tmp.path(), io, random);
    for (auto _ : state) {
        state.PauseTiming();
        fx.restore();
        s.points = 99999999;
        game::VisitMap map(s);
        map.fillPrefectures();
        map.choosePrefecture(1);
        map.chooseCity(2);
        state.ResumeTiming();
        benchmark::DoNotOptimize(map.visit());
    }
}

void BM_FloorVisit(benchmark::State& state) {
    Folder fx;
    // the bytes a visit of the same municipality writes
    PosixIo io;
    MtRandom random(1);
    Session s(fx.tmp.path(), io, random);
    s.points = 99999999;
    game::VisitMap map(s);
    map.fillPrefectures();
    map.choosePrefecture(1);
    map.chooseCity(2);
    map.visit();
    const std::string points = testing::readBytes(fx.f.pointFile()), marks = testing::readBytes(fx.f.visitMarks()),
                      ranges = testing::readBytes(fx.f.rangeFile());
    for (auto _ : state) {
        state.PauseTiming();
        fx.restore();
        state.ResumeTiming();
        bareWrite(fx.f.pointFile(), points);
        bareWrite(fx.f.visitMarks(), marks);
        bareWrite(fx.f.rangeFile(), ranges);
    }
}

void BM_RightAnswer(benchmark::State& state) {
    Folder fx;
    PosixIo io;
    MtRandom random(1);
    Session s(fx.tmp.path(), io, random);
    s.points = 0;
    s.quiz.build(io, fx.f, random);
    game::VisitQuiz quiz(s);
    quiz.start();
    for (auto _ : state) {
        if (s.points > 2000000000) s.points = 0;
        benchmark::DoNotOptimize(quiz.right());
    }
}

void BM_FloorRight(benchmark::State& state) {
    Folder fx;
    const std::string bytes = pointBytes(fx.f, 1500);
    for (auto _ : state) bareWrite(fx.f.pointFile(), bytes);
}

void BM_Removal(benchmark::State& state) {
    Folder fx;
    PosixIo io;
    QuestionFile file(io, fx.f);
    for (auto _ : state) file.markRemoved(2);
}

void BM_FloorRemoval(benchmark::State& state) {
    Folder fx;
    // the removal's file stays open in its window: the floor keeps it open too and only writes the byte
    const int fd = ::open(fx.f.questionRecords().c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) std::abort();
    for (auto _ : state)
        if (::pwrite(fd, "\x01", 1, Mondai::kLength * 2 - 2) != 1) std::abort();
    ::close(fd);
}

BENCHMARK(BM_Visit)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_FloorVisit)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_RightAnswer)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_FloorRight)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_Removal)->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(BM_FloorRemoval)->Unit(benchmark::kMicrosecond)->MinTime(0.5);

}  // namespace

int main(int argc, char** argv) {
    return bench::runBenchmarks(argc, argv, [](const bench::RatioReporter& t) {
        auto ratio = [&](const char* what, const char* a, const char* b) {
            const double x = t.real(a), y = t.real(b);
            if (x > 0 && y > 0) std::cout << "ratio " << what << " / bare writes: " << x / y << "  (goal <= 3.0)\n";
        };
        ratio("visit       ", "BM_Visit", "BM_FloorVisit");
        ratio("right answer", "BM_RightAnswer", "BM_FloorRight");
        ratio("removal     ", "BM_Removal", "BM_FloorRemoval");
    });
}
