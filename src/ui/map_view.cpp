// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/map_view.h"

#include "core/map/progress_scale.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "ui/internal.h"

namespace tabinowa::ui {

namespace {

using detail::Access;
using detail::Kind;

const QColor kSea(0xcd, 0xe5, 0xf2);
const QColor kLand(0xf6, 0xf1, 0xdc);
const QColor kNeighbour(0xdf, 0xdd, 0xd6);
const QColor kNeighbourEdge(0xc4, 0xc1, 0xb8);
const QColor kBorder(0xa8, 0x9c, 0x80);
const QColor kFrame(0x5c, 0x6a, 0x78);
const QColor kHover(0x1f, 0x3a, 0x93);
const QColor kCursor(0xd0, 0x40, 0x00);
const QColor kTipBack(0xff, 0xff, 0xe1);

constexpr double kDotRadius = 4;          // pixels at 100 %, whatever the zoom
constexpr double kHoverReach = 8;         // pixels at 100 %: the pointer outlines a place this near
constexpr double kDragStart = 4;          // pixels moved before a press becomes a drag
constexpr double kZoomSteps[] = {1, 1.5, 2, 3, 4, 6, 8};
constexpr double kLodZooms[] = {1, 2, 4, 8};  // outlines thinned for these zooms
constexpr int kLods = 4;
constexpr double kLodPixels = 0.4;        // points this near the line of their neighbours on screen go
constexpr int kBlinkTicks = 7;            // fill on, off, … ending on
constexpr int kBlinkMs = 280;

class MapCanvas : public QWidget {
public:
    std::weak_ptr<detail::FormCore> core;
    std::shared_ptr<const MapArea> area;
    std::vector<std::array<QPainterPath, kLods>> paths;  // built on first use
    std::vector<std::array<QPainterPath, kLods>> borderPaths;  // each shared border once
    std::vector<std::vector<MapLine>> own;  // ownBorders() of the area, made on first use
    bool bordersKnown = false;
    std::vector<std::array<bool, kLods>> built;
    std::map<int, QColor> fills;
    int blinkShape = -1;
    QColor blinkColor;
    int blinkTick = 0;
    QTimer blinkTimer;
    std::vector<MapView::Dot> dots;
    std::vector<MapView::Mark> marks;
    struct PlacedLabel {
        int shape;
        QString text;
        MapPoint at;
    };
    std::vector<PlacedLabel> labels;
    std::vector<MapView::LegendEntry> legend;
    std::vector<QRectF> markBoxes;  // pixels, after the last layout
    std::function<std::string(int, MapPoint)> namer;
    std::string tip;
    QPointF pointer{-1, -1};
    int hover = -1;
    bool keyboard = false;  // the cursor shows once a key was used
    // The cursor is the keyboard's: drawn while the map has the keyboard, and
    // hidden (kept where it was) while Tab has taken the keyboard elsewhere.
    bool cursorShown() const { return keyboard && hasFocus(); }
    double zoom = 1;
    MapPoint centre;
    // Arrows step the cursor from place to place (else they pan the view and
    // the cursor is the view's centre); the view follows the cursor.
    bool placeKeys = false;
    std::optional<MapPoint> cursor;
    std::vector<std::optional<MapPoint>> places;  // each shape's point, made when first needed
    bool placesKnown = false;
    std::optional<QPointF> pressAt;
    bool dragging = false;
    QImage frame;  // paintFrame()'s
    std::vector<const QPainterPath*> drawn;  // the land outlines of the frame being painted
    std::shared_ptr<std::function<void(MapPoint)>> onClick = std::make_shared<std::function<void(MapPoint)>>();
    std::shared_ptr<std::function<void()>> onView = std::make_shared<std::function<void()>>();
    std::shared_ptr<std::function<void(MapPoint)>> onPointer = std::make_shared<std::function<void(MapPoint)>>();
    std::shared_ptr<std::function<void()>> onLeave = std::make_shared<std::function<void()>>();
    std::shared_ptr<std::function<bool()>> needArea = std::make_shared<std::function<bool()>>();
    QPointer<QWidget> picture;  // the picture box's canvas whose picture shows at zoom 1
    QImage scaledPicture;       // that picture at the display scale, made when it changes
    qint64 scaledKey = 0;
    // One dot of each colour drawn smooth once, then copied to every place:
    // a smooth circle with a rim costs some microseconds each, 北海道 has 212.
    std::map<QRgb, QImage> dotSprites;
    double spriteScale = 0;

    MapCanvas() {
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        blinkTimer.setInterval(kBlinkMs);
        QObject::connect(&blinkTimer, &QTimer::timeout, this, [this]() {
            if (++blinkTick >= kBlinkTicks) {
                blinkTimer.stop();
                fills[blinkShape] = blinkColor;
                blinkShape = -1;
            }
            update();
        });
    }

