// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A vector map that can be zoomed and panned: the outlines of one map
// (map/outlines.h) drawn sharp at any zoom, with fills, dots, numbered marks,
// the outline under the pointer, a name tip beside the pointer, and a
// keyboard cursor. Everything is given and reported in the map's twips, as a
// picture box does at 1x; at zoom z one twip is z/15 of a pixel.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/map/outlines.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/types.h"

namespace tabinowa::ui {

// A fill for a share done (0..1): from the map's land colour to `full`.
Color shareColor(double share, Color full);
// The fill of a completion step (core/map/progress_scale.h): step 0 the
// land's own colour, then five colours from light yellow to dark violet,
// told apart by their lightness alone.
Color progressColor(int step);

enum class MapKey { Left, Right, Up, Down, ZoomIn, ZoomOut, Enter, Home, NextPrefecture, PreviousPrefecture };

class MapView : public Widget {
public:
    MapView(Container& parent, Rect box);

    // Shows a map: the whole of it, with no fills, dots, marks or blinking.
    void setArea(std::shared_ptr<const MapArea> area);
    const MapArea* area() const;
    // Asked when the view needs its outlines and has none (the pointer over
    // it, a zoom, a key): loads them with setArea (and what goes with them);
    // false when it cannot.
    void onNeedArea(std::function<bool()> load);
    // At zoom 1 the view shows the loaded picture of `picture` (as that box
    // shows it before anything is drawn on it, the box's twips being the
    // map's) in place of the outlines, with the dots, marks, the outline under
    // the pointer and the tip over it; the outlines again when zoomed in.
    // nullptr: the outlines at every zoom.
    void showPicture(const PictureBox* picture);
    bool showsPicture() const;  // now: at zoom 1 with a picture given

    // ---- what is drawn on the map
    void setFill(int shape, Color c);
    void clearFills();
    std::optional<Color> fillOf(int shape) const;
    // The shape blinks (its fill comes and goes) a few times.
    void blink(int shape, std::optional<Color> c = std::nullopt);
    int blinkingShape() const;  // -1 when none
    struct Dot {
        double x = 0, y = 0;  // twips
        Color color = 0;
    };
    // Round dots of a fixed size on screen, whatever the zoom, grown with the
    // window's display scale.
    void setDots(std::vector<Dot> dots);
    double dotRadius() const;  // pixels
    struct Mark {
        int number = 0;
        double x = 0, y = 0;  // the dot the number belongs to
    };
    // Numbers beside their dots, moved apart so that none covers another;
    // a leader line joins a moved number to its dot.
    void setMarks(std::vector<Mark> marks);
    // Where each mark's box was put (twips of its top left, at the current zoom).
    std::vector<MapPoint> markPlaces() const;
    std::vector<MapBox> markBoxes() const;  // and their whole boxes
    // A key to the fills, drawn in the view's lower left corner: a swatch
    // and its words for each entry (none: no key).
    struct LegendEntry {
        Color color = 0;
        std::string text;
    };
    void setLegend(std::vector<LegendEntry> entries);
    // The completion steps' colours with their words.
    void setProgressLegend();
    // Names written on the map inside their shapes, each once its shape is
    // wide enough on screen to hold it.
    struct Label {
        int shape = -1;
        std::string text;
    };
    void setLabels(std::vector<Label> labels);
    // The labels written at the current zoom.
    std::vector<std::string> shownLabels() const;
    // Names the thing under the pointer for the tip beside it ("" for none).
    void setNamer(std::function<std::string(int shape, MapPoint p)> namer);
    std::string tipText() const;  // what the tip shows now
    MapBox tipBox() const;         // where it shows (twips at the current zoom), empty when none

    // ---- the view
    double zoom() const;  // 1 = the whole map at the picture's scale
    static constexpr double kMaxZoom = 8;
    void setZoom(double z, std::optional<MapPoint> keep = std::nullopt);  // keep: a map point that stays put
    void zoomIn();
    void zoomOut();
    void resetView();  // the whole map
    void centreOn(MapPoint twips);
    void panPixels(double dx, double dy);
    MapBox visibleBox() const;
    MapPoint toMap(double px, double py) const;   // from pixels in the view
    MapPoint toView(MapPoint twips) const;        // to pixels in the view (as x, y)
    // Twips that `pixels` screen pixels cover at the current zoom.
    double pixelsToMap(double pixels) const;
    // The shape under the keyboard cursor (the view's centre, or where the
    // arrows stepped to), or -1.
    int highlighted() const;
    // Arrows step the cursor from a place to its neighbour in that direction
    // and Page Down / Page Up to the next or previous prefecture, the view
    // following (a map to answer on); otherwise they pan the view.
    void setPlaceKeys(bool on);
    MapPoint cursorPoint() const;  // where Enter answers
    int hovered() const;  // the shape outlined under the pointer, or -1

    // Paints one frame as the screen would get it, into an image kept by the
    // view (for benchmarks and checks); returns the colour at its centre.
    Color paintFrame();

    // ---- events (handlers run in the window's guard)
    void onClick(std::function<void(MapPoint)> handler);  // a click (no drag), or Enter at the cursor
    void onViewChanged(std::function<void()> handler);
    // Each move of the pointer over the map (twips), and its leaving the map.
    void onPointer(std::function<void(MapPoint)> handler);
    void onLeave(std::function<void()> handler);

    // ---- as the user would (for tests and screenshots)
    void clickAt(MapPoint twips);
    void moveTo(MapPoint twips);
    void leave();
    void pressKey(MapKey key);
    void wheel(int steps, MapPoint at, bool ctrl);
    void drag(MapPoint from, MapPoint to);
};

// A map view laid over a picture box in the same place. At 1x it shows the
// box's picture itself, with round dots, numbered marks, the outline of the
// place under the pointer and a tip beside it; zoomed in (or pinned) it shows
// the outlines. Three buttons zoom in, out and back to the whole map;
// Ctrl+wheel zooms in at the pointer, +/- and the arrows work once the view
// has the keyboard. The window gives the map's outlines through onNeedArea,
// asked once (per forget()) when they are first needed: the pointer over the
// map, a zoom, the pin.
class ZoomOverlay {
public:
    // The view fills the picture box's inside, under the controls placed in
    // the box before it; the buttons go into `buttonsParent` at `buttons`.
    ZoomOverlay(PictureBox& picture, Container& buttonsParent, Rect buttons);
    MapView view;
    CommandButton cmdZoomIn;
    CommandButton cmdZoomOut;
    CommandButton cmdWhole;

    // The window loads the map into `view` (setArea, dots, marks, fills);
    // false when it cannot (the picture stays).
    void onNeedArea(std::function<bool()> load);
    // A new map in the picture: the outlines are dropped (with the view's dots
    // and marks) until asked again; the view goes back to the whole map.
    void forget();
    void zoomIn(std::optional<MapPoint> at = std::nullopt);
    void setPinned(bool pinned);
    bool pinned() const { return pinned_; }
    // The outlines show (zoomed in, or pinned), not the picture.
    bool inFront() const;

private:
    bool ensureArea();
    void arrange();
    PictureBox* picture_;
    std::function<bool()> load_;
    bool loaded_ = false;
    bool failed_ = false;  // the load failed: not asked again until forget()
    bool pinned_ = false;
};

}  // namespace tabinowa::ui
