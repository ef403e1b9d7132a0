// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The eight regions of Japan as maps of their own: the municipalities of a
// region's prefectures taken from each prefecture's outlines back to
// longitude and latitude and drawn in one projection fitted to the region, the
// other prefectures around it grey from the map of all Japan. Standard C++.
#include <string>
#include <vector>

#include "core/map/outlines.h"

namespace tabinowa {

struct Region {
    std::string name;              // "関東地方"
    std::vector<int> prefectures;  // prefecture numbers 1..47
};

// 北海道, 東北, 関東, 中部, 近畿, 中国, 四国 and 九州・沖縄, in that order.
const std::vector<Region>& regions();

// Area numbers of region maps, apart from the file's 0..47.
inline constexpr int kRegionAreaBase = 100;

// The map of a region from its prefectures' maps (each with its own
// projection) and, for the grey land around it, the map of all Japan (may be
// null). The projection fits the prefectures' main areas; pieces drawn in an
// inset of their prefecture come to their true place when they fall wholly on
// the map. A prefecture's insets whose islands would not (伊豆諸島 and 小笠原
// off 関東, 先島 off 九州・沖縄) become framed insets of the region's map, laid
// out as on the prefecture's picture, in a corner clear of the land (or, when
// no corner has room, in a band along the foot, the main area above it),
// never smaller than the main area's scale nor magnified more than 4 × it.
// Shapes keep their kinds and codes (municipality codes are unique across
// prefectures); a municipality none of whose pieces falls on the map is left
// out.
MapArea regionArea(int id, const std::vector<const MapArea*>& prefectures, const MapArea* japan,
                   const std::vector<int>& prefectureNumbers);

}  // namespace tabinowa
