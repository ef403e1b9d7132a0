// SPDX-License-Identifier: GPL-3.0-or-later
// The municipality map window on the offscreen platform, over a temporary
// program folder: the lists, the circles on the picture, the profile, the name
// under the pointer, missing files, and the way back to the menu.
#include <gtest/gtest.h>

#include <QColor>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/session/session.h"
#include "core/files/cp932.h"
#include "core/files/records.h"
#include "screens/frm2Tizu.h"
#include "screens/frm1Main.h"
#include "screens/window_manager.h"
#include "support/city_fixture.h"
#include "support/fixed_random.h"
#include "support/picture.h"
#include "support/temp_folder.h"
#include "ui/types.h"

using namespace tabinowa;
using namespace tabinowa::testing;

namespace {

struct Old {
    std::string name;
    int x, y;
};

// A municipality of prefecture 1 with 民力 494; each old municipality is
// described as "<name>の説明".
City city(int recNo, const std::string& name, const std::vector<Old>& old) {
    std::vector<OldSpec> described;
    for (const auto& o : old) described.push_back({o.name, o.x, o.y, o.name + "の説明"});
    return cityRecord(recNo, 1, name, 494, described);
}

std::string pad(const std::string& s, std::size_t n) { return padChars(s, n); }

const ui::Color kCircle = ui::paletteColor(4);

class MapWindow : public ::testing::Test {
protected:
    MapWindow() : session(folder.path(), io, random), windows(session, [] {}) {
        const AppFolders f = folder.folders();
        writeBytes(f.rangeFile(), sjisLines("1,0,\"甲県\",1,3,3\n2,0,\"乙県\",4,5,0\n3,0,\"丙県\",6,6,0\n"));
        writeCities(f, {
            city(1, "一町", {{"一町", 1500, 3000}}),
            city(2, "三市", {{"甲村", 3000, 1500}, {"乙村", 3030, 1530}, {"丙町", 4500, 4500}}),
            city(3, "二村", {{"丁村", 6000, 1500}, {"戊村", 6000, 3000}}),
            city(4, "北市", {{"北市", 4500, 6000}}),
            city(5, "南町", {{"南町", 1500, 6000}}),
            city(6, "西村", {{"西村", 6000, 6000}}),
        });
        for (int k : {1, 2}) writePicture(f.picture(k), 505, 503, Qt::white, "JPEG", 95);  // no k3.jpg
    }

    frm2Tizu& open() {
        EXPECT_TRUE(windows.showMap());
        auto* w = static_cast<frm2Tizu*>(windows.window(WindowId::Tizu));
        if (!w) throw std::runtime_error("no map window");
        return *w;
    }

    // A pixel of the circle colour within `reach` pixels of the twips position.
    static bool circleNear(const ui::PictureBox& pic, int xTwips, int yTwips, int reach = 1) {
        const int cx = xTwips / ui::kTwipsPerPixel, cy = yTwips / ui::kTwipsPerPixel;
        for (int y = cy - reach; y <= cy + reach; ++y)
            for (int x = cx - reach; x <= cx + reach; ++x)
                if (x >= 0 && y >= 0 && x < pic.pixelWidth() && y < pic.pixelHeight() && pic.pixel(x, y) == kCircle)
                    return true;
        return false;
    }

    // A light red pixel (a number) in the 16-pixel square whose corner lies
    // 100 twips left of and above the twips position.
    static bool numberNear(const ui::PictureBox& pic, int xTwips, int yTwips) {
        const int x0 = (xTwips - 100) / 15, y0 = (yTwips - 100) / 15;
        for (int y = y0; y < y0 + 16; ++y)
            for (int x = x0; x < x0 + 16; ++x) {
                const ui::Rgb c = ui::toRgb(pic.pixel(x, y));
                if (c.r > 200 && c.g < 120 && c.b < 120) return true;
            }
        return false;
    }

    TempProgramFolder folder;
    PosixIo io;
    FixedRandom random{{}};
    Session session;
    WindowManager windows;
};

}  // namespace

