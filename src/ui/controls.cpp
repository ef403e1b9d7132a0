// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls.h"

#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QKeyEvent>
#include <QListWidget>
#include <QScrollBar>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QWheelEvent>
#include <QPushButton>
#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QStyleOptionButton>
#include <QStylePainter>


#include <sys/stat.h>

#include <cstdio>
#include <cstring>


#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <system_error>

#include "core/files/error.h"
#include "core/files/messages.h"
#include "ui/internal.h"

namespace tabinowa::ui {

using detail::Access;
using detail::Kind;
using detail::Node;
using detail::fromQ;
using detail::toQ;

namespace {

// CR LF (or a lone CR) in a caption is a line break on screen.
QString captionText(const std::string& caption) {
    QString s = toQ(caption);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

Qt::Alignment horizontal(Align a) {
    switch (a) {
        case Align::Center: return Qt::AlignHCenter;
        case Align::Right: return Qt::AlignRight;
        case Align::Left: break;
    }
    return Qt::AlignLeft;
}

// A command button whose caption wraps onto several lines when it is too
// long for one, as the platform's buttons do.
class WrapButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionButton opt;
        initStyleOption(&opt);
        const QString caption = opt.text;
        opt.text.clear();
        p.drawControl(QStyle::CE_PushButton, opt);
        QRect r = style()->subElementRect(QStyle::SE_PushButtonContents, &opt, this).adjusted(1, 0, -1, 0);
        if (isDown()) r.translate(1, 1);
        p.setPen(palette().color(QPalette::ButtonText));
        p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, caption);
        if (hasFocus()) {
            // A ring that shows at a glance which button the keyboard is on.
            QPen ring(QColor(0, 90, 200), 2, Qt::DotLine);
            p.setPen(ring);
            p.setBrush(Qt::NoBrush);
            p.drawRect(rect().adjusted(3, 3, -4, -4));
        }
    }
};

// A list box that does not choose an entry when the focus comes to it: the
// view makes its first entry current on focus-in, which would count as a
// move by the keys. The first arrow key chooses the first entry instead.
class QuietList : public QListWidget {
public:
    explicit QuietList(QWidget* parent = nullptr) : QListWidget(parent) {
        // Room above the first entry and below the last for the focus ring's
        // lines, so that they never cross an entry's characters.
        setViewportMargins(0, kRing, 0, kRing);
    }

protected:
    static constexpr int kRing = 2;  // the ring's width in pixels
    bool event(QEvent* e) override {
        const bool done = QListWidget::event(e);
        if (e->type() == QEvent::Paint && hasFocus()) {
            // The ring's top and bottom in the margins, outside the entries.
            QPainter p(this);
            p.setPen(QPen(QColor(0, 90, 200), kRing, Qt::DotLine));
            const QRect v = viewport()->geometry();
            p.drawLine(v.left(), v.top() - kRing / 2, v.right(), v.top() - kRing / 2);
            p.drawLine(v.left(), v.bottom() + 1 + kRing / 2, v.right(), v.bottom() + 1 + kRing / 2);
        }
        return done;
    }
    void focusInEvent(QFocusEvent* e) override {
        const bool hadCurrent = currentIndex().isValid();
        {
            const QSignalBlocker block(this);
            QListWidget::focusInEvent(e);
            if (!hadCurrent) selectionModel()->clearCurrentIndex();
        }
        viewport()->update();
    }
    void focusOutEvent(QFocusEvent* e) override {
        QListWidget::focusOutEvent(e);
        viewport()->update();
    }
    void keyPressEvent(QKeyEvent* e) override {
        // With nothing chosen yet the view takes any move to the first entry:
        // End goes to the last one, as it says.
        if (!currentIndex().isValid() && e->key() == Qt::Key_End && e->modifiers() == Qt::NoModifier && count() > 0) {
            setCurrentRow(count() - 1);
            e->accept();
            return;
        }
        QListWidget::keyPressEvent(e);
    }
    void paintEvent(QPaintEvent* e) override {
        QListWidget::paintEvent(e);
        if (!hasFocus()) return;
        // The buttons' ring, so that a list with nothing chosen yet shows the
        // keyboard is on it: its sides here, its top and bottom in the margins (event()).
        QPainter p(viewport());
        p.setPen(QPen(QColor(0, 90, 200), kRing, Qt::DotLine));
        const QRect r = viewport()->rect();
        p.drawLine(r.left() + 1, r.top(), r.left() + 1, r.bottom());
        p.drawLine(r.right(), r.top(), r.right(), r.bottom());
    }
};

