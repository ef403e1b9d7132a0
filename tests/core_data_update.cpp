// SPDX-License-Identifier: GPL-3.0-or-later
// Taking a newer shipped data set with the learner's progress: removed
// questions by key, points, visits by municipality code and the memory are
// carried into the rebuilt working files; what cannot be carried is listed;
// a refused data set or an unreadable working file changes nothing; a crash or
// a power cut at any point leaves the old set or the new one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/build/data_update.h"
#include "core/build/program_folder.h"
#include "core/files/cp932.h"
#include "core/files/error.h"
#include "core/files/io.h"
#include "core/files/journal.h"
#include "core/files/load_checks.h"
#include "core/files/record_views.h"
#include "core/files/visit_state.h"
#include "core/quiz/memory.h"
#include "core/quiz/questions.h"
#include "core/quiz/review.h"
#include "core/session/session.h"
#include "support/crash_io.h"
#include "support/data_sets.h"
#include "support/folder_checks.h"
#include "support/faulty_io.h"
#include "support/fixed_random.h"
#include "support/power_cut_io.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using namespace tabinowa::testing;
namespace fs = std::filesystem;

namespace {

// The three visit files agree as a window's load demands.
void expectLoadable(Io& io, const AppFolders& f) {
    const auto table = loadRanges(io, f);
    const std::string marks = checkVisitMarks(io, f, checkCityRecords(io, f));
    checkVisitsAgree(table, marks, f);
}

}  // namespace

TEST(DataUpdate, RemovedQuestionsPointsAndVisitsAreCarriedAndTheMergedAwayAreListedOnce) {
    Learner l;
    const AppFolders f = l.f();
    const std::string pointsBefore = readBytes(f.pointFile());
    Session s(f.program, l.io, l.random);

    const DataUpdate u = planDataUpdate(s, l.shippedNew.path());
    EXPECT_EQ(u.removedCarried, 1);  // B; C is dropped
    EXPECT_EQ(u.removedDropped, 1);
    EXPECT_EQ(u.visitsCarried, 2);  // 甲市 by its code, 丁丁市 by 丁市's
    EXPECT_EQ(u.notCarried, std::vector<std::string>{"乙町（北海道）"});
    EXPECT_EQ(notCarriedLine(u), "訪問を引き継げなかった市町村：乙町（北海道）");
    const std::string question = dataUpdateQuestion(u);
    EXPECT_NE(question.find("消去済みの問題1問、ポイント、訪問済みの市町村2件は引き継ぎます"), std::string::npos) << question;
    EXPECT_NE(question.find("なくなった市町村の訪問1件は引き継げません"), std::string::npos) << question;

    const std::string told = takeDataUpdate(s, u);
    EXPECT_NE(told.find("訪問を引き継げなかった市町村：乙町（北海道）"), std::string::npos) << told;
    EXPECT_EQ(told.find("乙町", told.find("乙町") + 1), std::string::npos) << "listed once: " << told;

    // the shipped masters, pictures and version are the folder's now
    const AppFolders from{l.shippedNew.path()};
    for (const auto& [mine, theirs] : {std::pair{f.questionMaster(), from.questionMaster()},
                                       {f.cityMaster(), from.cityMaster()},
                                       {f.prefectureData(), from.prefectureData()},
                                       {f.picture(2), from.picture(2)}})
        EXPECT_EQ(readBytes(mine), readBytes(theirs)) << mine;
    EXPECT_EQ(readDataVersion(l.io, f.program), "2026.2");

    // removed flags by key, whatever the record's number
    std::map<std::string, bool> removed;
    for (const BankQuestion& q : readBank(l.io, f)) removed[q.key] = q.removed;
    EXPECT_EQ(removed, (std::map<std::string, bool>{
                           {keyOf(qE), false}, {keyOf(qD), false}, {keyOf(qA), false}, {keyOf(qB), true}}));
    EXPECT_EQ(s.quiz.totalCount, 4);
    EXPECT_EQ(s.quiz.deckLength, 3);

    EXPECT_EQ(readBytes(f.pointFile()), pointsBefore);

    // visits by code: 甲市 and the renamed 丁丁市; 新市, 戊町 and 己村 not
    const std::string records = readBytes(f.cityRecords());
    const std::string marks = readBytes(f.visitMarks());
    std::map<std::string, bool> visited;
    for (const char* name : {"甲市", "新市", "丁丁市", "戊町", "己村"}) {
        const int n = recordOf(records, name);
        ASSERT_GT(n, 0) << name;
        visited[name] = markVisited(marks, n);
        EXPECT_EQ(readLe16(marks, static_cast<std::size_t>(n - 1) * 6 + 2), n) << "the mark's own number";
    }
    EXPECT_EQ(visited, (std::map<std::string, bool>{
                           {"甲市", true}, {"新市", false}, {"丁丁市", true}, {"戊町", false}, {"己村", false}}));
    EXPECT_NO_THROW(expectLoadable(l.io, f));
    const auto table = readRanges(l.io, f);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].homonSu(), 1);
    EXPECT_EQ(table[1].homonSu(), 1);
    EXPECT_FALSE(fs::exists(f.journal()));

    // the folder holds what the newer data set's own first start would, but the progress
    Learner fresh;
    TempProgramFolder clean;
    prepareProgramFolder(clean.path(), fresh.shippedNew.path(), fresh.io, fresh.random);
    EXPECT_EQ(readBytes(AppFolders{clean.path()}.cityTestList()), readBytes(f.cityTestList()));
    EXPECT_EQ(readBytes(AppFolders{clean.path()}.cityRecords()), records);
}

