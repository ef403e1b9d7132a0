// Start-up to the main menu shown, over a 20,000-question bank, against its
// floor: a bare window of the same size shown plus the deck build alone, in
// the same run. Each iteration is one start of the program (a fresh Session
// and window manager); closing the windows is not timed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "bench_support.h"
#include "core/random.h"
#include "core/session.h"
#include "files/io.h"
#include "quiz/deck.h"
#include "shell/frm1Main.h"
#include "shell/window_manager.h"

using namespace tabinowa;

namespace {

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The bank is made before the timed loops, so that no iteration pays for it.
void BM_StartupToMainMenu(benchmark::State& state) {
    const AppFolders folders = bench::questionBank().folder.folders();
    PosixIo io;
    MtRandom random;
    for (auto _ : state) {
        auto session = std::make_unique<Session>(folders.program, io, random);
        auto windows = std::make_unique<WindowManager>(*session, [] {});
        windows->start();
        QCoreApplication::processEvents();  // shown and painted
        benchmark::DoNotOptimize(session->quiz.deckLength);
        if (!windows->main() || !windows->main()->frm.isShown()) state.SkipWithError("main menu not shown");
        state.PauseTiming();
        windows->endProgram();
        windows.reset();
        session.reset();
        settle();
        state.ResumeTiming();
    }
}

void BM_BareWindowAndDeckBuild(benchmark::State& state) {
    const AppFolders folders = bench::questionBank().folder.folders();
    PosixIo io;
    MtRandom random;
    for (auto _ : state) {
        auto w = std::make_unique<QWidget>();
        w->setFixedSize(822, 530);
        w->show();
        QuestionDeck deck;
        deck.build(io, folders, random);
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(deck.deckLength);
        state.PauseTiming();
        w.reset();
        settle();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_StartupToMainMenu)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareWindowAndDeckBuild)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv, [](const bench::RatioReporter& t) {
        const char* a = "BM_StartupToMainMenu";
        const char* b = "BM_BareWindowAndDeckBuild";
        if (t.real(a) > 0 && t.real(b) > 0 && t.cpu(b) > 0)
            std::printf("start-up to main menu / bare window + deck build = %.2fx real, %.2fx CPU (goal: at most 1.5x)\n",
                        t.real(a) / t.real(b), t.cpu(a) / t.cpu(b));
    });
}
