// SPDX-License-Identifier: GPL-3.0-or-later
// Every write point of the steps that change a user's progress, made to fail
// one at a time: a visit, start over and a right answer in the visit game, a
// removal and the revival in training. Each step is run once to count its
// write, flush, rename and close points; then, for every k, the k-th of them
// fails (a failing write tears: half of it reaches the disk). Afterwards the
// program folder must hold exactly the files of before (and the window say
// which file failed, in Japanese) or exactly those of the complete step.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "core/session/session.h"
#include "core/files/prefectures.h"
#include "core/files/record_file.h"
#include "core/files/records.h"
#include "core/files/visit_state.h"
#include "core/quiz/memory.h"
#include "screens/frm2CityVisit.h"
#include "screens/frm2Sogo.h"
#include "screens/frm1Main.h"
#include "screens/window_manager.h"
#include "support/faulty_io.h"
#include "support/fixed_random.h"
#include "support/folder_checks.h"
#include "support/game_fixture.h"
#include "support/picture.h"
#include "support/question_bank.h"
#include "support/temp_folder.h"

using namespace tabinowa;
using namespace tabinowa::testing;
namespace fs = std::filesystem;

namespace {

// The real file system, or while armed a FaultyIo failing at its k-th point.
// It counts the points the same way and remembers the file of the k-th, so a
// test knows which file the window has to name.
class ArmedIo final : public Io {
public:
    void arm(int k) {
        faulty_ = std::make_unique<FaultyIo>(k);
        failAt_ = k;
        count_ = 0;
        pointFile_.clear();
    }
    void disarm() { armed_ = false; }
    void fire() { armed_ = true; }
    int points() const { return faulty_ ? faulty_->points() : 0; }
    bool failed() const { return faulty_ && faulty_->failed(); }
    // The file the failing point concerned, as the program names it ("問題.ran", not its temporary name).
    const std::string& failedFile() const { return pointFile_; }

