// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <QStandardPaths>
#include <QStyleFactory>

#include <iostream>

#include "ui/internal.h"

namespace tabinowa::ui {

struct Application::Impl {
    Impl(int& argc, char** argv) : app(argc, argv) {}
    QApplication app;
};

Application::Application(int& argc, char** argv) : d_(std::make_unique<Impl>(argc, argv)) {
    // The name picks the user's folders (~/.local/share/tabinowa, ~/.config/tabinowa);
    // the desktop file name ties the windows to the menu entry and its icon.
    QApplication::setApplicationName(QStringLiteral("tabinowa"));
    QApplication::setApplicationVersion(QStringLiteral(TABINOWA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tabinowa.Tabinowa"));
    QApplication::setWindowIcon(detail::programIcon());
    // The same look on every desktop; windows end only through their own buttons.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setQuitOnLastWindowClosed(false);
    // Every window keeps its menu bar in the window (never the desktop's
    // global menu), so no menu bar asks the session bus for one.
    QApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
}

Application::~Application() = default;

CommandLine Application::readCommandLine() const {
    std::vector<std::string> args;
    const QStringList all = QCoreApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i) args.push_back(detail::fromQ(all[i]));
    std::string out, err;
    CommandLine line = ui::readCommandLine(args, out, err);
    std::cout << out;
    std::cerr << err;
    return line;
}

CommandLine readCommandLine(const std::vector<std::string>& args, std::string& out, std::string& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("クイズタビノワ：日本の市町村を覚えるクイズと地図"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("この説明を表示して終わります。"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("版を表示して終わります。"));
    const QCommandLineOption folder(QStringLiteral("folder"),
                                    QStringLiteral("成績とデータを置くフォルダ（USBメモリなど）を使います。"),
                                    QStringLiteral("フォルダ"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(folder);
    QStringList words{QStringLiteral("tabinowa")};
    for (const std::string& a : args) words << detail::toQ(a);

    CommandLine line;
    const std::string usage = "使い方は「tabinowa --help」で表示できます。\n";
    if (!parser.parse(words)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString name = unknown.first();
            err = "「" + detail::fromQ((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name) +
                  "」というオプションはありません。\n" + usage;
        } else {
            err = "「--folder」のあとにフォルダを指定してください。\n" + usage;
        }
        line.exitCode = 2;
        return line;
    }
    if (parser.isSet(help)) {
        out = "使い方：tabinowa [--folder フォルダ]\n\n" + detail::fromQ(parser.applicationDescription()) +
              "\n\n"
              "  --folder フォルダ  成績とデータをそのフォルダに置きます（なければ、作るか尋ねます）。\n"
              "                     指定しないときは ~/.local/share/tabinowa/ を使います。\n"
              "  -h, --help         この説明を表示して終わります。\n"
              "  -v, --version      版を表示して終わります。\n";
        line.exitCode = 0;
        return line;
    }
    if (parser.isSet(version)) {
        out = std::string("クイズタビノワ ") + TABINOWA_VERSION + "\n";
        line.exitCode = 0;
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err = "「" + detail::fromQ(parser.positionalArguments().first()) + "」は使えません。フォルダは「--folder フォルダ」で指定してください。\n" + usage;
        line.exitCode = 2;
        return line;
    }
    if (parser.isSet(folder)) {
        const QString dir = parser.values(folder).last();
        if (dir.isEmpty()) {
            err = "「--folder」のあとにフォルダを指定してください。\n" + usage;
            line.exitCode = 2;
            return line;
        }
        line.folder = detail::pathFromQ(dir);
    }
    return line;
}

int Application::exec() { return QApplication::exec(); }

void Application::quit() { QApplication::quit(); }

void Application::processEvents() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Application::runUntil(const std::function<bool()>& done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool Application::canShowWindows() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

std::filesystem::path Application::programFolder() { return detail::pathFromQ(QCoreApplication::applicationDirPath()); }

std::filesystem::path Application::userDataFolder() {
    return detail::pathFromQ(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

}  // namespace tabinowa::ui
