// SPDX-License-Identifier: GPL-3.0-or-later
// The vector map file and its geometry: a round trip, every kind of damage
// refused with the file named, inside tests with holes, hit-testing with its
// tolerance, and areas on the ground.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/files/error.h"
#include "core/map/outlines.h"
#include "support/memory_io.h"

namespace tabinowa {
namespace {

MapRing square(double x0, double y0, double x1, double y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

MapShape shape(int code, std::vector<MapRing> rings, MapShape::Kind kind = MapShape::Kind::Municipality) {
    MapShape s;
    s.kind = kind;
    s.code = code;
    s.rings = std::move(rings);
    s.ringParts.assign(s.rings.size(), 0);
    s.finish();
    return s;
}

// Three municipalities side by side, the middle one with a hole holding a
// fourth (an enclave), a thin one far right, and grey neighbouring land.
MapArea sample(int id = 9) {
    MapArea a;
    a.id = id;
    MapPart main;
    main.k = 0.8;
    main.scale = 5000;
    main.x0 = 111.2;
    main.y0 = 37.0;
    main.frame = {0, 0, 7575, 7545};
    a.parts.push_back(main);
    a.shapes.push_back(shape(0, {square(-500, -500, 200, 8000)}, MapShape::Kind::Neighbour));
    a.shapes.push_back(shape(101, {square(1000, 1000, 2000, 2000)}));
    a.shapes.push_back(shape(102, {square(2000, 1000, 3000, 2000), square(2400, 1400, 2600, 1600)}));
    a.shapes.push_back(shape(103, {square(2400.25, 1400.5, 2600, 1600)}));
    a.shapes.push_back(shape(104, {square(5000, 1000, 5002, 3000)}));
    return a;
}

TEST(OutlineFile, RoundTripKeepsEveryShapeToAQuarterTwip) {
    MapArea japan = sample(kJapanArea);
    japan.parts.push_back(japan.parts[0]);
    japan.parts[1].framed = true;
    japan.shapes[1].ringParts = {1};
    const std::string bytes = encodeOutlines({japan, sample(9)});
    EXPECT_EQ(outlineAreaIds(bytes, "区域.dat"), (std::vector<int>{0, 9}));
    for (const MapArea& want : {japan, sample(9)}) {
        const MapArea got = decodeOutlineArea(bytes, want.id, "区域.dat");
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.parts, want.parts);
        ASSERT_EQ(got.shapes.size(), want.shapes.size());
        for (std::size_t i = 0; i < got.shapes.size(); ++i) {
            EXPECT_EQ(got.shapes[i].kind, want.shapes[i].kind);
            EXPECT_EQ(got.shapes[i].code, want.shapes[i].code);
            EXPECT_EQ(got.shapes[i].rings, want.shapes[i].rings);
            EXPECT_EQ(got.shapes[i].ringParts, want.shapes[i].ringParts);
            EXPECT_EQ(got.shapes[i].box, want.shapes[i].box);
        }
    }
    // Points between quarter twips are rounded to the nearest.
    MapArea odd = sample();
    odd.shapes[1].rings[0][0] = {1000.1, 999.9};
    const MapArea back = decodeOutlineArea(encodeOutlines({odd}), 9, "x");
    EXPECT_EQ(back.shapes[1].rings[0][0], (MapPoint{1000, 1000}));
}

TEST(OutlineFile, DamageIsRefusedNamingTheFile) {
    const std::string good = encodeOutlines({sample(0), sample(9)});
    const std::size_t body9 = good.size() - encodeOutlines({sample(9)}).size() + 12 + 16;  // start of area 9's body
    struct Row {
        const char* what;
        std::function<void(std::string&)> damage;
        int id;
        const char* says;
    } rows[] = {
        {"empty", [](std::string& b) { b.clear(); }, 9, "途中で終わっています"},
        {"other file", [](std::string& b) { b[0] = 'X'; }, 9, "地図の区域ファイルではありません"},
        {"newer version", [](std::string& b) { b[8] = 2; }, 9, "版2は読めません"},
        {"cut short", [](std::string& b) { b.resize(b.size() - 5); }, 9, "ファイルの外"},
        {"a flipped byte", [&](std::string& b) { b[body9 + 40] ^= 1; }, 9, "検査値が合いません"},
        {"area not there", [](std::string&) {}, 13, "都道府県13の区域がありません"},
        {"index twice the same area", [](std::string& b) { b[12 + 16] = 0; }, 0, "区域の番号0が正しくありません"},
    };
    for (const Row& r : rows) {
        std::string bytes = good;
        r.damage(bytes);
        try {
            decodeOutlineArea(bytes, r.id, "区域.dat");
            ADD_FAILURE() << r.what << ": no error";
        } catch (const FileError& e) {
            const std::string m = e.what();
            EXPECT_NE(m.find("区域.dat"), std::string::npos) << r.what << ": " << m;
            EXPECT_NE(m.find(r.says), std::string::npos) << r.what << ": " << m;
        }
    }
    // Area 0 is untouched by the damage to area 9 and still reads.
    std::string bytes = good;
    bytes[body9 + 40] ^= 1;
    EXPECT_EQ(decodeOutlineArea(bytes, 0, "区域.dat").shapes.size(), sample().shapes.size());
}

TEST(OutlineFile, BadContentsBehindAGoodChecksumAreRefused) {
    struct Row {
        const char* what;
        std::function<void(MapArea&)> spoil;
        const char* says;
    } rows[] = {
        {"a code twice", [](MapArea& a) { a.shapes[2].code = 101; }, "コード101"},
        {"a municipality without code", [](MapArea& a) { a.shapes[1].code = 0; }, "コード0"},
        {"a ring of two points", [](MapArea& a) { a.shapes[1].rings[0].resize(2); }, "点の数2"},
        {"a point far off the map", [](MapArea& a) { a.shapes[1].rings[0][0] = {1e6, 0}; }, "遠く離れた点"},
        {"a ring in a part that is not there", [](MapArea& a) { a.shapes[1].ringParts = {3}; }, "部分の番号"},
        {"no parts", [](MapArea& a) { a.parts.clear(); }, "地図の部分がありません"},
        {"a zero scale", [](MapArea& a) { a.parts[0].scale = 0; }, "投影の値"},
    };
    for (const Row& r : rows) {
        MapArea a = sample();
        r.spoil(a);
        try {
            decodeOutlineArea(encodeOutlines({a}), 9, "区域.dat");
            ADD_FAILURE() << r.what << ": no error";
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find(r.says), std::string::npos) << r.what << ": " << e.what();
        }
    }
}

TEST(OutlineFile, ReadThroughTheIoAndMissingFileNamed) {
    testing::MemoryIo io;
    io.addFolder("/p/file1");
    io.setFile("/p/file1/区域.dat", encodeOutlines({sample()}));
    EXPECT_EQ(readOutlineArea(io, "/p/file1/区域.dat", 9).shapes.size(), 5u);
    try {
        readOutlineArea(io, "/p/file1/無い.dat", 9);
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("無い.dat"), std::string::npos) << e.what();
    }
}

