// Every start on a program folder: one running copy per folder (a killed
// copy never blocks), and recovery before anything reads a file.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "core/base/hand_off.h"
#include "core/base/random.h"
#include "core/build/startup.h"
#include "core/files/journal.h"
#include "core/quiz/deck.h"
#include "support/crash_io.h"
#include "support/folder_checks.h"
#include "support/question_bank.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using namespace tabinowa::testing;
namespace fs = std::filesystem;

namespace {

// Work handed to a second thread runs once, whoever takes it, and its result
// or its failure reaches the caller: asked for at once (often before the
// thread began, so the caller does it), or after a while.
TEST(HandOffJob, TheWorkRunsOnceWhoeverTakesItAndItsResultOrFailureArrives) {
    struct Case {
        int waitMs;  // before asking for the result
        bool fails;
    };
    for (const Case c : {Case{0, false}, Case{0, true}, Case{5, false}, Case{5, true}}) {
        SCOPED_TRACE(std::to_string(c.waitMs) + (c.fails ? " ms, failing" : " ms"));
        int byCaller = 0;
        for (int trial = 0; trial < (c.waitMs ? 10 : 200); ++trial) {
            auto runs = std::make_shared<std::atomic<int>>(0);
            HandOffJob<int> job([runs, fails = c.fails, trial] {
                ++*runs;
                if (fails) throw std::runtime_error("failed " + std::to_string(trial));
                return trial * 3;
            });
            if (c.waitMs) std::this_thread::sleep_for(std::chrono::milliseconds(c.waitMs));
            if (c.fails) {
                try {
                    job.get();
                    ADD_FAILURE() << "no failure";
                } catch (const std::runtime_error& e) {
                    EXPECT_EQ(std::string(e.what()), "failed " + std::to_string(trial));
                }
            } else {
                EXPECT_EQ(job.get(), trial * 3);
            }
            EXPECT_EQ(runs->load(), 1);
            byCaller += job.doneByCaller();
        }
        std::printf("%d of the jobs done by the caller\n", byCaller);
    }
}

// A job whose thread has begun is waited for, not done twice; a job dropped
// unused runs at most once, on its thread, and nothing waits for it.
TEST(HandOffJob, ABegunJobIsWaitedForAndADroppedOneRunsAtMostOnce) {
    auto started = std::make_shared<std::atomic<bool>>(false);
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto runs = std::make_shared<std::atomic<int>>(0);
    {
        HandOffJob<int> job([=] {
            ++*runs;
            started->store(true);
            while (!release->load()) std::this_thread::yield();
            return 7;
        });
        while (!started->load()) std::this_thread::yield();
        release->store(true);
        EXPECT_EQ(job.get(), 7);
        EXPECT_FALSE(job.doneByCaller());
        EXPECT_EQ(runs->load(), 1);
    }
    auto dropped = std::make_shared<std::atomic<int>>(0);
    for (int trial = 0; trial < 50; ++trial) {
        HandOffJob<int> job([dropped] { return ++*dropped; });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_LE(dropped->load(), 50);
}

// Background work yields the core: its thread runs at a lower priority than
// the thread that made the job, while a caller that does the work itself, and
// work handed off at the normal priority, keep the caller's priority.
TEST(HandOffJob, BackgroundWorkRunsAtALowerPriorityOnItsThreadOnly) {
    const auto priorityHere = [] { return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())); };
    const int mine = priorityHere();
    ASSERT_LT(mine, 19) << "the test needs room to lower a priority";
    struct Case {
        Priority priority;
        bool waitForThread;  // else taken at once, usually by the caller
    };
    for (const Case c : {Case{Priority::Background, true}, Case{Priority::Normal, true},
                         Case{Priority::Background, false}}) {
        for (int trial = 0; trial < (c.waitForThread ? 1 : 50); ++trial) {
            auto started = std::make_shared<std::atomic<bool>>(false);
            HandOffJob<int> job(
                [priorityHere, started] {
                    started->store(true);
                    return priorityHere();
                },
                c.priority);
            if (c.waitForThread)
                while (!started->load()) std::this_thread::yield();
            const int seen = job.get();
            const bool background = c.priority == Priority::Background && !job.doneByCaller();
            EXPECT_EQ(seen, background ? std::min(mine + kBackgroundNiceness, 19) : mine)
                << "background " << (c.priority == Priority::Background) << ", by caller " << job.doneByCaller();
            EXPECT_EQ(priorityHere(), mine);
        }
    }
}

