// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/frm2Fukusyu.h"

#include "screens/window_frame.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "core/files/error.h"
#include "core/files/cp932.h"
#include "core/quiz/questions.h"

namespace tabinowa {

namespace {
constexpr ui::Color kBlue = 0x00FF0000;
constexpr ui::Color kDarkBlue = 0x00800000;
constexpr ui::Color kLightCyan = 0x00FFFFC0;
constexpr ui::Color kGreen = 0x00004000;
const char* const kGothic = "ＭＳ Ｐゴシック";
const char* const kAll = "すべて";
const char* const kGradeNames[] = {"もう一度", "難しい", "正解", "簡単"};
const double kRetentions[] = {0.80, 0.85, 0.90, 0.95, 0.97};

ui::Rect gradeBox(int i) { return {2640 + i * 2490, 5520, 2400, 735}; }

std::string percent(double r) { return std::to_string(static_cast<int>(std::lround(r * 100))) + "％"; }

std::string daysText(int days) {
    if (days >= 365) return std::to_string(days / 365) + "年";
    if (days >= 60) return std::to_string(days / 30) + "か月";
    return std::to_string(days) + "日";
}
}  // namespace

frm2Fukusyu::frm2Fukusyu(Session& session, WindowManager& windows)
    : frm("復習－「コモレビ舎」", 12795, 8655, ui::StartPosition::CenterScreen),
      lblTitle(frm, {3120, 240, 4455, 735}, "復習"),
      cmdToMain(frm, {10680, 240, 1815, 735}, "メニューへ戻る"),
      lblKind(frm, {240, 1080, 2175, 255}, "種類"),
      lstKind(frm, {240, 1320, 2175, 2655}),
      lblKen(frm, {240, 4080, 2175, 255}, "都道府県"),
      lstKen(frm, {240, 4320, 2175, 4095}),
      lblCount(frm, {2640, 1080, 9855, 255}),
      fraQs(frm, {2640, 1320, 9855, 2055}, "問題"),
      lblQs(fraQs, {240, 240, 9375, 1695}),
      lblAns(frm, {2640, 3480, 9855, 975}),
      cmdAns(frm, {2640, 4560, 3975, 855}, "解答を表示"),
      answerMode(frm, {7920, 4560, 2160, 495}, session, "review"),
      cmdRetention(frm, {10200, 4560, 2295, 495}, ""),
      choices(frm, {2640, 5520, 9855, 1335}, answerMode, session, true),
      cmdGrade{ui::CommandButton(frm, gradeBox(0), kGradeNames[0]), ui::CommandButton(frm, gradeBox(1), kGradeNames[1]),
               ui::CommandButton(frm, gradeBox(2), kGradeNames[2]), ui::CommandButton(frm, gradeBox(3), kGradeNames[3])},
      lblKaisetu(frm, {2640, 6960, 9855, 1575}),
      keys(frm),
      session_(session),
      windows_(windows) {
    setUpTitle(lblTitle, {"HG創英角ﾎﾟｯﾌﾟ体", 20.25, false});
    lblTitle.setAlignment(ui::Align::Center);
    lblCount.setForeColor(kGreen);
    // A file's message with its way out spreads down over the question until whole.
    lblCount.setRoom({2640, 1080, 9855, 8655 - 1080 - 120});
    lblQs.setFont({"ＭＳ Ｐ明朝", 14.25, true});
    lblQs.setForeColor(ui::paletteColor(0));
    lblAns.setFont({"ＭＳ Ｐ明朝", 14.25, true});
    lblAns.setForeColor(kBlue);
    cmdAns.setFont({kGothic, 14.25, true});
    cmdAns.setFaceColor(kLightCyan);
    lblKaisetu.setFont({kGothic, 11.25, false});
    lblKaisetu.setForeColor(kDarkBlue);
    for (int i = 0; i < 4; ++i) {
        auto& b = cmdGrade[static_cast<std::size_t>(i)];
        b.setFont({kGothic, 12, true});
        b.onClick([this, i] { cmdGrade_Click(i); });
        ui::setToolTip(b, std::string(kGradeNames[i]) + "（キー " + std::to_string(i + 1) + "）");
    }

    cmdAns.onClick([this] { cmdAns_Click(); });
    setUpWayBack(frm, cmdToMain, [this] { cmdToMain_Click(); }, [this](const std::string& message) { lblCount.setCaption(message); });
    cmdRetention.onClick([this] { cmdRetention_Click(); });
    lstKind.onClick([this](int p) { lstKind_Click(p); });
    lstKen.onClick([this](int p) { lstKen_Click(p); });
    choices.onPick([this](const JudgedPick& p) { choicePicked(p); }, true);
    choices.setActivity(activity::kReview);
    answerMode.onChange([this] {
        if (!answerShown_ && current_) showCurrent();
    });

    keys.add("Space,Return,Enter", [this] {
        if (cmdAns.isShown()) {
            cmdAns.click();
            return;
        }
        // With the grades on screen: the focused one (the keyboard lands on 正解).
        for (auto& b : cmdGrade)
            if (b.isShown() && b.hasFocus()) {
                b.click();
                return;
            }
    });
    keys.add("Escape", [this] { cmdToMain.click(); });
    choices.addKeys(keys, [this](int i) { cmdGrade[static_cast<std::size_t>(i)].click(); });
    ui::describeKeys(frm,
                     {{&cmdAns, "解答を表示／次の問題（Space または Enter）"}, {&cmdToMain, "メニューへ戻る（Esc）"},
                      {&cmdRetention, "目標の記憶率（80～97％）：高いほど復習の間隔が短くなります"},
                      {&lstKind, "↑↓で種類を選ぶ"}, {&lstKen, "↑↓で都道府県を選ぶ"}},
                     "Space／Enter：解答を表示・次の問題　1～4：もう一度／難しい／正解／簡単（選択肢のときは選択肢）　"
                     "Tab：移動（リストは↑↓で選ぶ）　Esc：メニューへ戻る");
}

void frm2Fukusyu::load() {
    showGrades(false);
    choices.hide();
    cmdAns.setVisible(false);
    bank_ = readReviewBank(session_.io, session_.folders);
    const MemoryBook& book = session_.memory.book();
    cmdRetention.setCaption("記憶率：" + percent(book.retention));
    std::set<int> codes;
    kinds_ = bank_.kinds;
    for (const auto& q : bank_.questions)
        if (q.prefecture != 0) codes.insert(q.prefecture);
    prefectures_.assign(codes.begin(), codes.end());
    lstKind.clear();
    lstKind.addItem(kAll);
    for (const auto& k : kinds_) lstKind.addItem(k);
    lstKen.clear();
    lstKen.addItem(kAll);
    for (int code : prefectures_) lstKen.addItem(prefectureName(code));
    rebuild();
}

void frm2Fukusyu::rebuild() {
    queue_ = buildReviewQueue(bank_.questions, session_.memory.book(), session_.today(), filter_, bank_.difficulty);
    position_ = 0;
    showCurrent();
}

void frm2Fukusyu::showGrades(bool visible) {
    for (auto& b : cmdGrade) b.setVisible(visible);
}

void frm2Fukusyu::showDone() {
    current_.reset();
    answerShown_ = false;
    showGrades(false);
    choices.hide();
    cmdAns.setVisible(false);
    lblQs.setCaption("今日の復習は終わりました。\r\n\u3000お疲れ様でした。また明日、続きをどうぞ。");
    lblAns.setCaption("");
    lblKaisetu.setCaption("");
    lblCount.setCaption("残り　0問");
}

void frm2Fukusyu::showCurrent() {
    answerShown_ = false;
    showGrades(false);
    choices.hide();
    lblAns.setCaption("");
    lblKaisetu.setCaption("");
    cmdAns.setCaption("解答を表示");
    for (;;) {
        if (position_ >= queue_.records.size()) return showDone();
        const int record = queue_.records[position_];
        QuestionFile file(session_.io, session_.folders);
        if (record <= file.count()) {
            Mondai m = file.get(record);
            if (static_cast<std::size_t>(record) <= bank_.questions.size() &&
                memoryKey(m) == bank_.questions[static_cast<std::size_t>(record - 1)].key) {
                current_ = std::move(m);
                asked_.start();
                break;
            }
        }
        // The bank changed under the window (a question build): read it again.
        bank_ = readReviewBank(session_.io, session_.folders);
        queue_ = buildReviewQueue(bank_.questions, session_.memory.book(), session_.today(), filter_, bank_.difficulty);
        position_ = 0;
        if (queue_.records.empty()) return showDone();
    }
    // The counts of what is left, each group as the queue would count it built
    // afresh (after a restart too): an answered question is in none of them.
    const auto left = queue_.left(position_);
    std::string group = "新しい問題";
    if (position_ < static_cast<std::size_t>(queue_.due)) group = "期限の来た問題";
    else if (position_ < static_cast<std::size_t>(queue_.due + queue_.wrong)) group = "間違えた問題";
    lblCount.setCaption("残り　" + withCommas(left.total) + "問（期限 " + withCommas(left.due) + "・間違い " +
                        withCommas(left.wrong) + "・新しい " + withCommas(left.fresh) + "）　いまは：" + group);
    lblQs.setCaption(questionText(*current_));
    cmdAns.setVisible(true);
    cmdAns.setFocus();
    choices.offerFor(*current_);
}

void frm2Fukusyu::cmdAns_Click() {
    if (!current_) return;
    if (answerShown_) {
        // After a pick the answer is in the memory already: on to the next one.
        ++position_;
        showCurrent();
        return;
    }
    choices.hide();
    answerShown_ = true;
    lblAns.setCaption(trimRight(current_->Kotae));
    lblKaisetu.setCaption(current_->Kaisetu);
    cmdAns.setVisible(false);
    // Each grade shows when the question would come back.
    const MemoryBook& book = session_.memory.book();
    const std::string key = memoryKey(*current_);
    const auto days = book.nextIntervals(key, session_.today());
    for (std::size_t i = 0; i < 4; ++i)
        cmdGrade[i].setCaption(std::string(kGradeNames[i]) + "\r\n（" + daysText(days[i]) + "後）");
    asked_.answerAsked();
    showGrades(true);
    cmdGrade[2].setFocus();
}

void frm2Fukusyu::answerWith(Outcome o) {
    // The time to recall: from the question on screen to the answer asked for.
    std::optional<double> recall = asked_.recallSeconds();
    if (recall) recall = std::min(*recall, 3600.0);
    const auto problem = session_.memory.record(*current_, o, session_.today(), activity::kReview, recall).problem;
    ++position_;
    showCurrent();
    // The grade moved on all the same; the reason stays below the next question until its answer.
    if (problem) lblKaisetu.setCaption(*problem);
}

void frm2Fukusyu::cmdGrade_Click(int grade) {
    if (!current_ || !answerShown_ || grade < 0 || grade > 3) return;
    answerWith(static_cast<Outcome>(grade));
}

void frm2Fukusyu::choicePicked(const JudgedPick& pick) {
    // The pick is in the memory already.
    answerShown_ = true;
    lblAns.setCaption(pick.verdict);
    lblKaisetu.setCaption(withProblem(pick.explanation, pick.memoryProblem));
    cmdAns.setCaption("次の問題");
    cmdAns.setVisible(true);
    cmdAns.setFocus();
}

void frm2Fukusyu::lstKind_Click(int position) {
    if (position < 0 || position > static_cast<int>(kinds_.size())) return;
    filter_.kind = position == 0 ? "" : kinds_[static_cast<std::size_t>(position - 1)];
    rebuild();
}

void frm2Fukusyu::lstKen_Click(int position) {
    if (position < 0 || position > static_cast<int>(prefectures_.size())) return;
    filter_.prefecture = position == 0 ? 0 : prefectures_[static_cast<std::size_t>(position - 1)];
    rebuild();
}

void frm2Fukusyu::cmdRetention_Click() {
    const double now = session_.memory.book().retention;
    double next = kRetentions[0];
    for (double r : kRetentions)
        if (r > now + 1e-9) {
            next = r;
            break;
        }
    session_.memory.setRetention(next);
    cmdRetention.setCaption("記憶率：" + percent(next));
    if (answerShown_ && !choices.choices() && current_) {
        answerShown_ = false;
        cmdAns_Click();  // the intervals on the grades follow the new retention
    }
}

void frm2Fukusyu::cmdToMain_Click() { windows_.returnToMenu(WindowId::Review); }

}  // namespace tabinowa
