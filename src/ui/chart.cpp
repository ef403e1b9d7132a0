// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chart.h"

#include <QPainter>
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

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.setPen(QColor(160, 160, 160));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        const QFontMetrics fm(font());
        const int line = fm.height();
        p.setPen(Qt::black);
        p.drawText(QRect(6, 2, width() - 12, line), Qt::AlignLeft | Qt::AlignVCenter, title);
        const int maxValue = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
        const QString top = QString::number(maxValue);
        const int axisX = 8 + fm.horizontalAdvance(top);
        const QRect plot(axisX, line + 6, width() - axisX - 8, height() - 2 * line - 12);
        p.setPen(QColor(100, 100, 100));
        p.drawLine(plot.bottomLeft(), plot.bottomRight());
        p.drawLine(plot.bottomLeft(), plot.topLeft());
        p.drawText(QRect(2, plot.top() - line / 2, axisX - 4, line), Qt::AlignRight | Qt::AlignVCenter, top);
        p.drawText(QRect(2, plot.bottom() - line / 2, axisX - 4, line), Qt::AlignRight | Qt::AlignVCenter, "0");
        if (values.empty()) return;
        const double step = static_cast<double>(plot.width()) / static_cast<double>(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            const int x = plot.left() + static_cast<int>(step * static_cast<double>(i)) + 1;
            const int w = std::max(1, static_cast<int>(step) - 2);
            if (maxValue > 0 && values[i] > 0) {
                const int h = std::max(1, static_cast<int>(static_cast<double>(plot.height() - 2) * values[i] / maxValue));
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

std::vector<int> BarChart::values() const {
    auto* w = node_ ? static_cast<ChartWidget*>(node_->widget.data()) : nullptr;
    return w ? w->values : std::vector<int>{};
}

}  // namespace tabinowa::ui
