// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/map/outlines.h"
#include "core/files/checksum.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
#include <set>
#include <unordered_set>
#include <utility>

#include "core/files/error.h"
#include "core/files/io.h"

namespace tabinowa {

namespace {

constexpr char kMagic[8] = {'T', 'B', 'N', 'W', 'M', 'A', 'P', 'S'};
constexpr double kUnitsPerTwip = 4;      // points are stored in quarter twips
constexpr std::size_t kHeaderBytes = 12;  // magic, version, area count
constexpr std::size_t kIndexEntryBytes = 16;
constexpr std::size_t kPartBytes = 6 * 8 + 4 * 4 + 4;
constexpr int kMaxShapes = 4000;
constexpr int kMaxRingPoints = 1 << 20;
constexpr double kKmPerDegLat = 110.57;
constexpr double kKmPerDegLon = 111.32;

class Writer {
public:
    void u8(unsigned v) { out_.push_back(static_cast<char>(v & 0xFF)); }
    void u16(unsigned v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f64(double v) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        u32(static_cast<std::uint32_t>(bits));
        u32(static_cast<std::uint32_t>(bits >> 32));
    }
    void varint(std::int64_t v) {  // zigzag, 7 bits a byte
        auto z = static_cast<std::uint64_t>((v << 1) ^ (v >> 63));
        while (z >= 0x80) {
            u8(static_cast<unsigned>(z | 0x80));
            z >>= 7;
        }
        u8(static_cast<unsigned>(z));
    }
    void bytes(std::string_view b) { out_.append(b); }
    void put32At(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    std::string& str() { return out_; }

private:
    std::string out_;
};

// Reads little-endian fields; any read past the end is a damaged file.
class Reader {
public:
    Reader(std::string_view b, std::string what) : b_(b), what_(std::move(what)) {}
    [[noreturn]] void fail(const std::string& why) const {
        throw FileError("ファイル「" + what_ + "」が壊れています（" + why + "）。");
    }
    void need(std::size_t n) const {
        if (b_.size() - pos_ < n) fail("途中で終わっています");
    }
    unsigned u8() {
        need(1);
        return static_cast<unsigned char>(b_[pos_++]);
    }
    unsigned u16() {
        const unsigned lo = u8();
        return lo | (u8() << 8);
    }
    std::uint32_t u32() {
        const std::uint32_t lo = u16();
        return lo | (static_cast<std::uint32_t>(u16()) << 16);
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    double f64() {
        const std::uint64_t lo = u32();
        const double v = std::bit_cast<double>(lo | (static_cast<std::uint64_t>(u32()) << 32));
        if (!std::isfinite(v)) fail("数値が正しくありません");
        return v;
    }
    std::int64_t varint() {
        std::uint64_t z = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            const unsigned c = u8();
            z |= static_cast<std::uint64_t>(c & 0x7F) << shift;
            if ((c & 0x80) == 0) return static_cast<std::int64_t>(z >> 1) ^ -static_cast<std::int64_t>(z & 1);
        }
        fail("座標が長すぎます");
    }
    std::size_t pos() const { return pos_; }
    bool atEnd() const { return pos_ == b_.size(); }

private:
    std::string_view b_;
    std::size_t pos_ = 0;
    std::string what_;
};

std::int64_t units(double twips) { return std::llround(twips * kUnitsPerTwip); }

std::string encodeArea(const MapArea& a) {
    Writer w;
    w.u16(static_cast<unsigned>(a.id));
    w.u16(static_cast<unsigned>(a.width));
    w.u16(static_cast<unsigned>(a.height));
    w.u16(static_cast<unsigned>(a.parts.size()));
    for (const MapPart& p : a.parts) {
        for (double v : {p.k, p.scale, p.x0, p.y0, p.ox, p.oy}) w.f64(v);
        for (double v : {p.frame.left, p.frame.top, p.frame.right, p.frame.bottom})
            w.i32(static_cast<std::int32_t>(std::lround(v)));
        w.u8(p.framed ? 1 : 0);
        w.u8(0);
        w.u16(0);
    }
    w.u32(static_cast<std::uint32_t>(a.shapes.size()));
    for (const MapShape& s : a.shapes) {
        w.u8(static_cast<unsigned>(s.kind));
        w.u8(0);
        w.u16(static_cast<unsigned>(s.rings.size()));
        w.i32(s.code);
        for (std::size_t k = 0; k < s.rings.size(); ++k) {
            const MapRing& r = s.rings[k];
            w.u8(static_cast<unsigned>(k < s.ringParts.size() ? s.ringParts[k] : 0));
            w.u32(static_cast<std::uint32_t>(r.size()));
            std::int64_t px = 0, py = 0;
            for (const MapPoint& p : r) {
                const std::int64_t x = units(p.x), y = units(p.y);
                w.varint(x - px);
                w.varint(y - py);
                px = x;
                py = y;
            }
        }
    }
    return std::move(w.str());
}

struct IndexEntry {
    int id;
    std::uint32_t offset, size, checksum;
};

std::vector<IndexEntry> readIndex(std::string_view bytes, const std::string& fileName) {
    Reader r(bytes, fileName);
    r.need(8);
    if (bytes.substr(0, 8) != std::string_view(kMagic, 8)) r.fail("地図の区域ファイルではありません");
    for (int i = 0; i < 8; ++i) r.u8();
    const unsigned version = r.u16();
    if (version != kOutlineVersion)
        r.fail("版" + std::to_string(version) + "は読めません。版" + std::to_string(kOutlineVersion) + "が必要です");
    const unsigned count = r.u16();
    std::vector<IndexEntry> index;
    std::set<int> seen;
    const std::size_t bodyStart = kHeaderBytes + count * kIndexEntryBytes;
    for (unsigned i = 0; i < count; ++i) {
        IndexEntry e{};
        e.id = static_cast<int>(r.u16());
        r.u16();
        e.offset = r.u32();
        e.size = r.u32();
        e.checksum = r.u32();
        if (e.id > 47 || !seen.insert(e.id).second) r.fail("区域の番号" + std::to_string(e.id) + "が正しくありません");
        if (e.offset < bodyStart || e.offset > bytes.size() || e.size > bytes.size() - e.offset)
            r.fail("区域" + std::to_string(e.id) + "の位置がファイルの外です");
        index.push_back(e);
    }
    return index;
}

}  // namespace

void MapShape::finish() {
    box = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
           -std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (const MapRing& r : rings)
        for (const MapPoint& p : r) {
            box.left = std::min(box.left, p.x);
            box.top = std::min(box.top, p.y);
            box.right = std::max(box.right, p.x);
            box.bottom = std::max(box.bottom, p.y);
        }
}

int MapArea::indexOf(int code) const {
    for (std::size_t i = 0; i < shapes.size(); ++i)
        if (shapes[i].kind == MapShape::Kind::Municipality && shapes[i].code == code) return static_cast<int>(i);
    return -1;
}

const MapShape* MapArea::find(int code) const {
    const int i = indexOf(code);
    return i < 0 ? nullptr : &shapes[static_cast<std::size_t>(i)];
}

std::string encodeOutlines(const std::vector<MapArea>& areas) {
    Writer w;
    w.bytes(std::string_view(kMagic, 8));
    w.u16(kOutlineVersion);
    w.u16(static_cast<unsigned>(areas.size()));
    const std::size_t indexAt = w.str().size();
    for (std::size_t i = 0; i < areas.size() * kIndexEntryBytes; ++i) w.u8(0);
    for (std::size_t i = 0; i < areas.size(); ++i) {
        const std::string body = encodeArea(areas[i]);
        const std::size_t at = indexAt + i * kIndexEntryBytes;
        w.str()[at] = static_cast<char>(areas[i].id & 0xFF);
        w.str()[at + 1] = static_cast<char>((areas[i].id >> 8) & 0xFF);
        w.put32At(at + 4, static_cast<std::uint32_t>(w.str().size()));
        w.put32At(at + 8, static_cast<std::uint32_t>(body.size()));
        w.put32At(at + 12, fnv1a32(body));
        w.bytes(body);
    }
    return std::move(w.str());
}

std::vector<int> outlineAreaIds(std::string_view bytes, const std::string& fileName) {
    std::vector<int> ids;
    for (const IndexEntry& e : readIndex(bytes, fileName)) ids.push_back(e.id);
    return ids;
}

MapArea decodeOutlineArea(std::string_view bytes, int id, const std::string& fileName) {
    const std::vector<IndexEntry> index = readIndex(bytes, fileName);
    const auto it = std::find_if(index.begin(), index.end(), [&](const IndexEntry& e) { return e.id == id; });
    const std::string where = id == kJapanArea ? std::string("全国") : "都道府県" + std::to_string(id);
    if (it == index.end()) throw FileError("ファイル「" + fileName + "」に" + where + "の区域がありません。");
    const std::string_view body = bytes.substr(it->offset, it->size);
    Reader r(body, fileName + "」の「" + where);
    if (fnv1a32(body) != it->checksum) r.fail("検査値が合いません");

    MapArea a;
    a.id = static_cast<int>(r.u16());
    if (a.id != id) r.fail("区域の番号が索引と違います");
    a.width = static_cast<int>(r.u16());
    a.height = static_cast<int>(r.u16());
    if (a.width == 0 || a.height == 0) r.fail("地図の大きさが0です");
    const unsigned partCount = r.u16();
    if (partCount == 0) r.fail("地図の部分がありません");
    r.need(partCount * kPartBytes);
    for (unsigned i = 0; i < partCount; ++i) {
        MapPart p;
        p.k = r.f64();
        p.scale = r.f64();
        p.x0 = r.f64();
        p.y0 = r.f64();
        p.ox = r.f64();
        p.oy = r.f64();
        if (p.k <= 0 || p.scale <= 0) r.fail("投影の値が正しくありません");
        p.frame.left = r.i32();
        p.frame.top = r.i32();
        p.frame.right = r.i32();
        p.frame.bottom = r.i32();
        p.framed = r.u8() != 0;
        r.u8();
        r.u16();
        a.parts.push_back(p);
    }
    const std::uint32_t shapeCount = r.u32();
    if (shapeCount > kMaxShapes) r.fail("図形の数が多すぎます");
    // Points may stray off the map only by a map's size (neighbouring land).
    const MapBox allowed{-1.0 * a.width, -1.0 * a.height, 2.0 * a.width, 2.0 * a.height};
    std::set<int> codes;
    for (std::uint32_t i = 0; i < shapeCount; ++i) {
        MapShape s;
        const unsigned kind = r.u8();
        if (kind > 2) r.fail("図形の種類" + std::to_string(kind) + "は読めません");
        s.kind = static_cast<MapShape::Kind>(kind);
        r.u8();
        const unsigned ringCount = r.u16();
        if (ringCount == 0) r.fail("輪郭のない図形があります");
        s.code = r.i32();
        if (s.kind == MapShape::Kind::Municipality && (s.code <= 0 || !codes.insert(s.code).second))
            r.fail("コード" + std::to_string(s.code) + "が正しくないか二度あります");
        s.rings.reserve(ringCount);
        for (unsigned k = 0; k < ringCount; ++k) {
            const unsigned part = r.u8();
            if (part >= partCount) r.fail("輪郭の部分の番号が範囲の外です");
            s.ringParts.push_back(static_cast<int>(part));
            const std::uint32_t n = r.u32();
            if (n < 3 || n > kMaxRingPoints) r.fail("輪郭の点の数" + std::to_string(n) + "が正しくありません");
            r.need(2 * n);  // at least one byte a coordinate
            MapRing ring;
            ring.reserve(n);
            std::int64_t x = 0, y = 0;
            for (std::uint32_t j = 0; j < n; ++j) {
                x += r.varint();
                y += r.varint();
                const MapPoint p{static_cast<double>(x) / kUnitsPerTwip, static_cast<double>(y) / kUnitsPerTwip};
                if (!allowed.contains(p)) r.fail("地図から遠く離れた点があります");
                ring.push_back(p);
            }
            s.rings.push_back(std::move(ring));
        }
        s.finish();
        a.shapes.push_back(std::move(s));
    }
    if (!r.atEnd()) r.fail("区域の後に余分なバイトがあります");
    return a;
}

MapArea readOutlineArea(Io& io, const std::filesystem::path& file, int id) {
    const std::string bytes = readWholeFile(io, file);
    return decodeOutlineArea(bytes, id, file.filename().string());
}

// ---------------------------------------------------------------- geometry

bool insideRings(const std::vector<MapRing>& rings, MapPoint p) {
    bool inside = false;
    for (const MapRing& ring : rings) {
        const std::size_t n = ring.size();
        for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
            const MapPoint a = ring[i];
            const MapPoint b = ring[j];
            if ((a.y > p.y) != (b.y > p.y)) {
                const double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
                if (p.x < x) inside = !inside;
            }
        }
    }
    return inside;
}

namespace {

double segmentDistance2(MapPoint p, MapPoint a, MapPoint b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = 0;
    if (len2 > 0) t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0);
    const double ex = a.x + t * dx - p.x;
    const double ey = a.y + t * dy - p.y;
    return ex * ex + ey * ey;
}

}  // namespace

