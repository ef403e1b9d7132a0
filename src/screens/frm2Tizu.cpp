// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/frm2Tizu.h"

#include <algorithm>
#include <iterator>

#include "core/files/error.h"
#include "core/files/load_checks.h"
#include "core/map/where_round.h"

namespace tabinowa {
namespace {

constexpr ui::Color kListColor = 0xC00000;     // &H00C00000
constexpr ui::Color kWindowColor = 0x0000C0;   // &H000000C0
constexpr ui::Color kProfileColor = 0x004040;  // &H00004040
constexpr ui::Color kCountColor = 0x800000;    // &H00800000
constexpr ui::Color kTitleColor = 0x0000FF;    // &H000000FF
constexpr ui::Color kWhite = ui::rgb(255, 255, 255);

constexpr int kDrawColor = 12;    // palette entry: the drawing colour, the numbers
constexpr int kCircleColor = 4;   // palette entry: the circles
constexpr int kPointedColor = 7;  // palette entry: the name label over a circle

ui::Font font(const char* name, double size, bool bold) { return ui::Font{name, size, bold}; }

constexpr ui::Color kDotColor = ui::rgb(0xd0, 0x1c, 0x1c);

std::string joinMessages(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + "\r\n" + b;
}

}  // namespace

frm2Tizu::frm2Tizu(Session& session, WindowManager& windows)
    : frm("市町村地図－「コモレビ舎」", 20265, 10545),
      lstKen(frm, {0, 840, 1335, 8700}),
      lstCity(frm, {1320, 840, 1335, 9420}),
      // The box holds the whole prefecture picture (505 × 503 pixels) inside its border.
      picTizu(frm, {2640, 840, 7635, 7605}),
      zoom(picTizu, frm, {2700, 8460, 2580, 420}),
      // The name label sits on the bottom edge of the map. The box's sunken
      // border (2 pixels each side) takes 60 twips of the designed height, so
      // the label is raised by 90 twips, from 7320, to show whole.
      lblCityName(picTizu, {4800, 7230, 2655, 255}),
      lblCitySu(frm, {120, 9720, 1095, 495}),
      lblCity(frm, {10320, 480, 3255, 255}),
      lblVisit(frm, {10320, 840, 9855, 7935}),
      Command1(frm, {16440, 0, 1815, 735}, "メニューに戻る"),
      Label1(frm, {0, 480, 1335, 255}, "①都道府県"),
      Label2(frm, {1320, 480, 1335, 255}, "②市町村"),
      Label3(frm, {6360, 120, 3615, 615}, "市町村地図と概略"),
      Label4(frm, {120, 120, 5415, 375}, "リストの市町村をクリックすると、地図位置を表示・市町村の概略を表示"),
      Label5(frm, {5400, 8520, 4695, 375}, "地図の小さい○にマウスをポイントすると、市町村名を表示"),
      cmdPaper(frm, {14280, 60, 2040, 615}, "印刷・PDF…"),
      session_(session),
      windows_(windows) {
    frm.setForeColor(kWindowColor);
    lstKen.setForeColor(kListColor);
    lstCity.setForeColor(kListColor);
    picTizu.setBackColor(kWhite);
    lblCityName.setOpaque(true);
    lblCityName.setBackColor(kWhite);
    lblCityName.setForeColor(kWindowColor);
    lblCitySu.setForeColor(kCountColor);
    lblCity.setFont(font("ＭＳ Ｐゴシック", 9.75, true));
    lblCity.setForeColor(kProfileColor);
    lblVisit.setForeColor(kProfileColor);
    // A long profile or message may use the column down to the window's foot.
    lblVisit.setRoom({10320, 840, 9855, 10545 - 840 - 60});
    Command1.setFont(font("ＭＳ Ｐゴシック", 12, true));
    Label1.setForeColor(kListColor);
    Label2.setForeColor(kListColor);
    Label3.setFont(font("HGP創英角ﾎﾟｯﾌﾟ体", 20.25, false));
    Label3.setForeColor(kTitleColor);

    frm.setErrorSink([this](const std::string& message) { lblVisit.setCaption(message); });
    lstKen.onClick([this](int p) { lstKen_Click(p); });
    lstCity.onClick([this](int p) { lstCity_Click(p); });
    picTizu.onMouseMove([this](double x, double y) { picTizu_MouseMove(x, y); });
    Command1.onClick([this]() { Command1_Click(); });
    cmdPaper.onClick([this]() { windows_.showPaper(chosenKen_ > 0 ? chosenKen_ : -1); });
    frm.onCloseBox([this]() { Command1_Click(); });

    zoom.onNeedArea([this] { return loadZoomedMap(); });
    // The pointer over the view is tested against the same circles in the same twips.
    zoom.view.onPointer([this](MapPoint p) { picTizu_MouseMove(p.x, p.y); });
    zoom.view.onLeave([this] { showPointerName(""); });
    zoom.view.setNamer([this](int shape, MapPoint p) -> std::string {
        if (auto hit = hitTest(circles_, p.x, p.y)) return tipName(circles_[*hit]);
        for (std::size_t r = 0; r < rowShapes_.size(); ++r)
            if (shape >= 0 && rowShapes_[r] == shape) return trimmedName(rows_[r].name12);
        return {};
    });
}

void frm2Tizu::load() {
    lstKen.clear();
    ken_ = loadRanges(session_.io, session_.folders);
    for (const auto& k : ken_) lstKen.addItem(k.listEntry());
}

std::string frm2Tizu::loadMap() {
    try {
        picTizu.loadPicture(session_.folders.picture(chosenKen_));
        return {};
    } catch (const FileError& e) {
        picTizu.clearPicture();
        return e.what();
    }
}

void frm2Tizu::drawCircles(const std::vector<Circle>& circles) {
    picTizu.setForeColor(ui::paletteColor(kDrawColor));
    std::vector<ui::PictureBox::Point> centres;
    centres.reserve(circles.size());
    for (const auto& c : circles) centres.push_back({static_cast<double>(c.x), static_cast<double>(c.y)});
    picTizu.circles(centres, kCircleRadius, ui::paletteColor(kCircleColor));
}

void frm2Tizu::lstKen_Click(int position) {
    if (position < 0 || position >= static_cast<int>(ken_.size())) return;
    chosenKen_ = position + 1;
    lstCity.clear();
    lblCity.setCaption("");
    lblCitySu.setCaption("");
    lblVisit.setCaption("");
    rows_.clear();
    circles_.clear();
    chosenRow_ = 0;
    // The picture, then the records (without the descriptions: they are read
    // when a municipality is chosen, with its map) and their circles. A
    // missing picture leaves the map blank; the list and circles still come.
    const std::string pictureError = loadMap();
    std::string readError;
    try {
        fillCityList(readPrefectureCities(session_.io, session_.folders, ken_[chosenKen_ - 1]));
        drawCircles(circles_);
    } catch (const FileError& e) {
        readError = e.what();
    }
    // The view drops the last prefecture's outlines; its dots are this one's.
    zoom.forget();
    area_.reset();
    showDotsAndMarks();
    if (!readError.empty()) {
        lblVisit.setCaption(joinMessages(pictureError, readError));
        return;
    }
    lblCitySu.setCaption(circleCountText(circles_.size()));
    showPointerName("");
    // A missing picture leaves the map blank; the lists still work.
    if (!pictureError.empty()) lblVisit.setCaption(pictureError);
}

void frm2Tizu::fillCityList(PrefectureCities p) {
    lstCity.addItems(p.entries);
    rows_ = std::move(p.rows);
    circles_ = std::move(p.circles);
}

void frm2Tizu::lstCity_Click(int position) {
    if (chosenKen_ < 1 || position < 0 || position >= static_cast<int>(rows_.size())) return;
    const int c = position + 1;

    // The map again: the picture, every circle of the prefecture, and the old
    // municipalities read afresh into the rows. The hit-test table stays.
    const std::string pictureError = loadMap();
    const auto cities = readCities(session_.io, session_.folders, ken_[chosenKen_ - 1]);
    refreshOldTowns(rows_, cities);
    std::vector<Circle> all;
    for (const auto& city : cities) {
        auto circles = circlesOf(city);
        all.insert(all.end(), std::make_move_iterator(circles.begin()), std::make_move_iterator(circles.end()));
    }
    drawCircles(all);

    CityRow& row = rows_[static_cast<std::size_t>(c - 1)];
    chosenRow_ = c;
    chosenRecNo_ = row.recNo;
    lblCity.setCaption(headerText(row));
    lblVisit.setCaption("");
    const std::string statistics = statisticsText(row);
    const std::string oldTowns = oldTownList(row, kMapOldNameWidth);
    picTizu.setForeColor(ui::paletteColor(kDrawColor));
    for (const auto& m : numberMarks(row)) {
        picTizu.setCurrentX(m.x);
        picTizu.setCurrentY(m.y);
        picTizu.printNumber(m.number);
    }
    lblVisit.setCaption(joinMessages(statistics + oldTowns, pictureError));
    chosenMinryoku_ = row.minryoku;
    showDotsAndMarks();
}

void frm2Tizu::showDotsAndMarks() {
    std::vector<ui::MapView::Dot> dots;
    dots.reserve(circles_.size());
    for (const Circle& c : circles_) dots.push_back({static_cast<double>(c.x), static_cast<double>(c.y), kDotColor});
    zoom.view.setDots(std::move(dots));
    std::vector<ui::MapView::Mark> marks;
    zoom.view.clearFills();
    if (chosenRow_ > 0) {
        const CityRow& row = rows_[static_cast<std::size_t>(chosenRow_ - 1)];
        for (std::size_t k = 0; k < row.old.size(); ++k)
            marks.push_back({static_cast<int>(k) + 1, static_cast<double>(row.old[k].x), static_cast<double>(row.old[k].y)});
        const std::size_t r = static_cast<std::size_t>(chosenRow_ - 1);
        if (area_ && r < rowShapes_.size() && rowShapes_[r] >= 0) zoom.view.setFill(rowShapes_[r], ui::rgb(0xf9, 0xe0, 0xa8));
    }
    zoom.view.setMarks(std::move(marks));
}

bool frm2Tizu::loadZoomedMap() {
    if (chosenKen_ < 1) return false;
    try {
        area_ = std::make_shared<MapArea>(readOutlineArea(session_.io, outlineFile(session_.folders), chosenKen_));
    } catch (const FileError& e) {
        area_.reset();
        // Asked for by a mere move of the pointer too: the profile stays, the reason goes below it.
        lblVisit.setCaption(joinMessages(lblVisit.caption(), e.what()));
        return false;
    }
    rowShapes_ = shapesOfRows(*area_, rows_);
    zoom.view.setArea(area_);
    std::vector<ui::MapView::Label> labels;
    for (std::size_t r = 0; r < rows_.size(); ++r) labels.push_back({rowShapes_[r], trimmedName(rows_[r].name12)});
    zoom.view.setLabels(std::move(labels));
    showDotsAndMarks();
    return true;
}

void frm2Tizu::showPointerName(const std::string& name) {
    if (name.empty()) {
        lblCityName.setBackColor(frm.backColor());
        lblCityName.setCaption("");
    } else {
        lblCityName.setBackColor(ui::paletteColor(kPointedColor));
        lblCityName.setCaption(name);
    }
    // Empty, the label would only hide part of the map.
    lblCityName.setVisible(!name.empty());
}

std::string frm2Tizu::tipName(const Circle& c) {
    const std::string old = trimmedName(c.oldName), now = trimmedName(c.cityName);
    return old == now ? now : old + "（現在の" + now + "）";
}

void frm2Tizu::picTizu_MouseMove(double x, double y) {
    // The design's label; the view names the place beside the pointer itself.
    const auto hit = hitTest(circles_, x, y);
    showPointerName(hit ? pointerName(circles_[*hit]) : "");
}

void frm2Tizu::Command1_Click() {
    // Every file this window reads is closed within its handler: nothing to close here.
    windows_.returnToMenu(WindowId::Tizu);
}

}  // namespace tabinowa
