// SPDX-License-Identifier: GPL-3.0-or-later
// The training screen on the offscreen platform, driven through the main
// menu over a temporary program folder: questions, answers, the achievement
// line, the end of the deck, removals (once per question), all cleared,
// revival, the hint and file failures.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/session/session.h"
#include "core/files/io.h"
#include "core/files/records.h"
#include "screens/frm2Sogo.h"
#include "core/quiz/questions.h"
#include "screens/frm1Main.h"
#include "screens/window_manager.h"
#include "support/fixed_random.h"
#include "support/question_bank.h"
#include "support/temp_folder.h"

using namespace tabinowa;
namespace t = tabinowa::testing;

namespace {

const char* const kEndQs = "お疲れ様でした。全ての問題を終了しました。";
const char* const kEndAns = "いったんメニューに戻り、再度挑戦してください";
const char* const kClearedQs = "！　おめでとう\r\n　　　全問題クリアです　！";
const char* const kClearedAns = "画面右下の復活ボタンをクリックすると、最初からできます";
const char* const kNothing = "★全てのデータが消去されています★\r\n　　画面右下の復活ボタンをクリックしてください";
const char* const kRevived = "全てのデータをアクティブに復活しました。一度終了してから、再開してください。";

struct Training : ::testing::Test {
    t::TempProgramFolder folder;
    PosixIo io;
    t::FixedRandom random{{0.5}};
    Session session{folder.path(), io, random};
    WindowManager windows{session, [] {}};

    void SetUp() override { windows.setConfirmer([](ui::Form&, const std::string&) { return true; }); }  // the user agrees
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // Starts the program over this bank and opens the training screen.
    frm2Sogo& open(const std::vector<Mondai>& bank) {
        t::writeBank(folder.folders(), bank);
        windows.start();
        return reopen();
    }
    frm2Sogo& reopen() {
        EXPECT_NE(windows.main(), nullptr);
        EXPECT_TRUE(windows.main()->cmdSogo.click());
        EXPECT_NE(windows.sogo(), nullptr);
        return *windows.sogo();
    }
    void back() { EXPECT_TRUE(windows.sogo()->cmdToMain.click()); }
    // The question that the deck has at entry i.
    Mondai deckQuestion(int i) {
        QuestionFile f(io, folder.folders());
        return f.get(session.quiz.entry(i));
    }
    // Shows the answer, then removes the question.
    void removeCurrent(frm2Sogo& s) {
        if (!s.answerShown()) {
            ASSERT_TRUE(s.cmdAns.click());
        }
        ASSERT_TRUE(s.cmdDel.click());
    }
};

TEST_F(Training, LoadShowsTheQuestionAtTheCursorAndTheAchievementLine) {
    frm2Sogo& s = open(t::sampleBank(10));
    EXPECT_EQ(s.frm.caption(), "クイズのトレーニング－「コモレビ舎」");
    EXPECT_EQ(s.lblQs.caption(), questionText(deckQuestion(1)));
    EXPECT_EQ(s.lblPercent.caption(), "現在の達成率は　0件 0％");
    EXPECT_TRUE(s.cmdAns.isShown());
    EXPECT_EQ(s.cmdAns.caption(), "解答を表示");
    EXPECT_FALSE(s.cmdDel.isShown());
    EXPECT_FALSE(s.cmdHint.isShown());  // these questions have no hint choices
    EXPECT_TRUE(s.cmdSaisei.isShown());
    EXPECT_EQ(s.lblInyo.caption(), "");
    EXPECT_EQ(s.lblKaisetu.caption(), "");
    EXPECT_EQ(s.lblQs.fontFamily(), "IPAPMincho");
    EXPECT_EQ(s.lblQs.pixelGeometry(), (ui::Rect{16, 16, 697, 121}));  // inside Frame1
}

TEST_F(Training, AnswerThenNextQuestion) {
    frm2Sogo& s = open(t::sampleBank(3));
    const Mondai first = deckQuestion(1);
    ASSERT_TRUE(s.cmdAns.click());
    EXPECT_EQ(s.lblAns0.caption(), first.Kotae);  // the whole field
    EXPECT_EQ(s.lblKaisetu.caption(), first.Kaisetu);
    EXPECT_EQ(s.cmdAns.caption(), "次の問題");
    EXPECT_TRUE(s.cmdDel.isShown());

    ASSERT_TRUE(s.cmdAns.click());
    const Mondai second = deckQuestion(2);
    EXPECT_EQ(session.quiz.trainingCursor, 2);
    EXPECT_EQ(s.lblQs.caption(), questionText(second));
    EXPECT_EQ(s.lblInyo.caption(), sourceLine(second));
    EXPECT_EQ(s.lblInyo.caption().substr(0, 4), "AB  ");
    EXPECT_EQ(s.lblAns0.caption(), "");
    EXPECT_EQ(s.lblKaisetu.caption(), "");
    EXPECT_EQ(s.cmdAns.caption(), "解答を表示");
    EXPECT_FALSE(s.cmdDel.isShown());
}

TEST_F(Training, TheEndOfTheDeckAndTheNextOpeningStartsAtEntryOne) {
    frm2Sogo& s = open(t::sampleBank(3));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(s.cmdAns.click());  // answer
        ASSERT_TRUE(s.cmdAns.click());  // next
    }
    EXPECT_EQ(s.lblQs.caption(), kEndQs);
    EXPECT_EQ(s.lblAns0.caption(), kEndAns);
    EXPECT_FALSE(s.cmdAns.isShown());
    EXPECT_FALSE(s.cmdDel.isShown());
    EXPECT_EQ(s.lblInyo.caption(), "");
    EXPECT_EQ(session.quiz.trainingCursor, 1);