TEST(OutlineGeometry, HitTestingPrefersInsideThenTheNearestWithinTheTolerance) {
    const MapArea a = sample();
    struct Row {
        const char* what;
        MapPoint p;
        double tolerance;
        int code;  // 0: none
    } rows[] = {
        {"inside the first", {1500, 1500}, 120, 101},
        {"inside the second, near the first", {2050, 1500}, 120, 102},
        {"in the enclave, not the ring around it", {2500, 1500}, 120, 103},
        {"on the shared border: the one it opens (half-open edges)", {2000, 1500}, 0, 102},
        {"just outside, within the tolerance", {950, 1500}, 120, 101},
        {"just outside, beyond the tolerance", {850, 1500}, 120, 0},
        {"between two, nearer the right one", {5030, 2000}, 120, 104},
        {"the thin one is findable from beside it", {4900, 2000}, 120, 104},
        {"beside the thin one with no tolerance", {4900, 2000}, 0, 0},
        {"neighbouring land never answers", {0, 1500}, 120, 0},
        {"beyond the corner: distance, not box", {2080, 2085}, 100, 102},
        {"beyond the corner, farther than the tolerance", {3080, 2085}, 100, 0},
    };
    for (const Row& r : rows) {
        const int i = hitShape(a, r.p, r.tolerance);
        EXPECT_EQ(i < 0 ? 0 : a.shapes[static_cast<std::size_t>(i)].code, r.code) << r.what;
    }
}

