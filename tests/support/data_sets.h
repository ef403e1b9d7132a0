// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small data sets for tests, laid out as the shipped one is (作業ファイル/ with
// the masters, file1/ with the prefecture data and pictures, the data version
// file), built from a few question and municipality lines. Header only.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/build/program_folder.h"
#include "core/files/cp932.h"
#include "core/files/io.h"
#include "core/files/prefectures.h"
#include "core/files/record_views.h"
#include "core/files/records.h"
#include "core/files/visit_state.h"
#include "core/quiz/memory.h"
#include "core/quiz/questions.h"
#include "support/fixed_random.h"
#include "core/files/folders.h"
#include "support/temp_folder.h"

namespace tabinowa::testing {

// A column's raw text in a master line (quoted or not), by column number.
using MasterFields = std::map<int, std::string>;

inline std::string quoted(const std::string& text) { return "\"" + text + "\""; }

inline std::string masterLine(const MasterFields& f, int columns) {
    std::string line;
    for (int c = 1; c <= columns; ++c) {
        if (c > 1) line += ',';
        if (auto it = f.find(c); it != f.end()) line += it->second;
    }
    return line + "\n";
}

// A question of "問題.csv": its two lines and its answer, the rest fixed.
struct QuestionLine {
    std::string first, second, answer;
};

inline std::string questionMasterOf(const std::vector<QuestionLine>& lines) {
    std::string text;
    int n = 0;
    for (const auto& q : lines)
        text += masterLine({{1, quoted("AB12")}, {2, std::to_string(++n)}, {4, quoted("選択一")}, {5, quoted("選択二")},
                            {6, quoted("選択三")}, {7, quoted(q.answer)}, {11, quoted("解説")}, {16, "0"},
                            {17, quoted(q.first)}, {18, quoted(q.second)}},
                           18);
    return sjisLines(text);
}

// A row of "市町村.csv". `code` is the municipality's code ("01202"): its
// prefecture number and last three digits go to fields 2 and 4.
enum class CityRowKind { Town, Merged, Old };
struct CityLine {
    CityRowKind kind;
    int code;
    std::string name;  // the municipality's name; for an old row, the old municipality's
    std::string present = {};  // an old row: the municipality it belongs to
};

inline std::string cityMasterOf(const std::vector<CityLine>& rows) {
    std::string text;
    for (int c = 1; c <= 43; ++c) text += (c > 1 ? ",h" : "h") + std::to_string(c);
    text += "\n";
    for (const auto& r : rows) {
        MasterFields f{{1, quoted(std::to_string(r.code))}, {2, std::to_string(r.code / 1000)}, {3, "2"},
                       {4, std::to_string(r.code % 1000)}, {5, r.kind == CityRowKind::Old ? "1" : "0"},
                       {15, "100"}, {16, "200"}, {17, "10000"}, {18, "50"}, {19, "400"}, {20, "3000"},
                       {21, "100"}, {22, "200"}, {23, "0"}, {24, "0"}};
        if (r.kind != CityRowKind::Merged) f[6] = quoted(r.name);
        f[7] = quoted(r.kind == CityRowKind::Old ? r.present : r.name);
        text += masterLine(f, 43);
    }
    return sjisLines(text);
}

inline std::string prefectureDataOf(int lines) {
    static const char* names[] = {"北海道", "青森県", "岩手県", "宮城県"};
    std::string text;
    for (int i = 1; i <= lines; ++i)
        text += std::to_string(i) + "," + quoted(i <= 4 ? names[i - 1] : "県" + std::to_string(i)) + ",0,0,1,2,3,4\n";
    return sjisLines(text);
}

struct DataSetSpec {
    std::string version;
    std::vector<QuestionLine> questions;
    std::vector<CityLine> cities;
    int prefectures = 2;
    std::vector<std::string> pictures = {"k1", "k2"};  // each picture's bytes
};

// Writes the data set into `root` (which must exist).
inline void writeDataSet(const std::filesystem::path& root, const DataSetSpec& d) {
    const AppFolders f{root};
    std::filesystem::create_directories(f.work());
    std::filesystem::create_directories(f.map());
    writeBytes(f.questionMaster(), questionMasterOf(d.questions));
    writeBytes(f.cityMaster(), cityMasterOf(d.cities));
    writeBytes(f.prefectureData(), prefectureDataOf(d.prefectures));
    for (std::size_t i = 0; i < d.pictures.size(); ++i) writeBytes(f.picture(static_cast<int>(i + 1)), d.pictures[i]);
    if (!d.version.empty()) writeBytes(root / kDataVersionFile, "tabinowa-data-version 1\n" + d.version + "\n");
}

// --------------------------------------------- two versions and a learner ----

using K = CityRowKind;

inline const QuestionLine qA{"【読み】甲市", "の読みは？", "こうし"};
inline const QuestionLine qB{"【読み】乙町", "の読みは？", "おつまち"};
inline const QuestionLine qC{"【読み】丙村", "の読みは？", "へいむら"};
inline const QuestionLine qD{"【読み】丁市", "の読みは？", "ていし"};
inline const QuestionLine qE{"【読み】新市", "の読みは？", "しんし"};

inline std::string keyOf(const QuestionLine& q) { return q.first + "\n" + q.second + "\n" + q.answer; }

// 2026.1: 北海道 甲市, 乙町, 丙村; 青森県 丁市, 戊町.
inline DataSetSpec older() {
    return {"2026.1",
            {qA, qB, qC, qD},
            {{K::Town, 1100, "甲市"}, {K::Town, 1201, "乙町"}, {K::Town, 1202, "丙村"},
             {K::Town, 2201, "丁市"}, {K::Town, 2301, "戊町"}}};
}

// 2026.2: 乙町 and 丙村 merged into 新市 (a new code); 丁市 renamed 丁丁市 (its
// code kept); 己村 added; question 丙村 dropped, 新市 added, the order changed.
inline DataSetSpec newer() {
    return {"2026.2",
            {qE, qD, qA, qB},
            {{K::Town, 1100, "甲市"},
             {K::Merged, 1210, "新市"},
             {K::Old, 1201, "乙町", "新市"},
             {K::Old, 1202, "丙村", "新市"},
             {K::Town, 2201, "丁丁市"},
             {K::Town, 2301, "戊町"},
             {K::Town, 2302, "己村"}},
            2,
            {"k1", "k2-new"}};
}

inline int recordOf(const std::string& records, std::string_view cityName) {
    for (std::size_t at = 0; at + City::kLength <= records.size(); at += City::kLength)
        if (trimRight(CityView(std::string_view(records).substr(at, City::kLength), "").cityName()) == cityName)
            return static_cast<int>(at / City::kLength) + 1;
    return 0;
}

// A program folder made from the older data set, then played: questions B
// and C removed, 甲市, 乙町 and 丁市 visited, 2500 points.
struct Learner {
    TempProgramFolder folder;
    TempProgramFolder shippedOld, shippedNew;
    PosixIo io;
    FixedRandom random{{0.25, 0.75, 0.5, 0.125, 0.875, 0.375, 0.625}};
    AppFolders f() const { return folder.folders(); }

    explicit Learner(const DataSetSpec& next = newer()) {
        writeDataSet(shippedOld.path(), older());
        writeDataSet(shippedNew.path(), next);
        prepareProgramFolder(folder.path(), shippedOld.path(), io, random);
        const AppFolders af = f();
        {
            QuestionFile qf(io, af);
            for (int n = 1; n <= qf.count(); ++n) {
                const std::string key = memoryKey(qf.get(n));
                if (key == keyOf(qB) || key == keyOf(qC)) qf.markRemoved(n);
            }
        }
        const std::string records = readBytes(af.cityRecords());
        auto table = readRanges(io, af);
        for (const char* name : {"甲市", "乙町", "丁市"}) {
            const int n = recordOf(records, name);
            setVisited(io, af, n);
            for (auto& k : table)
                if (k.startRec() <= n && n <= k.endRec()) k.HomonSu = Value::number(k.homonSu() + 1);
        }
        rewriteRanges(io, af, table, false);
        writePoints(io, af, 2500);
    }
};

}  // namespace tabinowa::testing
