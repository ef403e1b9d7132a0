// SPDX-License-Identifier: GPL-3.0-or-later
// The program as a desktop application: the display scale (positions, sizes,
// fonts, pictures, drawing and pointer positions together, twips unchanged for
// the screens), the scale chosen for a screen and remembered, the start-up
// window that makes the program folder ready, the help page, the versions in
// the information window and the count of municipalities on the main menu.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLockFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QStyle>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/build/program_folder.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/build/startup.h"
#include "core/quiz/deck.h"
#include "core/files/io.h"
#include "core/files/records.h"
#include "screens/frm1Main.h"
#include "screens/frm8Help.h"
#include "screens/frm8Info.h"
#include "screens/frm9Kankyo.h"
#include "screens/program.h"
#include "screens/setup_window.h"
#include "screens/window_manager.h"
#include "support/city_fixture.h"
#include "support/folder_checks.h"
#include "support/question_bank.h"
#include "support/synthetic_learner.h"
#include "core/files/database.h"
#include "support/temp_folder.h"
#include "ui/controls.h"
#include "ui/application.h"
#include "ui/display_scale.h"
#include "ui/settings.h"
#include "ui/form.h"
#include "ui/keys.h"

using namespace tabinowa;
using namespace tabinowa::testing;
namespace fs = std::filesystem;

namespace {

fs::path u8(const char* s) { return AppFolders::u8path(s); }

// Every test leaves the scale as the other tests expect it: 1, no fitting.
struct ScaleReset : ::testing::Test {
    void TearDown() override {
        ui::setDisplayScale(1.0);
        ui::fitInto(std::nullopt);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

template <typename T>
T* childOf(const std::string& windowCaption) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == QString::fromStdString(windowCaption) && w->isVisible())
            if (T* c = w->findChild<T*>()) return c;
    return nullptr;
}

// ------------------------------------------------------------ the scale ----

using DisplayScale = ScaleReset;

TEST_F(DisplayScale, BoxesFontsDrawingPicturesAndThePointerScaleTogether) {
    TempProgramFolder tmp;
    QImage blue(20, 10, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 255));
    const fs::path picture = tmp.path() / "blue.png";
    ASSERT_TRUE(blue.save(QString::fromStdString(picture.string()), "PNG"));

    for (double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        ui::setDisplayScale(scale);
        const std::string caption = "倍率" + std::to_string(scale);
        ui::Form form(caption, 6000, 4500);
        ui::Label label(form, {300, 150, 1500, 450}, "ラベル");
        ui::PictureBox box(form, {600, 900, 3000, 3000}, false);
        ui::ListBox names(form, {3900, 900, 1500, 3000});
        std::vector<std::pair<double, double>> presses;
        box.onMouseDown([&](double x, double y) { presses.emplace_back(x, y); });
        form.show();

        auto px = [scale](int twips) { return static_cast<int>(std::lround(twips * scale / 15)); };
        EXPECT_EQ(label.pixelGeometry(), (ui::Rect{px(300), px(150), px(1500), px(450)}));
        // The screens keep reading and writing twips.
        EXPECT_EQ(label.geometry(), (ui::Rect{300, 150, 1500, 450}));
        EXPECT_EQ(form.geometry().width, 6000);
        EXPECT_EQ(form.pixelGeometry().width, px(6000));
        EXPECT_DOUBLE_EQ(label.fontSize(), 9);
        QLabel* q = childOf<QLabel>(caption);
        ASSERT_NE(q, nullptr);
        EXPECT_EQ(q->font().pixelSize(), std::lround(12 * scale));

        // A list's scroll bar takes the same share of the list at every scale.
        QListWidget* list = childOf<QListWidget>(caption);
        ASSERT_NE(list, nullptr);
        const int bar = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent) - 2;
        EXPECT_EQ(list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list), std::lround(bar * scale));
        EXPECT_EQ(list->verticalScrollBar()->style()->pixelMetric(QStyle::PM_ScrollBarExtent), std::lround(bar * scale));

        // The backing store grows with the box; a circle lands where its twips say.
        EXPECT_EQ(box.pixelWidth(), px(3000));
        box.circle(1500, 1500, 300, ui::rgb(255, 0, 0));
        EXPECT_EQ(box.pixel(px(1800), px(1500)), ui::rgb(255, 0, 0));
        EXPECT_NE(box.pixel(px(1500), px(1500)), ui::rgb(255, 0, 0));  // an outline only

        // A picture is drawn at its own size times the scale.
        box.loadPicture(picture);
        EXPECT_EQ(box.pixel(px(20 * 15) - 1, px(10 * 15) - 1), ui::rgb(0, 0, 255));
        if (scale > 1) {
            EXPECT_NE(box.pixel(px(20 * 15) + 1, px(10 * 15) + 1), ui::rgb(0, 0, 255));
        }

        // The pointer: a press given in twips and a real click in pixels both
        // reach the handler in twips.
        box.pressMouse(450, 750);
        ASSERT_EQ(presses.size(), 1u);
        EXPECT_NEAR(presses[0].first, 450, 1e-9);
        EXPECT_NEAR(presses[0].second, 750, 1e-9);
        QWidget* canvas = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->windowTitle() == QString::fromStdString(caption))
                for (QWidget* c : w->findChildren<QWidget*>())
                    if (c->hasMouseTracking()) canvas = c;
        ASSERT_NE(canvas, nullptr);
        QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(30, 60));
        ASSERT_EQ(presses.size(), 2u);
        EXPECT_NEAR(presses[1].first, 30 * 15 / scale, 1e-9);
        EXPECT_NEAR(presses[1].second, 60 * 15 / scale, 1e-9);
        form.unload();
    }
}

