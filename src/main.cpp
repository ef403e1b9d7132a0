// SPDX-License-Identifier: GPL-3.0-or-later
// クイズタビノワ: a quiz and geography program about the municipalities of Japan.
#include <iostream>

#include "core/base/random.h"
#include "core/files/io.h"
#include "screens/program.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/display_scale.h"
#include "ui/form.h"
#include "ui/keys.h"
#include "ui/settings.h"

namespace {

// A start that is refused (the folder is in use by another copy): says why in
// a window of its own and ends when that window is closed.
int refuse(tabinowa::ui::Application& app, const std::string& why) {
    std::cerr << why << '\n';
    tabinowa::ui::Form frm("クイズタビノワ", 7200, 1800, tabinowa::ui::StartPosition::CenterScreen);
    tabinowa::ui::Label message(frm, {240, 240, 6720, 735}, why);
    tabinowa::ui::CommandButton end(frm, {5280, 1080, 1680, 495}, "終了");
    end.onClick([&app] { app.quit(); });
    frm.onCloseBox([&app] { app.quit(); });
    // By keyboard too: Enter presses the focused button, Esc the close box.
    tabinowa::ui::enterClicksFocusedButton(frm);
    tabinowa::ui::Keys keys(frm);
    keys.add("Escape", [&app] { app.quit(); });
    frm.show();
    app.exec();
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    tabinowa::ui::Application app(argc, argv);
    const tabinowa::ui::CommandLine line = app.readCommandLine();
    if (line.exitCode) return *line.exitCode;  // --help, --version, or a mistake said on standard error
    tabinowa::ui::Settings().removeLeftovers();
    tabinowa::ui::useScreenDisplayScale();  // the saved 表示倍率, or one chosen for the screen
    // The program folder (--folder DIR, the portable folder beside the
    // program, or the user's data folder) is locked and recovered, made ready
    // at a first start (in a window of its own), then the main menu shows.
    tabinowa::PosixIo io;
    tabinowa::MtRandom random;
    tabinowa::Program program(line.folder, tabinowa::ui::Application::programFolder(),
                              tabinowa::ui::Application::userDataFolder(), io, random, [&app] { app.quit(); });
    if (!program.declined().empty()) {
        std::cerr << program.declined() << '\n';
        return 1;
    }
    if (!program.refused().empty()) return refuse(app, program.refused());
    return app.exec();  // the menu, or the setup window saying why the folder could not be made ready
}
