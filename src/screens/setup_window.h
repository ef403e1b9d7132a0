// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The start of the program before the main menu: where the program folder is
// and, the first time the program runs there, the copy of the shipped data and
// the two builds, shown in a small window with the step under way. A failure
// stays in that window with a button that ends the program.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/build/program_folder.h"
#include "core/base/random.h"
#include "core/files/io.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tabinowa {

class SetupWindow {
public:
    // `endProgram` is run by the window's button after a failure.
    explicit SetupWindow(std::function<void()> endProgram);

    // Finds the program folder (`given` with --folder, else the executable's
    // folder or the user's data folder) and makes it ready. Returns the
    // folder, or none after a failure (the window then shows the message).
    // `claim` runs once the folder is chosen (and made), before anything in it
    // is read or written; when it returns false nothing more is done, nothing
    // is shown and none is returned (the caller says why).
    using Claim = std::function<bool(const std::filesystem::path&)>;
    std::optional<std::filesystem::path> prepare(const std::optional<std::filesystem::path>& given,
                                                 const std::filesystem::path& executableFolder,
                                                 const std::filesystem::path& userDataFolder, Io& io,
                                                 Random& random, const Claim& claim = {});
    // Asked before a folder given with --folder that does not exist is made:
    // true makes it. By default a small window asks (はい / いいえ, saying
    // where); where no window can be seen the answer is no.
    using AskToMake = std::function<bool(const std::filesystem::path&)>;
    void setAskToMake(AskToMake ask) { askToMake_ = std::move(ask); }
    // Why prepare() made nothing and ended without a window of its own (the
    // given folder missing and not to be made, or not a folder), in Japanese;
    // empty otherwise. The program ends with it on standard error.
    const std::string& declined() const { return declined_; }

    // The shipped data set found by prepare().
    const std::optional<std::filesystem::path>& shipped() const { return shipped_; }
    // Where the folder came from.
    FolderSource source() const { return source_; }

    // The window itself, made the first time there is something to show (a
    // step of a first start, notes, a failure): a start on a folder that is
    // ready makes no window at all.
    struct Controls {
        Controls();
        ui::Form frm;
        ui::Label lblStep;
        ui::Label lblMsg;
        ui::CommandButton cmdEnd;
    };
    // The window, or none while nothing was shown.
    Controls* window() { return window_.get(); }

private:
    Controls& makeWindow();
    void step(const SetupProgress& p);
    bool givenFolderUsable(const std::filesystem::path& given, Io& io);
    static bool askInWindow(const std::filesystem::path& folder);
    std::function<void()> endProgram_;
    AskToMake askToMake_ = askInWindow;
    std::string declined_;
    std::unique_ptr<Controls> window_;
    std::optional<std::filesystem::path> shipped_;
    FolderSource source_ = FolderSource::User;
    bool failed_ = false;
};

}  // namespace tabinowa
