// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/frm1Main.h"

#include <optional>
#include <string>

#include "core/files/error.h"
#include "core/files/records.h"

namespace tabinowa {

namespace {

// The municipalities the game holds: the records of "市町村.ran"; none while
// the file is missing or unreadable (the menu still opens).
std::optional<long long> municipalityCount(Io& io, const AppFolders& f) {
    const int fd = io.open(f.cityRecords(), Io::Mode::Read);
    if (fd < 0) return std::nullopt;
    const long long bytes = io.size(fd);
    io.close(fd);
    if (bytes < 0) return std::nullopt;
    return bytes / static_cast<long long>(City::kLength);
}

// Digits in full width, as the menu's texts write numbers.
std::string wideDigits(long long n) {
    std::string out;
    for (char c : std::to_string(n)) out += std::string("０１２３４５６７８９").substr(static_cast<std::size_t>(c - '0') * 3, 3);
    return out;
}

constexpr ui::Color kRed = 0x000000FF;
constexpr ui::Color kDarkGreen = 0x00004000;
const ui::Font kButtonFont{"ＭＳ Ｐゴシック", 14.25, true};
}  // namespace

frm1Main::frm1Main(Session& session, WindowManager& windows)
    : frm("クイズミチクサ－「コモレビ舎」", 12330, 7950, ui::StartPosition::CenterScreen),
      cmdEnd(frm, {10560, 240, 1455, 975}, "終了"),
      Label1(frm, {3840, 360, 4455, 615}, "クイズミチクサ"),
      cmdSogo(frm, {1800, 3120, 2175, 1095}, "トレーニング"),
      cmdCity(frm, {1800, 1320, 2175, 1095}, "ミチクサ"),
      lblTraining(frm, {4200, 3120, 5295, 1095}),
      lblVisit(frm, {4200, 1320, 5175, 1215}),
      cmdTizu(frm, {1800, 5040, 2175, 975}, "市町村地図"),
      lblTizu(frm, {4200, 5040, 5295, 1095}),
      Image1(frm, {9960, 6000, 1890, 1020}),
      lblStatus(frm, {240, 7140, 11850, 735}),
      mnuInfo(frm, "【情　　報】"),
      mnuAsa(mnuInfo, "コモレビ舎"),
      mnuHelp(mnuInfo, "遊び方"),
      mnuKankyo(frm, "環境作成"),
      cmdFukusyu(frm, {9960, 1320, 2130, 735}, "復習"),
      lblFukusyu(frm, {9960, 2115, 2130, 285}),
      cmdToukei(frm, {9960, 2520, 2130, 615}, "統計"),
      keys(frm),
      session_(session),
      windows_(windows),
      dailyFit_(session, frm, [this](const std::string& text) { lblStatus.setCaption(text); }) {
    Label1.setFont({"HG創英角ﾎﾟｯﾌﾟ体", 24, false});
    Label1.setForeColor(kRed);
    Label1.setAlignment(ui::Align::Center);
    cmdEnd.setFont({"ＭＳ Ｐゴシック", 12, true});
    cmdCity.setFont(kButtonFont);
    cmdSogo.setFont(kButtonFont);
    cmdTizu.setFont(kButtonFont);
    for (ui::Label* l : {&lblVisit, &lblTraining, &lblTizu}) l->setForeColor(kDarkGreen);
    lblStatus.setForeColor(ui::paletteColor(4));
    Image1.showLogo();

    cmdEnd.onClick([this] { cmdEnd_Click(); });
    cmdSogo.onClick([this] { cmdSogo_Click(); });
    cmdCity.onClick([this] { cmdCity_Click(); });
    cmdTizu.onClick([this] { cmdTizu_Click(); });
    mnuAsa.onClick([this] { mnuAsa_Click(); });
    mnuHelp.setShortcut("F1");
    mnuHelp.onClick([this] { mnuHelp_Click(); });
    mnuKankyo.onClick([this] { mnuKankyo_Click(); });
    frm.onCloseBox([this] { cmdEnd_Click(); });
    frm.setErrorSink([this](const std::string& message) { lblStatus.setCaption(message); });

    cmdDoko.setFont(kButtonFont);
    cmdDoko.onClick([this] { cmdDoko_Click(); });
    setUpLearning();
}

void frm1Main::load() {
    lblTraining.setCaption(
        "　　クイズのトレーニング\r\n"
        "\r\n"
        "クイズにチャレンジ。自己判断で腕試し\r\n"
        "解説で、問題の理解も出来る");
    lblVisit.setCaption(
        std::string("　　クイズで蓄財して日本一周\r\n"
        "\r\n"
        "クイズでポイントをゲット\r\n"
                    "市町村の民力を上回るポイントをゲットしたら訪問できる\r\n") +
        visitGoal(municipalityCount(session_.io, session_.folders)));
    lblTizu.setCaption(
        "　　市町村（旧）の概略\r\n"
        "\r\n"
        "市町村のリストから地図表示\r\n"
        "地図から市町村名の表示");
    if (!session_.startupDone()) {
        if (!session_.startupNotice.empty()) lblStatus.setCaption(session_.startupNotice);
        // The deck is read once the menu is on screen, and before any item
        // of the menu does anything.
        session_.deckPending = true;
        frm.whenPainted([this] { takeDeck(); });
    }
    frm.whenPainted([this] {
        dailyFit_.start(true);
    });
    showDueCount();
}

void frm1Main::takeDeck() {
    if (!session_.deckPending) return;
    try {
        session_.buildDeck();
    } catch (const FileError& e) {
        lblStatus.setCaption(e.what());
    }
}

std::string visitGoal(std::optional<long long> municipalities) {
    if (!municipalities || *municipalities <= 0) return "全国の市町村をクリアーしよう";
    return "全国" + wideDigits(*municipalities) + "の市町村をクリアーしよう";
}

void frm1Main::mnuHelp_Click() {
    takeDeck();
    windows_.showHelp();
}

void frm1Main::cmdEnd_Click() { windows_.endProgram(); }

void frm1Main::cmdSogo_Click() {
    takeDeck();
    windows_.showSogo();
    windows_.unload(WindowId::Main);
}

void frm1Main::cmdCity_Click() {
    takeDeck();
    windows_.showVisitGame();
    windows_.unload(WindowId::Main);
}

void frm1Main::cmdTizu_Click() {
    takeDeck();
    windows_.showMap();
}

void frm1Main::cmdDoko_Click() {
    takeDeck();
    windows_.showWhere();
}

void frm1Main::mnuAsa_Click() {
    takeDeck();
    session_.setStartupFlag();
    windows_.showInfo();
}

void frm1Main::mnuKankyo_Click() {
    takeDeck();
    session_.setStartupFlag();
    windows_.showKankyo();
}

}  // namespace tabinowa
