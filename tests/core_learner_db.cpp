// SPDX-License-Identifier: GPL-3.0-or-later
// The learner's database: answers with their log, the carry-over of the old
// text memory, the schema check, and every change - alone or as a step with
// the design's files - wholly there or wholly not after a failure, a kill or
// a power cut at any of its calls.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <ctime>
#include <random>

#include "core/files/cp932.h"
#include "core/files/database.h"
#include "core/files/error.h"
#include "core/files/journal.h"
#include "core/files/record_views.h"
#include "core/files/visit_state.h"
#include "core/quiz/memory.h"
#include "core/quiz/questions.h"
#include "core/quiz/review.h"
#include "support/crash_io.h"
#include "support/faulty_io.h"
#include "support/folder_checks.h"
#include "support/memory_book.h"
#include "support/power_cut_io.h"
#include "support/question_bank.h"
#include "support/temp_folder.h"

namespace tabinowa {
namespace {

using testing::Crash;
using testing::putBack;
using testing::TempProgramFolder;
namespace fs = std::filesystem;

Mondai question(int n) { return testing::sampleQuestion(n, true); }

// What a fresh start finds: the book (as the old text form, which holds every
// field) and the number of answers in the log.
struct Found {
    std::string book;
    std::int64_t log = 0;
    bool operator==(const Found&) const = default;
};
Found found(const AppFolders& f) {
    PosixIo io;
    MemoryStore store(io, f.memoryFile());
    return {store.book().serialize(), store.logCount()};
}

TEST(LearnerDb, AnswersAreCommittedWithTheirLogAndReadBack) {
    TempProgramFolder dir;
    PosixIo io;
    const auto file = dir.folders().memoryFile();
    {
        MemoryStore store(io, file);
        store.record(question(1), Outcome::Good, 100, activity::kReview, 2.5);
        store.record(question(2), Outcome::Again, 100, activity::kTraining);
        store.record(question(1), Outcome::Good, 103);
        store.record(question(3), Outcome::Mastered, 103, activity::kTraining);
    }
    EXPECT_FALSE(fs::exists(file)) << "no text memory is written any more";
    MemoryStore again(io, file);
    const MemoryBook& b = again.book();
    const Card* c1 = b.find(memoryKey(question(1)));
    ASSERT_NE(c1, nullptr);
    EXPECT_EQ(c1->right, 2);
    EXPECT_NEAR(c1->state.stability, 11.326707, 1e-5);  // first good, good 3 days later
    EXPECT_EQ(c1->dueDay, 103 + 11);
    const Card* c2 = b.find(memoryKey(question(2)));
    ASSERT_NE(c2, nullptr);
    EXPECT_TRUE(c2->lastWrong);
    EXPECT_EQ(c2->dueDay, 101);
    const Card* c3 = b.find(memoryKey(question(3)));
    ASSERT_NE(c3, nullptr);
    EXPECT_TRUE(c3->mastered);
    EXPECT_EQ(c3->dueDay, 103 + kMasteredDays);
    // The day tallies come from the log; a removal is no answer of the day.
    EXPECT_EQ(b.days.at(100).right, 1);
    EXPECT_EQ(b.days.at(100).wrong, 1);
    EXPECT_EQ(b.days.at(103).right, 1);
    EXPECT_EQ(b.days.at(103).wrong, 0);
    EXPECT_EQ(again.logCount(), 4);

    // The log's rows as written: time, key, activity, outcome, right or wrong, seconds.
    Database db(io, again.databaseFile(), false);
    Database::Statement rows(db, "SELECT day, key, activity, outcome, right, seconds FROM answers ORDER BY id");
    struct Row { std::int64_t day; std::string key, activity; std::int64_t outcome; std::optional<std::int64_t> right; std::optional<double> seconds; };
    const Row want[] = {
        {100, memoryKey(question(1)), "復習", 2, 1, 2.5},
        {100, memoryKey(question(2)), "練習", 0, 0, std::nullopt},
        {103, memoryKey(question(1)), "", 2, 1, std::nullopt},
        {103, memoryKey(question(3)), "練習", 4, std::nullopt, std::nullopt},
    };
    for (const auto& w : want) {
        ASSERT_TRUE(rows.step());
        EXPECT_EQ(rows.integer(0), w.day);
        EXPECT_EQ(rows.text(1), w.key);
        EXPECT_EQ(rows.text(2), w.activity);
        EXPECT_EQ(rows.integer(3), w.outcome);
        EXPECT_EQ(rows.isNull(4) ? std::nullopt : std::optional(rows.integer(4)), w.right);
        EXPECT_EQ(rows.isNull(5) ? std::nullopt : std::optional(rows.real(5)), w.seconds);
    }
    EXPECT_FALSE(rows.step());
}

// Random answers, removals, forgotten cards, retention changes, answers taken
// back and restarts: a fresh start always finds what the store holds in RAM,
// and an answer taken back leaves the database as it was.
TEST(LearnerDb, EveryChangeIsWhatAFreshStartFinds) {
    TempProgramFolder dir;
    PosixIo io;
    const auto f = dir.folders();
    std::optional<MemoryStore> store(std::in_place, io, f.memoryFile());
    std::mt19937 random(7);
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::int32_t today = 100;
    for (int step = 0; step < 120; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const Mondai m = question(1 + pick(25));
        const Found before = found(f);
        switch (pick(10)) {
            case 0: {  // a removal or a right answer in the game whose step failed
                store->revert(store->defer(m, pick(2) ? Outcome::Mastered : Outcome::Good, today));
                ASSERT_EQ(found(f), before);
                break;
            }
            case 1:  // a wrong answer in the game whose step failed
                store->revert(store->record(m, Outcome::Again, today).change.value());
                ASSERT_EQ(found(f), before);
                break;
            case 2: store->restore(memoryKey(m), std::nullopt); break;
            case 3: store->setRetention((80 + pick(18)) / 100.0); break;
            case 4: today += 1 + pick(3); break;
            case 5: store.emplace(io, f.memoryFile()); break;
            default: store->record(m, static_cast<Outcome>(pick(5)), today);
        }
        ASSERT_EQ(found(f).book, store->book().serialize());
    }
}

// A removed question answered again is back in the review, whatever the
// answer; a removal after answers masters it again.
TEST(LearnerDb, AnAnswerAfterARemovalUnmastersTheQuestion) {
    struct Case { Outcome again; bool mastered; };
    const Case cases[] = {{Outcome::Again, false}, {Outcome::Hard, false}, {Outcome::Good, false},
                          {Outcome::Easy, false}, {Outcome::Mastered, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.again));
        TempProgramFolder dir;
        PosixIo io;
        MemoryStore store(io, dir.folders().memoryFile());
        store.record(question(1), Outcome::Good, 100);
        store.record(question(1), Outcome::Mastered, 101);
        store.record(question(1), c.again, 102);
        MemoryStore fresh(io, dir.folders().memoryFile());
        const Card* card = fresh.book().find(memoryKey(question(1)));
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(card->mastered, c.mastered);
        EXPECT_EQ(store.book().dueCount(102 + 400), c.mastered ? 0 : 1);
    }
}

TEST(LearnerDb, RetentionChangesTheIntervals) {
    TempProgramFolder dir;
    PosixIo io;
    MemoryStore store(io, dir.folders().memoryFile());
    store.setRetention(0.8);
    store.record(question(1), Outcome::Easy, 10);
    EXPECT_EQ(store.book().find(memoryKey(question(1)))->dueDay, 10 + 48);  // 2.958530 * 16.1507
    EXPECT_THROW(store.setRetention(0.99), std::invalid_argument);
    EXPECT_EQ(MemoryStore(io, dir.folders().memoryFile()).book().retention, 0.8);
}

// The first start after the change: 記憶.txt is carried over whole (every
// card, every day's tally, the retention) and stays beside, byte for byte.
// A broken one is refused by name, and no database is made from it.
TEST(LearnerDb, TheOldTextMemoryIsCarriedOverWholeAndKept) {
    MemoryBook old = testing::sampleMemoryBook();
    old.cards[std::string(kWhereKind) + "\n北海道"] = old.cards.at("a\tb\\c\r\nd");
    const std::string text = old.serialize();

    TempProgramFolder dir;
    PosixIo io;
    const auto f = dir.folders();
    testing::writeBytes(f.memoryFile(), text);
    {
        MemoryStore store(io, f.memoryFile());
        EXPECT_EQ(store.book().serialize(), text);
        EXPECT_EQ(store.logCount(), 0);
        EXPECT_FALSE(fs::exists(store.databaseFile())) << "reading alone made the database";
        store.record(question(1), Outcome::Good, 20001);
    }
    EXPECT_EQ(testing::readBytes(f.memoryFile()), text);
    // Carried over once: later starts read the database, the text file stays a backup.
    MemoryStore again(io, f.memoryFile());
    EXPECT_EQ(again.book().days.at(20001).right, 1);
    EXPECT_EQ(again.book().cards.size(), 4u);

    TempProgramFolder broken;
    const auto bf = broken.folders();
    testing::writeBytes(bf.memoryFile(), text.substr(0, text.size() - 5));
    MemoryStore refused(io, bf.memoryFile());
    try {
        refused.load();
        ADD_FAILURE() << "a cut memory file was carried over";
    } catch (const FileError& e) {
        EXPECT_TRUE(testing::japaneseNaming(e.what(), "記憶.txt")) << e.what();
    }
    EXPECT_FALSE(refused.loaded());
    EXPECT_FALSE(fs::exists(refused.databaseFile()));
    EXPECT_EQ(testing::readBytes(bf.memoryFile()), text.substr(0, text.size() - 5));
}

// The day tallies are kept per day, so a start reads them without counting
// the log. A database of the version before (no such table) is read from its
// log as it is, untouched by reading, and takes the table at its first write:
// the same tallies, then and after the answers to come.
TEST(LearnerDb, ADatabaseOfTheVersionBeforeTakesTheDayTalliesAtItsFirstWrite) {
    TempProgramFolder dir;
    PosixIo io;
    const auto f = dir.folders();
    {
        MemoryStore store(io, f.memoryFile());
        store.record(question(1), Outcome::Good, 100);
        store.record(question(2), Outcome::Again, 100);
        store.record(question(3), Outcome::Mastered, 100);
        store.record(question(1), Outcome::Hard, 103);
        store.revert(store.record(question(2), Outcome::Good, 103).change.value());
    }
    const Found now = found(f);
    const auto days = MemoryStore(io, f.memoryFile()).book().days;
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days.at(100).right, 1);
    EXPECT_EQ(days.at(100).wrong, 1);
    EXPECT_EQ(days.at(103).right, 1) << "the answer taken back is no answer of the day";
    const auto db = MemoryStore(io, f.memoryFile()).databaseFile();
    Database(io, db, false).exec("DROP TABLE answer_days; DROP TABLE retention_tallies; "
                                 "ALTER TABLE answers DROP COLUMN due; PRAGMA user_version=1;");
    const std::string before = testing::readBytes(db);
    EXPECT_EQ(found(f), now) << "the version before reads its log";
    EXPECT_EQ(testing::readBytes(db), before) << "reading changed it";
    {
        MemoryStore store(io, f.memoryFile());
        store.record(question(4), Outcome::Again, 103);
    }
    const auto after = MemoryStore(io, f.memoryFile()).book().days;
    EXPECT_EQ(after.at(100).right, 1);
    EXPECT_EQ(after.at(100).wrong, 1);
    EXPECT_EQ(after.at(103).right, 1);
    EXPECT_EQ(after.at(103).wrong, 1);
    Database upgraded(io, db, false);
    Database::Statement version(upgraded, "PRAGMA user_version");
    ASSERT_TRUE(version.step());
    EXPECT_EQ(version.integer(0), 3);
    Database::Statement kept(upgraded, "SELECT count(*) FROM answer_days");
    ASSERT_TRUE(kept.step());
    EXPECT_EQ(kept.integer(0), 2);
}

