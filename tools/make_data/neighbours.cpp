#include "neighbours.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "facts.h"

namespace makedata {
namespace {

constexpr double kPi = 3.141592653589793;

using Point = std::pair<long long, long long>;  // lon, lat in 1e-7 degrees

Point key(double lon, double lat) { return {std::llround(lon * 1e7), std::llround(lat * 1e7)}; }

std::vector<LonLatRing> ringsOf(const QJsonObject& geometry) {
    const QString type = geometry.value(QStringLiteral("type")).toString();
    const QJsonArray coords = geometry.value(QStringLiteral("coordinates")).toArray();
    std::vector<QJsonArray> polygons;
    if (type == QStringLiteral("Polygon")) polygons.push_back(coords);
    else if (type == QStringLiteral("MultiPolygon"))
        for (const QJsonValue& p : coords) polygons.push_back(p.toArray());
    std::vector<LonLatRing> out;
    for (const QJsonArray& polygon : polygons)
        for (const QJsonValue& r : polygon) {
            LonLatRing ring;
            for (const QJsonValue& pt : r.toArray()) {
                const QJsonArray xy = pt.toArray();
                if (xy.size() < 2) throw std::runtime_error("point with fewer than two numbers");
                ring.emplace_back(xy[0].toDouble(), xy[1].toDouble());
            }
            out.push_back(std::move(ring));
        }
    return out;
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
    for (const auto& [segment, codes] : segmentOwners) eachPair(codes, [&](auto p) { c.borders.insert(p); });
    std::map<std::pair<int, int>, int> commonPoints;
    for (const auto& [point, codes] : pointOwners) eachPair(codes, [&](auto p) { ++commonPoints[p]; });
    for (const auto& [pair, n] : commonPoints) {
        if (n >= 2) c.borders.insert(pair);
        else if (!c.borders.count(pair)) c.onePointOnly.insert(pair);
    }
    return c;
}

void addNeighbours(Facts& facts, const QString& rawDir, const std::function<int(int)>& toPresent) {
    std::vector<std::pair<int, LonLatRing>> rings;
    for (int pref = 1; pref <= 47; ++pref) {
        const QString path = QStringLiteral("%1/boundaries/N03-21_%2_210101.json").arg(rawDir).arg(pref, 2, 10, QLatin1Char('0'));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot read " + path.toStdString());
        QJsonParseError err{};
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &err);
        if (err.error != QJsonParseError::NoError) throw std::runtime_error(path.toStdString() + ": " + err.errorString().toStdString());
        try {
            for (const QJsonValue& fv : doc.object().value(QStringLiteral("features")).toArray()) {
                const QJsonObject feature = fv.toObject();
                const QString codeText = feature.value(QStringLiteral("properties")).toObject().value(QStringLiteral("N03_007")).toString();
                bool ok = false;
                const int code = codeText.toInt(&ok);
                if (!ok) continue;  // land claimed by no municipality
                for (auto& ring : ringsOf(feature.value(QStringLiteral("geometry")).toObject()))
                    rings.emplace_back(code, std::move(ring));
            }
        } catch (const std::runtime_error& e) {
            throw std::runtime_error(path.toStdString() + ": " + e.what());
        }
    }
    auto present = [&](int code) {
        int p = toPresent(code);
        return facts.presentIndex.count(p) ? p : 0;  // the Northern Territories are not in the data
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
