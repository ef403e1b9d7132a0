// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStyle>
#include <QPushButton>
#include <QPixmap>
#include <QScreen>

#include <cmath>
#include <exception>

#include "core/files/error.h"
#include "ui/internal.h"

namespace tabinowa::ui {

namespace detail {

namespace {

// Runs a window's tasks for after it is drawn: the first paint of the window
// or of its client area (whichever the toolkit draws; opaque children can
// cover the window itself) posts them, so that they run as the next event,
// once the whole window has been drawn.
class PaintWatch : public QObject {
public:
    PaintWatch(QObject* parent, std::weak_ptr<FormCore> core) : QObject(parent), core_(std::move(core)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        auto core = core_.lock();
        if (!core || core->paintedTasks.empty()) return false;
        auto tasks = std::move(core->paintedTasks);
        core->paintedTasks.clear();
        QMetaObject::invokeMethod(
            watched,
            [weak = core_, tasks = std::move(tasks)] {
                if (auto c = weak.lock())
                    for (const auto& t : tasks) runGuarded(c, t);
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    std::weak_ptr<FormCore> core_;
};

// The top-level window: the close box asks the form's handler instead of closing.
class FormWindow : public QWidget {
public:
    explicit FormWindow(std::weak_ptr<FormCore> core) : core_(std::move(core)) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        auto core = core_.lock();
        if (!core || !core->loaded) return;
        if (core->closeHandler) {
            runGuarded(core, core->closeHandler);
        } else {
            unloadWindow(*core);
        }
    }

private:
    std::weak_ptr<FormCore> core_;
};

void report(FormCore& core, const std::string& message) {
    if (!core.sink) return;
    try {
        auto sink = core.sink;
        sink(message);
    } catch (...) {
        // The sink itself failed: nowhere left to write; the window stays usable.
    }
}

}  // namespace

void runGuarded(const std::shared_ptr<FormCore>& core, const std::function<void()>& handler) {
    if (!core || !core->loaded || !handler) return;
    const std::shared_ptr<FormCore> keep = core;  // the window may be unloaded by the handler
    const std::function<void()> task = handler;   // and the handler replaced or destroyed
    ++keep->busy;
    try {
        task();
    } catch (const FileError& e) {
        report(*keep, e.what());
    } catch (const std::exception& e) {
        report(*keep, std::string("予期しないエラーが発生しました：") + e.what());
    } catch (...) {
        report(*keep, "予期しないエラーが発生しました。");
    }
    if (--keep->busy > 0) return;
    while (!keep->idleTasks.empty()) {
        auto tasks = std::move(keep->idleTasks);
        keep->idleTasks.clear();
        for (auto& t : tasks) {
            try {
                t();
            } catch (const std::exception& e) {
                report(*keep, std::string("予期しないエラーが発生しました：") + e.what());
            } catch (...) {
                report(*keep, "予期しないエラーが発生しました。");
            }
        }
    }
}

void unloadWindow(FormCore& core) {
    if (!core.loaded) return;
    core.loaded = false;
    if (core.window) {
        core.window->hide();
        core.window->deleteLater();
    }
}

void layoutWindow(FormCore& core) {
    if (!core.window || !core.client) return;
    int barHeight = 0;
    if (core.menuBar) {
        barHeight = core.menuBar->sizeHint().height();
        core.menuBar->setGeometry(0, 0, core.clientWidth, barHeight);
    }
    core.client->setGeometry(0, barHeight, core.clientWidth, core.clientHeight);
    int footHeight = 0;
    if (core.foot) {
        footHeight = core.foot->height();
        core.foot->setGeometry(0, barHeight + core.clientHeight, core.clientWidth, footHeight);
    }
    core.window->setFixedSize(core.clientWidth, core.clientHeight + barHeight + footHeight);
}

Node::~Node() {
    *click = nullptr;
    *itemClick = nullptr;
    *mouseMove = nullptr;
    *mouseDown = nullptr;
    if (kind != Kind::Form && widget) {
        widget->hide();
        widget->deleteLater();
    }
}

std::unique_ptr<Node> Access::child(Container& parent, Kind kind, QWidget* widget, Rect box) {
    Node& p = node(parent);
    auto n = std::make_unique<Node>();
    n->kind = kind;
    n->widget = widget;
    n->host = widget;
    n->form = p.form;
    switch (kind) {
        case Kind::List:
            n->fore = kSystemWindowText;
            n->back = kSystemWindow;
            break;
        case Kind::Line:
            n->fore = kSystemWindowText;
            break;
        default:
            break;
    }
    widget->setParent(p.host);
    const FormCore& core = *n->form;
    n->twips = box;
    widget->setGeometry(toPixels(core, box.left), toPixels(core, box.top), toPixels(core, box.width),
                        toPixels(core, box.height));
    widget->setFont(makeFont(n->font, core.scale));
    applyPalette(*n);
    widget->setVisible(true);
    return n;
}

void Access::applyPalette(Node& n) {
    if (!n.widget) return;
    QPalette pal = n.widget->palette();
    const QColor fore = toQColor(n.fore);
    const QColor back = toQColor(n.back);
    switch (n.kind) {
        case Kind::Form:
            pal.setColor(QPalette::Window, back);
            pal.setColor(QPalette::WindowText, fore);
            n.widget->setPalette(pal);
            n.widget->setAutoFillBackground(true);
            if (n.host && n.host != n.widget) {
                n.host->setPalette(pal);
                n.host->setAutoFillBackground(true);
            }
            return;
        case Kind::Label:
            pal.setColor(QPalette::WindowText, fore);
            pal.setColor(QPalette::Window, back);
            n.widget->setAutoFillBackground(n.opaque);
            break;
        case Kind::Button:
            pal.setColor(QPalette::Button, back);
            pal.setColor(QPalette::ButtonText, fore);
            break;
        case Kind::List:
            pal.setColor(QPalette::Base, back);
            pal.setColor(QPalette::Text, fore);
            break;
        case Kind::Frame:
            pal.setColor(QPalette::WindowText, fore);
            pal.setColor(QPalette::Text, fore);
            pal.setColor(QPalette::Window, back);
            n.widget->setAutoFillBackground(true);
            break;
        case Kind::Line:
            pal.setColor(QPalette::WindowText, fore);
            break;
        case Kind::Image:
            break;
        case Kind::Picture:
            pal.setColor(QPalette::WindowText, fore);
            pal.setColor(QPalette::Window, back);
            n.widget->setAutoFillBackground(true);
            break;
    }
    n.widget->setPalette(pal);
}

QString pathToQ(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return QString::fromUtf8(reinterpret_cast<const char*>(s.data()), static_cast<qsizetype>(s.size()));
}

std::filesystem::path pathFromQ(const QString& s) {
    const QByteArray b = s.toUtf8();
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(b.constData()), static_cast<std::size_t>(b.size())));
}

}  // namespace detail

using detail::Kind;
using detail::Node;

// --- Widget ------------------------------------------------------------------

Widget::Widget(std::unique_ptr<detail::Node> node) : node_(std::move(node)) {}
Widget::Widget(Widget&&) noexcept = default;
Widget& Widget::operator=(Widget&&) noexcept = default;
Widget::~Widget() = default;

Rect Widget::pixelGeometry() const {
    if (!node_ || !node_->widget) return {};
    if (node_->kind == Kind::Form) {
        const QPoint pos = node_->widget->pos();
        return {pos.x(), pos.y(), node_->form->clientWidth, node_->form->clientHeight};
    }
    const QRect g = node_->widget->geometry();
    return {g.x(), g.y(), g.width(), g.height()};
}

Rect Widget::geometry() const {
    const Rect p = pixelGeometry();
    if (!node_ || !node_->form) return {};
    const auto& core = *node_->form;
    const Rect& given = node_->twips;
    // While the widget has the pixels the given box maps to, it reads back as
    // it would at 100 % (whole pixels times 15), whatever the scale.
    auto twips = [&core](int pixels, int was) {
        return detail::toPixels(core, was) == pixels ? twipsToPixels(was) * kTwipsPerPixel
                                                     : static_cast<int>(std::lround(detail::toTwips(core, pixels)));
    };
    return {twips(p.left, given.left), twips(p.top, given.top), twips(p.width, given.width),
            twips(p.height, given.height)};
}

void Widget::setGeometry(Rect twips) {
    if (!node_ || !node_->widget) return;
    if (node_->kind == Kind::Form) {
        auto& core = *node_->form;
        node_->twips = twips;
        core.clientWidth = detail::toPixels(core, twips.width);
        core.clientHeight = detail::toPixels(core, twips.height);
        detail::layoutWindow(core);
        node_->widget->move(detail::toPixels(core, twips.left), detail::toPixels(core, twips.top));
        node_->form->placed = true;
        return;
    }
    const auto& core = *node_->form;
    node_->twips = twips;
    node_->widget->setGeometry(detail::toPixels(core, twips.left), detail::toPixels(core, twips.top),
                               detail::toPixels(core, twips.width), detail::toPixels(core, twips.height));
}

void Widget::setVisible(bool visible) {
    if (!node_) return;
    node_->visible = visible;
    if (!node_->widget) return;
    if (node_->kind == Kind::Form) {
        if (!node_->form->loaded) return;
        if (visible) {
            static_cast<Form*>(this)->show();
        } else {
            node_->widget->hide();
        }
        return;
    }
    node_->widget->setVisible(visible);
}

bool Widget::visible() const { return node_ && node_->visible; }

void Widget::setFocus() {
    if (node_ && node_->widget) node_->widget->setFocus(Qt::OtherFocusReason);
}

bool Widget::hasFocus() const {
    if (!node_ || !node_->widget || !node_->form || !node_->form->window) return false;
    // the window's own record of its focus, so that it holds on the offscreen platform too
    return node_->form->window->focusWidget() == node_->widget.data();
}

bool Widget::isShown() const {
    if (!node_ || !node_->widget || !node_->form || !node_->form->loaded) return false;
    QWidget* window = node_->form->window;
    if (!window || !window->isVisible()) return false;
    if (node_->kind == Kind::Form) return true;
    return node_->visible && node_->widget->isVisibleTo(window);
}

void Widget::setForeColor(Color c) {
    if (!node_) return;
    node_->fore = c;
    detail::Access::applyPalette(*node_);
}

Color Widget::foreColor() const { return node_ ? node_->fore : 0; }

void Widget::setBackColor(Color c) {
    if (!node_) return;
    node_->back = c;
    detail::Access::applyPalette(*node_);
    if (node_->kind == Kind::Picture) detail::pictureBackChanged(*node_);
}

Color Widget::backColor() const { return node_ ? node_->back : 0; }

void Widget::setFont(const Font& f) {
    if (!node_) return;
    node_->font = f;
    if (node_->widget) node_->widget->setFont(detail::makeFont(f, node_->form ? node_->form->scale : 1.0));
}

Font Widget::font() const { return node_ ? node_->font : Font{}; }

std::string Widget::fontFamily() const {
    if (!node_ || !node_->widget) return {};
    return detail::fromQ(QFontInfo(node_->widget->font()).family());
}

bool Widget::grab(const std::filesystem::path& png) const {
    if (!node_ || !node_->widget) return false;
    const QPixmap pix = node_->widget->grab();
    return !pix.isNull() && pix.save(detail::pathToQ(png), "PNG");
}

// --- Form --------------------------------------------------------------------

namespace {

std::unique_ptr<Node> makeFormNode(const std::string& caption, int w, int h, StartPosition start) {
    auto core = std::make_shared<detail::FormCore>();
    auto* window = new detail::FormWindow(core);
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setWindowTitle(detail::toQ(caption));
    auto* client = new QWidget(window);
    core->window = window;
    core->client = client;
    core->scale = detail::scaleForNewForm(w, h);
    core->clientWidth = detail::toPixels(*core, w);
    core->clientHeight = detail::toPixels(*core, h);
    core->centred = start == StartPosition::CenterScreen;

    auto n = std::make_unique<Node>();
    n->kind = Kind::Form;
    n->widget = window;
    n->host = client;
    n->form = core;
    n->caption = caption;
    n->twips = {0, 0, w, h};
    window->setFont(detail::makeFont(n->font, core->scale));
    detail::Access::applyPalette(*n);
    detail::layoutWindow(*core);
    return n;
}

}  // namespace

Form::Form(std::string caption, int clientWidthTwips, int clientHeightTwips, StartPosition start)
    : Container(makeFormNode(caption, clientWidthTwips, clientHeightTwips, start)) {
    node_->visible = false;
}

Form::~Form() {
    if (!node_) return;
    auto& core = *node_->form;
    detail::unloadWindow(core);
    core.sink = nullptr;
    core.closeHandler = nullptr;
}

Form::Form(Form&&) noexcept = default;
Form& Form::operator=(Form&&) noexcept = default;

void Form::setCaption(const std::string& caption) {
    if (!node_) return;
    node_->caption = caption;
    if (node_->widget) node_->widget->setWindowTitle(detail::toQ(caption));
}

bool Form::confirm(const std::string& question) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return false;
    QMessageBox box(node_ && node_->widget ? node_->widget.data() : nullptr);
    box.setWindowTitle(detail::toQ(caption()));
    box.setIcon(QMessageBox::Question);
    // At the window's display scale, as everything else in it: at 200 % an
    // unscaled question would be half the size of the window's own text.
    box.setText(detail::toQ(question));
    QPushButton* yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
    if (node_ && node_->form && node_->form->scale != 1.0) {
        const double scale = node_->form->scale;
        QFont f = box.font();
        if (f.pointSizeF() > 0) f.setPointSizeF(f.pointSizeF() * scale);
        box.setFont(f);
        for (auto* w : box.findChildren<QWidget*>()) w->setFont(f);
        const int icon = static_cast<int>(std::lround(32 * scale));
        const QPixmap small = box.style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, &box).pixmap(icon, icon);
        box.setIconPixmap(small.scaled(icon, icon, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    no->setFocus();
    box.exec();
    // Give the keyboard back to the window that asked: without this its keys
    // (Esc, Space, …) stay dead until the user clicks it again.
    if (QWidget* window = box.parentWidget()) {
        window->activateWindow();
        window->raise();
    }
    return box.clickedButton() == yes;
}

void Form::setClientHeight(int twips) {
    if (!node_ || !node_->form) return;
    auto& core = *node_->form;
    core.clientHeight = detail::toPixels(core, twips);
    node_->twips.height = twips;
    detail::layoutWindow(core);
}

int Form::clientHeight() const {
    if (!node_ || !node_->form) return 0;
    return static_cast<int>(std::lround(detail::toTwips(*node_->form, node_->form->clientHeight)));
}

std::string Form::caption() const {
    if (!node_ || !node_->widget) return node_ ? node_->caption : std::string{};
    return detail::fromQ(node_->widget->windowTitle());
}

void Form::show() {
    if (!node_ || !isLoaded() || !node_->widget) return;
    auto& core = *node_->form;
    QWidget* window = node_->widget;
    if (!core.placed) {
        core.placed = true;
        if (core.centred) {
            QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
            if (screen) {
                const QRect avail = screen->availableGeometry();
                const QSize size = window->size();
                window->move(avail.x() + (avail.width() - size.width()) / 2,
                             avail.y() + (avail.height() - size.height()) / 2);
            }
        }
    }
    node_->visible = true;
    window->show();
    raise();
}

void Form::raise() {
    if (!node_ || !isLoaded() || !node_->widget) return;
    // The headless platform keeps no stacking order (and warns when asked),
    // but it has an active window.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) node_->widget->raise();
    node_->widget->activateWindow();
}

bool Form::isActive() const { return isLoaded() && node_->widget && node_->widget->isActiveWindow(); }

void Form::unload() {
    if (!node_) return;
    node_->visible = false;
    detail::unloadWindow(*node_->form);
}

bool Form::isLoaded() const { return node_ && node_->form->loaded; }

void Form::onCloseBox(std::function<void()> handler) {
    if (node_) node_->form->closeHandler = std::move(handler);
}

void Form::closeBox() {
    if (!isLoaded() || !node_->widget) return;
    node_->widget->close();
}

void Form::setErrorSink(std::function<void(const std::string&)> sink) {
    if (node_) node_->form->sink = std::move(sink);
}

void Form::run(const std::function<void()>& step) {
    if (node_) detail::runGuarded(node_->form, step);
}

void Form::whenPainted(std::function<void()> task) {
    if (!task || !node_ || !node_->form) return;
    detail::FormCore& core = *node_->form;
    if (!core.window || !core.client) return;
    if (!core.paintWatch) {
        core.paintWatch = new detail::PaintWatch(core.window, node_->form);
        core.window->installEventFilter(core.paintWatch);
        core.client->installEventFilter(core.paintWatch);
    }
    core.paintedTasks.push_back(std::move(task));
}

void Form::whenIdle(std::function<void()> task) {
    if (!task) return;
    if (!node_ || node_->form->busy == 0) {
        task();
        return;
    }
    node_->form->idleTasks.push_back(std::move(task));
}

// --- menus -------------------------------------------------------------------

namespace {

QMenuBar* ensureMenuBar(detail::FormCore& core) {
    if (!core.menuBar && core.window) {
        core.menuBar = new QMenuBar(core.window);
        core.menuBar->setNativeMenuBar(false);
        core.menuBar->show();
    }
    return core.menuBar;
}

}  // namespace

struct Menu::Impl {
    std::shared_ptr<detail::FormCore> core;
    QPointer<QMenu> menu;
};

Menu::Menu(Form& form, const std::string& caption) : d_(std::make_unique<Impl>()) {
    auto& n = detail::Access::node(form);
    d_->core = n.form;
    if (QMenuBar* bar = ensureMenuBar(*d_->core)) {
        d_->menu = bar->addMenu(detail::toQ(caption));
        // A drop-down opens as a window of its own: it takes the window's scaled font.
        if (d_->menu && d_->core->window) d_->menu->setFont(d_->core->window->font());
        detail::layoutWindow(*d_->core);
    }
}

Menu::~Menu() = default;
Menu::Menu(Menu&&) noexcept = default;
Menu& Menu::operator=(Menu&&) noexcept = default;

std::string Menu::caption() const {
    return d_ && d_->menu ? detail::fromQ(d_->menu->title()) : std::string{};
}

std::vector<std::string> Menu::barCaptions(const Form& form) {
    std::vector<std::string> out;
    const auto& n = detail::Access::node(form);
    if (!n.form || !n.form->menuBar) return out;
    for (QAction* a : n.form->menuBar->actions()) out.push_back(detail::fromQ(a->text()));
    return out;
}

struct MenuItem::Impl {
    std::shared_ptr<detail::FormCore> core;
    QPointer<QAction> action;
    QPointer<QMenu> menu;  // null for an item on the bar
    std::shared_ptr<std::function<void()>> handler = std::make_shared<std::function<void()>>();

    void connect() {
        if (!action) return;
        std::weak_ptr<detail::FormCore> weakCore = core;
        auto h = handler;
        QObject::connect(action, &QAction::triggered, action, [weakCore, h]() {
            if (auto c = weakCore.lock()) detail::runGuarded(c, *h);
        });
    }
};

MenuItem::MenuItem(Menu& menu, const std::string& caption) : d_(std::make_unique<Impl>()) {
    d_->core = menu.d_->core;
    d_->menu = menu.d_->menu;
    if (d_->menu) d_->action = d_->menu->addAction(detail::toQ(caption));
    d_->connect();
}

MenuItem::MenuItem(Form& form, const std::string& caption) : d_(std::make_unique<Impl>()) {
    auto& n = detail::Access::node(form);
    d_->core = n.form;
    if (QMenuBar* bar = ensureMenuBar(*d_->core)) {
        d_->action = bar->addAction(detail::toQ(caption));
        detail::layoutWindow(*d_->core);
    }
    d_->connect();
}

MenuItem::~MenuItem() {
    if (d_) *d_->handler = nullptr;
}

MenuItem::MenuItem(MenuItem&&) noexcept = default;
MenuItem& MenuItem::operator=(MenuItem&&) noexcept = default;

void MenuItem::onClick(std::function<void()> handler) {
    if (d_) *d_->handler = std::move(handler);
}

void MenuItem::setShortcut(const std::string& keys) {
    if (d_ && d_->action) d_->action->setShortcut(QKeySequence(detail::toQ(keys)));
}

std::string MenuItem::shortcut() const {
    return d_ && d_->action ? detail::fromQ(d_->action->shortcut().toString()) : std::string{};
}

bool MenuItem::click() {
    if (!isShown()) return false;
    d_->action->trigger();
    return true;
}

std::string MenuItem::caption() const {
    return d_ && d_->action ? detail::fromQ(d_->action->text()) : std::string{};
}

bool MenuItem::isShown() const {
    if (!d_ || !d_->action || !d_->core || !d_->core->loaded) return false;
    if (!d_->core->window || !d_->core->window->isVisible()) return false;
    return d_->action->isVisible() && d_->action->isEnabled();
}

}  // namespace tabinowa::ui
