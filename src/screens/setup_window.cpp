// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/setup_window.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "core/files/error.h"
#include "ui/application.h"
#include "ui/keys.h"

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

namespace {
std::string shown(const std::filesystem::path& p) {
    const auto u8 = p.u8string();
    return "「" + std::string(u8.begin(), u8.end()) + "」";
}
}  // namespace

// A folder named with --folder: nothing is made in a place the learner did
// not mean (a USB stick not mounted would otherwise leave an empty folder on
// the internal disk, and the progress would seem lost).
bool SetupWindow::givenFolderUsable(const std::filesystem::path& given, Io& io) {
    if (io.isDirectory(given)) return true;
    if (io.exists(given)) {
        declined_ = "フォルダ" + shown(given) + "の場所にファイルがあります。--folder にはフォルダを指定してください。何も変えていません。";
        return false;
    }
    if (askToMake_ && askToMake_(given)) {
        std::error_code made;
        if (std::filesystem::create_directories(given, made) || io.isDirectory(given)) return true;
        declined_ = "フォルダ" + shown(given) + "を作れませんでした（" + made.message() + "）。何も変えていません。";
        return false;
    }
    declined_ = "フォルダ" + shown(given) + "がありません。作らずに終わりました。" +
                "USBメモリなどにあるときは、つないでからもう一度起動してください。新しく始めるときは、そのフォルダを作ってから起動してください。";
    return false;
}

bool SetupWindow::askInWindow(const std::filesystem::path& folder) {
    if (!ui::Application::canShowWindows()) return false;
    constexpr int kWidth = 7200, kMargin = 240, kButtonWidth = 1320, kButtonHeight = 450;
    ui::Form frm("クイズタビノワ", kWidth, 2400);
    ui::Label message(frm, {kMargin, kMargin, kWidth - 2 * kMargin, 975},
                      "フォルダ" + shown(folder) + "がありません。\r\n" +
                          "新しく作って、そこに成績とデータを置きますか？\r\n" +
                          "USBメモリなどにあるときは「いいえ」を押して、つないでからもう一度起動してください。");
    ui::CommandButton yes(frm, {kWidth - 2 * kButtonWidth - kMargin - 120, 0, kButtonWidth, kButtonHeight}, "はい");
    ui::CommandButton no(frm, {kWidth - kButtonWidth - kMargin, 0, kButtonWidth, kButtonHeight}, "いいえ");
    // the message whole, whatever the folder's length, the buttons beneath it
    const int textHeight = std::max(975, message.wholeHeight() + 30);
    message.setGeometry({kMargin, kMargin, kWidth - 2 * kMargin, textHeight});
    const int buttonsTop = kMargin + textHeight + kMargin;
    yes.setGeometry({yes.geometry().left, buttonsTop, kButtonWidth, kButtonHeight});
    no.setGeometry({no.geometry().left, buttonsTop, kButtonWidth, kButtonHeight});
    frm.setClientHeight(buttonsTop + kButtonHeight + kMargin);
    std::optional<bool> answer;
    yes.onClick([&answer] { answer = true; });
    no.onClick([&answer] { answer = false; });
    frm.onCloseBox([&answer] { answer = false; });
    ui::enterClicksFocusedButton(frm);
    ui::Keys keys(frm);
    keys.add("Escape", [&answer] { answer = false; });
    frm.show();
    no.setFocus();  // nothing is made by a key pressed in haste
    ui::Application::runUntil([&answer] { return answer.has_value(); });
    frm.unload();
    return *answer;
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
    if (given && !givenFolderUsable(*given, io)) return std::nullopt;
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