class PictureImage : public QWidget {
public:
    QImage image;

protected:
    void paintEvent(QPaintEvent*) override {
        if (image.isNull()) return;
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(rect(), image);
    }
};

class LineWidget : public QWidget {
public:
    QPoint from, to;  // inside the widget
    int width = 1;    // pixels

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(QPen(palette().color(QPalette::WindowText), width));
        p.drawLine(from, to);
    }
};

// The application's style with a list's scroll bar two pixels narrower than
// the style's own, as wide as the display scale makes that: the designs' lists
// are as narrow as their longest entry, whose last character would otherwise
// touch the bar at some scales.
class ScaledStyle : public QProxyStyle {
public:
    explicit ScaledStyle(double scale) : scale_(scale) {}
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        const int base = QProxyStyle::pixelMetric(metric, option, widget);
        if (metric != PM_ScrollBarExtent) return base;
        return std::max(1, static_cast<int>(std::lround((base - kNarrower) * scale_)));
    }
    static constexpr int kNarrower = 2;

private:
    double scale_;
};

// What tells one state of a file from another without reading it: the file
// itself (device, inode), its size, and its modification and change times to
// the nanosecond. Rewriting or replacing the file changes at least one of them;
// the change time cannot be set back by hand.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static std::optional<FileStamp> of(const std::filesystem::path& file) {
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
        return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    }
    friend bool operator==(const FileStamp& a, const FileStamp& b) {
        return a.device == b.device && a.inode == b.inode && a.size == b.size &&
               a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec &&
               a.changed.tv_sec == b.changed.tv_sec && a.changed.tv_nsec == b.changed.tv_nsec;
    }
};

// The drawing surface of a picture box, with its backing store.
class Canvas : public QWidget {
public:
    QImage store;
    QImage picture;  // the loaded picture, drawn first
    // Where `picture` came from, while it is what that file holds.
    struct Source {
        std::filesystem::path file;
        FileStamp stamp;
    };
    std::optional<Source> source;
    QColor back;
    double currentX = 0;
    double currentY = 0;
    std::optional<QColor> fill;
    std::weak_ptr<detail::FormCore> core;
    std::shared_ptr<std::function<void(double, double)>> onMove;
    std::shared_ptr<std::function<void(double, double)>> onDown;
    std::shared_ptr<std::function<void(double, double, int, bool)>> onWheel =
        std::make_shared<std::function<void(double, double, int, bool)>>();

    // The display scale of the window: drawing positions and the picture grow with it.
    double scale() const {
        const auto c = core.lock();
        return c ? c->scale : 1.0;
    }

    // The size of the backing store.
    QSize storeSize() const { return size().expandedTo(QSize(1, 1)); }

    // The backing store with nothing drawn yet: the picture at the top left at
    // display scale `k`, the back colour elsewhere. Touches no widget, so a
    // second thread may call it.
    static QImage emptyStore(const QImage& picture, QSize s, double k, const QColor& back) {
        if (k == 1.0 && picture.format() == QImage::Format_RGB32 && picture.width() >= s.width() &&
            picture.height() >= s.height()) {
            // The picture covers the whole box: its top left part is the store
            // (shared with the picture until something is drawn).
            return picture.size() == s ? picture : picture.copy(QRect(QPoint(0, 0), s));
        }
        QImage store(s, QImage::Format_RGB32);
        store.fill(back);
        if (!picture.isNull()) {
            QPainter p(&store);
            if (k == 1.0) {
                p.drawImage(0, 0, picture);
            } else {
                p.setRenderHint(QPainter::SmoothPixmapTransform);
                p.drawImage(QRectF(0, 0, picture.width() * k, picture.height() * k), picture);
            }
        }
        return store;
    }

