// SPDX-License-Identifier: GPL-3.0-or-later
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

}  // namespace
