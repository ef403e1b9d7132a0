// SPDX-License-Identifier: GPL-3.0-or-later
// Learning aids on the offscreen platform: keys in every window, answering by
// choice, undo of a removal, the memory of every answer (through a restart
// and a question build), the review, the progress line and the statistics.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QStandardPaths>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/session/session.h"
#include "core/files/io.h"
#include "screens/frm2CityVisit.h"
#include "screens/frm2Tizu.h"
#include "core/map/where_round.h"
#include "screens/frm8Info.h"
#include "screens/frm9Kankyo.h"
#include "screens/frm2Fukusyu.h"
#include "core/files/cp932.h"
#include "screens/frm2Sogo.h"
#include "screens/frm2Toukei.h"
#include "core/quiz/questions.h"
#include "core/quiz/review.h"
#include "screens/frm1Main.h"
#include "screens/window_manager.h"
#include "support/fixed_random.h"
#include "support/folder_checks.h"
#include "support/game_fixture.h"
#include "support/question_bank.h"
#include "support/temp_folder.h"

using namespace tabinowa;
namespace t = tabinowa::testing;

namespace {

constexpr std::int32_t kToday = 20000;

struct Learning : ::testing::Test {
    t::TempProgramFolder folder;
    PosixIo io;
    t::FixedRandom random{{}};  // every draw 0.5: the deck in file order
    Session session{folder.path(), io, random};
    WindowManager windows{session, [] {}};

