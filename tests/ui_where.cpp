// SPDX-License-Identifier: GPL-3.0-or-later
// "どこでしょう" on the offscreen platform over a temporary program folder
// with made-up outlines: a round played by mouse and keyboard, the reach of a
// click at several zooms, old municipalities answered at their dots, all
// Japan, the replay of misses, a damaged map file, and the way back. Then the
// same outlines zoomed in the map window and coloured in the visit game.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/session/session.h"
#include "screens/frm2CityVisit.h"
#include "screens/frm2Doko.h"
#include "screens/frm2Tizu.h"
#include "core/map/outlines.h"
#include "screens/frm1Main.h"
#include "screens/window_manager.h"
#include "support/city_fixture.h"
#include "support/fixed_random.h"
#include "support/game_fixture.h"
#include "support/picture.h"
#include "support/temp_folder.h"
#include "ui/application.h"
#include "ui/display_scale.h"
#include "ui/keys.h"

using namespace tabinowa;
using namespace tabinowa::testing;

namespace {

MapRing square(double x0, double y0, double x1, double y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

MapShape shape(int code, MapRing ring) {
    MapShape s;
    s.code = code;
    s.rings = {std::move(ring)};
    s.ringParts = {0};
    s.finish();
    return s;
}

MapArea areaOf(int id, std::vector<MapShape> shapes) {
    MapArea a;
    a.id = id;
    MapPart main;
    main.frame = {0, 0, 7575, 7545};
    a.parts = {main};
    a.shapes = std::move(shapes);
    return a;
}

City city(int recNo, int ken, const std::string& name, const std::vector<OldSpec>& old) {
    return cityRecord(recNo, ken, name, 494, old);
}

// 甲県: 一町 on the left, 三市 (merged of 甲村 and 乙村) in the middle, 二村 on
// the right; 乙県: 北市 alone. On the map of Japan 甲県 is the left half.
class WhereWindow : public ::testing::Test {
protected:
    WhereWindow() : session(folder.path(), io, random), windows(session, [] {}) {
        const AppFolders f = folder.folders();
        // 甲県's count of 1 is 二村, marked visited below
        writeBytes(f.rangeFile(), sjisLines("1,0,\"甲県\",1,3,1\n2,0,\"乙県\",4,4,0\n"));
        writeCities(f, {
                           city(1, 1, "一町", {{"一町", 1500, 3000, ""}}),
                           city(2, 1, "三市", {{"甲村", 3300, 2000, ""}, {"乙村", 3700, 5000, ""}}),
                           city(3, 1, "二村", {{"二村", 6000, 3000, ""}}),
                           city(4, 2, "北市", {{"北市", 3000, 3000, ""}}),
                       });
        writeBytes(outlineFile(f),
                   encodeOutlines({areaOf(kJapanArea, {shape(1, square(500, 500, 3700, 7000)),
                                                       shape(2, square(3800, 500, 7000, 7000))}),
                                   areaOf(1, {shape(101, square(500, 1000, 2500, 6500)),
                                              shape(102, square(2500, 1000, 4500, 6500)),
                                              shape(103, square(5000, 1000, 7000, 6500))}),
                                   areaOf(2, {shape(201, square(1000, 1000, 6000, 6000))})}));
        for (int k : {1, 2}) writePicture(f.picture(k), 505, 503, Qt::white, "JPEG", 95);
        writeGameQuestions(f, numberedQuestions(3));
        session.quiz.totalCount = 3;
        writeGameMarks(f, 4, {3});  // 二村 visited
        writeGamePoints(f, 0);
    }

    frm2Doko& open() {
        windows.start();
        windows.main()->cmdDoko.click();
        auto* w = static_cast<frm2Doko*>(windows.window(WindowId::Doko));
        if (!w) throw std::runtime_error("no where window");
        w->frm.show();
        ui::Application::processEvents();
        return *w;
    }

    // The middle of the shape of `code` on the map shown.
    static MapPoint middleOf(const frm2Doko& w, int code) { return pointInside(*w.area()->find(code)); }
    static int codeOfAnswer(const frm2Doko& w) {
        return w.area()->shapes[static_cast<std::size_t>(w.round()->current().shape)].code;
    }

    TempProgramFolder folder;
    PosixIo io;
    FixedRandom random{{0.0}};
    Session session;
    WindowManager windows;
};

TEST_F(WhereWindow, ARoundAsksEveryPlaceJudgesClicksAndEndsWithScoreTimeAndMisses) {
    frm2Doko& w = open();
    // The regions follow the prefectures: here the first two hold 甲県 (number 1) and 乙県 (2).
    EXPECT_EQ(w.lstKen.items(), (std::vector<std::string>{"全国", "甲県", "乙県", "北海道地方", "東北地方"}));
    double clock = 100;
    w.setClockForTests([&] { return clock; });
    ASSERT_TRUE(w.lstKen.clickItem(1));
    ASSERT_NE(w.round(), nullptr);
    ASSERT_EQ(w.round()->count(), 3);  // fewer places than a round holds: all of them
    std::vector<std::string> asked;
    // Right, wrong (on another place), wrong (on the sea).
    for (int q = 0; q < 3; ++q) {
        const WherePlace place = w.round()->current();
        asked.push_back(place.name);
        EXPECT_EQ(w.lblQs.caption(), "「" + place.name + "」はどこでしょう？");
        const int answer = codeOfAnswer(w);
        const int answerShape = place.shape;
        if (q == 0) {
            w.picMap.clickAt(middleOf(w, answer));
            EXPECT_EQ(w.picMap.fillOf(answerShape), ui::rgb(0x2e, 0xa0, 0x43));
            EXPECT_EQ(w.lblJudge.caption(), "○ 正解！ " + place.name);
        } else if (q == 1) {
            const int other = answer == 101 ? 103 : 101;
            w.picMap.clickAt(middleOf(w, other));
            EXPECT_EQ(w.picMap.fillOf(w.area()->indexOf(other)), ui::rgb(0xe0, 0x3c, 0x31));
            EXPECT_EQ(w.picMap.blinkingShape(), answerShape);
            EXPECT_EQ(w.lblJudge.caption(), "× 「" + place.name + "」（甲県）は点滅している所です");
        } else {
            clock += 83;
            w.picMap.clickAt({7400, 7400});  // sea, far from every outline
            EXPECT_EQ(w.picMap.blinkingShape(), answerShape);
        }
    }
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"一町", "三市", "二村"}));
    EXPECT_TRUE(w.round()->finished());
    EXPECT_EQ(w.lblQs.caption(), "おしまい　3問中1問正解　時間 1分23秒");
    EXPECT_EQ(w.lstMiss.count(), 2);
    ASSERT_TRUE(w.cmdReplay.isShown());

    // The replay asks exactly the two missed places.
    std::vector<std::string> missed = w.lstMiss.items();
    std::sort(missed.begin(), missed.end());
    ASSERT_TRUE(w.cmdReplay.click());
    EXPECT_EQ(w.round()->count(), 2);
    std::vector<std::string> again;
    while (!w.round()->finished()) {
        again.push_back(w.round()->current().name);
        w.picMap.clickAt(middleOf(w, codeOfAnswer(w)));
    }
    std::sort(again.begin(), again.end());
    EXPECT_EQ(again, missed);
    EXPECT_EQ(w.lblQs.caption().rfind("おしまい　2問中2問正解", 0), 0u) << w.lblQs.caption();
    EXPECT_FALSE(w.cmdReplay.isShown());
}

