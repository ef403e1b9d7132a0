// SPDX-License-Identifier: GPL-3.0-or-later
// Every window by keyboard alone: keys go to the control that has the
// keyboard through the application (as QTest::keyClick sends them), never to
// a handler directly. A focused button takes Space and Enter; the arrows in a
// map move the map; no key shows an answer the learner did not ask for.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QTest>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "core/files/database.h"
#include "core/files/io.h"
#include "core/files/records.h"
#include "core/quiz/memory.h"
#include "core/quiz/questions.h"
#include "core/session/session.h"
#include "ui/display_scale.h"
#include "ui/display_scale.h"
#include "screens/frm1Main.h"
#include "screens/frm2Fukusyu.h"
#include "screens/frm2CityVisit.h"
#include "screens/frm2Sogo.h"
#include "screens/frm8Help.h"
#include "screens/window_manager.h"
#include "support/fixed_random.h"
#include "support/game_fixture.h"
#include "support/question_bank.h"
#include "support/temp_folder.h"

using namespace tabinowa;
namespace t = tabinowa::testing;

namespace {

// A key as the keyboard sends it: to whatever has the focus now.
void typeKey(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QCoreApplication::processEvents();
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr) << "no control has the keyboard";
    QTest::keyClick(target, key, mods);
    QCoreApplication::processEvents();
}

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
};
const KeyCase kButtonKeys[] = {
    {"Space", Qt::Key_Space, Qt::NoModifier},
    {"Return", Qt::Key_Return, Qt::NoModifier},
    {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier},
};

// A program folder, its session and windows.
struct Desk {
    t::TempProgramFolder folder;
    PosixIo io;
    t::FixedRandom random{{}};
    Session session{folder.path(), io, random};
    WindowManager windows{session, [] {}};
    std::vector<std::string> asked;  // the confirmations the windows asked

    Desk() {
        session.fixedDay = 20000;
        windows.setConfirmer([this](ui::Form&, const std::string& q) {
            asked.push_back(q);
            return false;  // the learner says いいえ
        });
    }
    ~Desk() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // The visit game over 1200 points; 県Ａ's first municipality costs 495.
    frm2CityVisit& game() {
        t::writeProgramInUse(folder.folders());
        windows.start();
        EXPECT_TRUE(windows.main()->cmdCity.click());
        return *static_cast<frm2CityVisit*>(windows.window(WindowId::CityVisit));
    }
    frm2Sogo& training() {
        t::writeBank(folder.folders(), t::sampleBank(4, {}, true));
        windows.start();
        EXPECT_TRUE(windows.main()->cmdSogo.click());
        return *windows.sogo();
    }
};

struct Keyboard : ::testing::Test, Desk {};

// ------------------------------------------------------------ the visit

TEST_F(Keyboard, AFocusedVisitButtonVisitsWithEveryButtonKeyWhateverTheQuizShows) {
    for (bool answerShown : {false, true})
        for (const KeyCase& k : kButtonKeys) {
            SCOPED_TRACE(std::string(k.name) + (answerShown ? ", answer shown" : ", question waiting"));
            Desk fresh;  // a folder and windows of its own for each case
            frm2CityVisit& g = fresh.game();
            if (answerShown) {
                ASSERT_TRUE(g.cmdAns.click());
            }
            ASSERT_TRUE(g.lstKen.clickItem(0));
            ASSERT_TRUE(g.lstCity.clickItem(0));
            ASSERT_TRUE(g.cmdVisit.visible());
            ui::focus(g.cmdVisit);
            typeKey(k.key, k.mods);
            EXPECT_EQ(fresh.session.points, 1200 - 495);
            EXPECT_EQ(t::markFlags(fresh.folder.folders())[0], 1) << "the municipality is marked visited";
            EXPECT_NE(g.lblVisit.caption().find("オメデトウ"), std::string::npos);
            EXPECT_NE(g.lblVisit.caption().find("県Ａ"), std::string::npos) << "names the place: " << g.lblVisit.caption();
        }
}

