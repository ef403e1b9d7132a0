// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows and the common part of every control. Screens hold a Form and their
// controls as members; every handler the ui layer calls runs inside the
// form's guard, which turns a failure into a Japanese message for the form's
// error sink (a label of the window) instead of a crash or a message box.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/types.h"

namespace tabinowa::ui {

namespace detail {
struct Node;
struct FormCore;
struct Access;
}  // namespace detail

// What every control and window has: a box in twips, visibility, colours, font.
class Widget {
public:
    Widget(Widget&&) noexcept;
    Widget& operator=(Widget&&) noexcept;
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;
    virtual ~Widget();

    // The box in twips relative to the parent's client area, read back from
    // the real widget (pixels times 15 at 100 %; at another display scale the
    // same value while the widget keeps the box it was given).
    Rect geometry() const;
    // The same box in pixels.
    Rect pixelGeometry() const;
    void setGeometry(Rect twips);

    // The control's own visibility flag (the design's Visible).
    void setVisible(bool visible);
    bool visible() const;
    // Visible on screen: its own flag, every container's, and the window shown.
    bool isShown() const;

    // Keyboard focus: moves it here (within its window); whether it is here.
    void setFocus();
    bool hasFocus() const;

    void setForeColor(Color c);
    Color foreColor() const;
    void setBackColor(Color c);
    Color backColor() const;

    void setFont(const Font& f);
    Font font() const;
    // The family actually used for drawing (the installed stand-in).
    std::string fontFamily() const;
    double fontSize() const { return font().size; }

    // Saves what the control shows as a PNG file; false when that fails.
    bool grab(const std::filesystem::path& png) const;

protected:
    explicit Widget(std::unique_ptr<detail::Node> node);
    std::unique_ptr<detail::Node> node_;
    friend struct detail::Access;
};

// A control that holds other controls (a form's client area, a frame, a picture box).
class Container : public Widget {
protected:
    using Widget::Widget;
};

enum class StartPosition { CenterScreen, SystemDefault };

class Form : public Container {
public:
    // A window with a fixed border and a client area of the given size in twips.
    Form(std::string caption, int clientWidthTwips, int clientHeightTwips,
         StartPosition start = StartPosition::CenterScreen);
    ~Form() override;
    Form(Form&&) noexcept;
    Form& operator=(Form&&) noexcept;

    void setCaption(const std::string& caption);
    std::string caption() const;
    // Makes the client area `twips` high, the window staying where it is
    // (room for a message beneath the window's controls).
    void setClientHeight(int twips);
    int clientHeight() const;

    // Shows the window (modeless) and brings it to the front.
    void show();
    void raise();
    // Whether the window has the keyboard (it is the active window).
    bool isActive() const;
    // Hides and destroys the window; its controls do nothing afterwards.
    void unload();
    bool isLoaded() const;

    // The title bar's close box runs this handler (guarded) instead of closing.
    // Without a handler the close box unloads the window.
    void onCloseBox(std::function<void()> handler);
    // Presses the close box, as the user would.
    void closeBox();

    // Where failures inside this window's handlers are written.
    void setErrorSink(std::function<void(const std::string&)> sink);
    // Runs `step` inside the window's guard (as every handler is run).
    void run(const std::function<void()>& step);
    // The program's one dialog: asks before an action that discards progress.
    // Buttons "はい" and "いいえ", "いいえ" the default (Enter, Space and Esc
    // answer no). True only for "はい". Where no one can see it (the
    // offscreen platform) it answers its default at once.
    bool confirm(const std::string& question);
    // Runs `task` now, or, while one of this window's handlers is running,
    // right after the outermost one returns (so a handler can unload its own window).
    void whenIdle(std::function<void()> task);
    // Runs `task` once, inside the window's guard, right after the window is
    // next drawn whole (as the event that follows that paint). Never while the
    // window is not drawn: the caller does what must not wait for that.
    void whenPainted(std::function<void()> task);

private:
    friend struct detail::Access;
};

class Menu;

// A menu item: in a drop-down menu or directly on the menu bar.
class MenuItem {
public:
    MenuItem(Menu& menu, const std::string& caption);
    MenuItem(Form& form, const std::string& caption);  // directly on the bar
    ~MenuItem();
    MenuItem(MenuItem&&) noexcept;
    MenuItem& operator=(MenuItem&&) noexcept;

    void onClick(std::function<void()> handler);
    // A key that chooses the item while its window is active, e.g. "F1".
    void setShortcut(const std::string& keys);
    std::string shortcut() const;
    // Chooses the item as the user would; false when it is not shown.
    bool click();
    std::string caption() const;
    bool isShown() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// A drop-down menu on the menu bar of a form.
class Menu {
public:
    Menu(Form& form, const std::string& caption);
    ~Menu();
    Menu(Menu&&) noexcept;
    Menu& operator=(Menu&&) noexcept;
    std::string caption() const;
    // The captions of the menu bar's entries, in order.
    static std::vector<std::string> barCaptions(const Form& form);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
    friend class MenuItem;
};

}  // namespace tabinowa::ui
