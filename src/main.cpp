// クイズタビノワ: a quiz and geography program about the municipalities of Japan.
#include "core/random.h"
#include "core/session.h"
#include "files/io.h"
#include "shell/setup_window.h"
#include "shell/window_manager.h"
#include "ui/application.h"
#include "ui/display_scale.h"

int main(int argc, char** argv) {
    tabinowa::ui::Application app(argc, argv);
    tabinowa::ui::useScreenDisplayScale();  // the saved 表示倍率, or one chosen for the screen
    tabinowa::PosixIo io;
    tabinowa::MtRandom random;

    // The program folder: --folder DIR, the portable folder beside the
    // program, or the user's data folder, made ready at its first start.
    tabinowa::SetupWindow setup([&app] { app.quit(); });
    const auto folder = setup.prepare(tabinowa::ui::Application::arguments(),
                                      tabinowa::ui::Application::programFolder(),
                                      tabinowa::ui::Application::userDataFolder(), io, random);
    if (!folder) return app.exec();  // the setup window says why; its button ends the program

    tabinowa::Session session(*folder, io, random);
    tabinowa::WindowManager windows(session, [&app] { app.quit(); });
    windows.start();
    return app.exec();
}