TEST(OutlineGeometry, InsideAndDistanceHonourHoles) {
    const MapArea a = sample();
    const MapShape& ring = a.shapes[2];  // 102 with its hole
    EXPECT_TRUE(insideShape(ring, {2100, 1100}));
    EXPECT_FALSE(insideShape(ring, {2500, 1500}));
    EXPECT_DOUBLE_EQ(distanceToShape(ring, {2500, 1500}), 100);  // to the hole's edge
    EXPECT_DOUBLE_EQ(distanceToShape(ring, {2100, 1100}), 0);
    EXPECT_DOUBLE_EQ(distanceToShape(ring, {3030, 2040}), 50);  // beyond a corner
}

TEST(OutlineGeometry, GroundAreaTakesTheProjectionBackAndSubtractsHoles) {
    const MapArea a = sample();
    // 1000 twips at 5000 twips a projected degree: 0.2 degrees of latitude and
    // 0.2 / 0.8 = 0.25 degrees of longitude, at about 36.8 degrees north.
    const double lat = a.parts[0].unproject({0, 1000}).y;
    const double side = 0.2 * 110.57;
    const double width = 0.25 * std::cos(lat * 3.14159265358979 / 180) * 111.32;
    EXPECT_NEAR(groundAreaKm2(a, a.shapes[1]), side * width, side * width * 0.01);
    // The hole (a fifth of the side each way) comes off, whichever way it winds.
    MapShape reversed = a.shapes[2];
    std::reverse(reversed.rings[1].begin(), reversed.rings[1].end());
    for (const MapShape* s : {&a.shapes[2], static_cast<const MapShape*>(&reversed)})
        EXPECT_NEAR(groundAreaKm2(a, *s), side * width * 0.96, side * width * 0.01);
}

// ---- drawing: thinned outlines and each border once

TEST(OutlineDrawing, SimplifyingKeepsTheEndsAndEveryPointThatShows) {
    struct Row {
        const char* what;
        MapLine line;
        double tolerance;
        MapLine want;
    } rows[] = {
        {"points on a straight line go", {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, 0.5, {{0, 0}, {3, 0}}},
        {"a wobble within the tolerance goes", {{0, 0}, {1, 0.4}, {2, -0.4}, {3, 0}}, 0.5, {{0, 0}, {3, 0}}},
        {"a corner beyond it stays", {{0, 0}, {5, 0}, {5, 5}}, 0.5, {{0, 0}, {5, 0}, {5, 5}}},
        {"the farthest point first, then each side",
         {{0, 0}, {1, 2}, {2, 2.6}, {4, 3}, {7, 2}, {8, 0}},
         0.5,
         {{0, 0}, {1, 2}, {4, 3}, {7, 2}, {8, 0}}},
        {"a spike is kept, the flat around it not", {{0, 0}, {1, 0}, {2, 6}, {3, 0}, {4, 0}}, 0.5, {{0, 0}, {1, 0}, {2, 6}, {3, 0}, {4, 0}}},
        {"a closed line keeps its far corners", {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}}, 0.5, {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}}},
        {"two points stay two", {{0, 0}, {9, 9}}, 5, {{0, 0}, {9, 9}}},
    };
    for (const Row& r : rows) EXPECT_EQ(simplifyLine(r.line, r.tolerance), r.want) << r.what;
}

