// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program folder is, where the shipped data is, and the first start
// in a folder: copies that never overwrite, builds only where none of their
// outputs is, the data version file.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/build/program_folder.h"
#include "core/files/error.h"
#include "core/files/folders.h"
#include "support/faulty_io.h"
#include "support/fixed_random.h"
#include "support/folder_checks.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using namespace tabinowa::testing;
namespace fs = std::filesystem;

namespace {

fs::path u8(const char* s) { return AppFolders::u8path(s); }

void put(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    writeBytes(p, bytes);
}

// ------------------------------------------------------------ arguments ----

// --------------------------------------------------------- folder choice ----

TEST(ChooseProgramFolder, GivenThenPortableThenUser) {
    TempProgramFolder root;
    const fs::path portable = root.path() / "portable";
    const fs::path plain = root.path() / "plain";
    fs::create_directories(portable / u8("作業ファイル"));
    fs::create_directories(plain / "file1");  // file1/ alone is no program folder
    put(plain / u8("作業ファイル"), "a file, not a folder");
    const fs::path user = root.path() / "user";
    const fs::path given = root.path() / "given";
    PosixIo io;
    struct Case {
        const char* name;
        std::optional<fs::path> given;
        fs::path exe;
        fs::path folder;
        FolderSource source;
    };
    const Case cases[] = {
        {"given wins over portable", given, portable, given, FolderSource::Given},
        {"portable", std::nullopt, portable, portable, FolderSource::Portable},
        {"no 作業ファイル folder", std::nullopt, plain, user, FolderSource::User},
        {"missing exe folder", std::nullopt, root.path() / "none", user, FolderSource::User},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FolderChoice got = chooseProgramFolder(c.given, c.exe, user, io);
        EXPECT_EQ(got.folder, c.folder);
        EXPECT_EQ(got.source, c.source);
    }
}

// A data set with the three masters (contents do not matter here).
void makeDataSet(const fs::path& d, const std::string& tag = "") {
    put(d / u8("作業ファイル") / u8("問題.csv"), "questions" + tag);
    put(d / u8("作業ファイル") / u8("市町村.csv"), "cities" + tag);
    put(d / "file1" / u8("都道府県データ.csv"), "prefectures" + tag);
    put(d / "file1" / "k1.jpg", "picture 1" + tag);
    put(d / "file1" / "k2.jpg", "picture 2" + tag);
}

TEST(FindShippedData, InstalledBuildFolderAndSourceTree) {
    struct Case {
        const char* name;
        std::vector<const char*> sets;  // data sets laid out, relative to the root
        const char* expected;           // nullptr: none found
    };
    // The executable is always in root/bin.
    const Case cases[] = {
        {"installed", {"share/tabinowa"}, "share/tabinowa"},
        {"build folder copy", {"bin/data"}, "bin/data"},
        {"source tree", {"data"}, "data"},
        {"installed comes first", {"share/tabinowa", "bin/data", "data"}, "share/tabinowa"},
        {"nothing", {}, nullptr},
        {"incomplete set is skipped", {"share/tabinowa-incomplete", "data"}, "data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempProgramFolder root;
        fs::create_directories(root.path() / "bin");
        for (const char* s : c.sets) {
            const std::string set = s;
            if (set.ends_with("-incomplete")) {
                const fs::path d = root.path() / set.substr(0, set.size() - 11);
                makeDataSet(d);
                fs::remove(d / "file1" / u8("都道府県データ.csv"));
            } else {
                makeDataSet(root.path() / s);
            }
        }
        PosixIo io;
        const auto got = findShippedData(root.path() / "bin", io);
        if (!c.expected) {
            EXPECT_FALSE(got.has_value());
            continue;
        }
        ASSERT_TRUE(got.has_value());
        EXPECT_TRUE(fs::equivalent(*got, root.path() / c.expected)) << *got;
    }
}

// ------------------------------------------------------------- versions ----

TEST(DataVersion, Comparison) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"2026.1", "2026.1", 0}, {"2026.2", "2026.10", -1}, {"2026.10", "2026.2", 1},
        {"2026", "2026.0", 0},   {"2026", "2026.1", -1},    {"2027", "2026.9", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(compareDataVersions(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

TEST(DataVersion, ReadWriteAndRefuseMalformedFiles) {
    TempProgramFolder root;
    PosixIo io;
    EXPECT_FALSE(readDataVersion(io, root.path()).has_value());
    writeDataVersion(io, root.path(), "2026.3");
    EXPECT_EQ(readBytes(root.path() / kDataVersionFile), "tabinowa-data-version 1\n2026.3\n");
    EXPECT_EQ(readDataVersion(io, root.path()), "2026.3");
    put(root.path() / kDataVersionFile, "tabinowa-data-version 1\r\n2026.4\r\n");
    EXPECT_EQ(readDataVersion(io, root.path()), "2026.4");

    const std::string malformed[] = {
        "",
        "2026.1\n",
        "tabinowa-data-version 2\n2026.1\n",
        "tabinowa-data-version 1\n",
        "tabinowa-data-version 1\n2026.x\n",
        "tabinowa-data-version 1\n2026..1\n",
        "tabinowa-data-version 1\n-1\n",
        "tabinowa-data-version 1\n2026.1\nmore\n",
    };
    for (const std::string& bytes : malformed) {
        SCOPED_TRACE(bytes);
        put(root.path() / kDataVersionFile, bytes);
        try {
            readDataVersion(io, root.path());
            ADD_FAILURE() << "accepted";
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find(kDataVersionFile), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(writeDataVersion(io, root.path(), "new"), FileError);
}

// ------------------------------------------------------------- first start ----

struct Prepared {
    TempProgramFolder root;
    fs::path shipped = root.path() / "shipped";
    fs::path folder = root.path() / "home" / "tabinowa";
    PosixIo io;
    FixedRandom random{{0.5}};
    AppFolders f() const { return AppFolders{folder}; }
};

// With every working file already there, the builds are left out and only
// the copies are checked.
void putWorkingFiles(const AppFolders& f) {
    for (const fs::path& p : {f.questionRecords(), f.pointFile(), f.cityRecords(), f.rangeFile(), f.visitMarks()})
        put(p, "progress of " + p.filename().string());
}

TEST(PrepareProgramFolder, CopiesOnlyWhatIsMissingAndNeverOverwrites) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> existing;  // relative path, bytes
        int copied;
        bool versionWritten;
    };
    const Case cases[] = {
        {"empty folder", {}, 5, true},
        {"a changed master stays", {{"作業ファイル/問題.csv", "my questions"}}, 4, false},
        {"a picture already there", {{"file1/k2.jpg", "my picture"}}, 4, true},
        {"a version file already there", {{"tabinowa-data-version.txt", "tabinowa-data-version 1\n2025.1\n"}}, 5, false},
        {"everything there",
         {{"作業ファイル/問題.csv", "q"}, {"作業ファイル/市町村.csv", "c"}, {"file1/都道府県データ.csv", "p"},
          {"file1/k1.jpg", "1"}, {"file1/k2.jpg", "2"}},
         0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prepared p;
        makeDataSet(p.shipped);
        writeDataVersion(p.io, p.shipped, "2026.1");
        putWorkingFiles(p.f());
        for (const auto& [rel, bytes] : c.existing) put(p.folder / u8(rel), bytes);
        const Snapshot before = snapshot(p.folder);

        std::vector<SetupProgress> steps;
        const SetupReport r =
            prepareProgramFolder(p.folder, p.shipped, p.io, p.random, [&](const SetupProgress& s) { steps.push_back(s); });

        EXPECT_EQ(r.copied, c.copied);
        EXPECT_FALSE(r.questionsBuilt);
        EXPECT_FALSE(r.citiesBuilt);
        EXPECT_TRUE(r.notes.empty());
        const Snapshot after = snapshot(p.folder);
        for (const auto& [rel, bytes] : before) EXPECT_EQ(after.at(rel), bytes) << rel << " was overwritten";
        const Snapshot shipped = snapshot(p.shipped);
        for (const auto& [rel, bytes] : shipped) {
            if (rel == kDataVersionFile) continue;
            ASSERT_TRUE(after.count(rel)) << rel << " was not copied";
            if (!before.count(rel)) {
                EXPECT_EQ(after.at(rel), bytes) << rel;
            }
        }
        EXPECT_EQ(after.count(kDataVersionFile) == 1 && !before.count(kDataVersionFile), c.versionWritten);
        if (c.versionWritten) {
            EXPECT_EQ(readDataVersion(p.io, p.folder), "2026.1");
        }
        // Progress counts up to its total and ends "ready".
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.back().done, steps.back().total);
        for (const auto& s : steps) EXPECT_LE(s.done, s.total) << s.text;
        // No temporary file is left behind.
        for (const auto& [rel, bytes] : after) EXPECT_EQ(rel.find(".tmp~"), std::string::npos) << rel;
    }
}

TEST(PrepareProgramFolder, PartialWorkingFilesAreReportedNotRebuilt) {
    struct Case {
        const char* name;
        std::vector<fs::path (AppFolders::*)() const> removed;
        int notes;
    };
    const Case cases[] = {
        {"point file missing", {&AppFolders::pointFile}, 1},
        {"question records missing", {&AppFolders::questionRecords}, 1},
        {"visit marks missing", {&AppFolders::visitMarks}, 1},
        {"one of each missing", {&AppFolders::pointFile, &AppFolders::rangeFile}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prepared p;
        makeDataSet(p.shipped);
        putWorkingFiles(p.f());
        for (auto file : c.removed) fs::remove((p.f().*file)());
        const Snapshot before = snapshot(p.folder);
        const SetupReport r = prepareProgramFolder(p.folder, p.shipped, p.io, p.random);
        EXPECT_FALSE(r.questionsBuilt);
        EXPECT_FALSE(r.citiesBuilt);
        EXPECT_EQ(static_cast<int>(r.notes.size()), c.notes);
        for (auto file : c.removed) EXPECT_FALSE(fs::exists((p.f().*file)()));
        const Snapshot after = snapshot(p.folder);
        for (const auto& [rel, bytes] : before) EXPECT_EQ(after.at(rel), bytes) << rel;
    }
}

// A folder is ready exactly when its preparation would copy nothing, build
// nothing and note nothing: a start may then skip it and read the folder at once.
TEST(FolderIsReady, ExactlyWhenThePreparationHasNothingToDo) {
    struct Case {
        const char* name;
        bool shipped;                     // a shipped data set is found
        std::vector<const char*> removed;  // relative to the prepared folder
        bool ready;
    };
    const Case cases[] = {
        {"everything there", true, {}, true},
        {"everything there, nothing shipped", false, {}, true},
        {"a shipped picture missing", true, {"file1/k2.jpg"}, false},
        {"a master missing", true, {"作業ファイル/市町村.csv"}, false},
        {"a master missing, nothing shipped", false, {"作業ファイル/市町村.csv"}, false},
        {"the point file missing", true, {"file/point.csv"}, false},
        {"the visit marks missing", false, {"file1/訪問消去.ran"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prepared p;
        makeDataSet(p.shipped);
        makeDataSet(p.folder);
        putWorkingFiles(p.f());
        for (const char* rel : c.removed) fs::remove(p.folder / u8(rel));
        const std::optional<fs::path> shipped = c.shipped ? std::optional<fs::path>(p.shipped) : std::nullopt;
        const Snapshot before = snapshot(p.folder);
        EXPECT_EQ(folderIsReady(p.folder, shipped, p.io), c.ready);
        EXPECT_TRUE(snapshot(p.folder) == before) << "looking wrote something";
        // The preparation agrees: with nothing to do it does nothing.
        bool didSomething = false;
        try {
            const SetupReport r = prepareProgramFolder(p.folder, shipped, p.io, p.random);
            didSomething = r.copied > 0 || r.questionsBuilt || r.citiesBuilt || !r.notes.empty();
        } catch (const FileError&) {
            didSomething = true;  // it had something to do and could not
        }
        EXPECT_EQ(didSomething, !c.ready);
    }
    // A folder not there at all is not ready (and looking does not make it).
    Prepared p;
    EXPECT_FALSE(folderIsReady(p.folder, std::nullopt, p.io));
    EXPECT_FALSE(fs::exists(p.folder));
}

TEST(PrepareProgramFolder, WithoutShippedDataOrMastersSaysSoInJapanese) {
    Prepared p;
    try {
        prepareProgramFolder(p.folder, std::nullopt, p.io, p.random);
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("同梱のデータが見つかりません"), std::string::npos) << e.what();
    }
    // The folders are made, nothing else is written.
    EXPECT_TRUE(fs::is_directory(p.f().work()));
    EXPECT_TRUE(snapshot(p.folder).empty());
}

// Every write, flush, rename and close of the copies failing in turn: the
// error names a file, no target is ever torn (each is absent or whole), and
// the next start finishes the job.
TEST(PrepareProgramFolder, AStoppedCopyLeavesNoTornFileAndTheNextStartGoesOn) {
    int points = 0;
    {
        Prepared p;
        makeDataSet(p.shipped);
        putWorkingFiles(p.f());
        FaultyIo counting;
        prepareProgramFolder(p.folder, p.shipped, counting, p.random);
        points = counting.points();
    }
    ASSERT_GT(points, 10);
    for (int k = 1; k <= points; ++k) {
        SCOPED_TRACE(k);
        Prepared p;
        makeDataSet(p.shipped);
        putWorkingFiles(p.f());
        FaultyIo faulty(k);
        // A failed close after a whole read loses nothing: that start goes on.
        bool threw = false;
        try {
            prepareProgramFolder(p.folder, p.shipped, faulty, p.random);
        } catch (const FileError& e) {
            threw = true;
            EXPECT_NE(std::string(e.what()).find("「"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(faulty.failed());
        const Snapshot shipped = snapshot(p.shipped);
        for (const auto& [rel, bytes] : snapshot(p.folder)) {
            EXPECT_EQ(rel.find(".tmp~"), std::string::npos) << rel;
            if (shipped.count(rel)) {
                EXPECT_EQ(bytes, shipped.at(rel)) << rel << " is torn";
            }
        }
        const SetupReport again = prepareProgramFolder(p.folder, p.shipped, p.io, p.random);
        if (!threw) {
            EXPECT_EQ(again.copied, 0);
        }
        for (const auto& [rel, bytes] : shipped) EXPECT_EQ(readBytes(p.folder / u8(rel.c_str())), bytes) << rel;
    }
}

#ifdef TABINOWA_SOURCE_DIR
// The real data set: the first start makes every working file, a second start
// changes not one byte.
TEST(PrepareProgramFolder, FirstStartOnTheShippedDataThenASecondStartKeepsEveryByte) {
    Prepared p;
    PosixIo io;
    const auto shipped = findShippedData(fs::path(TABINOWA_SOURCE_DIR) / "tests", io);
    ASSERT_TRUE(shipped.has_value());
    const SetupReport first = prepareProgramFolder(p.folder, shipped, io, p.random);
    EXPECT_TRUE(first.questionsBuilt);
    EXPECT_TRUE(first.citiesBuilt);
    // every file of the data set's two folders: masters, prefecture data, pictures, outlines
    int shippedFiles = 0;
    for (const char* sub : {"file1", "作業ファイル"})
        for (const auto& e : fs::directory_iterator(*shipped / fs::path(reinterpret_cast<const char8_t*>(sub))))
            shippedFiles += e.is_regular_file() ? 1 : 0;
    EXPECT_GE(shippedFiles, 50);  // 2 masters, prefecture data, 47 pictures at least
    EXPECT_EQ(first.copied, shippedFiles);
    for (const fs::path& f : {p.f().questionRecords(), p.f().pointFile(), p.f().cityRecords(), p.f().rangeFile(),
                              p.f().visitMarks(), p.f().cityTestList(), p.f().difficultyFile()})
        EXPECT_TRUE(fs::is_regular_file(f)) << f;
    EXPECT_EQ(readDataVersion(io, p.folder), readDataVersion(io, *shipped));

    // Progress made in between: a point total.
    put(p.f().pointFile(), "1500\r\n");
    const Snapshot before = snapshot(p.folder);
    const SetupReport second = prepareProgramFolder(p.folder, shipped, io, p.random);
    EXPECT_EQ(second.copied, 0);
    EXPECT_FALSE(second.questionsBuilt);
    EXPECT_FALSE(second.citiesBuilt);
    EXPECT_EQ(snapshot(p.folder), before);
}
#endif

}  // namespace
