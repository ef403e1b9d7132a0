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
#include <map>
#include <memory>
#include <string>

#include "core/random.h"
#include "core/session.h"
#include "files/io.h"
#include "files/records.h"
#include "quiz/deck.h"
#include "shell/frm1Main.h"
#include "shell/window_manager.h"
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
        m.Kotae = "さっぽろし";
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

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_StartupToMainMenu(benchmark::State& state) {
    PosixIo io;
    MtRandom random;
    for (auto _ : state) {
        auto session = std::make_unique<Session>(bank().folder.path(), io, random);
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
    PosixIo io;
    MtRandom random;
    for (auto _ : state) {
        auto w = std::make_unique<QWidget>();
        w->setFixedSize(822, 530);
        w->show();
        QuestionDeck deck;
        deck.build(io, bank().folder.folders(), random);
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

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // With repetitions the medians are compared, otherwise the single runs.
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs) {
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
            const std::string name = r.run_name.function_name;
            real_[name] = r.GetAdjustedRealTime();
            cpu_[name] = r.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const char* a = "BM_StartupToMainMenu";
        const char* b = "BM_BareWindowAndDeckBuild";
        if (real_[b] > 0 && cpu_[b] > 0)
            std::printf("start-up to main menu / bare window + deck build = %.2fx real, %.2fx CPU (goal: at most 1.5x)\n",
                        real_[a] / real_[b], cpu_[a] / cpu_[b]);
    }

private:
    std::map<std::string, double> real_, cpu_;
};

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
