// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "どこでしょう": names a municipality (old ones too, when asked for) and the
// learner clicks it on the prefecture's map, or its prefecture on the map of
// all Japan. Right fills it green; wrong fills the clicked place red and the
// right one blinks. A round of ten ends with its score, its time and the
// places missed, which can be asked again. The map zooms and pans (Ctrl+wheel,
// ＋/－, drag, arrow keys) and Enter answers the place under the cursor. Every
// answer goes into the memory of every answer, which the overview of all
// Japan reads; the window writes no other file.
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/session/session.h"
#include "core/files/prefectures.h"
#include "core/map/outlines.h"
#include "core/map/regions.h"
#include "core/map/where_round.h"
#include "screens/answer_clock.h"
#include "screens/window_manager.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/map_view.h"

namespace tabinowa {

class frm2Doko final : public Window {
public:
    static constexpr int kRoundLength = 10;
    static constexpr double kAnswerReachPixels = 8;  // a click this near an outline counts

    frm2Doko(Session& session, WindowManager& windows);
    ui::Form& form() override { return frm; }
    // Fills the list: "全国", the prefectures, then the regions ("関東地方").
    void load() override;

    // Handlers, as the controls call them.
    void lstKen_Click(int position);
    void picMap_Click(MapPoint p);
    void cmdOld_Click();
    void cmdReplay_Click();
    void cmdOverview_Click();
    void Command1_Click();

    // For tests and screenshots.
    const WhereRound* round() const { return round_ ? &*round_ : nullptr; }
    bool withOld() const { return withOld_; }
    bool japan() const { return japan_; }
    const MapArea* area() const { return area_.get(); }
    // Share of a prefecture's municipalities found (0..1), list row n: on any
    // day as the memory of every answer had it when the overview was last
    // shown, and in this run.
    double foundShare(int row) const;
    // Municipalities of prefecture row `row` found (on any day or in this run), and its count.
    std::pair<int, int> foundCount(int row) const;
    // Seconds the round is taken to have lasted, instead of the clock.
    void setClockForTests(std::function<double()> seconds) { clock_ = std::move(seconds); }

    ui::Form frm;
    ui::Label Label1;  // title
    ui::Label Label2;  // list caption
    ui::ListBox lstKen;
    ui::CommandButton cmdOld;
    ui::CommandButton cmdOverview;
    ui::MapView picMap;
    ui::CommandButton cmdZoomIn;
    ui::CommandButton cmdZoomOut;
    ui::CommandButton cmdWhole;
    ui::Label lblHelp;
    ui::Label lblQs;
    ui::Label lblJudge;
    ui::Label lblScore;
    ui::CommandButton cmdReplay;
    ui::ListBox lstMiss;
    ui::Label lblMsg;
    ui::CommandButton Command1;
    // 印刷・PDF for the map chosen.
    ui::CommandButton cmdPaper;

private:
    AnswerClock asked_;  // since the question was shown, for the log of answers
    void showArea(int id);
    // Shows a region's map; its places (municipalities only).
    std::vector<WherePlace> showRegion(const Region& region);
    void startRound(std::vector<WherePlace> places);
    void showQuestion();
    void finishRound();
    double now() const;
    void remember(const WherePlace& place, bool right);

    Session& session_;
    WindowManager& windows_;
    std::vector<KenHani> ken_;
    std::shared_ptr<MapArea> area_;
    int chosen_ = -1;  // list position of the map shown
    std::string mapName_;  // "全国", the prefecture's or the region's name, for the memory
    std::vector<int> regionList_;  // the regions listed after the prefectures (index into regions())
    bool japan_ = false;
    bool overview_ = false;  // the map shows what was found, not a round
    bool withOld_ = false;
    std::optional<WhereRound> round_;
    std::vector<WherePlace> lastPlaces_;  // of the map shown, for a new round
    double startedAt_ = 0;
    std::function<double()> clock_;
    // What was found this run: prefecture name -> municipalities answered right.
    std::map<std::string, std::set<std::string>> found_;
    // The same, as read from the memory for the overview.
    std::map<std::string, std::set<std::string>> remembered_;
};

}  // namespace tabinowa