// An old text memory an editor saved again in Shift-JIS is named as such,
// with the way back (save it as UTF-8) and the repair; any other damage of it
// is the damaged memory's message. Either is the damaged file the repair sets
// aside, after which the memory starts empty.
TEST(LearnerDb, ADamagedOldTextMemoryIsToldWhyAndCanBeSetAside) {
    MemoryBook old;
    old.cards["【読み】\n札幌\nさっぽろ"] = Card{};
    const std::string text = old.serialize();
    struct Case {
        const char* what;
        std::string bytes;
        const char* says;
    };
    const Case cases[] = {
        {"saved as CP932", toCp932(text, "test"), "シフトJIS"},
        {"cut short", text.substr(0, text.size() - 3), "壊れています"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramFolder dir;
        const auto f = dir.folders();
        testing::writeBytes(f.memoryFile(), c.bytes);
        PosixIo io;
        MemoryStore store(io, f.memoryFile());
        const auto refused = store.record(question(1), Outcome::Good, 100);
        ASSERT_TRUE(refused.problem);
        EXPECT_TRUE(testing::japaneseNaming(*refused.problem, "記憶.txt")) << *refused.problem;
        EXPECT_NE(refused.problem->find(c.says), std::string::npos) << *refused.problem;
        EXPECT_NE(refused.problem->find("記憶を作り直す"), std::string::npos) << *refused.problem;
        EXPECT_FALSE(fs::exists(store.databaseFile()));
        EXPECT_EQ(testing::readBytes(f.memoryFile()), c.bytes);
        ASSERT_EQ(store.damagedFile(), f.memoryFile());
        const fs::path aside = store.setAside(std::time(nullptr));
        EXPECT_FALSE(fs::exists(f.memoryFile()));
        EXPECT_EQ(testing::readBytes(aside), c.bytes);
        EXPECT_TRUE(store.record(question(1), Outcome::Good, 100).change);
        EXPECT_EQ(MemoryStore(io, f.memoryFile()).book().cards.size(), 1u);
    }
}

// A database file that is not ours, of another version, or damaged does not
// take an answer: the answer is told to go on without it, naming the file and
// its repair, the file is left as it is, and setting it aside (the repair)
// starts a fresh memory that takes the next answer.
TEST(LearnerDb, ADatabaseNotOfThisVersionIsRefusedByNameAndLeftAsItIs) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> make;
    };
    const Case cases[] = {
        {"garbage", [](const fs::path& db) { testing::writeBytes(db, std::string(3000, 'x')); }},
        {"a newer schema",
         [](const fs::path& db) {
             PosixIo io;
             { MemoryStore(io, db.parent_path() / AppFolders::u8path("記憶.txt")).setRetention(0.9); }
             Database(io, db, false).exec("PRAGMA user_version=4");
         }},
        {"another program's database",
         [](const fs::path& db) {
             PosixIo io;
             Database(io, db, true).exec("CREATE TABLE t(x); PRAGMA user_version=1;");
         }},
        {"damaged pages",
         [](const fs::path& db) {
             PosixIo io;
             {
                 MemoryStore store(io, db.parent_path() / AppFolders::u8path("記憶.txt"));
                 for (int i = 1; i <= 40; ++i) store.record(question(i), Outcome::Good, 100);
             }
             std::string bytes = testing::readBytes(db);
             for (std::size_t i = 4096; i < bytes.size(); i += 7) bytes[i] = '\x5a';
             testing::writeBytes(db, bytes);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramFolder dir;
        const auto f = dir.folders();
        PosixIo io;
        MemoryStore probe(io, f.memoryFile());
        c.make(probe.databaseFile());
        const std::string before = testing::readBytes(probe.databaseFile());
        MemoryStore store(io, f.memoryFile());
        const auto refused = store.record(question(1), Outcome::Good, 100);
        EXPECT_FALSE(refused.change) << "accepted";
        ASSERT_TRUE(refused.problem);
        EXPECT_TRUE(testing::japaneseNaming(*refused.problem, "記憶.db")) << *refused.problem;
        EXPECT_NE(refused.problem->find("記憶を作り直す"), std::string::npos) << *refused.problem;
        EXPECT_FALSE(store.record(question(2), Outcome::Good, 100).problem) << "told twice";
        EXPECT_EQ(testing::readBytes(probe.databaseFile()), before);
        ASSERT_EQ(store.damagedFile(), probe.databaseFile());

        const fs::path aside = store.setAside(std::time_t{1765190096});  // 2025-12-08, local time
        EXPECT_EQ(aside.parent_path(), probe.databaseFile().parent_path());
        const auto name = aside.filename().u8string();
        EXPECT_EQ(name.rfind(u8"記憶.db.破損-2025120", 0), 0u) << std::string(name.begin(), name.end());
        EXPECT_EQ(testing::readBytes(aside), before) << "the damaged database is kept whole";
        EXPECT_FALSE(store.damagedFile());
        const auto taken = store.record(question(1), Outcome::Good, 100);
        EXPECT_TRUE(taken.change);
        EXPECT_FALSE(taken.problem);
        EXPECT_EQ(found(f).log, 1) << "the fresh memory holds the answer after the repair";
        // A second repair the same second keeps the first one's file.
        testing::writeBytes(probe.databaseFile(), "not a database");
        MemoryStore again(io, f.memoryFile());
        ASSERT_TRUE(again.damagedFile());
        const fs::path second = again.setAside(std::time_t{1765190096});
        EXPECT_NE(second, aside);
        EXPECT_EQ(testing::readBytes(aside), before);
        EXPECT_EQ(testing::readBytes(second), "not a database");
    }
}

// An answer with a failure, a kill or a power cut at each of its calls in
// turn: a fresh start finds the answer with its log row, or neither; after a
// reported failure the memory in RAM is as before too.
TEST(LearnerDb, AnAnswerIsWhollyThereOrNotAfterAFailureKillOrPowerCutAtAnyPoint) {
    TempProgramFolder dir;
    const auto f = dir.folders();
    {
        PosixIo io;
        MemoryStore(io, f.memoryFile()).record(question(1), Outcome::Good, 100);
    }
    const auto start = testing::snapshot(dir.path());
    const Found before = found(f);
    auto answer = [&](Io& io) {
        MemoryStore store(io, f.memoryFile());
        store.load();
        return store.record(question(2), Outcome::Again, 101);
    };
    testing::CrashIo count;
    const auto loadOnly = [&] {
        testing::CrashIo c;
        MemoryStore(c, f.memoryFile()).load();
        return c.points();
    }();
    answer(count);
    const Found after = found(f);
    ASSERT_NE(after, before);
    const int points = count.points();
    ASSERT_GT(points - loadOnly, 6);
    int oldSeen = 0, newSeen = 0;
    for (int k = loadOnly + 1; k <= points; ++k) {
        SCOPED_TRACE("point " + std::to_string(k));
        for (int model = 0; model < 3; ++model) {
            putBack(dir.path(), start);
            if (model == 0) {
                testing::FaultyIo io(k);
                MemoryStore store(io, f.memoryFile());
                store.load();
                const auto done = store.record(question(2), Outcome::Again, 101);
                EXPECT_NE(done.change.has_value(), done.problem.has_value());
                if (done.problem) {
                    EXPECT_TRUE(testing::japaneseNaming(*done.problem, "記憶.db")) << *done.problem;
                    EXPECT_EQ(store.book().find(memoryKey(question(2))), nullptr);
                }
                const Found now = found(f);
                EXPECT_EQ(now, done.problem ? before : after) << "failure";
            } else {
                // (the last points close the database: SQLite ignores their failure)
                try {
                    if (model == 1) {
                        testing::CrashIo io(k);
                        answer(io);
                    } else {
                        testing::PowerCutIo io(k);
                        answer(io);
                    }
                } catch (const Crash&) {
                }
                const Found now = found(f);
                EXPECT_TRUE(now == before || now == after) << (model == 1 ? "kill" : "power cut");
                oldSeen += now == before;
                newSeen += now == after;
            }
        }
    }
    EXPECT_GT(oldSeen, 0);
    EXPECT_GT(newSeen, 0);
}

// Every change of a learner's state is one step through MemoryStore::step:
// the design's file and the memory change together. A failure, a kill or a
// power cut at any call - of the files' change, of the database's commit, of
// the recovery's start - leaves both as before or both as after, as the next
// start reads them: a removed question is mastered, a scored answer is in the
// log, an undone removal is unflagged and its question's memory as it was,
// revived questions are no longer mastered. A database failure after the
// files' change never loses the memory's part (the step file keeps it).
TEST(LearnerDb, AStepChangesTheDesignFileAndTheMemoryTogetherOrNeither) {
    // Record 2's explanation holds "≒" as CP932 0x87 0x90, a code another
    // program's files may hold; an undo writes one byte and keeps them.
    auto withRawBytes = [](const AppFolders& f) {
        std::string bytes = testing::readBytes(f.questionRecords());
        bytes.replace(Mondai::kLength + mondai::Kaisetu.offset, 2, "\x87\x90");
        testing::writeBytes(f.questionRecords(), bytes);
    };
    // Record 2 removed through a step of its own, its memory mastered.
    auto removeSecond = [](Io& io, const AppFolders& f) {
        MemoryStore store(io, f.memoryFile());
        QuestionFile file(io, f);
        const auto done = store.step(MemoryPart::answer(question(2), Outcome::Mastered, activity::kTraining), 100, [&] {
            file.markRemoved(2, store.companion());
            return true;
        });
        return done.change->card;  // before the removal
    };
    struct Kind {
        const char* what;
        bool removedFirst;  // the start has record 2 removed by a step
        std::function<MemoryPart(const std::optional<Card>&)> part;
        std::function<bool(Io&, const AppFolders&, const std::optional<Companion>&)> run;
        fs::path (*file)(const AppFolders&);
    };
    auto records = [](const AppFolders& f) { return f.questionRecords(); };
    const Kind kinds[] = {
        {"removal", false,
         [](const std::optional<Card>&) { return MemoryPart::answer(question(2), Outcome::Mastered, activity::kTraining); },
         [](Io& io, const AppFolders& f, const std::optional<Companion>& along) {
             QuestionFile file(io, f);
             file.markRemoved(2, along);
             file.close();  // not in the destructor: a crash there could not be thrown
             return true;
         },
         records},
        {"right answer", false,
         [](const std::optional<Card>&) { return MemoryPart::answer(question(2), Outcome::Good, activity::kVisit, 3.5); },
         [](Io& io, const AppFolders& f, const std::optional<Companion>& along) {
             writePoints(io, f, 1500, along);
             return true;
         },
         [](const AppFolders& f) { return f.pointFile(); }},
        {"undo of a removal", true,
         [](const std::optional<Card>& before) { return MemoryPart::restore(memoryKey(question(2)), before); },
         [](Io& io, const AppFolders& f, const std::optional<Companion>& along) {
             QuestionFile file(io, f);
             file.unmarkRemoved(2, along);
             file.close();
             return true;
         },
         records},
        {"revival of every question", true, [](const std::optional<Card>&) { return MemoryPart::reviveAll(); },
         [](Io& io, const AppFolders& f, const std::optional<Companion>& along) {
             reviveAll(io, f, 3, along);
             return true;
         },
         records},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.what);
        TempProgramFolder dir;
        const auto f = dir.folders();
        testing::writeBank(f, testing::sampleBank(3, {}, true));
        withRawBytes(f);
        testing::writeBytes(f.pointFile(), " 100\r\n");
        const std::string pristine = testing::readBytes(f.questionRecords());
        std::optional<Card> cardBefore;
        {
            PosixIo io;
            MemoryStore(io, f.memoryFile()).record(question(1), Outcome::Good, 100);
            MemoryStore(io, f.memoryFile()).record(question(2), Outcome::Again, 100);
            if (kind.removedFirst) cardBefore = removeSecond(io, f);
        }
        const auto start = testing::snapshot(dir.path());
        const std::string designBefore = testing::readBytes(kind.file(f));
        auto step = [&](Io& io) {
            MemoryStore store(io, f.memoryFile());
            store.load();
            try {
                store.step(kind.part(cardBefore), 101, [&] { return kind.run(io, f, store.companion()); });
            } catch (const FileError&) {
                EXPECT_EQ(store.book().serialize(), found(f).book) << "the memory in RAM took a step that failed";
                return false;
            }
            return true;
        };
        // What a fresh start finds, after its recovery: the design file and the memory.
        auto settled = [&] {
            PosixIo io;
            recover(io, f.journal(), f.workingFolders());
            return std::pair(testing::readBytes(kind.file(f)), found(f));
        };
        testing::CrashIo count;
        ASSERT_TRUE(step(count));
        const auto after = settled();
        ASSERT_NE(after.first, designBefore);
        if (kind.removedFirst) {
            // Both take the removal back whole: every byte of the record file as before it.
            EXPECT_EQ(after.first, pristine);
            PosixIo io;
            MemoryStore store(io, f.memoryFile());
            const Card* c = store.book().find(memoryKey(question(2)));
            ASSERT_NE(c, nullptr);
            EXPECT_FALSE(c->mastered) << "a question back in the bank is still mastered";
        }
        putBack(dir.path(), start);
        const auto before = settled();
        ASSERT_NE(after.second, before.second);
        int oldSeen = 0, newSeen = 0;
        for (int k = 1; k <= count.points(); ++k) {
            SCOPED_TRACE("point " + std::to_string(k));
            for (int model = 0; model < 3; ++model) {
                putBack(dir.path(), start);
                if (model == 0) {
                    testing::FaultyIo io(k);
                    step(io);
                } else {
                    try {
                        if (model == 1) {
                            testing::CrashIo io(k);
                            step(io);
                        } else {
                            testing::PowerCutIo io(k);
                            step(io);
                        }
                    } catch (const Crash&) {
                    }
                }
                const auto now = settled();
                EXPECT_TRUE(now == before || now == after) << "model " << model;
                oldSeen += now == before;
                newSeen += now == after;
            }
        }
        EXPECT_GT(oldSeen, 0);
        EXPECT_GT(newSeen, 0);
    }
}

