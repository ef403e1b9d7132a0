// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which present municipalities share a land border, and how long it is, from
// the municipality polygons of boundaries/N03-21_NN_210101.json; where each
// town hall stands; directions and distances between town halls.
//
// Within a prefecture: each file was simplified with its topology kept, so
// two neighbours hold the very same border segments; their border is the
// length of those segments (a pair with a single common point meets at a
// corner). Across a prefecture border the two files were simplified apart and
// their borders rarely keep common points. There the common border of the two
// prefectures in boundaries/prefectures.json (one topology for all Japan) is
// walked in steps of kSampleKm; each step goes to the nearest municipality of
// either side, and a pair's border is the length of the steps it got.
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace makedata {

struct Facts;

// Two municipalities that do not share a border but come closer than this are
// never offered as "not touching" (a short border may have been simplified away).
inline constexpr double kClearKm = 1.0;
// Across a prefecture border, a pair sharing at least this much border is a
// neighbour; a pair sharing less is "nearly touching": the simplification
// leaves it open whether they touch (explanations say so), and it is never asked.
inline constexpr double kNeighbourKm = 1.0;
// Across a prefecture border, two municipalities whose polygons come this close
// without a border walked between them are "nearly touching" too.
inline constexpr double kNearlyGapKm = 0.1;
// A border asked about in a question is at least this long, to see it on the
// map: within a prefecture (exact lengths of the common segments), and across
// a prefecture border (beyond the error of the measure, about 0.5 km).
inline constexpr double kAskKm = 1.0;
inline constexpr double kAskCrossKm = 1.5;
// Step of the walk along the prefectures' common border, and how far from it a
// municipality's border may lie (the files were simplified apart).
inline constexpr double kSampleKm = 0.1;
inline constexpr double kCrossToleranceKm = 1.0;
// A town hall outside every polygon (a simplified coast) counts as standing in
// the nearest municipality when that lies at most this far.
inline constexpr double kHallShoreKm = 1.0;

// One ring as [lon, lat] points, the last point equal to the first.
using LonLatRing = std::vector<std::pair<double, double>>;

// Pairs (a < b) of the rings given per code; `toPresent` maps a code of the
// polygons to its present municipality (a ward to its city) and returns 0 for
// codes to leave out. Pairs inside one present municipality are dropped. Meant
// for the rings of one file, whose topology was kept.
struct Contacts {
    std::set<std::pair<int, int>> borders;     // a common segment or two common points
    std::set<std::pair<int, int>> onePointOnly;
    std::map<std::pair<int, int>, double> km;  // length of the common segments (borders only)
};
Contacts contactsOf(const std::vector<std::pair<int, LonLatRing>>& rings, const std::function<int(int)>& toPresent);

// A ring of a present municipality of prefecture `pref`.
struct OwnedRing {
    int code = 0;
    int pref = 0;
    LonLatRing ring;
};

// Border length in km of every pair (a < b) of municipalities of two different
// prefectures: the common border of each two prefectures (the segments that
// two of `prefectureRings` hold both, by prefecture number) walked in steps of
// kSampleKm, each step given to the municipality of either prefecture whose
// border lies nearest to it, within kCrossToleranceKm.
std::map<std::pair<int, int>, double> crossBorderKm(const std::vector<OwnedRing>& municipalities,
                                                    const std::vector<std::pair<int, LonLatRing>>& prefectureRings);

// Smallest distance in km between the edges of two sets of rings (0 when they
// cross or touch); local flat projection.
double ringsDistanceKm(const std::vector<const LonLatRing*>& a, const std::vector<const LonLatRing*>& b);

// True when (lon, lat) lies inside an odd number of the rings.
bool ringsContain(const std::vector<const LonLatRing*>& rings, double lon, double lat);

// Reads the 47 boundary files and prefectures.json and fills
// PresentMuni::neighbours, ::borderKm, ::nearly, ::mayTouch, the extent of
// every present municipality and where its town hall stands. Throws
// std::runtime_error naming the file on bad input.
void addNeighbours(Facts& facts, const QString& rawDir);

// Compass direction of (lon2, lat2) seen from (lon1, lat1), one of eight
// ("北", "北東", "東", …), and how far the bearing lies from that sector's
// middle in degrees (0 … 22.5). Local flat projection at the middle latitude,
// as a map shows it.
struct Bearing {
    double degrees = 0;  // 0 north, 90 east
    int sector = 0;      // 0 北, 1 北東, … 7 北西
    double offMiddle = 0;
};
Bearing bearingBetween(double lon1, double lat1, double lon2, double lat2);
// The same from the initial bearing of the great circle.
Bearing greatCircleBearing(double lon1, double lat1, double lon2, double lat2);
const std::array<const char*, 8>& compassNames();

// Great-circle distance in km (spherical earth, radius 6371 km).
double greatCircleKm(double lon1, double lat1, double lon2, double lat2);
// Distance in km on the WGS84 ellipsoid (Vincenty's inverse formula).
double ellipsoidKm(double lon1, double lat1, double lon2, double lat2);

}  // namespace makedata