double distanceToRings(const std::vector<MapRing>& rings, MapPoint p) {
    double best = std::numeric_limits<double>::infinity();
    for (const MapRing& ring : rings) {
        const std::size_t n = ring.size();
        for (std::size_t i = 0, j = n - 1; i < n; j = i++) best = std::min(best, segmentDistance2(p, ring[j], ring[i]));
    }
    return std::sqrt(best);
}

bool insideShape(const MapShape& s, MapPoint p) { return s.box.contains(p) && insideRings(s.rings, p); }

double distanceToShape(const MapShape& s, MapPoint p) {
    if (insideShape(s, p)) return 0;
    return distanceToRings(s.rings, p);
}

double groundAreaKm2(const MapArea& area, const MapShape& s) {
    // Outer rings and holes may wind either way: a ring held by an odd number
    // of the other rings is a hole.
    double total = 0;
    for (std::size_t r = 0; r < s.rings.size(); ++r) {
        const MapRing& ring = s.rings[r];
        const int partIndex = r < s.ringParts.size() ? s.ringParts[r] : 0;
        if (partIndex < 0 || partIndex >= static_cast<int>(area.parts.size()) || ring.empty()) continue;
        const MapPart& part = area.parts[static_cast<std::size_t>(partIndex)];
        // Local km: longitude shrunk by the cosine of the ring's first latitude.
        const double lat0 = part.unproject(ring.front()).y;
        const double kx = std::cos(lat0 * std::numbers::pi / 180.0) * kKmPerDegLon;
        double twice = 0;
        const std::size_t n = ring.size();
        for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
            const MapPoint a = part.unproject(ring[j]);
            const MapPoint b = part.unproject(ring[i]);
            twice += (a.x * kx) * (b.y * kKmPerDegLat) - (b.x * kx) * (a.y * kKmPerDegLat);
        }
        int depth = 0;  // how many other rings hold this one
        for (std::size_t o = 0; o < s.rings.size(); ++o)
            if (o != r && insideRings({s.rings[o]}, ring.front())) ++depth;
        total += (depth % 2 == 0 ? 1 : -1) * std::abs(twice) / 2;
    }
    return total;
}

