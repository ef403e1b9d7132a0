// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/frm2Sogo.h"

#include "screens/window_frame.h"

#include <string>

namespace tabinowa {

namespace {
constexpr ui::Color kRed = 0x000000FF;
constexpr ui::Color kBlue = 0x00FF0000;
constexpr ui::Color kDarkBlue = 0x00800000;
constexpr ui::Color kLightCyan = 0x00FFFFC0;
constexpr ui::Color kGrey = 0x00808080;

const char* const kShowAnswer = "解答を表示";
const char* const kNext = "次の問題";
}  // namespace

frm2Sogo::frm2Sogo(Session& session, WindowManager& windows)
    : frm("クイズのトレーニング－「コモレビ舎」", 12795, 8655, ui::StartPosition::CenterScreen),
      lblTitle(frm, {3120, 240, 4455, 735}, "クイズのトレーニング"),
      cmdToMain(frm, {10680, 240, 1815, 735}, "メニューへ戻る"),
      Frame1(frm, {240, 1200, 10935, 2175}, "問題"),
      lblQs(Frame1, {240, 240, 10455, 1815}),
      cmdHint(frm, {11520, 2760, 975, 615}, "ヒント"),
      Frame2(frm, {240, 3600, 12375, 1935}, "解答"),
      lblAns0(Frame2, {240, 240, 5895, 1575}),
      lblAns1(Frame2, {6360, 240, 5895, 1575}),
      cmdAns(frm, {2640, 5760, 3975, 855}, kShowAnswer),
      cmdDel(frm, {10680, 5640, 1815, 495}, "この問題を、消去する"),
      lblPercent(frm, {10680, 6240, 1815, 855}),
      lblKaisetu(frm, {480, 6840, 9735, 1695}),
      cmdSaisei(frm, {11040, 7200, 1575, 735}, "消去済み問題を、全て復活する"),
      lblInyo(frm, {11160, 8160, 1455, 375}),
      // Our count beside the achievement line, left of it.
      lblProgress(frm, {6840, 6240, 3720, 555}),
      // Right of the answer button, above our count: the design's controls stay where they are.
      cmdRight(frm, {6840, 5700, 1800, 495}, "〇 正解（O）"),
      cmdWrong(frm, {8760, 5700, 1800, 495}, "× 間違（X）"),
      answerMode(frm, {240, 360, 2655, 495}, session, "training"),
      choices(Frame2, {6360, 180, 5895, 1695}, answerMode, session),
      keys(frm),
      session_(session),
      windows_(windows) {
    setUpTitle(lblTitle, {"HG創英角ﾎﾟｯﾌﾟ体", 20.25, false});
    lblTitle.setAlignment(ui::Align::Center);
    lblQs.setFont({"ＭＳ Ｐ明朝", 14.25, true});
    lblQs.setForeColor(ui::paletteColor(0));
    Frame2.setForeColor(kBlue);
    lblAns0.setFont({"ＭＳ Ｐ明朝", 14.25, true});
    lblAns0.setForeColor(kBlue);
    lblAns1.setFont({"ＭＳ Ｐ明朝", 12, false});
    lblAns1.setForeColor(kBlue);
    cmdAns.setFont({"ＭＳ Ｐゴシック", 14.25, true});
    cmdAns.setFaceColor(kLightCyan);
    lblPercent.setForeColor(kRed);
    lblKaisetu.setFont({"ＭＳ Ｐゴシック", 11.25, false});
    lblKaisetu.setForeColor(kDarkBlue);
    lblInyo.setForeColor(kGrey);

    cmdAns.onClick([this] { cmdAns_Click(); });
    cmdDel.onClick([this] { cmdDel_Click(); });
    cmdSaisei.onClick([this] { cmdSaisei_Click(); });
    cmdHint.onClick([this] { cmdHint_Click(); });
    setUpWayBack(frm, cmdToMain, [this] { cmdToMain_Click(); }, [this](const std::string& message) { lblQs.setCaption(message); });
    setUpLearning();
}

// The question at the training cursor becomes the current record and is shown.
void frm2Sogo::showQuestion() {
    const int record = session_.quiz.entry(session_.quiz.trainingCursor);
    current_ = file_->get(record);
    asked_.start();
    lblQs.setCaption(questionText(current_));
}

void frm2Sogo::offerHint() { cmdHint.setVisible(hasHint(current_)); }

void frm2Sogo::load() {
    screenActive_ = session_.quiz.startupActiveCount;
    screenRemoved_ = session_.quiz.removedCount;
    cmdDel.setVisible(false);
    answerShown_ = false;
    // Until the question is on screen, nothing leads on but the return button.
    cmdAns.setVisible(false);
    cmdHint.setVisible(false);
    file_.emplace(session_.io, session_.folders);
    lblPercent.setCaption(achievementLine(screenRemoved_, session_.quiz.totalCount, false));
    showProgress();
    if (screenActive_ == 0 || session_.quiz.deckLength == 0) {
        lblQs.setCaption(
            "★全てのデータが消去されています★\r\n"
            "　　画面右下の復活ボタンをクリックしてください");
        return;
    }
    showQuestion();
    lblAns0.setCaption("");
    lblAns1.setCaption("");
    answerShown_ = false;
    cmdAns.setVisible(true);
    offerHint();
    offerChoices();
    // The window opens with the keyboard on its main button, not on the way back.
    cmdAns.setFocus();
}

void frm2Sogo::cmdAns_Click() {
    answerStep();
    focusSafe();
}

void frm2Sogo::answerStep() {
    if (!file_) return;
    choices.hide();
    if (!answerShown_) {
        lblAns0.setCaption(current_.Kotae);
        lblKaisetu.setCaption(current_.Kaisetu);
        cmdDel.setVisible(true);
        cmdHint.setVisible(false);
        cmdAns.setCaption(kNext);
        answerShown_ = true;
        asked_.answerAsked();
        offerSelfJudging();
        return;
    }
    cmdAns.setCaption(kShowAnswer);
    answerShown_ = false;
    offerSelfJudging();
    auto& quiz = session_.quiz;
    ++quiz.trainingCursor;
    lblAns0.setCaption("");
    lblAns1.setCaption("");
    lblKaisetu.setCaption("");
    cmdDel.setVisible(false);
    if (quiz.trainingCursor > quiz.deckLength) {
        lblQs.setCaption("お疲れ様でした。全ての問題を終了しました。");
        lblAns0.setCaption("いったんメニューに戻り、再度挑戦してください");
        quiz.trainingCursor = 1;
        cmdAns.setVisible(false);
        cmdHint.setVisible(false);
        lblInyo.setCaption("");
        answerShown_ = true;
        return;
    }
    // Should the record not be readable, nothing leads on but the return button.
    cmdAns.setVisible(false);
    cmdHint.setVisible(false);
    showQuestion();
    cmdAns.setVisible(true);
    lblInyo.setCaption(sourceLine(current_));
    offerHint();
    offerChoices();
}

void frm2Sogo::cmdDel_Click() {
    removeStep();
    focusSafe();
}

void frm2Sogo::removeStep() {
    if (!file_) return;
    const int record = session_.quiz.entry(session_.quiz.trainingCursor);
    // A question removed before (shown again after the deck wrapped) is not
    // counted twice: the count stays true to the file.
    const bool alreadyRemoved = file_->get(record).removed();
    // a removal remembered for this step goes into the same change
    file_->markRemoved(record, session_.memory.companion());
    current_.Syokyo = 1;
    if (!alreadyRemoved) {
        ++screenRemoved_;
        session_.quiz.removedCount = screenRemoved_;
    }
    lblPercent.setCaption(achievementLine(screenRemoved_, session_.quiz.totalCount, true));
    cmdDel.setVisible(false);
    if (screenRemoved_ == session_.quiz.totalCount) {
        lblQs.setCaption(
            "！　おめでとう\r\n"
            "　　　全問題クリアです　！");
        lblAns0.setCaption("画面右下の復活ボタンをクリックすると、最初からできます");
        cmdAns.setVisible(false);
        cmdHint.setVisible(false);
    }
}

bool frm2Sogo::cmdSaisei_Click() {
    if (!windows_.confirm(frm, "消去済みの問題" + std::to_string(screenRemoved_) +
                                   "件を全て復活します（達成率は0％に戻ります）。\n全て復活しますか？")) {
        focusSafe();
        return false;
    }
    // Every question back, and no question's memory left mastered, in one step.
    const auto done = session_.memory.step(MemoryPart::reviveAll(), session_.today(), [&] {
        reviveAll(session_.io, session_.folders, session_.quiz.totalCount, session_.memory.companion());
        return true;
    });
    lblAns1.setCaption(done.problem.value_or(""));
    // The file was replaced: read on from the new one. Should it not open,
    // the screen's actions go with the old handle and only the return is left.
    file_.reset();
    cmdSaisei.setVisible(false);
    cmdAns.setVisible(false);
    cmdDel.setVisible(false);
    cmdHint.setVisible(false);
    cmdToMain.setFocus();
    file_.emplace(session_.io, session_.folders);
    lblPercent.setCaption("全てのデータをアクティブに復活しました。一度終了してから、再開してください。");
    return true;
}

// Keyboard focus after a button: the answer button while it is there, never revival.
void frm2Sogo::focusSafe() {
    if (cmdAns.isShown()) cmdAns.setFocus();
    else cmdToMain.setFocus();
}

void frm2Sogo::cmdHint_Click() { lblAns1.setCaption(hintText(current_, session_.random)); }

void frm2Sogo::cmdToMain_Click() {
    file_.reset();
    windows_.returnToMenu(WindowId::Sogo);
}

}  // namespace tabinowa
