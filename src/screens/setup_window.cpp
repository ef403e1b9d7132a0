// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/setup_window.h"

#include <exception>
#include <memory>

#include "core/files/error.h"
#include "ui/application.h"

namespace tabinowa {

SetupWindow::SetupWindow(std::function<void()> endProgram) : endProgram_(std::move(endProgram)) {}

SetupWindow::Controls::Controls()
    : frm("クイズタビノワの準備", 6600, 2400),
      lblStep(frm, {360, 300, 5880, 375}),
      lblMsg(frm, {360, 780, 5880, 900}),
      cmdEnd(frm, {4920, 1740, 1320, 450}, "終了") {}

SetupWindow::Controls& SetupWindow::makeWindow() {
    if (window_) return *window_;
    window_ = std::make_unique<Controls>();
    Controls& w = *window_;
    w.lblStep.setFont({"ＭＳ Ｐゴシック", 10.5, true});
    w.lblMsg.setForeColor(ui::paletteColor(4));
    w.cmdEnd.setVisible(false);
    w.cmdEnd.onClick([this] {
        if (endProgram_) endProgram_();
    });
    // After a failure the close box ends the program; after notes it closes the window.
    w.frm.onCloseBox([this, &w] {
        if (failed_) {
            w.cmdEnd.click();
        } else {
            w.frm.unload();
        }
    });
    w.frm.setErrorSink([this, &w](const std::string& message) {
        failed_ = true;
        w.lblStep.setCaption("準備ができませんでした");
        w.lblMsg.setCaption(message);
        w.cmdEnd.setVisible(true);
        w.frm.show();
    });
    return w;
}

void SetupWindow::step(const SetupProgress& p) {
    Controls& w = makeWindow();
    if (!w.frm.isShown()) w.frm.show();
    w.lblStep.setCaption(p.text);
    w.lblMsg.setCaption("初めての起動です。データを用意しています。しばらくお待ちください。");
    ui::Application::processEvents();
}

std::optional<std::filesystem::path> SetupWindow::prepare(const std::optional<std::filesystem::path>& given,
                                                          const std::filesystem::path& executableFolder,
                                                          const std::filesystem::path& userDataFolder, Io& io,
                                                          Random& random, const Claim& claim) {
    std::optional<std::filesystem::path> ready;
    bool noted = false;
    // The work runs outside any window; a failure makes the window and goes
    // through its guard, which says it there in Japanese.
    std::exception_ptr failure;
    try {
        const FolderChoice choice = chooseProgramFolder(given, executableFolder, userDataFolder, io);
        source_ = choice.source;
        shipped_ = findShippedData(executableFolder, io);
        if (claim) {
            std::error_code made;  // a folder that cannot be made is reported by the claim
            std::filesystem::create_directories(choice.folder, made);
            if (!claim(choice.folder)) return std::nullopt;
        }
        // The portable layout is used as it is, exactly as it always was.
        if (choice.source != FolderSource::Portable) {
            const SetupReport report =
                prepareProgramFolder(choice.folder, shipped_, io, random, [this](const SetupProgress& p) { step(p); });
            if (!report.notes.empty()) {
                std::string text;
                for (const std::string& n : report.notes) text += n + "\r\n";
                Controls& w = makeWindow();
                w.lblStep.setCaption("準備ができました");
                w.lblMsg.setCaption(text);
                w.frm.show();
                noted = true;
            }
        }
        ready = choice.folder;
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        makeWindow().frm.run([&] { std::rethrow_exception(failure); });
        return std::nullopt;
    }
    if (ready && !noted && window_) window_->frm.unload();
    return ready;
}

}  // namespace tabinowa
