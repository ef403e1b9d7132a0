// SPDX-License-Identifier: GPL-3.0-or-later
// The shipped vector maps (file1/区域.dat) against the shipped master: every
// present municipality once on its prefecture's map, every old
// municipality's dot inside its present municipality's outline, areas near
// the official ones; and all Japan's 47 prefectures on the overview map.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/files/io.h"
#include "core/map/outlines.h"
#include "core/map/regions.h"
#include "support/master_file.h"

namespace tabinowa {
namespace {

const std::filesystem::path kRepo = TABINOWA_SOURCE_DIR;
const std::filesystem::path kOutlines = kRepo / "data" / "file1" / kOutlineFileName;

struct Present {
    int pref = 0;
    std::string name;
    int areaKm2 = 0;
    // Every dot of the row set: the old municipalities', and the merged
    // municipality's own (its row has no old name).
    std::vector<std::pair<std::string, MapPoint>> dots;
    int olds = 0;
};

// The municipality master: present municipalities by code with their dots.
std::map<int, Present> readPresents() {
    std::map<int, Present> out;
    const auto lines = testing::readMaster(kRepo / "data" / "作業ファイル" / "市町村.csv");
    int present = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto& f = lines[i];
        if (f.size() < 18) continue;
        if (f[4].text == "0") {
            present = std::stoi(f[0].text);
            out[present] = {std::stoi(f[1].text), f[6].text, std::stoi(f[17].text), {}};
        }
        const std::string name = f[5].text.empty() ? f[6].text : f[5].text;
        out[present].dots.push_back({name, {std::stod(f[14].text), std::stod(f[15].text)}});
        if (!f[5].text.empty()) ++out[present].olds;
    }
    return out;
}

class ShippedOutlines : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        presents_ = new std::map<int, Present>(readPresents());
        PosixIo io;
        bytes_ = new std::string(readWholeFile(io, kOutlines));
    }
    static void TearDownTestSuite() {
        delete presents_;
        delete bytes_;
    }
    static MapArea area(int id) { return decodeOutlineArea(*bytes_, id, kOutlineFileName); }
    static std::map<int, Present>* presents_;
    static std::string* bytes_;
};
std::map<int, Present>* ShippedOutlines::presents_ = nullptr;
std::string* ShippedOutlines::bytes_ = nullptr;

TEST_F(ShippedOutlines, HoldAllJapanAndEveryPrefectureOnce) {
    std::vector<int> ids = outlineAreaIds(*bytes_, kOutlineFileName);
    ASSERT_EQ(ids.size(), 48u);
    for (int i = 0; i <= 47; ++i) EXPECT_EQ(ids[static_cast<std::size_t>(i)], i);
}

TEST_F(ShippedOutlines, EveryPresentMunicipalityExactlyOnceOnItsPrefecture) {
    ASSERT_EQ(presents_->size(), 1741u);
    std::map<int, std::set<int>> expected;  // prefecture -> codes
    for (const auto& [code, p] : *presents_) expected[p.pref].insert(code);
    for (int pref = 1; pref <= 47; ++pref) {
        SCOPED_TRACE("prefecture " + std::to_string(pref));
        const MapArea a = area(pref);
        std::multiset<int> codes;
        for (const MapShape& s : a.shapes)
            if (s.kind == MapShape::Kind::Municipality) codes.insert(s.code);
        EXPECT_EQ(std::set<int>(codes.begin(), codes.end()), expected[pref]);
        EXPECT_EQ(codes.size(), expected[pref].size()) << "a code twice";
    }
}

// The map draws each border once: neighbours share their common border point
// for point, so about half the land's edges are drawn by one side only.
TEST_F(ShippedOutlines, EveryLandEdgeIsDrawnOnceAndSharedBordersHalveTheWork) {
    using Key = std::pair<std::pair<long, long>, std::pair<long, long>>;
    const auto key = [](MapPoint a, MapPoint b) {
        Key k{{std::lround(a.x * 4), std::lround(a.y * 4)}, {std::lround(b.x * 4), std::lround(b.y * 4)}};
        if (k.second < k.first) std::swap(k.first, k.second);
        return k;
    };
    for (int id : {1, 13, kJapanArea}) {
        SCOPED_TRACE("area " + std::to_string(id));
        const MapArea a = area(id);
        std::set<Key> want;
        std::size_t ringEdges = 0;
        for (const MapShape& s : a.shapes)
            if (s.kind != MapShape::Kind::Neighbour)
                for (const MapRing& r : s.rings) {
                    ringEdges += r.size();
                    for (std::size_t i = 0; i < r.size(); ++i) want.insert(key(r[i], r[(i + 1) % r.size()]));
                }
        std::multiset<Key> got;
        for (const auto& runs : ownBorders(a))
            for (const MapLine& run : runs)
                for (std::size_t i = 0; i + 1 < run.size(); ++i) got.insert(key(run[i], run[i + 1]));
        EXPECT_EQ(got.size(), want.size()) << "an edge drawn twice or left out";
        EXPECT_EQ(std::set<Key>(got.begin(), got.end()), want);
        // Japan's map is mostly coast; a prefecture's municipalities mostly border each other.
        if (id != kJapanArea) {
            EXPECT_LT(got.size(), ringEdges * 3 / 4) << "shared borders should be drawn by one side only";
        }
    }
}

