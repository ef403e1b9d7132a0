// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The picture of one prefecture: its present municipality polygons laid out on
// a 505 x 503 pixel picture (7575 x 7545 twips, 15 twips a pixel), the main
// area filling the picture and remote islands in insets.
#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace tabinowa {
struct MapArea;
}

namespace makedata {

class PrefMap;

// Loads <rawDir>/boundaries/N03-21_NN_210101.json for prefecture `pref`
// (1..47) and lays out the picture. Throws std::runtime_error on bad input.
std::unique_ptr<PrefMap> loadPrefMap(const QString& rawDir, int pref);

// Position in twips on the picture of a point (lon, lat) that belongs to the
// present municipality `presentCode` (5-digit code as an integer, designated
// cities as the city, e.g. 1100 for 札幌市). The point is projected with the
// layout of the part (main area or inset) that holds that municipality and,
// when it does not fall inside the municipality's polygons on the picture,
// moved to the nearest point well inside them (for island villages: onto the
// island nearest to the given point). The result always lies inside the picture.
QPointF dotTwips(const PrefMap& map, int presentCode, double lon, double lat);

// True when the twips point lies inside the polygons of `presentCode` on the picture.
bool insideMunicipality(const PrefMap& map, int presentCode, QPointF twips);

// Draws the picture (sea, land, present municipality borders, inset frames)
// and saves it as a JPEG. Deterministic: the same input gives the same bytes.
void renderPicture(const PrefMap& map, const QString& jpgPath);

// ---- Details of the above, for the pipeline's report and for the checks ----
//
// loadPrefMap() also reads <rawDir>/municipality_codes_2024.csv (to map the
// wards of a designated city to the city) and <rawDir>/boundaries/
// prefectures.json (the neighbouring prefectures, drawn as grey land).

// The loaded picture. Its contents are private to prefmap.cpp; the class is
// complete here so that callers can own it through std::unique_ptr.
class PrefMap {
public:
    struct Impl;
    explicit PrefMap(std::unique_ptr<Impl> impl);
    ~PrefMap();
    PrefMap(const PrefMap&) = delete;
    PrefMap& operator=(const PrefMap&) = delete;
    int pref() const;
    const Impl& impl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

// How a dot was found: as projected (already well inside its municipality),
// moved to the nearest point well inside, or put at a hand-placed spot
// (islands.cpp) because the given point lay far out at sea.
struct DotPlacement {
    enum class How { Projected, Moved, HandPlaced };
    QPointF twips;          // whole twips, as stored in the master
    How how = How::Projected;
    double movedTwips = 0;  // distance from the plain projection to the result
};

// dotTwips() with the way the dot was found. Throws std::runtime_error (a
// tabinowa::FileError naming the boundary file) when the municipality has no
// polygon on the picture.
DotPlacement placeDot(const PrefMap& map, int presentCode, double lon, double lat);

// True when the picture has polygons of `presentCode`.
bool hasMunicipality(const PrefMap& map, int presentCode);

// Every present municipality code drawn on the picture, ascending.
std::vector<int> municipalityCodes(const PrefMap& map);

// Problems of the layout, empty when sound: main-area land under an inset
// frame, overlapping frames, land outside the margin of the picture.
QStringList layoutProblems(const PrefMap& map);

// One line describing the layout: the main area and each inset with its frame
// in twips.
QString layoutSummary(const PrefMap& map);

// The picture as renderPicture() saves it, before JPEG compression.
QImage renderImage(const PrefMap& map);

// ---- Geometry on the picture (twips) ----

// Rings of one municipality: a point is inside when it lies inside an odd
// number of rings (so holes work).
bool insideRings(const std::vector<QPolygonF>& rings, QPointF p);

// Distance from p to the nearest edge of the rings.
double distanceToRings(const std::vector<QPolygonF>& rings, QPointF p);

// The point nearest to p that lies inside the rings at least `depth` from
// every edge (p itself when it does). When the shape holds no point that
// deep, the depth is halved until one is found, but not below `minDepth`;
// nullopt when no point that deep exists (minDepth 0: no inside point at all).
std::optional<QPointF> nearestPointInside(const std::vector<QPolygonF>& rings, QPointF p,
                                          double depth, double minDepth = 0);

// ---- Vector maps (file1/区域.dat)

// The picture as outlines in its own twips: each present municipality once
// (all its pieces; a designated city's wards united), unassigned land, and the
// neighbouring prefectures' land around the main area (clipped). Rings are
// simplified to `tolerance` twips (neighbours to four times that).
tabinowa::MapArea vectorArea(const PrefMap& map, double tolerance);

// All Japan's prefectures (shape code = prefecture number, in the order of
// prefectures.json, which is the code order) on a map of the pictures' size,
// 沖縄県 in an inset at the top left; the far southern islands are left out.
tabinowa::MapArea japanArea(const QString& rawDir, double tolerance);

// Douglas–Peucker on a closed ring: no dropped point lies farther than
// `tolerance` from the simplified ring.
QPolygonF simplifyRing(const QPolygonF& ring, double tolerance);

}  // namespace makedata