    back();
    frm2Sogo& again = reopen();
    EXPECT_EQ(again.lblQs.caption(), questionText(deckQuestion(1)));
    EXPECT_TRUE(again.cmdAns.isShown());
}

TEST_F(Training, TheCursorCarriesOverAReturnToTheMenu) {
    frm2Sogo& s = open(t::sampleBank(4));
    ASSERT_TRUE(s.cmdAns.click());
    ASSERT_TRUE(s.cmdAns.click());
    back();
    frm2Sogo& again = reopen();
    EXPECT_EQ(again.lblQs.caption(), questionText(deckQuestion(2)));
}

TEST_F(Training, ARemovalIsSavedAndCounted) {
    const std::vector<Mondai> bank = t::sampleBank(10);
    frm2Sogo& s = open(bank);
    const int record = session.quiz.entry(1);
    const std::string before = t::readBytes(folder.folders().questionRecords());
    removeCurrent(s);
    EXPECT_EQ(s.lblPercent.caption(), "現在の達成率は　1件　10％");
    EXPECT_EQ(session.quiz.removedCount, 1);
    EXPECT_FALSE(s.cmdDel.isShown());
    EXPECT_TRUE(s.cmdAns.isShown());
    EXPECT_EQ(s.cmdAns.caption(), "次の問題");
    // only the removed flag of that one record changed
    const std::string after = t::readBytes(folder.folders().questionRecords());
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        const bool flag = i / Mondai::kLength == static_cast<std::size_t>(record - 1) && i % Mondai::kLength == Mondai::kLength - 2;
        EXPECT_EQ(after[i], flag ? '\x01' : before[i]) << i;
        if (after[i] != (flag ? '\x01' : before[i])) break;
    }
    EXPECT_EQ(t::storedFlag(folder.folders(), record), 1);
}

TEST_F(Training, TwentyNineOfAHundredShowTwentyEight) {
    std::vector<int> removed;
    for (int n = 1; n <= 28; ++n) removed.push_back(n);
    frm2Sogo& s = open(t::sampleBank(100, removed));
    EXPECT_EQ(s.lblPercent.caption(), "現在の達成率は　28件 28％");
    removeCurrent(s);
    EXPECT_EQ(s.lblPercent.caption(), "現在の達成率は　29件　28％");
}

