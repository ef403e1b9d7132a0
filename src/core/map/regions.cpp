// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/map/regions.h"

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

constexpr double kMargin = 300;     // twips of sea around the region
constexpr double kInsetGap = 90;    // twips between an inset and the map's edge or another inset
constexpr double kMaxMagnify = 4;   // an inset never magnifies more than this times the main area

const MapPart* partOf(const MapArea& a, const MapShape& s, std::size_t ring) {
    const int p = ring < s.ringParts.size() ? s.ringParts[ring] : 0;
    if (p < 0 || p >= static_cast<int>(a.parts.size())) return nullptr;
    return &a.parts[static_cast<std::size_t>(p)];
}

MapBox emptyBox() {
    return {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
            std::numeric_limits<double>::lowest()};
}

void grow(MapBox& b, MapPoint p) {
    b = {std::min(b.left, p.x), std::min(b.top, p.y), std::max(b.right, p.x), std::max(b.bottom, p.y)};
}

void grow(MapBox& b, const MapBox& o) {
    grow(b, MapPoint{o.left, o.top});
    grow(b, MapPoint{o.right, o.bottom});
}

// A ring of `from` (drawn in `part`) taken through longitude and latitude into `to`.
MapRing reprojectedRing(const MapRing& ring, const MapPart& part, const MapPart& to, MapBox& box) {
    MapRing out;
    out.reserve(ring.size());
    box = emptyBox();
    for (const MapPoint& p : ring) {
        const MapPoint lonLat = part.unproject(p);
        const MapPoint q = to.project(lonLat.x, lonLat.y);
        grow(box, q);
        out.push_back(q);
    }
    return out;
}

// A prefecture's framed insets whose islands would not lie wholly on the
// region's map at their true place: they go into the region's map as an
// inset of their own, laid out as on the prefecture's picture.
struct InsetGroup {
    const MapArea* from = nullptr;
    std::vector<int> parts;  // indexes into from->parts
    MapBox box;              // their frames together, in the prefecture's twips
    double scale = 1;        // placed: region twips = at + scale * (prefecture twips - box's top left)
    MapPoint at;
    std::vector<int> placed;  // the region's part of each of `parts`
};

// A shape's rings taken through `to`, keeping those whose box meets the map;
// the rings of `group`'s insets (when given) moved with their inset instead.
MapShape reprojected(const MapArea& from, const MapShape& s, const MapPart& to, const MapBox& map,
                     const InsetGroup* group = nullptr) {
    MapShape out;
    out.kind = s.kind;
    out.code = s.code;
    for (std::size_t r = 0; r < s.rings.size(); ++r) {
        const int p = r < s.ringParts.size() ? s.ringParts[r] : 0;
        std::size_t k = 0;
        while (group && k < group->parts.size() && group->parts[k] != p) ++k;
        if (group && k < group->parts.size()) {
            MapRing ring;
            ring.reserve(s.rings[r].size());
            for (const MapPoint& q : s.rings[r])
                ring.push_back({group->at.x + group->scale * (q.x - group->box.left),
                                group->at.y + group->scale * (q.y - group->box.top)});
            out.rings.push_back(std::move(ring));
            out.ringParts.push_back(group->placed[k]);
            continue;
        }
        const MapPart* part = partOf(from, s, r);
        if (!part) continue;
        MapBox box;
        MapRing ring = reprojectedRing(s.rings[r], *part, to, box);
        if (ring.size() < 3 || !box.intersects(map)) continue;
        out.rings.push_back(std::move(ring));
        out.ringParts.push_back(0);
    }
    out.finish();
    return out;
}

// The longitude and latitude box (x: longitude, y: latitude) of the land
// rings of `a` drawn in part `p`.
MapBox lonLatBox(const MapArea& a, int p) {
    MapBox box = emptyBox();
    for (const MapShape& s : a.shapes) {
        if (s.kind == MapShape::Kind::Neighbour) continue;
        for (std::size_t r = 0; r < s.rings.size(); ++r) {
            if ((r < s.ringParts.size() ? s.ringParts[r] : 0) != p) continue;
            const MapPart* part = partOf(a, s, r);
            if (!part) continue;
            for (const MapPoint& q : s.rings[r]) grow(box, part->unproject(q));
        }
    }
    return box;
}

