// SPDX-License-Identifier: GPL-3.0-or-later
#include "neighbours.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <unordered_map>

#include "boundaries.h"
#include "facts.h"
#include "islands.h"

namespace makedata {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kKmPerDegreeLat = 110.57;
constexpr double kKmPerDegreeLonAtEquator = 111.32;

using Point = std::pair<long long, long long>;  // lon, lat in 1e-7 degrees

Point key(double lon, double lat) { return {std::llround(lon * 1e7), std::llround(lat * 1e7)}; }

double kmPerDegreeLon(double lat) { return kKmPerDegreeLonAtEquator * std::cos(lat * kPi / 180); }

// Length in km of the straight segment between two points (local flat projection).
double segmentKm(double lon1, double lat1, double lon2, double lat2) {
    return std::hypot((lon2 - lon1) * kmPerDegreeLon((lat1 + lat2) / 2), (lat2 - lat1) * kKmPerDegreeLat);
}

// Distance in km from (px, py) to the segment (x1, y1)-(x2, y2), flat around p.
double pointToSegmentKm(double px, double py, double x1, double y1, double x2, double y2) {
    const double kx = kmPerDegreeLon(py), ky = kKmPerDegreeLat;
    const double ax = (px - x1) * kx, ay = (py - y1) * ky;
    const double dx = (x2 - x1) * kx, dy = (y2 - y1) * ky;
    const double len2 = dx * dx + dy * dy;
    const double u = len2 > 0 ? std::clamp((ax * dx + ay * dy) / len2, 0.0, 1.0) : 0.0;
    return std::hypot(ax - u * dx, ay - u * dy);
}

Bearing bearingOf(double deg) {
    deg = std::fmod(deg, 360.0);
    if (deg < 0) deg += 360;
    Bearing b;
    b.degrees = deg;
    b.sector = static_cast<int>(std::floor((deg + 22.5) / 45.0)) % 8;
    const double off = std::fabs(deg - b.sector * 45.0);
    b.offMiddle = std::min(off, 360 - off);
    return b;
}

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
    for (const auto& [segment, codes] : segmentOwners) {
        const double km = segmentKm(segment.first.first / 1e7, segment.first.second / 1e7, segment.second.first / 1e7,
                                    segment.second.second / 1e7);
        eachPair(codes, [&](auto p) {
            c.borders.insert(p);
            c.km[p] += km;
        });
    }
    std::map<std::pair<int, int>, int> commonPoints;
    for (const auto& [point, codes] : pointOwners) eachPair(codes, [&](auto p) { ++commonPoints[p]; });
    for (const auto& [pair, n] : commonPoints) {
        if (n >= 2) {
            c.borders.insert(pair);
            c.km.try_emplace(pair, 0.0);
        } else if (!c.borders.count(pair)) {
            c.onePointOnly.insert(pair);
        }
    }
    return c;
}

