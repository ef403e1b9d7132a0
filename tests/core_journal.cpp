// SPDX-License-Identifier: GPL-3.0-or-later
// The journal of changes to several files: its format, a crash at every
// point of a change and of the recovery after it, failures at every point,
// and the sweep of leftovers.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "core/files/error.h"
#include "core/files/journal.h"
#include "support/crash_io.h"
#include "support/faulty_io.h"
#include "support/power_cut_io.h"
#include "support/folder_checks.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using namespace tabinowa::testing;
namespace fs = std::filesystem;

namespace {

fs::path u8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

// ------------------------------------------------------------------ format

TEST(JournalFormat, WhatIsWrittenReadsBack) {
    const std::vector<std::vector<JournalEntry>> cases = {
        {{"file/point.csv", true}},
        {{"file/問題.ran", true}, {"file/point.csv", false}},
        {{"file1/市町村.ran", true}, {"file1/県範囲.csv", true}, {"file1/訪問消去.ran", false}, {"a/b/c d", true}},
    };
    for (const auto& entries : cases) EXPECT_EQ(decodeJournal(encodeJournal(entries), "「j」"), entries);
}

TEST(JournalFormat, AnythingButAWholeJournalIsRefusedByName) {
    const std::string good = encodeJournal({{"file/a", true}, {"file1/b", false}});
    auto withCheck = [](std::string body) {
        // a body with a correct check line, so that only the body is at fault
        std::uint32_t h = 2166136261u;
        for (unsigned char c : body) h = (h ^ c) * 16777619u;
        char buf[9];
        std::snprintf(buf, sizeof buf, "%08x", h);
        return body + "check " + buf + "\n";
    };
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty", ""},
        {"other version", "tabinowa journal 2" + good.substr(good.find('\n'))},
        {"cut before the check", good.substr(0, good.find("check"))},
        {"cut inside the check", good.substr(0, good.size() - 3)},
        {"one byte changed", [&] { std::string b = good; b[good.find("file1") + 3] = '2'; return b; }()},
        {"bytes after the end", good + "x"},
        {"no files", withCheck("tabinowa journal 1\nfiles 0\n")},
        {"count larger than the lines", withCheck("tabinowa journal 1\nfiles 3\n1 a\n1 b\n")},
        {"count not a number", withCheck("tabinowa journal 1\nfiles x\n1 a\n")},
        {"flag not 0 or 1", withCheck("tabinowa journal 1\nfiles 1\n2 a\n")},
        {"absolute path", withCheck("tabinowa journal 1\nfiles 1\n1 /etc/passwd\n")},
        {"path leaving the folder", withCheck("tabinowa journal 1\nfiles 1\n1 file/../../x\n")},
        {"empty component", withCheck("tabinowa journal 1\nfiles 1\n1 file//x\n")},
        {"same file twice", withCheck("tabinowa journal 1\nfiles 2\n1 a\n0 a\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            decodeJournal(c.bytes, "「tabinowa.journal」");
            ADD_FAILURE() << "accepted";
        } catch (const FileError& e) {
            EXPECT_TRUE(japaneseNaming(e.what(), "tabinowa.journal", 20)) << e.what();
        }
    }
    // the well-formed ones of the same shape are accepted
    EXPECT_NO_THROW(decodeJournal(withCheck("tabinowa journal 1\nfiles 1\n1 a\n"), "j"));
}

TEST(JournalFormat, NamesOutsideTheFolderAreNeverWritten) {
    for (const char* bad : {"", "/abs", "../up", "a/./b", "a\nb"})
        EXPECT_THROW(encodeJournal({{bad, true}}), FileError) << bad;
}

// --------------------------------------------------- a change of three files

// Three files in two folders below the journal's folder; the third is new.
struct Change {
    TempProgramFolder tmp;
    fs::path journal = tmp.path() / "tabinowa.journal";
    fs::path a = tmp.path() / "file" / "a.csv";
    fs::path b = tmp.path() / "file1" / "b.ran";
    fs::path c = tmp.path() / "file1" / "c.csv";
    Snapshot before, after;