TEST_F(WhereWindow, AClickCountsWithinEightScreenPixelsOfTheOutlineAtAnyZoom) {
    frm2Doko& w = open();
    ASSERT_TRUE(w.lstKen.clickItem(2));  // 乙県: one place, 1000..6000 twips square
    struct Row {
        double zoom;
        double pixelsOutside;  // left of the outline's left edge, in screen pixels
        bool right;
    } rows[] = {
        {1, 7, true}, {1, 9, false}, {4, 7, true}, {4, 9, false}, {8, 7.5, true}, {8, 8.5, false},
    };
    for (const Row& r : rows) {
        ASSERT_TRUE(w.lstKen.clickItem(2));
        w.picMap.setZoom(r.zoom, MapPoint{1000, 3000});
        const double twips = w.picMap.pixelsToMap(r.pixelsOutside);
        EXPECT_NEAR(twips, r.pixelsOutside * 15 / r.zoom, 1e-6);
        w.picMap.clickAt({1000 - twips, 3000});
        EXPECT_EQ(w.round()->right(), r.right ? 1 : 0) << "zoom " << r.zoom << ", " << r.pixelsOutside << " px";
    }
}

TEST_F(WhereWindow, OldMunicipalitiesAreAnsweredNearTheirDots) {
    frm2Doko& w = open();
    ASSERT_TRUE(w.cmdOld.click());
    EXPECT_EQ(w.cmdOld.caption(), "旧市町村は出さない");
    ASSERT_TRUE(w.lstKen.clickItem(1));
    // Three municipalities and the two old ones of 三市 (a single old one is its municipality).
    ASSERT_EQ(w.round()->count(), 5);
    int olds = 0;
    while (!w.round()->finished()) {
        const WherePlace p = w.round()->current();
        if (!p.old) {
            w.picMap.clickAt(middleOf(w, codeOfAnswer(w)));
            continue;
        }
        ++olds;
        EXPECT_EQ(w.lblQs.caption(), "旧「" + p.name + "」（現在の三市）はどこでしょう？");
        // Inside 三市 but far from this old municipality's dot: wrong; near it: right.
        const int before = w.round()->right();
        w.picMap.clickAt({p.dot.x + (olds == 1 ? 500 : 50), p.dot.y});
        EXPECT_EQ(w.round()->right(), before + (olds == 1 ? 0 : 1)) << p.name;
    }
    EXPECT_EQ(olds, 2);
}

