// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The checks a window makes on the working files when it loads them, so that
// a damaged file is named instead of read as something else. They read sizes
// and at most the visit marks (a few kilobytes), cheap enough for every load;
// the texts of a record are checked when the record is read. Each failure is a
// FileError that names the file, says that no file was changed and how the
// environment window rebuilds it, and what the rebuild resets.
#include <string>
#include <vector>

#include "core/files/folders.h"
#include "core/files/io.h"
#include "core/files/messages.h"
#include "core/files/prefectures.h"

namespace tabinowa {

// The size of a file that must be there and within its size limit
// (sizeLimit), or a FileError naming it with `repair`: missing, a folder in its
// place, its folder missing, unreadable, too large.
long long checkedSize(Io& io, const std::filesystem::path& path, const std::string& repair);

// "問題.ran" is there (never created here) and holds whole records, at most
// kMaxQuestionRecords (none is an empty bank). Returns the number of records.
int checkQuestionRecords(Io& io, const AppFolders& folders);

// "市町村.ran" is there and holds whole records, at least one and at most
// kMaxCityRecords. Returns the number of records.
int checkCityRecords(Io& io, const AppFolders& folders);

// The lines of "県範囲.csv" match a municipality file of `cityCount` records:
// at least one line; number, first and last record and visit count whole
// numbers; each line's records follow the previous line's without gap or
// overlap, from record 1 to the last record; a visit count between 0 and the
// number of the line's municipalities.
void checkRanges(const std::vector<KenHani>& table, int cityCount, const AppFolders& folders);

// "県範囲.csv" read and checked against "市町村.ran" (which must be sound in size):
// what the map, the visit game and どこでしょう load.
std::vector<KenHani> loadRanges(Io& io, const AppFolders& folders);

// "訪問消去.ran" holds one mark for each of `cityCount` municipality records,
// each mark 0 or 1, none all zero bytes (the builds write each mark's own
// record number beside it). Returns its bytes.
std::string checkVisitMarks(Io& io, const AppFolders& folders, int cityCount);

// Each prefecture's visit count in "県範囲.csv" equals the number of its
// municipalities marked visited in "訪問消去.ran" (`marks`, checked as above):
// a visit raises both together, a start over clears both.
void checkVisitsAgree(const std::vector<KenHani>& table, std::string_view marks, const AppFolders& folders);

}  // namespace tabinowa