TEST_F(Training, AllClearedOnlyAtTheExactCount) {
    frm2Sogo& s = open(t::sampleBank(3, {2}));
    removeCurrent(s);
    EXPECT_NE(s.lblQs.caption(), kClearedQs);
    EXPECT_TRUE(s.cmdAns.isShown());
    ASSERT_TRUE(s.cmdAns.click());  // next
    removeCurrent(s);
    EXPECT_EQ(s.lblQs.caption(), kClearedQs);
    EXPECT_EQ(s.lblAns0.caption(), kClearedAns);
    EXPECT_EQ(s.lblPercent.caption(), "現在の達成率は　3件　100％");
    EXPECT_FALSE(s.cmdAns.isShown());
    EXPECT_FALSE(s.cmdHint.isShown());
    EXPECT_TRUE(s.cmdSaisei.isShown());
}

TEST_F(Training, ARepeatedRemovalAfterTheDeckWrappedIsNotCountedAgain) {
    frm2Sogo* s = &open(t::sampleBank(2));
    const int firstRecord = session.quiz.entry(1);
    removeCurrent(*s);
    ASSERT_TRUE(s->cmdAns.click());  // second question
    ASSERT_TRUE(s->cmdAns.click());  // its answer
    ASSERT_TRUE(s->cmdAns.click());  // end of the deck
    EXPECT_EQ(s->lblQs.caption(), kEndQs);
    back();
    s = &reopen();
    EXPECT_EQ(s->lblPercent.caption(), "現在の達成率は　1件 50％");
    removeCurrent(*s);  // the first question again, removed before
    EXPECT_EQ(session.quiz.removedCount, 1);
    EXPECT_EQ(s->lblPercent.caption(), "現在の達成率は　1件　50％");
    EXPECT_EQ(t::storedFlag(folder.folders(), firstRecord), 1);
    EXPECT_NE(s->lblQs.caption(), kClearedQs);
    ASSERT_TRUE(s->cmdAns.click());
    removeCurrent(*s);  // the other one: now every question is removed
    EXPECT_EQ(session.quiz.removedCount, 2);
    EXPECT_EQ(s->lblQs.caption(), kClearedQs);
}

TEST_F(Training, RevivalClearsEveryFlagAndChangesNothingElse) {
    frm2Sogo& s = open(t::sampleBank(6, {2, 5}));
    removeCurrent(s);
    const std::string before = t::readBytes(folder.folders().questionRecords());
    const auto counters = std::vector<int>{session.quiz.totalCount, session.quiz.deckLength,
                                           session.quiz.removedCount, session.quiz.entry(1)};
    const std::string qs = s.lblQs.caption();
    ASSERT_TRUE(s.cmdSaisei.click());
    const std::string after = t::readBytes(folder.folders().questionRecords());
    ASSERT_EQ(after.size(), before.size());
    for (int r = 1; r <= 6; ++r) EXPECT_EQ(t::storedFlag(folder.folders(), r), 0) << r;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (i % Mondai::kLength >= Mondai::kLength - 2) continue;
        ASSERT_EQ(after[i], before[i]) << i;
    }
    EXPECT_EQ(s.lblPercent.caption(), kRevived);
    EXPECT_FALSE(s.cmdSaisei.isShown());
    EXPECT_FALSE(s.cmdAns.isShown());
    EXPECT_FALSE(s.cmdDel.isShown());
    EXPECT_EQ(s.lblQs.caption(), qs);
    EXPECT_EQ((std::vector<int>{session.quiz.totalCount, session.quiz.deckLength, session.quiz.removedCount,
                                session.quiz.entry(1)}),
              counters);
    EXPECT_TRUE(s.cmdToMain.click());
}

TEST_F(Training, NothingActiveAndAnEmptyBank) {
    struct Row {
        std::vector<Mondai> bank;
        const char* percent;
    };
    const std::vector<Row> rows = {
        {t::sampleBank(3, {1, 2, 3}), "現在の達成率は　3件 100％"},
        {{}, "現在の達成率は　0件 0％"},  // no division by zero
    };
    windows.start();
    for (const auto& r : rows) {
        t::writeBank(folder.folders(), r.bank);
        session.quiz.build(io, folder.folders(), random);
        frm2Sogo& s = reopen();
        EXPECT_EQ(s.lblQs.caption(), kNothing);
        EXPECT_EQ(s.lblPercent.caption(), r.percent);
        EXPECT_FALSE(s.cmdAns.isShown());
        EXPECT_FALSE(s.cmdHint.isShown());
        EXPECT_TRUE(s.cmdSaisei.isShown());
        back();
    }
}

