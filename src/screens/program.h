// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One run of the program once the toolkit has started: the program folder
// chosen and made ready (the setup window, shown only when there is
// something to show), its lock and recovery, the session and the main menu.
// main makes one Program; the start-up benchmark makes one per start it times.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/build/startup.h"
#include "core/session/session.h"
#include "screens/setup_window.h"
#include "screens/window_manager.h"

namespace tabinowa {

class Program {
public:
    // `folder` is the one given with --folder, if any; `endProgram` ends the
    // run (the menu's end, the setup window's button).
    Program(const std::optional<std::filesystem::path>& folder, const std::filesystem::path& executableFolder,
            const std::filesystem::path& userDataFolder, Io& io, Random& random, std::function<void()> endProgram);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Why the start is refused (the folder is in use by another copy, or
    // cannot be locked), in Japanese; empty when it is not.
    const std::string& refused() const { return started_.error; }
    // Why the start made nothing and ends at once (the folder given with
    // --folder missing and not to be made, or a file); empty when it does not.
    const std::string& declined() const { return setup_.declined(); }
    // The session and the windows of the main menu; none when the start was
    // refused or the folder could not be made ready (the setup window says why).
    Session* session() { return session_ ? &*session_ : nullptr; }
    WindowManager* windows() { return windows_ ? &*windows_ : nullptr; }
    SetupWindow& setup() { return setup_; }

private:
    StartedFolder started_;
    SetupWindow setup_;
    std::optional<Session> session_;
    std::optional<WindowManager> windows_;
};

}  // namespace tabinowa