    Change() {
        writeBytes(a, "A-old");
        writeBytes(b, "B-old-longer");
        before = snapshot(tmp.path());
    }
    void run(Io& io) {
        FileSet set(io, journal);
        set.stage(a, "A-new, longer than before");
        set.stage(b, "B");
        set.stage(c, "C-new");
        set.commit();
    }
    std::vector<fs::path> folders() const { return {tmp.path(), tmp.path() / "file", tmp.path() / "file1"}; }
    void reset() {
        removeFiles(tmp.path());
        writeBytes(a, "A-old");
        writeBytes(b, "B-old-longer");
    }
};

int countPoints(Change& ch) {
    CrashIo counter;
    ch.run(counter);
    ch.after = snapshot(ch.tmp.path());
    ch.reset();
    return counter.points();
}

// A power cut at each point of a change in turn, then a fresh start's
// recovery: the files are wholly old or wholly new every time. How often each.
struct Ends {
    int finished = 0, undone = 0;
};
template <class C>
Ends powerCutAtEveryPoint(C& ch, int points) {
    Ends ends;
    for (int k = 1; k <= points; ++k) {
        ch.reset();
        PowerCutIo io(k);
        EXPECT_THROW(ch.run(io), Crash) << k;
        PosixIo real;
        recover(real, ch.journal, ch.folders());
        const Snapshot now = snapshot(ch.tmp.path());
        EXPECT_TRUE(now == ch.before || now == ch.after) << "mixed after a power cut at point " << k;
        ends.finished += now == ch.after;
        ends.undone += now == ch.before;
    }
    return ends;
}

TEST(JournalCrash, AfterACrashAtAnyPointRecoveryLeavesTheOldOrTheNewFilesAndNothingElse) {
    Change ch;
    const int points = countPoints(ch);
    ASSERT_EQ(ch.after.size(), 3u);
    ASSERT_GT(points, 12);
    int finished = 0, undone = 0;
    for (int k = 1; k <= points; ++k) {
        ch.reset();
        CrashIo io(k);
        EXPECT_THROW(ch.run(io), Crash) << k;
        PosixIo real;
        const RecoveryReport r = recover(real, ch.journal, ch.folders());
        const Snapshot now = snapshot(ch.tmp.path());
        EXPECT_TRUE(now == ch.before || now == ch.after) << "mixed after a crash at point " << k;
        finished += now == ch.after;
        undone += now == ch.before;
        if (r.outcome == RecoveryReport::Outcome::Finished) {
            EXPECT_TRUE(now == ch.after) << k;
        } else if (r.outcome == RecoveryReport::Outcome::Undone) {
            EXPECT_TRUE(now == ch.before) << k;
        }
    }
    // both ends are reached: the commit point lies inside the change
    EXPECT_GT(finished, 0);
    EXPECT_GT(undone, 0);
}

// A power cut at any point: what no folder flush made durable is forgotten
// (a temporary file's name, a rename), as a kill never forgets it. Recovery
// must still find the old or the new set; it must not count a change as
// finished because no temporary file is left when a target is missing.
TEST(JournalPowerCut, AfterAPowerCutAtAnyPointRecoveryLeavesTheOldOrTheNewFiles) {
    Change ch;
    const int points = countPoints(ch);
    const Ends ends = powerCutAtEveryPoint(ch, points);
    EXPECT_GT(ends.finished, 0);
    EXPECT_GT(ends.undone, 0);
}

TEST(JournalCrash, ACrashDuringRecoveryIsRecoveredByTheNextStart) {
    Change ch;
    const int points = countPoints(ch);
    int tried = 0;
    for (int k = 1; k <= points; ++k) {
        // how many points the recovery after this crash has
        ch.reset();
        {
            CrashIo io(k);
            EXPECT_THROW(ch.run(io), Crash);
        }
        const Snapshot crashed = snapshot(ch.tmp.path());
        CrashIo counter;
        recover(counter, ch.journal, ch.folders());
        for (int j = 1; j <= counter.points(); ++j) {
            // back to the same crashed state, then a crash inside recovery
            putBack(ch.tmp.path(), crashed);
            CrashIo io(j);
            EXPECT_THROW(recover(io, ch.journal, ch.folders()), Crash);
            PosixIo real;
            const RecoveryReport r = recover(real, ch.journal, ch.folders());
            const Snapshot now = snapshot(ch.tmp.path());
            EXPECT_TRUE(now == ch.before || now == ch.after) << "change crashed at " << k << ", recovery at " << j;
            // What the learner is told matches the files: an undoing cut short
            // (the new file that had no old one already gone with its
            // temporary file) is not reported as a change finished.
            if (r.outcome == RecoveryReport::Outcome::Finished)
                EXPECT_TRUE(now == ch.after) << "said finished: change crashed at " << k << ", recovery at " << j;
            if (r.outcome == RecoveryReport::Outcome::Undone)
                EXPECT_TRUE(now == ch.before) << "said undone: change crashed at " << k << ", recovery at " << j;
            ++tried;
        }
    }
    EXPECT_GT(tried, 20);
}

// A failure at each point of a change in turn, with no recovery after it:
// reported, the files are old and the message says so; not reported, they
// are new. How many were reported.
template <class C>
int failureAtEveryPoint(C& ch) {
    FaultyIo counter;
    ch.run(counter);
    const Snapshot after = snapshot(ch.tmp.path());
    EXPECT_NE(after, ch.before);
    int reported = 0;
    for (int k = 1; k <= counter.points(); ++k) {
        ch.reset();
        FaultyIo io(k);
        bool threw = false;
        try {
            ch.run(io);
        } catch (const FileError& e) {
            threw = true;
            ++reported;
            EXPECT_NE(std::string(e.what()).find("元のファイルはそのままです"), std::string::npos) << e.what();
        }
        const Snapshot now = snapshot(ch.tmp.path());
        EXPECT_TRUE(threw ? now == ch.before : now == after) << "point " << k << (threw ? " (reported)" : "");
    }
    return reported;
}

TEST(JournalFailure, AFailureAtAnyPointLeavesTheOldOrTheNewFilesWithoutRecovery) {
    Change ch;
    failureAtEveryPoint(ch);
}

// --------------------------------------------------------------- recovery

TEST(Recovery, AJournalItCannotReadIsNamedAndEveryFileStays) {
    Change ch;
    {
        CrashIo io(countPoints(ch) - 4);  // inside the renames
        EXPECT_THROW(ch.run(io), Crash);
    }
    ASSERT_TRUE(fs::exists(ch.journal));
    for (const std::string damage : {"", "garbage", "tabinowa journal 1\nfiles 1\n"}) {
        writeBytes(ch.journal, damage);
        const Snapshot before = snapshot(ch.tmp.path());
        PosixIo io;
        try {
            recover(io, ch.journal, ch.folders());
            ADD_FAILURE() << "recovered over a damaged journal";
        } catch (const FileError& e) {
            EXPECT_TRUE(japaneseNaming(e.what(), "tabinowa.journal", 20)) << e.what();
        }
        EXPECT_TRUE(snapshot(ch.tmp.path()) == before) << "a file changed";
    }
}

TEST(Recovery, LeftoversWithoutAJournalAreSweptAndALoneBackupPutBack) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;  // before
        std::vector<std::pair<std::string, std::string>> expected;
        int removed;
    };
    const Case cases[] = {
        {"nothing to do", {{"file/a", "A"}}, {{"file/a", "A"}}, 0},
        {"temporary files", {{"file/a", "A"}, {"file/a.tmp~", "x"}, {"tabinowa.journal.tmp~", "j"}}, {{"file/a", "A"}}, 2},
        {"backup beside its file", {{"file1/b", "new"}, {"file1/b.old~", "old"}}, {{"file1/b", "new"}}, 1},
        {"backup whose file is gone", {{"file1/b.old~", "old"}, {"file1/b.tmp~", "new"}}, {{"file1/b", "old"}}, 2},
        {"names that only look alike", {{"file/a.tmp", "1"}, {"file/a~", "2"}}, {{"file/a.tmp", "1"}, {"file/a~", "2"}}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramFolder tmp;
        for (const auto& [name, bytes] : c.files) writeBytes(tmp.path() / u8(name), bytes);
        PosixIo io;
        const auto r = recover(io, tmp.path() / "tabinowa.journal",
                               {tmp.path(), tmp.path() / "file", tmp.path() / "file1"});
        Snapshot expected;
        for (const auto& [name, bytes] : c.expected) expected[name] = bytes;
        EXPECT_TRUE(snapshot(tmp.path()) == expected);
        EXPECT_EQ(r.removed, c.removed);
        EXPECT_EQ(r.outcome, RecoveryReport::Outcome::Nothing);
        EXPECT_EQ(r.message.empty(), c.removed == 0);
    }
}

