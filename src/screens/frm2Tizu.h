// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The municipality map window: a prefecture list, the municipality list of the
// chosen prefecture, the prefecture's map picture with a small circle for every
// old municipality, the chosen municipality's profile with its old
// municipalities numbered on the map, and the name of the circle under the
// pointer. The window only reads files; each handler opens and closes what it
// reads. Its choices (prefecture, municipality) are its own.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/session/session.h"
#include "core/files/prefectures.h"
#include "core/map/city_table.h"
#include "core/map/outlines.h"
#include "screens/window_manager.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/map_view.h"

namespace tabinowa {

class frm2Tizu final : public Window {
public:
    frm2Tizu(Session& session, WindowManager& windows);

    ui::Form& form() override { return frm; }
    // Fills the prefecture list.
    void load() override;

    // Handlers, as the controls call them.
    void lstKen_Click(int position);
    void lstCity_Click(int position);
    void picTizu_MouseMove(double x, double y);
    void Command1_Click();

    // What the window holds, for the windows' tests.
    int chosenPrefecture() const { return chosenKen_; }  // row n, 0 before a choice
    int chosenRow() const { return chosenRow_; }         // row c, 0 before a choice
    int chosenRecNo() const { return chosenRecNo_; }
    std::int32_t chosenMinryoku() const { return chosenMinryoku_; }
    const std::vector<Circle>& circles() const { return circles_; }
    const std::vector<CityRow>& rows() const { return rows_; }

    ui::Form frm;
    ui::ListBox lstKen;
    ui::ListBox lstCity;
    ui::PictureBox picTizu;
    // Over the picture: round dots, numbers apart, the outline and the name
    // of the place under the pointer; zoomed in, the prefecture's outlines.
    ui::ZoomOverlay zoom;
    ui::Label lblCityName;
    ui::Label lblCitySu;
    ui::Label lblCity;
    ui::Label lblVisit;
    ui::CommandButton Command1;
    ui::Label Label1;
    ui::Label Label2;
    ui::Label Label3;
    ui::Label Label4;
    ui::Label Label5;
    // 印刷・PDF for the prefecture chosen.
    ui::CommandButton cmdPaper;

private:
    // Loads the chosen prefecture's outlines into the view, with its circles
    // as dots and the chosen municipality's numbers and fill; false (and the
    // reason in lblVisit) when it cannot.
    bool loadZoomedMap();
    // The view's dots (every circle) and marks (the chosen municipality's old
    // municipalities), with or without the outlines.
    void showDotsAndMarks();
    // The pointer's name label: shown only while it names something.
    void showPointerName(const std::string& name);
    // "甲村（現在の三市）", or the name alone when the two are one.
    static std::string tipName(const Circle& c);
    // Loads the chosen prefecture's picture; when it cannot, leaves the
    // picture blank and returns the message.
    std::string loadMap();
    void drawCircles(const std::vector<Circle>& circles);
    // Shows a prefecture's municipalities in the list and keeps its rows and
    // circles (the circles are drawn once the picture is in place).
    void fillCityList(PrefectureCities p);

    Session& session_;
    WindowManager& windows_;
    std::vector<KenHani> ken_;      // the prefecture table, row n at ken_[n - 1]
    int chosenKen_ = 0;
    std::vector<CityRow> rows_;     // the municipality table, row r at rows_[r - 1]
    std::vector<Circle> circles_;   // the old-municipality table, in drawing order
    int chosenRow_ = 0;
    int chosenRecNo_ = 0;
    std::int32_t chosenMinryoku_ = 0;
    std::shared_ptr<MapArea> area_;  // of the zoomed view
    std::vector<int> rowShapes_;     // row r's outline in area_, at r - 1
};

}  // namespace tabinowa
