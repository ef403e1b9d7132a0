// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every start on a program folder does before anything reads a working
// file: take the folder's lock (one running copy per folder) and recover from
// a change that a crash interrupted. The program and tabinowa-prepare both
// call openProgramFolder with the folder they work on.
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "core/files/folders.h"
#include "core/files/io.h"

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

}  // namespace tabinowa
