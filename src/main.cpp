// クイズタビノワ: a quiz and geography program about the municipalities of Japan.
#include <iostream>

#include "core/random.h"
#include "core/session.h"
#include "core/startup.h"
#include "files/io.h"
#include "shell/setup_window.h"
#include "shell/window_manager.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/display_scale.h"
#include "ui/form.h"
#include "ui/keys.h"

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
    tabinowa::ui::useScreenDisplayScale();  // the saved 表示倍率, or one chosen for the screen
    tabinowa::PosixIo io;
    tabinowa::MtRandom random;

    // The program folder: --folder DIR, the portable folder beside the
    // program, or the user's data folder. The folder's lock and the recovery
    // of an interrupted change come before anything reads or makes a working
    // file there; the first start then copies the shipped data in and builds.
    tabinowa::StartedFolder started;
    tabinowa::SetupWindow setup([&app] { app.quit(); });
    const auto folder = setup.prepare(tabinowa::ui::Application::arguments(),
                                      tabinowa::ui::Application::programFolder(),
                                      tabinowa::ui::Application::userDataFolder(), io, random,
                                      [&](const std::filesystem::path& chosen) {
                                          started = tabinowa::openProgramFolder(io, tabinowa::AppFolders{chosen});
                                          return started.lock.has_value();
                                      });
    if (!started.lock && !started.error.empty()) return refuse(app, started.error);
    if (!folder) return app.exec();  // the setup window says why; its button ends the program

    tabinowa::Session session(*folder, io, random);
    session.startupNotice = started.notice;
    // The question file is read while the windows are made; the main menu takes the deck.
    session.deckAhead = tabinowa::buildDeckAhead(io, session.folders, random);
    tabinowa::WindowManager windows(session, [&app] { app.quit(); });
    windows.start();
    return app.exec();
}
