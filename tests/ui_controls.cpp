// SPDX-License-Identifier: GPL-3.0-or-later
// The ui layer on the offscreen platform: twips geometry, colours and fonts,
// the read-backs of labels, lists and picture boxes, the one guard around
// every handler, and the close box.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QListWidget>
#include <QMenuBar>
#include <QPalette>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>
#include <thread>
#include <chrono>

#include "core/files/error.h"
#include "support/temp_folder.h"
#include "ui/controls.h"
#include "ui/display_scale.h"
#include "ui/form.h"
#include "ui/internal.h"
#include "ui/keys.h"
#include "ui/types.h"

using namespace tabinowa;
using namespace tabinowa::ui;

namespace {

// A picture whose every pixel differs from its neighbours: any pixel out of
// place shows.
QImage noisyPicture(int width, int height) {
    QImage noisy(width, height, QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x)
            noisy.setPixel(x, y, qRgb((x * 7 + y * 3) % 256, (x * y) % 256, (255 - x + y * 5) % 256));
    return noisy;
}

QWidget* topLevel(const std::string& caption) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == QString::fromStdString(caption)) return w;
    return nullptr;
}

// Pixels of what a control shows on screen.
QImage shot(const Widget& w) {
    auto dir = std::filesystem::temp_directory_path();
    auto file = dir / ("tabinowa-shot-" + std::to_string(reinterpret_cast<std::uintptr_t>(&w)) + ".png");
    EXPECT_TRUE(w.grab(file));
    QImage img(QString::fromStdString(file.string()));
    std::filesystem::remove(file);
    return img.convertToFormat(QImage::Format_RGB32);
}

bool near(QRgb a, Rgb b, int tolerance) {
    return std::abs(qRed(a) - b.r) <= tolerance && std::abs(qGreen(a) - b.g) <= tolerance &&
           std::abs(qBlue(a) - b.b) <= tolerance;
}

// ------------------------------------------------------------ geometry ----

TEST(UiGeometry, TwipsBecomePixelsAtFifteenPerPixelAndReadBack) {
    Form form("geometry", 12330, 7950);
    struct Row {
        Rect twips;
        Rect pixels;
        Rect readBack;
    };
    const std::vector<Row> rows = {
        {{3840, 360, 4455, 615}, {256, 24, 297, 41}, {3840, 360, 4455, 615}},
        {{10560, 240, 1455, 975}, {704, 16, 97, 65}, {10560, 240, 1455, 975}},
        {{0, 0, 15, 15}, {0, 0, 1, 1}, {0, 0, 15, 15}},
        // not whole pixels: rounded to the nearest pixel
        {{100, 22, 1000, 37}, {7, 1, 67, 2}, {105, 15, 1005, 30}},
    };
    for (const auto& r : rows) {
        Label l(form, r.twips, "x");
        EXPECT_EQ(l.pixelGeometry(), r.pixels) << r.twips.left;
        EXPECT_EQ(l.geometry(), r.readBack) << r.twips.left;
    }
    EXPECT_EQ(form.geometry().width, 12330);
    EXPECT_EQ(form.geometry().height, 7950);
    EXPECT_EQ(twipsToPixels(7), 0);
    EXPECT_EQ(twipsToPixels(8), 1);
}

TEST(UiGeometry, ChildrenOfAFrameArePlacedRelativeToTheFrame) {
    Form form("frame geometry", 12795, 8655);
    Frame frame(form, {240, 1200, 10935, 2175}, "問題");
    Label inside(frame, {240, 240, 10455, 1815});
    EXPECT_EQ(frame.pixelGeometry(), (Rect{16, 80, 729, 145}));
    EXPECT_EQ(inside.pixelGeometry(), (Rect{16, 16, 697, 121}));
    form.show();
    QWidget* window = topLevel("frame geometry");
    ASSERT_NE(window, nullptr);
    QLabel* label = window->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->mapTo(window, QPoint(0, 0)), QPoint(32, 96));
}