// Our database damaged, unwritable or not ours never blocks a design step:
// the step's file changes as it would, the database is left byte for byte,
// and the reason is given once, naming the database.
TEST(LearnerDb, ADamagedDatabaseNeverBlocksADesignStepAndIsToldOnce) {
    const std::string garbage(4096, 'x');
    TempProgramFolder dir;
    const auto f = dir.folders();
    testing::writeBank(f, testing::sampleBank(3, {}, true));
    testing::writeBytes(f.pointFile(), " 100\r\n");
    testing::writeBytes(f.data() / AppFolders::u8path("記憶.db"), garbage);
    PosixIo io;
    MemoryStore store(io, f.memoryFile());
    QuestionFile file(io, f);
    std::vector<std::optional<std::string>> told;
    for (int n : {1, 2}) {
        const auto done = store.step(MemoryPart::answer(question(n), Outcome::Mastered, activity::kTraining), 100, [&] {
            EXPECT_FALSE(store.companion()) << "a step file for a database that cannot take it";
            file.markRemoved(n, store.companion());
            return true;
        });
        EXPECT_FALSE(done.change);
        told.push_back(done.problem);
    }
    const auto wrong = store.step(MemoryPart::answer(question(3), Outcome::Again, activity::kVisit), 100, [] { return true; });
    ASSERT_TRUE(told[0]);
    EXPECT_TRUE(testing::japaneseNaming(*told[0], "記憶.db")) << *told[0];
    EXPECT_FALSE(told[1]) << "told twice";
    EXPECT_FALSE(wrong.problem) << "told twice";
    EXPECT_TRUE(file.get(1).removed());
    EXPECT_TRUE(file.get(2).removed());
    EXPECT_EQ(testing::readBytes(f.data() / AppFolders::u8path("記憶.db")), garbage);
    EXPECT_FALSE(fs::exists(store.stepFile()));
}


