// SPDX-License-Identifier: GPL-3.0-or-later
// "どこでしょう": a question, a right and a wrong answer, the end of a round and
// all Japan.
#include "where_shots.h"

#include <iostream>
#include <string>

#include "common.h"
#include "core/base/random.h"
#include "core/session/session.h"
#include "core/files/error.h"
#include "core/files/io.h"
#include "screens/frm2Doko.h"
#include "core/map/outlines.h"
#include "screens/frm1Main.h"
#include "screens/window_manager.h"
#include "ui/application.h"

namespace fs = std::filesystem;

namespace tabinowa::shots {
namespace {

bool hasWhereFiles(const AppFolders& f) {
    return fs::exists(f.cityRecords()) && fs::exists(f.rangeFile()) && fs::exists(outlineFile(f));
}

void noMadeUpSet(const AppFolders&) {}

// A point inside the shape of the current question's answer, or inside another.
MapPoint answerPoint(const frm2Doko& w, bool right) {
    const WherePlace& place = w.round()->current();
    if (place.old && right) return place.dot;
    const auto& shapes = w.area()->shapes;
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if (shapes[i].kind != MapShape::Kind::Municipality) continue;
        if ((static_cast<int>(i) == place.shape) == right) return pointInside(shapes[i]);
    }
    throw FileError("答えの場所が見つかりません。");
}

}  // namespace

int shootWhere(const fs::path& out, const fs::path& work) {
    return inTemporaryFolder("tabinowa-where-shots", "どこでしょう", [&](const fs::path& mine, int& failures) {
        const AppFolders f = prepareCopy(work, mine, "どこでしょう", hasWhereFiles, noMadeUpSet);
        if (!hasWhereFiles(f)) {
            std::cout << "どこでしょう: 出荷データがないため撮りません\n";
            return;
        }
        PosixIo io;
        MtRandom random(14);
        Session session(mine, io, random);
        session.setStartupFlag();
        WindowManager windows(session, [] {});
        windows.start();
        windows.main()->cmdDoko.click();
        ui::Application::processEvents();
        auto* w = static_cast<frm2Doko*>(windows.window(WindowId::Doko));
        if (!w) throw FileError("どこでしょうの画面を開けませんでした。");
        double clock = 0;
        w->setClockForTests([&clock] { return clock; });
        auto save = [&](const std::string& state) {
            if (!saveShot(w->frm, out / ("where-" + state + ".png"))) ++failures;
        };

        // By keyboard at 2×: the cross stepped by the arrows from place to place.
        w->lstKen.clickItem(29);  // 奈良県
        w->picMap.setFocus();
        w->picMap.pressKey(ui::MapKey::ZoomIn);
        for (ui::MapKey k : {ui::MapKey::Down, ui::MapKey::Down, ui::MapKey::Down, ui::MapKey::Left})
            w->picMap.pressKey(k);
        save("keyboard");
        // A wrong answer while zoomed in: the right place brought into view, named with its prefecture.
        w->picMap.pressKey(ui::MapKey::ZoomIn);
        w->picMap.clickAt(answerPoint(*w, false));
        save("wrong-zoomed");
        w->picMap.pressKey(ui::MapKey::Home);

        w->lstKen.clickItem(13);  // 東京都
        save("question");
        w->picMap.clickAt(answerPoint(*w, true));
        save("right");
        w->picMap.clickAt(answerPoint(*w, false));
        save("wrong");
        for (int i = 0; !w->round()->finished(); ++i) {
            clock += 7;
            w->picMap.clickAt(answerPoint(*w, i % 3 != 0));
        }
        const MapPoint p = pointInside(w->area()->shapes.back());
        w->picMap.moveTo(p);
        save("result");

        w->lstKen.clickItem(48 + 2);  // 関東地方: after 全国, the 47 prefectures, 北海道 and 東北
        w->picMap.clickAt(answerPoint(*w, false));
        save("region");

        w->lstKen.clickItem(48 + 7);  // 九州・沖縄地方, 先島 in an inset
        if (const MapShape* ishigaki = w->area()->find(47207)) w->picMap.moveTo(pointInside(*ishigaki));
        save("region-kyushu");

        w->lstKen.clickItem(0);  // all Japan
        w->picMap.clickAt(answerPoint(*w, true));
        save("japan");
        w->cmdOverview.click();
        save("overview");
        // One find in each of 東京都, 茨城県 and 奈良県: three prefectures visibly coloured.
        for (int pref : {8, 13, 29}) {
            w->lstKen.clickItem(pref);
            w->picMap.clickAt(answerPoint(*w, true));
        }
        w->cmdOverview.click();
        if (const MapShape* tokyo = w->area()->find(13)) w->picMap.moveTo(pointInside(*tokyo));
        if (!saveShot(w->frm, out / "japan-progress.png")) ++failures;
        windows.endProgram();
        ui::Application::processEvents();
    });
}

}  // namespace tabinowa::shots
