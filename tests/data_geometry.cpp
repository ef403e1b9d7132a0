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

}  // namespace