TEST_F(WhereWindow, AllJapanAsksForThePrefectureAndKeysAnswerAtTheCursor) {
    frm2Doko& w = open();
    ASSERT_TRUE(w.lstKen.clickItem(0));
    ASSERT_EQ(w.round()->count(), 4);
    const WherePlace p = w.round()->current();
    EXPECT_EQ(w.lblQs.caption(), "「" + p.name + "」はどの都道府県でしょう？");
    // Keyboard: zoom in at the centre, pan to the answer's prefecture, Enter.
    w.picMap.pressKey(ui::MapKey::ZoomIn);
    EXPECT_GT(w.picMap.zoom(), 1);
    const bool left = p.prefName == "甲県";
    for (int i = 0; i < 6; ++i) w.picMap.pressKey(left ? ui::MapKey::Left : ui::MapKey::Right);
    EXPECT_EQ(w.picMap.highlighted(), p.shape);
    w.picMap.pressKey(ui::MapKey::Enter);
    EXPECT_EQ(w.round()->right(), 1);
    EXPECT_EQ(w.lblJudge.caption(), "○ 正解！ " + p.name + "は" + p.prefName);
    w.picMap.pressKey(ui::MapKey::Home);
    EXPECT_EQ(w.picMap.zoom(), 1);
}

TEST_F(WhereWindow, ARegionAsksItsMunicipalitiesOnOneMapWithTheSameJudging) {
    frm2Doko& w = open();
    ASSERT_TRUE(w.lstKen.clickItem(3));  // 北海道地方: 甲県 alone, 乙県 grey beside it
    ASSERT_NE(w.round(), nullptr);
    EXPECT_FALSE(w.japan());
    ASSERT_EQ(w.round()->count(), 3);
    const MapArea& a = *w.area();
    ASSERT_NE(a.find(101), nullptr);
    ASSERT_NE(a.find(103), nullptr);
    EXPECT_EQ(a.find(201), nullptr) << "another region's municipality";
    // Fitted to the map: 甲県's land spans it, west to east, with the sea around.
    EXPECT_NEAR(a.find(101)->box.left, 300, 1);
    EXPECT_NEAR(a.find(103)->box.right, 7575 - 300, 1);
    EXPECT_TRUE(std::any_of(a.shapes.begin(), a.shapes.end(),
                            [](const MapShape& s) { return s.kind == MapShape::Kind::Neighbour; }));
    // The same judging: right inside, wrong elsewhere; zoomed in too.
    const WherePlace first = w.round()->current();
    EXPECT_EQ(w.lblQs.caption(), "「" + first.name + "」はどこでしょう？");
    w.picMap.setZoom(3, middleOf(w, codeOfAnswer(w)));
    w.picMap.clickAt(middleOf(w, codeOfAnswer(w)));
    EXPECT_EQ(w.round()->right(), 1);
    EXPECT_EQ(w.picMap.fillOf(first.shape), ui::rgb(0x2e, 0xa0, 0x43));
    w.picMap.resetView();
    const int other = codeOfAnswer(w) == 101 ? 103 : 101;
    w.picMap.clickAt(middleOf(w, other));
    EXPECT_EQ(w.round()->right(), 1);
    EXPECT_EQ(w.picMap.fillOf(a.indexOf(other)), ui::rgb(0xe0, 0x3c, 0x31));
    // Remembered under the region's map.
    EXPECT_NE(session.memory.book().find("【どこでしょう】北海道地方\n「" + first.name + "」はどこでしょう？\n甲県／" + first.name),
              nullptr);
}

TEST_F(WhereWindow, ZoomAndPanByWheelButtonsAndDragStayOnTheMap) {
    frm2Doko& w = open();
    ASSERT_TRUE(w.lstKen.clickItem(1));
    w.picMap.wheel(1, {1000, 1000}, false);  // without Ctrl the wheel does not zoom
    EXPECT_EQ(w.picMap.zoom(), 1);
    w.picMap.wheel(2, {1000, 1000}, true);
    EXPECT_EQ(w.picMap.zoom(), 2);
    // The point under the pointer stays put.
    const MapPoint at = w.picMap.toView({1000, 1000});
    EXPECT_NEAR(at.x, 1000 / 15.0, 0.5);
    EXPECT_NEAR(at.y, 1000 / 15.0, 0.5);
    const MapBox before = w.picMap.visibleBox();
    w.picMap.drag({3000, 3000}, {2000, 2500});  // drag left and up: the view moves right and down
    const MapBox after = w.picMap.visibleBox();
    EXPECT_NEAR(after.left - before.left, 1000, 2);
    EXPECT_NEAR(after.top - before.top, 500, 2);
    EXPECT_EQ(w.round()->number(), 1) << "a drag is no answer";
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(w.cmdZoomIn.click());
    EXPECT_EQ(w.picMap.zoom(), ui::MapView::kMaxZoom);
    for (int i = 0; i < 40; ++i) w.picMap.panPixels(-100, -100);
    EXPECT_NEAR(w.picMap.visibleBox().left, 0, 1e-6);  // never beyond the map's edge
    EXPECT_NEAR(w.picMap.visibleBox().top, 0, 1e-6);
    ASSERT_TRUE(w.cmdWhole.click());
    EXPECT_EQ(w.picMap.zoom(), 1);
}

