// SPDX-License-Identifier: GPL-3.0-or-later
// The visit game window on the offscreen platform, over a temporary program
// folder: load, the quiz with its points, choosing and visiting
// municipalities, start over, missing pictures and the way back to the menu.
#include <gtest/gtest.h>

#include <QColor>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/session/session.h"
#include "screens/frm2CityVisit.h"
#include "core/game/rules.h"
#include "core/map/outlines.h"
#include "screens/frm1Main.h"
#include "screens/window_manager.h"
#include "support/folder_checks.h"
#include "support/game_fixture.h"
#include "support/picture.h"
#include "ui/types.h"

using namespace tabinowa;
using namespace tabinowa::testing;

namespace {

const QColor kMapGreen(0, 160, 0);

bool isMapGreen(ui::Color c) {
    const ui::Rgb v = ui::toRgb(c);
    return std::abs(v.r - 0) < 30 && std::abs(v.g - 160) < 30 && std::abs(v.b - 0) < 30;
}

std::string entry(const std::string& name) { return padChars(name, 20); }

// Six questions (record 2 a double-point question) and three prefectures:
// 県Ａ records 1..2, 県Ｂ records 3..14 (12 municipalities), 県Ｃ record 15
// without a map picture. Municipality n costs 494 + n; record 7 costs 600.
class GameWindow : public ::testing::Test {
protected:
    GameWindow() : session(folder.path(), io, random), windows(session, [] {}) {
        windows.setConfirmer([](ui::Form&, const std::string&) { return true; });  // the user agrees
        writeGameQuestions(f, numberedQuestions(6, {2}));
        session.quiz.totalCount = 6;
        writeCities(f, numberedCities(15, 600));
        writeRanges(f, threePrefectures());
        writeGameMarks(f, 15);
        writeGamePoints(f, 0);
        for (int k : {1, 2}) writePicture(f.picture(k), 505, 481, kMapGreen, "JPEG", 95);
    }

    void visited(const std::set<int>& marks, int homonA, int homonB) {
        writeGameMarks(f, 15, marks);
        writeRanges(f, threePrefectures(homonA, homonB));
    }

    frm2CityVisit& open() {
        EXPECT_TRUE(windows.showVisitGame());
        auto* w = static_cast<frm2CityVisit*>(windows.window(WindowId::CityVisit));
        if (!w) throw std::runtime_error("no visit game window");
        return *w;
    }

    // Chooses a prefecture and a municipality by list position.
    static void choose(frm2CityVisit& w, int ken, int city) {
        ASSERT_TRUE(w.lstKen.clickItem(ken));
        ASSERT_TRUE(w.lstCity.clickItem(city));
    }

    TempProgramFolder folder;
    AppFolders f = folder.folders();
    PosixIo io;
    FixedRandom random{{}};  // every draw 0.5: equal keys keep the bank in order, no lucky draw
    Session session;
    WindowManager windows;
};

}  // namespace

// ------------------------------------------------------------------ load

TEST_F(GameWindow, LoadShowsUsagePointsAndTheFirstQuestion) {
    writeGamePoints(f, 1200);
    frm2CityVisit& w = open();
    EXPECT_EQ(w.frm.caption(), "クイズミチクサ");
    EXPECT_EQ(w.lblVist.caption(), game::usageText());
    EXPECT_EQ(w.lstKen.items(),
              (std::vector<std::string>{"\u3000\u3000県Ａ", "\u3000\u3000県Ｂ", "\u3000\u3000県Ｃ"}));
    EXPECT_EQ(w.lstCity.count(), 0);
    EXPECT_EQ(session.points, 1200);
    EXPECT_EQ(w.lblPoint.caption(), "\u3000\u3000\u3000現在のポイント\r\n1200");
    EXPECT_EQ(w.lblMemo1.caption(),
              "訪問する場合は、左のリストから都道府県、市町村の順にクリックし、「訪問する」ボタンをクリック");
    EXPECT_EQ(w.lblQs.caption(), "問題1\r\n\u3000本文1");
    EXPECT_EQ(w.lblAns.caption(), "");
    EXPECT_EQ(w.lblInyo.caption(), "");
    EXPECT_EQ(w.lblLucky.caption(), "");
    EXPECT_TRUE(w.cmdAns.isShown());
    EXPECT_FALSE(w.cmdYes.isShown());
    EXPECT_FALSE(w.cmdNo.isShown());
    EXPECT_FALSE(w.cmdVisit.isShown());
    EXPECT_TRUE(w.holdsQuestionFile());
    EXPECT_EQ(w.cmdStart0.caption(), "\u3000\u3000最初から挑戦\u3000（全市町村の復活）");
    EXPECT_EQ(w.cmdToMain.geometry(), (ui::Rect{18360, 120, 1695, 975}));
    EXPECT_EQ(w.lblMinryoku.geometry(), (ui::Rect{960, 6960, 6375, 255}));
}

