// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/build/startup.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "core/files/error.h"
#include "core/files/journal.h"

namespace tabinowa {

std::optional<FolderLock> FolderLock::acquire(const std::filesystem::path& folder, std::string& why) {
    const auto path = folder / "tabinowa.lock";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        why = "ファイル" + displayName(path) + "を作れないので、起動できません。フォルダに書き込めるか確かめてください。";
        return std::nullopt;
    }
    int r;
    do r = ::flock(fd, LOCK_EX | LOCK_NB);
    while (r != 0 && errno == EINTR);
    if (r != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        auto u8 = folder.u8string();
        why = held ? "クイズタビノワは、このフォルダで既に起動しています：" + std::string(u8.begin(), u8.end()) +
                         "\r\n同じフォルダで二つ同時には動かせません。起動している方をお使いください。"
                   : "ファイル" + displayName(path) + "をロックできないので、起動できません。";
        return std::nullopt;
    }
    return FolderLock(fd);
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
}

StartedFolder openProgramFolder(Io& io, const AppFolders& folders) {
    StartedFolder s;
    s.lock = FolderLock::acquire(folders.program, s.error);
    if (!s.lock) return s;
    try {
        s.notice = recover(io, folders.journal(), folders.workingFolders()).message;
    } catch (const FileError& e) {
        // the files stay as they are; changes of several files wait until the journal is dealt with
        s.notice = e.what();
    }
    return s;
}


}  // namespace tabinowa
