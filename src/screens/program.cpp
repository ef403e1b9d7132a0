// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/program.h"

namespace tabinowa {

Program::Program(const std::optional<std::filesystem::path>& folder, const std::filesystem::path& executableFolder,
                 const std::filesystem::path& userDataFolder, Io& io, Random& random, std::function<void()> endProgram)
    : setup_(endProgram) {
    // The folder's lock and the recovery of an interrupted change come before
    // anything in it is read or made.
    const auto chosen = setup_.prepare(folder, executableFolder, userDataFolder, io, random,
                                       [&](const std::filesystem::path& f) {
                                           started_ = openProgramFolder(io, AppFolders{f});
                                           return started_.lock.has_value();
                                       });
    if (!chosen) return;
    session_.emplace(*chosen, io, random);
    session_->startupNotice = started_.notice;
    windows_.emplace(*session_, std::move(endProgram));
    windows_->start();
}

}  // namespace tabinowa