// The eight regions: every present municipality of their prefectures on the
// region's map exactly once, the far islands (伊豆諸島, 小笠原, 先島) in framed
// insets clear of the land and of each other, each piece inside its frame;
// each municipality keeps its ground area.
TEST_F(ShippedOutlines, RegionMapsHoldTheirPrefecturesMunicipalities) {
    const MapArea japan = area(kJapanArea);
    std::map<int, std::set<int>> expected;  // prefecture -> codes
    for (const auto& [code, p] : *presents_) expected[p.pref].insert(code);
    std::size_t left = 0;
    std::vector<std::string> leftOut;
    for (const Region& r : regions()) {
        SCOPED_TRACE(r.name);
        std::vector<MapArea> areas;
        for (int n : r.prefectures) areas.push_back(area(n));
        std::vector<const MapArea*> pointers;
        for (const MapArea& a : areas) pointers.push_back(&a);
        const MapArea map = regionArea(kRegionAreaBase, pointers, &japan, r.prefectures);
        std::set<int> codes;
        for (const MapShape& s : map.shapes) {
            if (s.kind == MapShape::Kind::Municipality) {
                EXPECT_TRUE(codes.insert(s.code).second) << s.code;
            }
            if (s.kind == MapShape::Kind::Neighbour) continue;
            for (std::size_t k = 0; k < s.rings.size(); ++k) {
                const MapPart& part = map.parts.at(static_cast<std::size_t>(s.ringParts.at(k)));
                for (const MapPoint& p : s.rings[k])
                    ASSERT_TRUE(part.frame.contains(p, part.framed ? 0 : 7575)) << s.code;
            }
        }
        // The insets: on the map, apart from each other and from the main area's land.
        for (std::size_t i = 1; i < map.parts.size(); ++i) {
            const MapBox& f = map.parts[i].frame;
            EXPECT_TRUE(map.parts[i].framed);
            EXPECT_TRUE(map.parts[0].frame.contains({f.left, f.top}) && map.parts[0].frame.contains({f.right, f.bottom}));
            for (std::size_t j = i + 1; j < map.parts.size(); ++j) EXPECT_FALSE(f.intersects(map.parts[j].frame));
            for (const MapShape& s : map.shapes)
                for (std::size_t k = 0; k < s.rings.size(); ++k)
                    if (s.kind == MapShape::Kind::Municipality && s.ringParts[k] == 0)
                        for (const MapPoint& p : s.rings[k]) ASSERT_FALSE(f.contains(p)) << "land under an inset: " << s.code;
        }
        for (int n : r.prefectures)
            for (int code : expected[n])
                if (!codes.count(code)) {
                    ++left;
                    leftOut.push_back((*presents_)[code].name);
                }
        // Each municipality's area on the region's map is the same ground.
        for (std::size_t i = 0; i < areas.size(); ++i)
            for (const MapShape& s : areas[i].shapes) {
                const MapShape* mine = map.find(s.code);
                if (s.kind != MapShape::Kind::Municipality || !mine || mine->rings.size() != s.rings.size()) continue;
                const double want = groundAreaKm2(areas[i], s), got = groundAreaKm2(map, *mine);
                EXPECT_NEAR(got, want, std::max(0.5, want * 0.02)) << (*presents_)[s.code].name;
            }
    }
    std::string names;
    for (const auto& n : leftOut) names += n + " ";
    EXPECT_EQ(left, 0u) << "left out of the region maps: " << names;
}

