// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing a prefecture on the map (its records read, its picture loaded, its
// list filled and its circles drawn) against the bare Qt decode of the same
// JPEG, in the same run, on the largest prefecture. The headline is the first
// choice in a newly opened window (the picture never decoded); beside it the
// same prefecture chosen again (the picture box keeps the decoded picture). Uses the shipped data
// (北海道, k1.jpg) when data/ holds it, building the municipality files into a
// temporary program folder first; otherwise a synthetic 505×503 picture with
// 180 municipalities and 220 circles.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>

#include "bench_support.h"
#include "core/build/builds.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/prefectures.h"
#include "core/files/record_file.h"
#include "core/files/records.h"
#include "screens/frm2Tizu.h"
#include "screens/window_manager.h"

namespace fs = std::filesystem;
using namespace tabinowa;

namespace {

void writeSyntheticPicture(const fs::path& p) {
    QImage img(505, 503, QImage::Format_RGB32);
    img.fill(QColor(210, 230, 250));
    QPainter painter(&img);
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> coord(0, 504), colour(60, 250);
    for (int i = 0; i < 400; ++i) {
        painter.setPen(QColor(colour(gen), colour(gen), colour(gen)));
        painter.setBrush(QColor(colour(gen), colour(gen), colour(gen)));
        QPolygon poly;
        for (int k = 0; k < 5; ++k) poly << QPoint(coord(gen), coord(gen));
        painter.drawPolygon(poly);
    }
    painter.end();
    if (!img.save(QString::fromStdString(p.string()), "JPEG", 90)) throw std::runtime_error("cannot write the picture");
}

// 180 municipalities; the first 40 have two old municipalities: 220 circles.
void writeSyntheticData(Io& io, const AppFolders& f) {
    fs::create_directories(f.map());
    RecordFile file(io, f.cityRecords(), City::kLength);
    std::mt19937 gen(11);
    std::uniform_int_distribution<int> coord(100, 7400);
    for (int r = 1; r <= 180; ++r) {
        City c = City::zeroed();
        c.KenNo = 1;
        c.RecNo = static_cast<std::int16_t>(r);
        c.CityName = "試験市" + bench::fullWidth(r);
        c.Name2 = "しけんし";
        for (auto& m : c.Memo) m = "北の大地の町の覚え書き";
        c.Jinko = 5000 + r * 100;
        c.Menseki = 100 + r;
        c.Jigyosyo = 300 + r;
        c.Jugyoin = 2000 + r;
        c.Kogyo = 50 + r;
        c.Syogyo = 80 + r;
        c.KyuSu = r <= 40 ? 2 : 1;
        for (int k = 1; k <= c.KyuSu; ++k) {
            c.KyuNames[k] = "旧村" + bench::fullWidth(r * 10 + k);
            c.KyuX[k] = static_cast<std::int16_t>(coord(gen));
            c.KyuY[k] = static_cast<std::int16_t>(coord(gen));
            c.KyuText[k] = "明治の合併で生まれた村。昭和の合併で市の一部となった。酪農と漁業が盛ん。";
            c.KyuTextLen[k] = std::to_string(charCount(c.KyuText[k]));
        }
        file.put(r, c.encode("bench"));
    }
    file.close();
    writeFileAtomic(io, f.rangeFile(), toCp932("1,0,\"試験道\",1,180,0\r\n", "bench"));
    writeSyntheticPicture(f.picture(1));
}

struct Data {
    testing::TempProgramFolder folder;
    PosixIo io;
    MtRandom random;
    std::unique_ptr<Session> session;
    std::string description;