// The region's main part: the longitude and latitude box `ll` fitted into
// `room` with a margin of sea, aspect kept.
MapPart mainPart(const MapBox& ll, const MapBox& frame, const MapBox& room) {
    MapPart main;
    main.frame = frame;
    if (ll.left < ll.right && ll.top < ll.bottom) {
        const double west = ll.left, east = ll.right, south = ll.top, north = ll.bottom;
        main.k = std::cos((south + north) / 2 * std::numbers::pi / 180);
        const double w = (east - west) * main.k, h = north - south;
        main.scale = std::min((room.width() - 2 * kMargin) / w, (room.height() - 2 * kMargin) / h);
        main.x0 = west * main.k;
        main.y0 = north;
        main.ox = room.left + (room.width() - w * main.scale) / 2;
        main.oy = room.top + (room.height() - h * main.scale) / 2;
    }
    return main;
}

// What the main part fits: the prefectures' main areas, and the islands of
// their insets that cost the fit less than a quarter of its scale (対馬,
// 隠岐, 大東諸島 stay at their true place; 伊豆諸島, 小笠原 and 先島 would
// shrink the land to a corner).
MapBox fittedBox(const std::vector<const MapArea*>& prefectures, const MapBox& frame) {
    MapBox ll = emptyBox();
    for (const MapArea* a : prefectures)
        if (a) grow(ll, lonLatBox(*a, 0));
    const double scale = mainPart(ll, frame, frame).scale;
    for (const MapArea* a : prefectures) {
        if (!a) continue;
        for (std::size_t p = 1; p < a->parts.size(); ++p) {
            const MapBox island = lonLatBox(*a, static_cast<int>(p));
            if (island.left > island.right) continue;
            MapBox with = ll;
            grow(with, island);
            if (mainPart(with, frame, frame).scale >= 0.75 * scale) ll = with;
        }
    }
    return ll;
}

std::vector<InsetGroup> farInsets(const std::vector<const MapArea*>& prefectures, const MapPart& main) {
    std::vector<InsetGroup> groups;
    for (const MapArea* a : prefectures) {
        if (!a) continue;
        InsetGroup g;
        g.from = a;
        g.box = emptyBox();
        for (std::size_t p = 1; p < a->parts.size(); ++p) {
            if (!a->parts[p].framed) continue;
            bool far = false;
            for (const MapShape& s : a->shapes) {
                if (s.kind != MapShape::Kind::Municipality) continue;
                for (std::size_t r = 0; r < s.rings.size() && !far; ++r) {
                    if (r >= s.ringParts.size() || s.ringParts[r] != static_cast<int>(p)) continue;
                    MapBox box;
                    reprojectedRing(s.rings[r], a->parts[p], main, box);
                    far = !(main.frame.contains({box.left, box.top}) && main.frame.contains({box.right, box.bottom}));
                }
            }
            if (!far) continue;
            g.parts.push_back(static_cast<int>(p));
            grow(g.box, a->parts[p].frame);
        }
        if (!g.parts.empty()) groups.push_back(std::move(g));
    }
    return groups;
}

// Whether ring parts `p` of `a` go into one of the groups' insets.
bool inGroup(const std::vector<InsetGroup>& groups, const MapArea* a, int p) {
    for (const InsetGroup& g : groups)
        if (g.from == a && std::find(g.parts.begin(), g.parts.end(), p) != g.parts.end()) return true;
    return false;
}

// The boxes of the land on the main part (each ring's), where no inset may go.
std::vector<MapBox> landBoxes(const std::vector<const MapArea*>& prefectures, const MapPart& main,
                              const std::vector<InsetGroup>& groups) {
    std::vector<MapBox> boxes;
    for (const MapArea* a : prefectures) {
        if (!a) continue;
        for (const MapShape& s : a->shapes) {
            if (s.kind == MapShape::Kind::Neighbour) continue;
            for (std::size_t r = 0; r < s.rings.size(); ++r) {
                const MapPart* part = partOf(*a, s, r);
                if (!part || inGroup(groups, a, r < s.ringParts.size() ? s.ringParts[r] : 0)) continue;
                MapBox box;
                reprojectedRing(s.rings[r], *part, main, box);
                if (box.intersects(main.frame)) boxes.push_back(box);
            }
        }
    }
    return boxes;
}

// The scales an inset group may take: never below the main area's scale,
// never above the prefecture picture's own nor kMaxMagnify times the main area.
std::pair<double, double> scaleRange(const InsetGroup& g, const MapPart& main) {
    double low = 0, high = 1;
    for (int p : g.parts) {
        const double s = g.from->parts[static_cast<std::size_t>(p)].scale;
        low = std::max(low, main.scale / s);
        high = std::min(high, kMaxMagnify * main.scale / s);
    }
    return {low, std::max(low, high)};
}

