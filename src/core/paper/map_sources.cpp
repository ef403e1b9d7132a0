// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/paper/map_sources.h"

#include "core/files/error.h"
#include "core/files/io.h"
#include "core/map/where_round.h"

namespace tabinowa::paper {

std::vector<SheetPlace> prefecturePlaces(const MapArea& area, const std::vector<City>& cities) {
    const PrefectureCities lists = prefectureCities(cities);
    const std::vector<int> shapes = shapesOfRows(area, lists.rows);
    std::vector<SheetPlace> places;
    for (std::size_t r = 0; r < cities.size(); ++r) {
        if (shapes[r] < 0) continue;
        const City& c = cities[r];
        SheetPlace p;
        p.shape = shapes[r];
        p.name = trimmedName(c.CityName);
        p.reading = trimmedName(c.Name2);
        for (int k = 1; k <= c.KyuSu && k < City::kSlots; ++k)
            p.oldDots.push_back({static_cast<double>(c.KyuX[k]), static_cast<double>(c.KyuY[k])});
        places.push_back(std::move(p));
    }
    return places;
}

namespace {

const KenHani& kenOf(const std::vector<KenHani>& ken, int n) {
    if (n < 1 || n > static_cast<int>(ken.size())) throw FileError("都道府県の番号 " + std::to_string(n) + " は県範囲.csvにありません。");
    return ken[static_cast<std::size_t>(n - 1)];
}

LoadedSheet sheetFrom(MapArea area, const std::vector<City>& cities, const std::string& title) {
    LoadedSheet s;
    s.area = std::make_shared<MapArea>(std::move(area));
    s.sheet.title = title;
    s.sheet.area = s.area.get();
    s.sheet.places = prefecturePlaces(*s.area, cities);
    return s;
}

}  // namespace

LoadedSheet prefectureSheet(Io& io, const AppFolders& folders, const std::vector<KenHani>& ken, int n) {
    const KenHani& k = kenOf(ken, n);
    MapArea area = readOutlineArea(io, outlineFile(folders), n);
    return sheetFrom(std::move(area), readCities(io, folders, k, Descriptions::Skip), trimmedName(k.name()));
}

LoadedSheet regionSheet(Io& io, const AppFolders& folders, const std::vector<KenHani>& ken, const Region& region) {
    const std::filesystem::path file = outlineFile(folders);
    const std::string bytes = readWholeFile(io, file);
    const std::string fileName = file.filename().string();
    const MapArea japan = decodeOutlineArea(bytes, kJapanArea, fileName);
    std::vector<MapArea> areas;
    std::vector<int> numbers;
    for (int n : region.prefectures)
        if (n <= static_cast<int>(ken.size())) {
            areas.push_back(decodeOutlineArea(bytes, n, fileName));
            numbers.push_back(n);
        }
    if (numbers.empty()) throw FileError(region.name + "の都道府県が県範囲.csvにありません。");
    std::vector<const MapArea*> pointers;
    for (const MapArea& a : areas) pointers.push_back(&a);
    LoadedSheet s;
    s.area = std::make_shared<MapArea>(regionArea(kRegionAreaBase + numbers.front(), pointers, &japan, numbers));
    s.sheet.title = region.name;
    s.sheet.area = s.area.get();
    for (std::size_t i = 0; i < areas.size(); ++i) {
        const auto cities = readCities(io, folders, kenOf(ken, numbers[i]), Descriptions::Skip);
        for (SheetPlace p : prefecturePlaces(areas[i], cities)) {
            p.shape = s.area->indexOf(areas[i].shapes[static_cast<std::size_t>(p.shape)].code);
            p.oldDots.clear();  // the dots are in the prefecture picture's twips
            if (p.shape >= 0) s.sheet.places.push_back(std::move(p));
        }
    }
    return s;
}

std::vector<LoadedSheet> japanSheets(Io& io, const AppFolders& folders, const std::vector<KenHani>& ken) {
    const std::filesystem::path file = outlineFile(folders);
    const std::string bytes = readWholeFile(io, file);
    const std::string fileName = file.filename().string();
    std::vector<LoadedSheet> sheets;
    for (int n = 1; n <= static_cast<int>(ken.size()); ++n) {
        const KenHani& k = ken[static_cast<std::size_t>(n - 1)];
        sheets.push_back(sheetFrom(decodeOutlineArea(bytes, n, fileName),
                                   readCities(io, folders, k, Descriptions::Skip), trimmedName(k.name())));
    }
    return sheets;
}

}  // namespace tabinowa::paper
