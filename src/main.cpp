// クイズタビノワ: a quiz and geography program about the municipalities of Japan.
#include "core/random.h"
#include "core/session.h"
#include "files/io.h"
#include "shell/window_manager.h"
#include "ui/application.h"

int main(int argc, char** argv) {
    tabinowa::ui::Application app(argc, argv);
    tabinowa::PosixIo io;
    tabinowa::MtRandom random;
    tabinowa::Session session(tabinowa::ui::Application::programFolder(), io, random);
    tabinowa::WindowManager windows(session, [&app] { app.quit(); });
    windows.start();
    return app.exec();
}
