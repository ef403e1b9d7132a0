// SPDX-License-Identifier: GPL-3.0-or-later
#include "prefmap.h"

#include "boundaries.h"
#include "core/files/error.h"
#include "core/map/outlines.h"
#include "islands.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <numbers>

namespace makedata {

namespace {

// Picture size: 505 x 503 pixels at 15 twips a pixel.
constexpr int kPixW = 505;
constexpr int kPixH = 503;
constexpr double kTwipsPerPixel = 15.0;
constexpr double kPicW = kPixW * kTwipsPerPixel;  // 7575
constexpr double kPicH = kPixH * kTwipsPerPixel;  // 7545

constexpr double kMargin = 150;    // sea kept free along the picture edge
constexpr double kInsetPad = 90;   // between an inset frame and its land
constexpr double kInsetGap = 45;   // sea kept between main land and a frame
constexpr double kMaxInsetZoom = 4;  // an inset never magnifies more than this x main
constexpr double kDotMinDepth = 3; // a projected dot this far inside stays put
constexpr double kDotDepth = 30;   // a moved dot goes this far inside if it can
constexpr double kKmPerDegLat = 110.57;
constexpr double kKmPerDegLon = 111.32;
constexpr int kJpegQuality = 90;

// Colours of the picture.
const QColor kSea(0xcd, 0xe5, 0xf2);
const QColor kLand(0xf6, 0xf1, 0xdc);
const QColor kNeighbour(0xdf, 0xdd, 0xd6);
const QColor kNeighbourEdge(0xc4, 0xc1, 0xb8);
const QColor kBorder(0xa8, 0x9c, 0x80);
const QColor kOutline(0x5c, 0x6a, 0x78);
const QColor kFrame(0x5c, 0x6a, 0x78);

}  // namespace


namespace prefmap_detail {

struct Piece {
    int code = 0;  // present municipality (a designated city as the city); 0 = unassigned land
    bool ward = false;  // a ward of a designated city (united into the city on vector maps)
    Rings geo;     // lon, lat; the outer ring first, then holes
    QRectF geoBox;
    int part = 0;  // index into parts; -1 = backdrop (drawn, no dots, no fit)
    Rings pic;     // twips, with the transform of its part (empty for backdrop)
};

// One area of the picture: the main area (index 0) or an inset, each with its
// own equirectangular projection (longitude scaled by the cosine of the
// area's middle latitude) fitted into its frame.
struct Part {
    QString name;
    QRectF frame;  // twips; the whole picture for the main area
    bool framed = false;
    double k = 1;        // cos(middle latitude)
    double scale = 1;    // twips per projected degree
    double x0 = 0;       // projected left edge (lon * k)
    double y0 = 0;       // top edge (latitude)
    double ox = 0, oy = 0;  // twips of (x0, y0)