TEST_F(ShippedOutlines, EveryOldMunicipalityDotLiesInsideItsPresentOutline) {
    int dots = 0, olds = 0;
    std::vector<std::string> outside;
    std::map<int, MapArea> areas;
    for (const auto& [code, p] : *presents_) {
        if (!areas.count(p.pref)) areas[p.pref] = area(p.pref);
        // The map a municipality's circles are drawn on is its own row's prefecture.
        const MapShape* shape = areas[p.pref].find(code);
        ASSERT_NE(shape, nullptr) << p.name;
        olds += p.olds;
        for (const auto& [name, dot] : p.dots) {
            ++dots;
            if (!insideShape(*shape, dot)) outside.push_back(name + " -> " + p.name);
        }
    }
    EXPECT_EQ(olds, 3255);
    EXPECT_EQ(dots, 3255 + 590);  // and each of the 590 merged municipalities its own
    std::string list;
    for (const auto& s : outside) list += s + "\n";
    EXPECT_TRUE(outside.empty()) << outside.size() << " dots outside:\n" << list;
}

// Municipalities whose outline and official area differ in what they count:
// far islands left off the pictures (and so off the outlines), or land in the
// boundaries that the official area leaves out.
const std::map<int, const char*> kOtherLand = {
    {13421, "小笠原村: 火山列島, 南鳥島, 沖ノ鳥島, 西之島 left off"},
    {47207, "石垣市: 尖閣諸島 left off"},
    {47357, "北大東村: 沖大東島 left off"},
    {1223, "根室市: 歯舞群島 drawn, not in the official area"},
    {5211, "潟上市: part of 八郎潟調整池 inside the boundary"},
    {5366, "井川町: part of 八郎潟調整池 inside the boundary"},
    {12227, "浦安市: sea shore inside the 2021 boundary"},
    {25441, "豊郷町: small, its simplified raw boundary 30 % short"},
    {37364, "直島町: islands, simplified raw coasts"},
    {41345, "上峰町: small, its simplified raw boundary 15 % long"},
};

TEST_F(ShippedOutlines, AreasAreWithinAFewPercentOfTheOfficialOnes) {
    std::vector<double> errors;
    std::vector<std::string> far;
    for (const auto& [code, p] : *presents_) {
        const MapArea a = area(p.pref);
        const MapShape* shape = a.find(code);
        ASSERT_NE(shape, nullptr);
        if (kOtherLand.count(code)) continue;
        const double km2 = groundAreaKm2(a, *shape);
        const double error = std::abs(km2 - p.areaKm2) / p.areaKm2;
        errors.push_back(error);
        // The raw boundaries are simplified: small places lose relatively
        // more to their coasts and borders, so one place may be off by 10 %
        // or 1.5 km², whichever is more, while the whole stays close (below).
        if (std::abs(km2 - p.areaKm2) > std::max(0.10 * p.areaKm2, 1.5))
            far.push_back(p.name + " " + std::to_string(p.areaKm2) + " km², outline " + std::to_string(km2));
    }
    std::sort(errors.begin(), errors.end());
    std::printf("area error: median %.2f %%, 95th %.2f %%, max %.2f %%\n", 100 * errors[errors.size() / 2],
                100 * errors[errors.size() * 95 / 100], 100 * errors.back());
    EXPECT_LT(errors[errors.size() / 2], 0.01);
    EXPECT_LT(errors[errors.size() * 95 / 100], 0.05);
    std::string list;
    for (const auto& s : far) list += s + "\n";
    EXPECT_TRUE(far.empty()) << far.size() << " areas off:\n" << list;
}

TEST_F(ShippedOutlines, JapanHasTheFortySevenPrefecturesSideBySide) {
    const MapArea japan = area(kJapanArea);
    ASSERT_EQ(japan.shapes.size(), 47u);
    for (int pref = 1; pref <= 47; ++pref) ASSERT_NE(japan.find(pref), nullptr) << pref;
    // 東京都 lies east of 大阪府, 北海道 north of both; 沖縄県 in its own frame.
    const MapBox tokyo = japan.find(13)->box, osaka = japan.find(27)->box, hokkaido = japan.find(1)->box;
    EXPECT_GT(tokyo.left, osaka.right);
    EXPECT_LT(hokkaido.bottom, tokyo.top);
    EXPECT_TRUE(japan.parts[1].frame.contains({japan.find(47)->box.left, japan.find(47)->box.top}));
    // A click well inside a prefecture answers for it, not for a neighbour
    // whose outline lies within the tolerance.
    for (int pref : {1, 11, 13, 27, 40, 47}) {
        const MapShape& s = *japan.find(pref);
        int inside = 0;
        for (double y = s.box.top; y <= s.box.bottom; y += s.box.height() / 40)
            for (double x = s.box.left; x <= s.box.right; x += s.box.width() / 40)
                if (insideShape(s, {x, y})) {
                    ++inside;
                    EXPECT_EQ(hitShape(japan, {x, y}, 120), japan.indexOf(pref)) << pref << " at " << x << "," << y;
                }
        EXPECT_GT(inside, 0) << pref;
    }
}

}  // namespace
}  // namespace tabinowa