MapPoint pointInside(const MapShape& s) {
    MapPoint best{(s.box.left + s.box.right) / 2, (s.box.top + s.box.bottom) / 2};
    double widest = -1;
    constexpr int kLines = 24;
    for (int i = 1; i < kLines; ++i) {
        const double y = s.box.top + s.box.height() * i / kLines;
        std::vector<double> xs;
        for (const MapRing& ring : s.rings) {
            const std::size_t n = ring.size();
            for (std::size_t a = 0, b = n - 1; a < n; b = a++) {
                const MapPoint p = ring[a], q = ring[b];
                if ((p.y > y) != (q.y > y)) xs.push_back(p.x + (y - p.y) * (q.x - p.x) / (q.y - p.y));
            }
        }
        std::sort(xs.begin(), xs.end());
        for (std::size_t k = 0; k + 1 < xs.size(); k += 2)
            if (xs[k + 1] - xs[k] > widest) {
                widest = xs[k + 1] - xs[k];
                best = {(xs[k] + xs[k + 1]) / 2, y};
            }
    }
    return best;
}

int hitShape(const MapArea& area, MapPoint p, double tolerance) {
    int best = -1;
    double bestDistance = tolerance;
    for (std::size_t i = 0; i < area.shapes.size(); ++i) {
        const MapShape& s = area.shapes[i];
        if (s.kind != MapShape::Kind::Municipality || !s.box.contains(p, bestDistance)) continue;
        if (insideRings(s.rings, p)) return static_cast<int>(i);
        const double d = distanceToRings(s.rings, p);
        if (d <= bestDistance) {
            best = static_cast<int>(i);
            bestDistance = d;
        }
    }
    return best;
}

