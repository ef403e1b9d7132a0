// SPDX-License-Identifier: GPL-3.0-or-later
// Checks of the pipeline's geometry for the geography questions: which
// municipalities share a border, the compass direction and the distance
// between two points.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>
#include <vector>
#include <string>

#include "neighbours.h"

namespace {

using makedata::LonLatRing;

LonLatRing square(double x, double y, double size) {
    return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}};
}

int same(int code) { return code; }

TEST(Contacts, BordersAndPairsThatMeetAtOnePoint) {
    using Pairs = std::set<std::pair<int, int>>;
    struct Case {
        const char* what;
        std::vector<std::pair<int, LonLatRing>> rings;
        std::function<int(int)> toPresent;
        Pairs borders, onePoint = {};
    };
    const std::vector<Case> cases = {
        {"two squares side by side", {{1, square(0, 0, 1)}, {2, square(1, 0, 1)}}, same, {{1, 2}}},
        {"touching at a corner only", {{1, square(0, 0, 1)}, {2, square(1, 1, 1)}}, same, {}, {{1, 2}}},
        {"two common points, the points between simplified apart on each side",
         {{1, {{0, 0}, {1, 0}, {1.1, 0.5}, {1, 1}, {0, 1}, {0, 0}}}, {2, {{1, 0}, {2, 0}, {2, 1}, {1, 1}, {0.9, 0.5}, {1, 0}}}},
         same, {{1, 2}}},
        {"apart", {{1, square(0, 0, 1)}, {2, square(3, 0, 1)}}, same, {}},
        {"the segment run the other way round",
         {{1, square(0, 0, 1)}, {2, {{1, 1}, {1, 0}, {2, 0}, {2, 1}, {1, 1}}}}, same, {{1, 2}}},
        {"a row of three: the ends do not touch",
         {{3, square(0, 0, 1)}, {1, square(1, 0, 1)}, {2, square(2, 0, 1)}}, same, {{1, 2}, {1, 3}}},
        {"two wards of one city are no pair, their neighbour touches the city",
         {{101, square(0, 0, 1)}, {102, square(1, 0, 1)}, {7, square(2, 0, 1)}},
         [](int c) { return c > 100 ? 100 : c; }, {{7, 100}}},
        {"a code left out (0) touches nothing", {{1, square(0, 0, 1)}, {9, square(1, 0, 1)}},
         [](int c) { return c == 9 ? 0 : c; }, {}},
        {"points equal after rounding to 1e-7 degree",
         {{1, square(0, 0, 1)}, {2, {{1.00000001, 0}, {2, 0}, {2, 1}, {1.00000002, 1}, {1.00000001, 0}}}}, same,
         {{1, 2}}},
        {"an island ring of the same municipality far away changes nothing",
         {{1, square(0, 0, 1)}, {1, square(10, 10, 1)}, {2, square(1, 0, 1)}}, same, {{1, 2}}},
    };
    for (const auto& c : cases) {
        const auto got = makedata::contactsOf(c.rings, c.toPresent);
        EXPECT_EQ(got.borders, c.borders) << c.what;
        EXPECT_EQ(got.onePointOnly, c.onePoint) << c.what;
    }
}

TEST(Contacts, TheLengthOfTheCommonSegments) {
    // a 0.1 by 0.1 degree square and its eastern neighbour at the equator: their
    // common side is 0.1 degree of latitude
    const auto c = makedata::contactsOf({{1, square(0, 0, 0.1)}, {2, square(0.1, 0, 0.1)}}, same);
    ASSERT_EQ(c.km.count({1, 2}), 1u);
    EXPECT_NEAR(c.km.at({1, 2}), 11.057, 0.01);
    // two common points and nothing between them on either side: a border of 0 km known
    const auto d = makedata::contactsOf(
        {{1, {{0, 0}, {1, 0}, {1.1, 0.5}, {1, 1}, {0, 1}, {0, 0}}}, {2, {{1, 0}, {2, 0}, {2, 1}, {1, 1}, {0.9, 0.5}, {1, 0}}}},
        same);
    EXPECT_EQ(d.km.count({1, 2}), 1u);
}

// Two prefectures side by side (1 west, 2 east), each 0.1 degree square at 35°N;
// prefecture 1 is two municipalities (11 south, 12 north), prefecture 2 one (21)
// whose file was simplified apart: its western border lies 0.003 degree off.
TEST(CrossBorder, TheCommonBorderOfThePrefecturesWalkedAndShared) {
    using makedata::OwnedRing;
    const double y = 35;
    std::vector<OwnedRing> munis = {
        {11, 1, square(0, y, 0.1)},
        {21, 2, {{0.103, y}, {0.2, y}, {0.2, y + 0.1}, {0.097, y + 0.1}, {0.103, y}}},
    };
    munis[0].ring = {{0, y}, {0.1, y}, {0.1, y + 0.05}, {0, y + 0.05}, {0, y}};
    munis.push_back({12, 1, {{0, y + 0.05}, {0.1, y + 0.05}, {0.1, y + 0.1}, {0, y + 0.1}, {0, y + 0.05}}});
    const std::vector<std::pair<int, LonLatRing>> prefs = {{1, square(0, y, 0.1)}, {2, square(0.1, y, 0.1)}};
    const auto km = makedata::crossBorderKm(munis, prefs);
    ASSERT_EQ(km.size(), 2u);
    EXPECT_NEAR(km.at({11, 21}), 5.53, 0.15);  // half of 0.1 degree of latitude
    EXPECT_NEAR(km.at({12, 21}), 5.53, 0.15);

    // the same two prefectures 0.005 degree (0.45 km) apart across a strait: they
    // share no border, so no pair, however close the municipalities
    const std::vector<std::pair<int, LonLatRing>> apart = {{1, square(0, y, 0.1)}, {2, square(0.105, y, 0.1)}};
    const std::vector<OwnedRing> shores = {{11, 1, square(0, y, 0.1)}, {21, 2, square(0.105, y, 0.1)}};
    EXPECT_TRUE(makedata::crossBorderKm(shores, apart).empty());

    // a municipality whose border lies farther than the tolerance from the common
    // border gets none of it
    const std::vector<OwnedRing> far = {{11, 1, square(0, y, 0.1)}, {21, 2, square(0.115, y, 0.085)}};
    EXPECT_TRUE(makedata::crossBorderKm(far, prefs).empty());
}

