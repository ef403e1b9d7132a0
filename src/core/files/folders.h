// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three data folders beside the program.
#include <filesystem>
#include <string>
#include <vector>

namespace tabinowa {

struct AppFolders {
    std::filesystem::path program;  // the program's own folder

    std::filesystem::path data() const { return program / "file"; }             // questions, points
    std::filesystem::path map() const { return program / "file1"; }             // municipalities, pictures
    std::filesystem::path work() const { return program / u8path("作業ファイル"); }  // masters

    std::filesystem::path questionRecords() const { return data() / u8path("問題.ran"); }
    std::filesystem::path pointFile() const { return data() / "point.csv"; }
    std::filesystem::path memoryFile() const { return data() / u8path("記憶.txt"); }
    std::filesystem::path questionMaster() const { return work() / u8path("問題.csv"); }
    // The questions' difficulties, beside their master (docs/DATA.md)
    std::filesystem::path difficultyFile() const { return work() / u8path("問題難度.csv"); }
    std::filesystem::path cityMaster() const { return work() / u8path("市町村.csv"); }
    std::filesystem::path prefectureData() const { return map() / u8path("都道府県データ.csv"); }
    std::filesystem::path cityRecords() const { return map() / u8path("市町村.ran"); }
    std::filesystem::path rangeFile() const { return map() / u8path("県範囲.csv"); }
    std::filesystem::path visitMarks() const { return map() / u8path("訪問消去.ran"); }
    std::filesystem::path cityTestList() const { return map() / u8path("市町村ｔｅｓｔ.csv"); }
    // The journal of changes to several working files at once, and the folders
    // whose leftovers a recovery sweeps.
    std::filesystem::path journal() const { return program / "tabinowa.journal"; }
    // (The masters' folder too: a newer data set replaces them in a change.)
    std::vector<std::filesystem::path> workingFolders() const { return {program, data(), map(), work()}; }
    // "k" + prefecture line number + ".jpg"
    std::filesystem::path picture(int line) const { return map() / ("k" + std::to_string(line) + ".jpg"); }

    static std::filesystem::path u8path(const char* utf8) {
        return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8)));
    }
};

// The file's name for messages: its last component, in UTF-8.
std::string displayName(const std::filesystem::path& p);

}  // namespace tabinowa