    Learning() {
        session.fixedDay = kToday;
        // Each test starts as a first start does (the answer modes are the learner's settings).
        QFile::remove(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/settings.ini"));
    }
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    frm2Sogo& training(const std::vector<Mondai>& bank) {
        t::writeBank(folder.folders(), bank);
        windows.start();
        EXPECT_TRUE(windows.main()->cmdSogo.click());
        return *windows.sogo();
    }
    // The memory as a fresh run reads it from the file.
    MemoryBook memoryOnDisk() {
        MemoryStore store(io, folder.folders().memoryFile());
        return store.book();
    }
    Mondai record(int n) {
        QuestionFile f(io, folder.folders());
        return f.get(n);
    }
    // The last answer in the log, as a fresh run reads it.
    MemoryStore::Logged lastLogged() {
        MemoryStore store(io, folder.folders().memoryFile());
        const auto all = store.answers();
        return all.empty() ? MemoryStore::Logged{} : all.back();
    }
};

// Each answer's row in the log names what it was part of and how long the
// question was shown before it.
void expectLogged(const MemoryStore::Logged& row, const Mondai& asked, std::string_view activity, Outcome o) {
    EXPECT_EQ(row.key, memoryKey(asked));
    EXPECT_EQ(row.activity, activity);
    EXPECT_EQ(row.outcome, o);
    ASSERT_TRUE(row.seconds.has_value()) << activity;
    EXPECT_GE(*row.seconds, 0.0);
    EXPECT_LT(*row.seconds, 600.0);
}

// ------------------------------------------------------------ training

TEST_F(Learning, TrainingRunsFromTheKeyboard) {
    frm2Sogo& s = training(t::sampleBank(3, {}, true));
    struct Step { const char* key; bool answerShown; const char* cmdAns; };
    const Step steps[] = {
        {"Space", true, "次の問題"}, {"Return", false, "解答を表示"}, {"Enter", true, "次の問題"}};
    for (const auto& st : steps) {
        EXPECT_TRUE(s.keys.press(st.key)) << st.key;
        EXPECT_EQ(s.answerShown(), st.answerShown) << st.key;
        EXPECT_EQ(s.cmdAns.caption(), st.cmdAns) << st.key;
    }
    EXPECT_FALSE(ui::legend(s.frm).empty());
    EXPECT_NE(ui::toolTip(s.cmdDel).find("Delete"), std::string::npos);
    EXPECT_TRUE(s.keys.press("Delete"));
    EXPECT_EQ(t::storedFlag(folder.folders(), 2), 1);
    EXPECT_TRUE(s.keys.press("Escape"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(windows.sogo(), nullptr);
    EXPECT_NE(windows.main(), nullptr);
}

TEST_F(Learning, TheHintKeyShowsTheHint) {
    frm2Sogo& s = training(t::sampleBank(2, {}, true));
    EXPECT_TRUE(s.keys.press("H"));
    EXPECT_EQ(s.lblAns1.caption().rfind("《ヒント》", 0), 0u) << s.lblAns1.caption();
}

TEST_F(Learning, UndoPutsTheFlagTheCountsAndTheMemoryBack) {
    frm2Sogo& s = training(t::sampleBank(4, {}, true));
    const std::string progressBefore = s.lblProgress.caption();
    EXPECT_EQ(progressBefore, "0 / 4件（0.00％）");
    const std::string recordsBefore = t::readBytes(folder.folders().questionRecords());
    ASSERT_TRUE(s.cmdAns.click());
    ASSERT_TRUE(s.cmdDel.click());
    expectLogged(lastLogged(), record(1), activity::kTraining, Outcome::Mastered);
    EXPECT_EQ(t::storedFlag(folder.folders(), 1), 1);
    EXPECT_EQ(session.quiz.removedCount, 1);
    EXPECT_EQ(s.lblProgress.caption(), "1 / 4件（25.00％）");
    const MemoryBook masteredBook = memoryOnDisk();
    const Card* mastered = masteredBook.find(memoryKey(record(1)));
    ASSERT_NE(mastered, nullptr);
    EXPECT_TRUE(mastered->mastered);
    ASSERT_TRUE(s.canUndo());

    EXPECT_TRUE(s.keys.press("Ctrl+Z"));
    EXPECT_EQ(t::storedFlag(folder.folders(), 1), 0);
    EXPECT_EQ(session.quiz.removedCount, 0);
    EXPECT_EQ(s.screenRemovedCount(), 0);
    EXPECT_EQ(s.lblProgress.caption(), progressBefore);
    EXPECT_EQ(s.lblPercent.caption(), "現在の達成率は　0件　0％");
    EXPECT_EQ(memoryOnDisk().find(memoryKey(record(1))), nullptr);
    // The undo wrote the flag's one byte back: the record file is as before the removal.
    EXPECT_EQ(t::readBytes(folder.folders().questionRecords()), recordsBefore);
    EXPECT_TRUE(s.cmdDel.isShown());  // the same question can be removed again
    EXPECT_FALSE(s.canUndo());
    s.keys.press("Ctrl+Z");  // nothing more to undo
    EXPECT_EQ(session.quiz.removedCount, 0);
    EXPECT_EQ(t::storedFlag(folder.folders(), 1), 0);
}

TEST_F(Learning, DecliningTheRevivalKeepsTheUndoTheCountAndTheKeys) {
    frm2Sogo& s = training(t::sampleBank(4, {}, true));
    EXPECT_TRUE(s.cmdAns.hasFocus()) << "the window opens on its main button";
    ASSERT_TRUE(s.cmdAns.click());
    ASSERT_TRUE(s.cmdDel.click());
    const std::string progress = s.lblProgress.caption();
    EXPECT_EQ(progress, "1 / 4件（25.00％）");
    windows.setConfirmer([](ui::Form&, const std::string&) { return false; });  // the user says いいえ
    ASSERT_TRUE(s.cmdSaisei.click());
    EXPECT_EQ(t::storedFlag(folder.folders(), 1), 1);
    EXPECT_EQ(s.lblProgress.caption(), progress);
    EXPECT_TRUE(s.canUndo());
    EXPECT_TRUE(s.keys.press("Ctrl+Z"));
    EXPECT_EQ(t::storedFlag(folder.folders(), 1), 0);
}

TEST_F(Learning, AnsweringByChoiceIsJudgedAndRemembered) {
    frm2Sogo& s = training(t::sampleBank(3, {}, true));
    EXPECT_EQ(s.answerMode.button.caption(), "答え方：自己判断");  // a first start judges oneself
    EXPECT_FALSE(s.choices.open());
    ASSERT_TRUE(s.answerMode.button.click());
    ASSERT_TRUE(s.choices.open());
    struct Case { bool right; Outcome remembered; };
    for (const Case c : {Case{true, Outcome::Good}, Case{false, Outcome::Again}}) {
        ASSERT_TRUE(s.choices.open());
        const Choices ch = *s.choices.choices();
        const int pick = c.right ? ch.correct : (ch.correct + 1) % 4;
        const Mondai asked = record(session.quiz.entry(session.quiz.trainingCursor));
        EXPECT_TRUE(s.keys.press(std::to_string(pick + 1)));
        EXPECT_TRUE(s.answerShown());
        EXPECT_EQ(s.lblAns0.caption(), ch.verdict(pick));
        EXPECT_NE(s.lblAns0.caption().find("正解：" + ch.texts[static_cast<std::size_t>(ch.correct)]), std::string::npos);
        EXPECT_EQ(s.lblKaisetu.caption(), asked.Kaisetu);
        const MemoryBook cardBook = memoryOnDisk();
        const Card* card = cardBook.find(memoryKey(asked));
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(card->right, c.right ? 1 : 0);
        EXPECT_EQ(card->wrong, c.right ? 0 : 1);
        EXPECT_EQ(card->lastWrong, !c.right);
        expectLogged(lastLogged(), asked, activity::kTraining, c.remembered);
        EXPECT_FALSE(s.pickChoice(0));  // a second pick does nothing
        ASSERT_TRUE(s.keys.press("Space"));  // next question: choices again
    }
    // The mode is remembered for the next opening.
    ASSERT_TRUE(s.cmdToMain.click());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(windows.main()->cmdSogo.click());
    EXPECT_EQ(windows.sogo()->answerMode.button.caption(), "答え方：選択肢");
    EXPECT_TRUE(windows.sogo()->choices.open());
}

// With the memory failing, a pick is taken all the same, in training and in
// the review: the verdict and the next button are there, and the window says
// why once, naming 記憶.db and its way out. Later picks go on quietly and
// write nothing of ours, even once the memory could be written again, until
// the next start.
struct PickWithoutMemory {
    AnswerModeSwitch& mode;
    ChoicePanel& choices;
    ui::Keys& keys;
    ui::CommandButton& next;
    const ui::Label& says;
    std::function<bool()> answerShown;
};

void pickWithoutMemory(Learning& l, const PickWithoutMemory& w) {
    // A folder where the database's rollback journal would go: every commit fails.
    const std::filesystem::path blocker = l.session.memory.databaseFile().string() + "-journal";
    auto answersToday = [&] {
        const MemoryBook book = l.memoryOnDisk();
        const auto d = book.days.find(kToday);
        return d == book.days.end() ? 0 : d->second.right + d->second.wrong;
    };
    // The mode is remembered across windows and tests: left as it was found.
    const bool byChoiceBefore = w.mode.byChoice();
    if (!byChoiceBefore) {
        ASSERT_TRUE(w.mode.button.click());
    }
    ASSERT_TRUE(w.choices.open());
    const int before = answersToday();
    std::filesystem::create_directory(blocker);
    EXPECT_TRUE(w.keys.press("1"));
    EXPECT_FALSE(w.choices.open()) << "the pick was not taken";
    EXPECT_TRUE(w.answerShown());
    const std::string told = w.says.caption();
    EXPECT_TRUE(t::japaneseNaming(told, "記憶.db")) << told;
    EXPECT_NE(told.find("記憶せずに続けます"), std::string::npos) << told;
    EXPECT_TRUE(w.says.showsWhole()) << told;
    std::filesystem::remove(blocker);  // (a fresh start could not read the memory past it either)
    EXPECT_EQ(answersToday(), before);
    ASSERT_TRUE(w.next.click());
    ASSERT_TRUE(w.choices.open());
    EXPECT_TRUE(w.keys.press("1"));
    EXPECT_TRUE(w.answerShown());
    EXPECT_EQ(w.says.caption().find("記憶.db"), std::string::npos) << "told twice: " << w.says.caption();
    EXPECT_EQ(answersToday(), before) << "written after the failure";
    EXPECT_FALSE(std::filesystem::exists(l.session.memory.stepFile()));
    if (!byChoiceBefore) EXPECT_TRUE(w.mode.button.click());
}

TEST_F(Learning, APickThatCannotBeRememberedIsTakenAndToldOnce) {
    frm2Sogo& s = training(t::sampleBank(3, {}, true));
    pickWithoutMemory(*this, {s.answerMode, s.choices, s.keys, s.cmdAns, s.lblKaisetu, [&s] { return s.answerShown(); }});
}

TEST_F(Learning, APickInTheReviewThatCannotBeRememberedIsTakenAndToldOnce) {
    t::writeBank(folder.folders(), t::sampleBank(3, {}, true));
    windows.start();
    ASSERT_TRUE(windows.main()->cmdFukusyu.click());
    frm2Fukusyu& r = *windows.review();
    pickWithoutMemory(*this, {r.answerMode, r.choices, r.keys, r.cmdAns, r.lblKaisetu, [&r] { return r.answerShown(); }});
}

// A grade the memory cannot take still moves the review to the next card,
// and the reason is shown under it.
TEST_F(Learning, AGradeThatCannotBeRememberedMovesOnAndIsTold) {
    t::writeBank(folder.folders(), t::sampleBank(3, {}, true));
    windows.start();
    ASSERT_TRUE(windows.main()->cmdFukusyu.click());
    frm2Fukusyu& r = *windows.review();
    ASSERT_FALSE(r.answerMode.byChoice()) << "a first start judges oneself";
    const std::string first = r.lblQs.caption();
    ASSERT_TRUE(r.cmdAns.click());
    ASSERT_TRUE(r.answerShown());
    const std::filesystem::path blocker = session.memory.databaseFile().string() + "-journal";
    std::filesystem::create_directory(blocker);
    ASSERT_TRUE(r.cmdGrade[2].click());
    std::filesystem::remove(blocker);
    EXPECT_FALSE(r.answerShown());
    EXPECT_NE(r.lblQs.caption(), first) << "the review did not move on";
    EXPECT_TRUE(t::japaneseNaming(r.lblKaisetu.caption(), "記憶.db")) << r.lblKaisetu.caption();
    EXPECT_TRUE(r.lblKaisetu.showsWhole()) << r.lblKaisetu.caption();
    EXPECT_TRUE(memoryOnDisk().cards.empty());
}

// The switch between answering by choice and judging oneself, and each
// choice, are reached by Tab and pressed by Enter like any focused button, in
// each screen that has them; with the keyboard elsewhere Enter stays the
// screen's main button.
TEST_F(Learning, EnterPressesTheFocusedSwitchOrChoice) {
    t::writeProgramInUse(folder.folders());
    frm2Sogo& s = training(t::sampleBank(6, {}, true));
    if (s.answerMode.byChoice()) s.answerMode.toggle();  // the mode is kept for the process: judging oneself
    struct Screen {
        const char* name;
        AnswerModeSwitch& mode;
        ChoicePanel& choices;
        ui::Keys& keys;
        std::function<bool()> answered;  // the answer is on screen
    };
    auto check = [](const Screen& w) {
        SCOPED_TRACE(w.name);
        ASSERT_FALSE(w.mode.byChoice());
        ui::focus(w.mode.button);
        EXPECT_TRUE(w.keys.press("Return"));
        EXPECT_TRUE(w.mode.byChoice());
        ASSERT_TRUE(w.choices.open());
        EXPECT_FALSE(w.answered());
        const int wrong = (w.choices.choices()->correct + 1) % 4;
        ui::focus(w.choices.buttons[static_cast<std::size_t>(wrong)]);
        EXPECT_TRUE(w.keys.press("Return"));
        EXPECT_FALSE(w.choices.open());
        EXPECT_TRUE(w.answered());
        EXPECT_NE(w.choices.buttons[static_cast<std::size_t>(wrong)].caption().find("×"), std::string::npos);
        EXPECT_TRUE(w.keys.press("Return"));  // the keyboard left the marked choice: on to the next question
        EXPECT_FALSE(w.answered());
        ui::focus(w.mode.button);  // the review puts the keyboard back on its main button
        EXPECT_TRUE(w.keys.press("Enter"));
        EXPECT_FALSE(w.mode.byChoice());
        EXPECT_FALSE(w.choices.open());
    };
    check({"training", s.answerMode, s.choices, s.keys, [&s] { return s.answerShown(); }});
    // Any focused button takes Enter: here the way back to the menu.
    ui::focus(s.cmdToMain);
    EXPECT_TRUE(s.keys.press("Return"));  // the training window is gone after this: `s` is not used again
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(windows.isLoaded(WindowId::Sogo));
    ASSERT_TRUE(windows.main()->cmdFukusyu.click());
    frm2Fukusyu& r = *windows.review();
    if (r.answerMode.byChoice()) r.answerMode.toggle();
    check({"review", r.answerMode, r.choices, r.keys, [&r] { return r.answerShown(); }});
    ASSERT_TRUE(r.cmdToMain.click());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(windows.main()->cmdCity.click());
    auto& g = *static_cast<frm2CityVisit*>(windows.window(WindowId::CityVisit));
    check({"game", g.answerMode, g.choices, g.keys, [&g] { return !g.cmdAns.visible(); }});
}

// ------------------------------------------------------------ visit game

struct GameLearning : Learning {
    frm2CityVisit& game() {
        t::writeProgramInUse(folder.folders());
        t::writeBank(folder.folders(), t::sampleBank(6, {4}, true));
        windows.start();
        EXPECT_TRUE(windows.main()->cmdCity.click());
        return *static_cast<frm2CityVisit*>(windows.window(WindowId::CityVisit));
    }
};

TEST_F(GameLearning, APickScoresAsTheRightOrWrongButton) {
    frm2CityVisit& g = game();
    ASSERT_TRUE(g.answerMode.button.click());
    struct Case { bool right; std::int32_t points; };
    const Case cases[] = {{true, 1200 + 500}, {false, 1700}};
    for (const auto& c : cases) {
        ASSERT_TRUE(g.choices.open());
        const Choices ch = *g.choices.choices();
        const Mondai asked = *g.quiz()->current();
        ASSERT_TRUE(g.pickChoice(c.right ? ch.correct : (ch.correct + 3) % 4));
        EXPECT_EQ(g.lblAns.caption(), ch.verdict(c.right ? ch.correct : (ch.correct + 3) % 4));
        EXPECT_EQ(g.cmdYes.visible(), c.right);
        EXPECT_EQ(g.cmdNo.visible(), !c.right);
        EXPECT_FALSE(g.cmdAns.visible());
        ASSERT_TRUE(g.keys.press("Space"));  // the one way on
        EXPECT_EQ(session.points, c.points);
        EXPECT_EQ(t::pointsOnDisk(folder.folders()), c.points);
        const MemoryBook cardBook = memoryOnDisk();
        const Card* card = cardBook.find(memoryKey(asked));
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(card->lastWrong, !c.right);
        expectLogged(lastLogged(), asked, activity::kVisit, c.right ? Outcome::Good : Outcome::Again);
    }
}

TEST_F(GameLearning, TabLeadsFromTheAnswerToThePrefectureItsMunicipalityAndTheVisit) {
    frm2CityVisit& g = game();
    EXPECT_TRUE(g.cmdAns.hasFocus()) << "the window opens on the answer button";
    g.keys.press("Tab");
    EXPECT_TRUE(ui::hasFocus(g.cmdStart0)) << "the judgement buttons are hidden";
    g.keys.press("Tab");
    EXPECT_TRUE(ui::hasFocus(g.lstKen));
    g.keys.press("Down");
    ASSERT_GT(g.lstCity.count(), 0);
    g.keys.press("Tab");
    EXPECT_TRUE(ui::hasFocus(g.zoom.view)) << "the map between the two lists";
    g.keys.press("Tab");
    EXPECT_TRUE(ui::hasFocus(g.lstCity)) << "not the zoom buttons between the two lists";
}

TEST_F(GameLearning, KeysJudgeAndFocusEnteringAListChoosesNothing) {
    frm2CityVisit& g = game();
    const Mondai first = *g.quiz()->current();
    EXPECT_TRUE(g.keys.press("Space"));
    EXPECT_TRUE(g.cmdYes.visible());
    EXPECT_TRUE(g.keys.press("O"));
    EXPECT_EQ(session.points, 1700);
    EXPECT_EQ(memoryOnDisk().find(memoryKey(first))->right, 1);
    const Mondai second = *g.quiz()->current();
    EXPECT_TRUE(g.keys.press("Return"));
    EXPECT_TRUE(g.keys.press("Left"));  // wrong
    EXPECT_EQ(session.points, 1700);
    EXPECT_EQ(memoryOnDisk().find(memoryKey(second))->wrong, 1);

    ui::focus(g.lstKen);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ui::hasFocus(g.lstKen));
    EXPECT_EQ(g.lstKen.selectedIndex(), -1);
    EXPECT_EQ(g.lstCity.count(), 0);
    g.keys.press("Down");  // the list's own key, not one of the window's
    EXPECT_EQ(g.lstKen.selectedIndex(), 0);
    EXPECT_GT(g.lstCity.count(), 0);  // the arrow chose as a click does
    ui::focus(g.lstCity);
    QCoreApplication::processEvents();
    EXPECT_FALSE(g.cmdVisit.visible());  // no municipality the user never picked
}

// ------------------------------------------------------------ menu, review, statistics

TEST_F(Learning, AnswersOfTheMapQuizAreNoReviewsOfTheMenu) {
    // どこでしょう's answers are kept in the memory but are no questions of the
    // bank: the review cannot ask them, so the menu does not count them.
    const auto bank = t::sampleBank(3, {}, true);
    t::writeBank(folder.folders(), bank);
    WherePlace place;
    place.name = place.presentName = "富谷市";
    place.prefName = "宮城県";
    struct Row {
        const char* what;
        std::vector<Mondai> due;
        const char* count;
    } rows[] = {
        {"nothing due", {}, "0問"},
        {"a どこでしょう answer due", {whereMemoryQuestion(place, "宮城県", false)}, "0問"},
        {"a bank question due", {bank[0]}, "1問"},
        {"both", {bank[0], whereMemoryQuestion(place, "全国", true)}, "1問"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        std::filesystem::remove(session.memory.databaseFile());
        {
            MemoryStore store(io, folder.folders().memoryFile());
            for (const Mondai& m : r.due) store.record(m, Outcome::Good, kToday - 10);
        }
        Session s(folder.path(), io, random);
        s.fixedDay = kToday;
        WindowManager w(s, [] {});
        w.start();
        EXPECT_EQ(w.main()->lblFukusyu.caption(), std::string("今日の復習\u3000") + r.count);
        w.endProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(Learning, TheMenuCountsTheDueReviewsAndTakesTheKeyboard) {
    auto bank = t::sampleBank(5, {}, true);
    t::writeBank(folder.folders(), bank);
    {
        MemoryStore store(io, folder.folders().memoryFile());
        store.record(bank[0], Outcome::Good, kToday - 10);  // due after 3 days: due
        store.record(bank[1], Outcome::Again, kToday);      // due tomorrow
        store.record(bank[2], Outcome::Easy, kToday - 10);  // due after 16 days
    }
    windows.start();
    frm1Main& m = *windows.main();
    EXPECT_EQ(m.lblFukusyu.caption(), "今日の復習\u3000" "1問");
    QCoreApplication::processEvents();
    EXPECT_TRUE(ui::hasFocus(m.cmdCity));
    EXPECT_FALSE(ui::legend(m.frm).empty());
    // Top to bottom: ミチクサ, トレーニング, …; Enter presses the focused one.
    m.keys.press("Tab");
    EXPECT_TRUE(ui::hasFocus(m.cmdSogo));
    m.keys.press("Return");
    EXPECT_NE(windows.sogo(), nullptr);
}

TEST_F(Learning, TheReviewAsksDueThenWrongThenNewAndRemembersEachGrade) {
    auto bank = t::sampleBank(4, {}, true);
    bank[0].Mondai1 = "【読み】一";
    bank[1].Mondai1 = "【合併】二";
    bank[2].Mondai1 = "【読み】三";
    bank[3].Mondai1 = "【読み】四";
    t::writeBank(folder.folders(), bank);
    {
        MemoryStore store(io, folder.folders().memoryFile());
        store.record(bank[2], Outcome::Good, kToday - 5);  // due
        store.record(bank[1], Outcome::Easy, kToday - 3);
        store.record(bank[1], Outcome::Again, kToday - 1);  // wrong yesterday, due in two days
    }
    windows.start();
    ASSERT_TRUE(windows.main()->cmdFukusyu.click());
    frm2Fukusyu& r = *windows.review();
    EXPECT_EQ(r.queue().records, (std::vector<int>{3, 2, 1, 4}));
    EXPECT_EQ(r.lblQs.caption(), questionText(bank[2]));

    // Grade keys 1..4 after the answer: もう一度 / 難しい / 正解 / 簡単; Enter
    // takes the grade the keyboard is on, 正解.
    struct Step { const char* key; Outcome o; };
    const Step steps[] = {{"4", Outcome::Easy}, {"1", Outcome::Again}, {"Return", Outcome::Good}, {"2", Outcome::Hard}};
    MemoryBook expected = memoryOnDisk();
    for (std::size_t i = 0; i < 4; ++i) {
        const Mondai& asked = bank[static_cast<std::size_t>(r.queue().records[i] - 1)];
        EXPECT_TRUE(r.cmdAns.hasFocus()) << i;
        ASSERT_TRUE(r.keys.press("Space"));
        EXPECT_TRUE(r.cmdGrade[2].hasFocus()) << i;
        EXPECT_EQ(r.lblAns.caption(), asked.Kotae);
        EXPECT_TRUE(r.cmdGrade[3].visible());
        const Card want = expected.applied(memoryKey(asked), steps[i].o, kToday);
        ASSERT_TRUE(r.keys.press(steps[i].key));
        const MemoryBook gotBook = memoryOnDisk();
        const Card* got = gotBook.find(memoryKey(asked));
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(got->dueDay, want.dueDay) << i;
        EXPECT_DOUBLE_EQ(got->state.stability, want.state.stability) << i;
        expectLogged(lastLogged(), asked, activity::kReview, steps[i].o);
        expected = memoryOnDisk();
    }
    EXPECT_EQ(r.lblQs.caption(), "今日の復習は終わりました。\r\n\u3000お疲れ様でした。また明日、続きをどうぞ。");

    // Filters: a kind, then every kind again.
    ASSERT_TRUE(r.lstKind.clickItem(2));  // 【合併】
    for (int record : r.queue().records) EXPECT_EQ(bank[static_cast<std::size_t>(record - 1)].Mondai1, "【合併】二");
    ASSERT_TRUE(r.lstKind.clickItem(0));
}

// The menu's "今日の復習" is the review's 期限; the counts left follow every
// grade and are what a restart finds; each grade button shows its own wait,
// the one the grade then sets; a question graded もう一度 does not come back
// the same day, even after a restart.
TEST_F(Learning, TheReviewsCountsAgreeWithTheMenuAfterEveryGradeAndARestart) {
    const auto bank = t::sampleBank(7, {}, true);
    t::writeBank(folder.folders(), bank);
    {
        MemoryStore store(io, folder.folders().memoryFile());
        store.record(bank[0], Outcome::Good, kToday - 10);  // due
        store.record(bank[1], Outcome::Good, kToday - 9);   // due
        store.record(bank[2], Outcome::Easy, kToday - 3);
        store.record(bank[2], Outcome::Again, kToday - 1);  // wrong yesterday
        store.record(bank[3], Outcome::Again, kToday);      // wrong today: not today
    }
    // What a fresh start counts: the bank against the memory on disk.
    auto fresh = [&] {
        const MemoryBook b = memoryOnDisk();
        const auto q = buildReviewQueue(readBank(io, folder.folders()), b, kToday);
        return "残り　" + std::to_string(q.records.size()) + "問（期限 " + std::to_string(q.due) + "・間違い " +
               std::to_string(q.wrong) + "・新しい " + std::to_string(q.fresh) + "）";
    };
    auto menuCount = [&] { return windows.main()->lblFukusyu.caption(); };
    windows.start();
    EXPECT_EQ(menuCount(), "今日の復習\u3000" "2問");
    ASSERT_TRUE(windows.main()->cmdFukusyu.click());
    frm2Fukusyu* r = windows.review();
    EXPECT_EQ(r->lblCount.caption().rfind("残り　6問（期限 2・間違い 1・新しい 3）", 0), 0u) << r->lblCount.caption();

    const char* grades[] = {"1", "2", "3", "4", "1"};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const Mondai asked = record(r->queue().records[static_cast<std::size_t>(i)]);
        ASSERT_TRUE(r->keys.press("Space"));
        std::vector<std::string> captions;
        for (auto& b : r->cmdGrade) captions.push_back(b.caption());
        for (std::size_t a = 0; a < 4; ++a)
            for (std::size_t b = a + 1; b < 4; ++b) EXPECT_NE(captions[a], captions[b]);
        const int g = grades[i][0] - '1';
        const auto days = session.memory.book().nextIntervals(memoryKey(asked), kToday);
        ASSERT_TRUE(r->keys.press(grades[i]));
        const MemoryBook onDisk = memoryOnDisk();
        const Card* card = onDisk.find(memoryKey(asked));
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(card->dueDay - kToday, days[static_cast<std::size_t>(g)]);
        EXPECT_NE(captions[static_cast<std::size_t>(g)].find("（" + std::to_string(days[static_cast<std::size_t>(g)]) + "日後）"),
                  std::string::npos) << captions[static_cast<std::size_t>(g)];
        EXPECT_EQ(r->lblCount.caption().rfind(fresh(), 0), 0u) << r->lblCount.caption() << " / " << fresh();
    }
    // A restart: the menu and the review count as the window did.
    const std::string before = fresh();
    ASSERT_TRUE(r->keys.press("Escape"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    windows.main()->load();
    EXPECT_EQ(menuCount(), "今日の復習\u3000" "0問");
    ASSERT_TRUE(windows.main()->cmdFukusyu.click());
    r = windows.review();
    EXPECT_EQ(r->lblCount.caption().rfind(before, 0), 0u) << r->lblCount.caption();
    EXPECT_EQ(r->queue().records.size(), 1u) << "only the last new question is left today";
}

// With the difficulty file beside the master, new questions come easiest
// first; one answered leaves them at once (the memory's index knows it).
TEST_F(Learning, TheReviewAsksNewQuestionsEasiestFirst) {
    const auto bank = t::sampleBank(4);  // kind "AB", numbers 1..4
    t::writeBank(folder.folders(), bank);
    std::string lines = "\"問題難度\",1,4\r\n\"AB\",1,300\r\n\"AB\",2,100\r\n\"AB\",3,200\r\n\"AB\",4,400\r\n";
    t::writeBytes(folder.folders().difficultyFile(), toCp932(lines, "test"));
    windows.start();
    ASSERT_TRUE(windows.main()->cmdFukusyu.click());
    frm2Fukusyu& r = *windows.review();
    EXPECT_EQ(r.queue().records, (std::vector<int>{2, 3, 1, 4}));
    EXPECT_EQ(r.lblQs.caption(), questionText(bank[1]));
    ASSERT_TRUE(r.keys.press("Space"));
    ASSERT_TRUE(r.keys.press("4"));  // 簡単: far ahead
    EXPECT_EQ(r.lblQs.caption(), questionText(bank[2]));
    ASSERT_TRUE(r.lstKind.clickItem(0));  // the queue made again
    EXPECT_EQ(r.queue().records, (std::vector<int>{3, 1, 4}));
}

TEST_F(Learning, MemorySurvivesARestartAndAQuestionBuildThatMovesTheRecords) {
    auto bank = t::sampleBank(3, {}, true);
    t::writeBank(folder.folders(), bank);
    {
        MemoryStore store(io, folder.folders().memoryFile());
        store.record(bank[0], Outcome::Good, kToday - 5);
        store.record(bank[2], Outcome::Again, kToday - 5);
    }
    // A rebuilt bank: question 1 gone, the others at new places, one new.
    t::writeBank(folder.folders(), {bank[2], t::sampleQuestion(9, true), bank[1]});
    windows.start();
    ASSERT_TRUE(windows.main()->cmdFukusyu.click());
    frm2Fukusyu& r = *windows.review();
    // record 1 (the old third, due) first; then the new ones in bank order
    EXPECT_EQ(r.queue().records, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(r.queue().due, 1);
    EXPECT_EQ(windows.main(), nullptr);
}

// 環境作成 offers "記憶を作り直す" only while a memory file cannot be read.
// It asks first, saying the history is set aside; いいえ changes nothing; はい
// renames the damaged file aside (kept whole), says so, and the next answer
// goes into a fresh memory. A sound memory shows no such button.
TEST_F(Learning, TheEnvironmentSetsADamagedMemoryAsideAfterAsking) {
    struct Case {
        const char* what;
        std::filesystem::path (*file)(const AppFolders&);
        std::string bytes;
    };
    const Case cases[] = {
        {"記憶.db", [](const AppFolders& f) { return f.data() / AppFolders::u8path("記憶.db"); }, std::string(4096, 'x')},
        {"記憶.txt", [](const AppFolders& f) { return f.memoryFile(); }, "tabinowa-memory\t1\nretention\t0.9\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        t::TempProgramFolder dir;
        t::writeBank(dir.folders(), t::sampleBank(3, {}, true));
        Session s{dir.path(), io, random};
        s.fixedDay = kToday;
        WindowManager w{s, [] {}};
        const auto damaged = c.file(dir.folders());
        t::writeBytes(damaged, c.bytes);
        std::vector<std::string> asked;
        bool agree = false;
        w.setConfirmer([&](ui::Form&, const std::string& q) {
            asked.push_back(q);
            return agree;
        });
        w.start();
        ASSERT_TRUE(w.main()->mnuKankyo.click());
        frm9Kankyo& k = *w.kankyo();
        EXPECT_TRUE(t::japaneseNaming(k.lblMsg1.caption(), c.what)) << k.lblMsg1.caption();
        ASSERT_TRUE(k.cmdMemory.visible());
        EXPECT_FALSE(k.cmdFitReset.visible());
        const auto before = t::snapshot(dir.path());
        ASSERT_TRUE(k.cmdMemory.click());
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_NE(asked[0].find(c.what), std::string::npos) << asked[0];
        EXPECT_NE(asked[0].find("別の名前にして残し"), std::string::npos) << asked[0];
        EXPECT_EQ(t::snapshot(dir.path()), before) << "declined, yet changed";
        agree = true;
        ASSERT_TRUE(k.cmdMemory.click());
        EXPECT_FALSE(std::filesystem::exists(damaged));
        std::vector<std::filesystem::path> aside;
        for (const auto& e : std::filesystem::directory_iterator(damaged.parent_path())) {
            const auto name = e.path().filename().u8string();
            if (name.find(u8".破損-") != std::u8string::npos) aside.push_back(e.path());
        }
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(t::readBytes(aside[0]), c.bytes);
        EXPECT_NE(k.lblMsg1.caption().find("記憶を作り直しました"), std::string::npos) << k.lblMsg1.caption();
        EXPECT_TRUE(k.lblMsg1.showsWhole());
        EXPECT_FALSE(k.cmdMemory.visible());
        EXPECT_TRUE(k.cmdFitReset.visible());
        EXPECT_TRUE(s.memory.record(t::sampleQuestion(1, true), Outcome::Good, kToday).change);
        MemoryStore fresh(io, s.memory.textFile());
        EXPECT_EQ(fresh.book().cards.size(), 1u);
    }
    // A sound memory: no repair offered.
    windows.start();
    ASSERT_TRUE(windows.main()->mnuKankyo.click());
    EXPECT_FALSE(windows.kankyo()->cmdMemory.visible());
    EXPECT_TRUE(windows.kankyo()->cmdFitReset.visible());
}

TEST_F(Learning, StatisticsShowKindsPrefecturesAndDays) {
    auto bank = t::sampleBank(3, {}, true);
    bank[0].Mondai1 = "【読み】一";
    bank[0].Bikou[0] = "市01100";
    bank[1].Mondai1 = "【読み】二";
    bank[1].Bikou[0] = "市13101";
    t::writeBank(folder.folders(), bank);
    {
        MemoryStore store(io, folder.folders().memoryFile());
        store.record(bank[0], Outcome::Good, kToday);
        store.record(bank[1], Outcome::Again, kToday - 1);
    }
    windows.start();
    ASSERT_TRUE(windows.main()->cmdToukei.click());
    frm2Toukei& st = *windows.stats();
    const auto rows = st.lstTable.items();
    ASSERT_EQ(rows.size(), 3u);  // 【読み】, その他, 合計
    EXPECT_EQ(rows[0].rfind("【読み】", 0), 0u);
    EXPECT_NE(rows[0].find("50.0％"), std::string::npos) << rows[0];
    ASSERT_TRUE(st.keys.press("P"));
    const auto prefs = st.lstTable.items();
    ASSERT_EQ(prefs.size(), 4u);  // 北海道, 東京都, その他, 合計
    EXPECT_EQ(prefs[1].rfind("東京都", 0), 0u);
    ASSERT_TRUE(st.keys.press("D"));
    EXPECT_TRUE(st.chartBack.visible());
    const auto back = st.chartBack.values();
    ASSERT_EQ(back.size(), 30u);
    EXPECT_EQ(back[29], 1);
    EXPECT_EQ(back[28], 1);
    const auto ahead = st.chartAhead.values();
    EXPECT_EQ(ahead[0], 1);  // the wrong one, due today
    EXPECT_EQ(ahead[3], 1);  // the good one, due in 3 days
}

}  // namespace

namespace {

// The windows without keys of their own: Esc is their way back; the map
// opens with no prefecture chosen, even with the focus in its list.
TEST_F(GameLearning, OtherWindowsCloseWithEscapeAndTheMapChoosesNothingOnOpening) {
    t::writeProgramInUse(folder.folders());
    windows.start();
    ASSERT_TRUE(windows.main()->cmdTizu.click());
    auto* map = static_cast<frm2Tizu*>(windows.window(WindowId::Tizu));
    ASSERT_NE(map, nullptr);
    QCoreApplication::processEvents();
    ui::focus(map->lstKen);
    QCoreApplication::processEvents();
    EXPECT_EQ(map->lstKen.selectedIndex(), -1);
    EXPECT_EQ(map->lstCity.count(), 0);
    EXPECT_FALSE(ui::legend(map->frm).empty());

    struct Case { const char* name; std::function<ui::Form*()> open; WindowId id; };
    const Case cases[] = {
        {"map", [&] { return &map->frm; }, WindowId::Tizu},
        {"information", [&] { windows.main()->mnuAsa.click(); return &windows.info()->frm; }, WindowId::Info},
        {"environment", [&] { windows.main()->mnuKankyo.click(); return &windows.kankyo()->frm; }, WindowId::Kankyo},
    };
    for (const auto& c : cases) {
        ui::Form* form = c.open();
        ASSERT_NE(form, nullptr) << c.name;
        ui::Keys keys(*form);
        keys.press("Escape");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(windows.isLoaded(c.id)) << c.name;
        if (!windows.main()) windows.showMain();
    }
}

}  // namespace
