// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controls of the windows: labels, command buttons, list boxes, frames,
// images, lines and picture boxes. Each is placed in a container (the form,
// a frame or a picture box) at a box given in twips, and can be driven and
// read back from a test.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/form.h"
#include "ui/types.h"

namespace tabinowa::ui {

// A caption. CR LF in the caption starts a new line; long lines wrap within
// the box. Default back style: transparent (the container's colour shows).
class Label : public Widget {
public:
    Label(Container& parent, Rect box, const std::string& caption = {});
    void setCaption(const std::string& caption);
    std::string caption() const;
    // The text as laid out on screen (line breaks as '\n').
    std::string displayText() const;
    // True when the caption, wrapped at the label's width in its font, fits
    // inside the label's box: nothing of it is cut at the bottom.
    bool showsWhole() const;
    // The height in twips the caption needs at the label's width.
    int wholeHeight() const;
    // Where a caption too long for the label's box may spread (twips, in the
    // label's container): as wide as `room`, as high as the caption needs
    // (at most the room), from the box's top down, or with Grow::Up from the
    // room's bottom up, on the label's back colour above the controls there.
    // The next caption that fits goes back into the box. For the labels that
    // show a file's message with its way out, which must be read whole.
    enum class Grow { Down, Up };
    void setRoom(Rect room, Grow grow = Grow::Down);
    void setAlignment(Align a);
    Align alignment() const;
    // Opaque: the label's back colour fills its box.
    void setOpaque(bool opaque);
    bool opaque() const;
};

class CommandButton : public Widget {
public:
    CommandButton(Container& parent, Rect box, const std::string& caption);
    void setCaption(const std::string& caption);
    std::string caption() const;
    void onClick(std::function<void()> handler);
    // Clicks as the user would; false (nothing happens) when the button is not shown.
    bool click();
    // The face colour (the back colour of a graphical button).
    void setFaceColor(Color c) { setBackColor(c); }
};

class ListBox : public Widget {
public:
    ListBox(Container& parent, Rect box);
    void clear();
    void addItem(const std::string& text);
    // Adds each text in turn, as addItem() does, in one insertion.
    void addItems(const std::vector<std::string>& texts);
    std::vector<std::string> items() const;
    int count() const;
    // The selected position counted from 0, or -1.
    int selectedIndex() const;
    // Handler for a click on an entry (or a move of the selection by keys),
    // given the position counted from 0.
    void onClick(std::function<void(int)> handler);
    // Clicks the entry at `pos` as the user would; false when there is no such
    // entry or the list is not shown.
    bool clickItem(int pos);
};

// A frame with a caption; controls placed in it are positioned relative to it.
class Frame : public Container {
public:
    Frame(Container& parent, Rect box, const std::string& caption);
    void setCaption(const std::string& caption);
    std::string caption() const;
};

// A picture stretched to its box.
class Image : public Widget {
public:
    Image(Container& parent, Rect box);
    // Loads a picture file; throws FileError naming the file when it cannot.
    void loadPicture(const std::filesystem::path& file);
    // The program's own logo.
    void showLogo();
    bool hasPicture() const;
};

// A straight line from (x1, y1) to (x2, y2) in twips, in the fore colour.
class Line : public Widget {
public:
    // `borderWidth` in pixels, centred on the line.
    Line(Container& parent, int x1, int y1, int x2, int y2, int borderWidth = 1);
};

// A drawing surface. What is drawn is kept in a backing store (readable pixel
// by pixel). Coordinates are twips inside the box's border.
class PictureBox : public Container {
public:
    PictureBox(Container& parent, Rect box, bool border = true);

    // Loads a JPEG (or other picture) file in place of everything drawn, at
    // the top left at its own size. Throws FileError naming the file when it
    // cannot be read. Loading the file shown last again, unchanged on disk
    // (same file, size and modification and change times), reuses its decoded
    // picture.
    void loadPicture(const std::filesystem::path& file);
    // A point in twips.
    struct Point {
        double x = 0;
        double y = 0;
    };
    // Removes the loaded picture and everything drawn: the back colour shows.
    void clearPicture();
    // Clears what was drawn (keeping a loaded picture) and sets the drawing
    // position to 0, 0.
    void cls();

    void setCurrentX(double twips);
    void setCurrentY(double twips);
    double currentX() const;
    double currentY() const;

    // An outline circle around (x, y), radius r, all in twips; in `color`, or
    // in the fore colour when none is given. Filled in the fill colour when one is set.
    void circle(double x, double y, double r, std::optional<Color> color = std::nullopt);
    // The same circle around each centre in turn, drawn as circle() draws it.
    void circles(const std::vector<Point>& centres, double r, std::optional<Color> color = std::nullopt);
    void setFillColor(std::optional<Color> c);

    // Prints at the drawing position in the fore colour and the box's font,
    // then moves the position to the start of the next line.
    void print(const std::string& text);
    // Prints a number as the platform prints one: a blank where the sign
    // would stand for a number not below 0.
    void printNumber(double value);

    void onMouseMove(std::function<void(double x, double y)> handler);
    void onMouseDown(std::function<void(double x, double y)> handler);
    // The wheel turned over the box by `steps` notches (up positive), with
    // or without Ctrl held.
    void onWheel(std::function<void(double x, double y, int steps, bool ctrl)> handler);
    void turnWheel(double x, double y, int steps, bool ctrl);
    // Moves the pointer to (x, y) twips inside the box, as the user would.
    void moveMouse(double x, double y);
    void pressMouse(double x, double y);

    // The backing store: its size in pixels and the colour of one pixel.
    int pixelWidth() const;
    int pixelHeight() const;
    Color pixel(int px, int py) const;
};

// How the platform prints a number: " 5", "-5", " .5", " 1.25".
std::string printedNumber(double value);

}  // namespace tabinowa::ui
