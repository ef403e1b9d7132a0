// SPDX-License-Identifier: GPL-3.0-or-later
// 印刷・PDF: the window, and the pages it makes as pictures.
#include "paper_shots.h"

#include <cstdlib>
#include <iostream>
#include <string>

#include "common.h"
#include "core/base/random.h"
#include "core/files/error.h"
#include "core/files/io.h"
#include "core/map/outlines.h"
#include "core/session/session.h"
#include "screens/frm3Insatu.h"
#include "screens/window_manager.h"
#include "ui/application.h"

namespace fs = std::filesystem;

namespace tabinowa::shots {
namespace {

bool hasPaperFiles(const AppFolders& f) {
    return fs::exists(f.cityRecords()) && fs::exists(f.rangeFile()) && fs::exists(outlineFile(f)) &&
           fs::exists(f.questionRecords());
}

void noMadeUpSet(const AppFolders&) {}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// Every page of `pdf` as "<stem>-<n>.png" beside it (pdftoppm numbers them).
bool pagesAsPng(const fs::path& pdf) {
    const fs::path stem = pdf.parent_path() / pdf.stem();
    const std::string command = "pdftoppm -r 110 -png " + quoted(pdf) + " " + quoted(stem);
    if (std::system(command.c_str()) != 0) {
        std::cerr << "pdftoppm が動きませんでした（poppler-utils が要ります）: " << pdf << "\n";
        return false;
    }
    std::cout << pdf.filename().string() << " の各ページを PNG にしました\n";
    return true;
}

}  // namespace

int shootPaper(const fs::path& out, const fs::path& work, bool pages) {
    return inTemporaryFolder("tabinowa-paper-shots", "印刷・PDF", [&](const fs::path& mine, int& failures) {
        const AppFolders f = prepareCopy(work, mine, "印刷・PDF", hasPaperFiles, noMadeUpSet);
        if (!hasPaperFiles(f)) {
            std::cout << "印刷・PDF: 出荷データがないため撮りません\n";
            return;
        }
        PosixIo io;
        MtRandom random(28);
        Session session(mine, io, random);
        session.setStartupFlag();
        WindowManager windows(session, [] {});
        windows.start();
        frm3Insatu& w = windows.showPaper(1);  // 北海道
        ui::Application::processEvents();
        if (!saveShot(w.frm, out / "paper-window.png")) ++failures;
        if (pages) {
            w.savePdf(out / "paper-hokkaido.pdf");
            if (!pagesAsPng(out / "paper-hokkaido.pdf")) ++failures;
            w.chooseArea(13);     // 東京都
            w.lstKind.clickItem(2);  // 学習用地図
            w.savePdf(out / "paper-tokyo-study.pdf");
            if (!pagesAsPng(out / "paper-tokyo-study.pdf")) ++failures;
        }
        w.lstKind.clickItem(3);   // 問題用紙
        w.lstSource.clickItem(0);  // 今日の復習
        w.lstCount.clickItem(1);   // 20問
        ui::Application::processEvents();
        if (!saveShot(w.frm, out / "paper-questions-window.png")) ++failures;
        if (pages) {
            w.savePdf(out / "paper-questions.pdf");
            if (!pagesAsPng(out / "paper-questions.pdf")) ++failures;
        }
        if (!w.lblMsg.caption().empty()) std::cout << "印刷・PDF: " << w.lblMsg.caption() << "\n";
        windows.endProgram();
        ui::Application::processEvents();
    });
}

}  // namespace tabinowa::shots
