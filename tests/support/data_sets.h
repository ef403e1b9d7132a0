#pragma once
// Small data sets for tests, laid out as the shipped one is (作業ファイル/ with
// the masters, file1/ with the prefecture data and pictures, the data version
// file), built from a few question and municipality lines. Header only.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/build/program_folder.h"
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

}  // namespace tabinowa::testing
