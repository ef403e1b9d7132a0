// Start-up to the main menu shown, over a 20,000-question bank, against its
// floor: a bare window of the same size shown plus the deck build alone, in
// the same run. Each iteration is one start of the program (a fresh Session
// and window manager); closing the windows is not timed. The same pair again
// at a display scale of 200 %: the main menu drawn at twice its size against
// a bare window of twice the size.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <memory>

#include "bench_support.h"
#include "core/random.h"
#include "core/session.h"
#include "files/io.h"
#include "quiz/deck.h"
#include "shell/frm1Main.h"
#include "shell/window_manager.h"
#include "ui/display_scale.h"

using namespace tabinowa;

namespace {

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The bank is made before the timed loops, so that no iteration pays for it.
void BM_StartupToMainMenu(benchmark::State& state) {
    const double scale = state.range(0) / 100.0;
    ui::setDisplayScale(scale);
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
    ui::setDisplayScale(1.0);
}

void BM_BareWindowAndDeckBuild(benchmark::State& state) {
    const double scale = state.range(0) / 100.0;
    const int width = static_cast<int>(822 * scale);
    const int height = static_cast<int>(530 * scale);
    const AppFolders folders = bench::questionBank().folder.folders();
    PosixIo io;
    MtRandom random;
    for (auto _ : state) {
        auto w = std::make_unique<QWidget>();
        w->setFixedSize(width, height);
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

BENCHMARK(BM_StartupToMainMenu)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareWindowAndDeckBuild)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv, [](const bench::RatioReporter& t) {
        for (const char* scale : {"100", "200"}) {
            const std::string a = std::string("BM_StartupToMainMenu/") + scale;
            const std::string b = std::string("BM_BareWindowAndDeckBuild/") + scale;
            if (t.real(a) > 0 && t.real(b) > 0 && t.cpu(b) > 0)
                std::printf("at %s %%: start-up to main menu / bare window + deck build = %.2fx real, %.2fx CPU "
                            "(goal: at most 1.5x)\n",
                            scale, t.real(a) / t.real(b), t.cpu(a) / t.cpu(b));
        }
    });
}
