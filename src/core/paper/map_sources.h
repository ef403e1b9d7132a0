// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sheets of the paper maps, read from the program folder: a prefecture's
// outlines with its municipalities in list order, a region's, or every
// prefecture of Japan one after the other.
#include <memory>
#include <vector>

#include "core/files/folders.h"
#include "core/files/io.h"
#include "core/files/prefectures.h"
#include "core/map/city_table.h"
#include "core/map/regions.h"
#include "core/paper/map_sheet.h"

namespace tabinowa::paper {

// A sheet with the map it is drawn on (the sheet points into it).
struct LoadedSheet {
    std::shared_ptr<MapArea> area;
    MapSheet sheet;
};

// The places of a prefecture's records on its map, in record order: the
// outline holding most of each municipality's dots, its trimmed name and
// reading, and its old municipalities' dots. A municipality with no outline is
// left out (it would have no place to point at).
std::vector<SheetPlace> prefecturePlaces(const MapArea& area, const std::vector<City>& cities);

// Prefecture n (1-based line of the range file).
LoadedSheet prefectureSheet(Io& io, const AppFolders& folders, const std::vector<KenHani>& ken, int n);
// One of regions(); its places in prefecture order, then record order.
LoadedSheet regionSheet(Io& io, const AppFolders& folders, const std::vector<KenHani>& ken, const Region& region);
// Every prefecture of the range file, in order.
std::vector<LoadedSheet> japanSheets(Io& io, const AppFolders& folders, const std::vector<KenHani>& ken);

}  // namespace tabinowa::paper