MapLine simplifyLine(const MapLine& line, double tolerance) {
    const std::size_t n = line.size();
    if (n < 3) return line;
    std::vector<char> keep(n, 0);
    keep[0] = keep[n - 1] = 1;
    const double tol2 = tolerance * tolerance;
    std::vector<std::pair<std::size_t, std::size_t>> todo{{0, n - 1}};
    while (!todo.empty()) {
        const auto [a, b] = todo.back();
        todo.pop_back();
        if (b <= a + 1) continue;
        double worst = -1;
        std::size_t at = a;
        for (std::size_t i = a + 1; i < b; ++i) {
            const double d2 = segmentDistance2(line[i], line[a], line[b]);
            if (d2 > worst) {
                worst = d2;
                at = i;
            }
        }
        if (worst > tol2) {
            keep[at] = 1;
            todo.emplace_back(a, at);
            todo.emplace_back(at, b);
        }
    }
    MapLine out;
    for (std::size_t i = 0; i < n; ++i)
        if (keep[i]) out.push_back(line[i]);
    return out;
}

MapRing simplifyRing(const MapRing& ring, double tolerance) {
    // The closing edge joins the last point to the first: simplify the ring as
    // the open line from its first point round to itself.
    if (ring.size() < 4) return ring;
    MapLine line(ring);
    line.push_back(ring.front());
    MapLine out = simplifyLine(line, tolerance);
    out.pop_back();
    if (out.size() < 3) return ring;
    return out;
}

