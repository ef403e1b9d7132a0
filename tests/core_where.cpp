// SPDX-License-Identifier: GPL-3.0-or-later
// どこでしょう's answers in the memory of every answer: keys apart from the
// bank's, one per map and place, and the places found read back by prefecture.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "core/map/regions.h"
#include "core/map/where_round.h"
#include "core/quiz/memory.h"

namespace tabinowa {
namespace {

WherePlace place(const std::string& name, const std::string& pref, bool old = false) {
    WherePlace p;
    p.name = name;
    p.presentName = old ? "宇城市" : name;
    p.prefName = pref;
    p.old = old;
    return p;
}

TEST(WhereMemory, EachMapAndPlaceHasItsOwnKeyApartFromTheBank) {
    const std::string onPref = memoryKey(whereMemoryQuestion(place("富谷市", "宮城県"), "宮城県", false));
    EXPECT_EQ(onPref, "【どこでしょう】宮城県\n「富谷市」はどこでしょう？\n宮城県／富谷市");
    struct Row {
        const char* what;
        std::string key;
    } others[] = {
        {"the same place on the map of Japan",
         memoryKey(whereMemoryQuestion(place("富谷市", "宮城県"), "全国", true))},
        {"an old municipality of the same name",
         memoryKey(whereMemoryQuestion(place("富谷市", "宮城県", true), "宮城県", false))},
        {"the same name in another prefecture",
         memoryKey(whereMemoryQuestion(place("富谷市", "福島県"), "福島県", false))},
    };
    for (const Row& r : others) EXPECT_NE(r.key, onPref) << r.what;
    // Bank questions start with their own kind; ours never has one of theirs.
    Mondai bank;
    bank.Mondai1 = "【読み】富谷市";
    bank.Mondai2 = "「富谷市」はどこでしょう？";
    bank.Kotae = "宮城県／富谷市";
    EXPECT_NE(memoryKey(bank), onPref);
    EXPECT_EQ(questionKind(whereMemoryQuestion(place("富谷市", "宮城県"), "宮城県", false)), "【どこでしょう】");
}

TEST(WhereMemory, PlacesFoundAreThoseAnsweredRightOnAnyMap) {
    MemoryBook book;
    const auto answer = [&](const WherePlace& p, const std::string& map, bool japan, Outcome o) {
        const std::string key = memoryKey(whereMemoryQuestion(p, map, japan));
        book.cards[key] = book.applied(key, o, 20000);
    };
    answer(place("富谷市", "宮城県"), "宮城県", false, Outcome::Good);
    answer(place("仙台市", "宮城県"), "全国", true, Outcome::Good);       // found on Japan's map
    answer(place("石巻市", "宮城県"), "宮城県", false, Outcome::Again);   // missed only
    answer(place("豊野村", "熊本県", true), "熊本県", false, Outcome::Good);
    answer(place("福島市", "福島県"), "福島県", false, Outcome::Again);
    answer(place("福島市", "福島県"), "福島県", false, Outcome::Good);   // missed, then found
    // A bank question with right answers, sorted among ours, counts for nothing.
    Mondai bank;
    bank.Mondai1 = "【読み】";
    bank.Mondai2 = "会津若松市";
    bank.Kotae = "福島県／あいづわかまつし";
    book.cards[memoryKey(bank)] = book.applied(memoryKey(bank), Outcome::Good, 20000);

    const std::map<std::string, std::set<std::string>> want{
        {"宮城県", {"富谷市", "仙台市"}},
        {"熊本県", {"豊野村"}},
        {"福島県", {"福島市"}},
    };
    EXPECT_EQ(foundInMemory(book), want);
    // And through the file: what is written is what is read.
    EXPECT_EQ(foundInMemory(MemoryBook::parse(book.serialize(), "記憶.txt")), want);
}

// ---- region maps

MapPart projection(double scale, double lon0, double lat0, double ox, double oy, MapBox frame, bool framed) {
    MapPart p;
    p.scale = scale;
    p.x0 = lon0;
    p.y0 = lat0;
    p.ox = ox;
    p.oy = oy;
    p.frame = frame;
    p.framed = framed;
    return p;
}

// A shape of one ring, the box lon0..lon1 × lat0..lat1 drawn through `part` (number `partNo` of `a`).
MapShape lonLatSquare(int code, const MapArea& a, int partNo, double lon0, double lat0, double lon1, double lat1) {
    const MapPart& part = a.parts[static_cast<std::size_t>(partNo)];
    MapShape s;
    s.code = code;
    s.rings = {{part.project(lon0, lat0), part.project(lon1, lat0), part.project(lon1, lat1), part.project(lon0, lat1)}};
    s.ringParts = {partNo};
    s.finish();
    return s;
}

TEST(RegionMap, AFarIslandOfAPrefecturesInsetGetsAFramedInsetOfTheRegionClearOfTheLand) {
    // 甲: a big square on its main area and an island far to the south in an
    // inset; 乙: a strip along the top, east of 甲, which leaves the region's
    // bottom right corner as sea.
    MapArea kou;
    kou.id = 1;
    kou.parts = {projection(1000, 130, 36, 300, 300, {0, 0, 7575, 7545}, false),
                 projection(2000, 139.9, 25.1, 5500, 5500, {5400, 5400, 7000, 7000}, true)};
    kou.shapes = {lonLatSquare(101, kou, 0, 130, 31, 135, 36), lonLatSquare(102, kou, 1, 140, 24.9, 140.2, 25.05)};
    MapArea otsu;
    otsu.id = 2;
    otsu.parts = {projection(1000, 135, 36, 300, 300, {0, 0, 7575, 7545}, false)};
    otsu.shapes = {lonLatSquare(201, otsu, 0, 135, 35, 136, 36)};

    const MapArea region = regionArea(kRegionAreaBase, {&kou, &otsu}, nullptr, {1, 2});
    ASSERT_EQ(region.parts.size(), 2u) << "the main area and one inset";
    const MapPart& inset = region.parts[1];
    EXPECT_TRUE(inset.framed);
    const MapShape* island = region.find(102);
    ASSERT_NE(island, nullptr) << "the far island is on the region's map";
    ASSERT_EQ(island->ringParts, std::vector<int>{1});
    for (const MapPoint& p : island->rings[0]) EXPECT_TRUE(inset.frame.contains(p));
    EXPECT_TRUE(region.parts[0].frame.contains({inset.frame.right, inset.frame.bottom}));
    // Clear of the land, larger than the main area's scale, at most 4 times it.
    for (int code : {101, 201}) EXPECT_FALSE(region.find(code)->box.intersects(inset.frame)) << code;
    EXPECT_GE(inset.scale, region.parts[0].scale);
    EXPECT_LE(inset.scale, 4 * region.parts[0].scale);
    // Found and judged as any other place: the same ground, clicked inside or near.
    EXPECT_NEAR(groundAreaKm2(region, *island), groundAreaKm2(kou, kou.shapes[1]), 0.01 * groundAreaKm2(kou, kou.shapes[1]));
    const MapPoint middle = pointInside(*island);
    EXPECT_EQ(hitShape(region, middle, 0), region.indexOf(102));
    EXPECT_EQ(hitShape(region, {island->box.right + 50, middle.y}, 120), region.indexOf(102));

    // Without the far island no inset is made.
    kou.shapes.pop_back();
    EXPECT_EQ(regionArea(kRegionAreaBase, {&kou, &otsu}, nullptr, {1, 2}).parts.size(), 1u);
}

}  // namespace
}  // namespace tabinowa
