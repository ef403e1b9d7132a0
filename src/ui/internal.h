// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Private to the ui layer (included only by src/ui/*.cpp): the Qt side of the
// controls. Screens never see this header.
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/form.h"
#include "ui/types.h"

class QMenuBar;

namespace tabinowa::ui::detail {

QString toQ(const std::string& utf8);
std::string fromQ(const QString& s);
QColor toQColor(Color c);
// The font at a display scale (its pixel size times the scale).
QFont makeFont(const Font& f, double scale = 1.0);
// The installed family a design font name draws with (empty: none of its
// families is installed).
QString installedFamily(const std::string& designName);
QString pathToQ(const std::filesystem::path& p);
std::filesystem::path pathFromQ(const QString& s);
// The program's icon at every size it is drawn (program_icon.cpp).
QIcon programIcon();

// What a window and all its controls share: the guard's sink, the close-box
// handler, the handler depth and the tasks waiting for it to reach 0.
struct FormCore {
    QPointer<QWidget> window;
    QPointer<QWidget> client;
    QPointer<QMenuBar> menuBar;
    QPointer<QWidget> foot;  // a line below the client area (the keys' legend), or none
    double scale = 1.0;    // the display scale the window was made at
    int clientWidth = 0;   // pixels
    int clientHeight = 0;  // pixels
    bool centred = true;
    bool placed = false;
    bool loaded = true;
    int busy = 0;
    std::function<void(const std::string&)> sink;
    std::function<void()> closeHandler;
    std::vector<std::function<void()>> idleTasks;
    std::vector<std::function<void()>> paintedTasks;  // run once the window has been drawn
    QPointer<QObject> paintWatch;                      // posts them at the first paint after
};

// Twips to whole pixels of a window at its scale, and back.
inline int toPixels(const FormCore& core, double twips) { return twipsToPixels(twips * core.scale); }
inline double toTwips(const FormCore& core, double pixels) { return pixelsToTwips(pixels) / core.scale; }
// The scale a window of this client size gets when it is made now.
double scaleForNewForm(int clientWidthTwips, int clientHeightTwips);

// Runs a handler inside the window's guard: FileError -> its message, any
// other exception -> "予期しないエラーが発生しました：" + what, both to the sink.
// Does nothing once the window is unloaded.
void runGuarded(const std::shared_ptr<FormCore>& core, const std::function<void()>& handler);
// Hides the window and schedules the destruction of its widgets.
void unloadWindow(FormCore& core);
// Sets the client size and places the menu bar above the client area.
void layoutWindow(FormCore& core);

enum class Kind { Form, Label, Button, List, Frame, Image, Line, Picture };

struct Node {
    Kind kind;
    QPointer<QWidget> widget;  // the control itself (for a form: the window)
    QPointer<QWidget> host;    // where child controls go
    std::shared_ptr<FormCore> form;
    Color fore = kSystemButtonText;
    Color back = kSystemButtonFace;
    Font font;
    bool visible = true;
    bool opaque = false;
    // The box last given in twips: read back as at 100 % while the widget
    // still has the pixels it maps to (a scale other than 1 cannot round-trip).
    Rect twips;
    std::string caption;
    // A label's room for a caption too long for its box (Label::setRoom):
    // the room, which way it grows, the box it returns to and the box it
    // spread to last (its own box is then `home`, not `twips`).
    std::optional<Rect> room;
    bool growUp = false;
    Rect home;
    std::optional<Rect> spread;
    bool homeOpaque = false;
    // Handlers live here; the Qt connections hold them through shared pointers
    // and find them empty once the control object is gone.
    std::shared_ptr<std::function<void()>> click = std::make_shared<std::function<void()>>();
    std::shared_ptr<std::function<void(int)>> itemClick = std::make_shared<std::function<void(int)>>();
    std::shared_ptr<std::function<void(double, double)>> mouseMove =
        std::make_shared<std::function<void(double, double)>>();
    std::shared_ptr<std::function<void(double, double)>> mouseDown =
        std::make_shared<std::function<void(double, double)>>();

    ~Node();
};

// A picture box's back colour changed: repaint its backing store.
void pictureBackChanged(Node& n);

// What a picture box shows before anything is drawn on it: its loaded
// picture (at its own size, drawn at the top left times the display scale)
// and its back colour; and what it shows now, with what was drawn on it
// (circles, printed numbers), at the box's size in pixels. `canvas` is the
// box's drawing surface (Node::host).
struct PictureBackdrop {
    QImage picture;
    QColor back;
    QImage drawn;
};
PictureBackdrop backdropOf(const QWidget* canvas);

struct Access {
    static Node& node(Widget& w) { return *w.node_; }
    static const Node& node(const Widget& w) { return *w.node_; }
    // Creates a control's node below a container: same window, widget placed at `box`.
    static std::unique_ptr<Node> child(Container& parent, Kind kind, QWidget* widget, Rect box);
    static void applyPalette(Node& n);
};

}  // namespace tabinowa::ui::detail
