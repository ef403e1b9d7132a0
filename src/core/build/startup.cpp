#include "core/build/startup.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "core/build/program_folder.h"
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

std::filesystem::path executableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path{} : exe.parent_path();
}

EarlyStart startEarly(const std::vector<std::string>& args, const std::filesystem::path& executableFolder,
                      const std::function<std::filesystem::path()>& userDataFolder, Io& io, Io& deckIo,
                      Random& deckRandom) {
    EarlyStart early;
    try {
        const auto given = folderArgument(args);
        if (!given && executableFolder.empty()) return early;
        const FolderChoice choice = chooseProgramFolder(given, executableFolder, {}, io);
        const std::filesystem::path folder =
            choice.source != FolderSource::User ? choice.folder : userDataFolder ? userDataFolder() : std::filesystem::path{};
        if (folder.empty()) return early;
        // The portable folder is used as it is; any other is prepared first
        // unless it already holds everything (looked at again once locked and
        // recovered, as recovery may change which files are there).
        const auto shipped = choice.source == FolderSource::Portable ? std::nullopt : findShippedData(executableFolder, io);
        auto ready = [&] { return choice.source == FolderSource::Portable || folderIsReady(folder, shipped, io); };
        if (!ready()) return early;
        StartedFolder started = openProgramFolder(io, AppFolders{folder});
        if (!started.lock || !ready()) return early;  // the usual start takes the lock again and says why
        early.folder = folder;
        early.started = std::move(started);
        early.deck = buildDeckAhead(deckIo, AppFolders{folder}, deckRandom);
    } catch (const FileError&) {
        // a command line or folder that the usual start reports in its window
    }
    return early;
}

}  // namespace tabinowa
