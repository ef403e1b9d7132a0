// The floor of a cold start: a bare Qt Widgets program that builds the
// question deck of the folder it lies in (as the program does before its main
// menu) and shows one empty window of the main menu's size.
#include <QApplication>
#include <QWidget>

#include "core/base/random.h"
#include "core/files/folders.h"
#include "core/files/io.h"
#include "core/quiz/deck.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QByteArray dir = QCoreApplication::applicationDirPath().toUtf8();
    const tabinowa::AppFolders folders{std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(dir.constData()), static_cast<std::size_t>(dir.size())))};
    tabinowa::PosixIo io;
    tabinowa::MtRandom random;
    tabinowa::QuestionDeck deck;
    deck.build(io, folders, random);
    QWidget window;
    window.setFixedSize(822, 530);
    window.show();
    return app.exec();
}
