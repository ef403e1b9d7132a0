// SPDX-License-Identifier: GPL-3.0-or-later
// The shell on the offscreen platform: start-up and the deck built once per
// run, the main menu, the environment and information windows, one instance
// per window, the return-to-menu sequence, the end of the program, the close
// boxes, and failures written into the window's own label.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

#include <filesystem>
#include <string>
#include <vector>

#include "core/base/random.h"
#include "core/session/session.h"
#include "core/files/io.h"
#include "screens/frm2Sogo.h"
#include "screens/frm1Main.h"
#include "screens/frm8Info.h"
#include "screens/frm9Kankyo.h"
#include "screens/window_manager.h"
#include "support/question_bank.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using tabinowa::testing::TempProgramFolder;

namespace {

struct Shell : ::testing::Test {
    TempProgramFolder folder;
    PosixIo io;
    MtRandom random{12345};
    Session session{folder.path(), io, random};
    int quits = 0;
    WindowManager windows{session, [this] { ++quits; }};

    void SetUp() override {
        tabinowa::testing::writeBank(folder.folders(), tabinowa::testing::sampleBank(5));
        windows.setConfirmer([](ui::Form&, const std::string&) { return true; });  // the user agrees
    }
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    frm1Main& main() {
        EXPECT_NE(windows.main(), nullptr);
        return *windows.main();
    }
    // The start, until the menu is drawn and has built its deck.
    void startAndDraw() {
        windows.start();
        for (int i = 0; i < 20 && session.deckPending; ++i) QCoreApplication::processEvents();
    }
    // Top-level windows on screen with this caption.
    static int shownWindows(const std::string& caption) {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == QString::fromStdString(caption)) ++n;
        return n;
    }
    void appendQuestions(int count) {
        auto bytes = tabinowa::testing::readBytes(folder.folders().questionRecords());
        bytes += tabinowa::testing::encodeAll(tabinowa::testing::sampleBank(count));
        tabinowa::testing::writeBytes(folder.folders().questionRecords(), bytes);
    }
};

const char* const kTraining = "　　クイズのトレーニング\r\n\r\nクイズにチャレンジ。自己判断で腕試し\r\n解説で、問題の理解も出来る";
const char* const kVisit =
    "　　クイズで蓄財して日本一周\r\n\r\nクイズでポイントをゲット\r\n"
    "市町村の民力を上回るポイントをゲットしたら訪問できる\r\n"
    "全国の市町村をクリアーしよう";  // no municipality file here: no count (tests/ui_desktop.cpp checks the count)
const char* const kTizu = "　　市町村（旧）の概略\r\n\r\n市町村のリストから地図表示\r\n地図から市町村名の表示";

TEST_F(Shell, StartShowsTheMainMenuWithItsTextsAndBuildsTheDeck) {
    startAndDraw();
    frm1Main& m = main();
    EXPECT_TRUE(m.frm.isShown());
    EXPECT_EQ(m.frm.caption(), "クイズミチクサ－「コモレビ舎」");
    EXPECT_EQ(m.frm.geometry().width, 12330);
    EXPECT_EQ(m.frm.geometry().height, 7950);
    EXPECT_EQ(m.lblTraining.caption(), kTraining);
    EXPECT_EQ(m.lblVisit.caption(), kVisit);
    EXPECT_EQ(m.lblTizu.caption(), kTizu);
    EXPECT_EQ(m.Label1.caption(), "クイズミチクサ");
    EXPECT_EQ(m.Label1.fontFamily(), "Reggae One");
    EXPECT_TRUE(m.Image1.hasPicture());
    for (ui::CommandButton* b : {&m.cmdEnd, &m.cmdSogo, &m.cmdCity, &m.cmdTizu}) EXPECT_TRUE(b->isShown());
    EXPECT_EQ(ui::Menu::barCaptions(m.frm), (std::vector<std::string>{"【情　　報】", "環境作成"}));
    EXPECT_EQ(m.lblStatus.caption(), "");
    EXPECT_EQ(session.quiz.totalCount, 5);
    EXPECT_EQ(session.quiz.deckLength, 5);
    EXPECT_FALSE(session.startupFlag.has_value());
}