    void resetStore() {
        store = emptyStore(picture, storeSize(), scale(), back);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(0, 0, store);
    }
    void resizeEvent(QResizeEvent*) override {
        if (store.size() == size()) return;
        QImage old = store;
        resetStore();
        if (!old.isNull()) {
            QPainter p(&store);
            p.drawImage(0, 0, old);
        }
    }
    void mouseMoveEvent(QMouseEvent* e) override { deliver(onMove, e); }
    void mousePressEvent(QMouseEvent* e) override { deliver(onDown, e); }
    void wheelEvent(QWheelEvent* e) override {
        auto c = core.lock();
        const auto h = onWheel;
        if (!c || !*h) return QWidget::wheelEvent(e);
        const double x = pixelsToTwips(e->position().x()), y = pixelsToTwips(e->position().y());
        const int steps = e->angleDelta().y() / 120;
        const bool ctrl = (e->modifiers() & Qt::ControlModifier) != 0;
        detail::runGuarded(c, [h, x, y, steps, ctrl]() {
            if (*h) (*h)(x, y, steps, ctrl);
        });
        e->accept();
    }

private:
    void deliver(const std::shared_ptr<std::function<void(double, double)>>& h, QMouseEvent* e) {
        auto c = core.lock();
        if (!c || !h || !*h) return;
        const double x = detail::toTwips(*c, e->position().x());
        const double y = detail::toTwips(*c, e->position().y());
        detail::runGuarded(c, [h, x, y]() {
            if (*h) (*h)(x, y);
        });
    }
};

// The box of a picture box: an optional sunken border around the canvas.
class PictureFrame : public QFrame {
public:
    Canvas* canvas = nullptr;

protected:
    void resizeEvent(QResizeEvent* e) override {
        QFrame::resizeEvent(e);
        if (canvas) canvas->setGeometry(contentsRect());
    }
};

Canvas* canvasOf(const Node& n) { return static_cast<Canvas*>(n.host.data()); }

QImage logoImage() {
    // Our maker's mark: sunlight through leaves, and the maker's name.
    QImage img(252, 136, QImage::Format_RGB32);
    img.fill(QColor(250, 247, 232));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(46, 110, 58), 4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(3, 3, 246, 130), 16, 16);
    // the sun and its rays
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(244, 170, 40));
    p.drawEllipse(QPointF(52, 50), 22, 22);
    p.setPen(QPen(QColor(244, 170, 40), 4, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 8; ++i) {
        const double a = i * 3.14159265358979 / 4;
        p.drawLine(QPointF(52 + 28 * std::cos(a), 50 + 28 * std::sin(a)),
                   QPointF(52 + 36 * std::cos(a), 50 + 36 * std::sin(a)));
    }
    // three leaves
    p.setPen(Qt::NoPen);
    const QColor leaves[3] = {QColor(60, 140, 70), QColor(96, 170, 80), QColor(40, 110, 60)};
    const QPointF at[3] = {QPointF(30, 92), QPointF(62, 100), QPointF(92, 84)};
    for (int i = 0; i < 3; ++i) {
        p.save();
        p.translate(at[i]);
        p.rotate(-35 + 30 * i);
        p.setBrush(leaves[i]);
        p.drawEllipse(QPointF(0, 0), 18, 9);
        p.restore();
    }
    // the name
    QFont f = detail::makeFont(Font{"HG創英角ﾎﾟｯﾌﾟ体", 18, false});
    f.setPixelSize(30);
    p.setFont(f);
    p.setPen(QColor(46, 110, 58));
    p.drawText(QRectF(106, 20, 140, 50), Qt::AlignCenter, QStringLiteral("コモレビ"));
    f.setPixelSize(34);
    p.setFont(f);
    p.setPen(QColor(200, 90, 30));
    p.drawText(QRectF(106, 68, 140, 50), Qt::AlignCenter, QStringLiteral("舎"));
    return img;
}

std::string fileNameOf(const std::filesystem::path& file) {
    const std::u8string s = file.filename().u8string();
    return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

QImage readPicture(const std::filesystem::path& file) {
    // a shipped picture's way out is the shipped copy; nothing is ever written here
    const std::string repair = repairFor(file);
    const std::string wayOut = repair.empty() ? std::string(kUnchanged) : repair;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        throw FileError("画像ファイル「" + fileNameOf(file) + "」が見つかりません。" + wayOut);
    }
    QImageReader reader(detail::pathToQ(file));
    QImage img = reader.read();
    if (img.isNull()) {
        throw FileError("画像ファイル「" + fileNameOf(file) + "」を読み込めません（壊れているか、画像ではありません）。" +
                        wayOut);
    }
    return img.convertToFormat(QImage::Format_RGB32);
}

