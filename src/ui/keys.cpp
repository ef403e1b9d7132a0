// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/keys.h"

#include <algorithm>

#include <QPointer>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QFontMetrics>
#include <QShortcut>

#include "ui/internal.h"

namespace tabinowa::ui {

using detail::Access;

namespace {
constexpr const char* kLegendName = "tabinowa-legend";
}  // namespace

namespace {

bool isButtonKey(const QKeySequence& seq) {
    return seq == QKeySequence(Qt::Key_Space) || seq == QKeySequence(Qt::Key_Return) ||
           seq == QKeySequence(Qt::Key_Enter);
}

bool isArrowKey(const QKeySequence& seq) {
    return seq == QKeySequence(Qt::Key_Left) || seq == QKeySequence(Qt::Key_Right) ||
           seq == QKeySequence(Qt::Key_Up) || seq == QKeySequence(Qt::Key_Down);
}

// The control of `window` that has the keyboard, or nullptr.
QWidget* focusIn(QWidget* window) {
    QWidget* f = QApplication::focusWidget();
    return f && f->window() == window ? f : nullptr;
}

}  // namespace

struct Keys::Impl {
    std::shared_ptr<detail::FormCore> core;
    // Shared with the shortcuts, which live as long as the window.
    std::shared_ptr<int> fired = std::make_shared<int>(0);
};

Keys::Keys(Form& form) : d_(std::make_unique<Impl>()) { d_->core = Access::node(form).form; }

Keys::~Keys() = default;

void Keys::add(const std::string& keys, std::function<void()> handler) {
    QWidget* window = d_->core ? d_->core->window.data() : nullptr;
    if (!window) return;
    auto shared = std::make_shared<std::function<void()>>(std::move(handler));
    std::weak_ptr<detail::FormCore> core = d_->core;
    std::shared_ptr<int> fired = d_->fired;
    for (const QString& k : detail::toQ(keys).split(',', Qt::SkipEmptyParts)) {
        const QKeySequence seq(k.trimmed());
        const bool buttonKey = isButtonKey(seq);
        const bool arrow = isArrowKey(seq);
        auto* s = new QShortcut(seq, window);
        s->setContext(Qt::WindowShortcut);
        s->setAutoRepeat(false);
        const QPointer<QWidget> w = window;
        const auto run = [core, shared, fired, buttonKey, arrow, w]() {
            ++*fired;
            QWidget* f = w ? focusIn(w) : nullptr;
            // Space and Enter press the button that has the keyboard: the
            // window's own use of them is for when no button has it.
            if (buttonKey)
                if (auto* b = qobject_cast<QAbstractButton*>(f))
                    if (b->isVisible() && b->isEnabled()) {
                        b->click();
                        return;
                    }
            // The arrows belong to the list or map that has the keyboard (a
            // map or a list takes them before the window, see below): the
            // window's arrows act only from a button or from nowhere.
            if (arrow && f && !qobject_cast<QAbstractButton*>(f)) return;
            if (auto c = core.lock()) detail::runGuarded(c, *shared);
        };
        QObject::connect(s, &QShortcut::activated, s, run);
        QObject::connect(s, &QShortcut::activatedAmbiguously, s, run);
    }
}

bool Keys::press(const std::string& key) {
    QWidget* window = d_->core ? d_->core->window.data() : nullptr;
    if (!window || !window->isVisible()) return false;
    window->activateWindow();
    QApplication::setActiveWindow(window);
    QCoreApplication::processEvents();
    const QKeySequence seq(detail::toQ(key));
    if (seq.isEmpty()) return false;
    const QKeyCombination combo = seq[0];
    // The key may close the window, and this object with it (Esc returns to
    // the menu): what is needed afterwards is held here, not read through it.
    const std::shared_ptr<int> fired = d_->fired;
    const QPointer<QWidget> target = window->focusWidget() ? window->focusWidget() : window;
    const int before = *fired;
    QKeyEvent press(QEvent::KeyPress, combo.key(), combo.keyboardModifiers());
    QApplication::sendEvent(target, &press);
    if (target) {
        QKeyEvent release(QEvent::KeyRelease, combo.key(), combo.keyboardModifiers());
        QApplication::sendEvent(target, &release);
    }
    return *fired != before;
}

void addLegend(Form& form, const std::string& text) {
    auto& core = *Access::node(form).form;
    if (!core.window) return;
    // Below the client area, so that the window's own area keeps its size.
    auto* label = qobject_cast<QLabel*>(core.foot.data());
    if (!label) {
        label = new QLabel(core.window);
        label->setObjectName(kLegendName);
        label->resize(core.clientWidth, detail::toPixels(core, 300));
        label->setContentsMargins(6, 0, 6, 0);
        QFont f = label->font();
        f.setPointSizeF(9 * core.scale);
        label->setFont(f);
        label->setAutoFillBackground(true);
        QPalette pal = label->palette();
        pal.setColor(QPalette::Window, QColor(236, 236, 236));
        pal.setColor(QPalette::WindowText, QColor(48, 48, 48));
        label->setPalette(pal);
        label->show();
        core.foot = label;
        detail::layoutWindow(core);
    }
    label->setText(detail::toQ(text));
    // A legend wider than its window goes on to a second line rather than
    // being cut at the window's edge (fonts do not grow exactly with the scale).
    const QMargins m = label->contentsMargins();
    const int room = core.clientWidth - m.left() - m.right();
    const bool wraps = QFontMetrics(label->font()).horizontalAdvance(label->text()) > room;
    const int oneLine = detail::toPixels(core, 300);
    const int height = wraps ? std::max(2 * QFontMetrics(label->font()).lineSpacing() + 4, 2 * oneLine) : oneLine;
    label->setWordWrap(wraps);
    if (label->height() != height) {
        label->resize(core.clientWidth, height);
        detail::layoutWindow(core);
    }
}

std::string legend(const Form& form) {
    const auto& core = *Access::node(form).form;
    auto* label = qobject_cast<QLabel*>(core.foot.data());
    return label ? detail::fromQ(label->text()) : std::string{};
}

void setToolTip(Widget& w, const std::string& tip) {
    if (auto* q = Access::node(w).widget.data()) q->setToolTip(detail::toQ(tip));
}

std::string toolTip(const Widget& w) {
    auto* q = Access::node(w).widget.data();
    return q ? detail::fromQ(q->toolTip()) : std::string{};
}

void enterClicksFocusedButton(Form& form) {
    auto& core = *Access::node(form).form;
    if (!core.client) return;
    // autoDefault makes a focused push button take Return and Enter as a click
    // (outside a dialog no button is the default one, so nothing else changes).
    for (auto* b : core.client->findChildren<QPushButton*>()) b->setAutoDefault(true);
}

void describeKeys(Form& form, const std::vector<KeyTip>& tips, const std::string& legend) {
    for (const auto& t : tips) setToolTip(*t.widget, t.tip);
    addLegend(form, legend);
    enterClicksFocusedButton(form);
}

void setTabOrder(const std::vector<Widget*>& order) {
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget* a = Access::node(*order[i - 1]).widget.data();
        QWidget* b = Access::node(*order[i]).widget.data();
        if (a && b) QWidget::setTabOrder(a, b);
    }
}

void focus(Widget& w) {
    QWidget* q = Access::node(w).widget.data();
    if (!q) return;
    if (q->window()->isVisible()) {
        q->window()->activateWindow();
        QApplication::setActiveWindow(q->window());
    }
    q->setFocus(Qt::TabFocusReason);
}

bool hasFocus(const Widget& w) {
    QWidget* q = Access::node(w).widget.data();
    return q && q->hasFocus();
}

}  // namespace tabinowa::ui