    QPointF project(double lon, double lat) const {
        return {ox + scale * (lon * k - x0), oy + scale * (y0 - lat)};
    }
    QPointF unproject(QPointF t) const {
        return {((t.x() - ox) / scale + x0) / k, y0 - (t.y() - oy) / scale};
    }
};

}  // namespace prefmap_detail

using prefmap_detail::Part;
using prefmap_detail::Piece;

struct PrefMap::Impl {
    int pref = 0;
    QString fileName;              // the boundary file, for messages
    std::vector<Piece> pieces;     // in file order
    std::vector<Part> parts;       // 0 = main
    std::vector<Rings> neighbours; // other prefectures' land, lon/lat
    std::map<int, std::vector<std::size_t>> byCode;  // code -> pieces (not backdrop)
};

PrefMap::PrefMap(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
PrefMap::~PrefMap() = default;
int PrefMap::pref() const { return impl_->pref; }

// ---------------------------------------------------------------- geometry

bool insideRings(const Rings& rings, QPointF p) {
    bool inside = false;
    for (const QPolygonF& ring : rings) {
        const qsizetype n = ring.size();
        for (qsizetype i = 0, j = n - 1; i < n; j = i++) {
            const QPointF a = ring[i];
            const QPointF b = ring[j];
            if ((a.y() > p.y()) != (b.y() > p.y())) {
                const double x = a.x() + (p.y() - a.y()) * (b.x() - a.x()) / (b.y() - a.y());
                if (p.x() < x) inside = !inside;
            }
        }
    }
    return inside;
}

namespace {

double segmentDistance(QPointF p, QPointF a, QPointF b) {
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double len2 = dx * dx + dy * dy;
    double t = 0;
    if (len2 > 0) t = std::clamp(((p.x() - a.x()) * dx + (p.y() - a.y()) * dy) / len2, 0.0, 1.0);
    return std::hypot(a.x() + t * dx - p.x(), a.y() + t * dy - p.y());
}

}  // namespace

double distanceToRings(const Rings& rings, QPointF p) {
    double best = std::numeric_limits<double>::infinity();
    for (const QPolygonF& ring : rings) {
        const qsizetype n = ring.size();
        for (qsizetype i = 0, j = n - 1; i < n; j = i++)
            best = std::min(best, segmentDistance(p, ring[j], ring[i]));
    }
    return best;
}

namespace {

// Circles around p of growing radius, sampled every `step`, from the least
// radius at which a point `depth` inside can lie; the first sample that is
// inside and deep enough wins (angles counted from +x, so the result is
// deterministic).
std::optional<QPointF> searchAround(const Rings& rings, const QRectF& box, QPointF p, double depth) {
    const bool inside = insideRings(rings, p);
    const double edge = distanceToRings(rings, p);
    if (inside && edge >= depth) return p;
    const double step = std::max(0.5, depth / 4);
    const double r0 = inside ? std::max(step, depth - edge) : edge + depth;
    const double far = std::max({std::hypot(p.x() - box.left(), p.y() - box.top()),
                                 std::hypot(p.x() - box.right(), p.y() - box.top()),
                                 std::hypot(p.x() - box.left(), p.y() - box.bottom()),
                                 std::hypot(p.x() - box.right(), p.y() - box.bottom())});
    for (double r = r0; r <= far + step; r += step) {
        const int n = std::max(8, static_cast<int>(std::ceil(2 * std::numbers::pi * r / step)));
        for (int i = 0; i < n; ++i) {
            const double a = 2 * std::numbers::pi * i / n;
            const QPointF q(p.x() + r * std::cos(a), p.y() + r * std::sin(a));
            if (!box.contains(q)) continue;
            if (!insideRings(rings, q)) continue;
            if (depth > 0 && distanceToRings(rings, q) < depth) continue;
            return q;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<QPointF> nearestPointInside(const Rings& rings, QPointF p, double depth, double minDepth) {
    const QRectF box = boundsOf(rings);
    if (box.isEmpty()) return std::nullopt;
    for (double d = std::max(depth, minDepth);; d /= 2) {
        if (d < minDepth) d = minDepth;
        if (d < 0.5) d = 0;
        if (auto q = searchAround(rings, box, p, d)) return q;
        if (d <= minDepth) return std::nullopt;
    }
}

// ---------------------------------------------------------------- loading

namespace {

[[noreturn]] void fail(const QString& message) {
    throw tabinowa::FileError(message.toStdString());
}

int partOf(int pref, int code, const QRectF& geoBox) {
    const QPointF c = geoBox.center();
    if (isNorthernTerritory(code)) return -1;
    int inset = 0;
    for (const InsetRule& r : insetRules()) {
        if (r.pref != pref) continue;
        ++inset;
        if (r.area.contains(c.x(), c.y())) return inset;
    }
    for (const BackdropRule& r : backdropRules())
        if (r.pref == pref && r.area.contains(c.x(), c.y())) return -1;
    return 0;
}

// Fits the projected extent of `geo` (a lon/lat box) into `box` with the
// given alignment; returns the part with its transform set.
void fitPart(Part& part, const QRectF& geo, const QRectF& box, Qt::Alignment align,
             double maxScale = std::numeric_limits<double>::infinity()) {
    part.k = std::cos(geo.center().y() * std::numbers::pi / 180.0);
    const double w = std::max(geo.width() * part.k, 1e-6);
    const double h = std::max(geo.height(), 1e-6);
    part.scale = std::min({box.width() / w, box.height() / h, maxScale});
    part.x0 = geo.left() * part.k;
    part.y0 = geo.bottom();  // QRectF with y = latitude: bottom() is the largest latitude
    const double cw = w * part.scale;
    const double ch = h * part.scale;
    double left = box.left() + (box.width() - cw) / 2;
    double top = box.top() + (box.height() - ch) / 2;
    if (align & Qt::AlignLeft) left = box.left();
    if (align & Qt::AlignRight) left = box.right() - cw;
    if (align & Qt::AlignTop) top = box.top();
    if (align & Qt::AlignBottom) top = box.bottom() - ch;
    part.ox = left;
    part.oy = top;
}

QRectF geoBoxOf(const std::vector<Piece>& pieces, int part) {
    QRectF box;
    for (const Piece& p : pieces)
        if (p.part == part) box = box.isNull() ? p.geoBox : box.united(p.geoBox);
    return box;
}

void layOut(PrefMap::Impl& m) {
    const QRectF inner(kMargin, kMargin, kPicW - 2 * kMargin, kPicH - 2 * kMargin);

    Part main;
    main.name = QStringLiteral("本図");
    main.frame = QRectF(0, 0, kPicW, kPicH);
    QRectF mainBox = inner;
    Qt::Alignment mainAlign = Qt::AlignCenter;
    for (const MainAreaRule& r : mainAreaRules()) {
        if (r.pref != m.pref) continue;
        mainBox = QRectF(inner.left() + r.x0 * inner.width(), inner.top() + r.y0 * inner.height(),
                         (r.x1 - r.x0) * inner.width(), (r.y1 - r.y0) * inner.height());
        mainAlign = r.align;
    }
    const QRectF mainGeo = geoBoxOf(m.pieces, 0);
    if (mainGeo.isNull()) fail(QStringLiteral("ファイル「%1」に本図の区域がありません。").arg(m.fileName));
    fitPart(main, mainGeo, mainBox, mainAlign);
    m.parts.push_back(main);

    int index = 0;
    for (const InsetRule& r : insetRules()) {
        if (r.pref != m.pref) continue;
        ++index;
        Part inset;
        inset.name = QString::fromUtf8(r.name);
        inset.framed = true;
        const QRectF geo = geoBoxOf(m.pieces, index);
        if (geo.isNull())
            fail(QStringLiteral("ファイル「%1」に挿入図「%2」の島がありません。").arg(m.fileName, inset.name));
        const QRectF box(inner.left() + r.x0 * inner.width(), inner.top() + r.y0 * inner.height(),
                         (r.x1 - r.x0) * inner.width(), (r.y1 - r.y0) * inner.height());
        fitPart(inset, geo, box.adjusted(kInsetPad, kInsetPad, -kInsetPad, -kInsetPad), r.align,
                main.scale * kMaxInsetZoom);
        const double fw = (geo.width() * inset.k) * inset.scale + 2 * kInsetPad;
        const double fh = geo.height() * inset.scale + 2 * kInsetPad;
        const double fx = inset.ox - kInsetPad;
        const double fy = inset.oy - kInsetPad;
        inset.frame = QRectF(fx, fy, fw, fh);
        m.parts.push_back(inset);
    }

    for (std::size_t i = 0; i < m.pieces.size(); ++i) {
        Piece& p = m.pieces[i];
        if (p.part < 0) continue;
        const Part& part = m.parts[static_cast<std::size_t>(p.part)];
        for (const QPolygonF& ring : p.geo) {
            QPolygonF t;
            t.reserve(ring.size());
            for (const QPointF& q : ring) t << part.project(q.x(), q.y());
            p.pic.push_back(t);
        }
        if (p.code != 0) m.byCode[p.code].push_back(i);
    }
}

}  // namespace

std::unique_ptr<PrefMap> loadPrefMap(const QString& rawDir, int pref) {
    if (pref < 1 || pref > 47) fail(QStringLiteral("都道府県番号%1は1から47の範囲にありません。").arg(pref));
    auto m = std::make_unique<PrefMap::Impl>();
    m->pref = pref;
    m->fileName = municipalityBoundaryFile(rawDir, pref);

    QString prefName;
    for (MunicipalityPiece& piece : readMunicipalityPieces(rawDir, pref, &prefName)) {
        Piece p;
        p.code = piece.code;
        p.ward = piece.wardCode != piece.code;
        p.geo = std::move(piece.rings);
        // QRectF with x = longitude, y = latitude (north = larger y).
        p.geoBox = boundsOf(p.geo);
        p.part = partOf(pref, p.code, p.geoBox);
        m->pieces.push_back(std::move(p));
    }
    if (m->pieces.empty()) fail(QStringLiteral("ファイル「%1」に区域がありません。").arg(m->fileName));

    layOut(*m);

    // Neighbouring prefectures, as grey land under our own.
    QRectF visible;
    for (const Part& part : m->parts) {
        const QPointF a = part.unproject(part.frame.topLeft());
        const QPointF b = part.unproject(part.frame.bottomRight());
        const QRectF g = QRectF(a, b).normalized();
        visible = visible.isNull() ? g : visible.united(g);
    }
    for (PrefecturePiece& piece : readPrefecturePieces(rawDir)) {
        if (piece.name == prefName) continue;
        if (boundsOf(piece.rings).intersects(visible)) m->neighbours.push_back(std::move(piece.rings));
    }
    return std::make_unique<PrefMap>(std::move(m));
}

// ---------------------------------------------------------------- dots

bool hasMunicipality(const PrefMap& map, int presentCode) {
    return map.impl().byCode.count(presentCode) != 0;
}

std::vector<int> municipalityCodes(const PrefMap& map) {
    std::vector<int> codes;
    for (const auto& [code, pieces] : map.impl().byCode) codes.push_back(code);
    return codes;
}

bool insideMunicipality(const PrefMap& map, int presentCode, QPointF twips) {
    const auto& m = map.impl();
    const auto it = m.byCode.find(presentCode);
    if (it == m.byCode.end()) return false;
    // Each piece on its own: pieces of different parts never overlap in meaning.
    for (std::size_t i : it->second)
        if (insideRings(m.pieces[i].pic, twips)) return true;
    return false;
}

namespace {

// Distance in km from (lon, lat) to a piece, 0 inside it.
double geoDistanceKm(const Piece& piece, double lon, double lat) {
    const QPointF p(lon, lat);
    if (insideRings(piece.geo, p)) return 0;
    const double kx = std::cos(lat * std::numbers::pi / 180.0) * kKmPerDegLon;
    Rings km;
    for (const QPolygonF& ring : piece.geo) {
        QPolygonF r;
        for (const QPointF& q : ring) r << QPointF((q.x() - lon) * kx, (q.y() - lat) * kKmPerDegLat);
        km.push_back(r);
    }
    return distanceToRings(km, QPointF(0, 0));
}

// The piece of the municipality nearest to the point, and its distance.
std::pair<std::size_t, double> nearestPiece(const PrefMap::Impl& m, const std::vector<std::size_t>& pieces,
                                            double lon, double lat) {
    std::size_t best = pieces.front();
    double bestKm = std::numeric_limits<double>::infinity();
    for (std::size_t i : pieces) {
        const double d = geoDistanceKm(m.pieces[i], lon, lat);
        if (d < bestKm) {
            best = i;
            bestKm = d;
        }
    }
    return {best, bestKm};
}

bool insidePicture(QPointF t) {
    // A circle of radius 10 twips around the dot stays on the picture.
    return t.x() >= 10 && t.y() >= 10 && t.x() <= kPicW - 11 && t.y() <= kPicH - 11;
}

}  // namespace

DotPlacement placeDot(const PrefMap& map, int presentCode, double lon, double lat) {
    const auto& m = map.impl();
    const auto it = m.byCode.find(presentCode);
    if (it == m.byCode.end())
        fail(QStringLiteral("ファイル「%1」に市町村コード%2の区域がありません。").arg(m.fileName).arg(presentCode));

    DotPlacement out;
    const double givenLon = lon;
    const double givenLat = lat;
    auto [piece, km] = nearestPiece(m, it->second, lon, lat);
    if (km > kHandDotMinOffsetKm) {
        for (const HandDot& h : handDots()) {
            if (h.presentCode != presentCode) continue;
            lon = h.lon;
            lat = h.lat;
            out.how = DotPlacement::How::HandPlaced;
            std::tie(piece, km) = nearestPiece(m, it->second, lon, lat);
            break;
        }
    }
    // The nearest island first, as deep inside as it allows; only when it is
    // too small to hold a dot clearly, any polygon of the municipality in the
    // same part of the picture.
    const int partIndex = m.pieces[piece].part;
    const Part& part = m.parts[static_cast<std::size_t>(partIndex)];
    const Rings& own = m.pieces[piece].pic;
    Rings rings;  // the municipality's polygons in that part
    for (std::size_t i : it->second)
        if (m.pieces[i].part == partIndex)
            rings.insert(rings.end(), m.pieces[i].pic.begin(), m.pieces[i].pic.end());

    const QPointF projected = part.project(lon, lat);
    QPointF dot = projected;
    if (!insideRings(own, dot) || distanceToRings(own, dot) < kDotMinDepth) {
        auto moved = nearestPointInside(own, projected, kDotDepth, kDotMinDepth);
        if (!moved) moved = nearestPointInside(rings, projected, kDotDepth);
        if (!moved)
            fail(QStringLiteral("ファイル「%1」の市町村コード%2の区域に点を置けません。").arg(m.fileName).arg(presentCode));
        dot = *moved;
        if (out.how == DotPlacement::How::Projected) out.how = DotPlacement::How::Moved;
    }
    // Whole twips, as the master stores them; on a shape too thin for that,
    // the nearest whole-twip point inside.
    QPointF whole(std::round(dot.x()), std::round(dot.y()));
    if (!insideRings(rings, whole)) {
        bool found = false;
        for (int r = 1; r <= 3 && !found; ++r)
            for (int dy = -r; dy <= r && !found; ++dy)
                for (int dx = -r; dx <= r && !found; ++dx) {
                    const QPointF q(whole.x() + dx, whole.y() + dy);
                    if (insideRings(rings, q)) {
                        whole = q;
                        found = true;
                    }
                }
        if (!found)
            fail(QStringLiteral("ファイル「%1」の市町村コード%2の区域に点を置けません。").arg(m.fileName).arg(presentCode));
    }
    if (!insidePicture(whole))
        fail(QStringLiteral("ファイル「%1」の市町村コード%2の点が地図の外に出ます。").arg(m.fileName).arg(presentCode));
    out.twips = whole;
    const QPointF given = part.project(givenLon, givenLat);
    out.movedTwips = std::hypot(whole.x() - given.x(), whole.y() - given.y());
    return out;
}

QPointF dotTwips(const PrefMap& map, int presentCode, double lon, double lat) {
    return placeDot(map, presentCode, lon, lat).twips;
}

// ---------------------------------------------------------------- checks

QStringList layoutProblems(const PrefMap& map) {
    const auto& m = map.impl();
    QStringList problems;
    const QRectF inner(kMargin / 2, kMargin / 2, kPicW - kMargin, kPicH - kMargin);
    for (std::size_t pi = 1; pi < m.parts.size(); ++pi) {
        const Part& inset = m.parts[pi];
        const QRectF keepOut = inset.frame.adjusted(-kInsetGap, -kInsetGap, kInsetGap, kInsetGap);
        bool under = false;
        for (const Piece& p : m.pieces) {
            if (p.part != 0 || under) continue;
            for (const QPolygonF& ring : p.pic) {
                for (const QPointF& q : ring)
                    if (keepOut.contains(q)) under = true;
                if (!under && insideRings({ring}, keepOut.center())) under = true;
            }
        }
        if (under) problems << QStringLiteral("本図の陸地が挿入図「%1」の枠にかかっています").arg(inset.name);
        for (std::size_t pj = pi + 1; pj < m.parts.size(); ++pj)
            if (inset.frame.intersects(m.parts[pj].frame))
                problems << QStringLiteral("挿入図「%1」と「%2」が重なっています").arg(inset.name, m.parts[pj].name);
        if (!inner.contains(inset.frame))
            problems << QStringLiteral("挿入図「%1」が地図の外にはみ出しています").arg(inset.name);
    }
    for (const Piece& p : m.pieces)
        for (const QPolygonF& ring : p.pic)
            if (!inner.contains(ring.boundingRect())) {
                problems << QStringLiteral("市町村コード%1の陸地が地図の余白にはみ出しています").arg(p.code);
                break;
            }
    return problems;
}

QString layoutSummary(const PrefMap& map) {
    const auto& m = map.impl();
    QStringList parts;
    for (const Part& p : m.parts) {
        const double kmPerPixel = kTwipsPerPixel / p.scale * kKmPerDegLat;
        QString s = p.framed ? QStringLiteral("挿入図「%1」 枠(%2,%3 %4x%5)")
                                   .arg(p.name)
                                   .arg(qRound(p.frame.x()))
                                   .arg(qRound(p.frame.y()))
                                   .arg(qRound(p.frame.width()))
                                   .arg(qRound(p.frame.height()))
                             : p.name;
        parts << s + QStringLiteral(" %1 km/px").arg(kmPerPixel, 0, 'f', 2);
    }
    return parts.join(QStringLiteral("、"));
}

// ---------------------------------------------------------------- drawing

namespace {

QPainterPath pathOf(const Rings& rings, const Part& part) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (const QPolygonF& ring : rings) {
        QPolygonF t;
        t.reserve(ring.size());
        for (const QPointF& q : ring) t << part.project(q.x(), q.y());
        path.addPolygon(t);
        path.closeSubpath();
    }
    return path;
}

void drawPart(QPainter& painter, const PrefMap::Impl& m, const Part& part) {
    painter.save();
    painter.setClipRect(part.frame);
    painter.fillRect(part.frame, kSea);

    // Neighbouring prefectures.
    painter.setPen(QPen(kNeighbourEdge, 1.0 * kTwipsPerPixel));
    painter.setBrush(kNeighbour);
    for (const Rings& rings : m.neighbours) painter.drawPath(pathOf(rings, part));

    // This prefecture: a wide dark stroke under the land shows as the outline
    // (coast and prefecture border) once the land is filled over it; the thin
    // municipality borders go on top. The wards of a designated city are
    // united first, so that only the city's own border shows.
    std::vector<QPainterPath> own;
    own.reserve(m.pieces.size());
    for (const Piece& p : m.pieces) own.push_back(pathOf(p.geo, part));
    std::vector<QPainterPath> areas;  // a municipality's pieces united; unassigned land alone
    std::map<int, std::size_t> areaOf;
    for (std::size_t i = 0; i < m.pieces.size(); ++i) {
        const int code = m.pieces[i].code;
        const auto it = code == 0 ? areaOf.end() : areaOf.find(code);
        if (it == areaOf.end()) {
            if (code != 0) areaOf[code] = areas.size();
            areas.push_back(own[i]);
        } else {
            areas[it->second] = areas[it->second].united(own[i]);
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kOutline, 2.2 * kTwipsPerPixel, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const QPainterPath& path : own) painter.drawPath(path);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kLand);
    for (const QPainterPath& path : areas) painter.drawPath(path);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kBorder, 0.8 * kTwipsPerPixel, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const QPainterPath& path : areas) painter.drawPath(path);
    painter.restore();

    if (part.framed) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(kFrame, 1.0 * kTwipsPerPixel, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.drawRect(part.frame.adjusted(7.5, 7.5, -7.5, -7.5));
    }
}

}  // namespace

QImage renderImage(const PrefMap& map) {
    const auto& m = map.impl();
    QImage image(kPixW, kPixH, QImage::Format_RGB32);
    image.fill(kSea);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.scale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel);
    for (const Part& part : m.parts) drawPart(painter, m, part);
    painter.end();
    return image;
}

void renderPicture(const PrefMap& map, const QString& jpgPath) {
    const QImage image = renderImage(map);
    // Encode in memory, then write through a temporary file and rename, so a
    // failed run never leaves half a picture.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kJpegQuality);
    writer.setOptimizedWrite(true);
    writer.setProgressiveScanWrite(false);
    if (!writer.write(image))
        fail(QStringLiteral("地図「%1」をJPEGにできません（%2）。").arg(jpgPath, writer.errorString()));
    const QString tmp = jpgPath + QStringLiteral(".tmp");
    QFile f(tmp);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush())
        fail(QStringLiteral("地図「%1」を書き込めません。").arg(tmp));
    f.close();
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(tmp.toStdU16String()),
                            std::filesystem::path(jpgPath.toStdU16String()), ec);
    if (ec) {
        QFile::remove(tmp);
        fail(QStringLiteral("地図「%1」を置き換えられません。").arg(jpgPath));
    }
}

// ---------------------------------------------------------------- vector maps

namespace {

void simplifyRange(const QPolygonF& ring, qsizetype first, qsizetype last, double tolerance, std::vector<bool>& keep) {
    if (last <= first + 1) return;
    double worst = -1;
    qsizetype at = first;
    for (qsizetype i = first + 1; i < last; ++i) {
        const double d = segmentDistance(ring[i], ring[first], ring[last]);
        if (d > worst) {
            worst = d;
            at = i;
        }
    }
    if (worst <= tolerance) return;
    keep[static_cast<std::size_t>(at)] = true;
    simplifyRange(ring, first, at, tolerance, keep);
    simplifyRange(ring, at, last, tolerance, keep);
}

tabinowa::MapRing toMapRing(const QPolygonF& ring) {
    tabinowa::MapRing out;
    out.reserve(static_cast<std::size_t>(ring.size()));
    for (const QPointF& q : ring) out.push_back({q.x(), q.y()});
    return out;
}

tabinowa::MapPart toMapPart(const Part& p) {
    tabinowa::MapPart m;
    m.k = p.k;
    m.scale = p.scale;
    m.x0 = p.x0;
    m.y0 = p.y0;
    m.ox = p.ox;
    m.oy = p.oy;
    m.frame = {p.frame.left(), p.frame.top(), p.frame.right(), p.frame.bottom()};
    m.framed = p.framed;
    return m;
}

// Rings of a path (after a union or a clip), each simplified; rings that
// shrink below three points are dropped.
void addRings(tabinowa::MapShape& shape, const Rings& rings, int part, double tolerance) {
    for (const QPolygonF& ring : rings) {
        QPolygonF r = simplifyRing(ring, tolerance);
        if (r.size() < 3) continue;
        shape.rings.push_back(toMapRing(r));
        shape.ringParts.push_back(part);
    }
}

Rings ringsOfPath(const QPainterPath& path) {
    Rings out;
    for (QPolygonF ring : path.toSubpathPolygons()) {
        if (ring.size() > 1 && ring.first() == ring.last()) ring.removeLast();
        if (ring.size() >= 3) out.push_back(ring);
    }
    return out;
}

QPainterPath pathOfRings(const Rings& rings) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (const QPolygonF& ring : rings) {
        path.addPolygon(ring);
        path.closeSubpath();
    }
    return path;
}

}  // namespace