TEST(Recovery, AJournalStillThereIsSettledBeforeTheNextChangeStages) {
    Change ch;
    {
        CrashIo io(countPoints(ch) - 4);
        EXPECT_THROW(ch.run(io), Crash);
    }
    ASSERT_TRUE(fs::exists(ch.journal));
    // the next change on the same folder, without a restart in between
    PosixIo io;
    FileSet set(io, ch.journal);
    set.stage(ch.a, "A3");
    set.stage(ch.b, "B3");
    set.commit();
    EXPECT_FALSE(fs::exists(ch.journal));
    EXPECT_EQ(readBytes(ch.a), "A3");
    EXPECT_EQ(readBytes(ch.b), "B3");
    // c is wholly the first change's or absent, never torn
    EXPECT_EQ(readBytes(ch.c), "C-new");  // the first change had reached its end
}

// ------------------------------------- a whole file and bytes in place

TEST(JournalFormat, BytesInPlaceReadBackAndAChangeWithoutThemKeepsTheFirstVersion) {
    const JournalChange withPatches{{{"file/記憶.txt", false}},
                                    {{"file/問題.ran", 2046, std::string("\0", 1), std::string("\1", 1)},
                                     {"file1/x y", 0, "ab", std::string("\xff\x00", 2)}}};
    const std::string bytes = encodeJournal(withPatches);
    EXPECT_EQ(bytes.rfind("tabinowa journal 2\n", 0), 0u);
    EXPECT_EQ(decodeJournalChange(bytes, "j"), withPatches);
    EXPECT_EQ(decodeJournal(bytes, "j"), withPatches.files);
    // only bytes in place, no whole file
    const JournalChange patchesOnly{{}, {{"file/r", 7, "a", "b"}}};
    EXPECT_EQ(decodeJournalChange(encodeJournal(patchesOnly), "j"), patchesOnly);
    // without patches: the bytes of version 1, as before
    const std::vector<JournalEntry> files = {{"file/a", true}, {"file1/b", false}};
    EXPECT_EQ(encodeJournal(JournalChange{files, {}}), encodeJournal(files));
    EXPECT_EQ(encodeJournal(files), "tabinowa journal 1\nfiles 2\n1 file/a\n0 file1/b\ncheck " +
                                        encodeJournal(files).substr(encodeJournal(files).size() - 9));
}