// Puts each group into a corner of the map, as large as its range allows,
// clear of the land and of the groups before it; false when one finds no room.
bool placeInCorners(std::vector<InsetGroup>& groups, const MapPart& main, std::vector<MapBox> taken) {
    const MapBox& f = main.frame;
    for (InsetGroup& g : groups) {
        const auto [low, high] = scaleRange(g, main);
        bool placed = false;
        for (double scale = high; scale >= low * 0.999 && !placed; scale *= 0.92) {
            const double w = g.box.width() * scale, h = g.box.height() * scale;
            if (w > f.width() - 2 * kInsetGap || h > f.height() - 2 * kInsetGap) continue;
            const MapPoint corners[] = {{f.right - kInsetGap - w, f.bottom - kInsetGap - h},
                                        {f.left + kInsetGap, f.bottom - kInsetGap - h},
                                        {f.right - kInsetGap - w, f.top + kInsetGap},
                                        {f.left + kInsetGap, f.top + kInsetGap}};
            for (const MapPoint& c : corners) {
                const MapBox box{c.x - kInsetGap / 2, c.y - kInsetGap / 2, c.x + w + kInsetGap / 2, c.y + h + kInsetGap / 2};
                bool clash = false;
                for (const MapBox& t : taken) clash = clash || t.intersects(box);
                if (clash) continue;
                g.scale = scale;
                g.at = c;
                taken.push_back(box);
                placed = true;
                break;
            }
        }
        if (!placed) return false;
    }
    return true;
}

// Failing the corners: the groups side by side in a band along the map's
// foot, the main area fitted above it.
MapPart placeInBand(std::vector<InsetGroup>& groups, const std::vector<const MapArea*>& prefectures, const MapBox& frame) {
    double width = 0, height = 0;
    for (const InsetGroup& g : groups) {
        width += g.box.width() + kInsetGap;
        height = std::max(height, g.box.height());
    }
    const double fit = std::min((frame.width() - kInsetGap) / width, frame.height() * 0.3 / height);
    const double band = height * fit + 2 * kInsetGap;
    const MapPart main = mainPart(fittedBox(prefectures, frame), frame, {frame.left, frame.top, frame.right, frame.bottom - band});
    double x = frame.left + kInsetGap;
    for (InsetGroup& g : groups) {
        const auto [low, high] = scaleRange(g, main);
        g.scale = std::min(fit, high);
        (void)low;  // the band is all the room there is
        g.at = {x, frame.bottom - kInsetGap - g.box.height() * g.scale};
        x += g.box.width() * g.scale + kInsetGap;
    }
    return main;
}

}  // namespace

MapArea regionArea(int id, const std::vector<const MapArea*>& prefectures, const MapArea* japan,
                   const std::vector<int>& prefectureNumbers) {
    MapArea area;
    area.id = id;
    const MapBox frame{0, 0, static_cast<double>(area.width), static_cast<double>(area.height)};
    MapPart main = mainPart(fittedBox(prefectures, frame), frame, frame);
    // Far islands shown in an inset of their prefecture get one here too.
    std::vector<InsetGroup> groups = farInsets(prefectures, main);
    if (!groups.empty() && !placeInCorners(groups, main, landBoxes(prefectures, main, groups)))
        main = placeInBand(groups, prefectures, frame);
    area.parts.push_back(main);
    for (InsetGroup& g : groups)
        for (int p : g.parts) {
            const MapPart& from = g.from->parts[static_cast<std::size_t>(p)];
            MapPart inset = from;
            inset.scale = from.scale * g.scale;
            inset.ox = g.at.x + g.scale * (from.ox - g.box.left);
            inset.oy = g.at.y + g.scale * (from.oy - g.box.top);
            inset.frame = {g.at.x + g.scale * (from.frame.left - g.box.left), g.at.y + g.scale * (from.frame.top - g.box.top),
                           g.at.x + g.scale * (from.frame.right - g.box.left),
                           g.at.y + g.scale * (from.frame.bottom - g.box.top)};
            inset.framed = true;
            g.placed.push_back(static_cast<int>(area.parts.size()));
            area.parts.push_back(inset);
        }
    const MapBox& map = main.frame;
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
        const InsetGroup* group = nullptr;
        for (const InsetGroup& g : groups)
            if (g.from == a) group = &g;
        for (const MapShape& s : a->shapes) {
            if (s.kind == MapShape::Kind::Neighbour) continue;
            MapShape mine = reprojected(*a, s, main, map, group);
            if (!mine.rings.empty()) area.shapes.push_back(std::move(mine));
        }
    }
    return area;
}

}  // namespace tabinowa