// ------------------------------------------------------------ true retention

// A question of a kind ("" for none): the kind is the start of its first line.
Mondai ofKind(int n, const std::string& kind) {
    Mondai m = question(n);
    m.Mondai1 = kind + m.Mondai1;
    return m;
}

// The rows as one text, so that a difference shows which row it is.
std::string shown(const TrueRetention& r) {
    std::string out;
    auto rows = [&](const char* what, const std::vector<RetentionRow>& v) {
        for (const auto& row : v)
            out += std::string(what) + " " + row.name + " " + std::to_string(row.right) + "/" + std::to_string(row.due) + "\n";
    };
    rows("kind", r.byKind);
    rows("month", r.byMonth);
    rows("total", {r.total});
    return out;
}

// What replaying the store's own log says.
std::string replayed(MemoryStore& store) {
    std::vector<fsrs::LoggedAnswer> log;
    store.readLog(0, 1 << 30, log);
    return shown(trueRetention(log, store.book().scheduler()));
}

const std::string kKinds[] = {"【読み】", "【合併】", "", std::string(kWhereKind)};

// Answers over about five months: 24 questions of four kinds answered in
// random order, some wrong, a few removed, so that due and not-due answers,
// mastered cards answered again and months without a due answer all occur.
void answerAWhile(MemoryStore& store, unsigned seed, std::int32_t from, int days) {
    std::mt19937 random(seed);
    for (std::int32_t day = from; day < from + days; ++day) {
        const int count = static_cast<int>(random() % 4);
        for (int i = 0; i < count; ++i) {
            const int n = static_cast<int>(random() % 24) + 1;
            const unsigned roll = random() % 20;
            const Outcome o = roll == 0 ? Outcome::Mastered : roll < 5 ? Outcome::Again : roll < 7 ? Outcome::Hard
                              : roll < 17 ? Outcome::Good : Outcome::Easy;
            ASSERT_TRUE(store.record(ofKind(n, kKinds[n % 4]), o, day).change);
        }
    }
}

