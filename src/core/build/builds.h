// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The environment window's two builds of the working files from the masters.
// Each is all or nothing: every output is written under a temporary name and
// renamed over the old file only when the whole build succeeded. On any error
// FileError is thrown (Japanese, naming the file and the line or field) and
// every file and the Session stay exactly as they were.
#include <functional>
#include <string>
#include <vector>

#include "core/files/records.h"
#include "core/session/session.h"

namespace tabinowa {

// Asked before a build replaces working files with far fewer rows: the text
// says what would be lost; true goes on. Without one such a build is refused.
using ConfirmLoss = std::function<bool(const std::string& question)>;

// A master is "far smaller" than the working file it replaces when it holds
// less than half as many rows: a cut or wrong file, most likely.
bool farFewer(long long fresh, long long old);

// "問題.csv" -> "問題.ran" (every record active), "point.csv" set to 0, the
// Session's point total 0, the deck rebuilt from the new file. Returns the
// text for lblMsg1: count + "  " + count + "件　終了". A master without a
// question is refused; one with far fewer than "問題.ran" asks `confirmLoss`.
std::string buildQuestionFile(Session& session, const ConfirmLoss& confirmLoss = {});

// "市町村.csv" + "都道府県データ.csv" -> "市町村.ran", "県範囲.csv",
// "訪問消去.ran", "市町村ｔｅｓｔ.csv". Returns "終了　" + record count. A
// master without a municipality is refused; one with far fewer than
// "市町村.ran" asks `confirmLoss`.
std::string buildCityFiles(Session& session, const ConfirmLoss& confirmLoss = {});

// The builds' outputs made from masters' bytes, nothing written: what a
// data update puts in place together with the masters it takes. They throw
// FileError naming the master and its line; `withRepair` adds the way out of
// a master kept in the folder (mend it or take the shipped one).

// "問題.csv" -> the bytes of "問題.ran", every question active.
std::string questionRecordsFrom(std::string master, const std::string& masterName);

struct CityFiles {
    std::string records;   // "市町村.ran"
    std::string marks;     // "訪問消去.ran", nothing visited
    std::string testList;  // "市町村ｔｅｓｔ.csv"
    struct Range {
        int start = 0, end = 0;  // records of one prefecture
        std::string name;
    };
    std::vector<Range> ranges;  // one for each line of "県範囲.csv"
    std::string rangeName;
    int count() const { return static_cast<int>(records.size() / City::kLength); }
    // "県範囲.csv" with these visit counts, one for each range (missing ones 0).
    std::string rangeBytes(const std::vector<int>& visits = {}) const;
};
// "市町村.csv" + "都道府県データ.csv" (asked for once the master has been read)
// -> the municipality files. A master without a municipality is refused.
CityFiles cityFilesFrom(std::string master, const std::function<std::string()>& prefectureData,
                        const AppFolders& folders, bool withRepair);

// The message of a build that was not made because the learner said no.
inline constexpr const char* kBuildDeclined = "作り直しませんでした。ファイルは変えていません。";

}  // namespace tabinowa