TEST(Rings, APointInsideAnOddNumberOfRings) {
    const LonLatRing outer = square(0, 0, 10), hole = square(4, 4, 2);
    EXPECT_TRUE(makedata::ringsContain({&outer}, 1, 1));
    EXPECT_FALSE(makedata::ringsContain({&outer}, 11, 1));
    EXPECT_FALSE(makedata::ringsContain({&outer, &hole}, 5, 5));
    EXPECT_TRUE(makedata::ringsContain({&outer, &hole}, 3, 5));
}

TEST(Bearing, EightDirectionsAndTheOffsetFromTheMiddle) {
    struct Case {
        double dlon, dlat;  // from (135, 35)
        const char* name;
        double offAtMost;
    };
    const Case cases[] = {
        {0, 1, "北", 0.01},     {0, -1, "南", 0.01},    {1, 0, "東", 0.01},    {-1, 0, "西", 0.01},
        {1.22, 1, "北東", 0.3},  {-1.22, -1, "南西", 0.3}, {1.22, -1, "南東", 0.3}, {-1.22, 1, "北西", 0.3},
        // 20 degrees east of north is still 北, 25 degrees is 北東
        {std::tan(20 * 3.141592653589793 / 180) / std::cos(35.5 * 3.141592653589793 / 180), 1, "北", 20.01},
        {std::tan(25 * 3.141592653589793 / 180) / std::cos(35.5 * 3.141592653589793 / 180), 1, "北東", 20.01},
        {-0.01, 1, "北", 1},  // just west of north wraps to 北, not 北西
    };
    for (const auto& c : cases) {
        const auto b = makedata::bearingBetween(135, 35, 135 + c.dlon, 35 + c.dlat);
        EXPECT_STREQ(makedata::compassNames()[static_cast<std::size_t>(b.sector)], c.name) << c.dlon << "," << c.dlat;
        EXPECT_LE(b.offMiddle, c.offAtMost) << c.name;
        EXPECT_GE(b.degrees, 0);
        EXPECT_LT(b.degrees, 360);
    }
}

TEST(GreatCircle, KnownDistances) {
    struct Case {
        double lon1, lat1, lon2, lat2, km, tolerance;
    };
    const Case cases[] = {
        {135, 35, 135, 35, 0, 1e-9},
        {135, 0, 136, 0, 111.19, 0.05},                          // one degree on the equator
        {135, 35, 135, 36, 111.19, 0.05},                        // one degree of latitude
        {139.6917, 35.6895, 135.5023, 34.6937, 396.9, 2},        // 新宿 - 大阪 roughly
        {141.3544, 43.0621, 127.6809, 26.2124, 2245, 15},        // 札幌 - 那覇 roughly
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(makedata::greatCircleKm(c.lon1, c.lat1, c.lon2, c.lat2), c.km, c.tolerance);
        EXPECT_NEAR(makedata::greatCircleKm(c.lon2, c.lat2, c.lon1, c.lat1), c.km, c.tolerance) << "symmetric";
    }
}

TEST(Ellipsoid, KnownDistancesOnWgs84) {
    struct Case {
        double lon1, lat1, lon2, lat2, km, tolerance;
    };
    const Case cases[] = {
        {135, 35, 135, 35, 0, 1e-9},
        {0, 0, 0, 1, 110.574, 0.001},   // one degree of latitude at the equator
        {0, 0, 1, 0, 111.319, 0.001},   // one degree of longitude on the equator
        {0, 89, 0, 90, 111.694, 0.001}, // one degree of latitude at the pole
        // Vincenty's (1975) test line, Flinders Peak to Buninyong: 54,972.271 m
        {144.42486789, -37.95103342, 143.92649554, -37.65282114, 54.972271, 0.000005},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(makedata::ellipsoidKm(c.lon1, c.lat1, c.lon2, c.lat2), c.km, c.tolerance);
        EXPECT_NEAR(makedata::ellipsoidKm(c.lon2, c.lat2, c.lon1, c.lat1), c.km, c.tolerance) << "symmetric";
    }
}

TEST(GreatCircleBearing, InitialHeadingOfTheGreatCircle) {
    EXPECT_NEAR(makedata::greatCircleBearing(135, 35, 135, 36).degrees, 0, 1e-9);
    EXPECT_NEAR(makedata::greatCircleBearing(0, 0, 1, 0).degrees, 90, 1e-9);
    EXPECT_NEAR(makedata::greatCircleBearing(135, 35, 134, 35).degrees, 270.29, 0.01);
    // east along a parallel in the north: the great circle sets off a little north of east
    const auto b = makedata::greatCircleBearing(135, 35, 136, 35);
    EXPECT_NEAR(b.degrees, 89.71, 0.01);
    EXPECT_EQ(b.sector, 2);
    EXPECT_NEAR(b.offMiddle, 0.29, 0.01);
    // the map's bearing of the same line is due east
    EXPECT_NEAR(makedata::bearingBetween(135, 35, 136, 35).degrees, 90, 1e-9);
}

}  // namespace