TEST(UiGeometry, TheMenuBarLiesAboveTheClientArea) {
    Form form("menu geometry", 6060, 3090);
    Menu info(form, "【情　　報】");
    MenuItem item(info, "コモレビ舎");
    MenuItem direct(form, "環境作成");
    Label top(form, {0, 0, 1500, 300}, "top");
    form.show();
    QWidget* window = topLevel("menu geometry");
    ASSERT_NE(window, nullptr);
    QMenuBar* bar = window->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_GT(bar->height(), 0);
    EXPECT_EQ(window->width(), 404);
    EXPECT_EQ(window->height(), 206 + bar->height());
    EXPECT_EQ(window->findChild<QLabel*>()->mapTo(window, QPoint(0, 0)).y(), bar->height());
    EXPECT_EQ(form.geometry().height, 3090);
    EXPECT_EQ(Menu::barCaptions(form), (std::vector<std::string>{"【情　　報】", "環境作成"}));
}

// ------------------------------------------------------ colours, fonts ----

TEST(UiColours, DesignValuesAreBlueGreenRed) {
    struct Row {
        Color value;
        Rgb rgb;
    };
    const std::vector<Row> rows = {
        {0x000000FF, {255, 0, 0}},      {0x00004000, {0, 64, 0}},      {0x00FF0000, {0, 0, 255}},
        {0x00FFFFC0, {192, 255, 255}},  {0x00800000, {0, 0, 128}},     {0x00808080, {128, 128, 128}},
        {paletteColor(0), {0, 0, 0}},   {paletteColor(1), {0, 0, 128}}, {paletteColor(4), {128, 0, 0}},
        {paletteColor(7), {192, 192, 192}}, {paletteColor(12), {255, 0, 0}},
    };
    for (const auto& r : rows) EXPECT_EQ(toRgb(r.value), r.rgb) << std::hex << r.value;
    const QColor base = QApplication::palette().color(QPalette::Base);
    EXPECT_EQ(toRgb(kSystemWindow), (Rgb{base.red(), base.green(), base.blue()}));
    EXPECT_THROW(paletteColor(16), std::out_of_range);
}

TEST(UiColours, AnOpaqueLabelPaintsItsBackColourAndTextInItsForeColour) {
    Form form("colours", 3000, 1500);
    Label l(form, {0, 0, 3000, 600}, "■■■");
    l.setFont({"ＭＳ Ｐゴシック", 20.25, true});
    l.setOpaque(true);
    l.setBackColor(0x00FF0000);   // blue
    l.setForeColor(0x000000FF);   // red
    form.show();
    const QImage img = shot(l);
    ASSERT_FALSE(img.isNull());
    EXPECT_TRUE(near(img.pixel(img.width() - 2, img.height() - 2), {0, 0, 255}, 0));
    bool red = false;
    for (int x = 0; x < img.width() && !red; ++x)
        for (int y = 0; y < img.height() && !red; ++y) red = near(img.pixel(x, y), {255, 0, 0}, 40);
    EXPECT_TRUE(red);
}

TEST(UiFonts, DesignNamesUseTheInstalledStandIns) {
    Form form("fonts", 6000, 3000);
    struct Row {
        Font font;
        const char* family;
        int pixels;
    };
    const std::vector<Row> rows = {
        {{"ＭＳ Ｐゴシック", 9, false}, "IPAPGothic", 12},
        {{"ＭＳ Ｐゴシック", 14.25, true}, "IPAPGothic", 19},
        {{"ＭＳ Ｐ明朝", 14.25, true}, "IPAPMincho", 19},
        {{"ＭＳ Ｐゴシック", 11.25, false}, "IPAPGothic", 15},
        {{"HG創英角ﾎﾟｯﾌﾟ体", 20.25, false}, "Reggae One", 27},
        {{"HGP創英角ﾎﾟｯﾌﾟ体", 24, false}, "Reggae One", 32},
        {{"ＭＳ Ｐゴシック", 9.75, false}, "IPAPGothic", 13},
    };
    for (const auto& r : rows) {
        Label l(form, {0, 0, 3000, 600}, "あ");
        l.setFont(r.font);
        EXPECT_EQ(l.fontFamily(), r.family) << r.font.name;
        EXPECT_EQ(fontPixelSize(r.font.size), r.pixels) << r.font.size;
        EXPECT_EQ(l.font(), r.font);
    }
    Label plain(form, {0, 0, 3000, 600}, "あ");
    EXPECT_EQ(plain.font(), (Font{"ＭＳ Ｐゴシック", 9, false}));
    EXPECT_EQ(plain.fontFamily(), "IPAPGothic");
}

