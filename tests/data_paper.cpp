// SPDX-License-Identifier: GPL-3.0-or-later
// Paper maps and question sheets from the shipped data: every number of every
// prefecture's map inside its place or on a leader, none over another; the
// PDF files read back with pdftotext hold every name of a key and every
// question of a sheet exactly once; the 印刷・PDF window opens the system's
// print dialog and preview, and a PDF that cannot be written is said in the
// window and leaves nothing behind.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/base/random.h"
#include "core/build/builds.h"
#include "core/files/io.h"
#include "core/files/prefectures.h"
#include "core/paper/map_sources.h"
#include "core/paper/question_sheet.h"
#include "core/quiz/questions.h"
#include "core/session/session.h"
#include "screens/frm2Tizu.h"
#include "screens/frm3Insatu.h"
#include "screens/window_manager.h"
#include "support/fixed_random.h"
#include "support/temp_folder.h"
#include "ui/paper_output.h"

namespace tabinowa {
namespace {

namespace fs = std::filesystem;
using namespace paper;

const fs::path kRepo = TABINOWA_SOURCE_DIR;

fs::path u8(const char* s) { return fs::path(std::u8string(reinterpret_cast<const char8_t*>(s))); }

// Output of a command (pdftotext), or nothing when it fails.
std::string run(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return out;
    std::array<char, 4096> buf{};
    std::size_t n = 0;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    if (pclose(p) != 0) out.clear();
    return out;
}

std::string pdfText(const fs::path& pdf, int first = 0, int last = 0) {
    std::string range;
    if (first > 0) range = " -f " + std::to_string(first) + " -l " + std::to_string(last);
    return run("pdftotext -layout" + range + " '" + pdf.string() + "' -");
}

std::map<std::string, int> tokenCounts(const std::string& text) {
    std::map<std::string, int> counts;
    std::istringstream in(text);
    std::string t;
    while (in >> t) ++counts[t];
    return counts;
}

std::string withoutBlanks(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == ' ' || s[i] == '\n' || s[i] == '\r' || s[i] == '\t' || s[i] == '\f') continue;
        if (s.compare(i, 3, "\xE3\x80\x80") == 0) {  // U+3000
            i += 2;
            continue;
        }
        out += s[i];
    }
    return out;
}

int occurrences(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (std::size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1)) ++n;
    return n;
}

// One program folder with the shipped masters built, for the whole suite.
class ShippedPaper : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new testing::TempProgramFolder();
        const AppFolders f = folder_->folders();
        for (const char* sub : {"file1", "作業ファイル"})
            for (const auto& e : fs::directory_iterator(kRepo / "data" / u8(sub)))
                fs::copy_file(e.path(), folder_->path() / u8(sub) / e.path().filename(), fs::copy_options::overwrite_existing);
        io_ = new PosixIo();
        random_ = new MtRandom(3);
        session_ = new Session(folder_->path(), *io_, *random_);
        built_ = buildCityFiles(*session_) == "終了　1741";
        buildQuestionFile(*session_);
        ken_ = new std::vector<KenHani>(readRanges(*io_, f));
    }
    static void TearDownTestSuite() {
        delete ken_;
        delete session_;
        delete random_;
        delete io_;
        delete folder_;
    }
    void SetUp() override { ASSERT_TRUE(built_); }
    static testing::TempProgramFolder* folder_;
    static PosixIo* io_;
    static MtRandom* random_;
    static Session* session_;
    static std::vector<KenHani>* ken_;
    static bool built_;
};
testing::TempProgramFolder* ShippedPaper::folder_ = nullptr;
PosixIo* ShippedPaper::io_ = nullptr;
MtRandom* ShippedPaper::random_ = nullptr;
Session* ShippedPaper::session_ = nullptr;
std::vector<KenHani>* ShippedPaper::ken_ = nullptr;
bool ShippedPaper::built_ = false;

