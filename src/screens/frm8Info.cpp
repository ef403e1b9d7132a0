// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/frm8Info.h"

#include <algorithm>

#include "core/build/data_update.h"
#include "core/build/program_folder.h"
#include "ui/application.h"

#ifndef TABINOWA_VERSION
#define TABINOWA_VERSION "0"
#endif

namespace tabinowa {

frm8Info::frm8Info(WindowManager& windows)
    : frm("情報ー「クイズタビノワ」", 4680, 4380, ui::StartPosition::SystemDefault),
      Label1(frm, {840, 360, 3015, 495}, "クイズタビノワ"),
      lblMsg1(frm, {360, 1200, 3975, 735}),
      lblMsg2(frm, {360, 2160, 3975, 735}),
      lblVersion(frm, {360, 2940, 3975, 735}),
      cmdTakeData(frm, {360, 3720, 3975, 435}, "新しいデータを取り込む"),
      windows_(windows) {
    Label1.setFont({"HG創英角ﾎﾟｯﾌﾟ体", 18, false});
    Label1.setForeColor(0x000000FF);
    Label1.setAlignment(ui::Align::Center);
    lblMsg2.setAlignment(ui::Align::Center);
    cmdTakeData.setVisible(false);
    cmdTakeData.onClick([this] { cmdTakeData_Click(); });
    frm.onCloseBox([this] { windows_.unload(WindowId::Info); });
    frm.setErrorSink([this](const std::string& message) { say(message); });
}

void frm8Info::load() {
    lblMsg1.setCaption(
        "出典：統計センター『SSDSE-A』、e-Stat 市区町村データ、"
        "国土数値情報（行政区域）国土交通省 を加工して作成");
    lblMsg2.setCaption("不具合のご報告は、プロジェクトの\r\n課題管理（issue）へお願いします");
    showVersions();
}

void frm8Info::setShippedData(std::filesystem::path folder) {
    shippedData_ = std::move(folder);
    showVersions();
}

std::optional<std::filesystem::path> frm8Info::shippedData() {
    if (shippedData_) return shippedData_;
    return findShippedData(ui::Application::programFolder(), windows_.session().io);
}

void frm8Info::showVersions() {
    Session& s = windows_.session();
    const auto folder = readDataVersion(s.io, s.folders.program);
    const auto shippedData = this->shippedData();
    const auto shipped = shippedData ? readDataVersion(s.io, *shippedData) : std::nullopt;
    std::string text = std::string("バージョン ") + TABINOWA_VERSION + "\r\nデータ版：このフォルダ " +
                       folder.value_or("不明") + "／同梱 " + shipped.value_or("なし");
    const bool newer = shipped && (!folder || compareDataVersions(*shipped, *folder) > 0);
    if (newer) text += "\r\n新しいデータ版があります（取り込みは任意です）";
    lblVersion.setCaption(text);
    cmdTakeData.setVisible(newer);
}

// The shipped masters and pictures replace the folder's and the working
// files are made again from them, in one change that carries the learner's
// removed questions, points, visits and memory; what could not be carried
// is listed here once.
void frm8Info::cmdTakeData_Click() {
    Session& s = windows_.session();
    for (const WindowId id : {WindowId::Sogo, WindowId::CityVisit, WindowId::Tizu, WindowId::Doko, WindowId::Review,
                              WindowId::Stats, WindowId::Paper}) {
        if (windows_.isLoaded(id)) {
            say("トレーニング、ミチクサ、地図などの画面が開いています。閉じてから取り込んでください。");
            return;
        }
    }
    const auto shipped = shippedData();
    if (!shipped) {
        say("同梱のデータが見つかりません。ファイルは変えていません。");
        return;
    }
    const DataUpdate update = planDataUpdate(s, *shipped);
    if (!windows_.confirm(frm, dataUpdateQuestion(update))) {
        say("取り込みませんでした。ファイルは変えていません。");
        return;
    }
    const std::string done = takeDataUpdate(s, update);
    showVersions();
    say(done);
}

// A message in lblMsg2; one too long for it goes beneath the versions (and
// the button while it is shown), the window made taller until it is whole.
void frm8Info::say(const std::string& text) {
    constexpr ui::Rect kBox{360, 2160, 3975, 735};
    constexpr int kHeight = 4380, kMargin = 120;
    frm.setClientHeight(kHeight);
    lblMsg2.setGeometry(kBox);
    lblMsg2.setAlignment(ui::Align::Center);
    lblMsg2.setCaption(text);
    if (lblMsg2.showsWhole()) return;
    const int top = cmdTakeData.visible() ? 4260 : 3720;
    const ui::Rect below{kBox.left, top, kBox.width, kBox.height};
    lblMsg2.setAlignment(ui::Align::Left);
    lblMsg2.setGeometry(below);
    const int need = lblMsg2.wholeHeight() + 60;
    lblMsg2.setGeometry({below.left, below.top, below.width, need});
    frm.setClientHeight(std::max(kHeight, top + need + kMargin));
}

}  // namespace tabinowa
