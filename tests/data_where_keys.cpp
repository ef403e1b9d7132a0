// SPDX-License-Identifier: GPL-3.0-or-later
// どこでしょう by keyboard on the shipped maps (file1/区域.dat): rounds drawn
// as the window draws them, each answer reached from where the cursor stands
// (the map's middle at a round's start, the last answer after that) by a
// learner who presses the arrow that points most nearly at the place asked,
// and by the shortest way through the same keys (arrows, PageDown/PageUp).
// Their presses are set against the number of municipalities from the start
// to the answer across common borders; the figures are printed (`out/tests/data_where_keys`).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <queue>
#include <set>
#include <string>
#include <vector>

#include "core/base/random.h"
#include "core/files/io.h"
#include "core/map/outlines.h"

namespace tabinowa {
namespace {

const std::filesystem::path kOutlines = std::filesystem::path(TABINOWA_SOURCE_DIR) / "data" / "file1" / kOutlineFileName;
constexpr double kReach = 120;  // twips: the view's 8 pixels at 1× and 100 %
constexpr int kRoundLength = 10;
constexpr int kRoundsPerMap = 20;
constexpr int kMaxPresses = 200;

const MapPoint kArrows[4] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};

// Places sharing a stretch of border (an edge, compared at the file's quarter twip).
std::vector<std::vector<int>> borderNeighbours(const MapArea& area) {
    using End = std::pair<long, long>;
    std::map<std::pair<End, End>, std::vector<int>> edges;
    for (std::size_t i = 0; i < area.shapes.size(); ++i) {
        const MapShape& s = area.shapes[i];
        if (s.kind != MapShape::Kind::Municipality) continue;
        for (const MapRing& ring : s.rings)
            for (std::size_t k = 0; k < ring.size(); ++k) {
                const MapPoint a = ring[k], b = ring[(k + 1) % ring.size()];
                End ea{std::lround(a.x * 4), std::lround(a.y * 4)}, eb{std::lround(b.x * 4), std::lround(b.y * 4)};
                if (eb < ea) std::swap(ea, eb);
                auto& v = edges[{ea, eb}];
                if (v.empty() || v.back() != static_cast<int>(i)) v.push_back(static_cast<int>(i));
            }
    }
    std::vector<std::set<int>> sets(area.shapes.size());
    for (const auto& [edge, shapes] : edges)
        for (int a : shapes)
            for (int b : shapes)
                if (a != b) sets[static_cast<std::size_t>(a)].insert(b);
    std::vector<std::vector<int>> out;
    for (const auto& s : sets) out.emplace_back(s.begin(), s.end());
    return out;
}

// Steps across common borders from `from` to every place (-1: not joined by land).
std::vector<int> borderSteps(const std::vector<std::vector<int>>& next, int from) {
    std::vector<int> d(next.size(), -1);
    if (from < 0) return d;
    std::queue<int> q;
    d[static_cast<std::size_t>(from)] = 0;
    q.push(from);
    while (!q.empty()) {
        const int a = q.front();
        q.pop();
        for (int b : next[static_cast<std::size_t>(a)])
            if (d[static_cast<std::size_t>(b)] < 0) {
                d[static_cast<std::size_t>(b)] = d[static_cast<std::size_t>(a)] + 1;
                q.push(b);
            }
    }
    return d;
}

struct Cursor {
    MapPoint at;
    int place;  // the place under the cursor, -1 for the sea
};

// Where a key takes the cursor, as the map view moves it: -1 for a key that does nothing.
struct KeyMoves {
    const MapArea& area;
    std::vector<std::optional<MapPoint>> points;
    explicit KeyMoves(const MapArea& a) : area(a), points(placePoints(a)) {}
    int arrow(const Cursor& c, MapPoint dir) const { return placeTowards(points, c.place, c.at, dir); }
    int page(const Cursor& c, int step) const { return placeOfNextPrefecture(area, points, c.place, step); }
    Cursor on(int place) const { return {*points[static_cast<std::size_t>(place)], hitShape(area, *points[static_cast<std::size_t>(place)], kReach)}; }
};

// The learner who presses the arrow pointing most nearly at the place asked,
// the next nearest when that one goes back to where the cursor has been.
// Presses before Enter; nullopt when every useful arrow leads back.
std::optional<int> headingPresses(const KeyMoves& keys, Cursor c, int target) {
    const MapPoint t = *keys.points[static_cast<std::size_t>(target)];
    std::set<int> been{c.place};
    int presses = 0;
    while (c.place != target) {
        if (++presses > kMaxPresses) return std::nullopt;
        std::vector<std::pair<double, int>> ranked;
        for (int k = 0; k < 4; ++k) ranked.push_back({-(kArrows[k].x * (t.x - c.at.x) + kArrows[k].y * (t.y - c.at.y)), k});
        std::sort(ranked.begin(), ranked.end());
        std::optional<int> to;
        for (const auto& [score, k] : ranked) {
            if (score >= 0) break;  // not towards the place
            const int n = keys.arrow(c, kArrows[k]);
            if (n >= 0 && !been.count(n)) {
                to = n;
                break;
            }
        }
        if (!to) return std::nullopt;
        c = keys.on(*to);
        been.insert(c.place);
    }
    return presses;
}

// The fewest presses of arrows and PageDown/PageUp before Enter.
std::optional<int> fewestPresses(const KeyMoves& keys, const Cursor& start, int target) {
    if (start.place == target) return 0;
    std::vector<int> d(keys.points.size(), -1);
    std::queue<int> q;
    auto moves = [&](const Cursor& c) {
        std::vector<int> out;
        for (const MapPoint& dir : kArrows) out.push_back(keys.arrow(c, dir));
        out.push_back(keys.page(c, 1));
        out.push_back(keys.page(c, -1));
        return out;
    };
    for (int n : moves(start))
        if (n >= 0 && d[static_cast<std::size_t>(n)] < 0) {
            d[static_cast<std::size_t>(n)] = 1;
            q.push(n);
        }
    while (!q.empty()) {
        const int a = q.front();
        q.pop();
        if (a == target) return d[static_cast<std::size_t>(a)];
        for (int n : moves(keys.on(a)))
            if (n >= 0 && d[static_cast<std::size_t>(n)] < 0) {
                d[static_cast<std::size_t>(n)] = d[static_cast<std::size_t>(a)] + 1;
                q.push(n);
            }
    }
    return std::nullopt;
}

struct Tally {
    std::vector<int> heading, fewest, between;  // per answer joined by land
    int answers = 0, stuck = 0, overWater = 0;
};

double median(std::vector<int> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

void playRounds(const MapArea& area, Random& random, Tally& tally) {
    const KeyMoves keys(area);
    const auto next = borderNeighbours(area);
    std::vector<int> places;
    for (std::size_t i = 0; i < keys.points.size(); ++i)
        if (keys.points[i]) places.push_back(static_cast<int>(i));
    if (places.empty()) return;
    for (int round = 0; round < kRoundsPerMap; ++round) {
        std::vector<int> order = places;
        for (std::size_t i = order.size(); i > 1; --i) {
            auto j = static_cast<std::size_t>(random.uniform() * static_cast<double>(i));
            std::swap(order[i - 1], order[std::min(j, i - 1)]);
        }
        if (order.size() > kRoundLength) order.resize(kRoundLength);
        // A round starts on the whole map, the cursor at its middle.
        const MapPoint middle{area.width / 2.0, area.height / 2.0};
        Cursor c{middle, hitShape(area, middle, kReach)};
        for (int target : order) {
            ++tally.answers;
            const auto heading = headingPresses(keys, c, target);
            const auto fewest = fewestPresses(keys, c, target);
            // From the sea the first place reached counts as the start.
            const int from = c.place >= 0 ? c.place : keys.arrow(c, {0, 1});
            const int between = borderSteps(next, from)[static_cast<std::size_t>(target)];
            if (!heading) ++tally.stuck;
            if (between < 0) ++tally.overWater;
            if (heading && fewest && between >= 0) {
                tally.heading.push_back(*heading);
                tally.fewest.push_back(*fewest);
                tally.between.push_back(between);
            }
            c = keys.on(target);  // the cursor stays on the answer
        }
    }
}

TEST(ShippedWhereKeys, TheKeysReachTheMedianAnswerInNoMoreArrowsThanMunicipalitiesOnTheWay) {
    PosixIo io;
    const std::string bytes = readWholeFile(io, kOutlines);
    MtRandom random(2026);
    Tally prefectures, japan;
    for (int id = 1; id <= 47; ++id) playRounds(decodeOutlineArea(bytes, id, kOutlineFileName), random, prefectures);
    playRounds(decodeOutlineArea(bytes, kJapanArea, kOutlineFileName), random, japan);
    for (const auto& [name, t] : {std::pair<const char*, const Tally&>{"prefecture maps", prefectures}, {"map of Japan", japan}}) {
        std::vector<int> over;  // presses with Enter, less the places on the way
        for (std::size_t i = 0; i < t.heading.size(); ++i) over.push_back(t.heading[i] + 1 - t.between[i]);
        std::printf("%s: %d answers (%d not joined by land, %d where heading got stuck); median arrows heading %.1f, "
                    "fewest %.1f; median municipalities on the way %.1f; median (heading + Enter) − on the way %.1f\n",
                    name, t.answers, t.overWater, t.stuck, median(t.heading), median(t.fewest), median(t.between),
                    median(over));
        SCOPED_TRACE(name);
        ASSERT_FALSE(t.heading.empty());
        // The keys reach the median answer in no more presses than there are
        // municipalities on the way (Enter aside) ...
        EXPECT_LE(median(t.fewest), median(t.between));
        // ... and a learner who only heads for the place needs at most one more.
        EXPECT_LE(median(t.heading), median(t.between) + 1);
        // Heading for the place seldom meets a dead end (PageDown or the mouse then).
        EXPECT_LE(t.stuck * 20, t.answers) << "heading for the place got stuck in more than one answer in twenty";
    }
}

}  // namespace
}  // namespace tabinowa
