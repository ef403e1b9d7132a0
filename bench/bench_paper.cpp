// SPDX-License-Identifier: GPL-3.0-or-later
// The 白地図 of all Japan by prefecture (47 pages, 1,741 numbered
// municipalities) written as a PDF file, against its floor: the same outlines
// (the very polylines of the pages) drawn into an image of the same page size
// at 300 dpi (print) and at 96 dpi (screen), antialiased, one page after the other. The layout of the pages
// (reading nothing: the sheets are loaded once) is timed beside them.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "bench_support.h"
#include "core/base/random.h"
#include "core/build/builds.h"
#include "core/files/io.h"
#include "core/files/prefectures.h"
#include "core/paper/map_sources.h"
#include "core/session/session.h"
#include "ui/paper_output.h"

namespace tabinowa {
namespace {

namespace fs = std::filesystem;
using namespace paper;

fs::path u8(const char* s) { return fs::path(std::u8string(reinterpret_cast<const char8_t*>(s))); }

// The shipped data built once in a temporary program folder; the sheets of
// every prefecture and their pages.
struct Japan {
    testing::TempProgramFolder folder;
    std::vector<LoadedSheet> sheets;
    Document doc;
    Japan() {
        for (const char* sub : {"file1", "作業ファイル"})
            for (const auto& e : fs::directory_iterator(bench::shippedData() / u8(sub)))
                fs::copy_file(e.path(), folder.path() / u8(sub) / e.path().filename(), fs::copy_options::overwrite_existing);
        PosixIo io;
        MtRandom random(1);
        Session session(folder.path(), io, random);
        buildCityFiles(session);
        sheets = japanSheets(io, session.folders, readRanges(io, session.folders));
        doc.title = "全国　白地図";
        doc.pages = pages();
    }
    std::vector<Page> pages() const {
        MapSheetOptions o;
        o.key = KeyPlace::None;
        std::vector<Page> out;
        for (const auto& s : sheets)
            for (auto& p : mapSheetPages(s.sheet, o)) out.push_back(std::move(p));
        return out;
    }
};

Japan& japan() {
    static Japan j;
    return j;
}

void BM_LayoutAllJapan(benchmark::State& state) {
    Japan& j = japan();
    for (auto _ : state) benchmark::DoNotOptimize(j.pages());
}

void BM_PdfAllJapan(benchmark::State& state) {
    Japan& j = japan();
    const fs::path pdf = j.folder.path() / "japan.pdf";
    for (auto _ : state) ui::writePdf(j.doc, pdf);
    state.counters["pages"] = static_cast<double>(j.doc.pages.size());
    state.counters["MB"] = static_cast<double>(fs::file_size(pdf)) / 1e6;
}

void BM_ImageAllJapan(benchmark::State& state) {
    Japan& j = japan();
    const double dpmm = static_cast<double>(state.range(0)) / 25.4;
    const PaperSize& paper = j.doc.paper;
    QImage image(static_cast<int>(paper.widthMm() * dpmm), static_cast<int>(paper.heightMm() * dpmm),
                 QImage::Format_RGB32);
    for (auto _ : state) {
        for (const Page& page : j.doc.pages) {
            image.fill(Qt::white);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing, true);
            QPen pen(Qt::black);
            pen.setWidthF(page.borderWidthMm * dpmm);
            pen.setCapStyle(Qt::RoundCap);
            pen.setJoinStyle(Qt::RoundJoin);
            p.setPen(pen);
            QPainterPath path;
            for (const auto& line : page.borders) {
                path.moveTo(line.front().x * dpmm, line.front().y * dpmm);
                for (std::size_t i = 1; i < line.size(); ++i) path.lineTo(line[i].x * dpmm, line[i].y * dpmm);
            }
            p.drawPath(path);
        }
        benchmark::DoNotOptimize(image.constBits());
    }
}

BENCHMARK(BM_LayoutAllJapan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PdfAllJapan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageAllJapan)->ArgName("dpi")->Arg(96)->Arg(300)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tabinowa

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    return tabinowa::bench::runBenchmarks(argc, argv, [](const tabinowa::bench::RatioReporter& t) {
        const double pdf = t.real("BM_PdfAllJapan"), image = t.real("BM_ImageAllJapan/dpi:300"),
                     screen = t.real("BM_ImageAllJapan/dpi:96"),
                     layout = t.real("BM_LayoutAllJapan");
        if (pdf <= 0 || image <= 0) return;
        std::printf("PDF of all Japan by prefecture / the same outlines drawn to 300 dpi images = %.2fx real, %.2fx CPU (goal: at most 3x)\n",
                    pdf / image, t.cpu("BM_PdfAllJapan") / t.cpu("BM_ImageAllJapan/dpi:300"));
        if (screen > 0)
            std::printf("the PDF / the same outlines drawn to 96 dpi images = %.2fx real, %.2fx CPU\n", pdf / screen,
                        t.cpu("BM_PdfAllJapan") / t.cpu("BM_ImageAllJapan/dpi:96"));
        if (layout > 0) std::printf("layout of the 47 pages / the images = %.2fx\n", layout / image);
    });
}