// -------------------------------------------------------------- labels ----

TEST(UiLabel, CrLfBreaksLinesAndLongLinesWrapWithinTheBox) {
    Form form("label", 6000, 3000);
    Label l(form, {0, 0, 1500, 2000}, "一行目\r\n二行目");
    EXPECT_EQ(l.caption(), "一行目\r\n二行目");
    EXPECT_EQ(l.displayText(), "一行目\n二行目");

    // 100 pixels wide, 12-pixel characters: twenty of them take several lines.
    l.setCaption("あいうえおかきくけこさしすせそたちつてと");
    form.show();
    const QImage img = shot(l);
    int lowestInk = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 100) lowestInk = y;
    EXPECT_GT(lowestInk, 30);  // below the second line's top
}

TEST(UiLabel, VisibilityCountsTheWindowAndTheContainers) {
    Form form("visibility", 6000, 3000);
    Frame frame(form, {0, 0, 3000, 2000}, "枠");
    Label inner(frame, {100, 300, 1000, 300}, "中");
    EXPECT_TRUE(inner.visible());
    EXPECT_FALSE(inner.isShown());  // the window is not shown yet
    form.show();
    EXPECT_TRUE(inner.isShown());
    frame.setVisible(false);
    EXPECT_TRUE(inner.visible());
    EXPECT_FALSE(inner.isShown());
    frame.setVisible(true);
    inner.setVisible(false);
    EXPECT_FALSE(inner.isShown());
    inner.setVisible(true);
    form.unload();
    EXPECT_FALSE(inner.isShown());
    EXPECT_FALSE(form.isLoaded());
}

// ------------------------------------------------ buttons, lists, menus ----

TEST(UiButton, OnlyAShownButtonCanBeClicked) {
    Form form("button", 6000, 3000);
    CommandButton b(form, {100, 100, 1500, 600}, "押す");
    int clicks = 0;
    b.onClick([&] { ++clicks; });
    EXPECT_FALSE(b.click());  // window not shown
    form.show();
    b.setVisible(false);
    EXPECT_FALSE(b.click());
    b.setVisible(true);
    EXPECT_TRUE(b.click());
    // a real mouse click on the button
    QPushButton* real = topLevel("button")->findChild<QPushButton*>();
    ASSERT_NE(real, nullptr);
    QTest::mouseClick(real, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    b.setCaption("次の問題");
    EXPECT_EQ(b.caption(), "次の問題");
}

TEST(UiList, EntriesReadBackAndClicksReportThePositionFromZero) {
    Form form("list", 6000, 3000);
    ListBox list(form, {100, 100, 3000, 2000});
    std::vector<int> clicked;
    list.onClick([&](int pos) { clicked.push_back(pos); });
    for (const char* s : {"北海道", "青森県", "岩手県"}) list.addItem(s);
    EXPECT_EQ(list.items(), (std::vector<std::string>{"北海道", "青森県", "岩手県"}));
    EXPECT_EQ(list.selectedIndex(), -1);
    EXPECT_FALSE(list.clickItem(1));  // not shown yet
    form.show();
    EXPECT_TRUE(list.clickItem(2));
    EXPECT_EQ(list.selectedIndex(), 2);
    EXPECT_FALSE(list.clickItem(3));
    EXPECT_FALSE(list.clickItem(-1));

    auto* real = topLevel("list")->findChild<QListWidget*>();
    ASSERT_NE(real, nullptr);
    const QRect first = real->visualItemRect(real->item(0));
    QTest::mouseClick(real->viewport(), Qt::LeftButton, Qt::NoModifier, first.center());
    EXPECT_EQ(clicked, (std::vector<int>{2, 0}));

    list.clear();  // clearing and filling are no clicks
    list.addItem("秋田県");
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(clicked.size(), 2u);
}

// The focus ring shows on a list without crossing its entries: the first and
// last entries' pixels are the same with the keyboard on the list as without.
TEST(UiListBox, TheFocusRingLeavesTheEntriesAsTheyAre) {
    Form form("list ring", 3000, 3000);
    ListBox list(form, {120, 120, 1335, 1000});
    ListBox other(form, {1560, 120, 1335, 1000});
    for (const char* s : {"北海道", "青森県", "岩手県", "宮城県", "秋田県", "山形県", "福島県", "茨城県", "栃木県"})
        list.addItem(s);
    form.show();
    auto* real = topLevel("list ring")->findChildren<QListWidget*>().value(0);
    ASSERT_NE(real, nullptr);
    auto entries = [&] {
        QCoreApplication::processEvents();
        const QImage all = real->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QPoint at = real->viewport()->mapTo(real, QPoint(0, 0));
        // Inside the viewport's sides (the ring's side lines stand there, left of the text and right of it).
        QRect first = real->visualItemRect(real->item(0)).adjusted(3, 0, -3, 0).translated(at);
        return all.copy(first);
    };
    ui::focus(other);
    const QImage without = entries();
    ui::focus(list);
    ASSERT_TRUE(ui::hasFocus(list));
    const QImage with = entries();
    ASSERT_EQ(with.size(), without.size());
    int changed = 0;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x) changed += with.pixel(x, y) != without.pixel(x, y);
    EXPECT_EQ(changed, 0) << "the ring crosses the first entry";
    // The ring is there all the same: the list looks different with the keyboard on it.
    const QImage focused = real->grab().toImage();
    ui::focus(other);
    QCoreApplication::processEvents();
    EXPECT_NE(focused, real->grab().toImage());
}

