// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/frm9Kankyo.h"

#include "core/build/builds.h"
#include "core/files/error.h"
#include "core/files/journal.h"
#include "core/files/prefectures.h"
#include "core/files/visit_state.h"
#include "core/files/records.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "ui/display_scale.h"
#include "ui/keys.h"

namespace tabinowa {

frm9Kankyo::frm9Kankyo(Session& session, WindowManager& windows)
    // Taller than the design's window: the fit of the weights sits below its controls.
    : frm("環境作成", 6060, 5310, ui::StartPosition::SystemDefault),
      cmdStoR(frm, {360, 840, 1815, 615}, "ランダムファイル作成"),
      // Taller than one line so that a failure message can be read whole.
      lblMsg1(frm, {600, 120, 5055, 690}),
      cmdToMain(frm, {4200, 840, 1215, 615}, "メインへ"),
      cmdCity(frm, {3000, 1920, 1935, 615}, "市町村ランダムファイル作成"),
      lblScale(frm, {360, 2850, 2940, 615}),
      cmdScaleDown(frm, {3480, 2850, 735, 495}, "－"),
      cmdScaleUp(frm, {4320, 2850, 735, 495}, "＋"),
      cmdFit(frm, {360, 1920, 2400, 615}, "重みをあなたに合わせる"),
      lblFit(frm, {360, 3600, 5340, 1035}),
      cmdFitReset(frm, {360, 4680, 2400, 495}, "標準の重みに戻す"),
      // beside the reset of the weights, where the fit leaves room
      cmdRestore(frm, {3000, 4680, 2700, 495}, "中断された変更を取り消す"),
      // where the reset of the weights stands: weights are of no use while the memory cannot be read
      cmdMemory(frm, {360, 4680, 2400, 495}, "記憶を作り直す"),
      session_(session),
      windows_(windows),
      fit_(session, frm, [this](const std::string& text) { lblFit.setCaption(text); }) {
    cmdStoR.onClick([this] { cmdStoR_Click(); });
    cmdToMain.onClick([this] { cmdToMain_Click(); });
    cmdCity.onClick([this] { cmdCity_Click(); });
    cmdScaleDown.onClick([this] { cmdScale_Click(-10); });
    cmdScaleUp.onClick([this] { cmdScale_Click(10); });
    cmdFit.onClick([this] { cmdFit_Click(); });
    cmdFitReset.onClick([this] { cmdFitReset_Click(); });
    ui::setToolTip(cmdFit, "これまでの解答から、あなたの記憶に合う重みを計算します（数秒かかります）");
    cmdRestore.onClick([this] { cmdRestore_Click(); });
    cmdMemory.onClick([this] { cmdMemory_Click(); });
    ui::setToolTip(cmdMemory, "読めなくなった記憶のファイルを別の名前にして残し、記憶を新しく始めます");
    showScale();
    showRestore();
    showMemoryRepair();
    frm.onCloseBox([this] { cmdToMain_Click(); });
    frm.setErrorSink([this](const std::string& message) { say(message); });
    frm.run([this] { lblFit.setCaption(LearnerFit::summary(session_)); });
}

// A build replaces files that an open activity holds or reads; replacing them
// under it would lose its next writes (a removal, a visit), so the activity
// has to be closed first.
void frm9Kankyo::cmdStoR_Click() {
    if (windows_.isLoaded(WindowId::Sogo) || windows_.isLoaded(WindowId::CityVisit)) {
        say("トレーニングかミチクサの画面が開いています。閉じてから作成してください。");
        return;
    }
    if (!windows_.confirm(frm, questionBuildQuestion())) return;
    say(buildQuestionFile(session_, [this](const std::string& q) { return confirmLoss(q); }));
    showRestore();
}

void frm9Kankyo::cmdCity_Click() {
    if (windows_.isLoaded(WindowId::CityVisit) || windows_.isLoaded(WindowId::Tizu)) {
        say("ミチクサか市町村地図の画面が開いています。閉じてから作成してください。");
        return;
    }
    if (!windows_.confirm(frm, cityBuildQuestion())) return;
    say(buildCityFiles(session_, [this](const std::string& q) { return confirmLoss(q); }));
    showRestore();
}

// A message in its label at the top; one too long for it goes beneath the
// window's controls, the window made taller until it is whole.
void frm9Kankyo::say(const std::string& text) {
    constexpr ui::Rect kBox{600, 120, 5055, 690};
    constexpr int kHeight = 5310, kBelow = 5250, kMargin = 120;
    frm.setClientHeight(kHeight);
    lblMsg1.setGeometry(kBox);
    lblMsg1.setCaption(text);
    if (lblMsg1.showsWhole()) return;
    const ui::Rect below{360, kBelow, 6060 - 2 * 360, kBox.height};
    lblMsg1.setGeometry(below);
    const int need = lblMsg1.wholeHeight() + 60;
    lblMsg1.setGeometry({below.left, below.top, below.width, need});
    frm.setClientHeight(kBelow + need + kMargin);
}

bool frm9Kankyo::confirmLoss(const std::string& question) { return windows_.confirm(frm, question); }

void frm9Kankyo::showRestore() { cmdRestore.setVisible(session_.io.exists(session_.folders.journal())); }

void frm9Kankyo::showMemoryRepair() {
    const bool damaged = session_.memory.damagedFile().has_value();
    cmdMemory.setVisible(damaged);
    cmdFitReset.setVisible(!damaged);
    if (damaged) lblFit.setCaption("記憶のファイルが読めないため、重みは計算できません。");
}

void frm9Kankyo::cmdMemory_Click() {
    const auto file = session_.memory.damagedFile();
    if (!file) {
        showMemoryRepair();
        return;
    }
    if (fit_.running()) return;
    if (windows_.isLoaded(WindowId::Sogo) || windows_.isLoaded(WindowId::CityVisit) ||
        windows_.isLoaded(WindowId::Review) || windows_.isLoaded(WindowId::Doko)) {
        say("トレーニング、ミチクサ、復習か「どこでしょう」の画面が開いています。閉じてから作り直してください。");
        return;
    }
    if (!windows_.confirm(frm, "記憶を作り直すと、読めない" + displayName(*file) +
                                   "を別の名前にして残し、記憶を新しく始めます。\n"
                                   "そのファイルの答えの記録と復習の予定は、新しい記憶には入りません（ファイルは消さずに残します）。\n"
                                   "作り直しますか？"))
        return;
    const auto aside = session_.memory.setAside(std::time(nullptr));
    const bool fromText = *file != session_.memory.textFile() && session_.io.exists(session_.memory.textFile());
    showMemoryRepair();
    say("記憶を作り直しました。" + displayName(*file) + "は" + displayName(aside) + "という名前で残してあります。" +
        (fromText ? "次に答えたときに、古い「記憶.txt」の内容から新しい記憶を始めます。" : "次に答えたときから、新しい記憶に書きます。"));
    if (!session_.memory.damagedFile()) lblFit.setCaption(LearnerFit::summary(session_));
}

void frm9Kankyo::cmdRestore_Click() {
    if (windows_.isLoaded(WindowId::Sogo) || windows_.isLoaded(WindowId::CityVisit) ||
        windows_.isLoaded(WindowId::Tizu)) {
        say("トレーニングかミチクサか市町村地図の画面が開いています。閉じてから取り消してください。");
        return;
    }
    if (!windows_.confirm(frm, "中断された変更を取り消して、変更前のファイルに戻します。\n"
                               "その変更で書いたもの（ポイントや訪問、答えの記録）は残りません。\n取り消しますか？"))
        return;
    const RestoreReport r = restoreWithoutJournal(session_.io, session_.folders.journal(),
                                                  session_.folders.workingFolders(), {session_.memory.stepFile()});
    showRestore();
    say("中断された変更を取り消しました（" + std::to_string(r.restored) +
                       "個のファイルを変更前に戻しました）。プログラムを終了して、もう一度起動してください。");
}

// What each build discards, in numbers, read from the files as they are
// (a file that cannot be read counts as holding nothing to lose).
std::string frm9Kankyo::questionBuildQuestion() const {
    int removed = 0;
    try {
        // read, never opened for writing: answering no leaves every file as it was
        removed = removedCount(readWholeFile(session_.io, session_.folders.questionRecords()));
    } catch (const FileError&) {
    }
    std::int32_t points = 0;
    try {
        points = readPoints(session_.io, session_.folders);
    } catch (const FileError&) {
    }
    return "問題ファイルを作り直すと、消去済みの問題" + std::to_string(removed) + "件が全て復活し、ポイント（" +
           std::to_string(points) + "点）が0になります。\n作り直しますか？";
}

std::string frm9Kankyo::cityBuildQuestion() const {
    int visited = 0;
    try {
        for (const auto& k : readRanges(session_.io, session_.folders)) visited += k.homonSu();
    } catch (const FileError&) {
    }
    return "市町村ファイルを作り直すと、訪問済みの" + std::to_string(visited) +
           "市町村の記録が全て消えます。\n作り直しますか？";
}

void frm9Kankyo::cmdFit_Click() {
    if (fit_.running()) return;
    fit_.start(false);
}

void frm9Kankyo::cmdFitReset_Click() {
    if (fit_.running()) return;
    session_.memory.resetWeights();
    lblFit.setCaption(LearnerFit::summary(session_) + "\r\n（毎日の自動の計算は、次に「重みをあなたに合わせる」を押すまで止めます）");
}

void frm9Kankyo::cmdToMain_Click() {
    windows_.showMain();
    windows_.unload(WindowId::Kankyo);
}

}  // namespace tabinowa

namespace tabinowa {

void frm9Kankyo::showScale() {
    const int percent = static_cast<int>(std::lround(ui::displayScale() * 100));
    lblScale.setCaption("表示倍率：" + std::to_string(percent) + "％\r\n次に開く画面から使われます");
}

void frm9Kankyo::cmdScale_Click(int stepPercent) {
    const int now = static_cast<int>(std::lround(ui::displayScale() * 100));
    // From a default between the steps (e.g. 105 %), the first step goes to a multiple of 10.
    const int next = std::clamp(stepPercent > 0 ? (now / 10 + 1) * 10 : (now + 9) / 10 * 10 - 10,
                                ui::kMinScalePercent, ui::kMaxScalePercent);
    ui::setDisplayScale(next / 100.0);
    showScale();
    if (!ui::saveDisplayScale(next / 100.0)) say("表示倍率を保存できませんでした。");
}

}  // namespace tabinowa