// The tallies kept with each answer say what a replay of the same log with
// the same scheduler says, whatever the scheduler: the default one, another
// desired retention, or the learner's own weights.
TEST(LearnerDb, TheRetentionTalliesAgreeWithAReplayOfTheLog) {
    struct Case {
        const char* what;
        unsigned seed;
        double retention;
        bool ownWeights;
    };
    const Case cases[] = {
        {"the defaults", 1, fsrs::kDefaultRetention, false},
        {"retention 0.80", 3, 0.80, false},
        {"retention 0.97", 4, 0.97, false},
        {"the learner's weights", 5, fsrs::kDefaultRetention, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramFolder dir;
        PosixIo io;
        MemoryStore store(io, dir.folders().memoryFile());
        store.setRetention(c.retention);
        if (c.ownWeights) {
            fsrs::Weights w = fsrs::kDefaultWeights;
            w[0] *= 0.5;
            w[2] *= 1.5;
            store.recordFit(FitRecord{19000, {}, {}, true}, w);
        }
        answerAWhile(store, c.seed, 19000, 150);
        const TrueRetention kept = store.trueRetention();
        EXPECT_GT(kept.total.due, 20);
        EXPECT_GT(kept.byMonth.size(), 3u);
        EXPECT_EQ(kept.byKind.size(), 4u);
        EXPECT_EQ(shown(kept), replayed(store));
        PosixIo fresh;
        MemoryStore again(fresh, dir.folders().memoryFile());
        EXPECT_EQ(shown(again.trueRetention()), shown(kept)) << "a fresh start reads the same";
    }
}

// An answer taken back is no answer of the tallies: due or not, right or
// wrong, a removal, or the first answer of its kind and month (which then
// leaves no row behind).
TEST(LearnerDb, AnAnswerTakenBackIsUncountedFromTheRetentionTallies) {
    TempProgramFolder dir;
    PosixIo io;
    MemoryStore store(io, dir.folders().memoryFile());
    answerAWhile(store, 11, 19000, 60);
    const std::int32_t today = 19000 + 60;
    std::optional<int> due, notDue;
    for (int n = 1; n <= 24; ++n) {
        const Card* c = store.book().find(memoryKey(ofKind(n, kKinds[n % 4])));
        if (!c || c->mastered) continue;
        (reviewGroup(c, today) == ReviewGroup::Due ? due : notDue) = n;
    }
    ASSERT_TRUE(due && notDue);
    struct Case {
        const char* what;
        Mondai m;
        Outcome o;
        std::int32_t day;
    };
    const Case cases[] = {
        {"a due question answered right", ofKind(*due, kKinds[*due % 4]), Outcome::Good, today},
        {"a due question answered wrong", ofKind(*due, kKinds[*due % 4]), Outcome::Again, today},
        {"a question not due", ofKind(*notDue, kKinds[*notDue % 4]), Outcome::Easy, today},
        {"a removal", ofKind(*due, kKinds[*due % 4]), Outcome::Mastered, today},
        {"the first of a new kind", ofKind(99, "【新種】"), Outcome::Good, today},
        {"the first of a month far on", ofKind(*due, kKinds[*due % 4]), Outcome::Hard, today + 400},
    };
    const std::string before = shown(store.trueRetention());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto done = store.record(c.m, c.o, c.day);
        ASSERT_TRUE(done.change);
        const std::string with = shown(store.trueRetention());
        EXPECT_EQ(with, replayed(store));
        store.revert(*done.change);
        EXPECT_EQ(shown(store.trueRetention()), before);
        EXPECT_EQ(shown(store.trueRetention()), replayed(store));
    }
}