TEST_F(WhereWindow, DotsAndThePointersReachGrowWithTheDisplayScale) {
    struct Row {
        double scale;
        double radius;  // the dots' radius in pixels
        bool reached;   // a pointer 12 screen pixels outside 北市 outlines it
    } rows[] = {{1.0, 4, false}, {2.0, 8, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.scale);
        ui::setDisplayScale(r.scale);
        frm2Doko& w = open();
        ASSERT_TRUE(w.lstKen.clickItem(2));
        EXPECT_DOUBLE_EQ(w.picMap.dotRadius(), r.radius);
        const double twipsPerPixel = 15 / r.scale;
        EXPECT_NEAR(w.picMap.pixelsToMap(1), twipsPerPixel, 1e-6);
        w.picMap.moveTo({1000 - 12 * twipsPerPixel, 3000});
        EXPECT_EQ(w.picMap.hovered() == 0, r.reached);
        w.picMap.moveTo({1000 - 20 * twipsPerPixel, 3000});
        EXPECT_EQ(w.picMap.hovered(), -1) << "beyond every reach";
        ASSERT_TRUE(w.Command1.click());
        ui::Application::processEvents();
    }
    ui::setDisplayScale(1.0);
}

TEST_F(WhereWindow, CrowdedNumberedMarksNeverCoverEachOther) {
    // Twenty-five old municipalities (the most a record holds) within a few
    // pixels of each other, as 新潟市's are on its prefecture's picture, at
    // both display scales.
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        ui::setDisplayScale(scale);
        frm2Doko& w = open();
        ASSERT_TRUE(w.lstKen.clickItem(1));
        std::vector<ui::MapView::Dot> dots;
        std::vector<ui::MapView::Mark> marks;
        for (int k = 0; k < 25; ++k) {
            const double x = 3000 + (k % 5) * 30, y = 3000 + (k / 5) * 30;
            dots.push_back({x, y, ui::rgb(0xd0, 0x1c, 0x1c)});
            marks.push_back({k + 1, x, y});
        }
        w.picMap.setDots(dots);
        w.picMap.setMarks(marks);
        const std::vector<MapBox> boxes = w.picMap.markBoxes();
        ASSERT_EQ(boxes.size(), marks.size());
        for (std::size_t i = 0; i < boxes.size(); ++i)
            for (std::size_t j = i + 1; j < boxes.size(); ++j) {
                const MapBox& a = boxes[i];
                const MapBox& b = boxes[j];
                const bool apart = a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
                EXPECT_TRUE(apart) << "marks " << i + 1 << " and " << j + 1;
            }
        ASSERT_TRUE(w.Command1.click());
        ui::Application::processEvents();
    }
    ui::setDisplayScale(1.0);
}

TEST_F(WhereWindow, TheTipNamesPlacesOnlyOutsideARound) {
    frm2Doko& w = open();
    ASSERT_TRUE(w.lstKen.clickItem(2));
    w.picMap.moveTo({3000, 3000});
    EXPECT_EQ(w.picMap.tipText(), "");  // it would give the answer away
    EXPECT_EQ(w.picMap.hovered(), 0);   // but the place is outlined
    w.picMap.clickAt({3000, 3000});
    w.picMap.moveTo({3000, 3100});
    EXPECT_EQ(w.picMap.tipText(), "北市");
    w.picMap.leave();
    EXPECT_EQ(w.picMap.tipText(), "");
    EXPECT_EQ(w.picMap.hovered(), -1);
}

TEST_F(WhereWindow, ADamagedMapFileIsReportedInTheWindow) {
    std::string bytes = readBytes(outlineFile(folder.folders()));
    bytes[bytes.size() - 3] ^= 0x55;
    writeBytes(outlineFile(folder.folders()), bytes);
    frm2Doko& w = open();
    ASSERT_TRUE(w.lstKen.clickItem(2));  // the last area: the damaged one
    EXPECT_NE(w.lblMsg.caption().find("区域.dat"), std::string::npos) << w.lblMsg.caption();
    EXPECT_NE(w.lblMsg.caption().find("壊れています"), std::string::npos) << w.lblMsg.caption();
    EXPECT_EQ(w.round(), nullptr);
    ASSERT_TRUE(w.lstKen.clickItem(1));  // the others still play
    EXPECT_NE(w.round(), nullptr);
}

// By the keyboard alone, as fast as by the mouse: a map chosen in the list,
// one Tab reaches it, Page Down goes to a prefecture and Enter answers there.
TEST_F(WhereWindow, OneTabLeadsFromTheListToTheMapWhereTheKeysAnswer) {
    frm2Doko& w = open();
    const auto typeKey = [](Qt::Key key) {
        QCoreApplication::processEvents();
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr) << "no control has the keyboard";
        QTest::keyClick(target, key);
        QCoreApplication::processEvents();
    };
    ui::focus(w.lstKen);
    typeKey(Qt::Key_Down);
    ASSERT_NE(w.round(), nullptr) << "no map chosen by the list's keys";
    ASSERT_EQ(w.round()->number(), 1);
    typeKey(Qt::Key_Tab);
    ASSERT_TRUE(ui::hasFocus(w.picMap)) << "Tab from the list went elsewhere than the map";
    typeKey(Qt::Key_PageDown);
    EXPECT_GE(w.picMap.highlighted(), 0) << "Page Down reached no prefecture";
    typeKey(Qt::Key_Return);
    EXPECT_EQ(w.round()->number(), 2) << "Enter on the map answered nothing";
    EXPECT_FALSE(w.lblJudge.caption().empty());
}