// Outline circles of radius r around the centres (twips) at display scale k,
// without smoothing, filled when `fill` is set.
void paintCircles(QImage& target, const std::vector<PictureBox::Point>& centres, double r, const QColor& pen,
                  const std::optional<QColor>& fill, double k) {
    QPainter p(&target);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(pen, std::max(1L, std::lround(k))));
    p.setBrush(fill ? QBrush(*fill) : QBrush(Qt::NoBrush));
    const double radius = r * k / kTwipsPerPixel;
    for (const PictureBox::Point& at : centres)
        p.drawEllipse(QPointF(at.x * k / kTwipsPerPixel, at.y * k / kTwipsPerPixel), radius, radius);
}

}  // namespace

// --- Label -------------------------------------------------------------------

namespace {
std::unique_ptr<Node> makeLabel(Container& parent, Rect box, const std::string& caption) {
    auto* w = new QLabel();
    w->setTextFormat(Qt::PlainText);
    w->setWordWrap(true);
    w->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    w->setMargin(0);
    w->setIndent(0);
    w->setText(captionText(caption));
    auto n = Access::child(parent, Kind::Label, w, box);
    n->caption = caption;
    return n;
}
}  // namespace

Label::Label(Container& parent, Rect box, const std::string& caption)
    : Widget(makeLabel(parent, box, caption)) {}

void Label::setCaption(const std::string& caption) {
    if (!node_) return;
    node_->caption = caption;
    auto* w = qobject_cast<QLabel*>(node_->widget.data());
    if (!w) return;
    if (!node_->room) {
        w->setText(captionText(caption));
        return;
    }
    // Back into the label's own box (the one the window gave it last) first.
    Node& n = *node_;
    if (!n.spread || n.twips != *n.spread) {
        n.home = n.twips;
        n.homeOpaque = n.opaque;
    }
    n.spread.reset();
    if (n.twips != n.home) setGeometry(n.home);
    if (n.opaque != n.homeOpaque) setOpaque(n.homeOpaque);
    w->setFrameStyle(QFrame::NoFrame);
    w->setMargin(0);
    w->setText(captionText(caption));
    if (showsWhole()) return;
    const Rect& room = *n.room;
    setGeometry({room.left, n.home.top, room.width, n.home.height});
    // Spread over other controls, the message stands in a framed panel of its
    // own, so that a line it happens to cut below reads as lying under it.
    w->setFrameStyle(QFrame::Box | QFrame::Plain);
    w->setMargin(std::max(2, static_cast<int>(std::lround(3 * (n.form ? n.form->scale : 1.0)))));
    const int need = std::min(std::max(wholeHeight() + 30, n.home.height), room.height);
    const int bottom = room.top + room.height;
    const int top = n.growUp ? bottom - need : std::max(room.top, std::min(n.home.top, bottom - need));
    setGeometry({room.left, top, room.width, need});
    n.spread = n.twips;
    setOpaque(true);
    w->raise();
}

void Label::setRoom(Rect room, Grow grow) {
    if (!node_) return;
    node_->room = room;
    node_->growUp = grow == Grow::Up;
    setCaption(node_->caption);
}

std::string Label::caption() const { return node_ ? node_->caption : std::string{}; }

std::string Label::displayText() const {
    auto* w = node_ ? qobject_cast<QLabel*>(node_->widget.data()) : nullptr;
    return w ? fromQ(w->text()) : std::string{};
}

bool Label::showsWhole() const {
    auto* w = node_ ? qobject_cast<QLabel*>(node_->widget.data()) : nullptr;
    if (!w) return false;
    // laid out as the label lays it out: its own font, width and wrapping
    return w->heightForWidth(w->width()) <= w->height();
}

int Label::wholeHeight() const {
    auto* w = node_ ? qobject_cast<QLabel*>(node_->widget.data()) : nullptr;
    if (!w || !node_->form) return 0;
    return static_cast<int>(std::ceil(detail::toTwips(*node_->form, w->heightForWidth(w->width()))));
}