TEST(UiMenu, ItemsRunTheirHandlersOnlyWhileTheWindowIsShown) {
    Form form("menu", 6000, 3000);
    Menu info(form, "【情　　報】");
    MenuItem asa(info, "コモレビ舎");
    MenuItem kankyo(form, "環境作成");
    std::vector<std::string> ran;
    asa.onClick([&] { ran.push_back("asa"); });
    kankyo.onClick([&] { ran.push_back("kankyo"); });
    EXPECT_FALSE(asa.click());
    form.show();
    EXPECT_TRUE(kankyo.click());
    EXPECT_TRUE(asa.click());
    EXPECT_EQ(ran, (std::vector<std::string>{"kankyo", "asa"}));
    EXPECT_EQ(asa.caption(), "コモレビ舎");
    EXPECT_EQ(info.caption(), "【情　　報】");
}

// A task for after the window is drawn runs once, when the whole window,
// controls included, has been painted, and never while it is not shown; a
// failure in it goes to the window's sink.
TEST(UiForm, ATaskForAfterTheWindowIsDrawnRunsOnceWhenItIsDrawnWhole) {
    Form form("painted", 6000, 3000);
    CommandButton b(form, {240, 240, 1500, 600}, "押す");
    std::vector<std::string> sunk;
    form.setErrorSink([&](const std::string& m) { sunk.push_back(m); });
    int runs = 0;
    bool buttonDrawn = false;
    QWidget* button = nullptr;
    for (QWidget* w : QApplication::allWidgets())
        if (auto* p = qobject_cast<QPushButton*>(w); p && p->text() == QStringLiteral("押す")) button = p;
    ASSERT_NE(button, nullptr);
    struct Watch : QObject {
        bool* drawn;
        explicit Watch(bool* d) : drawn(d) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) *drawn = true;
            return false;
        }
    } watch(&buttonDrawn);
    button->installEventFilter(&watch);
    bool drawnWhenRun = false;
    form.whenPainted([&] {
        ++runs;
        drawnWhenRun = buttonDrawn;
    });
    form.whenPainted([] { throw FileError("ファイル「問題.ran」を読めません。"); });
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(runs, 0) << "ran before the window was shown";
    form.show();
    for (int i = 0; i < 20 && runs == 0; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(drawnWhenRun) << "ran before the controls were drawn";
    EXPECT_EQ(sunk, (std::vector<std::string>{"ファイル「問題.ran」を読めません。"}));
    // Once only: later paints run nothing.
    QWidget* window = button->window();
    window->repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
}

// ------------------------------------------------------------ the guard ----