TEST(OutlineDrawing, ThinnedRingsKeepTheirCornersAndSmallIslandsStayWhole) {
    struct Row {
        const char* what;
        MapRing ring;
        double tolerance;
        MapRing want;
    } rows[] = {
        {"a square with points along its sides", {{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}, {5, 10}, {0, 10}, {0, 5}}, 1,
         {{0, 0}, {10, 0}, {10, 10}, {0, 10}}},
        {"the closing edge counts: a point on it goes", {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 5}}, 1,
         {{0, 0}, {10, 0}, {10, 10}, {0, 10}}},
        {"an island smaller than the tolerance stays whole", {{0, 0}, {1, 0}, {1, 1}, {0.5, 1.2}, {0, 1}}, 10,
         {{0, 0}, {1, 0}, {1, 1}, {0.5, 1.2}, {0, 1}}},
        {"a triangle stays", {{0, 0}, {1, 0}, {0, 1}}, 10, {{0, 0}, {1, 0}, {0, 1}}},
    };
    for (const Row& r : rows) EXPECT_EQ(simplifyRing(r.ring, r.tolerance), r.want) << r.what;
}

// The edges of lines or rings, each as its two ends in order, smaller first.
using Edge = std::pair<std::pair<double, double>, std::pair<double, double>>;
Edge edge(MapPoint a, MapPoint b) {
    Edge e{{a.x, a.y}, {b.x, b.y}};
    if (e.second < e.first) std::swap(e.first, e.second);
    return e;
}

TEST(OutlineDrawing, EveryBorderIsDrawnExactlyOnce) {
    // Three squares in a row (the middle one's shared edge comes in the
    // middle of its ring, so its own run wraps round its first point), one
    // under them sharing an edge with the first and the third, a lone
    // island, a neighbour's land that draws nothing, and an enclave in a hole.
    MapArea a;
    a.parts.push_back({});
    a.shapes.push_back(shape(0, {square(-500, -500, 0, 500)}, MapShape::Kind::Neighbour));
    a.shapes.push_back(shape(1, {square(0, 0, 10, 10)}));
    a.shapes.push_back(shape(2, {{{20, 0}, {20, 10}, {10, 10}, {10, 0}}}));
    a.shapes.push_back(shape(3, {square(20, 0, 30, 10)}));
    a.shapes.push_back(shape(4, {{{0, 10}, {10, 10}, {15, 15}, {20, 10}, {30, 10}, {30, 20}, {0, 20}}}));
    a.shapes.push_back(shape(5, {square(100, 100, 101, 101)}));
    a.shapes.push_back(shape(6, {square(40, 0, 60, 20), square(45, 5, 55, 15)}));
    a.shapes.push_back(shape(7, {square(45, 5, 55, 15)}));
    const auto runs = ownBorders(a);
    ASSERT_EQ(runs.size(), a.shapes.size());
    EXPECT_TRUE(runs[0].empty()) << "a neighbour's land draws no border of ours";

    std::map<Edge, int> want, got;
    for (std::size_t s = 1; s < a.shapes.size(); ++s)
        for (const MapRing& ring : a.shapes[s].rings)
            for (std::size_t i = 0; i < ring.size(); ++i) want[edge(ring[i], ring[(i + 1) % ring.size()])] = 1;
    for (const auto& shapeRuns : runs)
        for (const MapLine& run : shapeRuns) {
            ASSERT_GE(run.size(), 2u);
            for (std::size_t i = 0; i + 1 < run.size(); ++i) ++got[edge(run[i], run[i + 1])];
        }
    EXPECT_EQ(got, want);

    struct Row {
        const char* what;
        int shape;
        std::size_t runs;
        bool closed;  // the first run ends where it starts
    } rows[] = {
        {"the first square owns its whole ring", 1, 1, true},
        {"the middle square: one run round the shared edge, not two", 2, 1, false},
        {"the third: the edge shared with the middle one is not its", 3, 1, false},
        {"under them: what it does not share, in two pieces", 4, 2, false},
        {"a lone island is closed", 5, 1, true},
        {"a ring and its hole, both whole", 6, 2, true},
        {"the enclave owns nothing: its ring is the hole", 7, 0, false},
    };
    for (const Row& r : rows) {
        const auto& mine = runs[static_cast<std::size_t>(r.shape)];
        ASSERT_EQ(mine.size(), r.runs) << r.what;
        if (!mine.empty()) {
            EXPECT_EQ(mine.front().front() == mine.front().back(), r.closed) << r.what;
        }
    }
}



