// SPDX-License-Identifier: GPL-3.0-or-later
// The vector map of the largest prefecture (北海道, area 1 of the shipped
// file1/区域.dat) against the decode of its JPEG picture k1.jpg, in the same
// run: a whole frame at 1x, a frame at 4x (only the visible part drawn), and
// judging a click against all its outlines; beside them the first frame of a
// map just shown, which also pays for thinning the outlines for its zoom and
// finding the borders two places share; and the map window's 1x frame,
// the picture drawn under a round dot for every municipality. Frames are painted into an image
// of the view's size kept between frames, as the screen's backing store is.
// All times in microseconds, so that the ratios compare like with like.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

#include "bench_support.h"
#include "core/files/io.h"
#include "core/map/outlines.h"
#include "ui/form.h"
#include "ui/map_view.h"

namespace fs = std::filesystem;
using namespace tabinowa;

namespace {

struct Data {
    std::shared_ptr<MapArea> area;
    fs::path jpeg;
    std::unique_ptr<ui::Form> form;
    std::unique_ptr<ui::MapView> view;
    std::vector<MapPoint> clicks;  // over the whole map, fixed seed
    // The map window's 1x: a view over a picture box holding k1.jpg.
    std::unique_ptr<ui::Form> pictureForm;
    std::unique_ptr<ui::PictureBox> picture;
    std::unique_ptr<ui::MapView> overPicture;
};

Data& data() {
    static Data d = [] {
        Data d;
        PosixIo io;
        const fs::path file1 = bench::shippedData() / "file1";
        d.area = std::make_shared<MapArea>(readOutlineArea(io, file1 / AppFolders::u8path(kOutlineFileName), 1));
        d.jpeg = file1 / "k1.jpg";
        d.form = std::make_unique<ui::Form>("bench", 7575, 7545);
        d.view = std::make_unique<ui::MapView>(*d.form, ui::Rect{0, 0, 7575, 7545});
        d.view->setArea(d.area);
        std::mt19937 gen(5);
        std::uniform_real_distribution<double> x(0, 7575), y(0, 7545);
        for (int i = 0; i < 256; ++i) d.clicks.push_back({x(gen), y(gen)});
        d.pictureForm = std::make_unique<ui::Form>("bench", 7635, 7605);
        d.picture = std::make_unique<ui::PictureBox>(*d.pictureForm, ui::Rect{0, 0, 7635, 7605});
        d.picture->loadPicture(d.jpeg);
        d.overPicture = std::make_unique<ui::MapView>(*d.picture, ui::Rect{0, 0, 7575, 7545});
        d.overPicture->setArea(d.area);
        d.overPicture->showPicture(d.picture.get());
        std::vector<ui::MapView::Dot> dots;
        for (const MapShape& s : d.area->shapes)
            if (s.kind == MapShape::Kind::Municipality) dots.push_back({pointInside(s).x, pointInside(s).y, ui::rgb(0xd0, 0x1c, 0x1c)});
        d.overPicture->setDots(std::move(dots));
        return d;
    }();
    return d;
}

void BM_DecodeJpeg(benchmark::State& state) {
    const QString path = QString::fromStdString(data().jpeg.string());
    for (auto _ : state) {
        QImageReader reader(path);
        QImage img = reader.read();
        if (img.isNull()) state.SkipWithError("cannot decode the picture");
        benchmark::DoNotOptimize(img.constBits());
    }
}

void BM_VectorFrame(benchmark::State& state) {
    Data& d = data();
    d.view->resetView();
    if (state.range(0) > 1) {
        d.view->setZoom(static_cast<double>(state.range(0)));
        d.view->centreOn({4200, 3600});  // inland 北海道: a full frame of outlines
    }
    d.view->paintFrame();  // the paths of this zoom are made on first use
    for (auto _ : state) benchmark::DoNotOptimize(d.view->paintFrame());
}

// A map shown afresh: the outlines thinned for 1x and the shared borders
// found, then the frame.
void BM_FirstFrame(benchmark::State& state) {
    Data& d = data();
    for (auto _ : state) {
        d.view->setArea(d.area);
        benchmark::DoNotOptimize(d.view->paintFrame());
    }
}

// The map window at 1x: the picture, a dot for every municipality.
void BM_PictureFrame(benchmark::State& state) {
    Data& d = data();
    d.overPicture->paintFrame();  // the picture as drawn is made on first use
    for (auto _ : state) benchmark::DoNotOptimize(d.overPicture->paintFrame());
}

void BM_JudgeClick(benchmark::State& state) {
    Data& d = data();
    const double reach = 8.0 * 15;  // 8 screen pixels at 1x
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(hitShape(*d.area, d.clicks[i], reach));
        i = (i + 1) % d.clicks.size();
    }
}

BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VectorFrame)->ArgName("zoom")->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FirstFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JudgeClick)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PictureFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv, [](const bench::RatioReporter& t) {
        const double decode = t.real("BM_DecodeJpeg"), one = t.real("BM_VectorFrame/zoom:1"),
                     four = t.real("BM_VectorFrame/zoom:4"), judge = t.real("BM_JudgeClick"),
                     first = t.real("BM_FirstFrame"), picture = t.real("BM_PictureFrame");
        if (decode <= 0 || one <= 0) return;
        std::printf("vector frame 1x / JPEG decode = %.2fx (goal: at most 1.5x)\n", one / decode);
        std::printf("vector frame 4x / 1x = %.2fx (goal: at most 1.2x)\n", four / one);
        if (first > 0) std::printf("first frame of a map shown afresh / JPEG decode = %.2fx\n", first / decode);
        std::printf("judging a click / 1x frame = %.4fx (goal: at most 0.05x)\n", judge / one);
        if (picture > 0) std::printf("1x frame over the picture (map window) / JPEG decode = %.2fx\n", picture / decode);
    });
}