// The prefecture lists of the map and the game are as narrow as the longest
// name with its mark; at every scale a display may be fitted to, each entry
// shows whole beside the list's scroll bar.
TEST_F(DisplayScale, EveryPrefectureEntryShowsWholeBesideTheScrollBarAtEveryScale) {
    const std::vector<std::string> names = {"済\u3000神奈川県", "\u3000\u3000和歌山県", "\u3000\u3000鹿児島県",
                                            "済\u3000北海道"};
    for (double scale : {1.0, 1.1, 1.25, 1.4, 1.5, 1.6, 1.75, 1.8, 1.9, 2.0}) {
        SCOPED_TRACE(scale);
        ui::setDisplayScale(scale);
        const std::string caption = "一覧" + std::to_string(scale);
        ui::Form form(caption, 3000, 9600);
        ui::ListBox list(form, {0, 840, 1335, 8700});  // the map window's prefecture list
        for (int i = 0; i < 12; ++i) list.addItems(names);  // enough for the scroll bar
        form.show();
        QListWidget* q = childOf<QListWidget>(caption);
        ASSERT_NE(q, nullptr);
        ASSERT_TRUE(q->verticalScrollBar()->isVisible());
        const QFontMetrics metrics(q->font());
        const int margin = q->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, q) + 1;
        for (const auto& name : names) {
            // the ink of the entry's last character, drawn after the item's margin
            const int inkRight = margin + metrics.boundingRect(QString::fromStdString(name)).right();
            EXPECT_LT(inkRight, q->viewport()->width()) << name << " font " << q->font().pixelSize();
        }
    }
}

TEST_F(DisplayScale, AKeysLegendWiderThanItsWindowWrapsInsteadOfBeingCut) {
    const std::string shortText = "Esc：閉じる";
    const std::string longText =
        "Space／Enter：解答を表示・次の問題　1～4：もう一度／難しい／正解／簡単（選択肢のときは選択肢）　"
        "Tab：リストとボタンの移動（↑↓で選ぶ）　Esc：メニューへ戻る";
    for (double scale : {1.0, 2.0})
        for (const std::string* text : {&shortText, &longText}) {
            SCOPED_TRACE(scale);
            ui::setDisplayScale(scale);
            const std::string caption = "凡例" + std::to_string(scale) + std::to_string(text->size());
            ui::Form form(caption, 6000, 3000);
            ui::addLegend(form, *text);
            form.show();
            QLabel* legend = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->windowTitle() == QString::fromStdString(caption))
                    legend = w->findChild<QLabel*>("tabinowa-legend");
            ASSERT_NE(legend, nullptr);
            EXPECT_EQ(ui::legend(form), *text);
            // Every character of the legend is inside the label, inside the window.
            const QRect room = legend->contentsRect();
            const int flags = legend->wordWrap() ? Qt::TextWordWrap : 0;
            const QRect needed = QFontMetrics(legend->font()).boundingRect(room, flags, legend->text());
            EXPECT_LE(needed.width(), room.width());
            EXPECT_LE(needed.height(), room.height());
            EXPECT_LE(legend->geometry().bottom(), legend->window()->height());
            EXPECT_EQ(legend->wordWrap(), text == &longText);
        }
}

