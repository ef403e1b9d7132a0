// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/frm2Doko.h"

#include <algorithm>

#include "core/files/error.h"
#include "core/files/io.h"
#include "core/files/load_checks.h"
#include "core/map/city_table.h"
#include "core/map/progress_scale.h"
#include "core/map/regions.h"
#include "ui/keys.h"

namespace tabinowa {
namespace {

constexpr ui::Color kTitleColor = 0x0000FF;
constexpr ui::Color kListColor = 0xC00000;
constexpr ui::Color kQuestionColor = 0x400000;
constexpr ui::Color kRightColor = ui::rgb(0x2e, 0xa0, 0x43);
constexpr ui::Color kWrongColor = ui::rgb(0xe0, 0x3c, 0x31);
constexpr ui::Color kBlinkColor = ui::rgb(0x2e, 0xa0, 0x43);
constexpr ui::Color kDotColor = ui::rgb(0x7a, 0x4a, 0x9a);
constexpr ui::Color kFoundColor = ui::rgb(0x3b, 0x9c, 0x5a);  // a prefecture all found


std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace

frm2Doko::frm2Doko(Session& session, WindowManager& windows)
    : frm("どこでしょう－「コモレビ舎」", 13560, 9240),
      Label1(frm, {120, 120, 4200, 615}, "どこでしょう"),
      Label2(frm, {120, 840, 1800, 255}, "地図を選ぶ"),
      lstKen(frm, {120, 1140, 1800, 6600}),
      cmdOld(frm, {120, 7860, 1800, 495}, "旧市町村も出す"),
      cmdOverview(frm, {120, 8460, 1800, 495}, "全国の達成度"),
      picMap(frm, {2040, 840, 7575, 7545}),
      cmdZoomIn(frm, {2040, 8460, 600, 495}, "＋"),
      cmdZoomOut(frm, {2700, 8460, 600, 495}, "－"),
      cmdWhole(frm, {3360, 8460, 1200, 495}, "全体を表示"),
      lblHelp(frm, {4680, 8460, 4935, 615},
              "矢印：となりの市町村へ　PageDown／PageUp：次／前の県へ　Enter：十字の所を答える　"
              "＋/－・Ctrl+ホイール：拡大縮小　ドラッグ：移動"),
      lblQs(frm, {9780, 840, 3660, 1215}),
      lblJudge(frm, {9780, 2160, 3660, 615}),
      lblScore(frm, {9780, 2880, 3660, 375}),
      cmdReplay(frm, {9780, 3360, 3660, 495}, "間違えた所をもう一度"),
      lstMiss(frm, {9780, 3960, 3660, 3420}),
      lblMsg(frm, {9780, 7500, 3660, 855}),
      Command1(frm, {11640, 120, 1815, 615}, "メニューに戻る"),
      cmdPaper(frm, {9780, 120, 1740, 615}, "印刷・PDF…"),
      session_(session),
      windows_(windows) {
    Label1.setFont({"HGP創英角ﾎﾟｯﾌﾟ体", 20.25, false});
    Label1.setForeColor(kTitleColor);
    Label2.setForeColor(kListColor);
    lstKen.setForeColor(kListColor);
    lblQs.setFont({"ＭＳ Ｐゴシック", 14.25, true});
    lblQs.setForeColor(kQuestionColor);
    lblJudge.setFont({"ＭＳ Ｐゴシック", 12, true});
    lblScore.setFont({"ＭＳ Ｐゴシック", 10.5, false});
    lblHelp.setForeColor(ui::paletteColor(1));
    lblMsg.setForeColor(ui::paletteColor(4));
    // A file's message with its way out spreads over the column above until whole.
    lblMsg.setRoom({9780, 2160, 3660, 9240 - 2160 - 60});
    Command1.setFont({"ＭＳ Ｐゴシック", 12, true});
    cmdReplay.setVisible(false);
    lstMiss.setVisible(false);  // shown with the places missed, at the end of a round
    // The arrows go from a place to its neighbour, whatever the zoom.
    picMap.setPlaceKeys(true);
    // A map chosen in the list, one Tab leads to it: the keys answer there.
    ui::setTabOrder({&lstKen, &picMap, &cmdZoomIn, &cmdZoomOut, &cmdWhole, &cmdOld, &cmdOverview, &cmdReplay, &lstMiss,
                     &cmdPaper, &Command1});

    frm.setErrorSink([this](const std::string& message) { lblMsg.setCaption(message); });
    lstKen.onClick([this](int p) { lstKen_Click(p); });
    picMap.onClick([this](MapPoint p) { picMap_Click(p); });
    cmdOld.onClick([this]() { cmdOld_Click(); });
    cmdReplay.onClick([this]() { cmdReplay_Click(); });
    cmdOverview.onClick([this]() { cmdOverview_Click(); });
    cmdZoomIn.onClick([this]() { picMap.zoomIn(); });
    cmdZoomOut.onClick([this]() { picMap.zoomOut(); });
    cmdWhole.onClick([this]() { picMap.resetView(); });
    Command1.onClick([this]() { Command1_Click(); });
    cmdPaper.onClick([this]() {
        // The list: all Japan, the prefectures, then the regions.
        const int prefectures = static_cast<int>(ken_.size());
        int area = -1;
        if (chosen_ == 0) area = kJapanArea;
        else if (chosen_ >= 1 && chosen_ <= prefectures) area = chosen_;
        else if (chosen_ > prefectures && chosen_ - 1 - prefectures < static_cast<int>(regionList_.size()))
            area = kRegionAreaBase + regionList_[static_cast<std::size_t>(chosen_ - 1 - prefectures)];
        windows_.showPaper(area);
    });
    frm.onCloseBox([this]() { Command1_Click(); });
    // The tip names a place only once it has been asked and answered, so
    // that the map does not give answers away.
    picMap.setNamer([this](int shape, MapPoint) -> std::string {
        if (!area_ || shape < 0) return {};
        if (round_ && !round_->finished()) return {};
        if (japan_) {
            const int code = area_->shapes[static_cast<std::size_t>(shape)].code;
            if (code < 1 || code > static_cast<int>(ken_.size())) return "";
            std::string name = trimmed(ken_[static_cast<std::size_t>(code - 1)].name());
            if (overview_) {
                const auto [found, count] = foundCount(code);
                name += "　" + progressText(found, count);
            }
            return name;
        }
        for (const WherePlace& p : lastPlaces_)
            if (!p.old && p.shape == shape) return p.name;
        return {};
    });
}

double frm2Doko::now() const {
    if (clock_) return clock_();
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void frm2Doko::load() {
    lstKen.clear();
    ken_ = loadRanges(session_.io, session_.folders);
    std::vector<std::string> entries{"全国"};
    for (const KenHani& k : ken_) entries.push_back(trimmed(k.name()));
    // Then the regions that hold a prefecture of the list.
    regionList_.clear();
    for (std::size_t r = 0; r < regions().size(); ++r) {
        const auto& prefs = regions()[r].prefectures;
        if (std::any_of(prefs.begin(), prefs.end(), [this](int n) { return n <= static_cast<int>(ken_.size()); })) {
            regionList_.push_back(static_cast<int>(r));
            entries.push_back(regions()[r].name);
        }
    }
    lstKen.addItems(entries);
    lblQs.setCaption("地図を選ぶと、問題が始まります。");
}

void frm2Doko::showArea(int id) {
    area_ = std::make_shared<MapArea>(
        readOutlineArea(session_.io, outlineFile(session_.folders), id));
    picMap.setArea(area_);
}

std::vector<WherePlace> frm2Doko::showRegion(const Region& region) {
    // Each prefecture's outlines and places, then all of them on one map.
    const std::filesystem::path file = outlineFile(session_.folders);
    const std::string bytes = readWholeFile(session_.io, file);
    const std::string fileName = file.filename().string();
    const MapArea japan = decodeOutlineArea(bytes, kJapanArea, fileName);
    std::vector<MapArea> areas;
    std::vector<int> numbers;
    for (int n : region.prefectures)
        if (n <= static_cast<int>(ken_.size())) {
            areas.push_back(decodeOutlineArea(bytes, n, fileName));
            numbers.push_back(n);
        }
    std::vector<const MapArea*> pointers;
    for (const MapArea& a : areas) pointers.push_back(&a);
    area_ = std::make_shared<MapArea>(regionArea(kRegionAreaBase + numbers.front(), pointers, &japan, numbers));
    picMap.setArea(area_);
    mapName_ = region.name;
    std::vector<WherePlace> places;
    for (std::size_t i = 0; i < areas.size(); ++i) {
        const KenHani& ken = ken_[static_cast<std::size_t>(numbers[i] - 1)];
        const auto rows = prefectureCities(readCities(session_.io, session_.folders, ken, Descriptions::Skip)).rows;
        for (WherePlace p : prefecturePlaces(areas[i], rows, ken.name(), false)) {
            p.shape = area_->indexOf(areas[i].shapes[static_cast<std::size_t>(p.shape)].code);
            if (p.shape >= 0) places.push_back(std::move(p));
        }
    }
    return places;
}

void frm2Doko::lstKen_Click(int position) {
    lblMsg.setCaption("");
    overview_ = false;
    round_.reset();
    lastPlaces_.clear();
    chosen_ = position;
    japan_ = position == 0;
    std::vector<WherePlace> places;
    const int region = position - 1 - static_cast<int>(ken_.size());
    if (japan_) {
        mapName_ = "全国";
        showArea(kJapanArea);
        for (std::size_t n = 0; n < ken_.size(); ++n) {
            const auto rows = prefectureCities(readCities(session_.io, session_.folders, ken_[n], Descriptions::Skip)).rows;
            addJapanPlaces(places, *area_, rows, ken_[n].name(), static_cast<int>(n) + 1);
        }
        acceptNamesakes(places);
    } else if (region >= 0) {
        if (region >= static_cast<int>(regionList_.size())) return;
        places = showRegion(regions()[static_cast<std::size_t>(regionList_[static_cast<std::size_t>(region)])]);
    } else {
        if (position < 1 || position > static_cast<int>(ken_.size())) return;
        showArea(position);
        const KenHani& ken = ken_[static_cast<std::size_t>(position - 1)];
        mapName_ = trimmed(ken.name());
        const auto rows = prefectureCities(readCities(session_.io, session_.folders, ken, Descriptions::Skip)).rows;
        places = prefecturePlaces(*area_, rows, ken.name(), withOld_);
        if (withOld_) {
            std::vector<ui::MapView::Dot> dots;
            for (const WherePlace& p : places)
                if (p.old) dots.push_back({p.dot.x, p.dot.y, kDotColor});
            picMap.setDots(std::move(dots));
        }
    }
    lastPlaces_ = places;
    startRound(std::move(places));
}

void frm2Doko::startRound(std::vector<WherePlace> places) {
    picMap.clearFills();
    lstMiss.clear();
    lstMiss.setVisible(false);
    cmdReplay.setVisible(false);
    lblJudge.setCaption("");
    if (places.empty()) {
        round_.reset();
        lblQs.setCaption("この地図には問題にできる所がありません。");
        return;
    }
    round_.emplace(std::move(places), session_.random, kRoundLength);
    startedAt_ = now();
    showQuestion();
}

void frm2Doko::showQuestion() {
    lblQs.setCaption(whereQuestion(round_->current(), japan_));
    asked_.start();
    lblScore.setCaption(std::to_string(round_->number()) + "／" + std::to_string(round_->count()) + "問　正解 " +
                        std::to_string(round_->right()));
}

void frm2Doko::picMap_Click(MapPoint p) {
    if (!round_ || round_->finished() || !area_) return;
    const WherePlace place = round_->current();
    picMap.clearFills();
    const WhereVerdict v = round_->answer(*area_, p, picMap.pixelsToMap(kAnswerReachPixels));
    if (v.right) {
        picMap.setFill(v.answer, kRightColor);
        lblJudge.setForeColor(kRightColor);
        // A namesake's prefecture is named as the one answered.
        std::string pref = trimmed(place.prefName);
        if (japan_ && v.answer != place.shape && v.answer >= 0 && v.answer < static_cast<int>(area_->shapes.size())) {
            const int code = area_->shapes[static_cast<std::size_t>(v.answer)].code;
            if (code >= 1 && code <= static_cast<int>(ken_.size())) pref = trimmed(ken_[static_cast<std::size_t>(code - 1)].name());
        }
        lblJudge.setCaption(japan_ ? "○ 正解！ " + place.name + "は" + pref : "○ 正解！ " + place.name);
        found_[trimmed(place.prefName)].insert(place.name);
    } else {
        if (v.clicked >= 0) picMap.setFill(v.clicked, kWrongColor);
        picMap.blink(v.answer, kBlinkColor);
        // Zoomed in, the right place may lie outside the view: it comes into the middle.
        if (picMap.zoom() > 1 && v.answer >= 0 && v.answer < static_cast<int>(area_->shapes.size()) &&
            !picMap.visibleBox().contains(pointInside(area_->shapes[static_cast<std::size_t>(v.answer)])))
            picMap.centreOn(pointInside(area_->shapes[static_cast<std::size_t>(v.answer)]));
        lblJudge.setForeColor(kWrongColor);
        lblJudge.setCaption("× 「" + place.name + "」（" + trimmed(place.prefName) + "）は点滅している所です");
    }
    remember(place, v.right);
    if (round_->finished()) finishRound();
    else showQuestion();
}

void frm2Doko::remember(const WherePlace& place, bool right) {
    // The answer goes into the memory of every answer; when the memory cannot
    // take it the round goes on, and the window says why once.
    const auto problem = session_.memory
                             .record(whereMemoryQuestion(place, mapName_, japan_), right ? Outcome::Good : Outcome::Again,
                                     session_.today(), activity::kWhere, asked_.seconds())
                             .problem;
    if (problem) lblMsg.setCaption(*problem);
}

void frm2Doko::finishRound() {
    lblQs.setCaption("おしまい　" + round_->resultText(now() - startedAt_));
    lblScore.setCaption("");
    std::vector<std::string> misses;
    for (const WherePlace& p : round_->misses())
        misses.push_back(japan_ ? p.name + "（" + trimmed(p.prefName) + "）" : p.name);
    lstMiss.addItems(misses);
    lstMiss.setVisible(!misses.empty());
    cmdReplay.setVisible(!misses.empty());
}

void frm2Doko::cmdReplay_Click() {
    if (!round_ || !round_->finished() || round_->misses().empty()) return;
    std::vector<WherePlace> misses = round_->misses();
    startRound(std::move(misses));
}

void frm2Doko::cmdOld_Click() {
    withOld_ = !withOld_;
    cmdOld.setCaption(withOld_ ? "旧市町村は出さない" : "旧市町村も出す");
    if (chosen_ > 0) lstKen_Click(chosen_);
}

double frm2Doko::foundShare(int row) const {
    const auto [found, count] = foundCount(row);
    return count <= 0 ? 0 : std::min(1.0, static_cast<double>(found) / count);
}

std::pair<int, int> frm2Doko::foundCount(int row) const {
    if (row < 1 || row > static_cast<int>(ken_.size())) return {0, 0};
    const KenHani& k = ken_[static_cast<std::size_t>(row - 1)];
    const int count = k.endRec() - k.startRec() + 1;
    if (count <= 0) return {0, 0};
    // Found on any day (the memory) or in this run (when the memory could not
    // be read or written).
    std::set<std::string> found;
    if (const auto it = found_.find(trimmed(k.name())); it != found_.end()) found = it->second;
    if (const auto it = remembered_.find(trimmed(k.name())); it != remembered_.end())
        found.insert(it->second.begin(), it->second.end());
    return {std::min(count, static_cast<int>(found.size())), count};
}

void frm2Doko::cmdOverview_Click() {
    lblMsg.setCaption("");
    round_.reset();
    lastPlaces_.clear();
    japan_ = true;
    chosen_ = -1;
    mapName_ = "全国";
    showArea(kJapanArea);
    remembered_.clear();
    try {
        remembered_ = foundInMemory(session_.memory.book());
    } catch (const FileError& e) {
        lblMsg.setCaption(e.what());
    }
    for (int n = 1; n <= static_cast<int>(ken_.size()); ++n) {
        const int shape = area_->indexOf(n);
        const auto [found, count] = foundCount(n);
        if (shape >= 0) picMap.setFill(shape, ui::progressColor(progressStep(found, count)));
    }
    picMap.setProgressLegend();
    overview_ = true;
    lblQs.setCaption("全国の達成度：見つけた割合の段階で色分け。地図を指すと割合が出ます。");
    lblJudge.setCaption("");
    lblScore.setCaption("");
    lstMiss.clear();
    lstMiss.setVisible(false);
    cmdReplay.setVisible(false);
}

void frm2Doko::Command1_Click() { windows_.returnToMenu(WindowId::Doko); }

}  // namespace tabinowa
