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
};

}  // namespace tabinowa::ui
