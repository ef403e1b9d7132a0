// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/frm3Insatu.h"

#include <algorithm>

#include "core/files/error.h"
#include "core/map/city_table.h"
#include "core/map/regions.h"
#include "core/paper/map_sheet.h"
#include "core/paper/question_sheet.h"
#include "core/quiz/questions.h"
#include "core/quiz/review.h"
#include "ui/paper_output.h"

namespace tabinowa {

namespace {
constexpr ui::Color kTitleColor = 0x000000FF;
constexpr ui::Color kListColor = 0x00C00000;
constexpr ui::Color kMsgColor = 0x00000080;
const char* const kGothic = "ＭＳ Ｐゴシック";

enum Kind { kNumbered, kBlank, kStudy, kQuestions };
const char* const kKinds[] = {"白地図（番号つき）", "白地図（番号なし）", "学習用地図（名前つき）", "問題用紙"};
const char* const kKeyPlaces[] = {"答え：別のページ", "答え：同じページ", "答え：つけない"};
const char* const kJapanEntry = "全国（都道府県ごと）";
// Fixed rows of the question source list; the kinds follow.
const char* const kSources[] = {"今日の復習", "まちがえた問題", "選んだ都道府県の問題"};
constexpr int kFixedSources = 3;
}  // namespace

frm3Insatu::frm3Insatu(Session& session, WindowManager& windows)
    : frm("印刷・PDF－「コモレビ舎」", 9720, 7200),
      Label1(frm, {120, 60, 4800, 555}, "白地図と問題用紙"),
      lblKind(frm, {120, 720, 2400, 255}, "①種類"),
      lstKind(frm, {120, 990, 2400, 1230}),
      lblArea(frm, {2640, 720, 2400, 255}, "②地図（都道府県）"),
      lstArea(frm, {2640, 990, 2400, 5010}),
      lblSource(frm, {5160, 720, 2400, 255}, "③問題の選び方"),
      lstSource(frm, {5160, 990, 2400, 2430}),
      lblCount(frm, {5160, 3540, 2400, 255}, "④問題数"),
      lstCount(frm, {5160, 3810, 2400, 2190}),
      lblPaper(frm, {120, 2400, 2400, 255}, "用紙"),
      lstPaper(frm, {120, 2670, 2400, 1050}),
      cmdOld(frm, {120, 3840, 2400, 495}, ""),
      cmdKey(frm, {120, 4440, 2400, 495}, ""),
      cmdPreview(frm, {7680, 990, 1920, 615}, "プレビュー"),
      cmdPrint(frm, {7680, 1725, 1920, 615}, "印刷…"),
      cmdPdf(frm, {7680, 2460, 1920, 615}, "PDFに保存…"),
      Command1(frm, {7680, 5385, 1920, 615}, "閉じる"),
      lblMsg(frm, {120, 6120, 9480, 975}),
      session_(session),
      windows_(windows) {
    Label1.setFont({"HGP創英角ﾎﾟｯﾌﾟ体", 18, false});
    Label1.setForeColor(kTitleColor);
    for (ui::Label* l : {&lblKind, &lblArea, &lblSource, &lblCount, &lblPaper}) l->setForeColor(kListColor);
    for (ui::ListBox* l : {&lstKind, &lstArea, &lstSource, &lstCount, &lstPaper}) l->setForeColor(kListColor);
    for (ui::CommandButton* b : {&cmdPreview, &cmdPrint, &cmdPdf}) b->setFont({kGothic, 11.25, true});
    lblMsg.setForeColor(kMsgColor);
    frm.setErrorSink([this](const std::string& m) { lblMsg.setCaption(m); });
    frm.onCloseBox([this] { Command1_Click(); });

    lstKind.onClick([this](int p) { lstKind_Click(p); });
    lstArea.onClick([this](int) { lblMsg.setCaption(""); });
    lstSource.onClick([this](int) { lblMsg.setCaption(""); });
    cmdOld.onClick([this] { cmdOld_Click(); });
    cmdKey.onClick([this] { cmdKey_Click(); });
    cmdPreview.onClick([this] { cmdPreview_Click(); });
    cmdPrint.onClick([this] { cmdPrint_Click(); });
    cmdPdf.onClick([this] { cmdPdf_Click(); });
    Command1.onClick([this] { Command1_Click(); });
}

void frm3Insatu::load() {
    std::vector<std::string> kinds(std::begin(kKinds), std::end(kKinds));
    lstKind.addItems(kinds);
    std::vector<std::string> papers;
    for (const auto& p : paper::paperSizes()) papers.push_back(p.name());
    lstPaper.addItems(papers);
    std::vector<std::string> counts;
    for (int n = paper::kMinQuestions; n <= paper::kMaxQuestions; n += 10) counts.push_back(std::to_string(n) + "問");
    lstCount.addItems(counts);
    showToggles();

    ken_ = readRanges(session_.io, session_.folders);
    std::vector<std::string> areas;
    for (const auto& k : ken_) areas.push_back(trimmedName(k.name()));
    for (const auto& r : regions()) areas.push_back(r.name);
    areas.push_back(kJapanEntry);
    lstArea.addItems(areas);

    std::vector<std::string> sources(std::begin(kSources), std::end(kSources));
    // The bank's kinds, read once; a missing bank leaves only the fixed rows.
    try {
        for (const auto& q : readBank(session_.io, session_.folders))
            if (!q.kind.empty() && std::find(kinds_.begin(), kinds_.end(), q.kind) == kinds_.end()) kinds_.push_back(q.kind);
    } catch (const FileError& e) {
        lblMsg.setCaption(e.what());
    }
    for (const auto& k : kinds_) sources.push_back("種類：" + k);
    lstSource.addItems(sources);

}

void frm3Insatu::selectDefaults() {
    // Lists take a choice only once shown.
    if (lstKind.selectedIndex() < 0) lstKind.clickItem(kNumbered);
    if (lstPaper.selectedIndex() < 0) lstPaper.clickItem(0);
    if (lstCount.selectedIndex() < 0) lstCount.clickItem(1);
    if (lstSource.selectedIndex() < 0) lstSource.clickItem(0);
}

void frm3Insatu::chooseArea(int area) {
    const int prefectures = static_cast<int>(ken_.size());
    int row = -1;
    if (area >= 1 && area <= prefectures) row = area - 1;
    else if (area >= kRegionAreaBase && area < kRegionAreaBase + static_cast<int>(regions().size()))
        row = prefectures + (area - kRegionAreaBase);
    else if (area == kJapanArea) row = prefectures + static_cast<int>(regions().size());
    if (row >= 0) lstArea.clickItem(row);
}

bool frm3Insatu::questionSheet() const { return lstKind.selectedIndex() == kQuestions; }

void frm3Insatu::showToggles() {
    cmdOld.setCaption(oldDots_ ? "旧市町村の点：あり" : "旧市町村の点：なし");
    cmdKey.setCaption(kKeyPlaces[keyPlace_]);
    const bool map = !questionSheet();
    cmdOld.setVisible(map);
    cmdKey.setVisible(map && lstKind.selectedIndex() != kBlank);
    lstSource.setVisible(!map);
    lblSource.setVisible(!map);
    lstCount.setVisible(!map);
    lblCount.setVisible(!map);
}

void frm3Insatu::lstKind_Click(int) {
    lblMsg.setCaption("");
    showToggles();
}

void frm3Insatu::cmdOld_Click() {
    oldDots_ = !oldDots_;
    showToggles();
}

void frm3Insatu::cmdKey_Click() {
    keyPlace_ = (keyPlace_ + 1) % 3;
    showToggles();
}

std::string frm3Insatu::areaTitle() const {
    const int row = lstArea.selectedIndex();
    const auto items = lstArea.items();
    return row >= 0 && row < static_cast<int>(items.size()) ? items[static_cast<std::size_t>(row)] : std::string();
}

paper::Document frm3Insatu::mapDocument() {
    const int row = lstArea.selectedIndex();
    if (row < 0) throw FileError("②の地図を選んでください。");
    const int prefectures = static_cast<int>(ken_.size());
    if (row != loadedArea_) {
        sheets_.clear();
        loadedArea_ = -1;
        if (row < prefectures) {
            sheets_.push_back(paper::prefectureSheet(session_.io, session_.folders, ken_, row + 1));
        } else if (row < prefectures + static_cast<int>(regions().size())) {
            sheets_.push_back(paper::regionSheet(session_.io, session_.folders, ken_,
                                                 regions()[static_cast<std::size_t>(row - prefectures)]));
        } else {
            sheets_ = paper::japanSheets(session_.io, session_.folders, ken_);
        }
        loadedArea_ = row;
    }
    paper::MapSheetOptions options;
    options.paper = paper::paperSizes()[static_cast<std::size_t>(std::max(0, lstPaper.selectedIndex()))];
    const int kind = lstKind.selectedIndex();
    options.labels = kind == kBlank ? paper::MapLabels::Blank : kind == kStudy ? paper::MapLabels::Names : paper::MapLabels::Numbers;
    options.oldDots = oldDots_ && row < prefectures;  // the dots are on the prefectures' own maps
    options.key = static_cast<paper::KeyPlace>(keyPlace_);
    paper::Document doc;
    doc.paper = options.paper;
    doc.title = areaTitle() + "　" + (kind == kStudy ? "学習用地図" : "白地図");
    for (const auto& s : sheets_) {
        auto pages = paper::mapSheetPages(s.sheet, options);
        for (auto& p : pages) doc.pages.push_back(std::move(p));
    }
    return doc;
}

paper::Document frm3Insatu::questionDocument() {
    const int source = lstSource.selectedIndex();
    paper::QuestionPick pick;
    pick.count = (std::max(0, lstCount.selectedIndex()) + 1) * 10;
    std::string title;
    if (source <= 0) {
        pick.source = paper::QuestionSource::Review;
        title = "今日の復習";
    } else if (source == 1) {
        pick.source = paper::QuestionSource::Mistakes;
        title = "まちがえた問題";
    } else if (source == 2) {
        const int row = lstArea.selectedIndex();
        if (row < 0 || row >= static_cast<int>(ken_.size())) throw FileError("②で都道府県を選んでください。");
        pick.source = paper::QuestionSource::Prefecture;
        pick.prefecture = row + 1;
        title = areaTitle();
    } else {
        pick.source = paper::QuestionSource::Kind;
        pick.kind = kinds_.at(static_cast<std::size_t>(source - kFixedSources));
        title = pick.kind;
    }
    const auto bank = readBank(session_.io, session_.folders);
    const auto records = paper::pickQuestions(bank, session_.memory.book(), session_.today(), pick, session_.random);
    if (records.empty()) throw FileError("③の選び方に合う問題がありません。ほかの選び方にしてください。");
    QuestionFile file(session_.io, session_.folders);
    std::vector<paper::SheetQuestion> questions;
    int number = 1;
    for (const int r : records) questions.push_back(paper::sheetQuestion(file.get(r), number++, session_.random));
    paper::Document doc;
    doc.paper = paper::paperSizes()[static_cast<std::size_t>(std::max(0, lstPaper.selectedIndex()))];
    doc.title = title + "　問題用紙";
    doc.pages = paper::questionSheetPages(title, questions, doc.paper);
    return doc;
}

paper::Document frm3Insatu::document() { return questionSheet() ? questionDocument() : mapDocument(); }

std::string frm3Insatu::suggestedFileName() const {
    const int kind = lstKind.selectedIndex();
    if (kind == kQuestions) return "問題用紙.pdf";
    std::string area = areaTitle();
    if (area == kJapanEntry) area = "全国";
    return area + "_" + (kind == kStudy ? "学習用地図" : "白地図") + ".pdf";
}

void frm3Insatu::cmdPreview_Click() {
    lblMsg.setCaption("");
    ui::showPrintPreview(frm, document());
}

void frm3Insatu::cmdPrint_Click() {
    lblMsg.setCaption("");
    ui::printWithDialog(frm, document(), [this](const std::string& failure) {
        lblMsg.setCaption(failure.empty() ? "印刷しました。" : failure);
    });
}

void frm3Insatu::cmdPdf_Click() {
    lblMsg.setCaption("");
    // Made first, so that a choice that gives nothing is said before the file dialog.
    auto doc = std::make_shared<paper::Document>(document());
    ui::askPdfFile(frm, suggestedFileName(), [this, doc](const std::filesystem::path& file) {
        ui::writePdf(*doc, file);
        const auto name = file.filename().u8string();
        lblMsg.setCaption("「" + std::string(name.begin(), name.end()) + "」に保存しました。");
    });
}

void frm3Insatu::savePdf(const std::filesystem::path& file) {
    ui::writePdf(document(), file);
    const auto name = file.filename().u8string();
    lblMsg.setCaption("「" + std::string(name.begin(), name.end()) + "」に保存しました。");
}

void frm3Insatu::Command1_Click() { windows_.unload(WindowId::Paper); }

}  // namespace tabinowa