TEST_F(ShippedPaper, EveryNumberOfEveryPrefectureIsInsideItsPlaceOrOnALeaderAndNoneOverlaps) {
    const auto sheets = japanSheets(*io_, session_->folders, *ken_);
    ASSERT_EQ(sheets.size(), 47u);
    std::size_t total = 0;
    for (const PaperSize& paperSize : {PaperSize{PaperKind::A4, false}, PaperSize{PaperKind::B4, true}}) {
        total = 0;
        const Box mapBox{kMarginMm, kMarginMm + 10, paperSize.widthMm() - kMarginMm, paperSize.heightMm() - kMarginMm - 9};
        for (const auto& s : sheets) {
            SCOPED_TRACE(s.sheet.title + " " + paperSize.name());
            const MapLayout layout = layoutLabels(s.sheet, mapBox, MapLabels::Numbers, kNumberPt);
            EXPECT_EQ(layout.crowded, 0);
            ASSERT_EQ(layout.labels.size(), s.sheet.places.size());
            total += layout.labels.size();
            for (std::size_t i = 0; i < layout.labels.size(); ++i) {
                const PlacedLabel& l = layout.labels[i];
                const MapShape& shape = s.area->shapes[static_cast<std::size_t>(s.sheet.places[static_cast<std::size_t>(l.place)].shape)];
                EXPECT_TRUE(l.box.inside(mapBox));
                if (!l.leader) {
                    for (const Pt corner : {Pt{l.box.left, l.box.top}, Pt{l.box.right, l.box.top},
                                            Pt{l.box.left, l.box.bottom}, Pt{l.box.right, l.box.bottom}})
                        EXPECT_TRUE(insideShape(shape, layout.fit.toMap(corner))) << l.text;
                } else {
                    // The leader starts inside its own place and ends on its label.
                    EXPECT_LT(distanceToShape(shape, layout.fit.toMap(l.line.a)), 1.0) << l.text;
                    EXPECT_NEAR(std::max({l.box.left - l.line.b.x, l.line.b.x - l.box.right, 0.0}), 0.0, 1e-9);
                }
                for (std::size_t j = 0; j < i; ++j)
                    EXPECT_FALSE(l.box.overlaps(layout.labels[j].box)) << l.text << " / " << layout.labels[j].text;
            }
        }
    }
    EXPECT_EQ(total, 1741u);
}

TEST_F(ShippedPaper, TheHokkaidoPdfAndItsKeyHoldEveryNumberAndNameOnce) {
    const LoadedSheet s = prefectureSheet(*io_, session_->folders, *ken_, 1);
    ASSERT_EQ(s.sheet.places.size(), 179u);
    Document doc;
    doc.title = "北海道　白地図";
    doc.pages = mapSheetPages(s.sheet, {});
    ASSERT_GE(doc.pages.size(), 2u);
    const fs::path pdf = folder_->path() / "hokkaido.pdf";
    ui::writePdf(doc, pdf);
    ASSERT_FALSE(fs::exists(fs::path(pdf.string() + ".tmp")));

    const auto map = tokenCounts(pdfText(pdf, 1, 1));
    const auto key = tokenCounts(pdfText(pdf, 2, static_cast<int>(doc.pages.size())));
    ASSERT_FALSE(key.empty()) << "pdftotext (poppler-utils) read nothing";
    for (std::size_t i = 0; i < s.sheet.places.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        EXPECT_EQ(map.count(number) ? map.at(number) : 0, 1) << "map number " << number;
        const auto& name = s.sheet.places[i].name;
        EXPECT_EQ(key.count(name) ? key.at(name) : 0, 1) << name;
        EXPECT_EQ(key.count(number) ? key.at(number) : 0, 1) << "key number " << number;
    }
    // The fonts are in the file: both texts came back as Japanese.
    EXPECT_NE(run("pdffonts '" + pdf.string() + "'").find("yes"), std::string::npos);
}

TEST_F(ShippedPaper, AStudyMapOfTokyoPrintsEveryNameOnceOnTheMap) {
    const LoadedSheet s = prefectureSheet(*io_, session_->folders, *ken_, 13);
    MapSheetOptions o;
    o.labels = MapLabels::Names;
    o.key = KeyPlace::None;
    Document doc;
    doc.pages = mapSheetPages(s.sheet, o);
    ASSERT_EQ(doc.pages.size(), 1u);
    const fs::path pdf = folder_->path() / "tokyo.pdf";
    ui::writePdf(doc, pdf);
    const auto map = tokenCounts(pdfText(pdf));
    for (const auto& p : s.sheet.places) EXPECT_EQ(map.count(p.name) ? map.at(p.name) : 0, 1) << p.name;
}

