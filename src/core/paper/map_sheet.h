// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// 白地図 on paper: a map's outlines fitted to the page, each municipality
// numbered inside its shape (or, when the number does not fit, beside it on a
// leader line, never over another number or line), the title, the scale and
// the data's source line; the answer key lists the numbers with the names and
// readings, on a page of its own or below the map. A study map prints the
// names instead of the numbers. Standard C++ only.
#include <string>
#include <vector>

#include "core/map/outlines.h"
#include "core/paper/page.h"

namespace tabinowa::paper {

// One municipality of a sheet, in the order it is numbered (from 1).
struct SheetPlace {
    int shape = -1;        // index into the area's shapes
    std::string name;      // trimmed
    std::string reading;   // trimmed, may be empty
    std::vector<MapPoint> oldDots;  // its old municipalities' dots (twips), when printed
};

struct MapSheet {
    std::string title;  // "北海道", "関東地方"
    const MapArea* area = nullptr;
    std::vector<SheetPlace> places;
};

enum class MapLabels { Numbers, Blank, Names };
enum class KeyPlace { NextPage, SamePage, None };

struct MapSheetOptions {
    PaperSize paper;
    MapLabels labels = MapLabels::Numbers;
    bool oldDots = false;
    KeyPlace key = KeyPlace::NextPage;
};

// The credit the outlines' licence asks for.
inline constexpr const char* kOutlineSource = "出典：「国土数値情報（行政区域データ）」（国土交通省）を加工して作成";

// How map twips lie on the page: page = origin + factor × (twips − box's top left).
struct MapFit {
    MapBox box;       // the part of the map shown, twips
    double factor = 1;  // mm per twip
    Pt origin;
    Pt toPage(MapPoint p) const { return {origin.x + factor * (p.x - box.left), origin.y + factor * (p.y - box.top)}; }
    MapPoint toMap(Pt p) const { return {box.left + (p.x - origin.x) / factor, box.top + (p.y - origin.y) / factor}; }
};
// The largest fit of `box` into `target`, centred.
MapFit fitMap(const MapBox& box, const Box& target);

// One label placed: the text's box, and for a label beside its place the
// leader from the place to the box.
struct PlacedLabel {
    int place = 0;  // index into MapSheet::places
    std::string text;
    Box box;
    bool leader = false;
    Line line;      // with leader: from inside the shape to the box's edge
};

struct MapLayout {
    MapFit fit;
    Box mapBox;  // the page area given to the map
    std::vector<PlacedLabel> labels;
    int crowded = 0;  // labels that found no clear place and were put where they overlap
    int crossed = 0;  // leaders that had to cross another leader to get out
};

// Places the labels (numbers or names) of `sheet` on the page area `mapBox`.
// Each goes inside its shape when its box fits there whole (clear of the
// borders), else beside it with a leader line, at the nearest clear place:
// inside the map's area, clear of every other label, leader and place's
// anchor, its leader crossing no other label or leader.
MapLayout layoutLabels(const MapSheet& sheet, const Box& mapBox, MapLabels labels, double sizePt);

// The pages of one sheet: the map page, then (KeyPlace::NextPage) the key's
// pages; with KeyPlace::SamePage the key takes the foot of the map page and
// runs on to further pages when it is long.
std::vector<Page> mapSheetPages(const MapSheet& sheet, const MapSheetOptions& options);

// The key's entries as the key pages print them: "12", "札幌市", "さっぽろし".
struct KeyEntry {
    std::string number, name, reading;
};
std::vector<KeyEntry> keyEntries(const MapSheet& sheet);

// Font sizes: numbers and names on the map, the key.
inline constexpr double kNumberPt = 7.0;
inline constexpr double kNamePt = 6.0;
inline constexpr double kKeyPt = 8.5;

}  // namespace tabinowa::paper