TEST_F(Training, TheHintIsOfferedForQuestionsWithChoices) {
    std::vector<Mondai> bank = {t::sampleQuestion(1, true), t::sampleQuestion(2, false)};
    random = t::FixedRandom({0.1, 0.9});  // deck keys: record 1 first
    frm2Sogo& s = open(bank);
    ASSERT_EQ(session.quiz.entry(1), 1);
    EXPECT_TRUE(s.cmdHint.isShown());
    // keys 10, 1, 6, 3: the choices come in the order 2, 4, 3, 1
    for (double u : {0.95, 0.05, 0.55, 0.25}) random.push(u);
    ASSERT_TRUE(s.cmdHint.click());
    const std::string indent = "\r\n　　　　　　";
    EXPECT_EQ(s.lblAns1.caption(), "《ヒント》　乙案1" + std::string(17, ' ') + indent + "正解1" +
                                       std::string(17, ' ') + indent + "丙案1" + std::string(17, ' ') + indent +
                                       "甲案1" + std::string(17, ' '));
    ASSERT_TRUE(s.cmdAns.click());
    EXPECT_FALSE(s.cmdHint.isShown());  // hidden with the answer
    ASSERT_TRUE(s.cmdAns.click());      // question 2 has no hint choices
    EXPECT_FALSE(s.cmdHint.isShown());
    EXPECT_EQ(s.lblAns1.caption(), "");
}

TEST_F(Training, FileFailuresAreWrittenIntoTheQuestionLabel) {
    struct Row {
        const char* name;
        std::function<void(const AppFolders&)> spoil;
    };
    const std::vector<Row> rows = {
        {"missing folder", [](const AppFolders& f) { std::filesystem::remove_all(f.data()); }},
        {"not Shift-JIS",
         [](const AppFolders& f) {
             std::string bytes = t::readBytes(f.questionRecords());
             for (std::size_t r = 0; r < bytes.size() / Mondai::kLength; ++r) {
                 bytes[r * Mondai::kLength + 2022] = '\x81';  // a lead byte followed by a blank
                 bytes[r * Mondai::kLength + 2023] = '\x20';
             }
             t::writeBytes(f.questionRecords(), bytes);
         }},
    };
    windows.start();
    for (const auto& r : rows) {
        std::filesystem::create_directories(folder.folders().data());
        t::writeBank(folder.folders(), t::sampleBank(3));
        session.quiz.build(io, folder.folders(), random);
        r.spoil(folder.folders());
        frm2Sogo& s = reopen();
        EXPECT_TRUE(s.frm.isShown()) << r.name;
        EXPECT_NE(s.lblQs.caption().find("問題.ran"), std::string::npos) << r.name << ": " << s.lblQs.caption();
        EXPECT_FALSE(s.cmdAns.isShown()) << r.name;
        EXPECT_TRUE(s.cmdToMain.isShown()) << r.name;
        back();
    }
}

}  // namespace

// ------------------------------------------------- no one-key wipe, focus

TEST_F(Training, RevivalAsksWithTheRemovedCountAndANoChangesNothing) {
    frm2Sogo& s = open(t::sampleBank(6, {2, 5}));
    std::string asked;
    bool agree = false;
    windows.setConfirmer([&](ui::Form&, const std::string& q) {
        asked = q;
        return agree;
    });
    const std::string before = t::readBytes(folder.folders().questionRecords());
    ASSERT_TRUE(s.cmdSaisei.click());
    EXPECT_NE(asked.find("2件"), std::string::npos) << asked;
    EXPECT_EQ(t::readBytes(folder.folders().questionRecords()), before);
    EXPECT_TRUE(s.cmdSaisei.isShown());
    EXPECT_TRUE(s.cmdAns.hasFocus());
    agree = true;
    ASSERT_TRUE(s.cmdSaisei.click());
    EXPECT_EQ(t::storedFlag(folder.folders(), 2), 0);
    EXPECT_TRUE(s.cmdToMain.hasFocus());
}