namespace {

struct EdgeKey {
    std::int64_t a, b;  // the two ends, packed, the smaller first
    friend bool operator==(const EdgeKey&, const EdgeKey&) = default;
};
struct EdgeHash {
    std::size_t operator()(const EdgeKey& k) const {
        return std::hash<std::int64_t>()(k.a) ^ (std::hash<std::int64_t>()(k.b) * 0x9E3779B97F4A7C15ULL);
    }
};
std::int64_t packPoint(MapPoint p) { return (units(p.x) << 32) ^ (units(p.y) & 0xFFFFFFFF); }

}  // namespace

std::vector<std::vector<MapLine>> ownBorders(const MapArea& area) {
    std::vector<std::vector<MapLine>> out(area.shapes.size());
    std::unordered_set<EdgeKey, EdgeHash> seen;
    std::size_t edges = 0;
    for (const MapShape& shape : area.shapes)
        for (const MapRing& ring : shape.rings) edges += ring.size();
    seen.reserve(edges);
    std::vector<char> own;
    for (std::size_t s = 0; s < area.shapes.size(); ++s) {
        const MapShape& shape = area.shapes[s];
        if (shape.kind == MapShape::Kind::Neighbour) continue;
        for (const MapRing& ring : shape.rings) {
            const std::size_t n = ring.size();
            if (n < 2) continue;
            own.assign(n, 0);  // edge i joins point i to point i + 1 (the last to the first)
            bool all = true;
            for (std::size_t i = 0; i < n; ++i) {
                std::int64_t a = packPoint(ring[i]), b = packPoint(ring[(i + 1) % n]);
                if (b < a) std::swap(a, b);
                own[i] = seen.insert({a, b}).second ? 1 : 0;
                all = all && own[i];
            }
            if (all) {
                MapLine whole(ring);
                whole.push_back(ring.front());
                out[s].push_back(std::move(whole));
                continue;
            }
            // Start after an edge not owned, so that no run is cut in two.
            std::size_t start = 0;
            while (own[start]) ++start;
            MapLine run;
            for (std::size_t k = 1; k <= n; ++k) {
                const std::size_t i = (start + k) % n;
                if (own[i]) {
                    if (run.empty()) run.push_back(ring[i]);
                    run.push_back(ring[(i + 1) % n]);
                } else if (!run.empty()) {
                    out[s].push_back(std::move(run));
                    run.clear();
                }
            }
            if (!run.empty()) out[s].push_back(std::move(run));
        }
    }
    return out;
}