TEST_F(MapWindow, OpensWithThePrefectureListOnly) {
    frm2Tizu& w = open();
    EXPECT_EQ(w.frm.caption(), "市町村地図－「コモレビ舎」");
    EXPECT_EQ(w.lstKen.items(), (std::vector<std::string>{"済\u3000甲県", "\u3000\u3000乙県", "\u3000\u3000丙県"}));
    EXPECT_EQ(w.lstCity.count(), 0);
    for (const ui::Label* l : {&w.lblCityName, &w.lblCitySu, &w.lblCity, &w.lblVisit}) EXPECT_EQ(l->caption(), "");
    // no circles yet: pointing anywhere names nothing
    for (auto [x, y] : {std::pair{1500.0, 3000.0}, std::pair{0.0, 0.0}, std::pair{6000.0, 6000.0}}) {
        w.picTizu.moveMouse(x, y);
        EXPECT_EQ(w.lblCityName.caption(), "");
    }
    EXPECT_TRUE(w.circles().empty());
    // the name label lies wholly inside the map's border
    EXPECT_EQ(w.lblCityName.geometry(), (ui::Rect{4800, 7230, 2655, 255}));
    EXPECT_LE(7230 + 255, w.picTizu.pixelHeight() * ui::kTwipsPerPixel);
}

TEST_F(MapWindow, PrefectureListsMunicipalitiesAndDrawsCircles) {
    frm2Tizu& w = open();
    ASSERT_TRUE(w.lstKen.clickItem(0));
    EXPECT_EQ(w.lstCity.items(), (std::vector<std::string>{pad("一町", 20), pad("三市", 20), pad("二村", 20)}));
    EXPECT_EQ(w.lblCitySu.caption(), "旧市町村数、6");
    EXPECT_EQ(w.lblVisit.caption(), "");

    // each circle lands at its twips position on the picture, in dark red
    for (auto [x, y] : {std::pair{1500, 3000}, std::pair{3000, 1500}, std::pair{4500, 4500}, std::pair{6000, 3000}})
        EXPECT_TRUE(circleNear(w.picTizu, x, y)) << x << "," << y;
    EXPECT_FALSE(circleNear(w.picTizu, 4500, 6000, 3));  // another prefecture's
    EXPECT_EQ(w.picTizu.pixel(1500 / 15 + 5, 3000 / 15), ui::rgb(255, 255, 255));

    // the name under the pointer
    struct Case {
        double x, y;
        std::string shown;
    };
    const Case cases[] = {
        {1560, 3060, pad("一町", 20)},                              // did not merge
        {3010, 1510, pad("甲村", 10) + "現\u3000" + pad("三市", 20)},  // overlap: the first drawn
        {3090, 1590, pad("乙村", 10) + "現\u3000" + pad("三市", 20)},
        {1561, 3000, ""},
    };
    for (const auto& c : cases) {
        w.picTizu.moveMouse(c.x, c.y);
        EXPECT_EQ(w.lblCityName.caption(), c.shown) << c.x << "," << c.y;
        EXPECT_EQ(w.lblCityName.backColor(), c.shown.empty() ? w.frm.backColor() : ui::paletteColor(7));
    }
}

TEST_F(MapWindow, MunicipalityShowsProfileAndNumbers) {
    frm2Tizu& w = open();
    w.lstKen.clickItem(0);
    ASSERT_TRUE(w.lstCity.clickItem(1));
    const std::string profile =
        "\u3000人口：10000人\u3000面積：50平方ｋｍ\u3000人口密度：200\u3000事業所数：400所\u3000従業員数：3000人"
        "\u3000工業出荷額：100億円\u3000商業販売額：200億円\r\n"
        "1 " + pad("甲村", 12) + "甲村の説明\r\n2 " + pad("乙村", 12) + "乙村の説明\r\n3 " + pad("丙町", 12) +
        "丙町の説明\r\n";
    EXPECT_EQ(w.lblCity.caption(), pad("三市", 7) + "\u3000民力：494");
    EXPECT_EQ(w.lblVisit.caption(), profile);
    EXPECT_EQ(w.chosenRecNo(), 2);
    EXPECT_EQ(w.chosenMinryoku(), 494);
    EXPECT_EQ(w.circles().size(), 6u);  // choosing a municipality keeps the hit-test table

    // the numbers: light red, printed from 100 twips left of and above each circle
    EXPECT_TRUE(numberNear(w.picTizu, 4500, 4500));
    EXPECT_FALSE(numberNear(w.picTizu, 1500, 3000));  // not the chosen municipality's
    EXPECT_TRUE(circleNear(w.picTizu, 6000, 3000));  // every circle drawn again

    // the same choice again gives the same texts
    w.lstCity.clickItem(1);
    EXPECT_EQ(w.lblVisit.caption(), profile);
    EXPECT_EQ(w.lblCity.caption(), pad("三市", 7) + "\u3000民力：494");
}