// A database of the version before the tallies (the day tallies and no due
// column) as an older program left it.
void makeVersion2(Io& io, const fs::path& db) {
    Database(io, db, false).exec("DROP TABLE retention_tallies; ALTER TABLE answers DROP COLUMN due; PRAGMA user_version=2;");
}

std::int64_t schemaVersion(Io& io, const fs::path& db) {
    Database d(io, db, false);
    Database::Statement v(d, "PRAGMA user_version");
    v.step();
    return v.integer(0);
}

// A database of the version before is read as it is (its log replayed) and
// gains the tallies at its first write, filled from that replay, so that the
// answers before it count as they did and those after it are added.
TEST(LearnerDb, ADatabaseOfTheVersionBeforeGainsTheRetentionTalliesAtItsFirstWrite) {
    TempProgramFolder dir;
    PosixIo io;
    const auto f = dir.folders();
    {
        MemoryStore store(io, f.memoryFile());
        answerAWhile(store, 21, 19000, 100);
    }
    const auto db = MemoryStore(io, f.memoryFile()).databaseFile();
    const std::string kept = shown(MemoryStore(io, f.memoryFile()).trueRetention());
    makeVersion2(io, db);
    const std::string old = testing::readBytes(db);
    {
        MemoryStore store(io, f.memoryFile());
        EXPECT_EQ(shown(store.trueRetention()), kept) << "read as it is, by its log";
    }
    EXPECT_EQ(testing::readBytes(db), old) << "reading changed it";
    {
        MemoryStore store(io, f.memoryFile());
        store.record(ofKind(1, kKinds[1]), Outcome::Good, 19100);
        EXPECT_EQ(schemaVersion(io, db), 3);
        EXPECT_EQ(shown(store.trueRetention()), replayed(store));
        // each row of the log says whether it was counted, so that taking it back can un-count it
        Database d(io, db, false);
        Database::Statement marked(d, "SELECT total(due) FROM answers");
        ASSERT_TRUE(marked.step());
        EXPECT_EQ(static_cast<int>(marked.real(0)), store.trueRetention().total.due);
        answerAWhile(store, 22, 19101, 30);
        EXPECT_EQ(shown(store.trueRetention()), replayed(store)) << "the answers after it are counted";
    }
}

