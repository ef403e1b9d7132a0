// SPDX-License-Identifier: GPL-3.0-or-later
// The visit game's screenshots: load, answer, unaffordable, affordable, visited.
#include "game_shots.h"

#include <QPoint>
#include <QPolygon>

#include <algorithm>
#include <optional>
#include <iostream>
#include <string>
#include <vector>

#include "common.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/files/error.h"
#include "core/files/io.h"
#include "core/files/prefectures.h"
#include "core/files/record_file.h"
#include "core/files/records.h"
#include "core/files/visit_state.h"
#include "screens/frm2CityVisit.h"
#include "core/map/outlines.h"
#include "core/map/city_table.h"
#include "screens/frm1Main.h"
#include "screens/window_manager.h"
#include "ui/application.h"

namespace fs = std::filesystem;

namespace tabinowa::shots {
namespace {

// A small made-up set of municipality files, pictures and questions, for a
// program folder without the shipped data.
void makeFixture(const AppFolders& f) {
    PosixIo io;
    const std::vector<Town> towns = {
        {1, "青森市", 275192, 825, 13100, 121000, 1190, 12500,
         {{"青森市", 250, 170, "県庁所在地。陸奥湾に面した港町で、ねぶた祭で知られる"},
          {"浪岡町", 215, 215, "２００５年に青森市と合併。りんごの産地"}}},
        {1, "弘前市", 168466, 524, 8300, 70100, 1810, 6020,
         {{"弘前市", 160, 300, "城下町。弘前城と桜で知られる"},
          {"岩木町", 120, 290, "岩木山の麓の町"},
          {"相馬村", 140, 330, "りんご栽培の村"}}},
        {1, "深浦町", 7868, 488, 450, 2500, 30, 80,
         {{"深浦町", 70, 230, "日本海に面した町"}, {"岩崎村", 55, 160, "白神山地の入口"}}},
        {1, "西目屋村", 1300, 246, 60, 400, 5, 10, {{"西目屋村", 120, 370, "白神山地の村"}}},
        {2, "盛岡市", 289731, 886, 14200, 136000, 1000, 16100,
         {{"盛岡市", 250, 200, "県庁所在地"}, {"玉山村", 280, 150, "２００６年に盛岡市と合併"}}},
        {2, "遠野市", 27000, 825, 1500, 11000, 350, 320, {{"遠野市", 330, 300, "民話の里"}}},
        {3, "秋田市", 307672, 906, 15300, 143000, 2600, 13900, {{"秋田市", 200, 250, "県庁所在地"}}},
        {3, "男鹿市", 26000, 241, 1500, 9000, 130, 250, {{"男鹿市", 90, 230, "なまはげの里"}}},
    };
    writeTowns(f, towns);
    {
        RecordFile marks(io, f.visitMarks(), Homon::kLength);
        for (int n = 1; n <= static_cast<int>(towns.size()); ++n) {
            Homon h;
            h.HomonRec1 = h.HomonRec2 = static_cast<std::int16_t>(n);
            marks.put(n, h.encode());
        }
    }
    writePrefectures(f, {{"青森県", 1, 4}, {"岩手県", 5, 6}, {"秋田県", 7, 8}});
    drawMap(f.picture(1), QPolygon({QPoint(40, 140), QPoint(200, 60), QPoint(300, 120), QPoint(330, 60),
                                    QPoint(420, 90), QPoint(440, 300), QPoint(380, 420), QPoint(200, 440),
                                    QPoint(60, 380)}));
    drawMap(f.picture(2), QPolygon({QPoint(120, 60), QPoint(420, 80), QPoint(460, 420), QPoint(150, 460)}));
    drawMap(f.picture(3), QPolygon({QPoint(60, 80), QPoint(380, 60), QPoint(400, 440), QPoint(80, 430)}));

    if (!fs::exists(f.questionRecords()) || fs::file_size(f.questionRecords()) < Mondai::kLength) {
        RecordFile q(io, f.questionRecords(), Mondai::kLength);
        const std::vector<std::pair<const char*, const char*>> bank = {
            {"青森県の県庁所在地はどこでしょう。", "青森市"},
            {"弘前城のある市はどこでしょう。", "弘前市"},
            {"なまはげで知られる秋田県の市はどこでしょう。", "男鹿市"},
        };
        int n = 1;
        for (const auto& [text, answer] : bank) {
            Mondai m;
            m.Inyo = "県";
            m.InyoNo = static_cast<std::int16_t>(n);
            m.Mondai1 = "県庁所在地の問題";
            m.Mondai2 = text;
            m.Kotae = answer;
            m.DoublePoint = n == 1 ? 1 : 0;
            q.put(n++, withLengths(m).encode("fixture"));
        }
    }
}

bool hasCityFiles(const AppFolders& f) {
    return fs::exists(f.cityRecords()) && fs::exists(f.rangeFile()) && fs::exists(f.visitMarks()) &&
           fs::exists(f.questionRecords()) && fs::file_size(f.questionRecords()) >= Mondai::kLength;
}

}  // namespace

int shootVisitGame(const fs::path& out, const fs::path& work) {
    return inTemporaryFolder("tabinowa-game-shots", "ミチクサ", [&](const fs::path& mine, int& failures) {
        const AppFolders f = prepareCopy(work, mine, "ミチクサ", hasCityFiles, makeFixture);
        PosixIo io;
        // The prefecture shown: the second line (or the first), its cheapest and dearest municipality.
        const auto kens = readRanges(io, f);
        if (kens.empty()) throw FileError("県範囲.csvに都道府県がありません。");
        const int ken = kens.size() >= 2 ? 1 : 0;
        std::vector<CityRow> rows;
        for (const auto& c : readCities(io, f, kens[static_cast<std::size_t>(ken)])) rows.push_back(makeCityRow(c));
        if (rows.size() < 2) throw FileError("市町村が足りません。");
        auto byCost = [](const CityRow& a, const CityRow& b) { return a.minryoku < b.minryoku; };
        const CityRow cheap = *std::min_element(rows.begin(), rows.end(), byCost);
        const CityRow dear = *std::max_element(rows.begin(), rows.end(), byCost);
        // enough for the cheapest, not for the dearest
        std::int32_t points = cheap.minryoku + (dear.minryoku - cheap.minryoku) / 3;
        // 東京都 (its islands under the visit line) visited by keyboard later: enough for its cheapest too.
        const int tokyo = 12;
        std::optional<CityRow> tokyoCheap;
        if (kens.size() > static_cast<std::size_t>(tokyo)) {
            for (const auto& c : readCities(io, f, kens[static_cast<std::size_t>(tokyo)])) {
                const CityRow row = makeCityRow(c);
                if (!tokyoCheap || row.minryoku < tokyoCheap->minryoku) tokyoCheap = row;
            }
            if (tokyoCheap) points += tokyoCheap->minryoku;
        }
        writePoints(io, f, points);

        MtRandom random;
        Session session(mine, io, random);
        WindowManager windows(session, [] {});
        windows.setConfirmer([](ui::Form&, const std::string&) { return true; });
        windows.start();
        windows.main()->cmdCity.click();
        ui::Application::processEvents();
        auto* w = static_cast<frm2CityVisit*>(windows.window(WindowId::CityVisit));
        if (!w) throw FileError("ミチクサの画面を開けませんでした。");

        auto save = [&](const std::string& state) {
            if (!saveShot(w->frm, out / ("frm2CityVisit-" + state + ".png"))) ++failures;
        };
        auto position = [&](int recNo) {
            const auto& listed = w->map().rows();
            for (std::size_t i = 0; i < listed.size(); ++i)
                if (listed[i].recNo == recNo) return static_cast<int>(i);
            return -1;
        };

        save("load");
        w->cmdAns.click();
        save("answer");
        w->lstKen.clickItem(ken);
        w->lstCity.clickItem(position(dear.recNo));
        save("unaffordable");
        w->lstCity.clickItem(position(cheap.recNo));
        save("affordable");
        w->cmdVisit.click();
        save("visited");
        // Answering by choice: the switch on, then a pick.
        w->answerMode.button.click();
        if (w->choices.open() && w->pickChoice(0)) save("choice");
        else std::cout << "選択肢のある問題がありません: frm2CityVisit-choice は作成しません\n";
        w->answerMode.button.click();

        // 東京都 by keyboard: the prefecture list, the municipality list, then
        // V on the visit button; the line sits above the islands' insets.
        if (tokyoCheap) {
            ui::focus(w->lstKen);
            w->lstKen.clickItem(tokyo);
            ui::focus(w->lstCity);
            w->lstCity.clickItem(position(tokyoCheap->recNo));
            ui::focus(w->cmdVisit);
            w->keys.press("Space");
            ui::Application::processEvents();
            save("visited-keyboard");
        }

        // Completion colours: every third municipality of the prefecture marked
        // visited, the prefecture chosen again and coloured; then all Japan.
        if (fs::exists(outlineFile(f))) {
            for (std::size_t r = 0; r < rows.size(); r += 3) setVisited(io, f, rows[r].recNo);
            w->lstKen.clickItem(ken);
            w->cmdColours.click();
            save("visited-colours");
            w->cmdJapan.click();
            save("japan");
        }
        windows.endProgram();
        ui::Application::processEvents();
    });
}

}  // namespace tabinowa::shots
