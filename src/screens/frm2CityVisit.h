// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The visit game window: on the right a quiz over the whole question bank in
// a fresh random order, judged by the user, earning points; on the left a
// prefecture list, the unvisited municipalities of the chosen prefecture, its
// map, and the chosen municipality's profile with its cost, visited when the
// points suffice. Holds "問題.ran" open from its load until its return; every
// other file is opened and closed within a handler. Its chosen prefecture and
// municipality are its own.
#include <optional>
#include <string>

#include "core/session/session.h"
#include "core/game/visit_game.h"
#include "screens/answer_clock.h"
#include "screens/choice_panel.h"
#include "screens/window_manager.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/keys.h"
#include "ui/map_view.h"

namespace tabinowa {

struct MapArea;

// The visit line's place in the picture (twips): the design's, at the foot of
// the map, unless an inset of the map (東京都's islands) lies under it; then
// just above the highest such inset, so that no island is written over.
inline constexpr ui::Rect kVisitLineBox{960, 6960, 6375, 255};
inline constexpr int kVisitLineGap = 30;
ui::Rect visitLineBox(const MapArea& area, ui::Rect designBox);

class frm2CityVisit final : public Window {
public:
    frm2CityVisit(Session& session, WindowManager& windows);

    ui::Form& form() override { return frm; }
    // The load sequence: usage text, prefecture list, points, a fresh
    // full-bank order, the question at the visit cursor.
    void load() override;

    // Handlers, as the controls call them.
    void cmdAns_Click();
    void cmdYes_Click();
    void cmdNo_Click();
    void lstKen_Click(int position);
    void lstCity_Click(int position);
    void cmdVisit_Click();
    void cmdStart0_Click();
    void cmdToMain_Click();

    // What the window holds, for the windows' tests.
    bool holdsQuestionFile() const { return quiz_.has_value(); }
    const game::VisitQuiz* quiz() const { return quiz_ ? &*quiz_ : nullptr; }
    const game::VisitMap& map() const { return map_; }

    ui::Form frm;
    // focusable controls first, in tab order
    ui::CommandButton cmdToMain;
    ui::CommandButton cmdAns;
    ui::CommandButton cmdYes;
    ui::CommandButton cmdNo;
    ui::CommandButton cmdStart0;
    ui::ListBox lstKen;
    ui::PictureBox picTizu;
    // Zoom and completion colours: the prefecture's outlines over the
    // picture, visited municipalities softly filled; all Japan by share visited.
    ui::ZoomOverlay zoom;
    ui::Label lblMinryoku;  // inside picTizu
    ui::ListBox lstCity;
    ui::CommandButton cmdVisit;
    ui::Label Label1;
    ui::Label Label3;
    ui::Label Label4;
    ui::Label lblCity;
    ui::Label lblVist;
    ui::Line Line1;
    ui::Label Label5;
    ui::Label lblMondaiSu;
    ui::Label lblLucky;
    ui::Label lblQs;
    ui::Label lblAns;
    ui::Label lblMsg2;
    ui::Label lblPoint;
    ui::Label lblMemo1;
    ui::Label lblVisit;
    ui::Label Label2;
    ui::Label lblInyo;
    ui::CommandButton cmdColours;
    ui::CommandButton cmdJapan;
    void cmdColours_Click();
    void cmdJapan_Click();

    // Learning aids beside the game's own controls: keys, answering by
    // choice, the memory of each judged answer.
    AnswerModeSwitch answerMode;
    ChoicePanel choices;
    ui::Keys keys;
    bool pickChoice(int position) { return choices.pick(position); }

private:
    void setGameLine(const std::string& text);
    void placeVisitLine(int prefectureRow);
    AnswerClock asked_;  // since the question was shown, for the log of answers
    void setUpLearning();
    void offerChoices();
    void choicePicked(const JudgedPick& pick);
    // Runs the right or wrong step and, when it went on to the next
    // question, remembers the answer.
    void judgeAndRemember(bool right);

    // Puts a question (or the finished state) into the quiz half.
    void showQuestion(const game::VisitQuiz::Question& q, bool withSource);
    // The next-question step.
    void nextQuestion();
    // Loads the prefecture's picture; when it cannot, leaves the map blank
    // and returns the message.
    std::string loadMap(int prefectureRow);
    void fillPrefectureList();
    // Loads the outlines of the chosen prefecture (or all Japan) into the
    // zoomed view with the completion colours; false (and why in lblVist)
    // when it cannot.
    bool loadZoomedMap();
    // The chosen municipality's old municipalities on the view: dots and numbers.
    void showMarks();
    bool japanShown_ = false;
    std::vector<Mark> marks_;  // of the chosen municipality
    std::string chosenName_;   // its prefecture and name, for the congratulation
    std::vector<std::string> shapeNames_;  // the name of each shape of the view's map (its tip)
    void focusSafe();
    std::string startOverQuestion() const;

    Session& session_;
    WindowManager& windows_;
    std::optional<game::VisitQuiz> quiz_;
    game::VisitMap map_;
};

}  // namespace tabinowa