QPolygonF simplifyRing(const QPolygonF& ring, double tolerance) {
    const qsizetype n = ring.size();
    if (n <= 3 || tolerance <= 0) return ring;
    // Split at the point farthest from the first, so a closed ring keeps both halves.
    qsizetype far = 0;
    double farDist = -1;
    for (qsizetype i = 1; i < n; ++i) {
        const double d = std::hypot(ring[i].x() - ring[0].x(), ring[i].y() - ring[0].y());
        if (d > farDist) {
            farDist = d;
            far = i;
        }
    }
    QPolygonF closed = ring;
    closed << ring[0];
    std::vector<bool> keep(static_cast<std::size_t>(n + 1), false);
    keep[0] = keep[static_cast<std::size_t>(far)] = keep[static_cast<std::size_t>(n)] = true;
    simplifyRange(closed, 0, far, tolerance, keep);
    simplifyRange(closed, far, n, tolerance, keep);
    QPolygonF out;
    for (qsizetype i = 0; i < n; ++i)
        if (keep[static_cast<std::size_t>(i)]) out << ring[i];
    return out;
}

tabinowa::MapArea vectorArea(const PrefMap& map, double tolerance) {
    const auto& m = map.impl();
    tabinowa::MapArea area;
    area.id = m.pref;
    area.width = static_cast<int>(kPicW);
    area.height = static_cast<int>(kPicH);
    for (const Part& p : m.parts) area.parts.push_back(toMapPart(p));

    // Neighbouring land of the main area, clipped to a margin around the map.
    const Part& main = m.parts.front();
    const QRectF clip(-kPicW / 4, -kPicH / 4, kPicW * 1.5, kPicH * 1.5);
    QPainterPath clipPath;
    clipPath.addRect(clip);
    for (const Rings& rings : m.neighbours) {
        Rings pic;
        QRectF box;
        for (const QPolygonF& ring : rings) {
            QPolygonF t;
            t.reserve(ring.size());
            for (const QPointF& q : ring) t << main.project(q.x(), q.y());
            box = box.isNull() ? t.boundingRect() : box.united(t.boundingRect());
            pic.push_back(t);
        }
        if (!box.intersects(clip)) continue;
        tabinowa::MapShape shape;
        shape.kind = tabinowa::MapShape::Kind::Neighbour;
        addRings(shape, clip.contains(box) ? pic : ringsOfPath(pathOfRings(pic).intersected(clipPath)), 0,
                 tolerance * 4);
        if (shape.rings.empty()) continue;
        shape.finish();
        area.shapes.push_back(std::move(shape));
    }

    // Unassigned land, then each municipality with all its pieces (the
    // wards of a designated city united into the city, part by part).
    for (const Piece& p : m.pieces) {
        if (p.code != 0 || p.part < 0) continue;
        tabinowa::MapShape shape;
        shape.kind = tabinowa::MapShape::Kind::Unassigned;
        addRings(shape, p.pic, p.part, tolerance);
        if (shape.rings.empty()) continue;
        shape.finish();
        area.shapes.push_back(std::move(shape));
    }
    for (const auto& [code, indices] : m.byCode) {
        tabinowa::MapShape shape;
        shape.code = code;
        std::map<int, QPainterPath> wards;  // part -> the wards united
        for (std::size_t i : indices) {
            const Piece& p = m.pieces[i];
            if (p.ward) {
                QPainterPath& united = wards[p.part];
                united = united.isEmpty() ? pathOfRings(p.pic) : united.united(pathOfRings(p.pic));
            } else {
                addRings(shape, p.pic, p.part, tolerance);
            }
        }
        for (const auto& [part, path] : wards) addRings(shape, ringsOfPath(path.simplified()), part, tolerance);
        if (shape.rings.empty()) fail(QStringLiteral("ファイル「%1」の市町村コード%2の輪郭が消えました。").arg(m.fileName).arg(code));
        shape.finish();
        area.shapes.push_back(std::move(shape));
    }
    return area;
}