std::map<std::pair<int, int>, double> crossBorderKm(const std::vector<OwnedRing>& municipalities,
                                                    const std::vector<std::pair<int, LonLatRing>>& prefectureRings) {
    // the segments two prefectures hold both: their common border
    std::map<std::pair<Point, Point>, std::set<int>> owners;
    for (const auto& [pref, ring] : prefectureRings)
        for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
            const Point a = key(ring[i].first, ring[i].second), b = key(ring[i + 1].first, ring[i + 1].second);
            if (a != b) owners[a < b ? std::make_pair(a, b) : std::make_pair(b, a)].insert(pref);
        }
    // every municipality edge in a grid of cells, per prefecture
    struct Edge {
        double x1, y1, x2, y2;
        int code;
    };
    constexpr double kCell = 0.02;  // degrees, about 2 km
    std::vector<Edge> edges;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> grid;
    auto cellKey = [](int pref, long long gx, long long gy) {
        return (static_cast<std::uint64_t>(pref) << 48) ^ (static_cast<std::uint64_t>(gx + 100000) << 24) ^
               static_cast<std::uint64_t>(gy + 100000);
    };
    auto cellOf = [&](double v) { return static_cast<long long>(std::floor(v / kCell)); };
    for (const auto& r : municipalities)
        for (std::size_t i = 0; i + 1 < r.ring.size(); ++i) {
            const auto& [x1, y1] = r.ring[i];
            const auto& [x2, y2] = r.ring[i + 1];
            edges.push_back({x1, y1, x2, y2, r.code});
            for (long long gx = cellOf(std::min(x1, x2)); gx <= cellOf(std::max(x1, x2)); ++gx)
                for (long long gy = cellOf(std::min(y1, y2)); gy <= cellOf(std::max(y1, y2)); ++gy)
                    grid[cellKey(r.pref, gx, gy)].push_back(edges.size() - 1);
        }
    // the municipality of `pref` whose border lies nearest to the point, within the tolerance
    auto nearest = [&](double px, double py, int pref) {
        const long long rx = static_cast<long long>(std::ceil(kCrossToleranceKm / kmPerDegreeLon(py) / kCell));
        const long long ry = static_cast<long long>(std::ceil(kCrossToleranceKm / kKmPerDegreeLat / kCell));
        double best = kCrossToleranceKm;
        int code = 0;
        for (long long gx = cellOf(px) - rx; gx <= cellOf(px) + rx; ++gx)
            for (long long gy = cellOf(py) - ry; gy <= cellOf(py) + ry; ++gy) {
                auto it = grid.find(cellKey(pref, gx, gy));
                if (it == grid.end()) continue;
                for (std::size_t e : it->second) {
                    const Edge& g = edges[e];
                    const double d = pointToSegmentKm(px, py, g.x1, g.y1, g.x2, g.y2);
                    if (d < best || (d == best && code != 0 && g.code < code)) {
                        best = d;
                        code = g.code;
                    }
                }
            }
        return code;
    };
    std::map<std::pair<int, int>, double> km;
    for (const auto& [segment, prefs] : owners) {
        if (prefs.size() != 2) continue;
        const int prefA = *prefs.begin(), prefB = *prefs.rbegin();
        const double x1 = segment.first.first / 1e7, y1 = segment.first.second / 1e7;
        const double x2 = segment.second.first / 1e7, y2 = segment.second.second / 1e7;
        const double len = segmentKm(x1, y1, x2, y2);
        const int steps = std::max(1, static_cast<int>(std::ceil(len / kSampleKm)));
        for (int k = 0; k < steps; ++k) {
            const double t = (k + 0.5) / steps;
            const double px = x1 + t * (x2 - x1), py = y1 + t * (y2 - y1);
            const int a = nearest(px, py, prefA), b = nearest(px, py, prefB);
            if (a != 0 && b != 0 && a != b) km[{std::min(a, b), std::max(a, b)}] += len / steps;
        }
    }
    return km;
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
    return bearingOf(std::atan2(x, y) * 180 / kPi);
}

Bearing greatCircleBearing(double lon1, double lat1, double lon2, double lat2) {
    const double r = kPi / 180;
    const double p1 = lat1 * r, p2 = lat2 * r, dl = (lon2 - lon1) * r;
    const double y = std::sin(dl) * std::cos(p2);
    const double x = std::cos(p1) * std::sin(p2) - std::sin(p1) * std::cos(p2) * std::cos(dl);
    return bearingOf(std::atan2(y, x) * 180 / kPi);
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

double ellipsoidKm(double lon1, double lat1, double lon2, double lat2) {
    constexpr double a = 6378137.0, f = 1 / 298.257223563, b = (1 - f) * a;
    const double r = kPi / 180;
    const double L = (lon2 - lon1) * r;
    const double U1 = std::atan((1 - f) * std::tan(lat1 * r)), U2 = std::atan((1 - f) * std::tan(lat2 * r));
    const double sinU1 = std::sin(U1), cosU1 = std::cos(U1), sinU2 = std::sin(U2), cosU2 = std::cos(U2);
    double lambda = L, sinSigma = 0, cosSigma = 0, sigma = 0, cos2Alpha = 0, cos2SigmaM = 0;
    for (int i = 0; i < 200; ++i) {
        const double sinL = std::sin(lambda), cosL = std::cos(lambda);
        sinSigma = std::hypot(cosU2 * sinL, cosU1 * sinU2 - sinU1 * cosU2 * cosL);
        if (sinSigma == 0) return 0;
        cosSigma = sinU1 * sinU2 + cosU1 * cosU2 * cosL;
        sigma = std::atan2(sinSigma, cosSigma);
        const double sinAlpha = cosU1 * cosU2 * sinL / sinSigma;
        cos2Alpha = 1 - sinAlpha * sinAlpha;
        cos2SigmaM = cos2Alpha != 0 ? cosSigma - 2 * sinU1 * sinU2 / cos2Alpha : 0;
        const double C = f / 16 * cos2Alpha * (4 + f * (4 - 3 * cos2Alpha));
        const double previous = lambda;
        lambda = L + (1 - C) * f * sinAlpha *
                         (sigma + C * sinSigma * (cos2SigmaM + C * cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM)));
        if (std::fabs(lambda - previous) < 1e-12) break;
    }
    const double u2 = cos2Alpha * (a * a - b * b) / (b * b);
    const double A = 1 + u2 / 16384 * (4096 + u2 * (-768 + u2 * (320 - 175 * u2)));
    const double B = u2 / 1024 * (256 + u2 * (-128 + u2 * (74 - 47 * u2)));
    const double deltaSigma =
        B * sinSigma *
        (cos2SigmaM + B / 4 *
                          (cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM) -
                           B / 6 * cos2SigmaM * (-3 + 4 * sinSigma * sinSigma) * (-3 + 4 * cos2SigmaM * cos2SigmaM)));
    return b * A * (sigma - deltaSigma) / 1000.0;
}