TEST(UiGuard, EveryFailureInAHandlerBecomesAJapaneseMessageInTheSink) {
    Form form("guard", 6000, 3000);
    Label msg(form, {0, 0, 6000, 600});
    form.setErrorSink([&](const std::string& m) { msg.setCaption(m); });
    CommandButton b(form, {0, 900, 1500, 600}, "押す");
    form.show();
    struct Row {
        std::function<void()> handler;
        std::string message;
    };
    const std::vector<Row> rows = {
        {[] { throw FileError("ファイル「問題.ran」を開けません。"); }, "ファイル「問題.ran」を開けません。"},
        {[] { throw std::runtime_error("boom"); }, "予期しないエラーが発生しました：boom"},
        {[] { throw 42; }, "予期しないエラーが発生しました。"},
        {[&] { msg.setCaption("ok"); }, "ok"},
    };
    for (const auto& r : rows) {
        msg.setCaption("");
        b.onClick(r.handler);
        EXPECT_NO_THROW(b.click());
        EXPECT_EQ(msg.caption(), r.message);
    }
    // the load step of a window runs in the same guard
    form.run([] { throw FileError("読めません"); });
    EXPECT_EQ(msg.caption(), "読めません");
}

TEST(UiGuard, AHandlerCanUnloadItsOwnWindowSafely) {
    auto form = std::make_unique<Form>("self unload", 6000, 3000);
    auto button = std::make_unique<CommandButton>(*form, Rect{0, 0, 1500, 600}, "戻る");
    std::vector<std::string> steps;
    button->onClick([&] {
        steps.push_back("handler");
        form->unload();
        form->whenIdle([&] {
            steps.push_back("destroyed");
            button.reset();
            form.reset();
        });
        steps.push_back("handler end");
    });
    form->show();
    EXPECT_TRUE(button->click());
    EXPECT_EQ(steps, (std::vector<std::string>{"handler", "handler end", "destroyed"}));
    EXPECT_EQ(form, nullptr);
    EXPECT_EQ(topLevel("self unload") == nullptr || !topLevel("self unload")->isVisible(), true);
}

TEST(UiForm, TheCloseBoxRunsTheWindowsOwnStepsOrElseUnloads) {
    Form withHandler("close with handler", 3000, 1500);
    int steps = 0;
    withHandler.onCloseBox([&] { ++steps; });
    withHandler.show();
    withHandler.closeBox();
    EXPECT_EQ(steps, 1);
    EXPECT_TRUE(withHandler.isShown());  // the handler decides

    Form plain("close plain", 3000, 1500);
    plain.show();
    plain.closeBox();
    EXPECT_FALSE(plain.isLoaded());
    EXPECT_FALSE(plain.isShown());
}

TEST(UiForm, CaptionAndCentredStart) {
    Form form("クイズミチクサ－「コモレビ舎」", 12330, 7950);
    form.show();
    EXPECT_EQ(form.caption(), "クイズミチクサ－「コモレビ舎」");
    QWidget* w = topLevel("クイズミチクサ－「コモレビ舎」");
    ASSERT_NE(w, nullptr);
    const QRect avail = w->screen()->availableGeometry();
    EXPECT_NEAR(w->geometry().center().x(), avail.center().x(), 2);
    EXPECT_NEAR(w->geometry().center().y(), avail.center().y(), 2);
    EXPECT_EQ(w->minimumSize(), w->maximumSize());  // fixed border
}

// --------------------------------------------------------- picture box ----

TEST(UiPicture, ACircleLandsAtItsTwipsPositionInThePixels) {
    Form form("circle", 6000, 4500);
    PictureBox pic(form, {0, 0, 4500, 3000});
    pic.setBackColor(rgb(255, 255, 255));
    pic.circle(1500, 1500, 150, paletteColor(12));  // centre (100, 100), radius 10 pixels
    const Color red = paletteColor(12);
    auto inkNear = [&](int x, int y) {
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (pic.pixel(x + dx, y + dy) == red) return true;
        return false;
    };
    EXPECT_TRUE(inkNear(110, 100));
    EXPECT_TRUE(inkNear(90, 100));
    EXPECT_TRUE(inkNear(100, 90));
    EXPECT_TRUE(inkNear(100, 110));
    EXPECT_EQ(pic.pixel(100, 100), rgb(255, 255, 255));  // an outline, not a disc
    EXPECT_EQ(pic.pixel(115, 100), rgb(255, 255, 255));
    EXPECT_EQ(pic.pixel(85, 100), rgb(255, 255, 255));

    // what is on screen is the backing store, inside the 2-pixel border
    form.show();
    const QImage img = shot(pic);
    bool onScreen = false;
    for (int dx = -1; dx <= 1; ++dx) onScreen = onScreen || near(img.pixel(112 + dx, 102), {255, 0, 0}, 0);
    EXPECT_TRUE(onScreen);

    // the drawing colour is the fore colour unless one is given
    pic.setForeColor(paletteColor(1));
    pic.circle(3000, 1500, 150);
    EXPECT_TRUE(pic.pixel(210, 100) == paletteColor(1) || pic.pixel(209, 100) == paletteColor(1) ||
                pic.pixel(211, 100) == paletteColor(1));
}

