// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/frm8Info.h"

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
    frm.setErrorSink([this](const std::string& message) { lblMsg2.setCaption(message); });
}

void frm8Info::load() {
    lblMsg1.setCaption(
        "出典：統計センター『SSDSE-A』、e-Stat 市区町村データ、"
        "国土数値情報（行政区域）国土交通省 を加工して作成");
    lblMsg2.setCaption("不具合のご報告は、プロジェクトの\r\n課題管理（issue）へお願いします");
    showVersions();
}

void frm8Info::showVersions() {
    Session& s = windows_.session();
    const auto folder = readDataVersion(s.io, s.folders.program);
    const auto shippedData = findShippedData(ui::Application::programFolder(), s.io);
    const auto shipped = shippedData ? readDataVersion(s.io, *shippedData) : std::nullopt;
    std::string text = std::string("バージョン ") + TABINOWA_VERSION + "\r\nデータ版：このフォルダ " +
                       folder.value_or("不明") + "／同梱 " + shipped.value_or("なし");
    const bool newer = shipped && (!folder || compareDataVersions(*shipped, *folder) > 0);
    if (newer) text += "\r\n新しいデータ版があります（取り込みは任意です）";
    lblVersion.setCaption(text);
    cmdTakeData.setVisible(newer);
}

// The masters and pictures of the shipped data replace the folder's; the
// working files (the learner's progress) stay until the environment window's
// builds are run.
void frm8Info::cmdTakeData_Click() {
    Session& s = windows_.session();
    const auto shippedData = findShippedData(ui::Application::programFolder(), s.io);
    if (!shippedData) return;
    const int n = takeShippedData(s.folders.program, *shippedData, s.io);
    showVersions();
    lblMsg2.setCaption(std::to_string(n) + "個のファイルを取り込みました。\r\n環境作成で作成すると使われます。");
}

}  // namespace tabinowa