void Label::setAlignment(Align a) {
    if (auto* w = node_ ? qobject_cast<QLabel*>(node_->widget.data()) : nullptr) {
        w->setAlignment(Qt::AlignTop | horizontal(a));
    }
}

Align Label::alignment() const {
    auto* w = node_ ? qobject_cast<QLabel*>(node_->widget.data()) : nullptr;
    if (!w) return Align::Left;
    const auto h = w->alignment() & Qt::AlignHorizontal_Mask;
    if (h & Qt::AlignHCenter) return Align::Center;
    if (h & Qt::AlignRight) return Align::Right;
    return Align::Left;
}

void Label::setOpaque(bool opaque) {
    if (!node_) return;
    node_->opaque = opaque;
    Access::applyPalette(*node_);
}

bool Label::opaque() const { return node_ && node_->opaque; }

// --- CommandButton -----------------------------------------------------------

namespace {
std::unique_ptr<Node> makeButton(Container& parent, Rect box, const std::string& caption) {
    auto* w = new WrapButton(captionText(caption));
    w->setAutoDefault(false);
    auto n = Access::child(parent, Kind::Button, w, box);
    n->caption = caption;
    std::weak_ptr<detail::FormCore> core = n->form;
    auto handler = n->click;
    QObject::connect(w, &QPushButton::clicked, w, [core, handler]() {
        if (auto c = core.lock()) detail::runGuarded(c, *handler);
    });
    return n;
}
}  // namespace

CommandButton::CommandButton(Container& parent, Rect box, const std::string& caption)
    : Widget(makeButton(parent, box, caption)) {}

void CommandButton::setCaption(const std::string& caption) {
    if (!node_) return;
    node_->caption = caption;
    if (auto* w = qobject_cast<QPushButton*>(node_->widget.data())) w->setText(captionText(caption));
}

std::string CommandButton::caption() const { return node_ ? node_->caption : std::string{}; }

void CommandButton::onClick(std::function<void()> handler) {
    if (node_) *node_->click = std::move(handler);
}

bool CommandButton::click() {
    if (!isShown()) return false;
    auto* w = qobject_cast<QPushButton*>(node_->widget.data());
    if (!w || !w->isEnabled()) return false;
    w->click();
    return true;
}

// --- ListBox -----------------------------------------------------------------

namespace {
std::unique_ptr<Node> makeList(Container& parent, Rect box) {
    auto* w = new QuietList();
    w->setSelectionMode(QAbstractItemView::SingleSelection);
    w->setUniformItemSizes(true);
    // Entries are cut at the box's edge as the designs' list boxes cut them:
    // no ellipsis, no horizontal scroll bar for padded names.
    w->setTextElideMode(Qt::ElideNone);
    w->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto n = Access::child(parent, Kind::List, w, box);
    {
        // The scroll bar takes its share of the box at every scale, so the
        // entries keep the room they have at 100 %.
        auto* style = new ScaledStyle(n->form->scale);
        style->setParent(w);
        w->setStyle(style);
        w->verticalScrollBar()->setStyle(style);
    }
    std::weak_ptr<detail::FormCore> core = n->form;
    auto handler = n->itemClick;
    auto fire = [core, handler](int row) {
        auto c = core.lock();
        if (!c || row < 0) return;
        detail::runGuarded(c, [handler, row]() {
            if (*handler) (*handler)(row);
        });
    };
    // A click on an entry; a selection moved by the keys (no button held) counts as a click too.
    QObject::connect(w, &QListWidget::itemClicked, w, [w, fire](QListWidgetItem* item) { fire(w->row(item)); });
    QObject::connect(w, &QListWidget::currentRowChanged, w, [fire](int row) {
        if (QGuiApplication::mouseButtons() == Qt::NoButton) fire(row);
    });
    return n;
}

QListWidget* listOf(const Node* n) { return n ? qobject_cast<QListWidget*>(n->widget.data()) : nullptr; }
}  // namespace

ListBox::ListBox(Container& parent, Rect box) : Widget(makeList(parent, box)) {}

