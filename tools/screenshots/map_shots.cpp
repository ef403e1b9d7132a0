// SPDX-License-Identifier: GPL-3.0-or-later
// The municipality map's screenshots: a prefecture, a municipality, the pointer.
#include "map_shots.h"

#include <QPoint>
#include <QPolygon>

#include <iostream>
#include <string>
#include <vector>

#include "common.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/files/error.h"
#include "core/files/io.h"
#include "core/files/prefectures.h"
#include "core/files/records.h"
#include "core/map/city_table.h"
#include "screens/frm2Tizu.h"
#include "core/map/outlines.h"
#include "screens/frm1Main.h"
#include "screens/window_manager.h"
#include "ui/application.h"

namespace fs = std::filesystem;

namespace tabinowa::shots {
namespace {

// A small made-up prefecture: its records, its range line and its picture.
void makeFixture(const AppFolders& f) {
    const std::vector<Town> towns = {
        {1, "新潟市", 789275, 726, 37000, 360000, 11000, 39000,
         {{"新潟市", 260, 160, "県庁所在地。信濃川の河口に開けた港町"},
          {"豊栄市", 300, 130, "福島潟のほとりの市"},
          {"新津市", 290, 230, "鉄道の町として栄えた"},
          {"白根市", 240, 240, "果樹と大凧合戦の町"},
          {"巻町", 190, 250, "角田山の麓の町"},
          {"亀田町", 270, 200, "亀田縞と米菓の町"}}},
        {1, "長岡市", 266936, 891, 13000, 120000, 5200, 9100,
         {{"長岡市", 280, 330, "花火で知られる城下町"},
          {"山古志村", 320, 370, "錦鯉と棚田の村"},
          {"栃尾市", 350, 320, "油揚げと上杉謙信ゆかりの地"}}},
        {1, "粟島浦村", 350, 9, 30, 120, 0, 3, {{"粟島浦村", 240, 40, "日本海に浮かぶ粟島の村"}}},
    };
    writeTowns(f, towns);
    writePrefectures(f, {{"新潟県", 1, static_cast<int>(towns.size())}});
    drawMap(f.picture(1),
            QPolygon({QPoint(150, 240), QPoint(330, 90), QPoint(420, 110), QPoint(440, 300), QPoint(380, 460),
                      QPoint(230, 420), QPoint(170, 300)}),
            {{QPoint(240, 40), 14, 10}});
}

bool hasCityFiles(const AppFolders& f) {
    return fs::exists(f.cityRecords()) && fs::exists(f.rangeFile()) && fs::exists(f.picture(1));
}

// The municipality with the most old municipalities, as (prefecture position, row position).
std::pair<int, int> richestMunicipality(Io& io, const AppFolders& f, const std::vector<KenHani>& kens) {
    std::pair<int, int> best{0, 0};
    int most = -1;
    for (std::size_t p = 0; p < kens.size(); ++p) {
        const auto cities = readCities(io, f, kens[p]);
        for (std::size_t r = 0; r < cities.size(); ++r)
            if (cities[r].KyuSu > most && fs::exists(f.picture(static_cast<int>(p) + 1))) {
                most = cities[r].KyuSu;
                best = {static_cast<int>(p), static_cast<int>(r)};
            }
    }
    return best;
}

}  // namespace

int shootMap(const fs::path& out, const fs::path& work) {
    return inTemporaryFolder("tabinowa-map-shots", "市町村地図", [&](const fs::path& mine, int& failures) {
        const AppFolders f = prepareCopy(work, mine, "市町村地図", hasCityFiles, makeFixture);
        PosixIo io;
        const auto kens = readRanges(io, f);
        if (kens.empty()) throw FileError("県範囲.csvに都道府県がありません。");
        const auto [ken, row] = richestMunicipality(io, f, kens);

        MtRandom random;
        Session session(mine, io, random);
        session.setStartupFlag();  // the menu only opens the map here
        WindowManager windows(session, [] {});
        windows.setConfirmer([](ui::Form&, const std::string&) { return true; });
        windows.start();
        windows.main()->cmdTizu.click();
        ui::Application::processEvents();
        auto* w = static_cast<frm2Tizu*>(windows.window(WindowId::Tizu));
        if (!w) throw FileError("市町村地図の画面を開けませんでした。");

        auto save = [&](const std::string& state) {
            if (!saveShot(w->frm, out / ("frm2Tizu-" + state + ".png"))) ++failures;
        };

        w->lstKen.clickItem(ken);
        save("prefecture");
        w->lstCity.clickItem(row);
        save("municipality");
        // over an old municipality that now belongs to another name, if there is one
        const CityRow& chosen = w->rows().at(static_cast<std::size_t>(row));
        const OldTown& pointed = chosen.old.size() > 1 ? chosen.old[1] : chosen.old.at(0);
        w->zoom.view.moveTo({static_cast<double>(pointed.x) + 20, static_cast<double>(pointed.y) + 20});
        save("pointer");

        // Zoomed 4x into 東京都's wards, 新宿区 chosen, the pointer on a dot.
        if (kens.size() >= 13 && fs::exists(outlineFile(f))) {
            w->lstKen.clickItem(12);
            w->zoom.zoomIn();
            if (const MapArea* area = w->zoom.view.area(); area && area->find(13104)) {
                const MapPoint shinjuku = pointInside(*area->find(13104));
                w->zoom.view.setZoom(4);
                w->zoom.view.centreOn({shinjuku.x + 900, shinjuku.y});
                const auto& rows = w->rows();
                for (std::size_t r = 0; r < rows.size(); ++r)
                    if (rows[r].name12.rfind("新宿区", 0) == 0) w->lstCity.clickItem(static_cast<int>(r));
                const auto& circles = w->circles();
                if (!circles.empty()) {
                    const Circle& c = circles[circles.size() > 9 ? 9 : 0];
                    w->zoom.view.moveTo({static_cast<double>(c.x) + 10, static_cast<double>(c.y) + 10});
                }
                save("zoom4");
            }
        }
        windows.endProgram();
        ui::Application::processEvents();
    });
}

}  // namespace tabinowa::shots