TEST(ScaleChoice, FittedToTheAreaAndGrownOnLargeScreens) {
    struct Fit {
        double scale;
        int w, h, areaW, areaH;
        double expected;
    };
    const Fit fits[] = {
        {1.0, 20265, 10545, 1280, 720, 0.9},     // the map and the game on a 1280 × 720 screen
        {2.0, 20265, 10545, 1280, 720, 0.9},
        {1.0, 12330, 7950, 1280, 720, 1.0},      // the main menu fits as it is
        {2.0, 12330, 7950, 1920, 1080, 1.75},
        {2.0, 12330, 7950, 3840, 2160, 2.0},
        {1.0, 20265, 10545, 300, 200, 0.5},      // never below half
        {9.0, 4680, 3090, 3840, 2160, 2.0},      // never above double
    };
    for (const Fit& f : fits) {
        SCOPED_TRACE(std::to_string(f.areaW) + "x" + std::to_string(f.areaH));
        const double got = ui::fittedScale(f.scale, f.w, f.h, f.areaW, f.areaH);
        EXPECT_NEAR(got, f.expected, 1e-9);
        if (got > ui::kMinDisplayScale) {
            // The whole window fits: client, a menu bar, the keys' legend and the frame.
            EXPECT_LE(f.w / 15.0 * got + 12, f.areaW);
            EXPECT_LE((f.h / 15.0 + 46) * got + 44, f.areaH);
        }
    }
    struct Default {
        int areaW, areaH;
        double expected;
    };
    const Default defaults[] = {{1280, 720, 1.0}, {1366, 768, 1.0}, {1920, 1080, 1.05},
                                {2560, 1440, 1.4}, {3840, 2160, 2.0}, {7680, 4320, 2.0}};
    for (const Default& d : defaults)
        EXPECT_NEAR(ui::defaultScaleFor(d.areaW, d.areaH), d.expected, 1e-9) << d.areaW << "x" << d.areaH;
}

TEST_F(DisplayScale, AWindowMadeForASmallAreaIsShrunkToFitIt) {
    ui::setDisplayScale(2.0);
    ui::fitInto(std::make_pair(1280, 720));
    ui::Form big("大きい画面", 20265, 10545);
    ui::Form small("小さい画面", 4680, 3090);
    EXPECT_EQ(big.pixelGeometry().width, std::lround(20265 * 0.9 / 15));
    EXPECT_EQ(small.pixelGeometry().width, std::lround(4680 * 2.0 / 15));
    EXPECT_EQ(big.geometry().width, 20265);
    // Out-of-range settings are clamped, a non-number is ignored.
    ui::setDisplayScale(5);
    EXPECT_DOUBLE_EQ(ui::displayScale(), 2.0);
    ui::setDisplayScale(0.1);
    EXPECT_DOUBLE_EQ(ui::displayScale(), 0.5);
    ui::setDisplayScale(std::nan(""));
    EXPECT_DOUBLE_EQ(ui::displayScale(), 0.5);
}

TEST_F(DisplayScale, TheChosenScaleIsRememberedAndABadSettingIgnored) {
    const QString file =
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/settings.ini");
    ASSERT_TRUE(file.startsWith(QString::fromLocal8Bit(std::getenv("XDG_CONFIG_HOME")))) << "not the test's own folder";
    struct Case {
        QVariant raw;
        std::optional<double> expected;
    };
    const Case cases[] = {{150, 1.5}, {100, 1.0}, {200, 2.0}, {99, std::nullopt}, {201, std::nullopt},
                          {QStringLiteral("大"), std::nullopt}};
    for (const Case& c : cases) {
        {
            QSettings s(file, QSettings::IniFormat);
            s.setValue(QStringLiteral("display/scalePercent"), c.raw);
        }
        EXPECT_EQ(ui::savedDisplayScale(), c.expected) << c.raw.toString().toStdString();
    }
    ASSERT_TRUE(ui::saveDisplayScale(1.3));
    EXPECT_EQ(ui::savedDisplayScale(), 1.3);
    QFile::remove(file);
    EXPECT_EQ(ui::savedDisplayScale(), std::nullopt);
}