// On the map of Japan the question names the town alone: where two
// prefectures each have a 一町, either prefecture answers it.
TEST_F(WhereWindow, OnTheMapOfJapanANamesakesPrefectureIsRightToo) {
    const AppFolders f = folder.folders();
    writeBytes(f.rangeFile(), sjisLines("1,0,\"甲県\",1,3,1\n2,0,\"乙県\",4,5,0\n"));
    writeCities(f, {
                       city(1, 1, "一町", {{"一町", 1500, 3000, ""}}),
                       city(2, 1, "三市", {{"甲村", 3300, 2000, ""}, {"乙村", 3700, 5000, ""}}),
                       city(3, 1, "二村", {{"二村", 6000, 3000, ""}}),
                       city(4, 2, "北市", {{"北市", 3000, 3000, ""}}),
                       city(5, 2, "一町", {{"一町", 4000, 4000, ""}}),
                   });
    frm2Doko& w = open();
    ASSERT_TRUE(w.lstKen.clickItem(0));
    ASSERT_EQ(w.round()->count(), 5);
    int namesakes = 0;
    while (!w.round()->finished()) {
        const WherePlace p = w.round()->current();
        const bool inKou = p.prefName == "甲県";
        // 一町 is answered in the other prefecture; every other place in its own.
        const bool other = p.name == "一町";
        namesakes += other;
        const int code = inKou != other ? 1 : 2;
        w.picMap.clickAt(middleOf(w, code));
        EXPECT_EQ(w.lblJudge.caption().rfind("○ 正解！ " + p.name + "は" + (code == 1 ? "甲県" : "乙県"), 0), 0u)
            << p.name << "（" << p.prefName << "）: " << w.lblJudge.caption();
    }
    EXPECT_EQ(namesakes, 2);
    EXPECT_EQ(w.round()->right(), 5);
    EXPECT_TRUE(w.round()->misses().empty());
}

TEST_F(WhereWindow, ArrowsStepFromPlaceToPlaceOnTheWholeMapAndAWrongAnswerNamesThePrefecture) {
    frm2Doko& w = open();
    ASSERT_TRUE(w.lstKen.clickItem(1));  // 甲県: 一町, 三市, 二村 from left to right
    ASSERT_EQ(w.picMap.zoom(), 1);
    const int left = w.area()->indexOf(101), middle = w.area()->indexOf(102), right = w.area()->indexOf(103);
    struct Step { ui::MapKey key; int at; };
    const Step steps[] = {{ui::MapKey::Left, left},   {ui::MapKey::Left, left},   {ui::MapKey::Right, middle},
                          {ui::MapKey::Right, right}, {ui::MapKey::Right, right}, {ui::MapKey::Left, middle}};
    for (const Step& s : steps) {
        w.picMap.pressKey(s.key);
        EXPECT_EQ(w.picMap.highlighted(), s.at) << "the whole map: the cursor moves, not the view";
        EXPECT_EQ(w.picMap.zoom(), 1);
    }
    // Zoomed in, the view follows the cursor to a place outside it.
    w.picMap.pressKey(ui::MapKey::ZoomIn);
    w.picMap.pressKey(ui::MapKey::ZoomIn);
    w.picMap.pressKey(ui::MapKey::Right);
    EXPECT_EQ(w.picMap.highlighted(), right);
    EXPECT_TRUE(w.picMap.visibleBox().contains(w.picMap.cursorPoint()));
    // Enter answers where the cursor is; a wrong answer brings the right place into view and names its prefecture.
    const int answer = w.round()->current().shape;
    const int wrong = answer == left ? right : left;
    while (w.picMap.highlighted() != wrong) w.picMap.pressKey(wrong == left ? ui::MapKey::Left : ui::MapKey::Right);
    const std::string name = w.round()->current().name;
    w.picMap.pressKey(ui::MapKey::Enter);
    EXPECT_EQ(w.lblJudge.caption(), "× 「" + name + "」（甲県）は点滅している所です");
    EXPECT_TRUE(w.picMap.visibleBox().contains(pointInside(w.area()->shapes[static_cast<std::size_t>(answer)])));
}