void ListBox::clear() {
    if (auto* w = listOf(node_.get())) {
        const QSignalBlocker block(w);
        w->clear();
    }
}

void ListBox::addItem(const std::string& text) {
    if (auto* w = listOf(node_.get())) {
        const QSignalBlocker block(w);
        w->addItem(toQ(text));
    }
}

void ListBox::addItems(const std::vector<std::string>& texts) {
    if (auto* w = listOf(node_.get())) {
        QStringList list;
        list.reserve(static_cast<qsizetype>(texts.size()));
        for (const auto& t : texts) list << toQ(t);
        const QSignalBlocker block(w);
        w->addItems(list);
    }
}

std::vector<std::string> ListBox::items() const {
    std::vector<std::string> out;
    if (auto* w = listOf(node_.get())) {
        out.reserve(static_cast<std::size_t>(w->count()));
        for (int i = 0; i < w->count(); ++i) out.push_back(fromQ(w->item(i)->text()));
    }
    return out;
}

int ListBox::count() const {
    auto* w = listOf(node_.get());
    return w ? w->count() : 0;
}

int ListBox::selectedIndex() const {
    auto* w = listOf(node_.get());
    return w ? w->currentRow() : -1;
}

void ListBox::onClick(std::function<void(int)> handler) {
    if (node_) *node_->itemClick = std::move(handler);
}

bool ListBox::clickItem(int pos) {
    auto* w = listOf(node_.get());
    if (!w || !isShown() || pos < 0 || pos >= w->count()) return false;
    {
        const QSignalBlocker block(w);
        w->setCurrentRow(pos);
    }
    auto handler = node_->itemClick;
    detail::runGuarded(node_->form, [handler, pos]() {
        if (*handler) (*handler)(pos);
    });
    return true;
}

// --- Frame -------------------------------------------------------------------

namespace {
std::unique_ptr<Node> makeFrame(Container& parent, Rect box, const std::string& caption) {
    auto* w = new QGroupBox(toQ(caption));
    auto n = Access::child(parent, Kind::Frame, w, box);
    n->caption = caption;
    return n;
}
}  // namespace

Frame::Frame(Container& parent, Rect box, const std::string& caption)
    : Container(makeFrame(parent, box, caption)) {}

void Frame::setCaption(const std::string& caption) {
    if (!node_) return;
    node_->caption = caption;
    if (auto* w = qobject_cast<QGroupBox*>(node_->widget.data())) w->setTitle(toQ(caption));
}

std::string Frame::caption() const { return node_ ? node_->caption : std::string{}; }

// --- Image -------------------------------------------------------------------

Image::Image(Container& parent, Rect box) : Widget(Access::child(parent, Kind::Image, new PictureImage(), box)) {}

void Image::loadPicture(const std::filesystem::path& file) {
    QImage img = readPicture(file);
    if (auto* w = node_ ? static_cast<PictureImage*>(node_->widget.data()) : nullptr) {
        w->image = std::move(img);
        w->update();
    }
}

void Image::showLogo() {
    if (auto* w = node_ ? static_cast<PictureImage*>(node_->widget.data()) : nullptr) {
        w->image = logoImage();
        w->update();
    }
}

bool Image::hasPicture() const {
    auto* w = node_ ? static_cast<PictureImage*>(node_->widget.data()) : nullptr;
    return w && !w->image.isNull();
}

// --- Line --------------------------------------------------------------------

namespace {
std::unique_ptr<Node> makeLine(Container& parent, int x1, int y1, int x2, int y2, int borderWidth) {
    auto* w = new LineWidget();
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    w->width = std::max(1, borderWidth);
    // room for the pen's width on every side of the line
    const int pad = w->width / 2;
    const int left = std::min(x1, x2) - pad * kTwipsPerPixel;
    const int top = std::min(y1, y2) - pad * kTwipsPerPixel;
    const Rect box{left, top, std::abs(x2 - x1) + (2 * pad + 1) * kTwipsPerPixel,
                   std::abs(y2 - y1) + (2 * pad + 1) * kTwipsPerPixel};
    auto n = Access::child(parent, Kind::Line, w, box);
    const detail::FormCore& core = *n->form;
    w->width = std::max(1, static_cast<int>(std::lround(w->width * core.scale)));
    w->from = QPoint(detail::toPixels(core, x1 - left), detail::toPixels(core, y1 - top));
    w->to = QPoint(detail::toPixels(core, x2 - left), detail::toPixels(core, y2 - top));
    return n;
}
}  // namespace