TEST(JournalFormat, ADamagedLineOfBytesInPlaceIsRefused) {
    auto withCheck = [](std::string body) {
        std::uint32_t h = 2166136261u;
        for (unsigned char c : body) h = (h ^ c) * 16777619u;
        char buf[9];
        std::snprintf(buf, sizeof buf, "%08x", h);
        return body + "check " + buf + "\n";
    };
    const std::string head = "tabinowa journal 2\nfiles 1\n0 file/m\n";
    struct Case {
        const char* what;
        std::string body;
    };
    const Case cases[] = {
        {"no patch count", head},
        {"no patches", head + "patches 0\n"},
        {"odd hex", head + "patches 1\n5 0 1 file/r\n"},
        {"hex not lower case", head + "patches 1\n5 0A 01 file/r\n"},
        {"lengths differ", head + "patches 1\n5 00 0101 file/r\n"},
        {"empty bytes", head + "patches 1\n5   file/r\n"},
        {"offset not a number", head + "patches 1\n-5 00 01 file/r\n"},
        {"no path", head + "patches 1\n5 00 01\n"},
        {"path leaving the folder", head + "patches 1\n5 00 01 ../r\n"},
        {"file both whole and in place", head + "patches 1\n5 00 01 file/m\n"},
        {"count larger than the lines", head + "patches 2\n5 00 01 file/r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_THROW(decodeJournalChange(withCheck(c.body), "「tabinowa.journal」"), FileError);
    }
    EXPECT_NO_THROW(decodeJournalChange(withCheck(head + "patches 1\n5 00 01 file/r\n"), "j"));
    EXPECT_THROW(encodeJournal(JournalChange{{}, {{"file/r", 0, "ab", "c"}}}), FileError);
    EXPECT_THROW(encodeJournal(JournalChange{{}, {{"../r", 0, "a", "c"}}}), FileError);
}

// A memory file (replaced whole, new or old) and a record's two bytes written in place.
struct PatchChange {
    TempProgramFolder tmp;
    fs::path journal = tmp.path() / "tabinowa.journal";
    fs::path memory = tmp.path() / "file" / "m.txt";
    fs::path records = tmp.path() / "file" / "r.ran";
    bool memoryExisted;
    Snapshot before, after;

    explicit PatchChange(bool memoryExists) : memoryExisted(memoryExists) {
        reset();
        before = snapshot(tmp.path());
    }
    void run(Io& io) {
        FileSet set(io, journal);
        set.stage(memory, "memory after");
        set.patch(records, 6, "XY");
        set.commit();
    }
    std::vector<fs::path> folders() const { return {tmp.path(), tmp.path() / "file", tmp.path() / "file1"}; }
    void reset() {
        removeFiles(tmp.path());
        writeBytes(records, "record01..record02");
        if (memoryExisted) writeBytes(memory, "memory before");
    }
};

TEST(JournalInPlace, ACrashAtAnyPointOfTheChangeOrOfItsRecoveryLeavesBothFilesOldOrBothNew) {
    for (bool memoryExists : {false, true}) {
        SCOPED_TRACE(memoryExists ? "memory replaced" : "memory new");
        PatchChange ch(memoryExists);
        {
            PosixIo real;
            ch.run(real);
            ch.after = snapshot(ch.tmp.path());
            ASSERT_EQ(ch.after.at("file/r.ran"), "recordXY..record02");
            ASSERT_EQ(ch.after.at("file/m.txt"), "memory after");
            ch.reset();
        }
        CrashIo counter;
        ch.run(counter);
        const int points = counter.points();
        ch.reset();
        int finished = 0, undone = 0, recoveryPoints = 0;
        for (int k = 1; k <= points; ++k) {
            ch.reset();
            {
                CrashIo io(k);
                EXPECT_THROW(ch.run(io), Crash) << k;
            }
            const Snapshot crashed = snapshot(ch.tmp.path());
            PosixIo real;
            recover(real, ch.journal, ch.folders());
            const Snapshot now = snapshot(ch.tmp.path());
            EXPECT_TRUE(now == ch.before || now == ch.after) << "mixed after a crash at point " << k;
            finished += now == ch.after;
            undone += now == ch.before;
            // and a second crash inside the recovery of this one
            CrashIo recoveryCounter;
            putBack(ch.tmp.path(), crashed);
            recover(recoveryCounter, ch.journal, ch.folders());
            for (int j = 1; j <= recoveryCounter.points(); ++j) {
                putBack(ch.tmp.path(), crashed);
                CrashIo io(j);
                EXPECT_THROW(recover(io, ch.journal, ch.folders()), Crash);
                recover(real, ch.journal, ch.folders());
                const Snapshot again = snapshot(ch.tmp.path());
                EXPECT_TRUE(again == ch.before || again == ch.after) << "change at " << k << ", recovery at " << j;
                ++recoveryPoints;
            }
        }
        EXPECT_GT(finished, 0);
        EXPECT_GT(undone, 0);
        EXPECT_GT(recoveryPoints, 10);
    }
}

TEST(JournalPowerCut, BytesInPlaceAndAWholeFileAreBothOldOrBothNewAfterAPowerCut) {
    for (bool memoryExists : {false, true}) {
        SCOPED_TRACE(memoryExists ? "memory replaced" : "memory new");
        PatchChange ch(memoryExists);
        {
            PosixIo real;
            ch.run(real);
            ch.after = snapshot(ch.tmp.path());
            ch.reset();
        }
        PowerCutIo counter;
        ch.run(counter);
        const int points = counter.points();
        powerCutAtEveryPoint(ch, points);
    }
}

TEST(JournalInPlace, AFailureAtAnyPointLeavesBothFilesOldAndSaysSoOrBothNew) {
    PatchChange ch(true);
    EXPECT_GT(failureAtEveryPoint(ch), 3);
}

TEST(JournalInPlace, BytesBeyondTheEndOrOfAMissingFileAreRefusedBeforeAnythingChanges) {
    PatchChange ch(true);
    PosixIo io;
    for (const auto& [what, target, offset] : std::vector<std::tuple<const char*, fs::path, std::uint64_t>>{
             {"beyond the end", ch.records, 17}, {"missing file", ch.tmp.path() / "file" / "none.ran", 0}}) {
        SCOPED_TRACE(what);
        FileSet set(io, ch.journal);
        set.stage(ch.memory, "memory after");
        EXPECT_THROW(set.patch(target, offset, "XY"), FileError);
    }
    EXPECT_TRUE(snapshot(ch.tmp.path()) == ch.before);
}

}  // namespace