TEST(FolderLock, ASecondStartOnTheSameFolderIsRefusedAndSaysWhere) {
    TempProgramFolder tmp, other;
    PosixIo io;
    StartedFolder first = openProgramFolder(io, tmp.folders());
    ASSERT_TRUE(first.lock) << first.error;
    StartedFolder second = openProgramFolder(io, tmp.folders());
    EXPECT_FALSE(second.lock);
    EXPECT_NE(second.error.find("既に起動しています"), std::string::npos) << second.error;
    auto where = tmp.path().u8string();
    EXPECT_NE(second.error.find(std::string(where.begin(), where.end())), std::string::npos) << second.error;
    // another folder is another program
    EXPECT_TRUE(openProgramFolder(io, other.folders()).lock);
    // once the first has ended, the folder is free
    first.lock.reset();
    EXPECT_TRUE(openProgramFolder(io, tmp.folders()).lock);
}

TEST(FolderLock, ALockOfAKilledProcessDoesNotBlock) {
    TempProgramFolder tmp;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string why;
        auto lock = FolderLock::acquire(tmp.path(), why);
        char c = lock ? 'y' : 'n';
        if (write(ready[1], &c, 1) != 1) _exit(2);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    std::string why;
    EXPECT_FALSE(FolderLock::acquire(tmp.path(), why)) << "the child holds it";
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(FolderLock::acquire(tmp.path(), why)) << why;
    close(ready[0]);
    close(ready[1]);
}

// A change of the point and range files that a crash stops after the
// temporary files, before the journal.
void interruptAChange(const AppFolders& f) {
    CrashIo io(7);
    FileSet set(io, f.journal());
    EXPECT_THROW(
        {
            set.stage(f.pointFile(), " 600\r\n");
            set.stage(f.rangeFile(), "new ranges");
            set.commit();
        },
        Crash);
}

TEST(Startup, AnInterruptedChangeIsSettledAndSaidSoAndADamagedJournalIsNamed) {
    TempProgramFolder tmp;
    const AppFolders f = tmp.folders();
    writeBytes(f.pointFile(), " 100\r\n");
    writeBytes(f.rangeFile(), "old ranges");
    const Snapshot before = snapshot(tmp.path());
    interruptAChange(f);
    PosixIo io;
    {
        StartedFolder s = openProgramFolder(io, f);
        ASSERT_TRUE(s.lock);
        EXPECT_FALSE(s.notice.empty()) << "leftovers were cleared without a word";
    }
    Snapshot now = snapshot(tmp.path());
    now.erase("tabinowa.lock");
    EXPECT_TRUE(now == before);

    writeBytes(f.journal(), "not a journal");
    const Snapshot damaged = snapshot(tmp.path());
    StartedFolder s = openProgramFolder(io, f);
    ASSERT_TRUE(s.lock);
    EXPECT_TRUE(japaneseNaming(s.notice, "tabinowa.journal", 20)) << s.notice;
    EXPECT_TRUE(snapshot(tmp.path()) == damaged);
}

Snapshot withoutLocks(Snapshot s) {
    std::erase_if(s, [](const auto& e) { return fs::path(e.first).filename() == "tabinowa.lock"; });
    return s;
}

// A folder a start can use at once: the masters, every working file and a
// bank of `questions` questions.
void putReadyFolder(const fs::path& folder, int questions) {
    const AppFolders f{folder};
    for (const fs::path& d : {f.data(), f.work(), f.map()}) fs::create_directories(d);
    for (const fs::path& p : {f.questionMaster(), f.cityMaster(), f.prefectureData(), f.pointFile(), f.cityRecords(),
                              f.rangeFile(), f.visitMarks()})
        writeBytes(p, "x");
    writeBank(f, sampleBank(questions, {2}));
}

