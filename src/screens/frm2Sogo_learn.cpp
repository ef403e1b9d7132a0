// SPDX-License-Identifier: GPL-3.0-or-later
// The training screen's learning aids, kept apart from its own behaviour:
// keys, answering by choice, the memory of each judged answer and removal,
// undo of the last removal, and the count against the total.
#include "screens/frm2Sogo.h"

#include "core/quiz/review.h"

namespace tabinowa {

void frm2Sogo::setUpLearning() {
    lblProgress.setForeColor(0x00800000);
    cmdDel.onClick([this] { removeAndRemember(); });
    cmdSaisei.onClick([this] {
        // Declined, nothing was revived: the undo and the count stay.
        if (!cmdSaisei_Click()) return;
        undo_.reset();
        lblProgress.setCaption("");
    });
    choices.onPick([this](const JudgedPick& p) { choicePicked(p); }, true);
    choices.setActivity(activity::kTraining);
    answerMode.onChange([this] {
        if (answerMode.byChoice()) offerChoices();
        else {
            choices.hide();
            if (!answerShown_ && cmdAns.visible()) offerHint();
        }
        offerSelfJudging();
        showLegend();
    });

    cmdRight.onClick([this] { judgeSelf(true); });
    cmdWrong.onClick([this] { judgeSelf(false); });
    cmdRight.setVisible(false);
    cmdWrong.setVisible(false);
    keys.add("O", [this] { cmdRight.click(); });
    keys.add("X", [this] { cmdWrong.click(); });

    keys.add("Space,Return,Enter", [this] { cmdAns.click(); });
    keys.add("H", [this] { cmdHint.click(); });
    keys.add("Delete", [this] { cmdDel.click(); });
    keys.add("Escape", [this] { cmdToMain.click(); });
    keys.add("Ctrl+Z", [this] { undoRemoval(); });
    choices.addKeys(keys);

    ui::describeKeys(frm,
                     {{&cmdAns, "解答を表示／次の問題（Space または Enter）"}, {&cmdHint, "ヒント（H）"},
                      {&cmdDel, "この問題を消去（Delete）　元に戻す：Ctrl+Z"}, {&cmdToMain, "メニューへ戻る（Esc）"},
                      {&cmdSaisei, "消去済み問題を、全て復活する（F8）"},
                      {&cmdRight, "正解だった：復習に覚えて次の問題へ（O）"},
                      {&cmdWrong, "間違えた：復習に覚えて次の問題へ（X）"}},
                     legendText());
    keys.add("F8", [this] { cmdSaisei.click(); });
}

// The keys that do something in the mode chosen: no hint while answering by choice.
std::string frm2Sogo::legendText() const {
    return std::string("Space／Enter：解答を表示・次の問題（ボタンにいるときはそのボタン）　") +
           (answerMode.byChoice() ? "1～4：選択肢で答える　" : "H：ヒント　O／X：正解／間違（解答のあと）　") +
           "Delete：消去　Ctrl+Z：消去を元に戻す　F8：全て復活　Esc：メニューへ戻る　Tab：ボタンの移動";
}

void frm2Sogo::showLegend() { ui::addLegend(frm, legendText()); }

void frm2Sogo::showProgress() {
    lblProgress.setCaption(progressLine(screenRemoved_, session_.quiz.totalCount));
}

void frm2Sogo::offerChoices() {
    if (answerShown_ || !file_ || !cmdAns.visible()) {
        choices.hide();
        return;
    }
    if (choices.offerFor(current_)) {
        // The hint would show the same four choices under the buttons.
        cmdHint.setVisible(false);
        lblAns1.setCaption("");
    }
}

bool frm2Sogo::pickChoice(int position) { return choices.pick(position); }

void frm2Sogo::choicePicked(const JudgedPick& pick) {
    // The pick is in the memory already, or the memory could not take it:
    // then the reason follows the explanation, once.
    lblAns0.setCaption(pick.verdict);
    lblKaisetu.setCaption(withProblem(pick.explanation, pick.memoryProblem));
    cmdDel.setVisible(true);
    cmdHint.setVisible(false);
    cmdAns.setCaption("次の問題");
    answerShown_ = true;
    // Off the marked choice: Enter leads on.
    cmdAns.setFocus();
}

void frm2Sogo::removeAndRemember() {
    if (!file_) return;
    const int record = session_.quiz.entry(session_.quiz.trainingCursor);
    const std::int16_t removedBefore = screenRemoved_;
    const bool flaggedBefore = file_->get(record).removed();
    // The record's flag and the question's memory change in one step.
    const auto done = session_.memory.step(MemoryPart::answer(current_, Outcome::Mastered, activity::kTraining, asked_.seconds()),
                                           session_.today(), [&] {
                                               cmdDel_Click();
                                               return file_->get(record).removed();
                                           });
    if (!file_->get(record).removed()) return;  // nothing was removed
    offerSelfJudging();  // a removed question is mastered: no verdict on it
    const bool counted = screenRemoved_ != removedBefore;
    if (!flaggedBefore || counted) {
        Undo undo{record, counted};
        if (done.change) {
            undo.remembered = true;
            undo.key = done.change->key;
            undo.card = done.change->card;
        }
        undo_ = undo;
    }
    showProgress();
    lblAns1.setCaption("この問題を消去しました（Ctrl+Z で元に戻します）。");
    // The removal went through; should the memory not have taken it, the window says so once.
    if (done.problem) lblAns1.setCaption(lblAns1.caption() + *done.problem);
}

void frm2Sogo::offerSelfJudging() {
    // Only after the answer asked for (not a pick, which judged already),
    // while judging oneself, and not on a removed question.
    const bool offer = file_ && answerShown_ && asked_.recallSeconds() && cmdAns.isShown() && !answerMode.byChoice() &&
                       !current_.removed();
    cmdRight.setVisible(offer);
    cmdWrong.setVisible(offer);
}

void frm2Sogo::judgeSelf(bool right) {
    if (!cmdRight.isShown() || !answerShown_ || !file_) return;
    const auto problem = session_.memory
                             .record(current_, right ? Outcome::Good : Outcome::Again, session_.today(),
                                     activity::kTraining, asked_.recallSeconds())
                             .problem;
    asked_.forgetAnswer();
    cmdAns_Click();  // on to the next question
    if (problem) lblAns1.setCaption(*problem);
    else lblAns1.setCaption(right ? "正解として覚えました。" : "間違いとして覚えました。復習で出します。");
}

void frm2Sogo::undoRemoval() {
    if (!undo_ || !file_) return;
    const Undo undo = *undo_;
    // One step: the flag's byte back to 0 and the question's memory as it was.
    auto unmark = [&] {
        file_->unmarkRemoved(undo.record, session_.memory.companion());
        return true;
    };
    std::optional<std::string> problem;
    if (undo.remembered) problem = session_.memory.step(MemoryPart::restore(undo.key, undo.card), session_.today(), unmark).problem;
    else unmark();
    if (undo.counted) {
        --screenRemoved_;
        session_.quiz.removedCount = screenRemoved_;
    }
    const bool sameQuestion = session_.quiz.entry(session_.quiz.trainingCursor) == undo.record;
    undo_.reset();
    if (sameQuestion) current_.Syokyo = 0;
    lblPercent.setCaption(achievementLine(screenRemoved_, session_.quiz.totalCount, true));
    showProgress();
    // The question on screen can be removed again.
    if (sameQuestion && answerShown_ && cmdAns.visible()) cmdDel.setVisible(true);
    lblAns1.setCaption("消去を元に戻しました。" + problem.value_or(""));
    offerSelfJudging();
}

}  // namespace tabinowa
