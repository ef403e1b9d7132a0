// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/paper/map_sheet.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace tabinowa::paper {

namespace {

using Ring = std::vector<Pt>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kKmPerDegree = 111.0;  // of latitude, near enough for a scale bar
constexpr double kTitlePt = 16;
constexpr double kSourcePt = 6.5;
constexpr double kReadingPt = 6.5;
constexpr double kLabelPad = 0.2;   // mm around a label's text
constexpr double kLabelGap = 0.3;    // mm kept between two labels
constexpr double kBorderClear = 0.12;  // mm between an inside label and its shape's border

bool insideRings(const std::vector<Ring>& rings, Pt p) {
    bool in = false;
    for (const auto& r : rings) {
        const std::size_t n = r.size();
        for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
            const Pt a = r[i], b = r[j];
            if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
        }
    }
    return in;
}

double cross(Pt o, Pt a, Pt b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

bool segmentsCross(Pt a, Pt b, Pt c, Pt d) {
    const double d1 = cross(c, d, a), d2 = cross(c, d, b), d3 = cross(a, b, c), d4 = cross(a, b, d);
    return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0 && d3 != 0 && d4 != 0;
}

bool segmentMeetsBox(Pt a, Pt b, const Box& box) {
    if (std::max(a.x, b.x) < box.left || std::min(a.x, b.x) > box.right || std::max(a.y, b.y) < box.top ||
        std::min(a.y, b.y) > box.bottom)
        return false;
    if (box.contains(a) || box.contains(b)) return true;
    const Pt tl{box.left, box.top}, tr{box.right, box.top}, br{box.right, box.bottom}, bl{box.left, box.bottom};
    return segmentsCross(a, b, tl, tr) || segmentsCross(a, b, tr, br) || segmentsCross(a, b, br, bl) ||
           segmentsCross(a, b, bl, tl);
}

double distanceToSegment(Pt p, Pt a, Pt b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// A place's shape on the page: its rings thinned to a twentieth of a
// millimetre, and their box.
struct PageShape {
    std::vector<Ring> rings;
    Box box{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
            std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
    bool contains(Pt p) const { return box.contains(p) && insideRings(rings, p); }
    double clearance(Pt p) const {
        double best = std::numeric_limits<double>::max();
        for (const auto& r : rings)
            for (std::size_t i = 0, j = r.size() - 1; i < r.size(); j = i++)
                best = std::min(best, distanceToSegment(p, r[j], r[i]));
        return best;
    }
    // The box lies inside the shape, clear of its borders by `clear`.
    bool holds(const Box& b, double clear) const {
        const Box grown{b.left - clear, b.top - clear, b.right + clear, b.bottom + clear};
        if (!grown.inside(box)) return false;
        if (!insideRings(rings, b.centre())) return false;
        for (const auto& r : rings)
            for (std::size_t i = 0, j = r.size() - 1; i < r.size(); j = i++)
                if (segmentMeetsBox(r[j], r[i], grown)) return false;
        return true;
    }
};

PageShape pageShape(const MapShape& s, const MapFit& fit) {
    PageShape ps;
    const double tolerance = 0.05 / fit.factor;
    for (const auto& ring : s.rings) {
        const MapRing thin = simplifyRing(ring, tolerance);
        Ring r;
        r.reserve(thin.size());
        for (const auto& p : thin) {
            const Pt q = fit.toPage(p);
            r.push_back(q);
            ps.box.left = std::min(ps.box.left, q.x);
            ps.box.top = std::min(ps.box.top, q.y);
            ps.box.right = std::max(ps.box.right, q.x);
            ps.box.bottom = std::max(ps.box.bottom, q.y);
        }
        if (!r.empty()) ps.rings.push_back(std::move(r));
    }
    return ps;
}

Box boxAround(Pt centre, double w, double h) { return {centre.x - w / 2, centre.y - h / 2, centre.x + w / 2, centre.y + h / 2}; }

Box grownBy(const Box& b, double m) { return {b.left - m, b.top - m, b.right + m, b.bottom + m}; }

Pt nearestOnBox(const Box& b, Pt p) { return {std::clamp(p.x, b.left, b.right), std::clamp(p.y, b.top, b.bottom)}; }

MapBox landBox(const MapArea& area) {
    MapBox box{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
               std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
    bool any = false;
    for (const auto& s : area.shapes) {
        if (s.kind == MapShape::Kind::Neighbour) continue;
        any = true;
        box.left = std::min(box.left, s.box.left);
        box.top = std::min(box.top, s.box.top);
        box.right = std::max(box.right, s.box.right);
        box.bottom = std::max(box.bottom, s.box.bottom);
    }
    for (const auto& p : area.parts) {
        if (!p.framed) continue;
        box.left = std::min(box.left, p.frame.left);
        box.top = std::min(box.top, p.frame.top);
        box.right = std::max(box.right, p.frame.right);
        box.bottom = std::max(box.bottom, p.frame.bottom);
    }
    if (!any) return {0, 0, static_cast<double>(area.width), static_cast<double>(area.height)};
    return box;
}

std::string labelText(const MapSheet& sheet, std::size_t i, MapLabels labels) {
    return labels == MapLabels::Names ? sheet.places[i].name : std::to_string(i + 1);
}

}  // namespace

MapFit fitMap(const MapBox& box, const Box& target) {
    MapFit fit;
    fit.box = box;
    const double w = std::max(box.width(), 1.0), h = std::max(box.height(), 1.0);
    fit.factor = std::min(target.width() / w, target.height() / h);
    fit.origin = {target.left + (target.width() - w * fit.factor) / 2, target.top + (target.height() - h * fit.factor) / 2};
    return fit;
}

MapLayout layoutLabels(const MapSheet& sheet, const Box& mapBox, MapLabels labels, double sizePt) {
    MapLayout layout;
    layout.mapBox = mapBox;
    if (sheet.area == nullptr) return layout;
    const MapArea& area = *sheet.area;
    layout.fit = fitMap(landBox(area), mapBox);
    if (labels == MapLabels::Blank) return layout;

    // Every land shape on the page (for "is this over land"), and the places' own.
    std::vector<PageShape> land;
    std::vector<int> landOfShape(area.shapes.size(), -1);
    for (std::size_t s = 0; s < area.shapes.size(); ++s) {
        if (area.shapes[s].kind == MapShape::Kind::Neighbour) continue;
        landOfShape[s] = static_cast<int>(land.size());
        land.push_back(pageShape(area.shapes[s], layout.fit));
    }
    const std::size_t n = sheet.places.size();
    std::vector<Pt> anchors(n);
    std::vector<bool> placed(n, false);
    const double h = sizePt * kMmPerPoint * 0.95 + 2 * kLabelPad;

    auto overLand = [&](Pt p) {
        for (const auto& s : land)
            if (s.contains(p)) return true;
        return false;
    };

    // Inside first: the most open point of the shape that holds the whole label.
    for (std::size_t i = 0; i < n; ++i) {
        const int s = sheet.places[i].shape;
        if (s < 0 || s >= static_cast<int>(area.shapes.size()) || landOfShape[s] < 0) continue;
        const PageShape& ps = land[landOfShape[s]];
        anchors[i] = layout.fit.toPage(pointInside(area.shapes[s]));
        const std::string text = labelText(sheet, i, labels);
        const double w = textWidthMm(text, sizePt) + 2 * kLabelPad;
        if (ps.box.width() < w || ps.box.height() < h) continue;
        std::vector<std::pair<double, Pt>> candidates;
        candidates.push_back({std::numeric_limits<double>::max(), anchors[i]});
        constexpr int kGrid = 15;
        for (int gx = 0; gx < kGrid; ++gx)
            for (int gy = 0; gy < kGrid; ++gy) {
                const Pt p{ps.box.left + ps.box.width() * (gx + 0.5) / kGrid,
                           ps.box.top + ps.box.height() * (gy + 0.5) / kGrid};
                if (ps.contains(p)) candidates.push_back({ps.clearance(p), p});
            }
        std::stable_sort(candidates.begin(), candidates.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        for (const auto& [clear, p] : candidates) {
            const Box b = boxAround(p, w, h);
            if (!ps.holds(b, kBorderClear)) continue;
            bool free = true;
            for (const auto& l : layout.labels)
                if (l.box.overlaps(b, kLabelGap)) free = false;
            if (!free) continue;
            layout.labels.push_back({static_cast<int>(i), text, b, false, {}});
            anchors[i] = p;
            placed[i] = true;
            break;
        }
    }

    // The rest beside their shapes, top to bottom.
    std::vector<std::size_t> rest;
    for (std::size_t i = 0; i < n; ++i) {
        const int s = sheet.places[i].shape;
        if (!placed[i] && s >= 0 && s < static_cast<int>(area.shapes.size()) && landOfShape[s] >= 0) rest.push_back(i);
    }
    static const double kDistances[] = {2.5, 3.5, 4.5, 6, 8, 10, 13, 16, 20, 25, 31, 38, 46, 55, 65, 80};
    constexpr int kDirections = 36;
    const std::vector<PlacedLabel> inside = layout.labels;
    // One pass over the places in the order given; the labels and the count of crowded ones.
    auto pass = [&](const std::vector<std::size_t>& order, std::vector<PlacedLabel>& labelsOut, int& crossed) {
        int crowded = 0;
        crossed = 0;
        labelsOut = inside;
        auto& labelsRef = labelsOut;
        for (const std::size_t i : order) {
            const std::string text = labelText(sheet, i, labels);
            const double w = textWidthMm(text, sizePt) + 2 * kLabelPad;
            const Pt a = anchors[i];
            double bestCost = std::numeric_limits<double>::max();
            Box bestBox{};
            Line bestLine{};
            // First with no leader crossing another; a place shut in by its
            // neighbours' leaders may then cross one (labels still never overlap).
            for (const bool crossing : {false, true}) {
            if (bestCost < std::numeric_limits<double>::max()) break;
            if (crossing) ++crossed;
            for (const double d : kDistances) {
                if (bestCost < d) break;  // nothing farther can cost less
                for (int k = 0; k < kDirections; ++k) {
                    const double angle = 2 * kPi * k / kDirections;
                    const double cx = std::cos(angle), cy = std::sin(angle);
                    // The box's edge nearest the place lies `d` from it.
                    const double reach = std::min(std::abs(cx) > 1e-9 ? (w / 2) / std::abs(cx) : 1e9,
                                                  std::abs(cy) > 1e-9 ? (h / 2) / std::abs(cy) : 1e9);
                    const Pt c{a.x + cx * (d + reach), a.y + cy * (d + reach)};
                    const Box b = boxAround(c, w, h);
                    if (!b.inside(mapBox)) continue;
                    const Line line{a, nearestOnBox(b, a), 0.15};
                    bool clear = true;
                    for (const auto& l : labelsRef) {
                        if (l.box.overlaps(b, kLabelGap) || segmentMeetsBox(line.a, line.b, l.box) ||
                            (l.leader && (segmentMeetsBox(l.line.a, l.line.b, b) ||
                                          (!crossing && segmentsCross(l.line.a, l.line.b, line.a, line.b))))) {
                            clear = false;
                            break;
                        }
                    }
                    // Never over another place's anchor: its own leader could not leave it.
                    for (const std::size_t j : rest)
                        if (j != i && grownBy(b, 0.3).contains(anchors[j])) clear = false;
                    if (!clear) continue;
                    double cost = d;
                    if (overLand(c)) cost += 4;
                    if (cost < bestCost) {
                        bestCost = cost;
                        bestBox = b;
                        bestLine = line;
                    }
                }
            }
            }
            if (bestCost == std::numeric_limits<double>::max()) {
                // No clear place on the page: put it on its place and count it.
                ++crowded;
                bestBox = boxAround(a, w, h);
                bestLine = {a, a, 0.15};
            }
            labelsRef.push_back({static_cast<int>(i), text, bestBox, true, bestLine});
        }
        return crowded;
    };
    // Top to bottom, then other orders while some label found no clear place:
    // the first order with none crowded (or the fewest) is kept.
    Pt centre{};
    for (const std::size_t i : rest) centre = {centre.x + anchors[i].x / rest.size(), centre.y + anchors[i].y / rest.size()};
    std::vector<std::function<bool(std::size_t, std::size_t)>> orders{
        [&](std::size_t a, std::size_t b) { return anchors[a].y != anchors[b].y ? anchors[a].y < anchors[b].y : anchors[a].x < anchors[b].x; },
        [&](std::size_t a, std::size_t b) { return anchors[a].x < anchors[b].x; },
        [&](std::size_t a, std::size_t b) { return anchors[a].y > anchors[b].y; },
        [&](std::size_t a, std::size_t b) {
            return std::hypot(anchors[a].x - centre.x, anchors[a].y - centre.y) >
                   std::hypot(anchors[b].x - centre.x, anchors[b].y - centre.y);
        },
        [&](std::size_t a, std::size_t b) {
            return std::hypot(anchors[a].x - centre.x, anchors[a].y - centre.y) <
                   std::hypot(anchors[b].x - centre.x, anchors[b].y - centre.y);
        },
        [&](std::size_t a, std::size_t b) { return anchors[a].x > anchors[b].x; },
    };
    int best = -1;
    std::vector<PlacedLabel> bestLabels;
    for (const auto& less : orders) {
        std::vector<std::size_t> order = rest;
        std::stable_sort(order.begin(), order.end(), less);
        std::vector<PlacedLabel> labels;
        int crossed = 0;
        const int crowded = pass(order, labels, crossed);
        if (best < 0 || crowded * 1000 + crossed < best) {
            best = crowded * 1000 + crossed;
            bestLabels = std::move(labels);
            layout.crowded = crowded;
            layout.crossed = crossed;
        }
        if (best == 0) break;
    }
    layout.labels = std::move(bestLabels);
    return layout;
}

std::vector<KeyEntry> keyEntries(const MapSheet& sheet) {
    std::vector<KeyEntry> out;
    out.reserve(sheet.places.size());
    for (std::size_t i = 0; i < sheet.places.size(); ++i)
        out.push_back({std::to_string(i + 1), sheet.places[i].name, sheet.places[i].reading});
    return out;
}

namespace {

// The scale bar and the ratio, at the foot's left.
void addScale(Page& page, const MapArea& area, const MapFit& fit, Pt at) {
    if (area.parts.empty() || area.parts[0].scale <= 0) return;
    const double mmPerKm = fit.factor * area.parts[0].scale / kKmPerDegree;
    if (!(mmPerKm > 0)) return;
    static const double kSteps[] = {0.5, 1, 2, 5, 10, 20, 25, 50, 100, 200, 250, 500, 1000};
    double km = kSteps[0];
    for (const double s : kSteps)
        if (s * mmPerKm <= 40) km = s;
    const double len = km * mmPerKm;
    page.lines.push_back({at, {at.x + len, at.y}, 0.5});
    page.lines.push_back({{at.x, at.y - 1.2}, {at.x, at.y}, 0.3});
    page.lines.push_back({{at.x + len / 2, at.y - 0.8}, {at.x + len / 2, at.y}, 0.3});
    page.lines.push_back({{at.x + len, at.y - 1.2}, {at.x + len, at.y}, 0.3});
    std::string kmText = km < 1 ? "0.5" : std::to_string(static_cast<int>(km));
    page.texts.push_back({{at.x, at.y - 2.8}, "0", 6.5, Align::Centre});
    page.texts.push_back({{at.x + len, at.y - 2.8}, kmText + "km", 6.5, Align::Centre});
    // 1 : n, n to two significant figures.
    const double ratio = 1e6 / mmPerKm;
    const double magnitude = std::pow(10.0, std::floor(std::log10(ratio)) - 1);
    const long long rounded = std::llround(std::round(ratio / magnitude) * magnitude);
    std::string digits = std::to_string(rounded), grouped;
    for (std::size_t k = 0; k < digits.size(); ++k) {
        if (k > 0 && (digits.size() - k) % 3 == 0) grouped += ',';
        grouped += digits[k];
    }
    bool insets = false;
    for (const auto& p : area.parts) insets = insets || p.framed;
    std::string ratioText = "縮尺　約1:" + grouped;
    if (insets) ratioText += "（枠の中は縮尺が異なります）";
    page.texts.push_back({{at.x + len + 8, at.y - 1}, ratioText, 6.5, Align::Left});
}

struct KeyColumns {
    double numberW = 0, nameW = 0, readingW = 0, rowH = 0, colW = 0;
    int columns = 1;
};

KeyColumns keyColumns(const std::vector<KeyEntry>& entries, double width) {
    KeyColumns k;
    for (const auto& e : entries) {
        k.numberW = std::max(k.numberW, textWidthMm(e.number, kKeyPt));
        k.nameW = std::max(k.nameW, textWidthMm(e.name, kKeyPt));
        k.readingW = std::max(k.readingW, textWidthMm(e.reading, kReadingPt));
    }
    k.rowH = lineHeightMm(kKeyPt) * 1.05;
    k.colW = k.numberW + 1.5 + k.nameW + 1.5 + k.readingW + 4;
    k.columns = std::max(1, static_cast<int>((width + 4) / k.colW));
    return k;
}

// Lays entries from `first` into `area`, column by column; returns the next entry.
std::size_t addKeyEntries(Page& page, const std::vector<KeyEntry>& entries, std::size_t first, const Box& area,
                          const KeyColumns& k) {
    const int rows = std::max(1, static_cast<int>(area.height() / k.rowH));
    std::size_t i = first;
    for (int c = 0; c < k.columns && i < entries.size(); ++c) {
        const double x = area.left + c * k.colW;
        for (int r = 0; r < rows && i < entries.size(); ++r, ++i) {
            const double y = area.top + (r + 0.5) * k.rowH;
            const auto& e = entries[i];
            page.texts.push_back({{x + k.numberW, y}, e.number, kKeyPt, Align::Right, Face::Gothic, true});
            page.texts.push_back({{x + k.numberW + 1.5, y}, e.name, kKeyPt, Align::Left});
            if (!e.reading.empty())
                page.texts.push_back({{x + k.numberW + 1.5 + k.nameW + 1.5, y}, e.reading, kReadingPt, Align::Left});
        }
        if (c + 1 < k.columns && i < entries.size())
            page.lines.push_back({{x + k.colW - 2, area.top}, {x + k.colW - 2, area.top + rows * k.rowH}, 0.1});
    }
    return i;
}

}  // namespace

std::vector<Page> mapSheetPages(const MapSheet& sheet, const MapSheetOptions& options) {
    const double pw = options.paper.widthMm(), ph = options.paper.heightMm();
    const Box content{kMarginMm, kMarginMm, pw - kMarginMm, ph - kMarginMm};
    const bool names = options.labels == MapLabels::Names;
    const KeyPlace keyPlace = options.labels == MapLabels::Blank ? KeyPlace::None : options.key;
    const std::vector<KeyEntry> entries = keyEntries(sheet);
    const KeyColumns k = keyColumns(entries, content.width());

    std::vector<Page> pages;
    Page map;
    const std::string kindName = names ? "学習用地図" : "白地図";
    map.texts.push_back({{content.left, content.top + 4}, sheet.title + "　" + kindName, kTitlePt, Align::Left,
                         Face::Gothic, true});
    if (!names)
        map.texts.push_back({{content.right, content.top + 5}, "名前（　　　　　　　　　　）", 10, Align::Right});
    const double titleBand = 10, footBand = 9;
    double keyBand = 0;
    if (keyPlace == KeyPlace::SamePage && !entries.empty()) {
        const int rows = static_cast<int>((entries.size() + k.columns - 1) / k.columns);
        keyBand = std::min(rows * k.rowH + 3, content.height() * 0.35);
    }
    const Box mapBox{content.left, content.top + titleBand, content.right, content.bottom - footBand - keyBand};
    const MapLayout layout =
        layoutLabels(sheet, mapBox, options.labels, names ? kNamePt : kNumberPt);

    if (sheet.area != nullptr) {
        const MapArea& area = *sheet.area;
        const double tolerance = 0.08 / layout.fit.factor;
        const auto borders = ownBorders(area);
        for (const auto& runs : borders)
            for (const auto& run : runs) {
                const MapLine thin = simplifyLine(run, tolerance);
                std::vector<Pt> line;
                line.reserve(thin.size());
                for (const auto& p : thin) line.push_back(layout.fit.toPage(p));
                if (line.size() >= 2) map.borders.push_back(std::move(line));
            }
        for (const auto& part : area.parts)
            if (part.framed) {
                const Pt a = layout.fit.toPage({part.frame.left, part.frame.top});
                const Pt b = layout.fit.toPage({part.frame.right, part.frame.bottom});
                map.frames.push_back({a.x, a.y, b.x, b.y});
            }
        if (options.oldDots)
            for (const auto& place : sheet.places)
                for (const auto& d : place.oldDots) map.dots.push_back(layout.fit.toPage(d));
        addScale(map, area, layout.fit, {content.left + 2, content.bottom - keyBand - 2});
    }
    for (const auto& l : layout.labels) {
        if (l.leader) {
            map.lines.push_back(l.line);
            map.anchors.push_back(l.line.a);
        }
        map.texts.push_back({l.box.centre(), l.text, names ? kNamePt : kNumberPt, Align::Centre, Face::Gothic,
                             !names, l.leader});
    }
    map.texts.push_back({{content.right, content.bottom - keyBand - 1.5}, kOutlineSource, kSourcePt, Align::Right});

    std::size_t next = 0;
    if (keyPlace == KeyPlace::SamePage && !entries.empty()) {
        const double top = content.bottom - keyBand + 1;
        map.lines.push_back({{content.left, top - 0.5}, {content.right, top - 0.5}, 0.2});
        next = addKeyEntries(map, entries, 0, {content.left, top + 1, content.right, content.bottom}, k);
    }
    pages.push_back(std::move(map));
    if (keyPlace == KeyPlace::None) return pages;
    while (next < entries.size()) {
        Page key;
        key.texts.push_back({{content.left, content.top + 4}, sheet.title + "　答え（番号・市町村名・よみ）", 14,
                             Align::Left, Face::Gothic, true});
        next = addKeyEntries(key, entries, next, {content.left, content.top + titleBand, content.right, content.bottom}, k);
        pages.push_back(std::move(key));
    }
    return pages;
}

}  // namespace tabinowa::paper
