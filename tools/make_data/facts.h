// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The facts of the data set, derived once from the raw data: present
// municipalities with their statistics, the old municipalities of 1999-03-31
// with the steps that led each into its present municipality, and the
// prefectures. The masters and the question bank are written from these.
#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sources.h"

namespace makedata {

// One step in the history of an old municipality (merger, new status, new name).
struct Step {
    std::string date;    // YYYY-MM-DD
    std::string type;    // 新設合併, 編入合併, 市制施行, 町制施行, 名称変更, 政令指定都市施行, ...
    int toCode = 0;      // designated cities as the city
    std::string toName;  // name of the municipality after the step ("静岡市清水区" for a ward)
    bool isMerger() const { return type == "新設合併" || type == "編入合併"; }
};

struct OldMuni {
    int code = 0;
    int pref = 0;
    std::string name, kana, kind;  // kind: "市", "町", "村" or "区"
    std::string gun;               // district (郡) in 2000, or empty
    int present = 0;               // code of the present municipality it belongs to
    double lon = 0, lat = 0;       // centroid of its area
    int centroidYear = 2000;
    std::vector<Step> history;     // from 1999-04-01 to its present municipality
    std::vector<int> alsoPartOf;   // other present municipalities that took part of its area
    bool merged() const;           // at least one merger step
    const Step* lastMerger() const;
};

// An economic figure in 億円 with the year it stands for; known == false is a gap.
struct Figure {
    long long oku = 0;
    int year = 0;
    bool known = false;
};

struct PresentMuni {
    int code = 0;
    int pref = 0;
    std::string name, kana, district, kind;  // kind: "市", "町", "村" or "区"
    int kindCode = 0;                          // 2 市, 4 区, 5 町, 6 村
    long long population = 0;
    long long areaHa = 0;
    long long areaKm2 = 0;
    long long establishments = 0, employees = 0;
    Figure shipments, sales;
    std::string url, phrase, lgcode;
    double lon = 0, lat = 0;  // centroid of its 2020 area
    bool hasHall = false;     // town hall position known (town_halls.csv)
    double hallLon = 0, hallLat = 0;
    std::vector<int> olds;    // old municipalities in code order
    bool hallInside = false;  // the town hall stands in the municipality (not in another, like 三島村's in 鹿児島市)
    int hallIn = 0;           // code of the municipality the town hall stands in (0: none found)
    // present municipalities sharing a land border, ascending: within the prefecture a
    // common segment of the polygons, across its border at least kNeighbourKm
    std::vector<int> neighbours;
    std::map<int, double> borderKm;  // km of border with each neighbour and each nearly touching one
    // across the prefecture border, less than kNeighbourKm of border: whether they touch
    // is left open (the two files were simplified apart); ascending
    std::vector<int> nearly;
    // not to be offered as not touching: the nearly touching ones, a single common point
    // (a corner), or closer than kClearKm (目黒区 and 港区 lie 0.14 km apart); ascending
    std::vector<int> mayTouch;
    bool hasShape = false;        // extent of its 2021 polygons, degrees (docs/DATA.md: extent rules)
    double north = 0, south = 0, east = 0, west = 0;
    std::array<std::string, 4> farPlace;  // north, south, east, west: a place added by hand that sets the extent
    bool merged() const { return olds.size() >= 2; }
};

struct Prefecture {
    int number = 0;
    std::string name;
    int region = 0;        // 1 北海道 … 8 九州・沖縄
    int capital = 0;       // code of the municipality holding the prefectural office
    long long population = 0;
    long long areaKm2 = 0;
    int count = 0;         // present municipalities
    std::string officeWord() const;  // 道庁, 都庁, 府庁 or 県庁
};

struct Facts {
    std::vector<Prefecture> prefs;     // index = number - 1
    std::vector<PresentMuni> presents; // prefecture then code order
    std::map<int, OldMuni> olds;       // by code
    std::map<int, std::size_t> presentIndex;
    std::vector<std::string> notes;    // documented gaps and fixes, for the run report
    // Names a question may collide with although they are no present municipality
    // of ours: the wards of designated cities (name -> prefectures) and the six
    // villages of the Northern Territories (name -> district), which the code list has.
    std::map<std::string, std::set<int>> wardNames;
    std::map<std::string, std::string> northernVillages;

    const PresentMuni& present(int code) const { return presents.at(presentIndex.at(code)); }
    const Prefecture& pref(int number) const { return prefs.at(static_cast<std::size_t>(number - 1)); }
};

// Rounds a / b (b > 0, a >= 0) to the nearest integer, a half to the even neighbour.
long long divRoundHalfEven(long long a, long long b);

// The last UTF-8 character of a text ("函館市" -> "市").
std::string lastChar(const std::string& s);

// Kind code of the master: 2 市, 4 区, 5 町, 6 村; 0 for anything else.
int kindCodeOf(const std::string& kind);

// Region number 1..8 of a prefecture and the region's name.
int regionOf(int pref);
std::string regionName(int region);

Facts deriveFacts(const RawData& raw);

}  // namespace makedata
