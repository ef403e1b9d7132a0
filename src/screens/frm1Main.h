// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main menu: the start-up window. Its load step sets the three
// descriptions and, on the first showing in a run only, builds the question
// deck, or takes the one built ahead once the menu has been drawn.
#include <optional>
#include <string>

#include "core/session/session.h"
#include "screens/learner_fit.h"
#include "screens/window_manager.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/keys.h"

namespace tabinowa {

// The last line of the visit game's description: the count of municipalities
// the game holds ("全国１７４１の市町村をクリアーしよう"), or no count when unknown.
std::string visitGoal(std::optional<long long> municipalities);

class frm1Main final : public Window {
public:
    frm1Main(Session& session, WindowManager& windows);
    ui::Form& form() override { return frm; }
    void load() override;

    void cmdEnd_Click();
    void cmdSogo_Click();
    void cmdCity_Click();
    void cmdTizu_Click();
    void mnuAsa_Click();
    void mnuHelp_Click();
    void mnuKankyo_Click();

    ui::Form frm;
    // in tab order
    ui::CommandButton cmdEnd;
    ui::Label Label1;
    ui::CommandButton cmdSogo;
    ui::CommandButton cmdCity;
    ui::Label lblTraining;
    ui::Label lblVisit;
    ui::CommandButton cmdTizu;
    ui::Label lblTizu;
    ui::Image Image1;
    // Status line: failures and notices of this window.
    ui::Label lblStatus;
    ui::Menu mnuInfo;
    ui::MenuItem mnuAsa;
    ui::MenuItem mnuHelp;  // "遊び方" (F1)
    ui::MenuItem mnuKankyo;

    // "どこでしょう": the map quiz, opened beside the menu as the map is.
    void cmdDoko_Click();
    ui::CommandButton cmdDoko{frm, {9960, 3300, 2130, 975}, "どこでしょう"};
    // The review and the statistics, in a block of their own at the right.
    ui::CommandButton cmdFukusyu;
    ui::Label lblFukusyu;  // "今日の復習　N問"
    ui::CommandButton cmdToukei;
    ui::Keys keys;
    void cmdFukusyu_Click();
    void cmdToukei_Click();

private:
    // Takes the deck built ahead, if it was not taken yet (a failure is told in the status line).
    void takeDeck();
    void setUpLearning();
    void showDueCount();

    Session& session_;
    WindowManager& windows_;
    // The daily fit of the FSRS weights, started once the menu is on screen.
    LearnerFit dailyFit_;
};

}  // namespace tabinowa