Line::Line(Container& parent, int x1, int y1, int x2, int y2, int borderWidth)
    : Widget(makeLine(parent, x1, y1, x2, y2, borderWidth)) {}

// --- PictureBox --------------------------------------------------------------

namespace detail {
PictureBackdrop backdropOf(const QWidget* canvas) {
    const auto* c = static_cast<const Canvas*>(canvas);
    return c ? PictureBackdrop{c->picture, c->back, c->store} : PictureBackdrop{};
}

void pictureBackChanged(Node& n) {
    if (auto* c = static_cast<Canvas*>(n.host.data())) {
        c->back = toQColor(n.back);
        c->resetStore();
    }
}
}  // namespace detail

namespace {
std::unique_ptr<Node> makePicture(Container& parent, Rect box, bool border) {
    auto* frame = new PictureFrame();
    if (border) {
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        frame->setLineWidth(2);
    } else {
        frame->setFrameStyle(QFrame::NoFrame);
    }
    auto* canvas = new Canvas();
    canvas->setParent(frame);
    canvas->setMouseTracking(true);
    frame->canvas = canvas;
    auto n = Access::child(parent, Kind::Picture, frame, box);
    if (border) frame->setLineWidth(std::max(2, static_cast<int>(std::lround(2 * n->form->scale))));
    n->host = canvas;
    canvas->core = n->form;
    canvas->onMove = n->mouseMove;
    canvas->onDown = n->mouseDown;
    canvas->setGeometry(frame->contentsRect());
    canvas->setFont(detail::makeFont(n->font, n->form->scale));
    canvas->back = detail::toQColor(n->back);
    canvas->resetStore();
    canvas->show();
    return n;
}

void sendMouse(Canvas* c, QEvent::Type type, double x, double y) {
    const double k = c->scale();
    const QPointF local(x * k / kTwipsPerPixel, y * k / kTwipsPerPixel);
    const Qt::MouseButton button = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent ev(type, local, c->mapToGlobal(local), button, button, Qt::NoModifier);
    QCoreApplication::sendEvent(c, &ev);
}
}  // namespace

namespace {

// Whether the canvas holds the picture of `file` as it is on disk (`stamp`).
bool keepsPicture(const Canvas* c, const std::filesystem::path& file, const std::optional<FileStamp>& stamp) {
    return c && stamp && c->source && c->source->file == file && c->source->stamp == *stamp && !c->picture.isNull();
}

}  // namespace

PictureBox::PictureBox(Container& parent, Rect box, bool border) : Container(makePicture(parent, box, border)) {}

void PictureBox::loadPicture(const std::filesystem::path& file) {
    Canvas* c = node_ ? canvasOf(*node_) : nullptr;
    // Taken before reading: a change while the file is read shows at the next load.
    const auto stamp = FileStamp::of(file);
    if (keepsPicture(c, file, stamp)) {
        c->resetStore();
        return;
    }
    if (c) c->source.reset();
    QImage img = readPicture(file);
    if (c) {
        c->picture = std::move(img);
        if (stamp) c->source = Canvas::Source{file, *stamp};
        c->resetStore();
    }
}

void PictureBox::clearPicture() {
    if (Canvas* c = node_ ? canvasOf(*node_) : nullptr) {
        c->picture = QImage();
        c->source.reset();
        c->resetStore();
    }
}

void PictureBox::cls() {
    if (Canvas* c = node_ ? canvasOf(*node_) : nullptr) {
        c->resetStore();
        c->currentX = 0;
        c->currentY = 0;
    }
}

void PictureBox::setCurrentX(double twips) {
    if (Canvas* c = node_ ? canvasOf(*node_) : nullptr) c->currentX = twips;
}

void PictureBox::setCurrentY(double twips) {
    if (Canvas* c = node_ ? canvasOf(*node_) : nullptr) c->currentY = twips;
}

double PictureBox::currentX() const {
    Canvas* c = node_ ? canvasOf(*node_) : nullptr;
    return c ? c->currentX : 0;
}

