// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The training screen: walks through the question deck one question at a
// time, shows answers and explanations, removes mastered questions and
// revives them all. Holds "問題.ran" open from its load until its return.
#include <cstdint>
#include <optional>

#include "core/session/session.h"
#include "core/files/records.h"
#include "core/quiz/questions.h"
#include "screens/answer_clock.h"
#include "screens/choice_panel.h"
#include "screens/window_manager.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/keys.h"

namespace tabinowa {

class frm2Sogo final : public Window {
public:
    frm2Sogo(Session& session, WindowManager& windows);
    ui::Form& form() override { return frm; }
    void load() override;

    void cmdAns_Click();
    void cmdDel_Click();
    // True when the questions were revived (not declined).
    bool cmdSaisei_Click();
    void cmdToMain_Click();
    void cmdHint_Click();

    ui::Form frm;
    ui::Label lblTitle;
    ui::CommandButton cmdToMain;
    ui::Frame Frame1;
    ui::Label lblQs;
    ui::CommandButton cmdHint;
    ui::Frame Frame2;
    ui::Label lblAns0;  // lblAns(0): answer and end messages
    ui::Label lblAns1;  // lblAns(1): hint
    ui::CommandButton cmdAns;
    ui::CommandButton cmdDel;
    ui::Label lblPercent;
    ui::Label lblKaisetu;
    ui::CommandButton cmdSaisei;
    ui::Label lblInyo;

    // Learning aids beside the screen's own controls: keys, answering by
    // choice, undo of the last removal, the count with its percentage.
    ui::Label lblProgress;
    // Once the answer is shown (judging oneself): the learner says right or
    // wrong (O / X), the memory keeps it for the review, and the next question follows.
    ui::CommandButton cmdRight;
    ui::CommandButton cmdWrong;
    AnswerModeSwitch answerMode;
    ChoicePanel choices;
    ui::Keys keys;
    // Answers by choice; removes the current question's last removal (Ctrl+Z).
    bool pickChoice(int position);
    void undoRemoval();
    bool canUndo() const { return undo_.has_value(); }
    // The learner's own verdict on the answer shown: remembered, then the next question.
    void judgeSelf(bool right);

    // The screen's state (read by tests).
    bool answerShown() const { return answerShown_; }
    std::int16_t screenRemovedCount() const { return screenRemoved_; }
    bool holdsQuestionFile() const { return file_.has_value(); }

private:
    void showQuestion();
    void offerHint();
    void setUpLearning();
    std::string legendText() const;
    void showLegend();
    void offerChoices();
    void choicePicked(const JudgedPick& pick);
    void removeAndRemember();
    void showProgress();
    void answerStep();
    void removeStep();
    void focusSafe();
    void offerSelfJudging();

    Session& session_;
    WindowManager& windows_;
    std::optional<QuestionFile> file_;
    Mondai current_;
    bool answerShown_ = false;
    std::int16_t screenActive_ = 0;
    std::int16_t screenRemoved_ = 0;

    struct Undo {
        int record = 0;
        bool counted = false;  // the removal raised the counts
        bool remembered = false;   // the memory took the removal
        std::string key;
        std::optional<Card> card;  // the memory before the removal
    };
    std::optional<Undo> undo_;
    AnswerClock asked_;  // since the question was shown, and until the answer was asked for
};

}  // namespace tabinowa