    // The window's display scale: dots, reaches and tips grow with it.
    double ui() const {
        const auto c = core.lock();
        return c ? c->scale : 1.0;
    }
    double dotRadius() const { return kDotRadius * ui(); }
    bool showsPicture() const { return picture && zoom <= 1 + 1e-9; }
    // A dot in `colour` with its light rim, centred in an image of even size.
    const QImage& dotSprite(const QColor& colour) {
        if (spriteScale != ui()) {
            dotSprites.clear();
            spriteScale = ui();
        }
        QImage& dot = dotSprites[colour.rgba()];
        if (dot.isNull()) {
            const double r = dotRadius(), rim = 1.2 * ui();
            const int size = 2 * static_cast<int>(std::ceil(r + rim)) + 2;
            dot = QImage(size, size, QImage::Format_ARGB32_Premultiplied);
            dot.fill(Qt::transparent);
            QPainter p(&dot);
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setPen(QPen(QColor(255, 255, 255), rim));
            p.setBrush(colour);
            p.drawEllipse(QPointF(size / 2.0, size / 2.0), r, r);
        }
        return dot;
    }
    // The outlines, asked for when there are none yet; false when there are none.
    bool haveArea() {
        if (area) return true;
        const auto c = core.lock();
        const auto load = needArea;
        if (c && *load) detail::runGuarded(c, [load] { (*load)(); });
        return area != nullptr;
    }
    // The picture box as it shows itself: its picture (top left, grown with
    // the display scale) on its back colour, with the circles and numbers
    // drawn on it, as the windows' designs draw them at 1x.
    void paintPicture(QPainter& p) {
        const detail::PictureBackdrop b = detail::backdropOf(picture.data());
        p.fillRect(rect(), b.back.isValid() ? b.back : QColor(Qt::white));
        // The box's drawing from its top left: at a display scale other than
        // 1 the box and the view may differ by a pixel in rounding, and the
        // numbers printed on the box must still show.
        if (!b.drawn.isNull()) {
            p.drawImage(0, 0, b.drawn);
            return;
        }
        if (b.picture.isNull()) return;
        const double k = ui();
        if (k == 1.0) {
            p.drawImage(0, 0, b.picture);
            return;
        }
        if (scaledKey != b.picture.cacheKey() || scaledPicture.isNull()) {
            scaledPicture = b.picture.scaled(QSize(static_cast<int>(std::lround(b.picture.width() * k)),
                                                   static_cast<int>(std::lround(b.picture.height() * k))),
                                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            scaledKey = b.picture.cacheKey();
        }
        p.drawImage(0, 0, scaledPicture);
    }
    double mapWidth() const { return area ? area->width : 7575; }
    double mapHeight() const { return area ? area->height : 7545; }
    // Pixels a twip at zoom 1: the whole map fits the box.
    double basePx() const {
        return std::min(width() / mapWidth(), height() / mapHeight());
    }
    double px() const { return basePx() * zoom; }
    MapPoint toMap(QPointF p) const {
        return {centre.x + (p.x() - width() / 2.0) / px(), centre.y + (p.y() - height() / 2.0) / px()};
    }
    QPointF toView(MapPoint t) const {
        return {(t.x - centre.x) * px() + width() / 2.0, (t.y - centre.y) * px() + height() / 2.0};
    }
    MapBox visible() const {
        const MapPoint a = toMap(QPointF(0, 0)), b = toMap(QPointF(width(), height()));
        return {a.x, a.y, b.x, b.y};
    }
    void clampCentre() {
        const double halfW = width() / 2.0 / px(), halfH = height() / 2.0 / px();
        const auto clampAxis = [](double c, double half, double size) {
            return 2 * half >= size ? size / 2 : std::clamp(c, half, size - half);
        };
        centre.x = clampAxis(centre.x, halfW, mapWidth());
        centre.y = clampAxis(centre.y, halfH, mapHeight());
    }
    void viewChanged() {
        clampCentre();
        refreshHover();
        update();
        notify(onView);
        // The pointer stands over another place of the map now: the window's
        // own pointer names follow at once, not at the next move.
        if (pointerInside() && (area || showsPicture())) notify(onPointer, toMap(pointer));
    }
    // The tip's box in pixels: right of and below the pointer, flipped left or
    // up where it would leave the view.
    QRectF tipRect() const {
        if (tip.empty()) return {};
        QFontMetricsF fm(font());
        const double gap = 14 * ui();
        QRectF box(pointer.x() + gap, pointer.y() + gap, fm.horizontalAdvance(detail::toQ(tip)) + 10 * ui(),
                   fm.height() + 6 * ui());
        if (box.right() > width() - 2) box.moveRight(pointer.x() - 6 * ui());
        if (box.bottom() > height() - 2) box.moveBottom(pointer.y() - 6 * ui());
        return box;
    }
    bool pointerInside() const { return pointer.x() >= 0 && rect().contains(pointer.toPoint()); }
    void setZoom(double z, std::optional<MapPoint> keep) {
        z = std::clamp(z, 1.0, MapView::kMaxZoom);
        const MapPoint k = keep.value_or(centre);
        const QPointF at = toView(k);
        zoom = z;
        // The kept point stays under the same pixel.
        centre = {k.x - (at.x() - width() / 2.0) / px(), k.y - (at.y() - height() / 2.0) / px()};
        viewChanged();
    }
    void step(int dir, std::optional<MapPoint> keep) {
        if (!haveArea()) return;
        double next = zoom;
        if (dir > 0) {
            for (double s : kZoomSteps)
                if (s > zoom + 1e-9) {
                    next = s;
                    break;
                }
        } else {
            for (double s : kZoomSteps)
                if (s < zoom - 1e-9) next = s;
        }
        setZoom(next, keep);
    }
    void reset() {
        zoom = 1;
        centre = {mapWidth() / 2, mapHeight() / 2};
        viewChanged();
    }
    int lodFor() const {
        int lod = 0;
        for (int i = 0; i < kLods; ++i)
            if (zoom + 1e-9 >= kLodZooms[i]) lod = i;
        return lod;
    }
    // Pixels a twip in the outlines of level `lod`.
    double lodUnit(int lod) const { return basePx() * kLodZooms[lod]; }
    // The outline of a shape at a level, in that level's pixels, thinned to
    // what shows on screen. Made on first use and kept until the map or the
    // view's size changes.
    const QPainterPath& pathOf(std::size_t shape, int lod) {
        if (!built[shape][lod]) {
            const double unit = lodUnit(lod);
            const double tolerance = kLodPixels / unit;
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            QPolygonF poly;
            for (const MapRing& ring : area->shapes[shape].rings) {
                poly.clear();
                for (const MapPoint& q : simplifyRing(ring, tolerance)) poly << QPointF(q.x * unit, q.y * unit);
                path.addPolygon(poly);
                path.closeSubpath();
            }
            paths[shape][lod] = path;
            // The borders this shape draws: the edges no earlier shape has.
            if (!bordersKnown) {
                own = ownBorders(*area);
                bordersKnown = true;
            }
            QPainterPath lines;
            for (const MapLine& run : own[shape]) {
                poly.clear();
                for (const MapPoint& q : simplifyLine(run, tolerance)) poly << QPointF(q.x * unit, q.y * unit);
                lines.addPolygon(poly);
            }
            borderPaths[shape][lod] = lines;
            built[shape][lod] = true;
        }
        return paths[shape][lod];
    }
    const QPainterPath& bordersOf(std::size_t shape, int lod) {
        pathOf(shape, lod);
        return borderPaths[shape][lod];
    }
    // From a level's pixels to the view's: a plain shift when the zoom is the
    // level's own (the raster engine's fastest case).
    QTransform lodTransform(int lod) const {
        QTransform t = QTransform::fromTranslate(width() / 2.0 - centre.x * px(), height() / 2.0 - centre.y * px());
        const double s = px() / lodUnit(lod);
        if (s != 1) t = QTransform::fromScale(s, s) * t;
        return t;
    }
    void setArea(std::shared_ptr<const MapArea> a) {
        area = std::move(a);
        paths.assign(area ? area->shapes.size() : 0, {});
        borderPaths.assign(area ? area->shapes.size() : 0, {});
        own.clear();
        bordersKnown = false;
        built.assign(area ? area->shapes.size() : 0, {});
        places.clear();
        placesKnown = false;
        cursor.reset();
        legend.clear();
        fills.clear();
        dots.clear();
        marks.clear();
        labels.clear();
        blinkTimer.stop();
        blinkShape = -1;
        hover = -1;
        tip.clear();
        reset();
    }
    void refreshHover() {
        const int before = hover;
        const std::string beforeTip = tip;
        hover = -1;
        tip.clear();
        if ((area || showsPicture()) && pointerInside()) {
            const MapPoint p = toMap(pointer);
            if (area) hover = hitShape(*area, p, kHoverReach * ui() / px());
            if (namer) tip = namer(hover, p);
        }
        if (hover != before || tip != beforeTip) update();
    }
    MapPoint cursorPoint() const { return placeKeys && cursor ? *cursor : centre; }
    int highlighted() const {
        if (!area) return -1;
        return hitShape(*area, cursorPoint(), kHoverReach * ui() / px());
    }
    const std::vector<std::optional<MapPoint>>& placePointsOf() {
        if (!placesKnown && area) {
            places = placePoints(*area);
            placesKnown = true;
        }
        return places;
    }
    // The cursor onto a place; the view, when zoomed in, keeps it well inside.
    void cursorTo(int shape) {
        if (shape < 0 || shape >= static_cast<int>(placePointsOf().size()) || !places[static_cast<std::size_t>(shape)]) return;
        cursor = *places[static_cast<std::size_t>(shape)];
        const QPointF v = toView(*cursor);
        const double margin = std::min(width(), height()) / 5.0;
        if (v.x() < margin || v.y() < margin || v.x() > width() - margin || v.y() > height() - margin) centre = *cursor;
        viewChanged();
    }
    void stepPlace(MapPoint dir) {
        if (!haveArea()) return;
        const MapPoint at = cursorPoint();
        cursorTo(placeTowards(placePointsOf(), highlighted(), at, dir));
    }
    template <class H, class... A>
    void notify(const std::shared_ptr<H>& h, A... args) {
        auto c = core.lock();
        if (!c || !h || !*h) return;
        detail::runGuarded(c, [h, args...]() {
            if (*h) (*h)(args...);
        });
    }
    // Labels whose shape is wide enough on screen, as (text, box in pixels).
    std::vector<std::pair<QString, QRectF>> visibleLabels() const {
        std::vector<std::pair<QString, QRectF>> out;
        if (!area) return out;
        QFontMetricsF fm(font());
        for (const PlacedLabel& l : labels) {
            if (l.shape < 0 || l.shape >= static_cast<int>(area->shapes.size())) continue;
            const MapBox& b = area->shapes[static_cast<std::size_t>(l.shape)].box;
            const double w = fm.horizontalAdvance(l.text);
            if (b.width() * px() < w * 1.1 || b.height() * px() < fm.height() * 1.5) continue;
            const QPointF c = toView(l.at);
            const QRectF box(c.x() - w / 2, c.y() + 5, w, fm.height());
            if (!rect().intersects(box.toAlignedRect())) continue;
            out.emplace_back(l.text, box);
        }
        return out;
    }
    void layOutMarks() {
        // Each number goes to the first of eight places around its dot where it
        // covers no other number and no dot; failing that, farther out; then
        // where it covers no other number at least (a leader line joins it to
        // its dot).
        markBoxes.clear();
        QFontMetricsF fm(font());
        static const double dirs[8][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}, {0, -1.3}, {1.3, 0}, {0, 1.3}, {-1.3, 0}};
        for (const MapView::Mark& m : marks) {
            const QPointF d = toView({m.x, m.y});
            const QString text = QString::number(m.number);
            const QSizeF size(fm.horizontalAdvance(text) + 4, fm.height());
            QRectF chosen;
            bool found = false;
            for (int pass = 0; pass < 2 && !found; ++pass) {
                const bool avoidDots = pass == 0;
                for (int ring = 1; ring <= (avoidDots ? 4 : 12) && !found; ++ring) {
                    const double r = 6.0 * ring * ui();
                    for (const auto& dir : dirs) {
                        QPointF c(d.x() + dir[0] * (r + size.width() / 2), d.y() + dir[1] * (r + size.height() / 2));
                        QRectF box(c.x() - size.width() / 2, c.y() - size.height() / 2, size.width(), size.height());
                        bool clash = false;
                        for (const QRectF& o : markBoxes) clash = clash || o.intersects(box);
                        if (avoidDots)
                            for (const MapView::Dot& dot : dots) {
                                const QPointF q = toView({dot.x, dot.y});
                                const double e = dotRadius();
                                clash = clash || box.adjusted(-e, -e, e, e).contains(q);
                            }
                        if (!clash) {
                            chosen = box;
                            found = true;
                            break;
                        }
                    }
                }
            }
            if (!found) chosen = QRectF(d.x() - size.width() - 4, d.y() - size.height() - 4, size.width(), size.height());
            markBoxes.push_back(chosen);
        }
    }