// Every setting lives in the one file: the scale and each screen's answer
// mode, each kept apart; the temporary copies a cut-short save left beside
// it are removed at the start, and nothing else is.
TEST(Settings, EverySettingIsKeptInTheOneFileAndLeftoversOfASaveGo) {
    TempProgramFolder root;
    const fs::path file = root.path() / "settings.ini";
    ui::Settings settings(file);
    EXPECT_EQ(settings.scalePercent(), std::nullopt);
    EXPECT_FALSE(settings.answerByChoice("training"));
    ASSERT_TRUE(settings.setScalePercent(140));
    ASSERT_TRUE(settings.setAnswerByChoice("training", true));
    ASSERT_TRUE(settings.setAnswerByChoice("game", false));
    const ui::Settings again(file);
    EXPECT_EQ(again.scalePercent(), 140);
    EXPECT_TRUE(again.answerByChoice("training"));
    EXPECT_FALSE(again.answerByChoice("game"));
    EXPECT_FALSE(again.answerByChoice("review"));
    for (const char* name : {"settings.ini.Ab12Cd", "settings.ini.lock", "settings.ini.toolong7", "other.ini.Ab12Cd"})
        writeBytes(root.path() / name, "x");
    again.removeLeftovers();
    EXPECT_FALSE(fs::exists(root.path() / "settings.ini.Ab12Cd"));
    for (const char* name : {"settings.ini", "settings.ini.lock", "settings.ini.toolong7", "other.ini.Ab12Cd"})
        EXPECT_TRUE(fs::exists(root.path() / name)) << name;

    // the lock of a save whose process was killed goes too
    fs::remove(root.path() / "settings.ini.lock");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        QLockFile held(QString::fromStdString((root.path() / "settings.ini.lock").string()));
        _exit(held.tryLock(0) ? 0 : 1);  // ends holding it, as a kill would
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(fs::exists(root.path() / "settings.ini.lock"));
    again.removeLeftovers();
    EXPECT_FALSE(fs::exists(root.path() / "settings.ini.lock")) << "a dead save's lock stays";
    EXPECT_TRUE(fs::exists(file));
}

// ------------------------------------------------------- shell windows ----

struct Desktop : ScaleReset {
    TempProgramFolder folder;
    PosixIo io;
    MtRandom random{7};
    Session session{folder.path(), io, random};
    int quits = 0;
    WindowManager windows{session, [this] { ++quits; }};
    void SetUp() override { writeBank(folder.folders(), sampleBank(5)); }
    void TearDown() override {
        QFile::remove(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                      QStringLiteral("/settings.ini"));
        ScaleReset::TearDown();
    }
};

