// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chart.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QWidget>

#include <algorithm>

#include "ui/internal.h"

namespace tabinowa::ui {

namespace {

class ChartWidget : public QWidget {
public:
    QString title;
    QStringList labels;
    std::vector<int> values;
    QColor bar = Qt::blue;
    QStringList tips;
    int axisTop = -1;  // -1: the largest value
    QString axisLabel;
    int reference = -1;
    QString referenceLabel;

    struct Layout {
        QRect plot;
        double step = 0;
        int top = 0;
    };
    Layout layout() const {
        const QFontMetrics fm(font());
        const int line = fm.height();
        Layout l;
        l.top = axisTop >= 0 ? axisTop : (values.empty() ? 0 : *std::max_element(values.begin(), values.end()));
        const QString top = axisTop >= 0 ? axisLabel : QString::number(l.top);
        const int axisX = 8 + std::max(fm.horizontalAdvance(top), fm.horizontalAdvance("0"));
        l.plot = QRect(axisX, line + 6, width() - axisX - 8, height() - 2 * line - 12);
        l.step = values.empty() ? 0 : static_cast<double>(l.plot.width()) / static_cast<double>(values.size());
        return l;
    }
    int barAt(int x, int y) const {
        const Layout l = layout();
        if (values.empty() || x < l.plot.left() || x > l.plot.right() || y < l.plot.top() || y > l.plot.bottom() + fm().height())
            return -1;
        const int i = static_cast<int>((x - l.plot.left()) / l.step);
        return i >= 0 && i < static_cast<int>(values.size()) ? i : -1;
    }
    QFontMetrics fm() const { return QFontMetrics(font()); }

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::ToolTip) {
            auto* h = static_cast<QHelpEvent*>(e);
            const int i = barAt(h->pos().x(), h->pos().y());
            if (i >= 0 && i < tips.size() && !tips[i].isEmpty()) QToolTip::showText(h->globalPos(), tips[i], this);
            else QToolTip::hideText();
            return true;
        }
        return QWidget::event(e);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.setPen(QColor(160, 160, 160));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        const QFontMetrics fm(font());
        const int line = fm.height();
        p.setPen(Qt::black);
        p.drawText(QRect(6, 2, width() - 12, line), Qt::AlignLeft | Qt::AlignVCenter, title);
        const Layout l = layout();
        const int maxValue = l.top;
        const QString top = axisTop >= 0 ? axisLabel : QString::number(maxValue);
        const QRect plot = l.plot;
        const int axisX = plot.left();
        p.setPen(QColor(100, 100, 100));
        p.drawLine(plot.bottomLeft(), plot.bottomRight());
        p.drawLine(plot.bottomLeft(), plot.topLeft());
        p.drawText(QRect(2, plot.top() - line / 2, axisX - 4, line), Qt::AlignRight | Qt::AlignVCenter, top);
        p.drawText(QRect(2, plot.bottom() - line / 2, axisX - 4, line), Qt::AlignRight | Qt::AlignVCenter, "0");
        if (reference >= 0 && maxValue > 0) {
            const int y = plot.bottom() - static_cast<int>(static_cast<double>(plot.height() - 2) * reference / maxValue);
            p.setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
            p.drawLine(plot.left(), y, plot.right(), y);
            p.setPen(QColor(200, 0, 0));
            p.drawText(QRect(plot.left() + 4, y - line, plot.width() - 8, line), Qt::AlignRight | Qt::AlignBottom,
                       referenceLabel);
        }
        if (values.empty()) return;
        const double step = l.step;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const int x = plot.left() + static_cast<int>(step * static_cast<double>(i)) + 1;
            const int w = std::max(1, static_cast<int>(step) - 2);
            if (maxValue > 0 && values[i] > 0) {
                const int v = std::min(values[i], maxValue);
                const int h = std::max(1, static_cast<int>(static_cast<double>(plot.height() - 2) * v / maxValue));
                p.fillRect(QRect(x, plot.bottom() - h, w, h), bar);
            }
            if (i < static_cast<std::size_t>(labels.size()) && !labels[static_cast<qsizetype>(i)].isEmpty()) {
                p.setPen(Qt::black);
                p.drawText(QRect(x - 30, plot.bottom() + 2, w + 60, line), Qt::AlignHCenter | Qt::AlignTop,
                           labels[static_cast<qsizetype>(i)]);
            }
        }
    }
};

ChartWidget* chartOf(detail::Node& n) { return static_cast<ChartWidget*>(n.widget.data()); }

}  // namespace

BarChart::BarChart(Container& parent, Rect box)
    : Widget(detail::Access::child(parent, detail::Kind::Label, new ChartWidget(), box)) {}

void BarChart::setBars(const std::string& title, const std::vector<std::string>& labels,
                       const std::vector<int>& values, Color bar) {
    auto* w = chartOf(*node_);
    if (!w) return;
    w->title = detail::toQ(title);
    w->labels.clear();
    for (const auto& l : labels) w->labels << detail::toQ(l);
    w->values = values;
    w->bar = detail::toQColor(bar);
    w->update();
}

void BarChart::setTips(const std::vector<std::string>& tips) {
    auto* w = chartOf(*node_);
    if (!w) return;
    w->tips.clear();
    for (const auto& t : tips) w->tips << detail::toQ(t);
}

void BarChart::setAxis(int top, const std::string& label) {
    auto* w = chartOf(*node_);
    if (!w) return;
    w->axisTop = top;
    w->axisLabel = detail::toQ(label);
    w->update();
}

void BarChart::setReference(int value, const std::string& label) {
    auto* w = chartOf(*node_);
    if (!w) return;
    w->reference = value;
    w->referenceLabel = detail::toQ(label);
    w->update();
}

std::string BarChart::tipAt(int x, int y) const {
    auto* w = node_ ? static_cast<ChartWidget*>(node_->widget.data()) : nullptr;
    if (!w) return {};
    const int i = w->barAt(x, y);
    return i >= 0 && i < w->tips.size() ? detail::fromQ(w->tips[i]) : std::string();
}

std::vector<int> BarChart::values() const {
    auto* w = node_ ? static_cast<ChartWidget*>(node_->widget.data()) : nullptr;
    return w ? w->values : std::vector<int>{};
}

}  // namespace tabinowa::ui