// The memory keeps every card of a question still in the bank as it is
// (a removed one stays mastered) and forgets those of dropped questions, so
// that its due count is the bank's.
TEST(DataUpdate, TheMemoryForgetsOnlyTheDroppedQuestionsAndRevivesNothing) {
    Learner l;
    const AppFolders f = l.f();
    {
        Session s(f.program, l.io, l.random);
        QuestionFile qf(l.io, f);
        for (int n = 1; n <= qf.count(); ++n) {
            const Mondai m = qf.get(n);
            const std::string key = memoryKey(m);
            s.memory.record(m, key == keyOf(qB) ? Outcome::Mastered : Outcome::Good, 100);
        }
        Mondai where = qf.get(1);
        where.Mondai1 = std::string(kWhereKind) + "甲市";
        s.memory.record(where, Outcome::Good, 100);  // どこでしょう's card stays
        ASSERT_EQ(s.memory.book().cards.size(), 5u);
    }
    Session s(f.program, l.io, l.random);
    s.fixedDay = 150;
    takeDataUpdate(s, planDataUpdate(s, l.shippedNew.path()));

    MemoryStore onDisk(l.io, f.memoryFile());
    const MemoryBook& book = onDisk.book();
    EXPECT_EQ(book.cards.size(), 4u);
    EXPECT_EQ(book.find(keyOf(qC)), nullptr);
    ASSERT_NE(book.find(keyOf(qB)), nullptr);
    EXPECT_TRUE(book.find(keyOf(qB))->mastered);
    ASSERT_NE(book.find(keyOf(qA)), nullptr);
    EXPECT_EQ(book.find(keyOf(qA))->lastDay, 100);
    EXPECT_EQ(book.days.at(100).right, 4);  // the day's answers stay whole
    EXPECT_FALSE(fs::exists(s.memory.stepFile()));
    EXPECT_FALSE(fs::exists(f.journal()));
}