    // The land, borders and frames (unless over the picture), then the
    // outlines of the place under the keyboard's cursor and under the pointer.
    void paintOutlines(QPainter& p, bool overPicture) {
        const MapBox vis = visible();
        const int lod = lodFor();
        QTransform t;  // twips to the view's pixels
        t.translate(width() / 2.0, height() / 2.0);
        t.scale(px(), px());
        t.translate(-centre.x, -centre.y);
        const QTransform outlines = lodTransform(lod);
        if (!overPicture) {
            QPen edge(kNeighbourEdge, 1.0);
            edge.setCosmetic(true);
            QPen border(kBorder, 1.0);
            border.setCosmetic(true);
            // Neighbouring land first; inset frames hold only sea and their islands.
            p.setTransform(outlines);
            p.setPen(edge);
            p.setBrush(kNeighbour);
            for (std::size_t i = 0; i < area->shapes.size(); ++i) {
                const MapShape& s = area->shapes[i];
                if (s.kind == MapShape::Kind::Neighbour && s.box.intersects(vis)) p.drawPath(pathOf(i, lod));
            }
            p.setTransform(t);
            for (const MapPart& part : area->parts)
                if (part.framed)
                    p.fillRect(QRectF(part.frame.left, part.frame.top, part.frame.width(), part.frame.height()), kSea);
            // Land: the fills without antialiasing (neighbours share their edges,
            // so no seam shows), then the borders antialiased, each shared one once.
            p.setTransform(outlines);
            p.setPen(Qt::NoPen);
            p.setBrush(kLand);
            drawn.clear();
            for (std::size_t i = 0; i < area->shapes.size(); ++i) {
                const MapShape& s = area->shapes[i];
                if (s.kind == MapShape::Kind::Neighbour || !s.box.intersects(vis)) continue;
                const QPainterPath& path = pathOf(i, lod);
                drawn.push_back(&bordersOf(i, lod));
                const auto f = fills.find(static_cast<int>(i));
                const bool filled = f != fills.end() || static_cast<int>(i) == blinkShape;
                if (!filled) {
                    p.drawPath(path);
                    continue;
                }
                QColor fill = f != fills.end() ? f->second : kLand;
                if (static_cast<int>(i) == blinkShape) fill = blinkTick % 2 == 0 ? blinkColor : kLand;
                p.setBrush(fill);
                p.drawPath(path);
                p.setBrush(kLand);
            }
            p.setPen(border);
            p.setBrush(Qt::NoBrush);
            p.setRenderHint(QPainter::Antialiasing, true);
            for (const QPainterPath* path : drawn) p.drawPath(*path);
            p.setTransform(t);
            QPen frame(kFrame, 1.0);
            frame.setCosmetic(true);
            p.setPen(frame);
            p.setBrush(Qt::NoBrush);
            for (const MapPart& part : area->parts)
                if (part.framed)
                    p.drawRect(QRectF(part.frame.left + 7.5, part.frame.top + 7.5, part.frame.width() - 15,
                                      part.frame.height() - 15));
        }
        p.setTransform(outlines);
        p.setRenderHint(QPainter::Antialiasing, true);
        const auto outline = [&](int shape, const QColor& c, Qt::PenStyle style) {
            if (shape < 0 || shape >= static_cast<int>(area->shapes.size())) return;
            QPen pen(c, 2.5 * ui(), style);
            pen.setCosmetic(true);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawPath(pathOf(static_cast<std::size_t>(shape), lod));
        };
        if (cursorShown()) outline(highlighted(), kCursor, Qt::DashLine);
        outline(hover, kHover, Qt::SolidLine);
        p.resetTransform();
    }
    void paintLabels(QPainter& p) {
        // Names under the middle of their shapes, with a light halo.
        for (const auto& [text, box] : visibleLabels()) {
            QPainterPath halo;
            halo.addText(box.left(), box.top() + QFontMetricsF(font()).ascent(), font(), text);
            p.setPen(QPen(QColor(255, 255, 255, 200), 3));
            p.setBrush(Qt::NoBrush);
            p.drawPath(halo);
            p.setPen(QColor(0x33, 0x33, 0x33));
            p.drawText(box, Qt::AlignCenter, text);
        }
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        // At zoom 1 over a picture box: its picture in place of the land.
        const bool overPicture = showsPicture();
        if (overPicture) paintPicture(p);
        else p.fillRect(rect(), kSea);
        if (!area && !overPicture) return;
        if (area) paintOutlines(p, overPicture);
        if (!overPicture) paintLabels(p);
        // Dots and numbered marks are the zoomed map's: at 1x over a picture
        // box the box's own circles and printed numbers show instead.
        if (!overPicture) paintDotsAndMarks(p);
        paintOverlays(p);
    }
    void paintDotsAndMarks(QPainter& p) {
        // Dots: round, of one size on screen, with a light rim.
        p.setRenderHint(QPainter::Antialiasing, true);
        for (const MapView::Dot& d : dots) {
            const QPointF c = toView({d.x, d.y});
            const double r = dotRadius();
            if (!QRectF(rect()).adjusted(-2 * r, -2 * r, 2 * r, 2 * r).contains(c)) continue;
            const QImage& dot = dotSprite(detail::toQColor(d.color));
            p.drawImage(QPointF(std::round(c.x() - dot.width() / 2.0), std::round(c.y() - dot.height() / 2.0)), dot);
        }
        // Numbered marks, apart from each other, with leader lines.
        layOutMarks();
        for (std::size_t i = 0; i < marks.size(); ++i) {
            const QRectF& box = markBoxes[i];
            const QPointF d = toView({marks[i].x, marks[i].y});
            p.setPen(QPen(QColor(0x80, 0, 0), 1));
            QPointF near(std::clamp(d.x(), box.left(), box.right()), std::clamp(d.y(), box.top(), box.bottom()));
            p.drawLine(d, near);
            p.setBrush(QColor(255, 255, 255, 220));
            p.drawRect(box);
            p.setPen(QColor(0xc0, 0, 0));
            p.drawText(box, Qt::AlignCenter, QString::number(marks[i].number));
        }
    }
    void paintLegend(QPainter& p) {
        if (legend.empty()) return;
        const QFontMetricsF fm(font());
        const double sw = fm.height(), gap = 4 * ui();
        double w = 0;
        for (const auto& e : legend) w = std::max(w, fm.horizontalAdvance(detail::toQ(e.text)));
        const double rowH = sw + 2 * ui();
        const QRectF box(gap, height() - gap - rowH * legend.size() - 2 * gap, sw + w + 3 * gap,
                         rowH * legend.size() + 2 * gap);
        p.setPen(QColor(0x80, 0x80, 0x80));
        p.setBrush(QColor(255, 255, 255, 230));
        p.drawRect(box);
        for (std::size_t i = 0; i < legend.size(); ++i) {
            const QRectF swatch(box.left() + gap, box.top() + gap + rowH * i, sw, sw);
            p.setPen(QColor(0x60, 0x60, 0x60));
            p.setBrush(detail::toQColor(legend[i].color));
            p.drawRect(swatch);
            p.setPen(Qt::black);
            p.drawText(QRectF(swatch.right() + gap, swatch.top(), w + gap, sw), Qt::AlignLeft | Qt::AlignVCenter,
                       detail::toQ(legend[i].text));
        }
    }
    void paintOverlays(QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        paintLegend(p);
        if (cursorShown()) {  // the cursor: the centre, or the place the arrows went to
            const QPointF c = placeKeys && cursor ? toView(*cursor) : QPointF(width() / 2.0, height() / 2.0);
            p.setPen(QPen(kCursor, 1.5 * ui()));
            const double arm = 8 * ui();
            p.drawLine(c + QPointF(-arm, 0), c + QPointF(arm, 0));
            p.drawLine(c + QPointF(0, -arm), c + QPointF(0, arm));
        }
        if (!tip.empty()) {  // the name beside the pointer, kept inside the view
            const QString text = detail::toQ(tip);
            const QRectF box = tipRect();
            p.setPen(QColor(0x60, 0x60, 0x60));
            p.setBrush(kTipBack);
            p.drawRect(box);
            p.setPen(Qt::black);
            p.drawText(box, Qt::AlignCenter, text);
        }
        if (hasFocus()) {  // the keyboard's ring, as on the buttons and lists
            p.setPen(QPen(QColor(0, 90, 200), 2, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(rect()).adjusted(1, 1, -2, -2));
        }
    }
    void resizeEvent(QResizeEvent*) override {
        built.assign(built.size(), {});
        clampCentre();
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        pressAt = e->position();
        dragging = false;
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (pressAt && (e->buttons() & Qt::LeftButton)) {
            const QPointF d = e->position() - *pressAt;
            if (dragging || std::hypot(d.x(), d.y()) >= kDragStart) {
                dragging = true;
                centre.x -= d.x() / px();
                centre.y -= d.y() / px();
                pressAt = e->position();
                pointer = e->position();
                viewChanged();
                return;
            }
        }
        pointer = e->position();
        // Over the picture the outline under the pointer needs the outlines.
        if (showsPicture()) haveArea();
        if (area || showsPicture()) notify(onPointer, toMap(pointer));
        refreshHover();
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton || !pressAt) return;
        const bool click = !dragging;
        pressAt.reset();
        dragging = false;
        if (click && area) notify(onClick, toMap(e->position()));
    }
    void focusInEvent(QFocusEvent* e) override {
        // Come to by Tab: the cross shows at once where Enter would answer.
        if (e->reason() == Qt::TabFocusReason || e->reason() == Qt::BacktabFocusReason) keyboard = true;
        update();
        QWidget::focusInEvent(e);
    }
    void focusOutEvent(QFocusEvent* e) override {
        update();
        QWidget::focusOutEvent(e);
    }
    void leaveEvent(QEvent*) override {
        pointer = QPointF(-1, -1);
        notify(onLeave);
        refreshHover();
    }
    void wheelEvent(QWheelEvent* e) override {
        if (!(e->modifiers() & Qt::ControlModifier)) {
            e->ignore();
            return;
        }
        const int steps = e->angleDelta().y() / 120;
        for (int i = 0; i < std::abs(steps); ++i) step(steps > 0 ? 1 : -1, toMap(e->position()));
        e->accept();
    }
    // The keys the map uses are its own while it has the keyboard: they go
    // to it before any key of its window (the game's arrows judge an answer
    // from its buttons, never from the map). Enter only where a click does
    // something.
    bool event(QEvent* e) override {
        if (e->type() == QEvent::ShortcutOverride) {
            auto* k = static_cast<QKeyEvent*>(e);
            const bool plain = !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
            bool own = false;
            switch (k->key()) {
                case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_Up: case Qt::Key_Down:
                case Qt::Key_Plus: case Qt::Key_Equal: case Qt::Key_Minus: case Qt::Key_Home:
                    own = true; break;
                case Qt::Key_PageUp: case Qt::Key_PageDown: own = placeKeys; break;
                case Qt::Key_Return: case Qt::Key_Enter: own = static_cast<bool>(*onClick); break;
                default: break;
            }
            if (plain && own) {
                e->accept();
                return true;
            }
        }
        return QWidget::event(e);
    }
    void keyPressEvent(QKeyEvent* e) override {
        switch (e->key()) {
            case Qt::Key_Left: key(MapKey::Left); break;
            case Qt::Key_Right: key(MapKey::Right); break;
            case Qt::Key_Up: key(MapKey::Up); break;
            case Qt::Key_Down: key(MapKey::Down); break;
            case Qt::Key_Plus:
            case Qt::Key_Equal: key(MapKey::ZoomIn); break;
            case Qt::Key_Minus: key(MapKey::ZoomOut); break;
            case Qt::Key_Return:
            case Qt::Key_Enter: key(MapKey::Enter); break;
            case Qt::Key_Home: key(MapKey::Home); break;
            case Qt::Key_PageDown: key(MapKey::NextPrefecture); break;
            case Qt::Key_PageUp: key(MapKey::PreviousPrefecture); break;
            default: QWidget::keyPressEvent(e); return;
        }
        e->accept();
    }

public:
    void key(MapKey k) {
        keyboard = true;
        const double stepPx = std::min(width(), height()) / 8.0;
        if (placeKeys) {
            switch (k) {
                case MapKey::Left: stepPlace({-1, 0}); return;
                case MapKey::Right: stepPlace({1, 0}); return;
                case MapKey::Up: stepPlace({0, -1}); return;
                case MapKey::Down: stepPlace({0, 1}); return;
                case MapKey::ZoomIn: step(1, cursorPoint()); return;
                case MapKey::ZoomOut: step(-1, cursorPoint()); return;
                case MapKey::NextPrefecture:
                case MapKey::PreviousPrefecture:
                    if (haveArea())
                        cursorTo(placeOfNextPrefecture(*area, placePointsOf(), highlighted(),
                                                       k == MapKey::NextPrefecture ? 1 : -1));
                    return;
                default: break;
            }
        }
        switch (k) {
            case MapKey::Left: centre.x -= stepPx / px(); viewChanged(); break;
            case MapKey::Right: centre.x += stepPx / px(); viewChanged(); break;
            case MapKey::Up: centre.y -= stepPx / px(); viewChanged(); break;
            case MapKey::Down: centre.y += stepPx / px(); viewChanged(); break;
            case MapKey::ZoomIn: step(1, std::nullopt); break;
            case MapKey::ZoomOut: step(-1, std::nullopt); break;
            case MapKey::Home: reset(); break;
            case MapKey::Enter:
                update();
                if (area) notify(onClick, cursorPoint());
                break;
            case MapKey::NextPrefecture:
            case MapKey::PreviousPrefecture: break;
        }
    }
};

MapCanvas* canvasOf(const std::unique_ptr<detail::Node>& n) {
    return n ? static_cast<MapCanvas*>(n->widget.data()) : nullptr;
}

std::unique_ptr<detail::Node> makeMapView(Container& parent, Rect box) {
    auto* canvas = new MapCanvas();
    auto n = Access::child(parent, Kind::Image, canvas, box);
    canvas->core = n->form;
    canvas->reset();
    return n;
}

void sendMouse(QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    const Qt::MouseButton button =
        type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent ev(type, at, w->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &ev);
}

}  // namespace

Color progressColor(int step) {
    // Light to dark (viridis), so that the steps differ without hue.
    static constexpr Color kSteps[] = {rgb(0xfd, 0xe7, 0x25), rgb(0x7a, 0xd1, 0x51), rgb(0x22, 0xa8, 0x84),
                                       rgb(0x2a, 0x78, 0x8e), rgb(0x41, 0x44, 0x87)};
    if (step <= 0) return rgb(kLand.red(), kLand.green(), kLand.blue());
    return kSteps[std::min(step, 5) - 1];
}

Color shareColor(double share, Color full) {
    const Rgb b = toRgb(full);
    const double s = std::clamp(share, 0.0, 1.0);
    const auto mix = [s](int x, int y) { return static_cast<int>(x + (y - x) * s + 0.5); };
    return rgb(mix(kLand.red(), b.r), mix(kLand.green(), b.g), mix(kLand.blue(), b.b));
}

MapView::MapView(Container& parent, Rect box) : Widget(makeMapView(parent, box)) {}

#define CANVAS_OR(value)               \
    MapCanvas* c = canvasOf(node_);    \
    if (!c) return value

void MapView::setArea(std::shared_ptr<const MapArea> area) {
    CANVAS_OR();
    c->setArea(std::move(area));
}
const MapArea* MapView::area() const {
    CANVAS_OR(nullptr);
    return c->area.get();
}
void MapView::onNeedArea(std::function<bool()> load) {
    CANVAS_OR();
    *c->needArea = std::move(load);
}
void MapView::showPicture(const PictureBox* picture) {
    CANVAS_OR();
    c->picture = picture ? detail::Access::node(*picture).host.data() : nullptr;
    c->scaledPicture = QImage();
    c->refreshHover();
    c->update();
}
bool MapView::showsPicture() const {
    CANVAS_OR(false);
    return c->showsPicture();
}
void MapView::setFill(int shape, Color color) {
    CANVAS_OR();
    c->fills[shape] = detail::toQColor(color);
    c->update();
}
void MapView::clearFills() {
    CANVAS_OR();
    c->fills.clear();
    c->blinkTimer.stop();
    c->blinkShape = -1;
    c->update();
}
std::optional<Color> MapView::fillOf(int shape) const {
    CANVAS_OR(std::nullopt);
    const auto it = c->fills.find(shape);
    if (it == c->fills.end()) return std::nullopt;
    const QColor q = it->second;
    return rgb(q.red(), q.green(), q.blue());
}
void MapView::blink(int shape, std::optional<Color> color) {
    CANVAS_OR();
    if (c->blinkShape >= 0) c->fills[c->blinkShape] = c->blinkColor;
    c->blinkShape = shape;
    c->blinkColor = color ? detail::toQColor(*color) : QColor(0x2e, 0xa0, 0x43);
    c->blinkTick = 0;
    c->blinkTimer.start();
    c->update();
}
int MapView::blinkingShape() const {
    CANVAS_OR(-1);
    return c->blinkShape;
}
Color MapView::paintFrame() {
    CANVAS_OR(0);
    if (c->frame.size() != c->size()) c->frame = QImage(c->size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    c->render(&c->frame);
    const QColor q = c->frame.pixelColor(c->frame.width() / 2, c->frame.height() / 2);
    return rgb(q.red(), q.green(), q.blue());
}
void MapView::setDots(std::vector<Dot> dots) {
    CANVAS_OR();
    c->dots = std::move(dots);
    c->update();
}
void MapView::setMarks(std::vector<Mark> marks) {
    CANVAS_OR();
    c->marks = std::move(marks);
    c->update();
}
std::vector<MapPoint> MapView::markPlaces() const {
    CANVAS_OR({});
    c->layOutMarks();
    std::vector<MapPoint> out;
    for (const QRectF& b : c->markBoxes) out.push_back(c->toMap(b.topLeft()));
    return out;
}
std::vector<MapBox> MapView::markBoxes() const {
    CANVAS_OR({});
    c->layOutMarks();
    std::vector<MapBox> out;
    for (const QRectF& b : c->markBoxes) {
        const MapPoint a = c->toMap(b.topLeft()), z = c->toMap(b.bottomRight());
        out.push_back({a.x, a.y, z.x, z.y});
    }
    return out;
}
void MapView::setLabels(std::vector<Label> labels) {
    CANVAS_OR();
    c->labels.clear();
    for (Label& l : labels) {
        if (!c->area || l.shape < 0 || l.shape >= static_cast<int>(c->area->shapes.size())) continue;
        c->labels.push_back({l.shape, detail::toQ(l.text), pointInside(c->area->shapes[static_cast<std::size_t>(l.shape)])});
    }
    c->update();
}
std::vector<std::string> MapView::shownLabels() const {
    CANVAS_OR({});
    std::vector<std::string> out;
    for (const auto& l : c->visibleLabels()) out.push_back(detail::fromQ(l.first));
    return out;
}
void MapView::centreOn(MapPoint twips) {
    CANVAS_OR();
    c->centre = twips;
    c->viewChanged();
}
void MapView::setNamer(std::function<std::string(int, MapPoint)> namer) {
    CANVAS_OR();
    c->namer = std::move(namer);
}
std::string MapView::tipText() const {
    CANVAS_OR({});
    return c->tip;
}
MapBox MapView::tipBox() const {
    CANVAS_OR({});
    const QRectF r = c->tipRect();
    if (r.isEmpty()) return {};
    const MapPoint a = c->toMap(r.topLeft()), b = c->toMap(r.bottomRight());
    return {a.x, a.y, b.x, b.y};
}
double MapView::zoom() const {
    CANVAS_OR(1);
    return c->zoom;
}
void MapView::setZoom(double z, std::optional<MapPoint> keep) {
    CANVAS_OR();
    c->setZoom(z, keep);
}
void MapView::zoomIn() {
    CANVAS_OR();
    c->step(1, std::nullopt);
}
void MapView::zoomOut() {
    CANVAS_OR();
    c->step(-1, std::nullopt);
}
void MapView::resetView() {
    CANVAS_OR();
    c->reset();
}
void MapView::panPixels(double dx, double dy) {
    CANVAS_OR();
    c->centre.x += dx / c->px();
    c->centre.y += dy / c->px();
    c->viewChanged();
}
MapBox MapView::visibleBox() const {
    CANVAS_OR({});
    return c->visible();
}
MapPoint MapView::toMap(double px, double py) const {
    CANVAS_OR({});
    return c->toMap(QPointF(px, py));
}
MapPoint MapView::toView(MapPoint twips) const {
    CANVAS_OR({});
    const QPointF p = c->toView(twips);
    return {p.x(), p.y()};
}
double MapView::pixelsToMap(double pixels) const {
    CANVAS_OR(pixels * kTwipsPerPixel);
    return pixels / c->px();
}
int MapView::highlighted() const {
    CANVAS_OR(-1);
    return c->highlighted();
}
void MapView::setLegend(std::vector<LegendEntry> entries) {
    CANVAS_OR();
    c->legend = std::move(entries);
    c->update();
}
void MapView::setProgressLegend() {
    std::vector<LegendEntry> entries;
    for (int step = 0; step <= 5; ++step) entries.push_back({progressColor(step), progressStepNames()[static_cast<std::size_t>(step)]});
    setLegend(std::move(entries));
}
void MapView::setPlaceKeys(bool on) {
    CANVAS_OR();
    c->placeKeys = on;
    c->cursor.reset();
    c->update();
}
MapPoint MapView::cursorPoint() const {
    CANVAS_OR(MapPoint{});
    return c->cursorPoint();
}
double MapView::dotRadius() const {
    CANVAS_OR(kDotRadius);
    return c->dotRadius();
}
int MapView::hovered() const {
    CANVAS_OR(-1);
    return c->hover;
}
void MapView::onClick(std::function<void(MapPoint)> handler) {
    CANVAS_OR();
    *c->onClick = std::move(handler);
}
void MapView::onViewChanged(std::function<void()> handler) {
    CANVAS_OR();
    *c->onView = std::move(handler);
}
void MapView::onPointer(std::function<void(MapPoint)> handler) {
    CANVAS_OR();
    *c->onPointer = std::move(handler);
}
void MapView::onLeave(std::function<void()> handler) {
    CANVAS_OR();
    *c->onLeave = std::move(handler);
}
void MapView::clickAt(MapPoint twips) {
    CANVAS_OR();
    if (!isShown()) return;
    const QPointF at = c->toView(twips);
    sendMouse(c, QEvent::MouseButtonPress, at, Qt::LeftButton);
    sendMouse(c, QEvent::MouseButtonRelease, at, Qt::NoButton);
}
void MapView::moveTo(MapPoint twips) {
    CANVAS_OR();
    if (!isShown()) return;
    sendMouse(c, QEvent::MouseMove, c->toView(twips), Qt::NoButton);
}
void MapView::leave() {
    CANVAS_OR();
    QEvent ev(QEvent::Leave);
    QCoreApplication::sendEvent(c, &ev);
}
void MapView::pressKey(MapKey key) {
    CANVAS_OR();
    if (!isShown()) return;
    // A key reaches the map only while the map has the keyboard.
    if (!c->hasFocus()) c->setFocus(Qt::OtherFocusReason);
    c->key(key);
}
void MapView::wheel(int steps, MapPoint at, bool ctrl) {
    CANVAS_OR();
    if (!isShown()) return;
    const QPointF pos = c->toView(at);
    QWheelEvent ev(pos, c->mapToGlobal(pos), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
                   ctrl ? Qt::ControlModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(c, &ev);
}
void MapView::drag(MapPoint from, MapPoint to) {
    CANVAS_OR();
    if (!isShown()) return;
    const QPointF a = c->toView(from), b = c->toView(to);
    sendMouse(c, QEvent::MouseButtonPress, a, Qt::LeftButton);
    for (int i = 1; i <= 4; ++i) sendMouse(c, QEvent::MouseMove, a + (b - a) * (i / 4.0), Qt::LeftButton);
    sendMouse(c, QEvent::MouseButtonRelease, b, Qt::NoButton);
}

// ---------------------------------------------------------------- ZoomOverlay

ZoomOverlay::ZoomOverlay(PictureBox& picture, Container& parent, Rect buttons)
    // The inside of the box in design twips (its sunken border takes 2 pixels
    // each side), so that the display scale applies to the view as to the box.
    : view(picture, {0, 0, picture.geometry().width - 4 * kTwipsPerPixel, picture.geometry().height - 4 * kTwipsPerPixel}),
      cmdZoomIn(parent, {buttons.left, buttons.top, buttons.width / 4, buttons.height}, "＋"),
      cmdZoomOut(parent, {buttons.left + buttons.width / 4, buttons.top, buttons.width / 4, buttons.height}, "－"),
      cmdWhole(parent, {buttons.left + buttons.width / 2, buttons.top, buttons.width / 2, buttons.height},
               "全体"),
      picture_(&picture) {
    view.showPicture(picture_);
    view.onNeedArea([this] { return ensureArea(); });
    cmdZoomIn.onClick([this] { zoomIn(); });
    cmdZoomOut.onClick([this] { view.zoomOut(); });
    cmdWhole.onClick([this] { view.resetView(); });
    view.onViewChanged([this] { arrange(); });
    picture.onWheel([this](double x, double y, int steps, bool ctrl) {
        if (ctrl && steps > 0) zoomIn(MapPoint{x, y});
    });
}

void ZoomOverlay::onNeedArea(std::function<bool()> load) { load_ = std::move(load); }

void ZoomOverlay::forget() {
    loaded_ = false;
    failed_ = false;
    view.setArea(nullptr);
    if (pinned_) ensureArea();
    arrange();
}

bool ZoomOverlay::ensureArea() {
    if (loaded_ || failed_ || !load_) return loaded_;
    failed_ = true;  // until it is loaded: asked again meanwhile, no second load
    loaded_ = load_();
    failed_ = !loaded_;
    return loaded_;
}

void ZoomOverlay::zoomIn(std::optional<MapPoint> at) {
    if (!ensureArea()) return;
    double next = view.zoom() < 2 ? 2 : view.zoom() * 2;
    view.setZoom(std::min(next, MapView::kMaxZoom), at);
    arrange();
}

void ZoomOverlay::setPinned(bool pinned) {
    pinned_ = pinned;
    view.showPicture(pinned_ ? nullptr : picture_);
    if (pinned_) ensureArea();
    arrange();
}

bool ZoomOverlay::inFront() const { return loaded_ && (pinned_ || view.zoom() > 1); }

void ZoomOverlay::arrange() {
    // Over the picture the view draws it itself; pinned to the outlines it
    // shows only once they are there, else the picture box does.
    const bool shown = !pinned_ || loaded_;
    if (shown != view.visible()) view.setVisible(shown);
}

}  // namespace tabinowa::ui