TEST(UiPicture, NumbersPrintWithALeadingBlankAtTheDrawingPosition) {
    struct Row {
        double value;
        const char* text;
    };
    const std::vector<Row> rows = {{5, " 5"},     {0, " 0"},       {-5, "-5"},     {12345, " 12345"},
                                   {0.5, " .5"},  {-0.25, "-.25"}, {1.25, " 1.25"}, {25, " 25"}};
    for (const auto& r : rows) EXPECT_EQ(printedNumber(r.value), r.text) << r.value;

    Form form("print", 6000, 4500);
    PictureBox pic(form, {0, 0, 4500, 3000}, false);
    pic.setBackColor(rgb(255, 255, 255));
    pic.setForeColor(paletteColor(0));
    pic.setCurrentX(1500);
    pic.setCurrentY(750);
    pic.printNumber(7);
    int firstInk = -1, topInk = -1;
    for (int x = 0; x < pic.pixelWidth() && firstInk < 0; ++x)
        for (int y = 0; y < pic.pixelHeight(); ++y)
            if (pic.pixel(x, y) != rgb(255, 255, 255)) {
                firstInk = x;
                break;
            }
    for (int y = 0; y < pic.pixelHeight() && topInk < 0; ++y)
        for (int x = 0; x < pic.pixelWidth(); ++x)
            if (pic.pixel(x, y) != rgb(255, 255, 255)) {
                topInk = y;
                break;
            }
    EXPECT_GE(firstInk, 102);  // a blank before the digit
    EXPECT_LE(firstInk, 110);
    EXPECT_GE(topInk, 50);
    EXPECT_LE(topInk, 60);
    EXPECT_EQ(pic.currentX(), 0);
    EXPECT_GT(pic.currentY(), 750);  // on to the next line
}

TEST(UiPicture, LoadingAPictureReplacesWhatWasDrawnAndFailuresNameTheFile) {
    tabinowa::testing::TempProgramFolder tmp;
    const auto jpeg = tmp.path() / "k1.jpg";
    QImage green(50, 40, QImage::Format_RGB32);
    green.fill(QColor(0, 160, 0));
    ASSERT_TRUE(green.save(QString::fromStdString(jpeg.string()), "JPEG", 95));

    Form form("load", 6000, 4500);
    PictureBox pic(form, {0, 0, 3000, 3000});
    pic.setBackColor(rgb(255, 255, 255));
    pic.circle(300, 300, 150, paletteColor(12));
    pic.loadPicture(jpeg);
    const Rgb inside = toRgb(pic.pixel(20, 20));
    EXPECT_LE(std::abs(inside.g - 160) + inside.r + inside.b, 30);
    EXPECT_EQ(pic.pixel(30, 20) == paletteColor(12), false);  // the circle is gone
    EXPECT_EQ(pic.pixel(70, 20), rgb(255, 255, 255));      // beyond the picture: back colour

    const auto corrupt = tmp.path() / "k2.jpg";
    tabinowa::testing::writeBytes(corrupt, "this is not a picture");
    struct Row {
        std::filesystem::path file;
        const char* name;
    };
    for (const auto& r : {Row{tmp.path() / "k9.jpg", "k9.jpg"}, Row{corrupt, "k2.jpg"}}) {
        try {
            pic.loadPicture(r.file);
            ADD_FAILURE() << r.name;
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find(r.name), std::string::npos) << e.what();
        }
    }
    EXPECT_LE(std::abs(toRgb(pic.pixel(20, 20)).g - 160), 30);  // a failed load changes nothing
}