tabinowa::MapArea japanArea(const QString& rawDir, double tolerance) {
    static const QStringList kOkinawa = {QStringLiteral("沖縄県")};
    const QRectF inner(kMargin, kMargin, kPicW - 2 * kMargin, kPicH - 2 * kMargin);
    struct Item {
        int pref;
        Rings geo;
        int part;  // 0 main, 1 沖縄県's inset, -1 left out (far islands)
    };
    std::vector<Item> items;
    std::vector<QString> names;  // prefecture number - 1 -> name, in file order
    for (PrefecturePiece& piece : readPrefecturePieces(rawDir)) {
        auto it = std::find(names.begin(), names.end(), piece.name);
        if (it == names.end()) {
            names.push_back(piece.name);
            it = names.end() - 1;
        }
        const int pref = static_cast<int>(it - names.begin()) + 1;
        const QPointF c = boundsOf(piece.rings).center();
        int part = 0;
        if (kOkinawa.contains(piece.name)) part = 1;
        else if (c.y() < 25 || (c.x() > 141 && c.y() < 32)) part = -1;  // 小笠原, 沖ノ鳥島, 南鳥島
        items.push_back({pref, std::move(piece.rings), part});
    }
    if (names.size() != 47)
        fail(QStringLiteral("prefectures.jsonの都道府県の数が%1です（47のはずです）。").arg(names.size()));

    auto geoBoxOfPart = [&](int part) {
        QRectF box;
        for (const Item& i : items)
            if (i.part == part) box = box.isNull() ? boundsOf(i.geo) : box.united(boundsOf(i.geo));
        return box;
    };
    Part main;
    main.frame = QRectF(0, 0, kPicW, kPicH);
    fitPart(main, geoBoxOfPart(0), inner, Qt::AlignRight | Qt::AlignBottom);
    Part inset;
    inset.framed = true;
    const QRectF box(inner.left(), inner.top(), inner.width() * 0.42, inner.height() * 0.28);
    fitPart(inset, geoBoxOfPart(1), box.adjusted(kInsetPad, kInsetPad, -kInsetPad, -kInsetPad), Qt::AlignLeft | Qt::AlignTop,
            main.scale * kMaxInsetZoom);
    const QRectF geo = geoBoxOfPart(1);
    inset.frame = QRectF(inset.ox - kInsetPad, inset.oy - kInsetPad, geo.width() * inset.k * inset.scale + 2 * kInsetPad,
                         geo.height() * inset.scale + 2 * kInsetPad);
    const Part parts[2] = {main, inset};

    tabinowa::MapArea area;
    area.id = tabinowa::kJapanArea;
    area.width = static_cast<int>(kPicW);
    area.height = static_cast<int>(kPicH);
    area.parts = {toMapPart(main), toMapPart(inset)};
    for (int pref = 1; pref <= 47; ++pref) {
        tabinowa::MapShape shape;
        shape.code = pref;
        for (const Item& i : items) {
            if (i.pref != pref || i.part < 0) continue;
            Rings pic;
            for (const QPolygonF& ring : i.geo) {
                QPolygonF t;
                for (const QPointF& q : ring) t << parts[i.part].project(q.x(), q.y());
                pic.push_back(t);
            }
            addRings(shape, pic, i.part, tolerance);
        }
        if (shape.rings.empty()) fail(QStringLiteral("都道府県%1の輪郭がありません。").arg(pref));
        shape.finish();
        area.shapes.push_back(std::move(shape));
    }
    return area;
}

}  // namespace makedata
