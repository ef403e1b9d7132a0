// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The vector maps: for each prefecture the outlines of its present
// municipalities in the twips of its picture k<n>.jpg (so dots, circles and
// marks line up), and one map of all Japan's prefectures. Read from the file
// "file1/区域.dat" (layout in docs/DATA.md), checked whole at load; plus the
// geometry the maps need: inside tests, distances, areas and hit-testing.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/folders.h"

namespace tabinowa {

class Io;

inline constexpr const char* kOutlineFileName = "区域.dat";
inline constexpr int kOutlineVersion = 1;
// The map of all Japan: area number 0 beside the prefectures 1..47. Its
// shapes are the prefectures, `code` being the prefecture number.
inline constexpr int kJapanArea = 0;

struct MapPoint {
    double x = 0;  // twips, right
    double y = 0;  // twips, down
    friend bool operator==(const MapPoint&, const MapPoint&) = default;
};

struct MapBox {
    double left = 0, top = 0, right = 0, bottom = 0;
    bool contains(MapPoint p, double margin = 0) const {
        return p.x >= left - margin && p.x <= right + margin && p.y >= top - margin && p.y <= bottom + margin;
    }
    bool intersects(const MapBox& o) const {
        return left <= o.right && o.left <= right && top <= o.bottom && o.top <= bottom;
    }
    double width() const { return right - left; }
    double height() const { return bottom - top; }
    friend bool operator==(const MapBox&, const MapBox&) = default;
};

// The projection of one part of a map (the main area or an inset):
// twips = (ox + scale * (lon * k - x0), oy + scale * (y0 - lat)).
struct MapPart {
    double k = 1, scale = 1, x0 = 0, y0 = 0, ox = 0, oy = 0;
    MapBox frame;  // twips; the whole map for the main area
    bool framed = false;
    MapPoint project(double lon, double lat) const { return {ox + scale * (lon * k - x0), oy + scale * (y0 - lat)}; }
    // Longitude and latitude (as x and y) of a point of this part.
    MapPoint unproject(MapPoint t) const { return {((t.x - ox) / scale + x0) / k, y0 - (t.y - oy) / scale}; }
    friend bool operator==(const MapPart&, const MapPart&) = default;
};

using MapRing = std::vector<MapPoint>;  // closed implicitly: the last point joins the first

struct MapShape {
    enum class Kind : std::uint8_t {
        Municipality = 0,  // a present municipality (a prefecture on the map of Japan)
        Unassigned = 1,    // land of no municipality (所属未定地): drawn, never answered
        Neighbour = 2,     // a neighbouring prefecture's land: drawn grey, never answered
    };
    Kind kind = Kind::Municipality;
    int code = 0;  // municipality code (1100 for 札幌市); prefecture number on the map of Japan; 0 otherwise
    // A point is inside when it is inside an odd number of rings (holes work).
    std::vector<MapRing> rings;
    // The part (index into MapArea::parts) each ring is drawn in: a town on
    // the main area may have an island in an inset.
    std::vector<int> ringParts;
    MapBox box;  // of all rings (filled by the reader and by finish())
    void finish();
};

struct MapArea {
    int id = 0;  // kJapanArea or the prefecture number
    int width = 7575, height = 7545;  // twips
    std::vector<MapPart> parts;
    std::vector<MapShape> shapes;  // neighbours first, then land in code order
    // The shape of a municipality (or prefecture on the map of Japan), or nullptr.
    const MapShape* find(int code) const;
    int indexOf(int code) const;  // -1 when absent
};

// ---- the file

// The whole file's bytes for these areas (points rounded to quarter twips).
std::string encodeOutlines(const std::vector<MapArea>& areas);
// The area numbers the bytes hold, in file order. Throws FileError naming
// `fileName` when the header or the index is damaged.
std::vector<int> outlineAreaIds(std::string_view bytes, const std::string& fileName);
// One area of the bytes. Throws FileError (naming the file and the area) when
// the file is damaged anywhere on the way: header, index, checksum, counts,
// codes, points off the map, or bytes left over.
MapArea decodeOutlineArea(std::string_view bytes, int id, const std::string& fileName);
// "file1/区域.dat" of the program folder.
inline std::filesystem::path outlineFile(const AppFolders& f) { return f.map() / AppFolders::u8path(kOutlineFileName); }
// Reads the file and decodes one area of it.
MapArea readOutlineArea(Io& io, const std::filesystem::path& file, int id);

// ---- geometry (twips)

bool insideRings(const std::vector<MapRing>& rings, MapPoint p);
double distanceToRings(const std::vector<MapRing>& rings, MapPoint p);
bool insideShape(const MapShape& s, MapPoint p);
// 0 inside the shape, else the distance to its nearest edge.
double distanceToShape(const MapShape& s, MapPoint p);
// Area on the ground in km² (each ring taken back to longitude and latitude
// through its part, holes subtracted).
double groundAreaKm2(const MapArea& area, const MapShape& s);

// A point well inside the shape: the middle of the widest inside stretch of
// a few horizontal lines across it (for labels, the keyboard and tests).
MapPoint pointInside(const MapShape& s);

// ---- moving between places by keyboard
// For each shape its point well inside (pointInside); shapes that are never
// answered (neighbours, unassigned land) get none.
std::vector<std::optional<MapPoint>> placePoints(const MapArea& area);
// The place the keyboard goes to from the point `at` (on place `from`, an
// index into area.shapes, or -1 off every place) in the direction `dir`: of
// the places whose point lies ahead within 60 degrees of it (failing those,
// anywhere ahead), the nearest, a step sideways counting twice a step ahead.
// -1 when none lies ahead.
int placeTowards(const std::vector<std::optional<MapPoint>>& points, int from, MapPoint at, MapPoint dir);
// The prefecture a shape belongs to: its code on the map of all Japan, the
// code's thousands on the others (1100 札幌市 → 1).
int prefectureOfShape(const MapArea& area, int shape);
// The first place of the next (step 1) or the previous (step -1) prefecture
// after the one of `from` (the first prefecture when `from` is -1), wrapping
// round; -1 when the map has no place.
int placeOfNextPrefecture(const MapArea& area, const std::vector<std::optional<MapPoint>>& points, int from,
                          int step);

// The municipality a click at `p` counts for: the one whose outline holds p,
// else the nearest one whose outline lies within `tolerance` twips; -1 when
// none. Only Municipality shapes answer. Returns an index into area.shapes.
int hitShape(const MapArea& area, MapPoint p, double tolerance);

// ---- drawing

using MapLine = std::vector<MapPoint>;  // open: a closed one repeats its first point last

// Douglas–Peucker: the points of a line that lie within `tolerance` of the
// line joining the points kept on either side go; both ends always stay.
MapLine simplifyLine(const MapLine& line, double tolerance);
// A ring thinned the same way; a ring that would keep fewer than three points
// (a small island) stays whole, so that it is still drawn and found.
MapRing simplifyRing(const MapRing& ring, double tolerance);

// The borders of a map's land, each edge once: for each shape (by index into
// area.shapes) the runs of its rings' edges that no earlier land shape has
// already (neighbouring municipalities share their common border), as open
// lines; a ring kept whole comes back closed. Points are compared at the
// file's quarter twip. Neighbour shapes get no runs.
std::vector<std::vector<MapLine>> ownBorders(const MapArea& area);

}  // namespace tabinowa
