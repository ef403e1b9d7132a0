// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of a cold start: a bare Qt Widgets program that shows one window
// of the main menu's size holding one line of Japanese text in the program's
// font and size, so that it loads the fonts as every Japanese program must.
#include <QApplication>
#include <QFont>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("クイズで蓄財して日本一周"));
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(12);  // 9 points, as the main menu's text
    window.setFont(font);
    window.setFixedSize(822, 530);
    window.show();
    return app.exec();
}
