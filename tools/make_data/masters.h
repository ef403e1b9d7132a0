// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The municipality master (作業ファイル/市町村.csv) and the prefecture data
// (file1/都道府県データ.csv), built from the facts and the dot positions.
#include <map>
#include <string>
#include <vector>

#include "facts.h"
#include "output.h"

namespace makedata {

struct Dot {
    int x = 0, y = 0;  // twips on the prefecture picture
};

struct Dots {
    std::map<int, Dot> old;      // by old municipality code
    std::map<int, Dot> present;  // by present code (the municipality row of a merged one)
};

// The program joins the thirteen description fields with one ideographic
// blank between neighbours (none between the 10th and 11th on a municipality
// row) and keeps descriptions of at most this many characters.
inline constexpr std::size_t kDescriptionMax = 99;
inline constexpr std::size_t kNameBytes = 20;   // CityName and old names
inline constexpr std::size_t kMemoBytes = 150;

// "2004-12-01" -> "2004年12月1日"
std::string formatDate(const std::string& ymd);

// What a step of a history says ("編入合併で函館市に"); empty for steps not shown.
std::string stepText(const Step& s);

// The thirteen description fields of an old-municipality row and of a
// municipality row.
std::vector<std::string> oldDescription(const Facts& facts, const OldMuni& o);
std::vector<std::string> presentDescription(const Facts& facts, const PresentMuni& m);

// The description as the program joins it.
std::string joinDescription(const std::vector<std::string>& fields, bool oldRow);

struct MasterReport {
    int presentRows = 0;
    int oldRows = 0;
    int unmerged = 0;
    std::vector<std::string> cutNames;  // names longer than their 20-byte field
    std::vector<std::string> cutTexts;  // memo texts shortened to 150 bytes
};

std::string municipalityMaster(const Facts& facts, const Dots& dots, TextPolicy& policy, MasterReport& report);
std::string prefectureData(const Facts& facts, TextPolicy& policy);

}  // namespace makedata
