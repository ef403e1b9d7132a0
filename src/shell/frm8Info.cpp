#include "shell/frm8Info.h"

namespace tabinowa {

frm8Info::frm8Info(WindowManager& windows)
    : frm("情報ー「クイズタビノワ」", 4680, 3090, ui::StartPosition::SystemDefault),
      Label1(frm, {840, 360, 3015, 495}, "クイズタビノワ"),
      lblMsg1(frm, {360, 1200, 3975, 735}),
      lblMsg2(frm, {360, 2160, 3975, 735}),
      windows_(windows) {
    Label1.setFont({"HG創英角ﾎﾟｯﾌﾟ体", 18, false});
    Label1.setForeColor(0x000000FF);
    Label1.setAlignment(ui::Align::Center);
    lblMsg2.setAlignment(ui::Align::Center);
    frm.onCloseBox([this] { windows_.unload(WindowId::Info); });
    frm.setErrorSink([this](const std::string& message) { lblMsg2.setCaption(message); });
}

void frm8Info::load() {
    lblMsg1.setCaption(
        "出典：統計センター『SSDSE-A』、e-Stat 市区町村データ、"
        "国土数値情報（行政区域）国土交通省 を加工して作成");
    lblMsg2.setCaption("不具合のご報告は、プロジェクトの\r\n課題管理（issue）へお願いします");
}

}  // namespace tabinowa