// Before the toolkit starts, a folder that needs no preparing is locked,
// recovered and its deck begun (the same deck the menu would build); any
// other start is left whole to the usual start, holding nothing.
TEST(StartEarly, AReadyFolderIsLockedAndItsDeckBegunAndAnyOtherIsLeftAlone) {
    struct Case {
        const char* name;
        bool portable;      // bin/ holds 作業ファイル/ and a bank
        const char* given;  // --folder root/<given>
        bool userReady;     // the user's folder holds everything
        bool givenReady;
        bool inUse;         // the chosen folder is locked by another copy
        const char* expected;  // the folder begun, relative to root; nullptr: none
        bool userAsked;
    };
    const Case cases[] = {
        {"portable", true, nullptr, true, false, false, "bin", false},
        {"given and ready", true, "given", false, true, false, "given", false},
        {"given and not ready", true, "given", true, false, false, nullptr, false},
        {"the user's folder, ready", false, nullptr, true, false, false, "user", true},
        {"the user's folder at its first start", false, nullptr, false, false, false, nullptr, true},
        {"in use by another copy", true, nullptr, false, false, true, nullptr, false},
        {"--folder without a folder", true, "", true, false, false, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempProgramFolder root;
        const fs::path bin = root.path() / "bin", user = root.path() / "user", given = root.path() / "given";
        fs::create_directories(bin);
        if (c.portable) putReadyFolder(bin, 9);
        if (c.userReady) putReadyFolder(user, 7);
        if (c.givenReady) putReadyFolder(given, 5);
        else if (c.given && *c.given) fs::create_directories(given);
        std::vector<std::string> args{"tabinowa"};
        if (c.given) args.insert(args.end(), {"--folder", *c.given ? given.string() : ""});
        std::optional<StartedFolder> other;
        PosixIo io, deckIo;
        if (c.inUse) other = openProgramFolder(io, AppFolders{bin});
        int asked = 0;
        MtRandom random(5), same(5);
        const Snapshot before = snapshot(root.path());

        EarlyStart early = startEarly(args, bin, [&] { ++asked; return user; }, io, deckIo, random);

        EXPECT_EQ(asked > 0, c.userAsked);
        if (!c.expected) {
            EXPECT_TRUE(early.folder.empty());
            EXPECT_FALSE(early.started.lock);
            EXPECT_FALSE(early.deck.valid());
            EXPECT_TRUE(withoutLocks(snapshot(root.path())) == withoutLocks(before))
                << "a start left to the usual start wrote something";
            for (const fs::path& f : {bin, user, given}) {
                std::string why;
                if (fs::exists(f) && !(c.inUse && f == bin)) {
                    EXPECT_TRUE(FolderLock::acquire(f, why)) << f << " is held: " << why;
                }
            }
            continue;
        }
        EXPECT_EQ(early.folder, root.path() / c.expected);
        ASSERT_TRUE(early.started.lock);
        std::string why;
        EXPECT_FALSE(FolderLock::acquire(early.folder, why)) << "not locked";
        ASSERT_TRUE(early.deck.valid());
        const QuestionDeck deck = early.deck.get();
        QuestionDeck direct;
        direct.build(io, AppFolders{early.folder}, same);
        EXPECT_EQ(deck.totalCount, direct.totalCount);
        EXPECT_EQ(deck.deckLength, direct.deckLength);
        EXPECT_EQ(deck.recordColumn, direct.recordColumn);
    }
}

// An interrupted change is settled by the early start as by the usual one,
// and what it did is kept for the menu to say.
TEST(StartEarly, RecoveryComesFirstAndItsNoticeIsKept) {
    TempProgramFolder root;
    const fs::path bin = root.path() / "bin";
    putReadyFolder(bin, 4);
    const AppFolders f{bin};
    const std::string points = readBytes(f.pointFile());
    interruptAChange(f);
    PosixIo io, deckIo;
    MtRandom random(1);
    EarlyStart early = startEarly({"tabinowa"}, bin, {}, io, deckIo, random);
    ASSERT_TRUE(early.started.lock);
    EXPECT_FALSE(early.started.notice.empty());
    EXPECT_EQ(readBytes(f.pointFile()), points);
    EXPECT_EQ(early.deck.get().totalCount, 4);
}

}  // namespace
