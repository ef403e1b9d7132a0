// SPDX-License-Identifier: GPL-3.0-or-later
// tabinowa-icons OUT_DIR: the program's icon as a scalable SVG and as PNG
// files of 16 to 256 pixels (hicolor sizes), for the desktop's menu.
#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/program_icon.h"

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tabinowa-icons OUT_DIR\n");
        return 2;
    }
    QDir().mkpath(QString::fromLocal8Bit(argv[1]));
    std::string failed;
    if (!tabinowa::ui::writeProgramIcons(argv[1], failed)) {
        std::fprintf(stderr, "tabinowa-icons: cannot write %s\n", failed.c_str());
        return 1;
    }
    return 0;
}
