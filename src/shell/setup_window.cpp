#include "shell/setup_window.h"

#include "files/error.h"
#include "ui/application.h"

namespace tabinowa {

SetupWindow::SetupWindow(std::function<void()> endProgram)
    : frm("クイズタビノワの準備", 6600, 2400),
      lblStep(frm, {360, 300, 5880, 375}),
      lblMsg(frm, {360, 780, 5880, 900}),
      cmdEnd(frm, {4920, 1740, 1320, 450}, "終了") {
    lblStep.setFont({"ＭＳ Ｐゴシック", 10.5, true});
    lblMsg.setForeColor(ui::paletteColor(4));
    cmdEnd.setVisible(false);
    cmdEnd.onClick([end = std::move(endProgram)] {
        if (end) end();
    });
    // After a failure the close box ends the program; after notes it closes the window.
    frm.onCloseBox([this] {
        if (failed_) {
            cmdEnd.click();
        } else {
            frm.unload();
        }
    });
    frm.setErrorSink([this](const std::string& message) {
        failed_ = true;
        lblStep.setCaption("準備ができませんでした");
        lblMsg.setCaption(message);
        cmdEnd.setVisible(true);
        frm.show();
    });
}

void SetupWindow::step(const SetupProgress& p) {
    if (!frm.isShown()) frm.show();
    lblStep.setCaption(p.text);
    lblMsg.setCaption("初めての起動です。データを用意しています。しばらくお待ちください。");
    ui::Application::processEvents();
}

std::optional<std::filesystem::path> SetupWindow::prepare(const std::vector<std::string>& args,
                                                          const std::filesystem::path& executableFolder,
                                                          const std::filesystem::path& userDataFolder, Io& io,
                                                          Random& random, const Claim& claim) {
    std::optional<std::filesystem::path> ready;
    bool noted = false;
    frm.run([&] {
        const FolderChoice choice = chooseProgramFolder(folderArgument(args), executableFolder, userDataFolder, io);
        source_ = choice.source;
        shipped_ = findShippedData(executableFolder, io);
        if (claim) {
            std::error_code made;  // a folder that cannot be made is reported by the claim
            std::filesystem::create_directories(choice.folder, made);
            if (!claim(choice.folder)) return;
        }
        // The portable layout is used as it is, exactly as it always was.
        if (choice.source != FolderSource::Portable) {
            const SetupReport report =
                prepareProgramFolder(choice.folder, shipped_, io, random, [this](const SetupProgress& p) { step(p); });
            if (!report.notes.empty()) {
                std::string text;
                for (const std::string& n : report.notes) text += n + "\r\n";
                lblStep.setCaption("準備ができました");
                lblMsg.setCaption(text);
                frm.show();
                noted = true;
            }
        }
        ready = choice.folder;
    });
    if (ready && !noted) frm.unload();
    return ready;
}

}  // namespace tabinowa