TEST(UiPicture, EveryPictureShowsTheSamePixelsAsQtsOwnReaderGives) {
    // Plain JPEGs are decoded straight to the drawn format; the rest go through
    // Qt. Either way the box must hold exactly what Qt's reader makes of the file.
    tabinowa::testing::TempProgramFolder tmp;
    const QImage noisy = noisyPicture(180, 150);
    struct Case {
        const char* name;
        std::function<void(const QString&)> write;
    };
    const Case cases[] = {
        {"colour.jpg", [&](const QString& f) { ASSERT_TRUE(noisy.save(f, "JPEG", 90)); }},
        {"low.jpg", [&](const QString& f) { ASSERT_TRUE(noisy.save(f, "JPEG", 20)); }},
        {"grey.jpg", [&](const QString& f) { ASSERT_TRUE(noisy.convertToFormat(QImage::Format_Grayscale8).save(f, "JPEG", 90)); }},
        {"png-named.jpg", [&](const QString& f) { ASSERT_TRUE(noisy.save(f, "PNG")); }},
        {"cut.jpg",
         [&](const QString& f) {
             ASSERT_TRUE(noisy.save(f, "JPEG", 90));
             const auto p = std::filesystem::path(f.toStdString());
             const std::string bytes = tabinowa::testing::readBytes(p);
             tabinowa::testing::writeBytes(p, bytes.substr(0, bytes.size() * 2 / 3));  // Qt still gives a picture
         }},
    };
    Form form("pixels", 6000, 4500);
    PictureBox pic(form, {0, 0, 3000, 2700}, false);  // 200 × 180 pixels, no border
    pic.setBackColor(rgb(255, 255, 255));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = tmp.path() / c.name;
        const QString q = QString::fromStdString(file.string());
        c.write(q);
        const QImage want = QImage(q).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(want.isNull());
        pic.loadPicture(file);
        int differing = 0;
        for (int y = 0; y < want.height(); ++y)
            for (int x = 0; x < want.width(); ++x) {
                const QRgb w = want.pixel(x, y);
                if (pic.pixel(x, y) != rgb(qRed(w), qGreen(w), qBlue(w))) ++differing;
            }
        EXPECT_EQ(differing, 0);
        EXPECT_EQ(pic.pixel(want.width() + 5, 10), rgb(255, 255, 255));  // beyond the picture: back colour
    }
}

TEST(UiPicture, PointerMovesAreReportedInTwipsAndLabelsSitInsideTheBox) {
    Form form("mouse", 9000, 6000);
    PictureBox pic(form, {300, 300, 6000, 4500});
    std::vector<std::pair<double, double>> moves;
    pic.onMouseMove([&](double x, double y) { moves.emplace_back(x, y); });
    Label name(pic, {150, 150, 1500, 300}, "旧町");
    EXPECT_EQ(name.pixelGeometry(), (Rect{10, 10, 100, 20}));
    pic.moveMouse(1500, 750);  // not shown: nothing
    EXPECT_TRUE(moves.empty());
    form.show();
    EXPECT_TRUE(name.isShown());
    pic.moveMouse(1500, 750);
    pic.moveMouse(3007.5, 15);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_DOUBLE_EQ(moves[0].first, 1500);
    EXPECT_DOUBLE_EQ(moves[0].second, 750);
    EXPECT_NEAR(moves[1].first, 3007.5, 1e-9);
    EXPECT_NEAR(moves[1].second, 15, 1e-9);
}

TEST(UiImage, TheLogoIsAPictureOfOurOwn) {
    Form form("logo", 3000, 1500);
    Image img(form, {0, 0, 1890, 1020});
    EXPECT_FALSE(img.hasPicture());
    img.showLogo();
    EXPECT_TRUE(img.hasPicture());
    form.show();
    const QImage pixels = shot(img);
    ASSERT_EQ(pixels.size(), QSize(126, 68));
    std::set<QRgb> colours;
    for (int y = 0; y < pixels.height(); y += 4)
        for (int x = 0; x < pixels.width(); x += 4) colours.insert(pixels.pixel(x, y));
    EXPECT_GT(colours.size(), 5u);
}

}  // namespace

