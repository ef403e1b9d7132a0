#include "neighbours.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "boundaries.h"
#include "facts.h"

namespace makedata {
namespace {

constexpr double kPi = 3.141592653589793;

using Point = std::pair<long long, long long>;  // lon, lat in 1e-7 degrees

Point key(double lon, double lat) { return {std::llround(lon * 1e7), std::llround(lat * 1e7)}; }

}  // namespace

Contacts contactsOf(const std::vector<std::pair<int, LonLatRing>>& rings, const std::function<int(int)>& toPresent) {
    // segment (end points in order) and point -> the present municipalities whose rings hold it
    std::map<std::pair<Point, Point>, std::set<int>> segmentOwners;
    std::map<Point, std::set<int>> pointOwners;
    for (const auto& [code, ring] : rings) {
        int present = toPresent(code);
        if (present == 0) continue;
        for (std::size_t i = 0; i < ring.size(); ++i) {
            Point a = key(ring[i].first, ring[i].second);
            pointOwners[a].insert(present);
            if (i + 1 == ring.size()) break;
            Point b = key(ring[i + 1].first, ring[i + 1].second);
            if (a != b) segmentOwners[a < b ? std::make_pair(a, b) : std::make_pair(b, a)].insert(present);
        }
    }
    auto eachPair = [](const std::set<int>& codes, const std::function<void(std::pair<int, int>)>& f) {
        for (auto i = codes.begin(); i != codes.end(); ++i)
            for (auto j = std::next(i); j != codes.end(); ++j) f({*i, *j});
    };
    Contacts c;
    for (const auto& [segment, codes] : segmentOwners) eachPair(codes, [&](auto p) { c.borders.insert(p); });
    std::map<std::pair<int, int>, int> commonPoints;
    for (const auto& [point, codes] : pointOwners) eachPair(codes, [&](auto p) { ++commonPoints[p]; });
    for (const auto& [pair, n] : commonPoints) {
        if (n >= 2) c.borders.insert(pair);
        else if (!c.borders.count(pair)) c.onePointOnly.insert(pair);
    }
    return c;
}

void addNeighbours(Facts& facts, const QString& rawDir) {
    // the boundary reader gives a designated city's wards the city's code
    std::vector<std::pair<int, LonLatRing>> rings;
    for (int pref = 1; pref <= 47; ++pref)
        for (const auto& piece : readMunicipalityPieces(rawDir, pref))
            for (const QPolygonF& r : piece.rings) {
                LonLatRing ring;
                for (const QPointF& pt : r) ring.emplace_back(pt.x(), pt.y());
                if (!ring.empty()) ring.push_back(ring.front());  // closed again: its last edge counts
                rings.emplace_back(piece.code, std::move(ring));
            }
    auto present = [&](int code) {
        return facts.presentIndex.count(code) ? code : 0;  // the Northern Territories are not in the data
    };
    for (const auto& [code, ring] : rings) {
        const int p = present(code);
        if (p == 0) continue;
        PresentMuni& m = facts.presents[facts.presentIndex.at(p)];
        for (const auto& [lon, lat] : ring) {
            if (!m.hasShape) {
                m.north = m.south = lat;
                m.east = m.west = lon;
                m.hasShape = true;
            }
            m.north = std::max(m.north, lat);
            m.south = std::min(m.south, lat);
            m.east = std::max(m.east, lon);
            m.west = std::min(m.west, lon);
        }
    }
    const Contacts contacts = contactsOf(rings, present);
    // pairs with no border that come closer than kClearKm
    struct Shape {
        std::vector<const LonLatRing*> rings;
        double n = -1e9, s = 1e9, e = -1e9, w = 1e9;
    };
    std::map<int, Shape> shapes;
    for (const auto& [code, ring] : rings) {
        const int p = present(code);
        if (p == 0) continue;
        Shape& sh = shapes[p];
        sh.rings.push_back(&ring);
        for (const auto& [lon, lat] : ring) {
            sh.n = std::max(sh.n, lat);
            sh.s = std::min(sh.s, lat);
            sh.e = std::max(sh.e, lon);
            sh.w = std::min(sh.w, lon);
        }
    }
    std::set<std::pair<int, int>> close = contacts.onePointOnly;
    const double marginLat = kClearKm / 111.0, marginLon = kClearKm / 111.0 / std::cos(46 * kPi / 180);
    for (auto a = shapes.begin(); a != shapes.end(); ++a)
        for (auto b = std::next(a); b != shapes.end(); ++b) {
            const Shape &x = a->second, &y = b->second;
            if (x.s > y.n + marginLat || y.s > x.n + marginLat || x.w > y.e + marginLon || y.w > x.e + marginLon) continue;
            const std::pair<int, int> pair{a->first, b->first};
            if (contacts.borders.count(pair)) continue;
            if (ringsDistanceKm(x.rings, y.rings) < kClearKm) close.insert(pair);
        }
    for (const auto& [a, b] : contacts.borders) {
        facts.presents[facts.presentIndex.at(a)].neighbours.push_back(b);
        facts.presents[facts.presentIndex.at(b)].neighbours.push_back(a);
    }
    for (const auto& [a, b] : close) {
        facts.presents[facts.presentIndex.at(a)].mayTouch.push_back(b);
        facts.presents[facts.presentIndex.at(b)].mayTouch.push_back(a);
    }
    for (auto& m : facts.presents) {
        std::sort(m.neighbours.begin(), m.neighbours.end());
        std::sort(m.mayTouch.begin(), m.mayTouch.end());
    }
}

double ringsDistanceKm(const std::vector<const LonLatRing*>& a, const std::vector<const LonLatRing*>& b) {
    // km per degree at the middle latitude of the first point
    double lat0 = 35;
    for (const auto* r : a)
        if (!r->empty()) { lat0 = r->front().second; break; }
    const double kx = 111.32 * std::cos(lat0 * kPi / 180), ky = 110.57;
    auto pointToSegment = [&](std::pair<double, double> p, std::pair<double, double> s, std::pair<double, double> t) {
        const double px = (p.first - s.first) * kx, py = (p.second - s.second) * ky;
        const double dx = (t.first - s.first) * kx, dy = (t.second - s.second) * ky;
        const double len2 = dx * dx + dy * dy;
        double u = len2 > 0 ? (px * dx + py * dy) / len2 : 0;
        u = std::clamp(u, 0.0, 1.0);
        return std::hypot(px - u * dx, py - u * dy);
    };
    double best = 1e18;
    // each point of one side against each edge of the other, both ways (edges that
    // cross would need a crossing test; two municipalities never overlap)
    auto sweep = [&](const std::vector<const LonLatRing*>& from, const std::vector<const LonLatRing*>& to) {
        for (const auto* rf : from)
            for (const auto& p : *rf)
                for (const auto* rt : to)
                    for (std::size_t i = 0; i + 1 < rt->size(); ++i)
                        best = std::min(best, pointToSegment(p, (*rt)[i], (*rt)[i + 1]));
    };
    sweep(a, b);
    sweep(b, a);
    return best;
}

Bearing bearingBetween(double lon1, double lat1, double lon2, double lat2) {
    const double x = (lon2 - lon1) * std::cos((lat1 + lat2) / 2 * kPi / 180);
    const double y = lat2 - lat1;
    double deg = std::atan2(x, y) * 180 / kPi;
    if (deg < 0) deg += 360;
    Bearing b;
    b.degrees = deg;
    b.sector = static_cast<int>(std::floor((deg + 22.5) / 45.0)) % 8;
    double middle = b.sector * 45.0;
    double off = std::fabs(deg - middle);
    b.offMiddle = std::min(off, 360 - off);
    return b;
}

const std::array<const char*, 8>& compassNames() {
    static const std::array<const char*, 8> names = {"北", "北東", "東", "南東", "南", "南西", "西", "北西"};
    return names;
}

double greatCircleKm(double lon1, double lat1, double lon2, double lat2) {
    const double r = kPi / 180;
    const double dlat = (lat2 - lat1) * r, dlon = (lon2 - lon1) * r;
    const double h = std::sin(dlat / 2) * std::sin(dlat / 2) +
                     std::cos(lat1 * r) * std::cos(lat2 * r) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * 6371.0 * std::asin(std::min(1.0, std::sqrt(h)));
}

}  // namespace makedata
