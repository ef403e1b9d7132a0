#pragma once
// What every start on a program folder does before anything reads a working
// file: take the folder's lock (one running copy per folder) and recover from
// a change that a crash interrupted. The program and tabinowa-prepare both
// call openProgramFolder with the folder they work on.
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/base/random.h"
#include "core/files/folders.h"
#include "core/files/io.h"
#include "core/quiz/deck.h"

namespace tabinowa {

// An exclusive lock on "tabinowa.lock" in a folder, held while this object
// lives. The system drops it when the process ends in any way, so a copy that
// was killed never blocks the next start.
class FolderLock {
public:
    // The lock, or nullopt with `why` set (already held, or the lock file cannot be made).
    static std::optional<FolderLock> acquire(const std::filesystem::path& folder, std::string& why);
    FolderLock(FolderLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FolderLock& operator=(FolderLock&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    FolderLock(const FolderLock&) = delete;
    ~FolderLock();

private:
    explicit FolderLock(int fd) : fd_(fd) {}
    int fd_;
};

struct StartedFolder {
    std::optional<FolderLock> lock;  // empty: do not start (error says why)
    std::string error;               // Japanese: why the start is refused
    std::string notice;              // Japanese: what recovery did, or why it could not
};

StartedFolder openProgramFolder(Io& io, const AppFolders& folders);

// The folder of the running executable (empty when the system does not say).
std::filesystem::path executableFolder();

// What a start begins before the toolkit's own start, the longest step of
// all: when the program folder needs no preparing (the portable folder
// beside the program, or a given or user folder that already holds every
// file), it is locked and recovered, and the question deck is built on a
// second thread (from `deckIo` and `deckRandom`, which nothing else may use
// until the deck is taken) while the toolkit starts and the main menu is
// made (buildDeckAhead). `deck.wait()` makes sure the build is over.
// Otherwise nothing is begun and the usual start (with its window when the
// folder needs preparing or is refused) does it all.
struct EarlyStart {
    std::filesystem::path folder;  // the folder locked; empty: nothing begun
    StartedFolder started;         // its lock and recovery notice
    std::future<QuestionDeck> deck;
};

// `args` is the command line (UTF-8, the program's name first);
// `userDataFolder` is asked only when neither --folder nor the portable
// folder applies.
EarlyStart startEarly(const std::vector<std::string>& args, const std::filesystem::path& executableFolder,
                      const std::function<std::filesystem::path()>& userDataFolder, Io& io, Io& deckIo,
                      Random& deckRandom);

}  // namespace tabinowa
