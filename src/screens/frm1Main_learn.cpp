// SPDX-License-Identifier: GPL-3.0-or-later
// The main menu's keyboard order and its block for the review and the statistics.
#include "screens/frm1Main.h"

#include "core/files/error.h"
#include "screens/frm2Fukusyu.h"
#include "core/quiz/review.h"

namespace tabinowa {

void frm1Main::setUpLearning() {
    cmdFukusyu.setFont({"ＭＳ Ｐゴシック", 14.25, true});
    cmdToukei.setFont({"ＭＳ Ｐゴシック", 12, true});
    lblFukusyu.setForeColor(0x00004000);
    lblFukusyu.setAlignment(ui::Align::Center);
    cmdFukusyu.onClick([this] { cmdFukusyu_Click(); });
    cmdToukei.onClick([this] { cmdToukei_Click(); });
    ui::setToolTip(cmdFukusyu, "覚えるべき問題を、期限の来たもの・間違えたもの・新しいものの順に（R）");
    ui::setToolTip(cmdToukei, "種類別・都道府県別の成績と、日ごとのグラフ（S）");
    // Top to bottom on the left, then the right column, then the end.
    ui::setTabOrder({&cmdCity, &cmdSogo, &cmdTizu, &cmdFukusyu, &cmdToukei, &cmdDoko, &cmdEnd});
    ui::enterClicksFocusedButton(frm);
    keys.add("R", [this] { cmdFukusyu.click(); });
    keys.add("S", [this] { cmdToukei.click(); });
    ui::addLegend(frm, "Tab／Shift+Tab：ボタンの移動　Enter：押す　R：復習　S：統計　F1：遊び方");
    // The keyboard starts on the first button of the order.
    ui::focus(cmdCity);
}

void frm1Main::showDueCount() {
    try {
        // From the memory alone: the bank (tens of megabytes) is not read.
        lblFukusyu.setCaption("今日の復習\u3000" + std::to_string(session_.memory.book().dueCount(session_.today())) + "問");
    } catch (const FileError& e) {
        lblFukusyu.setCaption("");
        lblStatus.setCaption(e.what());
    }
}

void frm1Main::cmdFukusyu_Click() {
    takeDeck();
    session_.setStartupFlag();
    windows_.showReview();
    windows_.unload(WindowId::Main);
}

void frm1Main::cmdToukei_Click() {
    takeDeck();
    session_.setStartupFlag();
    windows_.showStats();
}

}  // namespace tabinowa