TEST_F(WhereWindow, AnswersGoIntoTheMemoryAndTheOverviewReadsThemAfterARestart) {
    frm2Doko& w = open();
    ASSERT_TRUE(w.lstKen.clickItem(1));
    std::string foundName, missedName;
    while (!w.round()->finished()) {
        const WherePlace p = w.round()->current();
        if (foundName.empty()) {
            foundName = p.name;
            w.picMap.clickAt(middleOf(w, codeOfAnswer(w)));
        } else {
            if (missedName.empty()) missedName = p.name;
            w.picMap.clickAt({7400, 7400});  // the sea
        }
    }
    EXPECT_EQ(w.lblMsg.caption(), "");
    // Each answer is a card of its own; no bank question was touched.
    const MemoryBook& book = session.memory.book();
    const Card* found = book.find("【どこでしょう】甲県\n「" + foundName + "」はどこでしょう？\n甲県／" + foundName);
    const Card* missed = book.find("【どこでしょう】甲県\n「" + missedName + "」はどこでしょう？\n甲県／" + missedName);
    ASSERT_NE(found, nullptr);
    ASSERT_NE(missed, nullptr);
    EXPECT_EQ(found->right, 1);
    EXPECT_EQ(missed->wrong, 1);
    EXPECT_EQ(book.cards.size(), 3u);

    // The program starts again: the overview colours 甲県 by a third found.
    Session again(folder.path(), io, random);
    WindowManager windows2(again, [] {});
    windows2.start();
    windows2.main()->cmdDoko.click();
    auto* w2 = static_cast<frm2Doko*>(windows2.window(WindowId::Doko));
    ASSERT_NE(w2, nullptr);
    ASSERT_TRUE(w2->cmdOverview.click());
    EXPECT_NEAR(w2->foundShare(1), 1.0 / 3, 1e-9);
    EXPECT_EQ(w2->foundShare(2), 0);
    // A third found is the second step; nothing found keeps the land's colour.
    EXPECT_EQ(w2->picMap.fillOf(w2->area()->indexOf(1)), ui::progressColor(2));
    EXPECT_EQ(w2->picMap.fillOf(w2->area()->indexOf(2)), ui::progressColor(0));
    EXPECT_NE(ui::progressColor(1), ui::progressColor(0));
}

TEST_F(WhereWindow, AMemoryThatCannotBeReadIsReportedAndLeftAsItWas) {
    const std::string broken(4096, 'x');  // not a database
    const auto db = folder.folders().data() / AppFolders::u8path("記憶.db");
    writeBytes(db, broken);
    frm2Doko& w = open();
    ASSERT_TRUE(w.lstKen.clickItem(1));
    w.picMap.clickAt(middleOf(w, codeOfAnswer(w)));
    EXPECT_NE(w.lblMsg.caption().find("記憶.db"), std::string::npos) << w.lblMsg.caption();
    EXPECT_EQ(w.round()->number(), 2) << "the round goes on";
    EXPECT_EQ(w.round()->right(), 1);
    EXPECT_EQ(readBytes(db), broken);
    // The overview still shows what was found in this run.
    ASSERT_TRUE(w.cmdOverview.click());
    EXPECT_NEAR(w.foundShare(1), 1.0 / 3, 1e-9);
}

TEST_F(WhereWindow, TheMenuButtonReturnsToTheMenu) {
    frm2Doko& w = open();
    ASSERT_TRUE(w.Command1.click());
    ui::Application::processEvents();
    EXPECT_FALSE(windows.isLoaded(WindowId::Doko));
    EXPECT_TRUE(windows.isLoaded(WindowId::Main));
}

// ---------------------------------------------------------------- zoom elsewhere

TEST_F(WhereWindow, TheMapWindowZoomsIntoTheOutlinesAndKeepsItsPointerNames) {
    ASSERT_TRUE(windows.showMap());
    auto& w = *static_cast<frm2Tizu*>(windows.window(WindowId::Tizu));
    ASSERT_TRUE(w.lstKen.clickItem(0));
    EXPECT_FALSE(w.zoom.inFront()) << "at 1x the picture shows";
    w.picTizu.moveMouse(3330, 2030);  // on 甲村's circle: the design's hit-test, in twips
    EXPECT_EQ(w.lblCityName.caption(), padChars("甲村", 10) + "現　" + padChars("三市", 20));
    EXPECT_TRUE(w.lblCityName.visible());
    w.picTizu.moveMouse(5000, 5000);
    EXPECT_FALSE(w.lblCityName.visible()) << "an empty name label hides nothing of the map";

    w.picTizu.turnWheel(3300, 2000, 1, true);  // Ctrl+wheel over 甲村
    ASSERT_TRUE(w.zoom.inFront());
    EXPECT_EQ(w.zoom.view.zoom(), 2);
    // The same circles, the same names, now from the outlines.
    w.zoom.view.moveTo({3330, 2030});
    EXPECT_EQ(w.lblCityName.caption(), padChars("甲村", 10) + "現　" + padChars("三市", 20));
    EXPECT_EQ(w.zoom.view.tipText(), "甲村（現在の三市）");
    w.zoom.view.moveTo({3300, 4000});
    EXPECT_EQ(w.zoom.view.tipText(), "三市") << "off the circles the outline's municipality";
    EXPECT_EQ(w.zoom.view.hovered(), w.zoom.view.area()->indexOf(102));
    // A chosen municipality numbers its old ones on the zoomed map too, apart.
    ASSERT_TRUE(w.lstCity.clickItem(1));
    const auto places = w.zoom.view.markPlaces();
    ASSERT_EQ(places.size(), 2u);
    EXPECT_NE(places[0], places[1]);
    // Back to the whole map: the picture again; a new prefecture clears the name.
    ASSERT_TRUE(w.zoom.cmdWhole.click());
    EXPECT_FALSE(w.zoom.inFront());
    w.picTizu.moveMouse(3330, 2030);
    ASSERT_TRUE(w.lblCityName.visible());
    ASSERT_TRUE(w.lstKen.clickItem(1));
    EXPECT_EQ(w.lblCityName.caption(), "");
    EXPECT_FALSE(w.lblCityName.visible());
}