TEST_F(GameWindow, ADoublePointQuestionAtLoadGetsTheCheckToo) {
    session.quiz.visitCursor = 2;  // record 2, a double-point question
    frm2CityVisit& w = open();
    EXPECT_EQ(w.lblLucky.caption(), "ダブルポイント問題");
    EXPECT_EQ(w.lblQs.foreColor(), 0x000000FFu);
    ASSERT_TRUE(w.cmdAns.click());
    ASSERT_TRUE(w.cmdYes.click());
    EXPECT_EQ(session.points, 1000);
    // record 3 is ordinary again: black text, no caption
    EXPECT_EQ(w.lblLucky.caption(), "");
    EXPECT_EQ(w.lblQs.foreColor(), ui::paletteColor(0));
}

TEST_F(GameWindow, OpeningPastTheLastQuestionShowsTheFinishedState) {
    for (std::int32_t cursor : {7, 40}) {
        session.quiz.visitCursor = cursor;
        frm2CityVisit& w = open();
        EXPECT_EQ(w.lblQs.caption(), "お疲れ様でした。全ての問題を終了しました。");
        EXPECT_FALSE(w.cmdAns.isShown());
        EXPECT_FALSE(w.cmdYes.isShown());
        EXPECT_FALSE(w.cmdNo.isShown());
        EXPECT_EQ(w.lblInyo.caption(), "");
        EXPECT_EQ(w.lstKen.count(), 3) << "the visit half stays usable";
        ASSERT_TRUE(w.cmdToMain.click());
    }
}

TEST_F(GameWindow, ASecondOpeningContinuesAtTheNextPositionOfANewOrder) {
    frm2CityVisit& first = open();
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(first.cmdAns.click());
        ASSERT_TRUE(i == 0 ? first.cmdYes.click() : first.cmdNo.click());
    }
    ASSERT_TRUE(first.cmdToMain.click());
    EXPECT_FALSE(windows.isLoaded(WindowId::CityVisit));
    EXPECT_TRUE(windows.isLoaded(WindowId::Main));

    // descending keys: the new order is 6, 5, 4, 3, 2, 1; position 3 holds record 4
    random = FixedRandom({0.95, 0.8, 0.6, 0.4, 0.2, 0.1, 0.5});
    frm2CityVisit& w = open();
    EXPECT_EQ(session.quiz.visitCursor, 3);
    EXPECT_EQ(w.lblQs.caption(), "問題4\r\n\u3000本文4");
    EXPECT_EQ(session.points, 500) << "read back from the point file";
}

// ------------------------------------------------------------------ quiz

TEST_F(GameWindow, AnswerRightAndWrong) {
    random = FixedRandom({0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.05});  // the first right answer is lucky
    frm2CityVisit& w = open();
    ASSERT_TRUE(w.cmdAns.click());
    EXPECT_EQ(w.lblAns.caption(), "【解答】\r\n\u3000答え1");
    EXPECT_EQ(w.lblInyo.caption(), "QZ  1");
    EXPECT_FALSE(w.cmdAns.isShown());
    EXPECT_TRUE(w.cmdYes.isShown());
    EXPECT_TRUE(w.cmdNo.isShown());

    ASSERT_TRUE(w.cmdYes.click());
    EXPECT_EQ(w.lblMsg2.caption(), std::string(game::kLuckyLine) + "\r\n");
    EXPECT_EQ(w.lblPoint.caption(), "\u3000\u3000\u3000現在のポイント\r\n1500");
    EXPECT_EQ(pointsOnDisk(f), 1500);
    EXPECT_EQ(w.lblQs.caption(), "問題2\r\n\u3000本文2");
    EXPECT_EQ(w.lblInyo.caption(), "QZ  2");
    EXPECT_EQ(w.lblAns.caption(), "");
    EXPECT_TRUE(w.cmdAns.isShown());
    EXPECT_FALSE(w.cmdYes.isShown());

    ASSERT_TRUE(w.cmdAns.click());
    ASSERT_TRUE(w.cmdNo.click());
    EXPECT_EQ(w.lblMsg2.caption(), "");
    EXPECT_EQ(session.points, 1500);
    EXPECT_EQ(pointsOnDisk(f), 1500);
    EXPECT_EQ(w.lblQs.caption(), "問題3\r\n\u3000本文3");
}