    int open(const fs::path& p, Mode mode) override {
        int fd = target().open(p, mode);
        if (fd >= 0) paths_[fd] = p;
        return fd;
    }
    long readAt(int fd, void* buf, std::size_t n, std::uint64_t off) override { return target().readAt(fd, buf, n, off); }
    long writeAt(int fd, const void* buf, std::size_t n, std::uint64_t off) override {
        point(paths_[fd]);
        return target().writeAt(fd, buf, n, off);
    }
    bool flush(int fd) override {
        point(paths_[fd]);
        return target().flush(fd);
    }
    bool close(int fd) override {
        point(paths_[fd]);
        paths_.erase(fd);
        return target().close(fd);
    }
    long long size(int fd) override { return target().size(fd); }
    bool rename(const fs::path& a, const fs::path& b) override {
        point(b);
        return target().rename(a, b);
    }
    bool remove(const fs::path& p) override { return target().remove(p); }
    bool exists(const fs::path& p) override { return target().exists(p); }
    bool isDirectory(const fs::path& p) override { return target().isDirectory(p); }
    bool syncFolder(const fs::path& p) override {
        point(p);  // a folder is named by its own name
        return target().syncFolder(p);
    }
    std::vector<std::string> listFolder(const fs::path& p) override { return target().listFolder(p); }

private:
    Io& target() { return armed_ && faulty_ ? static_cast<Io&>(*faulty_) : static_cast<Io&>(real_); }
    void point(const fs::path& p) {
        if (!armed_) return;
        if (++count_ == failAt_) {
            auto u8 = p.filename().u8string();
            pointFile_ = std::regex_replace(std::string(u8.begin(), u8.end()), std::regex("\\.(tmp|old)~$"), "");
        }
    }
    PosixIo real_;
    std::unique_ptr<FaultyIo> faulty_;
    std::map<int, fs::path> paths_;
    bool armed_ = false;
    int failAt_ = 0;
    int count_ = 0;
    std::string pointFile_;
};

// A failure message says more than the file's name: at least this many bytes of its own.
constexpr std::size_t kOwnBytes = 7;

// Which files differ from `reference`, for failure messages.
std::string differences(const Snapshot& now, const Snapshot& reference) {
    std::string out;
    for (const auto& [name, bytes] : now) {
        auto it = reference.find(name);
        if (it == reference.end()) out += " +" + name;
        else if (it->second != bytes) out += " ~" + name;
    }
    for (const auto& [name, bytes] : reference)
        if (!now.count(name)) out += " -" + name;
    return out.empty() ? " (none)" : out;
}

// The learner's memory files: ours, compared by what the next start reads
// from them (a transaction cut short is rolled back, a step file left in
// place applied), not byte for byte.
bool isMemoryFile(const std::string& name) { return name.rfind("file/記憶.", 0) == 0 && name != "file/記憶.txt"; }

Snapshot designFiles(const Snapshot& all) {
    Snapshot out;
    for (const auto& [name, bytes] : all)
        if (!isMemoryFile(name)) out.emplace(name, bytes);
    return out;
}

// What a start reads from the memory of `folder`, read on a copy (reading
// may settle what a failure left).
std::string memoryAsReadNext(const fs::path& folder) {
    TempProgramFolder copy;
    fs::copy(folder, copy.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    PosixIo io;
    MemoryStore store(io, copy.folders().memoryFile());
    return store.book().serialize() + "log " + std::to_string(store.logCount());
}

// The range file as someone may have edited it by hand: blanks after the
// commas and LF line ends. It reads the same as the file the build writes.
const char* const kHandEditedRanges =
    "1, 0, \"県Ａ\", 1, 2, 0\n"
    "2, 0, \"県Ｂ\", 3, 14, 2\n"
    "3, 0, \"県Ｃ\", 15, 15, 0\n";

// The program in use (six questions, record 4 removed; fifteen municipalities
// in three prefectures, records 5 and 9 of 県Ｂ visited; 1200 points) and two
// pictures.
void writeProgram(const AppFolders& f, bool handEditedRanges) {
    writeProgramInUse(f);
    if (handEditedRanges) writeBytes(f.rangeFile(), toCp932(kHandEditedRanges, "test"));
    writeSmallPicture(f.picture(1));
    writeSmallPicture(f.picture(2));
}

// One run of the program over its own folder.
struct Program {
    explicit Program(bool handEditedRanges) { writeProgram(folder.folders(), handEditedRanges); }
    ~Program() {
        windows.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    frm2CityVisit& game() {
        auto* w = static_cast<frm2CityVisit*>(windows->window(WindowId::CityVisit));
        if (!w) throw std::runtime_error("no visit game window");
        return *w;
    }
    frm2Sogo& training() {
        if (!windows->sogo()) throw std::runtime_error("no training window");
        return *windows->sogo();
    }
    void openGame() {
        windows->start();
        ASSERT_TRUE(windows->main()->cmdCity.click());
        ASSERT_TRUE(windows->isLoaded(WindowId::CityVisit));
    }
    void openTraining() {
        windows->start();
        ASSERT_TRUE(windows->main()->cmdSogo.click());
        ASSERT_NE(windows->sogo(), nullptr);
    }

    TempProgramFolder folder;
    AppFolders f = folder.folders();
    ArmedIo io;
    FixedRandom random{{0.5}};  // the deck in file order; no lucky draw
    Session session{folder.path(), io, random};
    std::unique_ptr<WindowManager> windows = [this] {
        auto w = std::make_unique<WindowManager>(session, [] {});
        w->setConfirmer([](ui::Form&, const std::string&) { return true; });  // the user agrees
        return w;
    }();
};

// What the files say must agree with what the window holds.
void gameAgreesWithItsFiles(Program& p, const std::string& where) {
    EXPECT_EQ(pointsOnDisk(p.f), p.session.points) << where << ": the point file and the total shown";
    const std::vector<int> marks = markFlags(p.f);
    PosixIo io;
    for (const auto& k : readRanges(io, p.f)) {
        int visited = 0;
        for (int n = k.startRec(); n <= k.endRec(); ++n) visited += marks.at(static_cast<std::size_t>(n - 1));
        EXPECT_EQ(k.homonSu(), visited) << where << ": HomonSu of " << k.name() << " and its visit marks";
    }
}

void trainingAgreesWithItsFile(Program& p, const std::string& where) {
    int removed = 0;
    for (int n = 1; n <= 6; ++n) removed += storedFlag(p.f, n) != 0;
    EXPECT_EQ(removed, p.session.quiz.removedCount) << where << ": removed records and the removed count";
}

struct Operation {
    const char* name;
    bool handEditedRanges;
    std::function<void(Program&)> prepare;               // drives the window up to the step
    std::function<void(Program&)> act;                   // the step itself
    std::function<std::string(Program&)> messageLabel;   // where the window reports failures
    std::function<std::string(Program&)> doneLabel;      // where it says what a step did
    std::function<void(Program&, const std::string&)> agree;
    int minPoints;  // each file the step must write: 1 in place, 4 when replaced whole
};

std::string gameMessage(Program& p) { return p.game().lblMinryoku.caption(); }
std::string trainingMessage(Program& p) { return p.training().lblQs.caption(); }
// Where a step that went through says what it did (and any failure of the memory).
std::string trainingDone(Program& p) { return p.training().lblAns1.caption(); }

void chooseThirdOfKenB(Program& p) {
    p.openGame();
    ASSERT_TRUE(p.game().lstKen.clickItem(1));
    ASSERT_TRUE(p.game().lstCity.clickItem(2));  // record 6, cost 500
    ASSERT_TRUE(p.game().cmdVisit.isShown());
}

const std::vector<Operation>& operations() {
    static const std::vector<Operation> ops = {
        {"visit", false, chooseThirdOfKenB, [](Program& p) { ASSERT_TRUE(p.game().cmdVisit.click()); }, gameMessage, gameMessage,
         gameAgreesWithItsFiles, 1 + 4 + 4},
        {"visit over a hand-edited range file", true, chooseThirdOfKenB,
         [](Program& p) { ASSERT_TRUE(p.game().cmdVisit.click()); }, gameMessage, gameMessage, gameAgreesWithItsFiles, 1 + 4 + 4},
        {"start over", false, [](Program& p) { p.openGame(); },
         [](Program& p) { ASSERT_TRUE(p.game().cmdStart0.click()); }, gameMessage, gameMessage, gameAgreesWithItsFiles, 4 + 4 + 4},
        {"start over over a hand-edited range file", true, [](Program& p) { p.openGame(); },
         [](Program& p) { ASSERT_TRUE(p.game().cmdStart0.click()); }, gameMessage, gameMessage, gameAgreesWithItsFiles, 4 + 4 + 4},
        {"right answer",
         false,
         [](Program& p) {
             p.openGame();
             ASSERT_TRUE(p.game().cmdAns.click());
         },
         [](Program& p) { ASSERT_TRUE(p.game().cmdYes.click()); }, gameMessage, gameMessage, gameAgreesWithItsFiles, 4},
        {"removal (cmdDel)",
         false,
         [](Program& p) {
             p.openTraining();
             ASSERT_TRUE(p.training().cmdAns.click());
         },
         [](Program& p) { ASSERT_TRUE(p.training().cmdDel.click()); }, trainingMessage, trainingDone, trainingAgreesWithItsFile, 1},
        {"revival (cmdSaisei)", false, [](Program& p) { p.openTraining(); },
         [](Program& p) { ASSERT_TRUE(p.training().cmdSaisei.click()); }, trainingMessage, trainingDone,
         [](Program&, const std::string&) {}, 4},
    };
    return ops;
}

TEST(FaultPoints, EveryPointOfEveryStepLeavesTheFilesBeforeOrCompleteAndTheWindowSaysWhich) {
    for (const Operation& op : operations()) {
        SCOPED_TRACE(op.name);
        // the complete step, counting its points
        Snapshot before, after;
        std::string memoryBefore, memoryAfter;
        std::string cleanMessage, cleanDone;
        int points = 0;
        {
            Program p(op.handEditedRanges);
            ASSERT_NO_FATAL_FAILURE(op.prepare(p));
            before = snapshot(p.folder.path());
            memoryBefore = memoryAsReadNext(p.folder.path());
            p.io.arm(0);
            p.io.fire();
            ASSERT_NO_FATAL_FAILURE(op.act(p));
            p.io.disarm();
            points = p.io.points();
            after = snapshot(p.folder.path());
            memoryAfter = memoryAsReadNext(p.folder.path());
            cleanMessage = op.messageLabel(p);
            cleanDone = op.doneLabel(p);
            op.agree(p, "complete");
        }
        ASSERT_TRUE(before != after) << "the step changes no file";
        ASSERT_GE(points, op.minPoints);
        const Snapshot designBefore = designFiles(before), designAfter = designFiles(after);
        int reported = 0, memoryReported = 0;
        for (int k = 1; k <= points; ++k) {
            const std::string where = std::string(op.name) + ", point " + std::to_string(k);
            Program p(op.handEditedRanges);
            ASSERT_NO_FATAL_FAILURE(op.prepare(p));
            const Snapshot start = snapshot(p.folder.path());
            ASSERT_TRUE(start == before) << where << ": not the same start:" << differences(start, before);
            p.io.arm(k);
            p.io.fire();
            op.act(p);
            p.io.disarm();
            ASSERT_TRUE(p.io.failed()) << where;
            const Snapshot now = designFiles(snapshot(p.folder.path()));
            const std::string memoryNow = memoryAsReadNext(p.folder.path());
            const std::string message = op.messageLabel(p);
            std::string told = op.doneLabel(p);
            if (told.rfind(cleanDone, 0) == 0) told.erase(0, cleanDone.size());
            if (message == cleanMessage && told.empty()) {
                // a point whose failure harms nothing (closing a file only read): the step is whole
                EXPECT_TRUE(now == designAfter) << where << ": reported as done, yet differs from the complete step in"
                                                << differences(now, designAfter);
                EXPECT_EQ(memoryNow, memoryAfter) << where << ": reported as done, yet the memory differs";
            } else if (now == designAfter) {
                // The step went through and our database did not take its
                // part: said once, naming the database; the part waits in
                // the step file, so the next start has the whole step.
                ++memoryReported;
                EXPECT_TRUE(japaneseNaming(told, "記憶.db", kOwnBytes)) << where << ": " << told;
                EXPECT_NE(told.find("「記憶.step」"), std::string::npos) << where << ": " << told;
                EXPECT_EQ(memoryNow, memoryAfter) << where << ": the memory's part of the step is lost";
            } else {
                ++reported;
                EXPECT_TRUE(japaneseNaming(message, p.io.failedFile(), kOwnBytes))
                    << where << ": the message should name 「" << p.io.failedFile() << "」: " << message;
                EXPECT_TRUE(now == designBefore) << where << ": reported as failed, yet changed"
                                                 << differences(now, designBefore);
                EXPECT_EQ(memoryNow, memoryBefore) << where << ": reported as failed, yet remembered";
            }
            for (const auto& [name, bytes] : now) {
                const bool asBefore = designBefore.count(name) && designBefore.at(name) == bytes;
                const bool asAfter = designAfter.count(name) && designAfter.at(name) == bytes;
                EXPECT_TRUE(asBefore || asAfter) << where << ": " << name << " is torn";
            }
            op.agree(p, where);
        }
        EXPECT_GT(reported, 0) << "no failing point was ever reported";
        std::cout << "[ fault points ] " << op.name << ": " << points << " points, " << reported
                  << " reported as failures, " << memoryReported << " done with the memory's failure told, "
                  << points - reported - memoryReported << " harmless\n";
    }
}

}  // namespace
