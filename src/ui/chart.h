// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A bar chart drawn with QPainter: a title, one bar per value with its
// label under every few bars, and the largest value on the axis.
#include <string>
#include <vector>

#include "ui/form.h"
#include "ui/types.h"

namespace tabinowa::ui {

class BarChart : public Widget {
public:
    BarChart(Container& parent, Rect box);
    // `labels` has one entry per value ("" leaves a bar unlabelled).
    void setBars(const std::string& title, const std::vector<std::string>& labels, const std::vector<int>& values,
                 Color bar);
    std::vector<int> values() const;
    // A tooltip for each bar (its numbers), shown when the pointer rests on it.
    void setTips(const std::vector<std::string>& tips);
    // The axis's top: `top` (instead of the largest value) labelled `label`.
    void setAxis(int top, const std::string& label);
    // A dashed line across the chart at `value`, labelled (e.g. the desired retention).
    void setReference(int value, const std::string& label);
    // The tooltip of the bar under a point in pixels of the chart ("" for none).
    std::string tipAt(int x, int y) const;
};

}  // namespace tabinowa::ui