TEST_F(Training, AfterEveryButtonTheFocusIsOnTheAnswerButtonNeverOnRevival) {
    frm2Sogo& s = open(t::sampleBank(4));
    struct Step {
        const char* what;
        ui::CommandButton frm2Sogo::*button;
    };
    const Step steps[] = {{"show the answer", &frm2Sogo::cmdAns}, {"remove", &frm2Sogo::cmdDel},
                          {"next question", &frm2Sogo::cmdAns},   {"show the answer", &frm2Sogo::cmdAns},
                          {"next question", &frm2Sogo::cmdAns}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        ASSERT_TRUE((s.*step.button).click());
        EXPECT_TRUE(s.cmdAns.hasFocus());
        EXPECT_FALSE(s.cmdSaisei.hasFocus());
    }
}

TEST_F(Training, ARemovalWritesTheRemovalByteAndNoOtherByte) {
    // a record from another writer: "∵" as 0x87 0x9A, which CP932 also holds as 0x81 0xE6
    auto bank = t::sampleBank(3);
    bank[0].Kotae = "∵";
    t::writeBank(folder.folders(), bank);
    std::string bytes = t::readBytes(folder.folders().questionRecords());
    const auto at = bytes.find("\x81\xE6");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = '\x87';
    bytes[at + 1] = '\x9A';
    t::writeBytes(folder.folders().questionRecords(), bytes);
    windows.start();
    frm2Sogo& s = reopen();
    ASSERT_EQ(session.quiz.entry(session.quiz.trainingCursor), 1);
    removeCurrent(s);
    std::string expected = bytes;
    expected[Mondai::kLength - 2] = 1;
    EXPECT_TRUE(t::readBytes(folder.folders().questionRecords()) == expected);
}

// The real file system, except that opening "問題.ran" as a record file fails once armed.
class ReopenFailsIo final : public Io {
public:
    bool armed = false;
    int open(const std::filesystem::path& p, Mode m) override {
        if (armed && m == Mode::ReadWriteCreate && p.filename() == AppFolders::u8path("問題.ran")) return -1;
        return real.open(p, m);
    }
    long readAt(int fd, void* b, std::size_t n, std::uint64_t o) override { return real.readAt(fd, b, n, o); }
    long writeAt(int fd, const void* b, std::size_t n, std::uint64_t o) override { return real.writeAt(fd, b, n, o); }
    bool flush(int fd) override { return real.flush(fd); }
    bool close(int fd) override { return real.close(fd); }
    long long size(int fd) override { return real.size(fd); }
    bool rename(const std::filesystem::path& a, const std::filesystem::path& b) override { return real.rename(a, b); }
    bool remove(const std::filesystem::path& p) override { return real.remove(p); }
    bool exists(const std::filesystem::path& p) override { return real.exists(p); }
    bool isDirectory(const std::filesystem::path& p) override { return real.isDirectory(p); }
    PosixIo real;
};

TEST(TrainingRevival, AFileThatCannotBeReopenedLeavesOnlyTheReturnAndNoDeadHandle) {
    t::TempProgramFolder folder;
    ReopenFailsIo io;
    t::FixedRandom random{{0.5}};
    Session session{folder.path(), io, random};
    WindowManager windows{session, [] {}};
    windows.setConfirmer([](ui::Form&, const std::string&) { return true; });
    t::writeBank(folder.folders(), t::sampleBank(4, {3}));
    windows.start();
    ASSERT_TRUE(windows.main()->cmdSogo.click());
    frm2Sogo& s = *windows.sogo();
    ASSERT_TRUE(s.cmdAns.click());
    io.armed = true;  // the revival's temporary file is written; reopening the new file fails
    ASSERT_TRUE(s.cmdSaisei.click());
    EXPECT_EQ(t::storedFlag(folder.folders(), 3), 0) << "the revival itself was written";
    EXPECT_FALSE(s.holdsQuestionFile());
    EXPECT_NE(s.lblQs.caption().find("問題.ran"), std::string::npos) << s.lblQs.caption();
    EXPECT_FALSE(s.cmdAns.isShown());
    EXPECT_FALSE(s.cmdDel.isShown());
    // the handlers find no file and do nothing (before, they read through a closed handle)
    s.frm.run([&] { s.cmdAns_Click(); });
    s.frm.run([&] { s.cmdDel_Click(); });
    EXPECT_TRUE(s.cmdToMain.click());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