namespace {

// A journal that passes its checksum, for one in-place write.
std::string journalWithPatch(std::uint64_t offset, const std::string& before, const std::string& after) {
    return encodeJournal(JournalChange{{{"file/b", false}}, {{"file/r", offset, before, after}}});
}

}  // namespace

// A journal whose checksum holds is still checked against the files before
// recovery does anything: a write outside its file, or over bytes that are
// neither the old nor the new ones, is refused and nothing changes.
TEST(Recovery, AJournalAskingForWorkOutsideItsFilesIsRefusedBeforeAnythingIsDone) {
    struct Case {
        const char* what;
        std::string journal;
        const char* says;
    };
    const Case cases[] = {
        {"an offset a terabyte beyond the file", journalWithPatch(1ull << 40, "a", "b"), "ファイルの外"},
        {"an offset just past the end", journalWithPatch(4, "a", "b"), "ファイルの外"},
        {"bytes running past the end", journalWithPatch(3, "ab", "cd"), "ファイルの外"},
        {"bytes that are neither old nor new", journalWithPatch(0, "x", "y"), "変更前とも変更後とも違います"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramFolder tmp;
        writeBytes(tmp.path() / "file/r", "RRRR");
        writeBytes(tmp.path() / "file/b.old~", "old");
        writeBytes(tmp.path() / "file/b", "new");
        writeBytes(tmp.path() / "tabinowa.journal", c.journal);
        const Snapshot before = snapshot(tmp.path());
        PosixIo io;
        try {
            recover(io, tmp.path() / "tabinowa.journal", {tmp.path(), tmp.path() / "file", tmp.path() / "file1"});
            ADD_FAILURE() << "recovered over a journal asking for work outside its files";
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("中断された変更を取り消す"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(snapshot(tmp.path()) == before) << "a file changed";
        EXPECT_EQ(fs::file_size(tmp.path() / "file/r"), 4u) << "never grown";
    }
    // the same journal over bytes that are the old or the new ones is settled
    TempProgramFolder tmp;
    writeBytes(tmp.path() / "file/r", "RbRR");
    writeBytes(tmp.path() / "file/b.tmp~", "new");
    writeBytes(tmp.path() / "tabinowa.journal", journalWithPatch(1, "a", "b"));
    PosixIo io;
    recover(io, tmp.path() / "tabinowa.journal", {tmp.path(), tmp.path() / "file", tmp.path() / "file1"});
    EXPECT_EQ(readBytes(tmp.path() / "file/r"), "RaRR") << "undone: the old byte back";
}

// The way out of a journal that cannot be trusted puts the files moved aside
// back, drops the memory's step of the change and every temporary file, and
// the journal last: the set as it was before the change.
TEST(Recovery, RestoringWithoutAJournalPutsTheOldSetBack) {
    TempProgramFolder tmp;
    writeBytes(tmp.path() / "file/point.csv", " 1700\r\n");      // the change's new points, renamed in
    writeBytes(tmp.path() / "file/point.csv.old~", " 1200\r\n"); // the old points moved aside
    writeBytes(tmp.path() / "file/記憶.step", "step");            // the memory's part, renamed in
    writeBytes(tmp.path() / "file1/県範囲.csv.tmp~", "new");      // not yet renamed
    writeBytes(tmp.path() / "file1/県範囲.csv", "old");
    writeBytes(tmp.path() / "tabinowa.journal", "garbage");
    PosixIo io;
    const auto r = restoreWithoutJournal(io, tmp.path() / "tabinowa.journal",
                                         {tmp.path(), tmp.path() / "file", tmp.path() / "file1"},
                                         {tmp.path() / u8("file/記憶.step")});
    EXPECT_EQ(r.restored, 1);
    EXPECT_EQ(r.removed, 1);
    Snapshot expected;
    expected["file/point.csv"] = " 1200\r\n";
    expected["file1/県範囲.csv"] = "old";
    EXPECT_TRUE(snapshot(tmp.path()) == expected);
}
