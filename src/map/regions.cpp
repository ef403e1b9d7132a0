#include "map/regions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace tabinowa {

const std::vector<Region>& regions() {
    static const std::vector<Region> all{
        {"北海道地方", {1}},
        {"東北地方", {2, 3, 4, 5, 6, 7}},
        {"関東地方", {8, 9, 10, 11, 12, 13, 14}},
        {"中部地方", {15, 16, 17, 18, 19, 20, 21, 22, 23}},
        {"近畿地方", {24, 25, 26, 27, 28, 29, 30}},
        {"中国地方", {31, 32, 33, 34, 35}},
        {"四国地方", {36, 37, 38, 39}},
        {"九州・沖縄地方", {40, 41, 42, 43, 44, 45, 46, 47}},
    };
    return all;
}

namespace {

constexpr double kMargin = 300;  // twips of sea around the region

const MapPart* partOf(const MapArea& a, const MapShape& s, std::size_t ring) {
    const int p = ring < s.ringParts.size() ? s.ringParts[ring] : 0;
    if (p < 0 || p >= static_cast<int>(a.parts.size())) return nullptr;
    return &a.parts[static_cast<std::size_t>(p)];
}

// A shape's rings taken through `to`, keeping those whose box meets the map.
MapShape reprojected(const MapArea& from, const MapShape& s, const MapPart& to, const MapBox& map) {
    MapShape out;
    out.kind = s.kind;
    out.code = s.code;
    for (std::size_t r = 0; r < s.rings.size(); ++r) {
        const MapPart* part = partOf(from, s, r);
        if (!part) continue;
        MapRing ring;
        ring.reserve(s.rings[r].size());
        MapBox box{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                   std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
        for (const MapPoint& p : s.rings[r]) {
            const MapPoint lonLat = part->unproject(p);
            const MapPoint q = to.project(lonLat.x, lonLat.y);
            box = {std::min(box.left, q.x), std::min(box.top, q.y), std::max(box.right, q.x), std::max(box.bottom, q.y)};
            ring.push_back(q);
        }
        if (ring.size() < 3 || !box.intersects(map)) continue;
        out.rings.push_back(std::move(ring));
        out.ringParts.push_back(0);
    }
    out.finish();
    return out;
}

}  // namespace

MapArea regionArea(int id, const std::vector<const MapArea*>& prefectures, const MapArea* japan,
                   const std::vector<int>& prefectureNumbers) {
    MapArea area;
    area.id = id;
    // The longitude and latitude box of the prefectures' main areas.
    double west = std::numeric_limits<double>::max(), east = std::numeric_limits<double>::lowest();
    double south = west, north = east;
    for (const MapArea* a : prefectures) {
        if (!a) continue;
        for (const MapShape& s : a->shapes) {
            if (s.kind == MapShape::Kind::Neighbour) continue;
            for (std::size_t r = 0; r < s.rings.size(); ++r) {
                if (r < s.ringParts.size() && s.ringParts[r] != 0) continue;
                const MapPart* part = partOf(*a, s, r);
                if (!part) continue;
                for (const MapPoint& p : s.rings[r]) {
                    const MapPoint ll = part->unproject(p);
                    west = std::min(west, ll.x);
                    east = std::max(east, ll.x);
                    south = std::min(south, ll.y);
                    north = std::max(north, ll.y);
                }
            }
        }
    }
    MapPart main;
    main.frame = {0, 0, static_cast<double>(area.width), static_cast<double>(area.height)};
    if (west < east && south < north) {
        main.k = std::cos((south + north) / 2 * std::numbers::pi / 180);
        const double w = (east - west) * main.k, h = north - south;
        main.scale = std::min((area.width - 2 * kMargin) / w, (area.height - 2 * kMargin) / h);
        main.x0 = west * main.k;
        main.y0 = north;
        main.ox = (area.width - w * main.scale) / 2;
        main.oy = (area.height - h * main.scale) / 2;
    }
    area.parts.push_back(main);
    const MapBox map = main.frame;
    if (japan) {
        for (const MapShape& s : japan->shapes) {
            if (s.kind != MapShape::Kind::Municipality) continue;
            if (std::find(prefectureNumbers.begin(), prefectureNumbers.end(), s.code) != prefectureNumbers.end()) continue;
            MapShape grey = reprojected(*japan, s, main, map);
            grey.kind = MapShape::Kind::Neighbour;
            grey.code = 0;
            if (!grey.rings.empty()) area.shapes.push_back(std::move(grey));
        }
    }
    for (const MapArea* a : prefectures) {
        if (!a) continue;
        for (const MapShape& s : a->shapes) {
            if (s.kind == MapShape::Kind::Neighbour) continue;
            MapShape mine = reprojected(*a, s, main, map);
            if (!mine.rings.empty()) area.shapes.push_back(std::move(mine));
        }
    }
    return area;
}

}  // namespace tabinowa
