// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/frm2CityVisit.h"

#include "screens/window_frame.h"

#include <algorithm>

#include "core/files/error.h"
#include "core/files/visit_state.h"
#include "core/game/rules.h"
#include "core/map/outlines.h"
#include "core/map/progress_scale.h"
#include "core/map/where_round.h"

namespace tabinowa {
namespace {

constexpr ui::Color kRed = 0x000000FF;
constexpr ui::Color kListBlue = 0x00C00000;
constexpr ui::Color kProfileColor = 0x00004040;
constexpr ui::Color kDividerColor = 0x000040C0;
constexpr ui::Color kHintPurple = 0x00800080;
constexpr ui::Color kAnswerGreen = 0x00004000;
constexpr ui::Color kPointGreen = 0x00008000;
constexpr ui::Color kCongratulationRed = 0x000000C0;
constexpr ui::Color kReturnFace = 0x00E0E0E0;
constexpr ui::Color kGrey = 0x00808080;

constexpr int kDrawColor = 12;  // palette entry of the numbers printed on the map

const char* const kGothic = "ＭＳ Ｐゴシック";
const ui::Font kButtonFont{kGothic, 12, true};

std::string joinMessages(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + "\r\n" + b;
}

}  // namespace

frm2CityVisit::frm2CityVisit(Session& session, WindowManager& windows)
    : frm("クイズミチクサ", 20265, 10545, ui::StartPosition::CenterScreen),
      cmdToMain(frm, {18360, 120, 1695, 975}, "メニューに戻る"),
      cmdAns(frm, {16320, 4680, 1455, 1575}, "解答を表示"),
      cmdYes(frm, {17880, 4680, 1815, 735}, "正解で次の問題（○）"),
      cmdNo(frm, {17880, 5520, 1815, 735}, "間違で次の問題（×）"),
      cmdStart0(frm, {18120, 8160, 1575, 975}, "\u3000\u3000最初から挑戦\u3000（全市町村の復活）"),
      lstKen(frm, {120, 360, 1335, 6720}),
      // The box holds the whole prefecture picture (505 × 503 pixels) inside its border.
      picTizu(frm, {2880, 0, 7635, 7605}),
      zoom(picTizu, frm, {17880, 6960, 1815, 375}),
      lblMinryoku(picTizu, kVisitLineBox),
      lstCity(frm, {1440, 360, 1335, 6720}),
      cmdVisit(frm, {11040, 6120, 1575, 1215}, "訪問する"),
      Label1(frm, {11160, 240, 3735, 615}, "クイズミチクサ"),
      Label3(frm, {120, 120, 1335, 375}, "①都道府県"),
      Label4(frm, {1440, 120, 1335, 255}, "②市町村"),
      lblCity(frm, {120, 7080, 2655, 255}),
      lblVist(frm, {360, 7620, 16335, 2955}),
      Line1(frm, 10680, 720, 10680, 7200, 5),
      Label5(frm, {15120, 600, 2895, 495}, "クイズで問題を解きポイントを貯め、左の訪問市町村を選んでください"),
      lblMondaiSu(frm, {11040, 1080, 975, 255}, "【問題】"),
      lblLucky(frm, {12240, 1080, 2535, 255}),
      lblQs(frm, {11040, 1440, 9015, 1935}),
      lblAns(frm, {11040, 3480, 9135, 975}),
      lblMsg2(frm, {11520, 4680, 4455, 495}),
      lblPoint(frm, {11040, 5520, 3255, 495}),
      lblMemo1(frm, {12720, 6360, 3975, 375}),
      lblVisit(frm, {12720, 6840, 5295, 495}),
      Label2(frm, {18000, 9240, 1935, 615}, "左上に完了の旨のメッセージが出たら、メニュー戻り再挑戦してください"),
      lblInyo(frm, {18240, 9960, 1215, 255}),
      cmdColours(frm, {17880, 7380, 1815, 375}, "訪問済みを色分け"),
      cmdJapan(frm, {17880, 7770, 1815, 375}, "全国の訪問率"),
      answerMode(frm, {17880, 6360, 1815, 495}, session, "game"),
      choices(frm, {11040, 3480, 9135, 1095}, answerMode, session, true),
      keys(frm),
      session_(session),
      windows_(windows),
      map_(session) {
    setUpTitle(Label1, {"HGP創英角ﾎﾟｯﾌﾟ体", 21.75, false});
    Label3.setForeColor(kListBlue);
    Label4.setForeColor(kListBlue);
    lstKen.setForeColor(kListBlue);
    lstCity.setForeColor(kListBlue);
    picTizu.setBackColor(ui::kSystemWindow);
    lblMinryoku.setFont({kGothic, 9.75, true});
    lblMinryoku.setForeColor(kRed);
    lblCity.setFont({kGothic, 9, true});
    lblCity.setForeColor(kProfileColor);
    lblVist.setForeColor(kListBlue);
    Line1.setForeColor(kDividerColor);
    Label5.setForeColor(kHintPurple);
    lblMondaiSu.setFont({"ＭＳ Ｐ明朝", 14.25, false});
    lblLucky.setFont({kGothic, 12, true});
    lblLucky.setForeColor(kRed);
    lblQs.setFont({kGothic, 12, false});
    lblAns.setFont({kGothic, 12, false});
    lblAns.setForeColor(kAnswerGreen);
    cmdAns.setFont(kButtonFont);
    cmdYes.setFont(kButtonFont);
    cmdNo.setFont(kButtonFont);
    lblMsg2.setFont({kGothic, 14.25, true});
    lblMsg2.setForeColor(kRed);
    lblPoint.setFont(kButtonFont);
    lblPoint.setForeColor(kPointGreen);
    cmdVisit.setFont(kButtonFont);
    lblMemo1.setForeColor(kDividerColor);
    lblVisit.setFont(kButtonFont);
    lblVisit.setForeColor(kCongratulationRed);
    cmdToMain.setFaceColor(kReturnFace);
    lblInyo.setForeColor(kGrey);

    cmdAns.onClick([this] { cmdAns_Click(); });
    cmdYes.onClick([this] { cmdYes_Click(); });
    cmdNo.onClick([this] { cmdNo_Click(); });
    lstKen.onClick([this](int p) { lstKen_Click(p); });
    lstCity.onClick([this](int p) { lstCity_Click(p); });
    cmdVisit.onClick([this] { cmdVisit_Click(); });
    cmdStart0.onClick([this] { cmdStart0_Click(); });
    setUpWayBack(frm, cmdToMain, [this] { cmdToMain_Click(); }, [this](const std::string& message) { setGameLine(message); });
    setUpLearning();

    zoom.onNeedArea([this] { return loadZoomedMap(); });
    zoom.view.setNamer([this](int shape, MapPoint) -> std::string {
        return shape >= 0 && shape < static_cast<int>(shapeNames_.size()) ? shapeNames_[static_cast<std::size_t>(shape)]
                                                                          : std::string{};
    });
    cmdColours.onClick([this] { cmdColours_Click(); });
    cmdJapan.onClick([this] { cmdJapan_Click(); });
}

// ------------------------------------------------------------------ load

// The line under the map: one line for the visit's verdict as designed; a
// longer text (a file's message with its way out) grows upward over the map,
// on its own background, until it is whole.
void frm2CityVisit::setGameLine(const std::string& text) {
    constexpr ui::Rect kLine{960, 6960, 6375, 255};
    constexpr int kPictureHeight = 7605, kMargin = 60;
    lblMinryoku.setGeometry(kLine);
    lblMinryoku.setOpaque(false);
    lblMinryoku.setCaption(text);
    if (lblMinryoku.showsWhole()) return;
    const int width = 7635 - 2 * kMargin;
    lblMinryoku.setGeometry({kMargin, kLine.top, width, kLine.height});
    const int need = std::min(lblMinryoku.wholeHeight() + 30, kPictureHeight - 2 * kMargin);
    lblMinryoku.setGeometry({kMargin, kPictureHeight - kMargin - need, width, need});
    lblMinryoku.setOpaque(true);
}

void frm2CityVisit::load() {
    // Until the question is on screen nothing leads on but the return and start over.
    cmdAns.setVisible(false);
    cmdYes.setVisible(false);
    cmdNo.setVisible(false);
    cmdVisit.setVisible(false);

    lblVist.setCaption(game::usageText());
    try {
        fillPrefectureList();
    } catch (const FileError& e) {
        // the quiz half works without the prefecture list
        setGameLine(e.what());
    }
    session_.points = readPoints(session_.io, session_.folders);
    lblPoint.setCaption(game::pointDisplay(session_.points));
    quiz_.emplace(session_);
    const auto question = quiz_->start();
    lblMemo1.setCaption(game::kMemoText);
    showQuestion(question, false);
    lblAns.setCaption("");
    offerChoices();
    // The window opens with the keyboard on the answer button, not on the way back.
    if (cmdAns.visible()) cmdAns.setFocus();
}

void frm2CityVisit::fillPrefectureList() {
    lstKen.clear();
    for (const auto& entry : map_.fillPrefectures()) lstKen.addItem(entry);
}

// ------------------------------------------------------------------ quiz

void frm2CityVisit::showQuestion(const game::VisitQuiz::Question& q, bool withSource) {
    if (q.finished) {
        // the caption above, the text colour and the extra stay as they were
        lblQs.setCaption(q.text);
        cmdYes.setVisible(false);
        cmdNo.setVisible(false);
        cmdAns.setVisible(false);
        lblInyo.setCaption("");
        return;
    }
    if (q.doublePoint) {
        lblLucky.setCaption(game::kDoubleCaption);
        lblQs.setForeColor(game::kDoubleQuestionColor);
    } else {
        lblLucky.setCaption("");
        lblQs.setForeColor(ui::paletteColor(game::kOrdinaryQuestionPalette));
    }
    lblQs.setCaption(q.text);
    asked_.start();
    cmdAns.setVisible(true);
    if (withSource) lblInyo.setCaption(q.source);
}

void frm2CityVisit::nextQuestion() {
    if (!quiz_) return;
    lblAns.setCaption("");
    try {
        showQuestion(quiz_->next(), true);
        offerChoices();
    } catch (const FileError& e) {
        // no question to answer: the message in its place; visits and the return still work
        cmdAns.setVisible(false);
        cmdYes.setVisible(false);
        cmdNo.setVisible(false);
        lblInyo.setCaption("");
        lblQs.setCaption(e.what());
    }
}

// Keyboard focus after a button: the next safe step, never start over.
void frm2CityVisit::focusSafe() {
    if (cmdAns.isShown()) cmdAns.setFocus();
    else if (cmdNo.isShown()) cmdNo.setFocus();
    else if (cmdVisit.isShown()) cmdVisit.setFocus();
    else lstKen.setFocus();
}

void frm2CityVisit::cmdAns_Click() {
    if (!quiz_ || quiz_->finished()) return;
    choices.hide();
    lblAns.setCaption(quiz_->answer());
    cmdAns.setVisible(false);
    cmdYes.setVisible(true);
    cmdNo.setVisible(true);
    cmdVisit.setVisible(false);
    lblVisit.setCaption("");
    lblInyo.setCaption(quiz_->source());
    lblMsg2.setCaption("");
    focusSafe();
}

void frm2CityVisit::cmdYes_Click() {
    if (!quiz_ || quiz_->finished()) return;
    // the point file is written before anything else changes
    const auto scored = quiz_->right();
    if (!scored) {
        setGameLine(game::kPointsTooLarge);
        return;
    }
    cmdVisit.setVisible(false);
    lblPoint.setVisible(true);
    lblMsg2.setCaption(scored->message);
    lblPoint.setCaption(game::pointDisplay(session_.points));
    nextQuestion();
    cmdYes.setVisible(false);
    cmdNo.setVisible(false);
    setGameLine("");
    focusSafe();
}

void frm2CityVisit::cmdNo_Click() {
    if (!quiz_ || quiz_->finished()) return;
    quiz_->wrong();
    lblMsg2.setCaption("");
    lblPoint.setCaption(game::pointDisplay(session_.points));
    nextQuestion();
    cmdYes.setVisible(false);
    cmdNo.setVisible(false);
    cmdVisit.setVisible(false);
    setGameLine("");
    focusSafe();
}

// --------------------------------------------------------------- visits

std::string frm2CityVisit::loadMap(int prefectureRow) {
    try {
        picTizu.loadPicture(session_.folders.picture(prefectureRow));
        return {};
    } catch (const FileError& e) {
        picTizu.clearPicture();
        return e.what();
    }
}

ui::Rect visitLineBox(const MapArea& area, ui::Rect designBox) {
    // The insets in the line's band (東京都's islands at the foot of its map).
    double top = designBox.top;
    for (const MapPart& part : area.parts) {
        if (!part.framed) continue;
        const MapBox& f = part.frame;
        const bool acrossBand = f.top < designBox.top + designBox.height && f.bottom > designBox.top;
        const bool acrossLine = f.left < designBox.left + designBox.width && f.right > designBox.left;
        if (acrossBand && acrossLine) top = std::min(top, f.top - designBox.height - kVisitLineGap);
    }
    ui::Rect box = designBox;
    box.top = static_cast<int>(std::max(0.0, top));
    return box;
}

void frm2CityVisit::placeVisitLine(int prefectureRow) {
    ui::Rect box = kVisitLineBox;
    try {
        box = visitLineBox(readOutlineArea(session_.io, outlineFile(session_.folders), prefectureRow), kVisitLineBox);
    } catch (const FileError&) {
        // no outlines: the design's place
    }
    lblMinryoku.setGeometry(box);
}

void frm2CityVisit::lstKen_Click(int position) {
    if (position < 0 || position >= static_cast<int>(map_.prefectures().size())) return;
    japanShown_ = false;
    marks_.clear();
    const std::string pictureError = loadMap(position + 1);
    lstCity.clear();
    lblVist.setCaption(pictureError);
    // the header of a municipality chosen before goes with its list
    lblCity.setCaption("");
    // a missing picture leaves the map blank; the list still works
    for (const auto& entry : map_.choosePrefecture(position)) lstCity.addItem(entry);
    placeVisitLine(position + 1);
    zoom.forget();
}

void frm2CityVisit::lstCity_Click(int position) {
    if (position < 0 || position >= static_cast<int>(map_.rows().size())) return;
    lblVisit.setCaption("");
    lblCity.setCaption("");
    const std::string pictureError = loadMap(map_.prefectureRow());
    const auto profile = map_.chooseCity(position);
    const auto& kens = map_.prefectures();
    const int row = map_.prefectureRow();
    chosenName_ = (row >= 1 && row <= static_cast<int>(kens.size()) ? trimmedName(kens[static_cast<std::size_t>(row - 1)].name()) : std::string{}) +
                  trimmedName(lstCity.items().at(static_cast<std::size_t>(position)));
    lblCity.setCaption(profile.header);
    lblVist.setCaption("");
    picTizu.setForeColor(ui::paletteColor(kDrawColor));
    for (const auto& m : profile.marks) {
        picTizu.setCurrentX(m.x);
        picTizu.setCurrentY(m.y);
        picTizu.printNumber(m.number);
    }
    lblVist.setCaption(joinMessages(profile.text, pictureError));
    marks_ = profile.marks;
    if (!japanShown_) showMarks();
    lblMinryoku.setForeColor(ui::paletteColor(profile.visit.palette));
    cmdVisit.setVisible(profile.visit.affordable);
    setGameLine(profile.visit.line);
}

void frm2CityVisit::cmdVisit_Click() {
    game::VisitMap::VisitResult result;
    try {
        result = map_.visit();
    } catch (const FileError& e) {
        // nothing was visited: the question on display stays
        setGameLine(e.what());
        cmdVisit.setVisible(false);
        focusSafe();
        return;
    }
    if (result.outcome == game::VisitMap::Outcome::Visited) {
        // The design's words, then the place just visited.
        lblVisit.setCaption(game::kCongratulation + chosenName_);
        lblPoint.setCaption("");
        lblPoint.setCaption(game::visitPointDisplay(session_.points));
        // the visit stands even when its list cannot be shown again: say why it is empty
        setGameLine(result.refillError);
        lblVist.setCaption("");
        lstCity.clear();
        lblCity.setCaption("");
        for (const auto& entry : result.entries) lstCity.addItem(entry);
        zoom.forget();  // the new colour comes with the next showing
        // The numbers of the place just visited stay on the map until the next choice.
        if (!japanShown_) showMarks();
    } else {
        setGameLine(result.message);
    }
    nextQuestion();
    cmdVisit.setVisible(false);
    cmdYes.setVisible(false);
    cmdNo.setVisible(false);
    focusSafe();
}

// ----------------------------------------------------- start over, return

// What start over discards, in numbers, for the question asked first.
std::string frm2CityVisit::startOverQuestion() const {
    int visited = 0;
    for (const auto& k : map_.prefectures()) visited += k.homonSu();
    return "最初から挑戦すると、ポイント（" + std::to_string(session_.points) + "点）と、訪問済みの" +
           std::to_string(visited) + "市町村の記録が全て消えます。\n最初から挑戦しますか？";
}

void frm2CityVisit::cmdStart0_Click() {
    if (!windows_.confirm(frm, startOverQuestion())) {
        focusSafe();
        return;
    }
    const bool ansShown = cmdAns.visible(), visitShown = cmdVisit.visible();
    lstKen.clear();
    lstCity.clear();
    cmdAns.setVisible(false);
    cmdVisit.setVisible(false);
    lblPoint.setVisible(true);
    lblPoint.setCaption(game::kResettingText);
    try {
        map_.startOver();
    } catch (const FileError& e) {
        // nothing or only part was reset: say so, and give the window back as it was
        setGameLine(e.what());
        cmdAns.setVisible(ansShown);
        cmdVisit.setVisible(visitShown);
        lblPoint.setCaption(game::pointDisplay(session_.points));
        try {
            fillPrefectureList();
        } catch (const FileError&) {
        }
        focusSafe();
        return;
    }
    // The answer button comes back with the visit button, beside the judge
    // buttons if the answer is shown; not after the last question, when
    // there is nothing left to answer (it would score past the end).
    cmdAns.setVisible(ansShown || cmdYes.visible() || cmdNo.visible());
    cmdVisit.setVisible(true);
    lblPoint.setCaption(game::kResetDoneText);
    focusSafe();
    fillPrefectureList();
}

void frm2CityVisit::cmdToMain_Click() {
    quiz_.reset();  // closes "問題.ran"
    windows_.returnToMenu(WindowId::CityVisit);
}

// ----------------------------------------------------- zoom and colours

namespace {

// A visited municipality: the colour of a prefecture half visited on the map of all Japan.
const ui::Color kVisitedColor = ui::progressColor(3);
constexpr ui::Color kMarkDotColor = ui::rgb(0xd0, 0x1c, 0x1c);  // as the map window's dots


}  // namespace

bool frm2CityVisit::loadZoomedMap() {
    const int row = japanShown_ ? kJapanArea : map_.prefectureRow();
    if (!japanShown_ && row < 1) return false;
    std::shared_ptr<MapArea> area;
    try {
        area = std::make_shared<MapArea>(readOutlineArea(session_.io, outlineFile(session_.folders), row));
    } catch (const FileError& e) {
        lblVist.setCaption(e.what());
        return false;
    }
    zoom.view.setArea(area);
    shapeNames_.assign(area->shapes.size(), {});
    const auto& kens = map_.prefectures();
    if (japanShown_) {
        for (std::size_t n = 0; n < kens.size(); ++n) {
            const int count = kens[n].endRec() - kens[n].startRec() + 1;
            const int shape = area->indexOf(static_cast<int>(n) + 1);
            if (shape < 0) continue;
            // The name with its share in the tip; the fill by steps, the first visit showing at once.
            shapeNames_[static_cast<std::size_t>(shape)] =
                trimmedName(kens[n].name()) + "　" + progressText(kens[n].homonSu(), count);
            zoom.view.setFill(shape, ui::progressColor(progressStep(kens[n].homonSu(), count)));
        }
        zoom.view.setProgressLegend();
        return true;
    }
    // Every municipality of the prefecture, the visited ones filled.
    const KenHani& ken = kens.at(static_cast<std::size_t>(row - 1));
    const auto rows = prefectureCities(readCities(session_.io, session_.folders, ken, Descriptions::Skip)).rows;
    const std::vector<int> shapes = shapesOfRows(*area, rows);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (shapes[r] < 0) continue;
        shapeNames_[static_cast<std::size_t>(shapes[r])] = trimmedName(rows[r].name12);
        if (readMark(session_.io, session_.folders, rows[r].recNo)) zoom.view.setFill(shapes[r], kVisitedColor);
    }
    zoom.view.setLegend({{kVisitedColor, "訪問済み"}});
    showMarks();
    return true;
}

void frm2CityVisit::showMarks() {
    // The view draws them, over the picture as over the outlines: each old
    // municipality's place as a dot, its number beside it.
    std::vector<ui::MapView::Mark> marks;
    std::vector<ui::MapView::Dot> dots;
    for (const Mark& m : marks_) {
        marks.push_back({m.number, m.x + kMarkOffset, m.y + kMarkOffset});
        dots.push_back({m.x + kMarkOffset, m.y + kMarkOffset, kMarkDotColor});
    }
    zoom.view.setDots(std::move(dots));
    zoom.view.setMarks(std::move(marks));
}

void frm2CityVisit::cmdColours_Click() {
    japanShown_ = false;
    const bool on = !zoom.pinned();
    zoom.forget();
    zoom.setPinned(on);
    cmdColours.setCaption(on ? "色分けをやめる" : "訪問済みを色分け");
}

void frm2CityVisit::cmdJapan_Click() {
    japanShown_ = true;
    zoom.forget();
    zoom.setPinned(true);
    cmdColours.setCaption("色分けをやめる");
}

}  // namespace tabinowa