TEST_F(WhereWindow, AtOneTimesTheMapWindowDrawsThePictureWithDotsTheOutlineAndTheNameBesideThePointer) {
    ASSERT_TRUE(windows.showMap());
    auto& w = *static_cast<frm2Tizu*>(windows.window(WindowId::Tizu));
    w.frm.show();
    ASSERT_TRUE(w.lstKen.clickItem(0));
    ASSERT_FALSE(w.zoom.inFront());
    ASSERT_TRUE(w.zoom.view.showsPicture()) << "at 1x the view draws the picture itself";
    EXPECT_EQ(w.zoom.view.area(), nullptr) << "the outlines wait until the pointer needs them";
    EXPECT_EQ(w.zoom.view.paintFrame(), ui::rgb(255, 255, 255)) << "the (white) picture, not the outlines' land";
    EXPECT_EQ(w.zoom.view.dotRadius(), 4);
    struct Row {
        const char* what;
        double x, y;
        const char* tip;  // "": none
        int outlined;     // code of the outlined municipality, 0: none
        bool right;       // the tip right of the pointer
    } rows[] = {
        {"on an old municipality's circle", 3330, 2030, "甲村（現在の三市）", 102, true},
        {"off the circles, inside a municipality", 3300, 4000, "三市", 102, true},
        {"in the sea between two municipalities", 4750, 7200, "", 0, true},
        {"near the right edge: the tip goes left", 6900, 3000, "二村", 103, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        w.zoom.view.moveTo({r.x, r.y});
        ASSERT_NE(w.zoom.view.area(), nullptr);
        EXPECT_TRUE(w.zoom.view.showsPicture());
        EXPECT_EQ(w.zoom.view.tipText(), r.tip);
        EXPECT_EQ(w.zoom.view.hovered(), r.outlined ? w.zoom.view.area()->indexOf(r.outlined) : -1);
        if (!*r.tip) continue;
        const MapBox tip = w.zoom.view.tipBox();
        EXPECT_EQ(tip.left > r.x, r.right);
        EXPECT_GT(tip.top, r.y);
        EXPECT_LE(tip.right, 7575);
    }
    // The design's label keeps its place and text; another prefecture clears both.
    w.zoom.view.moveTo({3330, 2030});
    EXPECT_EQ(w.lblCityName.caption(), padChars("甲村", 10) + "現　" + padChars("三市", 20));
    ASSERT_TRUE(w.lstKen.clickItem(1));
    EXPECT_EQ(w.zoom.view.tipText(), "");
    EXPECT_FALSE(w.lblCityName.visible());
    EXPECT_EQ(w.zoom.view.area(), nullptr);
}

TEST_F(WhereWindow, AZoomRenamesThePlaceUnderThePointerAtOnce) {
    ASSERT_TRUE(windows.showMap());
    auto& w = *static_cast<frm2Tizu*>(windows.window(WindowId::Tizu));
    w.frm.show();
    ASSERT_TRUE(w.lstKen.clickItem(0));
    const std::string kou = padChars("甲村", 10) + "現　" + padChars("三市", 20);
    // Ctrl+wheel keeps the point under the pointer: still 甲村, now from the outlines.
    w.zoom.view.moveTo({3330, 2030});
    ASSERT_EQ(w.lblCityName.caption(), kou);
    w.zoom.view.wheel(1, {3330, 2030}, true);
    ASSERT_TRUE(w.zoom.inFront());
    EXPECT_EQ(w.zoom.view.tipText(), "甲村（現在の三市）");
    EXPECT_EQ(w.lblCityName.caption(), kou);
    // A key zooms about the middle: the pointer stands over 三市 off its
    // circles now, and both names say so before the pointer moves.
    ASSERT_TRUE(w.zoom.cmdWhole.click());
    w.zoom.view.moveTo({3330, 2030});
    ASSERT_TRUE(w.lblCityName.visible());
    w.zoom.view.pressKey(ui::MapKey::ZoomIn);
    ASSERT_GT(w.zoom.view.zoom(), 1);
    EXPECT_EQ(w.zoom.view.tipText(), "三市");
    EXPECT_FALSE(w.lblCityName.visible());
    // Back to the whole map: over 甲村 again.
    w.zoom.view.pressKey(ui::MapKey::Home);
    EXPECT_EQ(w.zoom.view.tipText(), "甲村（現在の三市）");
    EXPECT_EQ(w.lblCityName.caption(), kou);
    EXPECT_TRUE(w.lblCityName.visible());
}

TEST_F(WhereWindow, ADamagedMapFileLeavesTheMapWindowsPictureDotsAndProfile) {
    std::string bytes = readBytes(outlineFile(folder.folders()));
    bytes[bytes.size() / 2] ^= 0x55;
    writeBytes(outlineFile(folder.folders()), bytes);
    ASSERT_TRUE(windows.showMap());
    auto& w = *static_cast<frm2Tizu*>(windows.window(WindowId::Tizu));
    w.frm.show();
    ASSERT_TRUE(w.lstKen.clickItem(0));
    ASSERT_TRUE(w.lstCity.clickItem(1));
    const std::string profile = w.lblVisit.caption();
    ASSERT_NE(profile, "");
    w.zoom.view.moveTo({3330, 2030});
    EXPECT_EQ(w.zoom.view.area(), nullptr);
    EXPECT_TRUE(w.zoom.view.showsPicture());
    EXPECT_EQ(w.zoom.view.tipText(), "甲村（現在の三市）") << "the circles need no outlines";
    EXPECT_EQ(w.lblCityName.caption(), padChars("甲村", 10) + "現　" + padChars("三市", 20));
    const std::string said = w.lblVisit.caption();
    EXPECT_EQ(said.rfind(profile, 0), 0u) << "the profile stays";
    EXPECT_NE(said.find("区域.dat"), std::string::npos) << said;
    // Said once, not at every move; the zoom stays at the whole map.
    w.zoom.view.moveTo({3400, 2100});
    EXPECT_EQ(w.lblVisit.caption(), said);
    EXPECT_TRUE(w.zoom.cmdZoomIn.click());
    EXPECT_FALSE(w.zoom.inFront());
    EXPECT_EQ(w.zoom.view.zoom(), 1);
}

TEST_F(WhereWindow, TheZoomedMapNeverShowsTheWrongPrefecture) {
    ASSERT_TRUE(windows.showMap());
    auto& w = *static_cast<frm2Tizu*>(windows.window(WindowId::Tizu));
    ASSERT_TRUE(w.lstKen.clickItem(0));
    ASSERT_TRUE(w.zoom.cmdZoomIn.click());
    ASSERT_NE(w.zoom.view.area(), nullptr);
    EXPECT_EQ(w.zoom.view.area()->id, 1);
    ASSERT_TRUE(w.lstKen.clickItem(1));
    EXPECT_FALSE(w.zoom.inFront());
    ASSERT_TRUE(w.zoom.cmdZoomIn.click());
    EXPECT_EQ(w.zoom.view.area()->id, 2);
}

TEST_F(WhereWindow, TheVisitGameColoursVisitedPlacesAndJapanByShare) {
    ASSERT_TRUE(windows.showVisitGame());
    auto& w = *static_cast<frm2CityVisit*>(windows.window(WindowId::CityVisit));
    w.frm.show();
    ASSERT_TRUE(w.lstKen.clickItem(0));
    // At 1x the picture, the municipality under the pointer outlined and named.
    ASSERT_TRUE(w.zoom.view.showsPicture());
    w.zoom.view.moveTo({1500, 3750});
    EXPECT_EQ(w.zoom.view.tipText(), "一町");
    ASSERT_NE(w.zoom.view.area(), nullptr);
    EXPECT_EQ(w.zoom.view.hovered(), w.zoom.view.area()->indexOf(101));
    ASSERT_TRUE(w.cmdColours.click());
    ASSERT_TRUE(w.zoom.inFront()) << "colours show at 1x too";
    EXPECT_EQ(w.zoom.view.zoom(), 1);
    const MapArea& a = *w.zoom.view.area();
    EXPECT_EQ(w.zoom.view.fillOf(a.indexOf(103)), ui::progressColor(3));  // 二村, visited
    EXPECT_FALSE(w.zoom.view.fillOf(a.indexOf(101)).has_value());
    EXPECT_FALSE(w.zoom.view.fillOf(a.indexOf(102)).has_value());
    ASSERT_TRUE(w.cmdColours.click());
    EXPECT_FALSE(w.zoom.inFront());

    // All Japan by the visited counts of 県範囲.csv: 甲県 1 of 3, 乙県 1 of 1.
    writeBytes(folder.folders().rangeFile(), sjisLines("1,0,\"甲県\",1,3,1\n2,0,\"乙県\",4,4,1\n"));
    writeGameMarks(folder.folders(), 4, {3, 4});  // the marks agree with the counts
    windows.unload(WindowId::CityVisit);
    ui::Application::processEvents();
    ASSERT_TRUE(windows.showVisitGame());
    auto& again = *static_cast<frm2CityVisit*>(windows.window(WindowId::CityVisit));
    ASSERT_TRUE(again.cmdJapan.click());
    ASSERT_TRUE(again.zoom.inFront());
    const MapArea& japan = *again.zoom.view.area();
    EXPECT_EQ(japan.id, kJapanArea);
    EXPECT_EQ(again.zoom.view.fillOf(japan.indexOf(2)), ui::progressColor(5));  // 1 of 1
    EXPECT_EQ(again.zoom.view.fillOf(japan.indexOf(1)), ui::progressColor(2));  // 1 of 3
}

}  // namespace
