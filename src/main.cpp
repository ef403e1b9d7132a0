// クイズタビノワ: a quiz and geography program about the municipalities of Japan.
#include <iostream>

#include "core/random.h"
#include "core/session.h"
#include "core/startup.h"
#include "files/io.h"
#include "shell/window_manager.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

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
    frm.show();
    app.exec();
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    tabinowa::ui::Application app(argc, argv);
    tabinowa::PosixIo io;
    tabinowa::MtRandom random;
    tabinowa::Session session(tabinowa::ui::Application::programFolder(), io, random);
    // The lock and the recovery come before anything reads a working file.
    auto started = tabinowa::openProgramFolder(io, session.folders);
    if (!started.lock) return refuse(app, started.error);
    session.startupNotice = started.notice;
    tabinowa::WindowManager windows(session, [&app] { app.quit(); });
    windows.start();
    return app.exec();
}
