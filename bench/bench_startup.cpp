// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up to the main menu over a 20,000-question bank.
//
// Headline: cold starts on a private Xvfb, in a session bus (see
// cold_start.h). Each run is a new process (fork + exec) timed until the X
// server maps its first window; the floor is a bare Qt Widgets program that
// shows one window of the main menu's size with one line of Japanese text in
// the program's font, started the same way from the same folder. The two are
// started in turn (the order swapped every pair), and each pair gives one
// ratio; the ratios' min / median / max are printed last.
//
// Beside it, inside this process (the toolkit, fonts and style already
// loaded): the program's own start as main makes it (Program: the folder
// locked and recovered, the main menu made and drawn, then its deck built)
// against a bare window shown plus one deck build, at display scales of
// 100 % and 200 % (the bare window at the same size).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench_support.h"
#include "cold_start.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/files/io.h"
#include "core/quiz/deck.h"
#include "screens/frm1Main.h"
#include "screens/program.h"
#include "screens/window_manager.h"
#include "ui/application.h"
#include "ui/display_scale.h"

using namespace tabinowa;
namespace fs = std::filesystem;

namespace {

int coldPairs() {
    const char* n = std::getenv("TABINOWA_COLD_RUNS");
    const int v = n ? std::atoi(n) : 0;
    return v >= 1 ? v : 31;
}

struct ColdRuns {
    std::vector<double> program, bare;        // ms to the first window painted, in the order run
    std::vector<double> programCpu, bareCpu;  // ms on a processor by then
    std::string error;
};

// The bank's folder as a portable program folder: "作業ファイル/" beside the
// program makes its folder the program folder, used as it is, so the first
// window is the main menu, never the first-start window that a folder
// without masters would bring up.
fs::path portableBank() {
    const fs::path folder = bench::questionBank().folder.path();
    fs::create_directories(folder / fs::path(u8"作業ファイル"));
    return folder;
}

// Both programs copied into the bank's program folder (each finds its data
// beside itself), one start of each to warm the file cache, then the pairs.
const ColdRuns& coldRuns() {
    static const ColdRuns runs = [] {
        ColdRuns r;
        try {
            const fs::path folder = portableBank();
            const fs::path program = folder / "tabinowa", bare = folder / "bare-window";
            fs::copy_file(TABINOWA_PROGRAM, program, fs::copy_options::overwrite_existing);
            fs::copy_file(TABINOWA_BARE_WINDOW, bare, fs::copy_options::overwrite_existing);
            bench::VirtualDisplay display;
            bench::MapWatcher watcher(display.name(), display.busAddress());
            const auto timeout = std::chrono::seconds(30);
            auto start = [&](const fs::path& p) {
                auto s = watcher.run({p.string()}, folder.string(), timeout);
                if (!s) throw std::runtime_error(p.filename().string() + " showed no window");
                return *s;
            };
            auto runProgram = [&] {
                const bench::ColdStart s = start(program);
                r.program.push_back(s.toFirstWindowMs);
                r.programCpu.push_back(s.cpuMs);
            };
            auto runBare = [&] {
                const bench::ColdStart s = start(bare);
                r.bare.push_back(s.toFirstWindowMs);
                r.bareCpu.push_back(s.cpuMs);
            };
            start(program);
            start(bare);
            for (int i = 0; i < coldPairs(); ++i) {
                if (i % 2 == 0) {
                    runProgram();
                    runBare();
                } else {
                    runBare();
                    runProgram();
                }
            }
        } catch (const std::exception& e) {
            r.error = e.what();
        }
        return r;
    }();
    return runs;
}

// Reports the measured cold starts as this benchmark's iterations.
void BM_ColdStart(benchmark::State& state, bool program) {
    const ColdRuns& runs = coldRuns();
    if (!runs.error.empty()) {
        state.SkipWithError(runs.error.c_str());
        for (auto _ : state) {}
        return;
    }
    const auto& times = program ? runs.program : runs.bare;
    std::size_t i = 0;
    for (auto _ : state) state.SetIterationTime(times[i++ % times.size()] / 1000.0);
}

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The bank is made before the timed loops, so that no iteration pays for it.
// Each iteration is one start as main makes it once the toolkit is there:
// the folder (the program's own, portable) locked and recovered, the setup
// step, the session and the main menu; timed until the menu is painted and
// has built the deck.
void BM_StartupToMainMenu(benchmark::State& state) {
    const double scale = state.range(0) / 100.0;
    ui::setDisplayScale(scale);
    const fs::path folder = portableBank();
    const auto expected = static_cast<std::int16_t>(20000);
    PosixIo io;
    MtRandom random;
    for (auto _ : state) {
        auto program = std::make_unique<Program>(std::nullopt, folder, fs::path{}, io, random, [] {});
        // Shown and painted, then the deck built by the menu (as the event
        // loop goes on to do right after the paint).
        QCoreApplication::processEvents();
        Session* session = program->session();
        for (int i = 0; i < 100 && session && session->deckPending; ++i) QCoreApplication::processEvents();
        WindowManager* windows = program->windows();
        if (!windows || !windows->main() || !windows->main()->frm.isShown()) state.SkipWithError("main menu not shown");
        else if (session->quiz.totalCount != expected || session->deckPending) state.SkipWithError("deck not built");
        state.PauseTiming();
        if (windows) windows->endProgram();
        program.reset();
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

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The program's own application object: its style and its settings, as
    // the measured start has them.
    ui::Application app(argc, argv);
    const int pairs = coldPairs();
    benchmark::RegisterBenchmark("BM_ColdStart/program", BM_ColdStart, true)
        ->UseManualTime()->Iterations(pairs)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ColdStart/bare_window", BM_ColdStart, false)
        ->UseManualTime()->Iterations(pairs)->Unit(benchmark::kMillisecond);
    for (int scale : {100, 200}) {
        benchmark::RegisterBenchmark("BM_StartupToMainMenu", BM_StartupToMainMenu)->Arg(scale)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_BareWindowAndDeckBuild", BM_BareWindowAndDeckBuild)->Arg(scale)->Unit(benchmark::kMillisecond);
    }
    return bench::runBenchmarks(argc, argv, [](const bench::RatioReporter& t) {
        for (const char* scale : {"100", "200"}) {
            const std::string a = std::string("BM_StartupToMainMenu/") + scale;
            const std::string b = std::string("BM_BareWindowAndDeckBuild/") + scale;
            if (t.real(a) > 0 && t.real(b) > 0 && t.cpu(b) > 0)
                std::printf("warm, in one process, at %s %%: main menu / bare window + deck build = %.2fx real, %.2fx CPU\n",
                            scale, t.real(a) / t.real(b), t.cpu(a) / t.cpu(b));
        }
        const ColdRuns& runs = coldRuns();
        if (!runs.error.empty() || runs.program.empty()) return;
        std::vector<double> ratios;
        for (std::size_t i = 0; i < runs.program.size(); ++i) ratios.push_back(runs.program[i] / runs.bare[i]);
        const auto p = bench::Spread::of(runs.program), f = bench::Spread::of(runs.bare), r = bench::Spread::of(ratios);
        std::printf("cold start to the first window painted (Xvfb, %zu pairs): program %.1f / %.1f / %.1f ms, "
                    "bare window with Japanese text %.1f / %.1f / %.1f ms (min / median / max)\n",
                    ratios.size(), p.min, p.median, p.max, f.min, f.median, f.max);
        std::printf("cold start / bare window with Japanese text = %.2fx min, %.2fx median, %.2fx max (goal: median at most 1.2x)\n",
                    r.min, r.median, r.max);
        std::vector<double> cpuRatios;
        for (std::size_t i = 0; i < runs.programCpu.size(); ++i) cpuRatios.push_back(runs.programCpu[i] / runs.bareCpu[i]);
        const auto pc = bench::Spread::of(runs.programCpu), fc = bench::Spread::of(runs.bareCpu), rc = bench::Spread::of(cpuRatios);
        std::printf("processor time by then: program %.1f / %.1f / %.1f ms, bare window %.1f / %.1f / %.1f ms; "
                    "ratio %.2fx min, %.2fx median, %.2fx max\n",
                    pc.min, pc.median, pc.max, fc.min, fc.median, fc.max, rc.min, rc.median, rc.max);
    });
}
