// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Per-prefecture layout rules of the map pictures and the few dots placed by
// hand. Everything a picture needs beyond the boundary data lives here, so a
// change of layout is a change of one table row.
#include <Qt>
#include <vector>

namespace makedata {

// A box in longitude and latitude (degrees). A polygon piece belongs to a rule
// when the centre of its bounding box lies in the box.
struct GeoBox {
    double lonMin, lonMax, latMin, latMax;
    bool contains(double lon, double lat) const {
        return lon >= lonMin && lon <= lonMax && lat >= latMin && lat <= latMax;
    }
};

// Remote islands shown in a framed box, usually in a corner of the picture.
// The frame fits its content as large as the box (x0, y0)-(x1, y1) allows
// (fractions of the picture inside its margin) and sits in the box as `align`
// says.
struct InsetRule {
    int pref;
    const char* name;
    GeoBox area;
    double x0, y0, x1, y1;
    Qt::Alignment align;
};

// Pieces drawn where they fall but left out of the fit of the main area and
// never used for dots: far rocks and uninhabited islands that would shrink the
// main area, and land that is not in our data (the Northern Territories).
// Pieces outside the picture simply do not show.
struct BackdropRule {
    int pref;
    const char* name;
    GeoBox area;
};

// Where the main area goes when it should not simply be centred: the box
// (fractions of the picture, inside the margin) and the alignment in it.
struct MainAreaRule {
    int pref;
    double x0, y0, x1, y1;
    Qt::Alignment align;
};

// A dot placed by hand: an old municipality whose census centroid lies far in
// the sea (a village of several islands, or one whose far islands pull the
// centroid away) is put at `lon`, `lat` (its village office or its main
// island) instead. Applies when the given point lies more than
// kHandDotMinOffsetKm outside every polygon of `presentCode`.
struct HandDot {
    int presentCode;
    const char* name;
    double lon, lat;
    const char* why;
};

inline constexpr double kHandDotMinOffsetKm = 8.0;

// The extent of a municipality (how far its land reaches north, south, east and
// west) is that of its polygons, corrected by two hand-made tables:
// land of the municipality that our data leaves out (pieces whose box centre
// lies in `area`), and land that the simplified polygons lost (a point the
// land reaches, with its name for the explanations).
struct ExtentExclusion {
    int presentCode;
    const char* name;
    GeoBox area;
    const char* why;
};
struct ExtentAddition {
    int presentCode;
    const char* name;
    double lon, lat;
    const char* why;
};
const std::vector<ExtentExclusion>& extentExclusions();
const std::vector<ExtentAddition>& extentAdditions();

const std::vector<InsetRule>& insetRules();
const std::vector<BackdropRule>& backdropRules();
const std::vector<MainAreaRule>& mainAreaRules();
const std::vector<HandDot>& handDots();

// Codes of the six villages of the Northern Territories (01695-01700): in the
// boundary data, not in our municipality data. Drawn as backdrop.
bool isNorthernTerritory(int code);

}  // namespace makedata