double PictureBox::currentY() const {
    Canvas* c = node_ ? canvasOf(*node_) : nullptr;
    return c ? c->currentY : 0;
}

void PictureBox::circle(double x, double y, double r, std::optional<Color> color) {
    circles({Point{x, y}}, r, color);
}

void PictureBox::circles(const std::vector<Point>& centres, double r, std::optional<Color> color) {
    Canvas* c = node_ ? canvasOf(*node_) : nullptr;
    if (!c || centres.empty()) return;
    paintCircles(c->store, centres, r, detail::toQColor(color.value_or(node_->fore)), c->fill, c->scale());
    c->update();
}

void PictureBox::setFillColor(std::optional<Color> color) {
    if (Canvas* c = node_ ? canvasOf(*node_) : nullptr) {
        c->fill = color ? std::optional<QColor>(detail::toQColor(*color)) : std::nullopt;
    }
}

void PictureBox::print(const std::string& text) {
    Canvas* c = node_ ? canvasOf(*node_) : nullptr;
    if (!c) return;
    const double k = c->scale();
    const QFont font = detail::makeFont(node_->font, k);
    QPainter p(&c->store);
    p.setFont(font);
    p.setPen(detail::toQColor(node_->fore));
    const QFontMetricsF fm = p.fontMetrics();
    p.drawText(QPointF(c->currentX * k / kTwipsPerPixel, c->currentY * k / kTwipsPerPixel + fm.ascent()), toQ(text));
    p.end();
    c->currentX = 0;
    c->currentY += pixelsToTwips(fm.height()) / k;
    c->update();
}

void PictureBox::printNumber(double value) { print(printedNumber(value)); }

void PictureBox::onMouseMove(std::function<void(double, double)> handler) {
    if (node_) *node_->mouseMove = std::move(handler);
}

void PictureBox::onMouseDown(std::function<void(double, double)> handler) {
    if (node_) *node_->mouseDown = std::move(handler);
}

void PictureBox::onWheel(std::function<void(double, double, int, bool)> handler) {
    if (Canvas* c = node_ ? canvasOf(*node_) : nullptr) *c->onWheel = std::move(handler);
}

void PictureBox::turnWheel(double x, double y, int steps, bool ctrl) {
    Canvas* c = node_ && isShown() ? canvasOf(*node_) : nullptr;
    if (!c) return;
    const QPointF local(x / kTwipsPerPixel, y / kTwipsPerPixel);
    QWheelEvent ev(local, c->mapToGlobal(local), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
                   ctrl ? Qt::ControlModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(c, &ev);
}

void PictureBox::moveMouse(double x, double y) {
    if (Canvas* c = node_ && isShown() ? canvasOf(*node_) : nullptr) sendMouse(c, QEvent::MouseMove, x, y);
}

void PictureBox::pressMouse(double x, double y) {
    if (Canvas* c = node_ && isShown() ? canvasOf(*node_) : nullptr) {
        sendMouse(c, QEvent::MouseButtonPress, x, y);
    }
}

int PictureBox::pixelWidth() const {
    Canvas* c = node_ ? canvasOf(*node_) : nullptr;
    return c ? c->store.width() : 0;
}

int PictureBox::pixelHeight() const {
    Canvas* c = node_ ? canvasOf(*node_) : nullptr;
    return c ? c->store.height() : 0;
}

Color PictureBox::pixel(int px, int py) const {
    Canvas* c = node_ ? canvasOf(*node_) : nullptr;
    if (!c || !c->store.valid(px, py)) throw std::out_of_range("pixel outside the picture box");
    const QRgb v = c->store.pixel(px, py);
    return rgb(qRed(v), qGreen(v), qBlue(v));
}

std::string printedNumber(double value) {
    std::string digits;
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
        digits = std::to_string(static_cast<long long>(std::fabs(value)));
    } else {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15G", std::fabs(value));
        digits = buf;
        // "0.5" is printed ".5"
        if (digits.size() > 1 && digits[0] == '0' && digits[1] == '.') digits.erase(0, 1);
    }
    return (std::signbit(value) && value != 0 ? "-" : " ") + digits;
}

}  // namespace tabinowa::ui
