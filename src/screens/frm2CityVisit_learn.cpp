// SPDX-License-Identifier: GPL-3.0-or-later
// The visit game's learning aids, kept apart from its own behaviour: keys,
// answering by choice (a pick scores exactly as the right or wrong button),
// and the memory of each judged answer.
#include "screens/frm2CityVisit.h"

namespace tabinowa {

void frm2CityVisit::setUpLearning() {
    cmdYes.onClick([this] { judgeAndRemember(true); });
    cmdNo.onClick([this] { judgeAndRemember(false); });
    // A pick is remembered by the step it stands for ("正解で次の問題（〇）" or "間違で次の問題（×）").
    choices.onPick([this](const JudgedPick& p) { choicePicked(p); }, false);
    answerMode.onChange([this] { offerChoices(); });

    // The main button: "解答を表示", or after a pick the one way on.
    keys.add("Space,Return,Enter", [this] {
        if (cmdAns.isShown()) cmdAns.click();
        else if (cmdYes.isShown() != cmdNo.isShown()) (cmdYes.isShown() ? cmdYes : cmdNo).click();
    });
    keys.add("O,Right", [this] { cmdYes.click(); });
    keys.add("X,Left", [this] { cmdNo.click(); });
    // The hint of the game: its four choices, to pick from.
    keys.add("H", [this] {
        if (!choices.open() && cmdAns.visible() && quiz_ && quiz_->current()) choices.offerAnyway(*quiz_->current());
    });
    keys.add("V", [this] { cmdVisit.click(); });
    keys.add("R", [this] { cmdStart0.click(); });
    keys.add("C", [this] { cmdColours.click(); });
    keys.add("J", [this] { cmdJapan.click(); });
    keys.add("Escape", [this] { cmdToMain.click(); });
    choices.addKeys(keys);

    ui::describeKeys(frm,
                     {{&cmdAns, "解答を表示（Space または Enter）"}, {&cmdYes, "正解で次の問題（O または →）"},
                      {&cmdNo, "間違で次の問題（X または ←）"}, {&cmdToMain, "メニューに戻る（Esc）"},
                      {&cmdVisit, "訪問する（V）"}, {&cmdStart0, "最初から挑戦（R）"},
                      {&cmdColours, "訪問済みを色分け（C）"}, {&cmdJapan, "全国の訪問率（J）"},
                      {&lstKen, "↑↓で都道府県を選ぶ"}, {&lstCity, "↑↓で市町村を選ぶ"},
                      {&zoom.view, "地図：＋／－で拡大縮小、矢印で移動"}},
                     "Space／Enter：解答を表示（ボタンにいるときはそのボタン）　O／→：正解　X／←：間違　"
                     "H：選択肢を出す　1～4：選択肢で答える　V：訪問する　R：最初から挑戦　C：色分け　J：全国の訪問率　"
                     "Tab：移動（リストは↑↓、地図は矢印と＋－）　Esc：メニューに戻る");
    // The design's tab order, then what this window adds after it.
    ui::setTabOrder({&cmdToMain, &cmdAns, &cmdYes, &cmdNo, &cmdStart0, &lstKen, &zoom.view, &lstCity, &cmdVisit,
                     &zoom.cmdZoomIn, &zoom.cmdZoomOut, &zoom.cmdWhole, &cmdColours, &cmdJapan, &answerMode.button});
}

void frm2CityVisit::offerChoices() {
    if (!quiz_ || !quiz_->current() || !cmdAns.visible()) {
        choices.hide();
        return;
    }
    choices.offerFor(*quiz_->current());
}

void frm2CityVisit::choicePicked(const JudgedPick& pick) {
    choices.hide();
    lblAns.setCaption(pick.verdict);
    cmdAns.setVisible(false);
    // Only the step the pick stands for leads on.
    cmdYes.setVisible(pick.right);
    cmdNo.setVisible(!pick.right);
    // The keyboard on the one way on, not where the hidden choice leaves it.
    (pick.right ? cmdYes : cmdNo).setFocus();
    cmdVisit.setVisible(false);
    lblVisit.setCaption("");
    if (quiz_) lblInyo.setCaption(quiz_->source());
    lblMsg2.setCaption("");
}

void frm2CityVisit::judgeAndRemember(bool right) {
    if (!quiz_ || !quiz_->current()) return;
    const auto cursor = session_.quiz.visitCursor;
    // The answer and its memory are one step: a right answer's memory goes
    // with the point file through the journal (both or neither, even across
    // a crash); a wrong answer writes no file of the game, and its memory
    // goes in after it. Points too large: nothing scored, nothing remembered.
    const auto done = session_.memory.step(
        MemoryPart::answer(*quiz_->current(), right ? Outcome::Good : Outcome::Again, activity::kVisit, asked_.seconds()),
        session_.today(), [&] {
            if (right) cmdYes_Click(); else cmdNo_Click();
            return session_.quiz.visitCursor != cursor;
        });
    // The step went through; should the memory not have taken it, the window says so once.
    if (done.problem) lblMinryoku.setCaption(*done.problem);
}

}  // namespace tabinowa