// A failure, a kill or a power cut at any point of that first write leaves
// the database of the version before (its log, no tallies) or the new one
// with the answer and tallies equal to the replay: never a half.
TEST(LearnerDb, TheFirstWriteOfAnOlderDatabaseIsWhollyThereOrNotAtAnyPoint) {
    TempProgramFolder dir;
    const auto f = dir.folders();
    fs::path db;
    {
        PosixIo io;
        MemoryStore store(io, f.memoryFile());
        answerAWhile(store, 31, 19000, 40);
        db = store.databaseFile();
    }
    {
        PosixIo io;
        makeVersion2(io, db);
    }
    const auto start = testing::snapshot(dir.path());
    const Found before = found(f);
    auto answer = [&](Io& io) {
        MemoryStore store(io, f.memoryFile());
        store.load();
        return store.record(ofKind(2, kKinds[2]), Outcome::Again, 19040);
    };
    const auto loadOnly = [&] {
        testing::CrashIo c;
        MemoryStore(c, f.memoryFile()).load();
        return c.points();
    }();
    testing::CrashIo count;
    answer(count);
    const Found after = found(f);
    ASSERT_NE(after, before);
    const int points = count.points();
    ASSERT_GT(points - loadOnly, 6);
    int oldSeen = 0, newSeen = 0;
    for (int k = loadOnly + 1; k <= points; ++k) {
        SCOPED_TRACE("point " + std::to_string(k));
        for (int model = 0; model < 3; ++model) {
            putBack(dir.path(), start);
            try {
                if (model == 0) {
                    testing::FaultyIo io(k);
                    const auto done = answer(io);
                    EXPECT_NE(done.change.has_value(), done.problem.has_value());
                } else if (model == 1) {
                    testing::CrashIo io(k);
                    answer(io);
                } else {
                    testing::PowerCutIo io(k);
                    answer(io);
                }
            } catch (const Crash&) {
            }
            const Found now = found(f);
            ASSERT_TRUE(now == before || now == after) << model;
            PosixIo io;
            const auto version = schemaVersion(io, db);
            if (now == before) {
                ++oldSeen;
                EXPECT_EQ(version, 2) << "the old database, as it was";
            } else {
                ++newSeen;
                EXPECT_EQ(version, 3);
                MemoryStore store(io, f.memoryFile());
                EXPECT_EQ(shown(store.trueRetention()), replayed(store));
            }
        }
    }
    EXPECT_GT(oldSeen, 0);
    EXPECT_GT(newSeen, 0);
}

}  // namespace
}  // namespace tabinowa