TEST_F(GameWindow, TheBonusOnTheFifthAndTheFinishedMessage) {
    session.quiz.visitCursor = 2;
    frm2CityVisit& w = open();
    const std::vector<std::int32_t> totals = {1000, 1500, 2000, 2500, 5000};
    for (std::size_t i = 0; i < totals.size(); ++i) {
        ASSERT_TRUE(w.cmdAns.click()) << i;
        ASSERT_TRUE(w.cmdYes.click()) << i;
        EXPECT_EQ(session.points, totals[i]) << i;
    }
    EXPECT_EQ(w.lblMsg2.caption(), game::kBonusLine);
    EXPECT_EQ(w.lblQs.caption(), "お疲れ様でした。全ての問題を終了しました。");
    EXPECT_EQ(session.quiz.visitCursor, 7);
    EXPECT_FALSE(w.cmdAns.isShown());
}

TEST_F(GameWindow, ATotalBeyond32BitsIsRefusedInTheMessageLine) {
    writeGamePoints(f, INT_MAX - 100);
    frm2CityVisit& w = open();
    ASSERT_TRUE(w.cmdAns.click());
    ASSERT_TRUE(w.cmdYes.click());
    EXPECT_EQ(w.lblMinryoku.caption(), game::kPointsTooLarge);
    EXPECT_EQ(session.points, INT_MAX - 100);
    EXPECT_EQ(pointsOnDisk(f), INT_MAX - 100);
    EXPECT_EQ(w.lblQs.caption(), "問題1\r\n\u3000本文1");
    EXPECT_TRUE(w.cmdNo.isShown()) << "the question can still be judged wrong";
}

// --------------------------------------------------------------- visits

TEST_F(GameWindow, APrefectureOfTwelveWithFiveVisitedListsSeven) {
    visited({4, 5, 8, 11, 14}, 0, 5);
    frm2CityVisit& w = open();
    ASSERT_TRUE(w.lstKen.clickItem(1));
    std::vector<std::string> want;
    for (int n : {3, 6, 7, 9, 10, 12, 13}) want.push_back(entry("町" + std::to_string(n)));
    EXPECT_EQ(w.lstCity.items(), want);
    EXPECT_TRUE(isMapGreen(w.picTizu.pixel(100, 100))) << "k2.jpg is shown";
    ASSERT_TRUE(w.lstCity.clickItem(2));
    EXPECT_EQ(w.lblCity.caption(), padChars("町7", 7) + "\u3000民力：600");
    EXPECT_NE(w.lblVist.caption().find("1 " + padChars("町7", 8) + "町7の説明"), std::string::npos);
}

