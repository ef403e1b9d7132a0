// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The statistics window (統計): per kind and per prefecture the questions,
// how many were seen, the right rate and how many are mastered; charts of the
// answers of the last 30 days and of the questions due in the next 30.
#include <string>
#include <vector>

#include "core/session/session.h"
#include "core/quiz/review.h"
#include "screens/window_manager.h"
#include "ui/chart.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/keys.h"

namespace tabinowa {

// A table row in a fixed-pitch font: the name padded to 12 full-width
// places, then the numbers right-aligned.
std::string statLine(const StatRow& row);
std::string statHeader();

class frm2Toukei final : public Window {
public:
    frm2Toukei(Session& session, WindowManager& windows);
    ui::Form& form() override { return frm; }
    void load() override;

    void cmdKinds_Click();
    void cmdKen_Click();
    void cmdDays_Click();
    // True retention per kind and per month against the desired retention, and the time spent per day.
    void cmdRetention_Click();
    void cmdToMain_Click();

    ui::Form frm;
    ui::Label lblTitle;
    ui::CommandButton cmdToMain;
    ui::CommandButton cmdKinds;
    ui::CommandButton cmdKen;
    ui::CommandButton cmdDays;
    ui::CommandButton cmdRetention;
    ui::Label lblHeader;
    ui::ListBox lstTable;
    ui::BarChart chartBack;
    ui::BarChart chartAhead;
    ui::BarChart chartKinds;
    ui::BarChart chartMonths;
    ui::BarChart chartTime;
    ui::Label lblSummary;
    ui::Keys keys;

private:
    void showTable(const std::vector<StatRow>& rows);
    void showCharts(bool days, bool retention);
    Session& session_;
    WindowManager& windows_;
    std::vector<BankQuestion> bank_;
};

}  // namespace tabinowa
