#include "shell/frm9Kankyo.h"

#include "build/builds.h"

namespace tabinowa {

frm9Kankyo::frm9Kankyo(Session& session, WindowManager& windows)
    : frm("環境作成", 6060, 3090, ui::StartPosition::SystemDefault),
      cmdStoR(frm, {360, 840, 1815, 615}, "ランダムファイル作成"),
      // Taller than one line so that a failure message can be read whole.
      lblMsg1(frm, {600, 120, 5055, 690}),
      cmdToMain(frm, {4200, 840, 1215, 615}, "メインへ"),
      cmdCity(frm, {3000, 1920, 1935, 615}, "市町村ランダムファイル作成"),
      session_(session),
      windows_(windows) {
    cmdStoR.onClick([this] { cmdStoR_Click(); });
    cmdToMain.onClick([this] { cmdToMain_Click(); });
    cmdCity.onClick([this] { cmdCity_Click(); });
    frm.onCloseBox([this] { cmdToMain_Click(); });
    frm.setErrorSink([this](const std::string& message) { lblMsg1.setCaption(message); });
}

// A build replaces files that an open activity holds or reads; replacing them
// under it would lose its next writes (a removal, a visit), so the activity
// has to be closed first.
void frm9Kankyo::cmdStoR_Click() {
    if (windows_.isLoaded(WindowId::Sogo) || windows_.isLoaded(WindowId::CityVisit)) {
        lblMsg1.setCaption("トレーニングかミチクサの画面が開いています。閉じてから作成してください。");
        return;
    }
    lblMsg1.setCaption("");
    lblMsg1.setCaption(buildQuestionFile(session_));
}

void frm9Kankyo::cmdCity_Click() {
    if (windows_.isLoaded(WindowId::CityVisit) || windows_.isLoaded(WindowId::Tizu)) {
        lblMsg1.setCaption("ミチクサか市町村地図の画面が開いています。閉じてから作成してください。");
        return;
    }
    lblMsg1.setCaption("");
    lblMsg1.setCaption(buildCityFiles(session_));
}

void frm9Kankyo::cmdToMain_Click() {
    windows_.showMain();
    windows_.unload(WindowId::Kankyo);
}

}  // namespace tabinowa
