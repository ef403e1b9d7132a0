// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// 印刷・PDF: paper for study away from the screen. A 白地図 of a prefecture,
// a region or every prefecture of Japan (numbered, blank, or with the names:
// a study map), with its answer key; or a question sheet of 10 to 100
// questions with its key. Printed through the system's print dialog (with a
// preview) or saved as a PDF file the learner chooses. Opened from the map and
// from どこでしょう; writes no file but the PDF.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/files/prefectures.h"
#include "core/paper/map_sources.h"
#include "core/paper/page.h"
#include "core/session/session.h"
#include "screens/window_manager.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tabinowa {

class frm3Insatu final : public Window {
public:
    // Rows of the map list: the prefectures, then the regions, then all Japan.
    frm3Insatu(Session& session, WindowManager& windows);
    ui::Form& form() override { return frm; }
    void load() override;

    // Chooses the map: a prefecture 1..47, kRegionAreaBase + a region's index,
    // or 0 for every prefecture of Japan.
    void chooseArea(int area);
    // The first kind, paper, count and source, where none is chosen yet.
    void selectDefaults();

    // Handlers.
    void lstKind_Click(int position);
    void cmdOld_Click();
    void cmdKey_Click();
    void cmdPreview_Click();
    void cmdPrint_Click();
    void cmdPdf_Click();
    void Command1_Click();

    // The pages as chosen now. Throws FileError with the reason when nothing
    // can be made (no map chosen, no question found, a file unreadable).
    paper::Document document();
    // Writes the document to `file` and says so in lblMsg.
    void savePdf(const std::filesystem::path& file);
    // "北海道_白地図.pdf".
    std::string suggestedFileName() const;

    ui::Form frm;
    ui::Label Label1;
    ui::Label lblKind;
    ui::ListBox lstKind;
    ui::Label lblArea;
    ui::ListBox lstArea;
    ui::Label lblSource;
    ui::ListBox lstSource;
    ui::Label lblCount;
    ui::ListBox lstCount;
    ui::Label lblPaper;
    ui::ListBox lstPaper;
    ui::CommandButton cmdOld;
    ui::CommandButton cmdKey;
    ui::CommandButton cmdPreview;
    ui::CommandButton cmdPrint;
    ui::CommandButton cmdPdf;
    ui::CommandButton Command1;
    ui::Label lblMsg;

private:
    bool questionSheet() const;
    std::string areaTitle() const;
    void showToggles();
    paper::Document mapDocument();
    paper::Document questionDocument();

    Session& session_;
    WindowManager& windows_;
    std::vector<KenHani> ken_;
    std::vector<std::string> kinds_;
    bool oldDots_ = false;
    int keyPlace_ = 0;  // paper::KeyPlace
    // The sheets of the map last made, kept while the same map stays chosen.
    int loadedArea_ = -1;
    std::vector<paper::LoadedSheet> sheets_;
};

}  // namespace tabinowa