bool ringsContain(const std::vector<const LonLatRing*>& rings, double lon, double lat) {
    bool in = false;
    for (const auto* ring : rings) {
        const std::size_t n = ring->size();
        for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
            const auto& [x1, y1] = (*ring)[i];
            const auto& [x2, y2] = (*ring)[j];
            if ((y1 > lat) != (y2 > lat) && lon < (x2 - x1) * (lat - y1) / (y2 - y1) + x1) in = !in;
        }
    }
    return in;
}

void addNeighbours(Facts& facts, const QString& rawDir) {
    auto present = [&](int code) {
        return facts.presentIndex.count(code) ? code : 0;  // the Northern Territories are not in the data
    };
    auto muni = [&](int code) -> PresentMuni& { return facts.presents[facts.presentIndex.at(code)]; };
    // every ring of every present municipality (the boundary reader gives a
    // designated city's wards the city's code), and the extents
    std::vector<OwnedRing> rings;
    for (int pref = 1; pref <= 47; ++pref)
        for (const auto& piece : readMunicipalityPieces(rawDir, pref)) {
            const int p = present(piece.code);
            if (p == 0) continue;
            const QPointF centre = boundsOf(piece.rings).center();
            bool counts = true;  // for the extent
            for (const auto& rule : extentExclusions())
                if (rule.presentCode == p && rule.area.contains(centre.x(), centre.y())) counts = false;
            PresentMuni& m = muni(p);
            for (const QPolygonF& r : piece.rings) {
                OwnedRing ring{p, pref, {}};
                for (const QPointF& pt : r) ring.ring.emplace_back(pt.x(), pt.y());
                if (ring.ring.empty()) continue;
                ring.ring.push_back(ring.ring.front());  // closed again: its last edge counts
                if (counts)
                    for (const auto& [lon, lat] : ring.ring) {
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
                rings.push_back(std::move(ring));
            }
        }
    for (const auto& a : extentAdditions()) {
        PresentMuni& m = muni(a.presentCode);
        if (!m.hasShape) throw std::runtime_error(std::string("extent addition for a municipality with no shape: ") + a.name);
        if (a.lat > m.north) { m.north = a.lat; m.farPlace[0] = a.name; }
        if (a.lat < m.south) { m.south = a.lat; m.farPlace[1] = a.name; }
        if (a.lon > m.east) { m.east = a.lon; m.farPlace[2] = a.name; }
        if (a.lon < m.west) { m.west = a.lon; m.farPlace[3] = a.name; }
    }

    std::map<std::pair<int, int>, double> borders;  // listed neighbours and their border in km
    std::map<std::pair<int, int>, double> nearly;   // across a prefecture border, less than kNeighbourKm
    std::set<std::pair<int, int>> close;            // not to be offered as not touching
    // within each prefecture: the common segments of its own file
    for (int pref = 1; pref <= 47; ++pref) {
        std::vector<std::pair<int, LonLatRing>> own;
        for (const auto& r : rings)
            if (r.pref == pref) own.emplace_back(r.code, r.ring);
        const Contacts c = contactsOf(own, [](int code) { return code; });
        for (const auto& [pair, km] : c.km) borders[pair] = km;
        close.insert(c.onePointOnly.begin(), c.onePointOnly.end());
    }
    // across prefecture borders: the prefectures' common border, walked
    std::map<std::string, int> prefNumber;
    for (const auto& p : facts.prefs) prefNumber[p.name] = p.number;
    std::vector<std::pair<int, LonLatRing>> prefectureRings;
    for (const auto& piece : readPrefecturePieces(rawDir)) {
        auto it = prefNumber.find(piece.name.toStdString());
        if (it == prefNumber.end())
            throw std::runtime_error("prefectures.json: unknown prefecture " + piece.name.toStdString());
        for (const QPolygonF& r : piece.rings) {
            LonLatRing ring;
            for (const QPointF& pt : r) ring.emplace_back(pt.x(), pt.y());
            if (ring.empty()) continue;
            ring.push_back(ring.front());
            prefectureRings.emplace_back(it->second, std::move(ring));
        }
    }
    for (const auto& [pair, km] : crossBorderKm(rings, prefectureRings)) {
        if (km >= kNeighbourKm) borders[pair] = km;
        else nearly[pair] = km;  // kept below only when the two come closer than kClearKm
    }
    // pairs with no border that come closer than kClearKm
    struct Shape {
        std::vector<const LonLatRing*> rings;
        double n = -1e9, s = 1e9, e = -1e9, w = 1e9;
    };
    std::map<int, Shape> shapes;
    for (const auto& r : rings) {
        Shape& sh = shapes[r.code];
        sh.rings.push_back(&r.ring);
        for (const auto& [lon, lat] : r.ring) {
            sh.n = std::max(sh.n, lat);
            sh.s = std::min(sh.s, lat);
            sh.e = std::max(sh.e, lon);
            sh.w = std::min(sh.w, lon);
        }
    }
    const double marginLat = kClearKm / 111.0, marginLon = kClearKm / 111.0 / std::cos(46 * kPi / 180);
    std::map<std::pair<int, int>, double> within;  // pairs closer than kClearKm, with no border: km apart
    for (auto a = shapes.begin(); a != shapes.end(); ++a)
        for (auto b = std::next(a); b != shapes.end(); ++b) {
            const Shape &x = a->second, &y = b->second;
            if (x.s > y.n + marginLat || y.s > x.n + marginLat || x.w > y.e + marginLon || y.w > x.e + marginLon) continue;
            const std::pair<int, int> pair{a->first, b->first};
            if (borders.count(pair)) continue;
            const double km = ringsDistanceKm(x.rings, y.rings);
            if (km < kClearKm) within[pair] = km;
        }
    for (const auto& [pair, km] : within) close.insert(pair);
    // a pair walked along the prefectures' border whose polygons keep 1 km apart
    // owes its few steps to a file far off the common border: no contact
    for (auto it = nearly.begin(); it != nearly.end();) it = within.count(it->first) ? std::next(it) : nearly.erase(it);
    // across a prefecture border, polygons that meet or nearly do (the junctions of
    // the two files fall together): whether they share a short border is open too
    for (const auto& [pair, km] : within)
        if (km < kNearlyGapKm && muni(pair.first).pref != muni(pair.second).pref) nearly.try_emplace(pair, 0.0);
    for (const auto& [pair, km] : borders) {
        muni(pair.first).neighbours.push_back(pair.second);
        muni(pair.second).neighbours.push_back(pair.first);
        muni(pair.first).borderKm[pair.second] = km;
        muni(pair.second).borderKm[pair.first] = km;
    }
    for (const auto& [pair, km] : nearly) {
        muni(pair.first).nearly.push_back(pair.second);
        muni(pair.second).nearly.push_back(pair.first);
        muni(pair.first).borderKm[pair.second] = km;
        muni(pair.second).borderKm[pair.first] = km;
        close.insert(pair);
    }
    for (const auto& [a, b] : close) {
        if (borders.count({a, b})) continue;
        muni(a).mayTouch.push_back(b);
        muni(b).mayTouch.push_back(a);
    }
    for (auto& m : facts.presents) {
        for (auto* v : {&m.neighbours, &m.nearly, &m.mayTouch}) {
            std::sort(v->begin(), v->end());
            v->erase(std::unique(v->begin(), v->end()), v->end());
        }
    }

    // where each town hall stands: inside which municipality's polygons (its own
    // first), else the nearest within kHallShoreKm (a hall on a simplified coast)
    for (auto& m : facts.presents) {
        if (!m.hasHall) continue;
        const double lon = m.hallLon, lat = m.hallLat;
        int in = 0;
        if (shapes.count(m.code) && ringsContain(shapes.at(m.code).rings, lon, lat)) in = m.code;
        for (auto it = shapes.begin(); in == 0 && it != shapes.end(); ++it) {
            const Shape& sh = it->second;
            if (lat < sh.s || lat > sh.n || lon < sh.w || lon > sh.e) continue;
            if (ringsContain(sh.rings, lon, lat)) in = it->first;
        }
        if (in == 0) {
            double best = kHallShoreKm;
            for (const auto& [code, sh] : shapes) {
                if (lat < sh.s - 0.05 || lat > sh.n + 0.05 || lon < sh.w - 0.05 || lon > sh.e + 0.05) continue;
                for (const auto* r : sh.rings)
                    for (std::size_t i = 0; i + 1 < r->size(); ++i) {
                        const double d = pointToSegmentKm(lon, lat, (*r)[i].first, (*r)[i].second, (*r)[i + 1].first,
                                                          (*r)[i + 1].second);
                        if (d < best) {
                            best = d;
                            in = code;
                        }
                    }
            }
        }
        m.hallIn = in;
        m.hallInside = in == m.code;
        if (!m.hallInside)
            facts.notes.push_back("town hall outside its municipality: " + m.name + " (" + std::to_string(m.code) +
                                  ") stands in " + (in ? muni(in).name : std::string("none found")));
    }
}

}  // namespace makedata
