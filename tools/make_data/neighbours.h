#pragma once
// Which present municipalities share a land border, from the municipality
// polygons of boundaries/N03-21_NN_210101.json. Each file was simplified with
// its topology kept, so two neighbours of one prefecture hold the very same
// border segments. Across a prefecture border the two files were simplified
// apart: the common points stay, the points between them may not. A pair is
// a border pair when a segment or at least two points belong to both; a pair
// with a single common point may be a corner or a border simplified away, so
// it is neither asked as neighbours nor offered as "not touching". Nor is a
// pair closer than kClearKm: a short border may have been simplified away.
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace makedata {

struct Facts;

inline constexpr double kClearKm = 1.0;

// One ring as [lon, lat] points, the last point equal to the first.
using LonLatRing = std::vector<std::pair<double, double>>;

// Pairs (a < b) of the rings given per code; `toPresent` maps a code of the
// polygons to its present municipality (a ward to its city) and returns 0 for
// codes to leave out. Pairs inside one present municipality are dropped.
struct Contacts {
    std::set<std::pair<int, int>> borders;     // a common segment or two common points
    std::set<std::pair<int, int>> onePointOnly;
};
Contacts contactsOf(const std::vector<std::pair<int, LonLatRing>>& rings, const std::function<int(int)>& toPresent);

// Smallest distance in km between the edges of two sets of rings (0 when they
// cross or touch); local flat projection.
double ringsDistanceKm(const std::vector<const LonLatRing*>& a, const std::vector<const LonLatRing*>& b);

// Reads the 47 boundary files and fills PresentMuni::neighbours, ::mayTouch
// and the extent of every present municipality. Throws std::runtime_error naming the file on bad input.
void addNeighbours(Facts& facts, const QString& rawDir);

// Compass direction of (lon2, lat2) seen from (lon1, lat1), one of eight
// ("北", "北東", "東", …), and how far the bearing lies from that sector's
// middle in degrees (0 … 22.5). Local flat projection, fine within a prefecture.
struct Bearing {
    double degrees = 0;  // 0 north, 90 east
    int sector = 0;      // 0 北, 1 北東, … 7 北西
    double offMiddle = 0;
};
Bearing bearingBetween(double lon1, double lat1, double lon2, double lat2);
const std::array<const char*, 8>& compassNames();

// Great-circle distance in km (spherical earth, radius 6371 km).
double greatCircleKm(double lon1, double lat1, double lon2, double lat2);

}  // namespace makedata