TEST_F(Keyboard, FocusedGameButtonsDoTheirOwnStepNotTheAnswer) {
    frm2CityVisit& g = game();
    struct Case {
        const char* name;
        ui::CommandButton* button;
        std::function<bool()> done;
    };
    const std::string colours = g.cmdColours.caption();
    const Case cases[] = {
        {"最初から挑戦 asks first", &g.cmdStart0, [&] { return asked.size() == 1; }},
        {"訪問済みを色分け", &g.cmdColours, [&] { return g.cmdColours.caption() != colours; }},
        {"全国の訪問率", &g.cmdJapan, [&] { return g.zoom.pinned(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(g.cmdAns.visible());
        ui::focus(*c.button);
        typeKey(Qt::Key_Space);
        EXPECT_TRUE(c.done());
        EXPECT_TRUE(g.cmdAns.visible()) << "the answer was shown";
        EXPECT_FALSE(g.cmdYes.visible());
    }
}

TEST_F(Keyboard, TheReturnButtonTakesSpaceAsAButton) {
    frm2CityVisit& g = game();
    ui::focus(g.cmdToMain);
    typeKey(Qt::Key_Space);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(windows.window(WindowId::CityVisit), nullptr);
    EXPECT_NE(windows.main(), nullptr);
}

TEST_F(Keyboard, ArrowsOnTheGamesMapMoveTheMapAndNeverJudge) {
    frm2CityVisit& g = game();
    ASSERT_TRUE(g.cmdAns.click());
    ui::focus(g.zoom.view);
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Up, Qt::Key_Down}) {
        typeKey(key);
        EXPECT_EQ(session.points, 1200);
        EXPECT_TRUE(g.cmdYes.visible()) << "the answer is still waiting for its judgement";
    }
    // From a button the arrows still judge, as the legend says.
    ui::focus(g.cmdYes);
    typeKey(Qt::Key_Right);
    EXPECT_EQ(session.points, 1700);
}

TEST_F(Keyboard, TabFollowsTheDesignsOrderThenTheAdditions) {
    frm2CityVisit& g = game();
    ASSERT_TRUE(g.lstKen.clickItem(0));
    ASSERT_TRUE(g.lstCity.clickItem(0));  // 訪問する shown
    ui::focus(g.cmdToMain);
    // cmdYes and cmdNo are hidden while the question waits.
    const std::vector<ui::Widget*> order = {&g.cmdAns,   &g.cmdStart0,       &g.lstKen,          &g.zoom.view,
                                            &g.lstCity,  &g.cmdVisit,        &g.zoom.cmdZoomIn,  &g.zoom.cmdZoomOut,
                                            &g.zoom.cmdWhole, &g.cmdColours, &g.cmdJapan};
    for (std::size_t i = 0; i < order.size(); ++i) {
        typeKey(Qt::Key_Tab);
        EXPECT_TRUE(ui::hasFocus(*order[i])) << "step " << i + 1;
    }
}

TEST_F(Keyboard, EveryGameButtonHasItsKeyInTheLegend) {
    frm2CityVisit& g = game();
    const std::string legend = ui::legend(g.frm);
    for (const char* want : {"訪問する", "最初から挑戦", "メニューに戻る", "正解", "間違", "解答を表示", "色分け", "全国の訪問率"})
        EXPECT_NE(legend.find(want), std::string::npos) << want;
    // The legend's letters do what it says.
    ASSERT_TRUE(g.lstKen.clickItem(0));
    ASSERT_TRUE(g.lstCity.clickItem(0));
    ui::focus(g.lstCity);
    typeKey(Qt::Key_V);
    EXPECT_EQ(session.points, 1200 - 495);
    typeKey(Qt::Key_R);
    EXPECT_EQ(asked.size(), 1u) << "start over asks first";
}

// A municipality chosen by the keys shows its old municipalities' numbers on
// the prefecture's picture at every display scale (the default one on a large
// screen is 120 %, where the picture box and the map over it differ by a pixel).
TEST_F(Keyboard, AMunicipalityChosenByKeysShowsItsNumbersOnThePictureAtEveryScale) {
    for (double scale : {1.0, 1.2, 1.5, 2.0}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        ui::setDisplayScale(scale);
        Desk d;
        QImage picture(505, 503, QImage::Format_RGB32);
        picture.fill(QColor(0xf6, 0xf1, 0xdc));
        ASSERT_TRUE(picture.save(QString::fromStdString(d.session.folders.picture(1).string()), "JPG", 100));
        frm2CityVisit& g = d.game();
        ui::focus(g.lstKen);
        typeKey(Qt::Key_Down);  // 県Ａ
        typeKey(Qt::Key_Tab);   // the map
        QWidget* map = QApplication::focusWidget();
        ASSERT_TRUE(ui::hasFocus(g.zoom.view));
        const QImage before = map->grab().toImage();
        typeKey(Qt::Key_Tab);
        typeKey(Qt::Key_Down);  // its first municipality
        ASSERT_EQ(g.lstCity.selectedIndex(), 0);
        QCoreApplication::processEvents();
        const QImage after = map->grab().toImage();
        ASSERT_EQ(after.size(), before.size());
        int reddish = 0;
        for (int y = 0; y < after.height(); ++y)
            for (int x = 0; x < after.width(); ++x) {
                const QColor c = after.pixelColor(x, y);
                reddish += c.red() > 200 && c.green() < 120 && c.blue() < 120 && after.pixel(x, y) != before.pixel(x, y);
            }
        EXPECT_GT(reddish, 5) << "no number printed on the map";
    }
    ui::setDisplayScale(1.0);
}

// A list the keyboard has just come to has nothing chosen: the first key
// chooses as it says (Down the first entry, End the last), and the game's
// prefecture is then shown in the municipalities' list.
TEST_F(Keyboard, TheFirstKeyInAListWithNothingChosenGoesWhereItSays) {
    struct Case {
        const char* name;
        Qt::Key key;
        bool last;
    };
    const Case cases[] = {{"Down", Qt::Key_Down, false}, {"End", Qt::Key_End, true}, {"Home", Qt::Key_Home, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Desk fresh;
        frm2CityVisit& g = fresh.game();
        ui::focus(g.lstKen);
        ASSERT_EQ(g.lstKen.selectedIndex(), -1);
        typeKey(c.key);
        EXPECT_EQ(g.lstKen.selectedIndex(), c.last ? g.lstKen.count() - 1 : 0);
        EXPECT_GT(g.lstCity.count(), 0) << "the chosen prefecture's municipalities are not listed";
    }
}

// The keyboard's cross (and the dashed outline of the place under it) is
// drawn while the map has the keyboard only: Tab on to the list hides it,
// Shift+Tab back shows it again where it was.
TEST_F(Keyboard, TheMapsCrossGoesWithTheKeyboard) {
    frm2CityVisit& g = game();
    QWidget* map = nullptr;
    const auto crossPixels = [&map] {
        QCoreApplication::processEvents();
        const QImage shot = map->grab().toImage();
        int n = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                n += std::abs(c.red() - 0xd0) < 24 && std::abs(c.green() - 0x40) < 24 && c.blue() < 24;
            }
        return n;
    };
    ui::focus(g.lstKen);
    typeKey(Qt::Key_Down);  // 県Ａ
    typeKey(Qt::Key_Tab);   // the map
    ASSERT_TRUE(ui::hasFocus(g.zoom.view));
    map = QApplication::focusWidget();
    EXPECT_GT(crossPixels(), 10) << "no cross on the map that has the keyboard";
    typeKey(Qt::Key_Tab);  // the municipalities
    ASSERT_TRUE(ui::hasFocus(g.lstCity));
    EXPECT_EQ(crossPixels(), 0) << "the cross stayed after Tab left the map";
    typeKey(Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_TRUE(ui::hasFocus(g.zoom.view));
    EXPECT_GT(crossPixels(), 10) << "the cross did not come back with the keyboard";
}

// ------------------------------------------------------------ training

TEST_F(Keyboard, FocusedTrainingButtonsDoTheirOwnStepNotTheAnswer) {
    frm2Sogo& s = training();
    struct Case {
        const char* name;
        ui::CommandButton* button;
        std::function<bool()> done;
    };
    const bool modeBefore = s.answerMode.byChoice();
    const Case cases[] = {
        {"消去済み問題を、全て復活する asks first", &s.cmdSaisei, [&] { return asked.size() == 1; }},
        {"答え方", &s.answerMode.button, [&] { return s.answerMode.byChoice() != modeBefore; }},
    };
    for (const Case& c : cases)
        for (const KeyCase& k : kButtonKeys) {
            SCOPED_TRACE(std::string(c.name) + " by " + k.name);
            asked.clear();
            if (s.answerMode.byChoice() != modeBefore) s.answerMode.toggle();
            ui::focus(*c.button);
            typeKey(k.key, k.mods);
            EXPECT_TRUE(c.done());
            EXPECT_FALSE(s.answerShown()) << "the answer was shown";
        }
}

TEST_F(Keyboard, TheTrainingLegendOffersTheHintOnlyWhereItWorks) {
    frm2Sogo& s = training();
    if (s.answerMode.byChoice()) s.answerMode.toggle();  // the mode is kept for the process: judging oneself
    EXPECT_NE(ui::legend(s.frm).find("H：ヒント"), std::string::npos);
    ui::focus(s.answerMode.button);
    typeKey(Qt::Key_Space);
    ASSERT_TRUE(s.answerMode.byChoice());
    EXPECT_EQ(ui::legend(s.frm).find("H：ヒント"), std::string::npos) << ui::legend(s.frm);
}

TEST_F(Keyboard, ARemovalSaysSo) {
    frm2Sogo& s = training();
    typeKey(Qt::Key_Space);  // the answer
    ASSERT_TRUE(s.answerShown());
    typeKey(Qt::Key_Delete);
    EXPECT_EQ(t::storedFlag(folder.folders(), 1), 1);
    EXPECT_NE(s.lblAns1.caption().find("消去しました"), std::string::npos) << s.lblAns1.caption();
}

// After the answer, O and X (or their buttons) say right or wrong: the memory
// keeps it with the activity and the time to recall, and the next question
// comes. Before the answer, after a removal and while answering by choice
// they are not there and the keys do nothing.
TEST_F(Keyboard, TrainingOAndXRememberTheLearnersVerdictAfterTheAnswerOnly) {
    struct Case {
        const char* name;
        Qt::Key key;
        bool byButton;  // the button focused and pressed by Space, not the letter
        Outcome outcome;
    };
    const Case cases[] = {
        {"O", Qt::Key_O, false, Outcome::Good},
        {"X", Qt::Key_X, false, Outcome::Again},
        {"〇 by Space", Qt::Key_Space, true, Outcome::Good},
        {"× by Space", Qt::Key_Space, true, Outcome::Again},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Desk d;
        frm2Sogo& s = d.training();
        if (s.answerMode.byChoice()) s.answerMode.toggle();  // the mode is kept for the process: judging oneself
        const Mondai asked = QuestionFile(d.io, d.session.folders).get(1);
        ui::CommandButton& button = c.outcome == Outcome::Good ? s.cmdRight : s.cmdWrong;
        EXPECT_FALSE(button.isShown()) << "offered before the answer";
        typeKey(c.outcome == Outcome::Good ? Qt::Key_O : Qt::Key_X);
        EXPECT_FALSE(s.answerShown()) << "the key showed the answer";
        EXPECT_EQ(d.session.memory.logCount(), 0);

        typeKey(Qt::Key_Space);  // the answer
        ASSERT_TRUE(s.answerShown());
        ASSERT_TRUE(s.cmdRight.isShown());
        ASSERT_TRUE(s.cmdWrong.isShown());
        const Card want = d.session.memory.book().applied(memoryKey(asked), c.outcome, d.session.today());
        if (c.byButton) ui::focus(button);
        typeKey(c.key);
        EXPECT_FALSE(s.answerShown()) << "the next question";
        EXPECT_EQ(s.lblQs.caption(), questionText(QuestionFile(d.io, d.session.folders).get(2)));
        EXPECT_FALSE(s.cmdRight.isShown());

        MemoryStore again(d.io, d.session.folders.memoryFile());
        const Card* card = again.book().find(memoryKey(asked));
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(card->dueDay, want.dueDay);
        EXPECT_DOUBLE_EQ(card->state.stability, want.state.stability);
        EXPECT_EQ(card->lastWrong, c.outcome == Outcome::Again);
        Database db(d.io, again.databaseFile(), false);
        Database::Statement rows(db, "SELECT activity, outcome, seconds FROM answers");
        ASSERT_TRUE(rows.step());
        EXPECT_EQ(rows.text(0), "練習");
        EXPECT_EQ(rows.integer(1), static_cast<int>(c.outcome));
        EXPECT_FALSE(rows.isNull(2)) << "no response time";
        EXPECT_GE(rows.real(2), 0.0);
        EXPECT_FALSE(rows.step()) << "one answer, one row";
    }

    // A removed question is mastered: no verdict on it; its undo offers it again.
    frm2Sogo& s = training();
    typeKey(Qt::Key_Space);
    ASSERT_TRUE(s.cmdRight.isShown());
    typeKey(Qt::Key_Delete);
    EXPECT_FALSE(s.cmdRight.isShown());
    typeKey(Qt::Key_O);
    EXPECT_TRUE(s.answerShown()) << "O after a removal went on";
    typeKey(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(s.cmdRight.isShown());
    EXPECT_NE(ui::legend(s.frm).find("O／X"), std::string::npos) << ui::legend(s.frm);

    // Answering by choice judges by the pick: no O / X.
    ui::focus(s.answerMode.button);
    typeKey(Qt::Key_Space);
    ASSERT_TRUE(s.answerMode.byChoice());
    EXPECT_FALSE(s.cmdRight.isShown());
    EXPECT_EQ(ui::legend(s.frm).find("O／X"), std::string::npos) << ui::legend(s.frm);
    s.answerMode.toggle();
}

// ------------------------------------------------------------ help

TEST_F(Keyboard, HelpClosesWithEscAndWithEnter) {
    t::writeBank(folder.folders(), t::sampleBank(2));
    windows.start();
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        frm8Help& h = windows.showHelp();
        h.frm.show();
        QCoreApplication::processEvents();
        ui::focus(h.cmdClose);
        typeKey(key);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(windows.help(), nullptr) << (key == Qt::Key_Escape ? "Esc" : "Enter");
    }
}

// F1 opens the help over the menu; Esc closes it and the menu has the
// keyboard again: its keys work without a click first.
TEST_F(Keyboard, TheMenuHasTheKeyboardBackWhenTheHelpCloses) {
    t::writeBank(folder.folders(), t::sampleBank(2));
    windows.start();
    frm1Main& menu = *windows.main();
    ASSERT_NE(ui::legend(menu.frm).find("F1：遊び方"), std::string::npos) << ui::legend(menu.frm);
    ui::focus(menu.cmdCity);
    QWidget* menuWindow = QApplication::focusWidget()->window();
    typeKey(Qt::Key_F1);
    ASSERT_NE(windows.help(), nullptr) << "F1 opened no help";
    windows.help()->frm.show();
    QCoreApplication::processEvents();
    ASSERT_NE(QApplication::activeWindow(), menuWindow) << "the help did not take the keyboard";
    typeKey(Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(windows.help(), nullptr);
    EXPECT_EQ(QApplication::activeWindow(), menuWindow);
    ASSERT_NE(QApplication::focusWidget(), nullptr) << "no control has the keyboard after the help";
    typeKey(Qt::Key_R);
    EXPECT_NE(windows.review(), nullptr) << "R in the menu after the help did nothing";
}

}  // namespace