TEST_F(ShippedPaper, ASheetOfTwentyQuestionsHoldsEachQuestionOnceAndItsKeyEachAnswer) {
    const auto bank = readBank(*io_, session_->folders);
    testing::FixedRandom random({0.3, 0.7, 0.1, 0.9, 0.5});
    QuestionPick pick;
    pick.count = 20;
    const auto records = pickQuestions(bank, session_->memory.book(), session_->today(), pick, random);
    ASSERT_EQ(records.size(), 20u);
    QuestionFile file(*io_, session_->folders);
    std::vector<SheetQuestion> questions;
    for (const int r : records) questions.push_back(sheetQuestion(file.get(r), static_cast<int>(questions.size()) + 1, random));
    std::size_t keyFirst = 0;
    Document doc;
    doc.pages = questionSheetPages("今日の復習", questions, {}, &keyFirst);
    const fs::path pdf = folder_->path() / "questions.pdf";
    ui::writePdf(doc, pdf);
    const std::string sheet = withoutBlanks(pdfText(pdf, 1, static_cast<int>(keyFirst)));
    const std::string keyText = withoutBlanks(pdfText(pdf, static_cast<int>(keyFirst) + 1, static_cast<int>(doc.pages.size())));
    ASSERT_FALSE(sheet.empty());
    for (const auto& q : questions) {
        std::string text;
        for (const auto& p : q.text) text += p;
        EXPECT_EQ(occurrences(sheet, withoutBlanks(text)), 1) << text;
        EXPECT_EQ(occurrences(keyText, withoutBlanks(text)), 0) << "the key does not repeat the question";
        EXPECT_GE(occurrences(keyText, withoutBlanks("答え：" + q.answer)), 1) << q.answer;
    }
}

// The window: over the shipped data, opened from the map window's button.
class PaperWindow : public ShippedPaper {
protected:
    void SetUp() override {
        ShippedPaper::SetUp();
        session_->setStartupFlag();
        windows_ = std::make_unique<WindowManager>(*session_, [] {});
        windows_->showMap();
        QApplication::processEvents();
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
        windows_->endProgram();
        QApplication::processEvents();
    }
    template <class Dialog>
    static Dialog* openDialog() {
        QApplication::processEvents();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<Dialog*>(w); d && d->isVisible()) return d;
        return nullptr;
    }
    std::unique_ptr<WindowManager> windows_;
};

TEST_F(PaperWindow, TheMapsButtonOpensItOnThePrefectureChosenAndThePrintDialogOpens) {
    auto* map = windows_->window(WindowId::Tizu);
    ASSERT_NE(map, nullptr);
    auto& tizu = static_cast<frm2Tizu&>(*map);
    ASSERT_TRUE(tizu.lstKen.clickItem(12));  // 東京都
    ASSERT_TRUE(tizu.cmdPaper.click());
    frm3Insatu* w = windows_->paper();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->lstArea.selectedIndex(), 12);
    EXPECT_EQ(w->suggestedFileName(), "東京都_白地図.pdf");

    ASSERT_TRUE(w->cmdPrint.click());
    QPrintDialog* print = openDialog<QPrintDialog>();
    ASSERT_NE(print, nullptr) << w->lblMsg.caption();
    print->reject();
    EXPECT_EQ(w->lblMsg.caption(), "");

    ASSERT_TRUE(w->cmdPreview.click());
    QPrintPreviewDialog* preview = openDialog<QPrintPreviewDialog>();
    ASSERT_NE(preview, nullptr);
    preview->reject();

    ASSERT_TRUE(w->cmdPdf.click());
    QFileDialog* save = openDialog<QFileDialog>();
    ASSERT_NE(save, nullptr);
    save->reject();
}

TEST_F(PaperWindow, AFileThatCannotBeWrittenIsSaidInTheWindowAndLeavesNothing) {
    frm3Insatu& w = windows_->showPaper(1);
    const fs::path blocked = folder_->path() / "no-such-folder" / "map.pdf";
    w.frm.run([&] { w.savePdf(blocked); });
    EXPECT_NE(w.lblMsg.caption().find("map.pdf"), std::string::npos) << w.lblMsg.caption();
    EXPECT_FALSE(fs::exists(blocked.parent_path()));

    // A sheet from a source with nothing in it says so instead of printing empty pages.
    ASSERT_TRUE(w.lstKind.clickItem(3));
    ASSERT_TRUE(w.lstSource.clickItem(1));  // まちがえた問題: none yet
    w.frm.run([&] { w.savePdf(folder_->path() / "none.pdf"); });
    EXPECT_EQ(w.lblMsg.caption(), "③の選び方に合う問題がありません。ほかの選び方にしてください。");
    EXPECT_FALSE(fs::exists(folder_->path() / "none.pdf"));

    const fs::path ok = folder_->path() / "ok.pdf";
    ASSERT_TRUE(w.lstKind.clickItem(0));
    w.frm.run([&] { w.savePdf(ok); });
    EXPECT_EQ(w.lblMsg.caption(), "「ok.pdf」に保存しました。");
    EXPECT_GT(fs::file_size(ok), 10000u);
}

}  // namespace
}  // namespace tabinowa