TEST_F(Desktop, TheEnvironmentWindowStepsTheScaleWithinItsRangeAndSavesIt) {
    struct Case {
        double start;
        std::vector<int> steps;  // +1: ＋, -1: －
        int expected;
    };
    const Case cases[] = {
        {1.0, {+1}, 110}, {1.0, {+1, +1}, 120}, {1.05, {+1}, 110}, {1.05, {-1}, 100},
        {1.0, {-1}, 100}, {2.0, {+1}, 200},     {1.9, {+1, +1}, 200}, {1.5, {-1, -1, +1}, 140},
    };
    windows.start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        ui::setDisplayScale(c.start);
        frm9Kankyo& k = windows.showKankyo();
        for (int s : c.steps) ASSERT_TRUE(s > 0 ? k.cmdScaleUp.click() : k.cmdScaleDown.click());
        EXPECT_NEAR(ui::displayScale(), c.expected / 100.0, 1e-9);
        EXPECT_EQ(ui::savedDisplayScale(), c.expected / 100.0);
        EXPECT_EQ(k.lblScale.caption().rfind("表示倍率：" + std::to_string(c.expected) + "％", 0), 0u)
            << k.lblScale.caption();
        windows.unload(WindowId::Kankyo);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// A made-up learner's answers written into the log (their cards are not in
// the memory, so every answer is the card's whole history).
void writeLearnerLog(MemoryStore& store, Io& io, int answers) {
    SyntheticLearner p;
    p.weights = unusualWeights();
    p.answers = answers;
    store.resetWeights();  // a first write: the database is made (and no daily fit starts)
    Database db(io, store.databaseFile(), false);
    Database::Transaction t(db);
    Database::Statement insert(db, "INSERT INTO answers(at, day, key, activity, outcome, right) VALUES(0,?,?,'',?,?)");
    for (const auto& a : synthesize(p)) {
        insert.reset();
        insert.bind(1, std::int64_t{a.day}).bind(2, a.key).bind(3, std::int64_t{a.outcome})
            .bind(4, std::int64_t{a.outcome != 0});
        insert.step();
    }
    t.commit();
}

TEST_F(Desktop, TheFitRunsBehindTheEnvironmentWindowAndItsWeightsScheduleUntilReset) {
    writeLearnerLog(session.memory, io, 8000);
    windows.start();
    frm9Kankyo& k = windows.showKankyo();
    ASSERT_TRUE(k.cmdFit.click());
    // the click returned with the fit still going: the window's thread is free
    EXPECT_NE(k.lblFit.caption().find("…"), std::string::npos) << k.lblFit.caption();
    for (int i = 0; i < 3000 && k.lblFit.caption().find("…") != std::string::npos; ++i) QTest::qWait(10);
    EXPECT_NE(k.lblFit.caption().find("あなたに合わせた重み"), std::string::npos) << k.lblFit.caption();
    EXPECT_NE(k.lblFit.caption().find("対数損失"), std::string::npos) << k.lblFit.caption();
    ASSERT_TRUE(session.memory.book().weights);
    EXPECT_TRUE(fsrs::inRange(*session.memory.book().weights));
    const auto fit = session.memory.lastFit();
    ASSERT_TRUE(fit);
    EXPECT_TRUE(fit->taken);
    EXPECT_LT(fit->after.logLoss, fit->before.logLoss);
    EXPECT_EQ(fit->day, session.today());
    // the daily fit has run today
    EXPECT_FALSE(LearnerFit::dueToday(session));

    ASSERT_TRUE(k.cmdFitReset.click());
    EXPECT_FALSE(session.memory.book().weights);
    EXPECT_FALSE(session.memory.autoFit());
    EXPECT_NE(k.lblFit.caption().find("標準の重み"), std::string::npos) << k.lblFit.caption();

    // Closing the window while a fit runs stops it; nothing is recorded.
    ASSERT_TRUE(k.cmdFit.click());
    windows.unload(WindowId::Kankyo);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::qWait(50);
    EXPECT_FALSE(session.memory.book().weights);
}

TEST_F(Desktop, TheHelpPageOpensFromTheInformationMenuWithF1AndNamesTheFolder) {
    windows.start();
    frm1Main& m = *windows.main();
    EXPECT_EQ(m.mnuHelp.caption(), "遊び方");
    EXPECT_EQ(m.mnuHelp.shortcut(), "F1");
    ASSERT_TRUE(m.mnuHelp.click());
    ASSERT_NE(windows.help(), nullptr);
    frm8Help& h = *windows.help();
    EXPECT_TRUE(h.frm.isShown());
    const std::string text = h.lblText.caption();
    const std::u8string path = folder.path().u8string();
    for (const std::string& part : {std::string("【トレーニング】"), std::string("【ミチクサ】"), std::string("【市町村地図】"),
                                    std::string("【環境作成】"), std::string("1問500ポイント"), std::string("ボーナス2000"),
                                    std::string("F1"), std::string(path.begin(), path.end())})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    // The whole text is laid out inside its label (nothing below its edge).
    QLabel* q = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == QStringLiteral("遊び方ー「クイズタビノワ」"))
            for (QLabel* l : w->findChildren<QLabel*>())
                if (l->text().startsWith(QStringLiteral("【トレーニング】"))) q = l;
    ASSERT_NE(q, nullptr);
    EXPECT_LE(q->heightForWidth(q->width()), q->height());
    EXPECT_TRUE(m.frm.isShown());  // the menu stays
    ASSERT_TRUE(h.cmdClose.click());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(windows.help(), nullptr);
}