TEST_F(MapWindow, AnotherPrefectureClearsCirclesAndLabels) {
    frm2Tizu& w = open();
    w.lstKen.clickItem(0);
    w.lstCity.clickItem(0);
    ASSERT_NE(w.lblCity.caption(), "");
    ASSERT_TRUE(w.lstKen.clickItem(1));
    EXPECT_EQ(w.lblCity.caption(), "");
    EXPECT_EQ(w.lblVisit.caption(), "");
    EXPECT_EQ(w.lblCitySu.caption(), "旧市町村数、2");
    EXPECT_EQ(w.lstCity.items(), (std::vector<std::string>{pad("北市", 20), pad("南町", 20)}));
    EXPECT_FALSE(circleNear(w.picTizu, 1500, 3000, 8));  // the old circle and its number are gone
    EXPECT_TRUE(circleNear(w.picTizu, 4500, 6000));
    w.picTizu.moveMouse(1500, 3000);
    EXPECT_EQ(w.lblCityName.caption(), "");
    w.picTizu.moveMouse(1500, 6000);
    EXPECT_EQ(w.lblCityName.caption(), pad("南町", 20));
}

TEST_F(MapWindow, MissingPictureLeavesTheMapBlankAndSaysSo) {
    frm2Tizu& w = open();
    w.lstKen.clickItem(0);
    ASSERT_TRUE(w.lstKen.clickItem(2));
    EXPECT_NE(w.lblVisit.caption().find("k3.jpg"), std::string::npos) << w.lblVisit.caption();
    EXPECT_EQ(w.lstCity.items(), (std::vector<std::string>{pad("西村", 20)}));
    EXPECT_EQ(w.lblCitySu.caption(), "旧市町村数、1");
    EXPECT_FALSE(circleNear(w.picTizu, 1500, 3000, 8));  // nothing of the previous prefecture
    w.picTizu.moveMouse(6000, 6000);
    EXPECT_EQ(w.lblCityName.caption(), pad("西村", 20));
    // the profile still works, with the message under it
    ASSERT_TRUE(w.lstCity.clickItem(0));
    EXPECT_EQ(w.lblCity.caption(), pad("西村", 7) + "\u3000民力：494");
    EXPECT_EQ(w.lblVisit.caption().rfind("\u3000人口：10000人", 0), 0u);
    EXPECT_NE(w.lblVisit.caption().find("k3.jpg"), std::string::npos);
}

TEST_F(MapWindow, MissingFilesAreReportedInTheWindow) {
    std::filesystem::remove(folder.folders().rangeFile());
    frm2Tizu& w = open();
    EXPECT_NE(w.lblVisit.caption().find("県範囲.csv"), std::string::npos) << w.lblVisit.caption();
    EXPECT_EQ(w.lstKen.count(), 0);
    windows.unload(WindowId::Tizu);

    writeBytes(folder.folders().rangeFile(), sjisLines("1,0,\"甲県\",1,3,0\n"));
    std::filesystem::remove(folder.folders().cityRecords());
    frm2Tizu& again = open();
    // named at the load: no prefecture is offered from ranges that cannot be checked
    EXPECT_NE(again.lblVisit.caption().find("市町村.ran"), std::string::npos) << again.lblVisit.caption();
    EXPECT_EQ(again.lstKen.count(), 0);
    EXPECT_EQ(again.lstCity.count(), 0);
    EXPECT_TRUE(again.circles().empty());
    EXPECT_FALSE(std::filesystem::exists(folder.folders().cityRecords()));  // the map never creates it
}

