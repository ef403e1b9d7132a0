// SPDX-License-Identifier: GPL-3.0-or-later
// The municipality build against its floor, in the same run.
//
// Input: the shipped data/作業ファイル/市町村.csv and data/file1/都道府県データ.csv
// when they exist, otherwise a synthetic master of 1,741 municipalities and
// 3,232 old ones (596 merged municipalities carrying 2,087 old-municipality
// rows, 1,145 that did not merge) over 47 prefectures.
//
// Floors, each doing what no build can avoid:
//   FloorReadWrite   read both masters whole, write the same output bytes to
//                    the same four files through a FileSet (flush, rename);
//   FloorReadParseWrite  the same plus taking every field of both masters
//                    through the field reader.
// The ratios build / floor are printed at the end, in real time (goal: <= 3.0
// against FloorReadWrite) and in CPU time beside it.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <string>

#include "bench_support.h"
#include "core/build/builds.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/files/cp932.h"
#include "core/files/io.h"
#include "core/files/journal.h"
#include "core/files/text_file.h"

namespace {

using namespace tabinowa;

std::string q(const std::string& s) { return "\"" + s + "\""; }

// One master row of 43 fields.
std::string row(int ken, int kind, const std::string& oldName, const std::string& name, int x, int y, int seq) {
    std::string f[44];
    f[1] = std::to_string(seq);
    f[2] = std::to_string(ken);
    f[3] = "0";
    f[4] = std::to_string(seq % 100);
    f[5] = std::to_string(kind);
    f[6] = oldName.empty() ? "" : q(oldName);
    f[7] = q(name);
    f[8] = q(name + "（よみ）");
    f[9] = q("");
    for (int i = 10; i <= 14; ++i) f[i] = "";
    f[15] = std::to_string(x);
    f[16] = std::to_string(y);
    f[17] = std::to_string(5000 + seq * 37 % 400000);
    f[18] = std::to_string(20 + seq % 900);
    f[19] = std::to_string(300 + seq % 20000);
    f[20] = std::to_string(3000 + seq * 7 % 200000);
    f[21] = std::to_string(seq % 5000);
    f[22] = std::to_string(seq % 9000);
    f[23] = "0";
    f[24] = "0";
    // About 60 to 90 characters of description over fields 25 to 37.
    const char* pieces[] = {"明治二十二年町村制施行", "により", "村が発足", "昭和", "三十年", "に近隣の村と合併",
                            "人口は", "約", "千人", "主な産業は農業", "と漁業", "名所は城跡", "と温泉"};
    for (int i = 25; i <= 37; ++i) f[i] = q(pieces[(i - 25 + seq) % 13] + bench::fullWidth(seq % 97));
    for (int i = 38; i <= 42; ++i) f[i] = q("");
    f[43] = "";
    std::string line;
    for (int i = 1; i <= 43; ++i) line += (i > 1 ? "," : "") + f[i];
    return line + "\r\n";
}

// Writes the synthetic masters in CP932.
void writeSyntheticMasters(const AppFolders& f) {
    constexpr int kMunicipalities = 1741, kMerged = 596, kOldRows = 3232 - (kMunicipalities - kMerged);
    std::string text;
    for (int i = 1; i <= 43; ++i) text += (i > 1 ? ",h" : "h") + std::to_string(i);
    text += "\r\n";
    static_assert(kOldRows == 3 * kMerged + 299);
    int seq = 0, mergedSoFar = 0;
    for (int m = 0; m < kMunicipalities; ++m) {
        const int ken = 1 + m * 47 / kMunicipalities;
        // the merged ones spread evenly; the first 299 carry 4 old rows, the rest 3
        const bool isMerged = (m * kMerged / kMunicipalities) != ((m + 1) * kMerged / kMunicipalities);
        const std::string name = "市町村" + bench::fullWidth(m + 1);
        if (!isMerged) {
            text += row(ken, 0, name, name, 100 + m % 7000, 100 + m * 3 % 7000, ++seq);
            continue;
        }
        const int take = mergedSoFar++ < 299 ? 4 : 3;
        text += row(ken, 0, "", name, 100 + m % 7000, 100 + m * 3 % 7000, ++seq);
        for (int k = 1; k <= take; ++k) {
            ++seq;
            text += row(ken, 1, "旧町" + bench::fullWidth(seq), name, 50 + seq % 7400, 50 + seq * 11 % 7400, seq);
        }
    }
    std::string pref;
    for (int i = 1; i <= 47; ++i) pref += std::to_string(i) + "," + q("県" + bench::fullWidth(i)) + ",0,0,1,2,3,4\r\n";
    auto write = [](const std::filesystem::path& p, const std::string& utf8) {
        std::string bytes = toCp932(utf8, "bench");
        PosixIo io;
        writeFileAtomic(io, p, bytes);
    };
    write(f.cityMaster(), text);
    write(f.prefectureData(), pref);
}

struct Fixture {
    testing::TempProgramFolder folder;
    std::filesystem::path root = folder.path();
    AppFolders folders = folder.folders();
    std::string source = "synthetic";
    std::map<std::filesystem::path, std::string> outputs;  // the bytes a build writes