    Data() {
        session = std::make_unique<Session>(folder.path(), io, random);
        const AppFolders& f = session->folders;
        const AppFolders source{bench::shippedData()};
        if (fs::exists(source.picture(1)) && fs::exists(source.cityMaster()) && fs::exists(source.prefectureData())) {
            fs::copy(source.map(), f.map(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
            fs::copy(source.work(), f.work(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
            try {
                buildCityFiles(*session);
                const auto ken = readRanges(io, f);
                description = "shipped data: " + ken.at(0).name() + " (k1.jpg), " +
                              std::to_string(ken.at(0).endRec() - ken.at(0).startRec() + 1) + " municipalities";
                return;
            } catch (const std::exception& e) {
                std::cerr << "shipped data unusable (" << e.what() << "); using synthetic data\n";
            }
        }
        writeSyntheticData(io, f);
        description = "synthetic data: 505x503 JPEG, 180 municipalities, 220 circles";
    }
};

Data& data() {
    static Data d;
    return d;
}

frm2Tizu* openMap(WindowManager& windows) {
    windows.showMap();
    return static_cast<frm2Tizu*>(windows.window(WindowId::Tizu));
}

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The first choice of the prefecture in a newly opened map window: its
// picture has never been decoded (opening and closing the window are not timed).
void BM_FirstChoice(benchmark::State& state) {
    Data& d = data();
    WindowManager windows(*d.session, [] {});
    frm2Tizu* map = nullptr;
    for (auto _ : state) {
        state.PauseTiming();
        windows.unload(WindowId::Tizu);
        settle();
        map = openMap(windows);
        state.ResumeTiming();
        map->lstKen_Click(0);
        benchmark::DoNotOptimize(map->circles().size());
    }
    if (map && !map->lblVisit.caption().empty()) state.SkipWithError(map->lblVisit.caption().c_str());
    if (map) state.counters["circles"] = static_cast<double>(map->circles().size());
    if (map) state.counters["municipalities"] = static_cast<double>(map->rows().size());
}

// The same prefecture chosen again in the same window: the picture box
// reuses the picture it decoded.
void BM_ChooseAgain(benchmark::State& state) {
    Data& d = data();
    WindowManager windows(*d.session, [] {});
    frm2Tizu* map = openMap(windows);
    map->lstKen_Click(0);
    for (auto _ : state) {
        map->lstKen_Click(0);
        benchmark::DoNotOptimize(map->circles().size());
    }
    if (!map->lblVisit.caption().empty()) state.SkipWithError(map->lblVisit.caption().c_str());
}

void BM_DecodeJpeg(benchmark::State& state) {
    const QString path = QString::fromStdString(data().session->folders.picture(1).string());
    for (auto _ : state) {
        QImageReader reader(path);
        QImage img = reader.read();
        if (img.isNull()) state.SkipWithError("cannot decode the picture");
        benchmark::DoNotOptimize(img.constBits());
    }
}

// Where the time of a choice goes: the records read into rows and circles
// (without the descriptions, as the map's list reads them), the picture loaded
// into the picture box (the same file again, or a changed one), the circles drawn.
void BM_ReadRecords(benchmark::State& state) {
    Data& d = data();
    const auto ken = readRanges(d.io, d.session->folders);
    for (auto _ : state) {
        PrefectureCities p = readPrefectureCities(d.io, d.session->folders, ken.at(0));
        benchmark::DoNotOptimize(p.circles.data());
    }
}

void BM_LoadPicture(benchmark::State& state) {
    Data& d = data();
    WindowManager windows(*d.session, [] {});
    frm2Tizu* map = openMap(windows);
    const fs::path picture = d.session->folders.picture(1);
    const bool changed = state.range(0) != 0;
    for (auto _ : state) {
        if (changed) {
            state.PauseTiming();
            fs::last_write_time(picture, fs::file_time_type::clock::now());
            state.ResumeTiming();
        }
        map->picTizu.loadPicture(picture);
    }
}

void BM_DrawCircles(benchmark::State& state) {
    Data& d = data();
    const auto ken = readRanges(d.io, d.session->folders);
    const auto circles = prefectureCities(readCities(d.io, d.session->folders, ken.at(0))).circles;
    WindowManager windows(*d.session, [] {});
    frm2Tizu* map = openMap(windows);
    std::vector<ui::PictureBox::Point> centres;
    for (const auto& c : circles) centres.push_back({static_cast<double>(c.x), static_cast<double>(c.y)});
    for (auto _ : state) map->picTizu.circles(centres, kCircleRadius, ui::paletteColor(4));
}

BENCHMARK(BM_FirstChoice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooseAgain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPicture)->ArgName("changed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawCircles)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv, [](const bench::RatioReporter& t) {
        std::printf("%s\n", data().description.c_str());
        // Real time is what the user waits for; CPU time shows the work.
        for (bool cpu : {false, true}) {
            auto time = [&](const char* name) { return cpu ? t.cpu(name) : t.real(name); };
            const double decode = time("BM_DecodeJpeg");
            if (decode <= 0) continue;
            std::printf("chosen again (picture kept) / JPEG decode (%s time) = %.2fx\n", cpu ? "CPU" : "real",
                        time("BM_ChooseAgain") / decode);
            std::printf("first choice / JPEG decode (%s time) = %.2fx%s\n", cpu ? "CPU" : "real",
                        time("BM_FirstChoice") / decode, cpu ? "" : " (goal: at most 1.2x)");
        }
    });
}