TEST_F(MapWindow, MenuOpensOneMapAndItsButtonsGoBack) {
    session.setStartupFlag();  // no question deck in this folder
    windows.start();
    auto* menu = windows.main();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(menu->cmdTizu.click());
    auto* first = windows.window(WindowId::Tizu);
    ASSERT_NE(first, nullptr);
    menu->cmdTizu.click();
    EXPECT_EQ(windows.window(WindowId::Tizu), first);
    EXPECT_TRUE(windows.isLoaded(WindowId::Main));

    for (bool closeBox : {false, true}) {
        auto& w = open();
        if (closeBox) w.frm.closeBox();
        else w.Command1.click();
        EXPECT_FALSE(windows.isLoaded(WindowId::Tizu)) << closeBox;
        EXPECT_TRUE(windows.isLoaded(WindowId::Main));
        EXPECT_TRUE(session.startupDone());
    }
}

// The map's picture is decoded once for the choices that show it again; a file
// changed on disk in between is read afresh, even at the same size and with its
// modification time put back, and a picture shown again loses what was drawn on it.
TEST_F(MapWindow, APictureChangedOnDiskIsReadAgain) {
    const auto file = folder.folders().picture(1);
    auto writeBmp = [&](QColor colour) { writePicture(file, 505, 503, colour, "BMP"); };
    frm2Tizu& w = open();
    writeBmp(Qt::black);
    ASSERT_TRUE(w.lstKen.clickItem(0));
    ASSERT_EQ(w.picTizu.pixel(20, 20), ui::rgb(0, 0, 0));
    const auto size = std::filesystem::file_size(file);
    const auto time = std::filesystem::last_write_time(file);

    writeBmp(Qt::white);  // in place: same file, same size
    std::filesystem::last_write_time(file, time);
    ASSERT_EQ(std::filesystem::file_size(file), size);
    ASSERT_TRUE(w.lstKen.clickItem(0));
    EXPECT_EQ(w.picTizu.pixel(20, 20), ui::rgb(255, 255, 255));

    // the unchanged picture again: the circles drawn, the numbers of an earlier choice gone
    ASSERT_TRUE(w.lstCity.clickItem(1));
    ASSERT_TRUE(numberNear(w.picTizu, 4500, 4500));
    ASSERT_TRUE(w.lstKen.clickItem(0));
    EXPECT_FALSE(numberNear(w.picTizu, 4500, 4500));
    EXPECT_TRUE(circleNear(w.picTizu, 4500, 4500));
    EXPECT_EQ(w.picTizu.pixel(20, 20), ui::rgb(255, 255, 255));
}

// All the circles of a prefecture go in one call; they look exactly as one
// call per circle draws them.
TEST(MapDrawing, CirclesInOneCallMatchOneCallEach) {
    ui::Form form("circles", 7000, 3500);
    ui::PictureBox each(form, {0, 0, 3375, 3375});
    ui::PictureBox batch(form, {3500, 0, 3375, 3375});
    const std::vector<ui::PictureBox::Point> centres = {
        {1500, 3000}, {1507, 2993}, {1, 1}, {0, 3300}, {3305, 1200}, {-5, 40}, {100.5, 200.25}, {1650, 1650},
    };
    for (auto fill : {std::optional<ui::Color>{}, std::optional<ui::Color>{ui::paletteColor(7)}})
        for (double r : {10.0, 45.0}) {
            for (ui::PictureBox* pic : {&each, &batch}) {
                pic->setBackColor(ui::rgb(255, 255, 255));
                pic->setFillColor(fill);
                pic->cls();
            }
            for (const auto& c : centres) each.circle(c.x, c.y, r, ui::paletteColor(4));
            batch.circles(centres, r, ui::paletteColor(4));
            ASSERT_EQ(each.pixelWidth(), batch.pixelWidth());
            int differing = 0, drawn = 0;
            for (int y = 0; y < each.pixelHeight(); ++y)
                for (int x = 0; x < each.pixelWidth(); ++x) {
                    differing += each.pixel(x, y) != batch.pixel(x, y);
                    drawn += each.pixel(x, y) == ui::paletteColor(4);
                }
            EXPECT_EQ(differing, 0) << "radius " << r << (fill ? ", filled" : "");
            EXPECT_GT(drawn, 0);
        }
}
