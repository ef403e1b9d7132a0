// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The review window (復習): the day's queue of the question bank by the
// memory of every answer: due questions first, then those answered wrong, then
// new ones, filtered by kind and prefecture. Self-judged with four grades or
// answered by choice; each answer updates the memory and sets the next review.
// Holds no file open: each question is read when shown and checked against
// the queue by its texts, so a question build in between is noticed.
#include <optional>
#include <string>
#include <vector>

#include "core/session/session.h"
#include "core/files/records.h"
#include "core/quiz/review.h"
#include "screens/answer_clock.h"
#include "screens/choice_panel.h"
#include "screens/window_manager.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/keys.h"

namespace tabinowa {

class frm2Fukusyu final : public Window {
public:
    frm2Fukusyu(Session& session, WindowManager& windows);
    ui::Form& form() override { return frm; }
    void load() override;

    void cmdAns_Click();
    // Grade 0..3: もう一度 / 難しい / 正解 / 簡単.
    void cmdGrade_Click(int grade);
    void lstKind_Click(int position);
    void lstKen_Click(int position);
    void cmdRetention_Click();
    void cmdToMain_Click();
    bool pickChoice(int position) { return choices.pick(position); }

    ui::Form frm;
    ui::Label lblTitle;
    ui::CommandButton cmdToMain;
    ui::Label lblKind;
    ui::ListBox lstKind;
    ui::Label lblKen;
    ui::ListBox lstKen;
    ui::Label lblCount;
    ui::Frame fraQs;
    ui::Label lblQs;
    ui::Label lblAns;
    ui::CommandButton cmdAns;
    AnswerModeSwitch answerMode;
    ui::CommandButton cmdRetention;
    ChoicePanel choices;
    std::array<ui::CommandButton, 4> cmdGrade;
    ui::Label lblKaisetu;
    ui::Keys keys;

    // What the window holds (read by tests).
    const ReviewQueue& queue() const { return queue_; }
    std::size_t position() const { return position_; }
    bool answerShown() const { return answerShown_; }

private:
    AnswerClock asked_;  // since the question was shown, and until the answer was asked for
    void rebuild();
    void showCurrent();
    void showDone();
    void choicePicked(const JudgedPick& pick);
    void answerWith(Outcome o);
    void showGrades(bool visible);
    std::string kindFilter() const;

    Session& session_;
    WindowManager& windows_;
    ReviewBank bank_;
    std::vector<std::string> kinds_;  // the kind list's entries after "すべて"
    std::vector<int> prefectures_;    // the prefecture list's codes after "すべて"
    ReviewFilter filter_;
    ReviewQueue queue_;
    std::size_t position_ = 0;
    std::optional<Mondai> current_;
    bool answerShown_ = false;
};

}  // namespace tabinowa
