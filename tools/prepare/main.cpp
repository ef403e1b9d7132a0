// SPDX-License-Identifier: GPL-3.0-or-later
// tabinowa-prepare APP_FOLDER: makes the working files of a program folder
// from its masters, as the environment window's two buttons do: first the
// question build, then the municipality build. Prints each result text; on a
// failure prints the message on stderr and exits with 1.
#include <filesystem>
#include <iostream>

#include "core/build/builds.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/build/startup.h"
#include "core/files/error.h"
#include "core/files/io.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "使い方：tabinowa-prepare プログラムのフォルダ\n";
        return 2;
    }
    tabinowa::PosixIo io;
    tabinowa::MtRandom random;
    tabinowa::Session session(std::filesystem::path(argv[1]), io, random);
    // Never beside a running program on the same folder; a change a crash
    // interrupted is finished or undone first.
    auto started = tabinowa::openProgramFolder(io, session.folders);
    if (!started.lock) {
        std::cerr << started.error << '\n';
        return 1;
    }
    if (!started.notice.empty()) std::cerr << started.notice << '\n';
    try {
        std::cout << tabinowa::buildQuestionFile(session) << '\n';
        std::cout << tabinowa::buildCityFiles(session) << '\n';
    } catch (const tabinowa::FileError& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