// ---- moving between places by keyboard

namespace {
// A 4 × 3 grid of 1000-twip squares, codes 1001.. (prefecture 1) in the
// left two columns and 2001.. (prefecture 2) in the right two; a neighbour's
// land at the left is never a place.
MapArea grid() {
    MapArea a;
    a.id = 30;
    a.shapes.push_back(shape(0, {square(-900, 0, -100, 3000)}, MapShape::Kind::Neighbour));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col) {
            const int code = (col < 2 ? 1000 : 2000) + 1 + row * 2 + col % 2;
            a.shapes.push_back(shape(code, {square(col * 1000.0, row * 1000.0, col * 1000.0 + 1000, row * 1000.0 + 1000)}));
        }
    return a;
}
int cell(int row, int col) { return 1 + row * 4 + col; }  // index into grid().shapes
}  // namespace

TEST(OutlineKeyboard, ArrowsGoToTheNeighbourThatWayAndStopAtTheEdge) {
    const MapArea a = grid();
    const auto points = placePoints(a);
    EXPECT_FALSE(points[0].has_value()) << "a neighbour's land is never a place";
    struct Case { int from; MapPoint dir; int want; };
    const Case cases[] = {
        {cell(1, 1), {1, 0}, cell(1, 2)},  {cell(1, 1), {-1, 0}, cell(1, 0)}, {cell(1, 1), {0, -1}, cell(0, 1)},
        {cell(1, 1), {0, 1}, cell(2, 1)},  {cell(1, 0), {-1, 0}, -1},         {cell(0, 3), {1, 0}, -1},
        {cell(0, 0), {0, -1}, -1},         {cell(2, 3), {0, 1}, -1},
    };
    for (const Case& c : cases) {
        const MapPoint at = *points[static_cast<std::size_t>(c.from)];
        EXPECT_EQ(placeTowards(points, c.from, at, c.dir), c.want) << "from " << c.from;
    }
    // From the sea off the map's middle the first step lands on the nearest place that way.
    EXPECT_EQ(placeTowards(points, -1, {2000, -500}, {0, 1}), cell(0, 1));
}

TEST(OutlineKeyboard, AnAnswerFarAwayTakesAboutAsManyStepsAsPlacesBetween) {
    const MapArea a = grid();
    const auto points = placePoints(a);
    int at = cell(0, 0), steps = 0;
    while (at != cell(2, 3) && steps < 20) {
        const MapPoint p = *points[static_cast<std::size_t>(at)];
        const int right = placeTowards(points, at, p, {1, 0});
        at = right >= 0 ? right : placeTowards(points, at, p, {0, 1});
        ++steps;
    }
    EXPECT_EQ(at, cell(2, 3));
    EXPECT_EQ(steps, 5) << "three steps right and two down";
}

TEST(OutlineKeyboard, PageKeysJumpToTheNextPrefecturesFirstPlaceAndWrap) {
    const MapArea a = grid();
    const auto points = placePoints(a);
    struct Case { int from; int step; int want; };
    const Case cases[] = {
        {cell(2, 1), 1, cell(0, 2)},  // 1005 → 2001
        {cell(1, 3), 1, cell(0, 0)},  // 2004 → wraps to 1001
        {cell(0, 0), -1, cell(0, 2)},
        {-1, 1, cell(0, 0)},
        {-1, -1, cell(0, 2)},
    };
    for (const Case& c : cases) EXPECT_EQ(placeOfNextPrefecture(a, points, c.from, c.step), c.want) << c.from;
    EXPECT_EQ(prefectureOfShape(a, cell(0, 2)), 2);
    MapArea japan = a;
    japan.id = kJapanArea;
    japan.shapes[1].code = 13;
    EXPECT_EQ(prefectureOfShape(japan, 1), 13) << "on all Japan a shape is a prefecture";
}

}  // namespace
}  // namespace tabinowa