TEST_F(Desktop, TheMainMenuStatesTheCountOfMunicipalitiesTheGameHolds) {
    struct Case {
        int records;  // -1: no file
        const char* line;
    };
    const Case cases[] = {{-1, "全国の市町村をクリアーしよう"},
                          {0, "全国の市町村をクリアーしよう"},
                          {3, "全国３の市町村をクリアーしよう"},
                          {12, "全国１２の市町村をクリアーしよう"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.records);
        fs::remove(folder.folders().cityRecords());
        if (c.records >= 0) {
            std::vector<City> cities;
            for (int i = 1; i <= c.records; ++i) cities.push_back(cityRecord(i, 1, "市" + std::to_string(i), 1000, {}));
            writeCities(folder.folders(), cities);
            if (c.records == 0) writeBytes(folder.folders().cityRecords(), "");
        }
        windows.start();
        const std::string caption = windows.main()->lblVisit.caption();
        EXPECT_EQ(caption.substr(caption.rfind("\r\n") + 2), c.line);
        windows.unload(WindowId::Main);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_EQ(visitGoal(1741), "全国１７４１の市町村をクリアーしよう");
    EXPECT_EQ(visitGoal(9876543210LL), "全国９８７６５４３２１０の市町村をクリアーしよう");
}

TEST_F(Desktop, TheInformationWindowGivesTheProgramAndDataVersions) {
    struct Case {
        const char* file;  // the folder's version file, nullptr: none
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, "データ版：このフォルダ 不明／同梱 "},
        {"tabinowa-data-version 1\n2026.1\n", "データ版：このフォルダ 2026.1／同梱 "},
    };
    windows.start();
    for (const Case& c : cases) {
        fs::remove(folder.path() / kDataVersionFile);
        if (c.file) writeBytes(folder.path() / kDataVersionFile, c.file);
        ASSERT_TRUE(windows.main()->mnuAsa.click());
        frm8Info& i = *windows.info();
        EXPECT_EQ(i.lblVersion.caption().rfind("バージョン ", 0), 0u) << i.lblVersion.caption();
        EXPECT_NE(i.lblVersion.caption().find(c.expected), std::string::npos) << i.lblVersion.caption();
        windows.unload(WindowId::Info);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // A damaged version file is named in the window, which still opens.
    writeBytes(folder.path() / kDataVersionFile, "version?\n");
    ASSERT_TRUE(windows.main()->mnuAsa.click());
    EXPECT_TRUE(japaneseNaming(windows.info()->lblMsg2.caption(), kDataVersionFile)) << windows.info()->lblMsg2.caption();
}

// ------------------------------------------------------------ start-up ----

// A data set with masters whose contents the copies do not look at.
void makeDataSet(const fs::path& d) {
    writeBytes((fs::create_directories(d / u8("作業ファイル")), d / u8("作業ファイル") / u8("問題.csv")), "q");
    writeBytes(d / u8("作業ファイル") / u8("市町村.csv"), "c");
    fs::create_directories(d / "file1");
    writeBytes(d / "file1" / u8("都道府県データ.csv"), "p");
    writeBytes(d / "file1" / "k1.jpg", "j");
}

void putWorkingFiles(const AppFolders& f) {
    fs::create_directories(f.data());
    fs::create_directories(f.map());
    for (const fs::path& p : {f.questionRecords(), f.pointFile(), f.cityRecords(), f.rangeFile(), f.visitMarks()})
        writeBytes(p, "progress");
}

TEST_F(ScaleReset, TheStartUpWindowMakesTheFolderReadyOrSaysWhyNot) {
    struct Case {
        const char* name;
        bool shipped;         // a data set in root/data (found from root/bin)
        bool portable;        // root/bin holds 作業ファイル/
        bool given;           // --folder root/given
        bool partial;         // the target holds all working files but the point file
        const char* folder;   // the folder expected, relative to root; nullptr: failure
        bool windowStays;
    };
    const Case cases[] = {
        {"user folder", true, false, false, false, "user", false},
        {"given folder", true, true, true, false, "given", false},
        {"portable folder is left as it is", true, true, false, false, "bin", false},
        {"partial working files are noted", true, false, false, true, "user", true},
        {"no shipped data", false, false, false, false, nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempProgramFolder root;
        const fs::path bin = root.path() / "bin";
        fs::create_directories(bin);
        if (c.shipped) makeDataSet(root.path() / "data");
        if (c.portable) fs::create_directories(bin / u8("作業ファイル"));
        const fs::path target = root.path() / (c.given ? "given" : "user");
        if (c.shipped) putWorkingFiles(AppFolders{target});
        if (c.partial) fs::remove(AppFolders{target}.pointFile());
        const std::optional<fs::path> given =
            c.given ? std::optional<fs::path>(root.path() / "given") : std::nullopt;

        int ends = 0;
        SetupWindow setup([&] { ++ends; });
        PosixIo io;
        MtRandom random{1};
        const Snapshot binBefore = snapshot(bin);
        const auto got = setup.prepare(given, bin, root.path() / "user", io, random);
        SetupWindow::Controls* w = setup.window();
        if (!c.folder) {
            EXPECT_FALSE(got.has_value());
            ASSERT_NE(w, nullptr);
            EXPECT_TRUE(w->frm.isShown());
            EXPECT_NE(w->lblMsg.caption().find("同梱のデータが見つかりません"), std::string::npos)
                << w->lblMsg.caption();
            ASSERT_TRUE(w->cmdEnd.click());
            EXPECT_EQ(ends, 1);
            continue;
        }
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(*got, root.path() / c.folder);
        EXPECT_EQ(w && w->frm.isShown(), c.windowStays);
        if (c.windowStays) {
            EXPECT_NE(w->lblMsg.caption().find("環境作成"), std::string::npos);
        }
        if (std::string(c.folder) == "bin") {
            EXPECT_EQ(snapshot(bin), binBefore);
            EXPECT_EQ(w, nullptr) << "a folder with nothing to prepare or tell made a window";
        } else {
            EXPECT_EQ(readBytes(*got / u8("作業ファイル") / u8("問題.csv")), "q");
            EXPECT_EQ(readBytes(*got / "file1" / "k1.jpg"), "j");
            EXPECT_EQ(readBytes(AppFolders{*got}.questionRecords()), "progress");
        }
        EXPECT_EQ(ends, 0);
    }
}

// A folder named with --folder that is not there is made only when the learner
// says so; a file in its place is refused. Either refusal makes nothing and
// says where.
TEST_F(ScaleReset, AGivenFolderThatIsNotThereIsMadeOnlyWhenTheLearnerSaysSo) {
    enum class Ask { Yes, No, Window };  // Window: the default ask, which sees no window here
    struct Case {
        const char* name;
        bool fileInPlace;
        Ask ask;
        bool made;             // the folder ends made and ready
        const char* declined;  // part of the refusal, or nullptr
    };
    const Case cases[] = {
        {"missing, the learner says yes", false, Ask::Yes, true, nullptr},
        {"missing, the learner says no", false, Ask::No, false, "作らずに終わりました"},
        {"missing, no window to ask in", false, Ask::Window, false, "USBメモリ"},
        {"a file in its place", true, Ask::Yes, false, "ファイルがあります"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempProgramFolder root;
        const fs::path bin = root.path() / "bin";
        fs::create_directories(bin);
        makeDataSet(root.path() / "data");
        const fs::path given = root.path() / "stick" / "tabinowa";
        if (c.fileInPlace) {
            fs::create_directories(given.parent_path());
            writeBytes(given, "not a folder");
        }
        const Snapshot before = snapshot(root.path());
        std::vector<fs::path> asked;
        SetupWindow setup([] {});
        if (c.ask != Ask::Window)
            setup.setAskToMake([&](const fs::path& p) {
                asked.push_back(p);
                return c.ask == Ask::Yes;
            });
        PosixIo io;
        MtRandom random{1};
        const auto got = setup.prepare(given, bin, root.path() / "user", io, random);
        if (c.made) {
            // made, and the start goes on there (the shipped data copied in;
            // the fixture's one-letter masters then stop the builds)
            EXPECT_EQ(asked, std::vector<fs::path>{given});
            EXPECT_TRUE(fs::is_directory(given));
            EXPECT_TRUE(setup.declined().empty()) << setup.declined();
            EXPECT_EQ(readBytes(given / u8("作業ファイル") / u8("問題.csv")), "q");
            continue;
        }
        EXPECT_FALSE(got.has_value());
        EXPECT_NE(setup.declined().find(c.declined), std::string::npos) << setup.declined();
        EXPECT_NE(setup.declined().find(given.string()), std::string::npos) << "says where: " << setup.declined();
        EXPECT_EQ(setup.window(), nullptr) << "the refusal goes to standard error";
        EXPECT_EQ(snapshot(root.path()), before) << "nothing made";
        EXPECT_FALSE(fs::exists(root.path() / "user"));
        if (c.fileInPlace) EXPECT_TRUE(asked.empty()) << "nothing to ask about a file";
        else EXPECT_FALSE(fs::exists(given.parent_path())) << "no folder made";
    }
}

// A folder a start can use at once, with a bank of `questions` questions.
void putReadyFolder(const fs::path& folder, int questions) {
    makeDataSet(folder);
    putWorkingFiles(AppFolders{folder});
    writeBank(AppFolders{folder}, sampleBank(questions));
}

// The run takes the folder it is given (else the portable one), holds its
// lock while it lasts, and builds its deck once the menu is drawn; a folder in
// use by another copy is refused with no menu.
TEST_F(ScaleReset, TheRunHoldsItsFolderAndBuildsItsDeckOnceTheMenuIsDrawn) {
    struct Case {
        const char* name;
        bool otherFolderGiven;  // --folder root/other, beside the portable bin
        bool inUse;             // bin is locked by another copy
    };
    for (const Case c : {Case{"portable folder", false, false}, Case{"another folder given", true, false},
                         Case{"in use", false, true}}) {
        SCOPED_TRACE(c.name);
        TempProgramFolder root;
        const fs::path bin = root.path() / "bin", other = root.path() / "other";
        putReadyFolder(bin, 60);
        putReadyFolder(other, 40);
        fs::create_directories(bin / u8("作業ファイル"));
        PosixIo io;
        std::optional<StartedFolder> elsewhere;
        if (c.inUse) elsewhere = openProgramFolder(io, AppFolders{bin});
        MtRandom random(5);
        int ends = 0;
        auto program = std::make_unique<Program>(c.otherFolderGiven ? std::optional<fs::path>(other) : std::nullopt,
                                                 bin, root.path() / "user", io, random, [&] { ++ends; });
        if (c.inUse) {
            EXPECT_NE(program->refused().find("既に起動しています"), std::string::npos) << program->refused();
            EXPECT_EQ(program->windows(), nullptr);
            continue;
        }
        ASSERT_NE(program->windows(), nullptr);
        ASSERT_NE(program->windows()->main(), nullptr);
        EXPECT_TRUE(program->windows()->main()->frm.isShown());
        EXPECT_TRUE(program->session()->deckPending) << "the deck was read before the menu was drawn";
        for (int i = 0; i < 20 && program->session()->deckPending; ++i) QCoreApplication::processEvents();
        EXPECT_FALSE(program->session()->deckPending) << "the menu did not build the deck once drawn";
        const fs::path chosen = c.otherFolderGiven ? other : bin;
        EXPECT_EQ(program->session()->folders.program, chosen);
        MtRandom same(5);
        QuestionDeck direct;
        direct.build(io, AppFolders{chosen}, same);
        EXPECT_EQ(program->session()->quiz.totalCount, c.otherFolderGiven ? 40 : 60);
        EXPECT_EQ(program->session()->quiz.recordColumn, direct.recordColumn);
        std::string why;
        EXPECT_FALSE(FolderLock::acquire(chosen, why)) << "the run does not hold its folder";
        if (c.otherFolderGiven) {
            EXPECT_TRUE(FolderLock::acquire(bin, why)) << "the portable folder was locked too: " << why;
        }
        program->windows()->endProgram();
        EXPECT_EQ(ends, 1);
        program.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(FolderLock::acquire(chosen, why)) << why;
    }
}

// The command line: read once, --help and --version answer and end, and a
// mistake ends with its reason in Japanese; no folder is touched by any.
TEST(CommandLine, OptionsAreReadOnceAndMistakesAreSaid) {
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> folder;
        std::optional<int> exit;
        const char* says;  // in the output or the error, when set
    };
    const Case cases[] = {
        {{}, std::nullopt, std::nullopt, nullptr},
        {{"--folder", "/tmp/a"}, "/tmp/a", std::nullopt, nullptr},
        {{"--folder=/tmp/b"}, "/tmp/b", std::nullopt, nullptr},
        {{"--folder", "/tmp/a", "--folder=/tmp/c"}, "/tmp/c", std::nullopt, nullptr},
        {{"--folder", "旅/フォルダ"}, "旅/フォルダ", std::nullopt, nullptr},
        {{"--help"}, std::nullopt, 0, "--folder フォルダ"},
        {{"-h"}, std::nullopt, 0, "使い方"},
        {{"--version"}, std::nullopt, 0, "クイズタビノワ 0."},
        {{"--folderx", "/tmp/a"}, std::nullopt, 2, "「--folderx」というオプションはありません。"},
        {{"-q"}, std::nullopt, 2, "「-q」というオプションはありません。"},
        {{"--folder"}, std::nullopt, 2, "「--folder」のあとにフォルダを指定してください。"},
        {{"--folder", ""}, std::nullopt, 2, "「--folder」のあとにフォルダを指定してください。"},
        {{"--folder="}, std::nullopt, 2, "「--folder」のあとにフォルダを指定してください。"},
        {{"/tmp/a"}, std::nullopt, 2, "「/tmp/a」は使えません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args.front());
        std::string out, err;
        const ui::CommandLine line = ui::readCommandLine(c.args, out, err);
        EXPECT_EQ(line.exitCode, c.exit);
        ASSERT_EQ(line.folder.has_value(), c.folder.has_value());
        if (c.folder) EXPECT_EQ(*line.folder, u8(c.folder->c_str()));
        if (c.says) EXPECT_NE((out + err).find(c.says), std::string::npos) << out << err;
        EXPECT_EQ(err.empty(), c.exit.value_or(0) != 2) << err;
    }
}

}  // namespace