// The start's deck is built once the menu has been drawn, or by the first
// item used before that; either way once, and its failure is told in the
// status line.
TEST_F(Shell, TheDeckIsBuiltAfterTheMenuIsDrawnOrByTheFirstItemUsed) {
    enum class Then { Drawn, ItemFirst, Failing };
    for (const Then then : {Then::Drawn, Then::ItemFirst, Then::Failing}) {
        SCOPED_TRACE(static_cast<int>(then));
        TempProgramFolder f;
        PosixIo io;
        MtRandom random(7), same(7);
        if (then == Then::Failing) {
            tabinowa::testing::writeBytes(f.folders().questionRecords(), std::string(100, 'x'));  // not whole records
        } else {
            tabinowa::testing::writeBank(f.folders(), tabinowa::testing::sampleBank(30));
        }
        Session s{f.path(), io, random};
        WindowManager w{s, [] {}};
        w.start();
        ASSERT_NE(w.main(), nullptr);
        if (then == Then::ItemFirst) {
            ASSERT_TRUE(w.main()->mnuAsa.click());  // before any event: the menu is not drawn yet
            EXPECT_FALSE(s.deckPending);
        } else {
            EXPECT_TRUE(s.deckPending) << "built before the menu was drawn";
        }
        for (int i = 0; i < 20 && s.deckPending; ++i) QCoreApplication::processEvents();
        EXPECT_FALSE(s.deckPending) << "the menu was drawn and did not build the deck";
        if (then == Then::Failing) {
            EXPECT_FALSE(w.main()->lblStatus.caption().empty());
            EXPECT_EQ(s.quiz.totalCount, 0);
            continue;
        }
        QuestionDeck direct;
        direct.build(io, f.folders(), same);
        EXPECT_EQ(s.quiz.totalCount, 30);
        EXPECT_EQ(s.quiz.recordColumn, direct.recordColumn);
        EXPECT_EQ(w.main()->lblStatus.caption(), "");
        w.endProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(Shell, TheDeckIsBuiltOnceAndNotAgainAfterTrainingAndBack) {
    windows.start();
    ASSERT_TRUE(main().cmdSogo.click());
    EXPECT_FALSE(windows.isLoaded(WindowId::Main));
    ASSERT_NE(windows.sogo(), nullptr);
    appendQuestions(3);  // a later change of the file does not reach this run's deck
    ASSERT_TRUE(windows.sogo()->cmdToMain.click());
    EXPECT_EQ(windows.sogo(), nullptr);
    ASSERT_NE(windows.main(), nullptr);
    EXPECT_TRUE(main().frm.isShown());
    EXPECT_EQ(main().lblTraining.caption(), kTraining);  // the load step ran again
    EXPECT_EQ(session.startupFlag, 1);
    EXPECT_EQ(session.quiz.totalCount, 5);
}

TEST_F(Shell, AMenuItemUsedFirstSetsTheFlagAndTheDeckStays) {
    startAndDraw();
    const std::int16_t first = session.quiz.entry(1);
    ASSERT_TRUE(main().mnuAsa.click());
    EXPECT_EQ(session.startupFlag, 1);
    appendQuestions(2);
    ASSERT_TRUE(main().cmdSogo.click());
    ASSERT_TRUE(windows.sogo()->cmdToMain.click());
    EXPECT_EQ(session.quiz.totalCount, 5);
    EXPECT_EQ(session.quiz.entry(1), first);
}

TEST_F(Shell, ReturningFromTheEnvironmentDoesNotReloadAnOpenMenu) {
    windows.start();
    frm1Main* before = windows.main();
    ASSERT_TRUE(main().mnuKankyo.click());
    ASSERT_NE(windows.kankyo(), nullptr);
    EXPECT_TRUE(windows.kankyo()->frm.isShown());
    EXPECT_TRUE(main().frm.isShown());  // the menu stays beside it
    main().lblTraining.setCaption("changed");
    ASSERT_TRUE(windows.kankyo()->cmdToMain.click());
    EXPECT_EQ(windows.main(), before);
    EXPECT_EQ(main().lblTraining.caption(), "changed");
    EXPECT_EQ(windows.kankyo(), nullptr);
    EXPECT_EQ(shownWindows("環境作成"), 0);
}

TEST_F(Shell, ReturningFromTheEnvironmentReloadsAnUnloadedMenuWithoutRebuilding) {
    windows.start();
    ASSERT_TRUE(main().mnuKankyo.click());
    ASSERT_TRUE(main().cmdSogo.click());  // the menu is unloaded, training and environment open
    EXPECT_FALSE(windows.isLoaded(WindowId::Main));
    appendQuestions(4);
    ASSERT_TRUE(windows.kankyo()->cmdToMain.click());
    ASSERT_NE(windows.main(), nullptr);
    EXPECT_EQ(main().lblVisit.caption(), kVisit);
    EXPECT_EQ(session.quiz.totalCount, 5);
    EXPECT_TRUE(windows.sogo()->frm.isShown());  // training still open, its file still held
    EXPECT_TRUE(windows.sogo()->holdsQuestionFile());
}

TEST_F(Shell, EachWindowExistsOnce) {
    windows.start();
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(main().mnuKankyo.click());
        ASSERT_TRUE(main().mnuAsa.click());
    }
    EXPECT_EQ(shownWindows("環境作成"), 1);
    EXPECT_EQ(shownWindows("情報ー「クイズタビノワ」"), 1);
    frm9Kankyo* k = windows.kankyo();
    windows.showKankyo();
    EXPECT_EQ(windows.kankyo(), k);
    windows.showMain();
    EXPECT_EQ(shownWindows("クイズミチクサ－「コモレビ舎」"), 1);
}

TEST_F(Shell, EndClosesEveryWindowFromAnyState) {
    windows.start();
    ASSERT_TRUE(main().mnuKankyo.click());
    ASSERT_TRUE(main().mnuAsa.click());
    ASSERT_TRUE(main().cmdEnd.click());
    EXPECT_EQ(quits, 1);
    for (auto id : {WindowId::Main, WindowId::Kankyo, WindowId::Info}) EXPECT_FALSE(windows.isLoaded(id));
    EXPECT_EQ(shownWindows("環境作成") + shownWindows("情報ー「クイズタビノワ」") +
                  shownWindows("クイズミチクサ－「コモレビ舎」"),
              0);
}

TEST_F(Shell, CloseBoxesRunEachWindowsOwnSteps) {
    windows.start();
    // information: closes itself
    ASSERT_TRUE(main().mnuAsa.click());
    windows.info()->frm.closeBox();
    EXPECT_EQ(windows.info(), nullptr);
    // environment: as "メインへ"
    ASSERT_TRUE(main().mnuKankyo.click());
    frm1Main* m = windows.main();
    windows.kankyo()->frm.closeBox();
    EXPECT_EQ(windows.kankyo(), nullptr);
    EXPECT_EQ(windows.main(), m);
    EXPECT_EQ(quits, 0);
    // training: the return to the menu
    ASSERT_TRUE(main().cmdSogo.click());
    windows.sogo()->frm.closeBox();
    EXPECT_EQ(windows.sogo(), nullptr);
    ASSERT_NE(windows.main(), nullptr);
    EXPECT_TRUE(main().frm.isShown());
    // main menu: the end step
    main().frm.closeBox();
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(windows.isLoaded(WindowId::Main));
}

TEST_F(Shell, ADeckBuildFailureIsReportedInTheStatusLine) {
    // "問題.ran" cannot be opened: a folder stands in its place
    std::filesystem::remove(folder.folders().questionRecords());
    std::filesystem::create_directory(folder.folders().questionRecords());
    startAndDraw();
    ASSERT_NE(windows.main(), nullptr);
    EXPECT_TRUE(main().frm.isShown());
    EXPECT_NE(main().lblStatus.caption().find("問題.ran"), std::string::npos) << main().lblStatus.caption();
    EXPECT_EQ(main().lblTraining.caption(), kTraining);
    EXPECT_EQ(session.quiz.totalCount, 0);
}

TEST_F(Shell, TheMapOpensBesideTheMenuAndTheVisitGameInsteadOfIt) {
    windows.start();
    ASSERT_TRUE(main().cmdTizu.click());
    ASSERT_TRUE(main().cmdTizu.click());
    EXPECT_TRUE(windows.isLoaded(WindowId::Tizu));
    EXPECT_EQ(shownWindows("市町村地図－「コモレビ舎」"), 1);
    EXPECT_TRUE(main().frm.isShown());
    ASSERT_TRUE(main().cmdCity.click());
    EXPECT_TRUE(windows.isLoaded(WindowId::CityVisit));
    EXPECT_FALSE(windows.isLoaded(WindowId::Main));
}

// ---------------------------------------------------------- environment ----

TEST_F(Shell, TheEnvironmentWindowReportsItsBuildsInItsLabel) {
    windows.start();
    ASSERT_TRUE(main().mnuKankyo.click());
    frm9Kankyo& k = *windows.kankyo();
    EXPECT_EQ(k.frm.caption(), "環境作成");
    EXPECT_EQ(k.cmdStoR.caption(), "ランダムファイル作成");
    EXPECT_EQ(k.cmdCity.caption(), "市町村ランダムファイル作成");
    EXPECT_EQ(k.lblMsg1.caption(), "");

    // no masters: the message names the file and nothing is changed
    const std::string before = tabinowa::testing::readBytes(folder.folders().questionRecords());
    ASSERT_TRUE(k.cmdStoR.click());
    EXPECT_NE(k.lblMsg1.caption().find("問題.csv"), std::string::npos) << k.lblMsg1.caption();
    EXPECT_EQ(tabinowa::testing::readBytes(folder.folders().questionRecords()), before);
    ASSERT_TRUE(k.cmdCity.click());
    EXPECT_NE(k.lblMsg1.caption().find(".csv"), std::string::npos) << k.lblMsg1.caption();
    EXPECT_TRUE(k.frm.isShown());

    // a master of two questions: the completion text, and the deck follows the new file
    std::string master;
    for (int n = 1; n <= 2; ++n)
        master += "\"AB\"," + std::to_string(n) +
                  ",,\"甲\",\"乙\",\"丙\",\"正解\",,,,\"解説\",\"\",\"\",\"\",,0,\"問題\",\"本文\"\n";
    tabinowa::testing::writeBytes(folder.folders().questionMaster(), tabinowa::testing::sjisLines(master));
    ASSERT_TRUE(k.cmdStoR.click());
    EXPECT_EQ(k.lblMsg1.caption(), "2  2件　終了");
    EXPECT_EQ(session.quiz.totalCount, 2);
    EXPECT_EQ(session.quiz.deckLength, 2);
}

TEST_F(Shell, NoBuildReplacesTheFilesOfAnOpenActivity) {
    std::string master = "\"AB\",1,,\"甲\",\"乙\",\"丙\",\"正解\",,,,\"解説\",\"\",\"\",\"\",,0,\"問題\",\"本文\"\n";
    tabinowa::testing::writeBytes(folder.folders().questionMaster(), tabinowa::testing::sjisLines(master));
    windows.start();
    ASSERT_TRUE(main().mnuKankyo.click());
    ASSERT_TRUE(main().cmdSogo.click());  // training open beside the environment window
    const std::string before = tabinowa::testing::readBytes(folder.folders().questionRecords());
    frm9Kankyo& k = *windows.kankyo();
    ASSERT_TRUE(k.cmdStoR.click());
    EXPECT_NE(k.lblMsg1.caption().find("閉じてから"), std::string::npos) << k.lblMsg1.caption();
    EXPECT_EQ(tabinowa::testing::readBytes(folder.folders().questionRecords()), before);
    EXPECT_EQ(session.quiz.totalCount, 5);
    ASSERT_TRUE(windows.sogo()->cmdToMain.click());
    ASSERT_TRUE(k.cmdStoR.click());  // with training closed the build runs
    EXPECT_EQ(k.lblMsg1.caption(), "1  1件　終了");
}

TEST_F(Shell, TheInformationWindowCreditsTheDataSources) {
    windows.start();
    ASSERT_TRUE(main().mnuAsa.click());
    frm8Info& i = *windows.info();
    EXPECT_EQ(i.frm.caption(), "情報ー「クイズタビノワ」");
    EXPECT_EQ(i.frm.geometry().width, 4680);
    EXPECT_EQ(i.Label1.caption(), "クイズタビノワ");
    for (const char* credit : {"SSDSE-A", "e-Stat", "国土数値情報", "国土交通省"})
        EXPECT_NE(i.lblMsg1.caption().find(credit), std::string::npos) << credit;
    EXPECT_NE(i.lblMsg2.caption().find("不具合"), std::string::npos);
    EXPECT_TRUE(main().frm.isShown());
}

}  // namespace

