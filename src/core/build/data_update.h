// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Taking a newer shipped data set with the learner's progress. The shipped
// masters and pictures replace the folder's, and the working files are made
// again from them, in one change through the journal (all or nothing, across
// a crash or a power cut), carrying over:
//  - removed questions, by the question's key (its two lines and answer, the
//    key the memory files its cards under): a question of the new bank whose
//    key was removed before stays removed;
//  - the points: "point.csv" is not touched;
//  - visits, by municipality code (prefecture number × 1000 + the code's last
//    three digits, KenNo and SubCode of "市町村.ran"): a municipality of the
//    new set whose code was visited before is marked visited, and the visit
//    counts of "県範囲.csv" are the new marks counted per prefecture, so the
//    three files agree as the load checks demand. A code that is gone (merged
//    away) or that more than one municipality holds carries nothing: those
//    municipalities are listed;
//  - the memory: cards of questions no longer in the bank are forgotten, as a
//    question build forgets them (the review's counts rely on the memory
//    holding only questions of the bank); every other card stays as it is.
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/session/session.h"

namespace tabinowa {

// What taking the data would do, worked out and checked before anything is
// written: every file of the change with its new bytes, and what is carried.
struct DataUpdate {
    std::string version;  // the shipped data version ("" when it has none)
    std::vector<std::pair<std::filesystem::path, std::string>> files;  // target, new bytes
    int takenFiles = 0;  // masters and pictures that differ from the folder's
    int questions = 0;
    int removedCarried = 0;   // removed questions still removed in the new bank
    int removedDropped = 0;   // removed questions the new bank no longer has
    int cities = 0;
    int visitsCarried = 0;    // municipalities of the new set marked visited
    // Visited municipalities whose visit could not be carried: "○○町（○○県）".
    std::vector<std::string> notCarried;
    std::vector<std::string> bankKeys;  // the new bank, for the memory
};

// Reads the shipped data set and the folder's working files and works out the
// change; writes nothing. Throws FileError (Japanese, naming the file) when
// the shipped data is refused (a damaged master, no version) or the learner's
// working files cannot be read; nothing has changed then.
DataUpdate planDataUpdate(Session& session, const std::filesystem::path& shipped);

// The question to ask before taking it: what changes and what is lost, in numbers.
std::string dataUpdateQuestion(const DataUpdate& update);

// "訪問を引き継げなかった市町村：甲町（北海道）、乙村（青森県）", or "" when every visit was carried.
std::string notCarriedLine(const DataUpdate& update);

// Puts the change in place, all or nothing, with the memory's part in the
// same journal, and reads the new deck. Returns the text for the window:
// what was taken and carried, the municipalities whose visit could not be
// carried, and a memory that could not take its part. Throws FileError when
// the files could not be written; they are then as they were.
std::string takeDataUpdate(Session& session, const DataUpdate& update);

}  // namespace tabinowa