    Fixture() {
        const AppFolders data{bench::shippedData()};
        if (std::filesystem::exists(data.cityMaster()) && std::filesystem::exists(data.prefectureData())) {
            std::filesystem::copy_file(data.cityMaster(), folders.cityMaster());
            std::filesystem::copy_file(data.prefectureData(), folders.prefectureData());
            source = "shipped data";
        } else {
            writeSyntheticMasters(folders);
        }
        PosixIo io;
        MtRandom random(1);
        Session s(root, io, random);
        std::cout << "input: " << source << ", build: " << buildCityFiles(s) << "\n";
        for (const auto& p : {folders.cityRecords(), folders.rangeFile(), folders.visitMarks(), folders.cityTestList()})
            outputs[p] = readWholeFile(io, p);
        std::size_t total = 0;
        for (const auto& [p, b] : outputs) total += b.size();
        std::cout << "output bytes: " << total << "\n";
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_CityBuild(benchmark::State& state) {
    Fixture& fx = fixture();
    PosixIo io;
    MtRandom random(1);
    Session s(fx.root, io, random);
    for (auto _ : state) benchmark::DoNotOptimize(buildCityFiles(s));
}

void runFloor(benchmark::State& state, bool parse) {
    Fixture& fx = fixture();
    PosixIo io;
    for (auto _ : state) {
        std::string master = readWholeFile(io, fx.folders.cityMaster());
        std::string pref = readWholeFile(io, fx.folders.prefectureData());
        if (parse) {
            FieldReader m(std::move(master), "m"), p(std::move(pref), "p");
            while (!m.atEnd()) benchmark::DoNotOptimize(m.readValue());
            while (!p.atEnd()) benchmark::DoNotOptimize(p.readValue());
        }
        benchmark::DoNotOptimize(master.data());
        FileSet files(io, fx.folders.journal());
        for (const auto& [path, bytes] : fx.outputs) files.stage(path, bytes);
        files.commit();
    }
}
void BM_FloorReadWrite(benchmark::State& state) { runFloor(state, false); }
void BM_FloorReadParseWrite(benchmark::State& state) { runFloor(state, true); }

BENCHMARK(BM_CityBuild)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FloorReadWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FloorReadParseWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    return bench::runBenchmarks(argc, argv, [](const bench::RatioReporter& t) {
        // Real time includes the waits for the disk (fsync on both sides);
        // CPU time is the work the build does beyond its floor.
        for (bool cpu : {false, true}) {
            auto time = [&](const char* name) { return cpu ? t.cpu(name) : t.real(name); };
            const double build = time("BM_CityBuild"), plain = time("BM_FloorReadWrite"),
                         parsed = time("BM_FloorReadParseWrite");
            if (build <= 0 || plain <= 0 || parsed <= 0) continue;
            const char* kind = cpu ? "CPU time " : "real time";
            std::cout << "ratio build / floor (read + write), " << kind << ":         " << build / plain
                      << (cpu ? "\n" : "  (goal <= 3.0)\n");
            std::cout << "ratio build / floor (read + parse + write), " << kind << ": " << build / parsed << "\n";
        }
    });
}