std::vector<std::optional<MapPoint>> placePoints(const MapArea& area) {
    std::vector<std::optional<MapPoint>> out(area.shapes.size());
    for (std::size_t i = 0; i < area.shapes.size(); ++i)
        if (area.shapes[i].kind == MapShape::Kind::Municipality && !area.shapes[i].rings.empty()) {
            // The middle of its box where that is inside it, so that a tall
            // or wide place is reached from either side; else a point inside.
            const MapBox& b = area.shapes[i].box;
            const MapPoint mid{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
            out[i] = insideShape(area.shapes[i], mid) ? mid : pointInside(area.shapes[i]);
        }
    return out;
}

int placeTowards(const std::vector<std::optional<MapPoint>>& points, int from, MapPoint at, MapPoint dir) {
    const double len = std::hypot(dir.x, dir.y);
    if (len <= 0) return -1;
    const double dx = dir.x / len, dy = dir.y / len;
    // Within 60 degrees first; when nothing lies there, anything ahead.
    for (const double cone : {1.7320508075688772, std::numeric_limits<double>::infinity()}) {
        int best = -1;
        double bestScore = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (!points[i] || static_cast<int>(i) == from) continue;
            const double vx = points[i]->x - at.x, vy = points[i]->y - at.y;
            const double ahead = vx * dx + vy * dy;
            const double aside = std::abs(vx * dy - vy * dx);
            if (ahead <= 0 || aside > ahead * cone) continue;
            const double score = ahead + 2 * aside;
            if (best < 0 || score < bestScore) {
                best = static_cast<int>(i);
                bestScore = score;
            }
        }
        if (best >= 0) return best;
    }
    return -1;
}

int prefectureOfShape(const MapArea& area, int shape) {
    if (shape < 0 || shape >= static_cast<int>(area.shapes.size())) return 0;
    const int code = area.shapes[static_cast<std::size_t>(shape)].code;
    return area.id == kJapanArea ? code : code / 1000;
}

int placeOfNextPrefecture(const MapArea& area, const std::vector<std::optional<MapPoint>>& points, int from,
                          int step) {
    // The first place of each prefecture, in the order of the prefectures' numbers.
    std::vector<std::pair<int, int>> firsts;  // prefecture, shape
    for (std::size_t i = 0; i < points.size() && i < area.shapes.size(); ++i) {
        if (!points[i]) continue;
        const int pref = prefectureOfShape(area, static_cast<int>(i));
        const auto it = std::find_if(firsts.begin(), firsts.end(), [pref](const auto& f) { return f.first == pref; });
        if (it == firsts.end()) firsts.emplace_back(pref, static_cast<int>(i));
        else if (area.shapes[i].code < area.shapes[static_cast<std::size_t>(it->second)].code) it->second = static_cast<int>(i);
    }
    if (firsts.empty()) return -1;
    std::sort(firsts.begin(), firsts.end());
    if (from < 0 || !points.at(static_cast<std::size_t>(from))) return step >= 0 ? firsts.front().second : firsts.back().second;
    const int pref = prefectureOfShape(area, from);
    const auto it = std::find_if(firsts.begin(), firsts.end(), [pref](const auto& f) { return f.first == pref; });
    const auto n = static_cast<std::ptrdiff_t>(firsts.size());
    const std::ptrdiff_t at = it - firsts.begin();
    return firsts[static_cast<std::size_t>(((at + (step >= 0 ? 1 : -1)) % n + n) % n)].second;
}

}  // namespace tabinowa