TEST_F(Shell, BothBuildsAskWithWhatIsLostAndANoChangesNothing) {
    // progress to lose: two removed questions and 700 points
    tabinowa::testing::writeBank(folder.folders(), tabinowa::testing::sampleBank(5, {2, 4}));
    tabinowa::testing::writeBytes(folder.folders().pointFile(), " 700\r\n");
    tabinowa::testing::writeBytes(folder.folders().questionMaster(),
                                  tabinowa::testing::sjisLines("\"AB\",1,,\"甲\",\"乙\",\"丙\",\"正解\",,,,\"解説\","
                                                               "\"\",\"\",\"\",,0,\"問題\",\"本文\"\n"));
    windows.start();
    ASSERT_TRUE(main().mnuKankyo.click());
    frm9Kankyo& k = *windows.kankyo();
    struct Case {
        const char* what;
        tabinowa::ui::CommandButton frm9Kankyo::*button;
        std::vector<std::string> numbers;
    };
    const Case cases[] = {{"question build", &frm9Kankyo::cmdStoR, {"2件", "700点"}},
                          {"municipality build", &frm9Kankyo::cmdCity, {"0市町村"}}};
    const auto before = tabinowa::testing::readBytes(folder.folders().questionRecords());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string asked;
        windows.setConfirmer([&](ui::Form&, const std::string& q) {
            asked = q;
            return false;
        });
        ASSERT_TRUE((k.*c.button).click());
        for (const auto& n : c.numbers) EXPECT_NE(asked.find(n), std::string::npos) << asked;
        EXPECT_EQ(k.lblMsg1.caption(), "");
        EXPECT_EQ(tabinowa::testing::readBytes(folder.folders().questionRecords()), before);
        EXPECT_EQ(tabinowa::testing::readBytes(folder.folders().pointFile()), " 700\r\n");
    }
    // a dialog no one can see answers its default, no
    windows.setConfirmer(nullptr);
    ASSERT_TRUE(k.cmdStoR.click());
    EXPECT_EQ(tabinowa::testing::readBytes(folder.folders().questionRecords()), before);
}