// A data set whose masters the builds refuse, or a working file of the
// learner that cannot be read: nothing changes and the message says why.
TEST(DataUpdate, ARefusedDataSetOrAnUnreadableWorkingFileChangesNothing) {
    struct Case {
        const char* what;
        void (*spoil)(const fs::path& shipped, const AppFolders& folder);
        const char* names;  // the file the message names
        const char* why;
    };
    const Case cases[] = {
        {"a question line cut short",
         [](const fs::path& d, const AppFolders&) {
             writeBytes(AppFolders{d}.questionMaster(),
                        readBytes(AppFolders{d}.questionMaster()) + sjisLines("\"AB\",1,,\"x\"\n"));
         },
         "問題.csv", "同梱の新しいデータに不具合があるため、取り込みませんでした。"},
        {"an old municipality before any merged one",
         [](const fs::path& d, const AppFolders&) {
             writeBytes(AppFolders{d}.cityMaster(), cityMasterOf({{K::Old, 1201, "乙町", "新市"}}));
         },
         "市町村.csv", "同梱の新しいデータに不具合があるため、取り込みませんでした。"},
        {"a prefecture line missing",
         [](const fs::path& d, const AppFolders&) { writeBytes(AppFolders{d}.prefectureData(), prefectureDataOf(1)); },
         "都道府県データ.csv", "同梱の新しいデータに不具合があるため、取り込みませんでした。"},
        {"a damaged version file",
         [](const fs::path& d, const AppFolders&) { writeBytes(d / kDataVersionFile, "version?\n"); },
         "tabinowa-data-version.txt", "同梱の新しいデータに不具合があるため、取り込みませんでした。"},
        {"a visit mark of 2",
         [](const fs::path&, const AppFolders& f) {
             writeBytes(f.visitMarks(), readBytes(f.visitMarks()).replace(0, 2, std::string("\x02\x00", 2)));
         },
         "訪問消去.ran", "今の作業ファイルを読めないため、進み具合を引き継げません。"},
        {"a question record cut short",
         [](const fs::path&, const AppFolders& f) {
             writeBytes(f.questionRecords(), readBytes(f.questionRecords()).substr(0, 100));
         },
         "問題.ran", "今の作業ファイルを読めないため、進み具合を引き継げません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Learner l;
        c.spoil(l.shippedNew.path(), l.f());
        const Snapshot before = snapshot(l.folder.path());
        Session s(l.f().program, l.io, l.random);
        try {
            planDataUpdate(s, l.shippedNew.path());
            ADD_FAILURE() << "taken";
        } catch (const FileError& e) {
            const std::string said = e.what();
            EXPECT_EQ(said.rfind(c.why, 0), 0u) << said;
            EXPECT_NE(said.find(c.names), std::string::npos) << said;
            EXPECT_NE(said.find("ファイルは変えていません。"), std::string::npos) << said;
        }
        EXPECT_EQ(snapshot(l.folder.path()), before);
    }
}

// A kill or a power cut at every call of the change, then the start's
// recovery: the folder is the old set or the new set, never a mixture.
TEST(DataUpdate, ACrashOrPowerCutAnywhereLeavesTheOldOrTheNewSet) {
    Snapshot before, after;
    int points = 0;
    {
        Learner l;
        before = snapshot(l.folder.path());
        CrashIo counter;
        Session s(l.f().program, counter, l.random);
        takeDataUpdate(s, planDataUpdate(s, l.shippedNew.path()));
        points = counter.points();
        after = snapshot(l.folder.path());
    }
    ASSERT_NE(before, after);
    ASSERT_GT(points, 20);
    for (const bool powerCut : {false, true}) {
        int finished = 0, undone = 0;
        for (int k = 1; k <= points; ++k) {
            SCOPED_TRACE((powerCut ? "power cut at " : "crash at ") + std::to_string(k));
            Learner l;
            {
                CrashIo crash(k);
                PowerCutIo cut(k);
                Io& io = powerCut ? static_cast<Io&>(cut) : crash;
                Session s(l.f().program, io, l.random);
                EXPECT_THROW(takeDataUpdate(s, planDataUpdate(s, l.shippedNew.path())), Crash);
            }
            recover(l.io, l.f().journal(), l.f().workingFolders());
            const Snapshot now = snapshot(l.folder.path());
            EXPECT_TRUE(now == before || now == after);
            finished += now == after;
            undone += now == before;
        }
        EXPECT_GT(finished, 0);
        EXPECT_GT(undone, 0);
    }
}

// A write, flush, close, rename or folder sync failing anywhere: the change is
// refused whole and says so, or it went through whole.
TEST(DataUpdate, AFailedCallAnywhereLeavesTheOldSetOrTheNewOne) {
    Snapshot before, after;
    int points = 0;
    {
        Learner l;
        before = snapshot(l.folder.path());
        FaultyIo counter;
        Session s(l.f().program, counter, l.random);
        takeDataUpdate(s, planDataUpdate(s, l.shippedNew.path()));
        points = counter.points();
        after = snapshot(l.folder.path());
    }
    ASSERT_GT(points, 20);
    int refused = 0;
    for (int k = 1; k <= points; ++k) {
        SCOPED_TRACE("failing at " + std::to_string(k));
        Learner l;
        FaultyIo io(k);
        Session s(l.f().program, io, l.random);
        try {
            takeDataUpdate(s, planDataUpdate(s, l.shippedNew.path()));
            EXPECT_EQ(snapshot(l.folder.path()), after);
        } catch (const FileError& e) {
            ++refused;
            EXPECT_EQ(snapshot(l.folder.path()), before) << e.what();
        }
        EXPECT_TRUE(io.failed());
    }
    EXPECT_GT(refused, 0);
}

// The journal names at most 64 files: a change of more is refused before
// anything is written, never committed with a journal no start could read.
TEST(DataUpdate, AChangeOfMoreFilesThanTheJournalNamesIsRefused) {
    TempProgramFolder folder;
    PosixIo io;
    FileSet files(io, folder.folders().journal());
    for (int i = 1; i <= 64; ++i) files.stage(folder.folders().picture(i), "x");
    EXPECT_THROW(files.stage(folder.folders().picture(65), "x"), FileError);
    files.commit();
    EXPECT_TRUE(fs::exists(folder.folders().picture(64)));
    EXPECT_FALSE(fs::exists(folder.folders().picture(65)));
}