TEST_F(GameWindow, AVisitAtExactlyTheCostLeavesZero) {
    writeGamePoints(f, 600);
    frm2CityVisit& w = open();
    choose(w, 1, 4);  // record 7
    EXPECT_EQ(w.lblMinryoku.caption(), "○訪問可能 \u3000必要なポイント＝600\u3000蓄積ポイント＝600");
    EXPECT_EQ(w.lblMinryoku.foreColor(), ui::paletteColor(4));
    ASSERT_TRUE(w.cmdVisit.isShown());

    ASSERT_TRUE(w.cmdVisit.click());
    EXPECT_EQ(w.lblVisit.caption(), "オメデトウ！！\u3000県Ｂ町7") << "the design's words, then the place";
    EXPECT_EQ(w.lblPoint.caption(), "現在のポイント0");
    EXPECT_EQ(w.lblMinryoku.caption(), "");
    EXPECT_EQ(w.lblVist.caption(), "");
    EXPECT_EQ(session.points, 0);
    EXPECT_EQ(pointsOnDisk(f), 0) << "the point file holds the lowered total at once";
    EXPECT_EQ(markFlags(f)[6], 1);
    EXPECT_EQ(homonCounts(f), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(w.lstCity.count(), 11);
    const auto items = w.lstCity.items();
    EXPECT_EQ(std::count(items.begin(), items.end(), entry("町7")), 0);
    // the quiz moved on and the visit is not offered again
    EXPECT_EQ(w.lblQs.caption(), "問題2\r\n\u3000本文2");
    EXPECT_FALSE(w.cmdVisit.isShown());
    EXPECT_FALSE(w.cmdYes.isShown());
}

TEST_F(GameWindow, OnePointShortIsNotVisitable) {
    writeGamePoints(f, 599);
    frm2CityVisit& w = open();
    choose(w, 1, 4);
    EXPECT_EQ(w.lblMinryoku.caption(), "×訪問不可 \u3000必要なポイント＝600\u3000蓄積ポイント＝599");
    EXPECT_EQ(w.lblMinryoku.foreColor(), ui::paletteColor(1));
    EXPECT_FALSE(w.cmdVisit.isShown());
}

TEST_F(GameWindow, VisitAfterChoosingAnotherPrefecture) {
    writeGamePoints(f, 5000);
    frm2CityVisit& w = open();
    choose(w, 1, 0);
    ASSERT_TRUE(w.cmdVisit.isShown());
    ASSERT_NE(w.lblCity.caption(), "");
    const std::string line = w.lblMinryoku.caption();
    ASSERT_TRUE(w.lstKen.clickItem(0));
    EXPECT_EQ(w.lblCity.caption(), "") << "the header goes with the list it came from";
    EXPECT_EQ(w.lblVist.caption(), "");
    EXPECT_EQ(w.lblMinryoku.caption(), line) << "the visitability line is left as it was";
    ASSERT_TRUE(w.cmdVisit.isShown()) << "still shown after a prefecture choice";
    ASSERT_TRUE(w.cmdVisit.click());
    EXPECT_EQ(w.lblMinryoku.caption(), "市町村が指定されていません！？\u3000先に市町村を選んでください");
    EXPECT_EQ(session.points, 5000);
    EXPECT_EQ(markFlags(f), std::vector<int>(15, 0));
    EXPECT_EQ(w.lblQs.caption(), "問題2\r\n\u3000本文2") << "the quiz moves on";
    EXPECT_FALSE(w.cmdVisit.isShown());
}

TEST_F(GameWindow, TheLastMunicipalityCompletesThePrefectureAtTheNextOpening) {
    visited({1}, 1, 0);
    writeGamePoints(f, 1000);
    frm2CityVisit& w = open();
    choose(w, 0, 0);  // record 2, the last one of 県Ａ
    ASSERT_TRUE(w.cmdVisit.click());
    EXPECT_EQ(w.lstCity.count(), 0);
    EXPECT_EQ(w.lstKen.items()[0], "\u3000\u3000県Ａ") << "the list is not refilled after a visit";
    EXPECT_EQ(homonCounts(f), (std::vector<int>{2, 0, 0}));
    ASSERT_TRUE(w.cmdToMain.click());

    frm2CityVisit& again = open();
    EXPECT_EQ(again.lstKen.items()[0], "済\u3000県Ａ");
    EXPECT_EQ(session.points, 1000 - 496);
}

TEST_F(GameWindow, AMissingPictureLeavesTheMapBlankAndTheListsWorking) {
    frm2CityVisit& w = open();
    ASSERT_TRUE(w.lstKen.clickItem(0));
    ASSERT_TRUE(isMapGreen(w.picTizu.pixel(100, 100)));
    ASSERT_TRUE(w.lstKen.clickItem(2));  // 県Ｃ has no k3.jpg
    EXPECT_FALSE(isMapGreen(w.picTizu.pixel(100, 100)));
    EXPECT_NE(w.lblVist.caption().find("k3.jpg"), std::string::npos) << w.lblVist.caption();
    EXPECT_EQ(w.lstCity.items(), std::vector<std::string>{entry("町15")});
    ASSERT_TRUE(w.lstCity.clickItem(0));
    EXPECT_EQ(w.lblCity.caption(), padChars("町15", 7) + "\u3000民力：509");
    EXPECT_NE(w.lblVist.caption().find("k3.jpg"), std::string::npos);
    EXPECT_NE(w.lblMinryoku.caption().find("×訪問不可"), std::string::npos);
}

// ------------------------------------------------------ start over, return

TEST_F(GameWindow, StartOverResetsTheFilesAndLeavesTheQuestion) {
    visited({1, 3, 4, 9, 14}, 1, 4);
    writeGamePoints(f, 1200);
    frm2CityVisit& w = open();
    choose(w, 1, 0);
    ASSERT_TRUE(w.cmdAns.click());
    const std::string question = w.lblQs.caption(), answer = w.lblAns.caption();

    ASSERT_TRUE(w.cmdStart0.click());
    EXPECT_EQ(pointsOnDisk(f), 0);
    EXPECT_EQ(session.points, 0);
    EXPECT_EQ(markFlags(f), std::vector<int>(15, 0));
    EXPECT_EQ(homonCounts(f), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(w.lblPoint.caption(), "初期化しました\u3000\u3000最初から始めて下さい");
    EXPECT_EQ(w.lstKen.items(),
              (std::vector<std::string>{"\u3000\u3000県Ａ", "\u3000\u3000県Ｂ", "\u3000\u3000県Ｃ"}));
    EXPECT_EQ(w.lstCity.count(), 0);
    EXPECT_EQ(w.lblQs.caption(), question);
    EXPECT_EQ(w.lblAns.caption(), answer);
    // the answer button comes back beside the judgement buttons, which are left alone
    EXPECT_TRUE(w.cmdAns.isShown());
    EXPECT_TRUE(w.cmdYes.isShown()) << "the judgement buttons are left alone";
    EXPECT_TRUE(w.cmdVisit.isShown());

    // the municipality chosen before start over is still the choice, now unaffordable
    ASSERT_TRUE(w.cmdVisit.click());
    EXPECT_EQ(w.lblMinryoku.caption(), "ポイントが足りません！？\u3000他の市町村か、クイズで蓄財してください");
}

TEST_F(GameWindow, TheCloseBoxReturnsToTheMenu) {
    frm2CityVisit& w = open();
    w.frm.closeBox();
    EXPECT_FALSE(windows.isLoaded(WindowId::CityVisit));
    ASSERT_TRUE(windows.isLoaded(WindowId::Main));
    EXPECT_TRUE(session.startupDone());
}

TEST_F(GameWindow, TheMenuButtonOpensTheGame) {
    windows.start();
    ASSERT_TRUE(windows.main()->cmdCity.click());
    EXPECT_TRUE(windows.isLoaded(WindowId::CityVisit));
    EXPECT_FALSE(windows.isLoaded(WindowId::Main));
}

TEST_F(GameWindow, AMissingPointFileIsReportedInTheWindow) {
    std::filesystem::remove(f.pointFile());
    frm2CityVisit& w = open();
    EXPECT_NE(w.lblMinryoku.caption().find("point.csv"), std::string::npos) << w.lblMinryoku.caption();
    EXPECT_FALSE(w.cmdAns.isShown());
    EXPECT_FALSE(w.cmdYes.isShown());
    EXPECT_EQ(w.lstKen.count(), 3);
    // start over writes a fresh point file
    ASSERT_TRUE(w.cmdStart0.click());
    EXPECT_EQ(pointsOnDisk(f), 0);
}

TEST_F(GameWindow, AMissingMunicipalityFileIsReportedAndTheQuizGoesOn) {
    std::filesystem::remove(f.cityRecords());
    {
        // missing at the load: named at once, no prefecture to choose, the quiz half works
        frm2CityVisit& w = open();
        EXPECT_NE(w.lblMinryoku.caption().find("市町村.ran"), std::string::npos) << w.lblMinryoku.caption();
        EXPECT_EQ(w.lstKen.count(), 0);
        EXPECT_TRUE(w.cmdAns.isShown());
        EXPECT_FALSE(std::filesystem::exists(f.cityRecords())) << "the game never creates it";
        windows.unload(WindowId::CityVisit);
    }
    // gone after the load: named when a prefecture is chosen
    writeCities(f, numberedCities(15, 600));
    frm2CityVisit& w = open();
    std::filesystem::remove(f.cityRecords());
    ASSERT_TRUE(w.lstKen.clickItem(1));
    EXPECT_NE(w.lblMinryoku.caption().find("市町村.ran"), std::string::npos) << w.lblMinryoku.caption();
    EXPECT_EQ(w.lstCity.count(), 0);
    EXPECT_FALSE(std::filesystem::exists(f.cityRecords())) << "the game never creates it";
    ASSERT_TRUE(w.cmdAns.click());
    ASSERT_TRUE(w.cmdYes.click());
    EXPECT_EQ(session.points, 500);
}

// ------------------------------------------------- no one-key wipe, focus

TEST_F(GameWindow, StartOverAsksWithWhatIsLostAndANoChangesNothing) {
    visited({1, 3, 4, 9, 14}, 1, 4);
    writeGamePoints(f, 1200);
    frm2CityVisit& w = open();
    std::string asked;
    bool agree = false;
    windows.setConfirmer([&](ui::Form&, const std::string& q) {
        asked = q;
        return agree;
    });
    const Snapshot before = snapshot(folder.path());
    ASSERT_TRUE(w.cmdStart0.click());
    EXPECT_NE(asked.find("1200点"), std::string::npos) << asked;
    EXPECT_NE(asked.find("5市町村"), std::string::npos) << asked;
    EXPECT_TRUE(snapshot(folder.path()) == before) << "a refused start over changed a file";
    EXPECT_EQ(session.points, 1200);
    EXPECT_TRUE(w.cmdAns.hasFocus()) << "after the refusal the answer button is next";
    agree = true;
    ASSERT_TRUE(w.cmdStart0.click());
    EXPECT_EQ(pointsOnDisk(f), 0);
}

TEST_F(GameWindow, AfterEveryButtonTheFocusIsOnASafeStepNeverOnStartOver) {
    writeGamePoints(f, 1200);
    frm2CityVisit& w = open();
    struct Step {
        const char* what;
        ui::CommandButton frm2CityVisit::*button;
        ui::CommandButton frm2CityVisit::*focused;
    };
    const Step steps[] = {
        {"show the answer", &frm2CityVisit::cmdAns, &frm2CityVisit::cmdNo},
        {"right answer", &frm2CityVisit::cmdYes, &frm2CityVisit::cmdAns},
        {"show the answer", &frm2CityVisit::cmdAns, &frm2CityVisit::cmdNo},
        {"wrong answer", &frm2CityVisit::cmdNo, &frm2CityVisit::cmdAns},
        {"start over", &frm2CityVisit::cmdStart0, &frm2CityVisit::cmdAns},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        ASSERT_TRUE((w.*s.button).click());
        EXPECT_TRUE((w.*s.focused).hasFocus());
        EXPECT_FALSE(w.cmdStart0.hasFocus());
    }
}

TEST_F(GameWindow, StartOverShowsTheAnswerButtonExceptAfterTheLastQuestion) {
    writeGamePoints(f, 1200);
    frm2CityVisit& w = open();
    struct Case { const char* state; std::function<void()> before; bool ans, judge; };
    const Case cases[] = {
        {"question on display", [] {}, true, false},
        {"answer on display: the answer button beside the judgement buttons", [&] { ASSERT_TRUE(w.cmdAns.click()); }, true, true},
        {"after the last question: nothing left to answer", [&] {
             while (!w.quiz()->finished()) {
                 if (w.cmdAns.isShown()) ASSERT_TRUE(w.cmdAns.click());
                 ASSERT_TRUE(w.cmdNo.click());
             }
         }, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        c.before();
        ASSERT_TRUE(w.cmdStart0.click());
        EXPECT_EQ(w.cmdAns.isShown(), c.ans);
        EXPECT_EQ(w.cmdYes.isShown(), c.judge);
        EXPECT_EQ(w.cmdNo.isShown(), c.judge);
        EXPECT_TRUE(w.cmdVisit.isShown());
    }
    EXPECT_TRUE(w.quiz()->finished());
}

TEST_F(GameWindow, AVisitKeepsThePlacesNumbersOnTheMapUntilTheNextChoice) {
    writeGamePoints(f, 1200);
    frm2CityVisit& w = open();
    choose(w, 1, 2);
    ASSERT_FALSE(w.zoom.view.markPlaces().empty()) << "the chosen municipality's old municipalities are numbered";
    const std::size_t marks = w.zoom.view.markPlaces().size();
    ASSERT_TRUE(w.cmdVisit.click());
    EXPECT_NE(w.lblVisit.caption().find("オメデトウ"), std::string::npos);
    EXPECT_EQ(w.zoom.view.markPlaces().size(), marks) << "kept after the visit";
    choose(w, 1, 0);
    EXPECT_NE(w.zoom.view.markPlaces().size(), 0u);
}

TEST_F(GameWindow, AVisitWhoseListCannotBeRefilledIsShownDoneAndSaysWhy) {
    visited({}, 0, 0);
    writeGamePoints(f, 1200);
    frm2CityVisit& w = open();
    choose(w, 1, 2);
    ASSERT_TRUE(w.cmdVisit.isShown());
    // the municipality records go after the choice: the visit writes, the refill cannot read
    std::filesystem::remove(f.cityRecords());
    ASSERT_TRUE(w.cmdVisit.click());
    EXPECT_EQ(w.lblVisit.caption(), std::string(game::kCongratulation) + "県Ｂ町5");
    EXPECT_LT(pointsOnDisk(f), 1200);
    EXPECT_EQ(session.points, pointsOnDisk(f));
    EXPECT_NE(w.lblMinryoku.caption().find("市町村.ran"), std::string::npos) << w.lblMinryoku.caption();
}

TEST_F(GameWindow, AnUnreadableNextQuestionIsReportedAndTheWindowStaysUsable) {
    writeGamePoints(f, 1200);
    frm2CityVisit& w = open();
    ASSERT_TRUE(w.cmdAns.click());
    // cut the question file after the first record: the next one decodes as nothing whole
    const std::string bytes = readBytes(f.questionRecords());
    writeBytes(f.questionRecords(), bytes.substr(0, Mondai::kLength) + std::string(Mondai::kLength, '\xFF'));
    ASSERT_TRUE(w.cmdNo.click());
    EXPECT_NE(w.lblQs.caption().find("問題.ran"), std::string::npos) << w.lblQs.caption();
    EXPECT_FALSE(w.cmdYes.isShown());
    EXPECT_FALSE(w.cmdNo.isShown());
    EXPECT_FALSE(w.cmdAns.isShown());
    // the visit half and the return still work
    ASSERT_TRUE(w.lstKen.clickItem(1));
    EXPECT_GT(w.lstCity.count(), 0);
    ASSERT_TRUE(w.cmdToMain.click());
}

// The visit line keeps the design's place unless an inset of the map lies
// under it (東京都's islands): then it goes just above the highest such inset.
TEST(VisitLine, StandsAboveTheInsetsItWouldCover) {
    auto inset = [](double left, double top, double right, double bottom, bool framed = true) {
        MapPart p;
        p.frame = {left, top, right, bottom};
        p.framed = framed;
        return p;
    };
    const ui::Rect design = kVisitLineBox;  // 960..7335 × 6960..7215
    struct Case {
        const char* name;
        std::vector<MapPart> parts;
        int top;
    };
    const Case cases[] = {
        {"no inset", {MapPart{}}, design.top},
        {"an inset above the line", {inset(200, 1000, 2000, 3000)}, design.top},
        {"an inset left of the line", {inset(0, 4000, 900, 7500)}, design.top},
        {"an unframed part under the line", {inset(1000, 4000, 3000, 7500, false)}, design.top},
        {"one inset under the line", {inset(150, 4000, 1875, 7500)}, 4000 - design.height - kVisitLineGap},
        {"東京都: three, the highest decides",
         {MapPart{}, inset(150, 4020, 1875, 7500), inset(3420, 4020, 4290, 7500), inset(6885, 3900, 7425, 7500)},
         3900 - design.height - kVisitLineGap},
        {"an inset reaching the top", {inset(1000, 0, 2000, 7500)}, 0},
    };
    for (const auto& c : cases) {
        MapArea area;
        area.parts = c.parts;
        const ui::Rect box = visitLineBox(area, design);
        EXPECT_EQ(box.top, c.top) << c.name;
        EXPECT_EQ(box.left, design.left) << c.name;
        EXPECT_EQ(box.width, design.width) << c.name;
        EXPECT_EQ(box.height, design.height) << c.name;
    }
}
