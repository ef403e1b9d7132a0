// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/frm2Toukei.h"

#include "screens/window_frame.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "core/files/cp932.h"

namespace tabinowa {

namespace {

// Display width in half-width places: ASCII 1, everything else 2.
std::size_t width(const std::string& utf8) {
    std::size_t w = 0;
    for (unsigned char c : utf8) {
        if (c < 0x80) ++w;
        else if ((c & 0xC0) != 0x80) w += 2;
    }
    return w;
}

std::string padRight(const std::string& s, std::size_t w) {
    const std::size_t have = width(s);
    return have >= w ? s : s + std::string(w - have, ' ');
}

std::string padLeft(const std::string& s, std::size_t w) {
    const std::size_t have = width(s);
    return have >= w ? s : std::string(w - have, ' ') + s;
}

std::string dayLabel(std::int32_t day) {
    const CivilDate d = civilDate(day);
    return std::to_string(d.month) + "/" + std::to_string(d.day);
}
}  // namespace

std::string statHeader() {
    return padRight("", 24) + padLeft("問題", 8) + padLeft("見た", 8) + padLeft("正答率", 9) + padLeft("習得", 8);
}

std::string statLine(const StatRow& row) {
    return padRight(row.name, 24) + padLeft(withCommas(row.questions), 8) +
           padLeft(withCommas(row.seen), 8) + padLeft(rightRate(row), 9) + padLeft(withCommas(row.mastered), 8);
}

frm2Toukei::frm2Toukei(Session& session, WindowManager& windows)
    : frm("統計－「コモレビ舎」", 12795, 8655, ui::StartPosition::CenterScreen),
      lblTitle(frm, {3120, 240, 4455, 735}, "統計"),
      cmdToMain(frm, {10680, 240, 1815, 735}, "メニューへ戻る"),
      cmdKinds(frm, {240, 1080, 2175, 495}, "種類別"),
      cmdKen(frm, {2520, 1080, 2175, 495}, "都道府県別"),
      cmdDays(frm, {4800, 1080, 2175, 495}, "日ごとのグラフ"),
      cmdRetention(frm, {7080, 1080, 2175, 495}, "記憶率と時間"),
      lblHeader(frm, {240, 1680, 12255, 255}),
      lstTable(frm, {240, 1935, 12255, 6000}),
      chartBack(frm, {240, 1680, 12255, 3015}),
      chartAhead(frm, {240, 4800, 12255, 3135}),
      chartKinds(frm, {240, 1680, 12255, 2055}),
      chartMonths(frm, {240, 3810, 12255, 2055}),
      chartTime(frm, {240, 5940, 12255, 1995}),
      lblSummary(frm, {240, 8040, 12255, 495}),
      keys(frm),
      session_(session),
      windows_(windows) {
    setUpTitle(lblTitle, {"HG創英角ﾎﾟｯﾌﾟ体", 20.25, false});
    lblTitle.setAlignment(ui::Align::Center);
    lblHeader.setFont({"ＭＳ ゴシック", 10.5, false});
    lstTable.setFont({"ＭＳ ゴシック", 10.5, false});
    lblSummary.setForeColor(0x00004000);
    // A file's message with its way out spreads up over the tables until whole.
    lblSummary.setRoom({240, 1080, 12255, 8655 - 1080 - 60});
    cmdKinds.onClick([this] { cmdKinds_Click(); });
    cmdKen.onClick([this] { cmdKen_Click(); });
    cmdDays.onClick([this] { cmdDays_Click(); });
    cmdRetention.onClick([this] { cmdRetention_Click(); });
    setUpWayBack(frm, cmdToMain, [this] { cmdToMain_Click(); },
                 [this](const std::string& message) { lblSummary.setCaption(message); });
    keys.add("K", [this] { cmdKinds.click(); });
    keys.add("P", [this] { cmdKen.click(); });
    keys.add("D", [this] { cmdDays.click(); });
    keys.add("R", [this] { cmdRetention.click(); });
    keys.add("Escape", [this] { cmdToMain.click(); });
    ui::setToolTip(cmdKinds, "種類別の成績（K）");
    ui::setToolTip(cmdKen, "都道府県別の成績（P）");
    ui::setToolTip(cmdDays, "過去30日の解答数と、これから30日の復習予定（D）");
    ui::setToolTip(cmdRetention, "期限の来た問題の本当の正答率（種類別・月別）と、日ごとの解答時間（R）");
    ui::setToolTip(cmdToMain, "メニューへ戻る（Esc）");
    ui::addLegend(frm, "K：種類別　P：都道府県別　D：日ごとのグラフ　R：記憶率と時間　↑↓：表のスクロール　Tab：移動　Enter：押す　Esc：メニューへ戻る");
    ui::enterClicksFocusedButton(frm);
}

void frm2Toukei::load() {
    bank_ = readBank(session_.io, session_.folders);
    const MemoryBook& book = session_.memory.book();
    const auto total = statsByKind(bank_, book).back();
    lblSummary.setCaption("全" + withCommas(total.questions) + "問　見た " + withCommas(total.seen) + "問　正答率 " +
                          rightRate(total) + "　習得 " + progressLine(total.mastered, total.questions) +
                          "　今日の復習 " + std::to_string(dueCount(bank_, book, session_.today())) + "問");
    cmdKinds_Click();
}

void frm2Toukei::showCharts(bool days, bool retention) {
    lblHeader.setVisible(!days && !retention);
    lstTable.setVisible(!days && !retention);
    chartBack.setVisible(days);
    chartAhead.setVisible(days);
    chartKinds.setVisible(retention);
    chartMonths.setVisible(retention);
    chartTime.setVisible(retention);
}

void frm2Toukei::showTable(const std::vector<StatRow>& rows) {
    showCharts(false, false);
    lblHeader.setCaption(statHeader());
    std::vector<std::string> lines;
    lines.reserve(rows.size());
    for (const auto& r : rows) lines.push_back(statLine(r));
    lstTable.clear();
    lstTable.addItems(lines);
}

void frm2Toukei::cmdKinds_Click() { showTable(statsByKind(bank_, session_.memory.book())); }

void frm2Toukei::cmdKen_Click() { showTable(statsByPrefecture(bank_, session_.memory.book())); }

void frm2Toukei::cmdDays_Click() {
    showCharts(true, false);
    const MemoryBook& book = session_.memory.book();
    const std::int32_t today = session_.today();
    const auto back = answersLast30(book, today);
    const auto ahead = dueNext30(bank_, book, today);
    std::vector<std::string> backLabels(30), aheadLabels(30);
    for (int i = 0; i < 30; ++i) {
        if (i % 5 == 4) backLabels[static_cast<std::size_t>(i)] = dayLabel(today - 29 + i);
        if (i % 5 == 0) aheadLabels[static_cast<std::size_t>(i)] = dayLabel(today + i);
    }
    int backSum = 0, aheadSum = 0;
    for (int v : back) backSum += v;
    for (int v : ahead) aheadSum += v;
    chartBack.setBars("過去30日の解答数（合計 " + withCommas(backSum) + "）", backLabels,
                      std::vector<int>(back.begin(), back.end()), 0x00C08040);
    chartAhead.setBars("これから30日の復習予定（合計 " + withCommas(aheadSum) + "、今日の分は期限切れを含む）", aheadLabels,
                       std::vector<int>(ahead.begin(), ahead.end()), 0x004080C0);
    std::vector<std::string> backTips(30), aheadTips(30);
    for (int i = 0; i < 30; ++i) {
        const auto k = static_cast<std::size_t>(i);
        backTips[k] = dayLabel(today - 29 + i) + "：解答 " + withCommas(back[k]) + "回";
        aheadTips[k] = dayLabel(today + i) + "：復習 " + withCommas(ahead[k]) + "問";
    }
    chartBack.setTips(backTips);
    chartAhead.setTips(aheadTips);
}

namespace {
std::string percentText(double share) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f％", share * 100);
    return buf;
}

// Bars of true retention in tenths of a percent on an axis of 100 %, the desired retention dashed.
void retentionBars(ui::BarChart& chart, const std::string& title, const std::vector<RetentionRow>& rows,
                   double desired, ui::Color color, bool labelEvery) {
    std::vector<std::string> labels, tips;
    std::vector<int> values;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& r = rows[i];
        const double share = r.due > 0 ? static_cast<double>(r.right) / r.due : 0;
        values.push_back(static_cast<int>(std::lround(share * 1000)));
        labels.push_back(labelEvery || i % 3 == 0 || i + 1 == rows.size() ? r.name : "");
        tips.push_back(r.name + "：" + (r.due > 0 ? percentText(share) : "－") + "（期限の来た" + withCommas(r.due) +
                       "問のうち正解 " + withCommas(r.right) + "）　目標 " + percentText(desired));
    }
    chart.setBars(title, labels, values, color);
    chart.setAxis(1000, "100％");
    chart.setReference(static_cast<int>(std::lround(desired * 1000)), "目標 " + percentText(desired));
    chart.setTips(tips);
}
}  // namespace

void frm2Toukei::cmdRetention_Click() {
    showCharts(false, true);
    const MemoryBook& book = session_.memory.book();
    // The tallies the memory keeps as it logs each answer: a few rows, however long the log.
    const TrueRetention r = session_.memory.trueRetention();
    const std::string total = r.total.due > 0 ? percentText(static_cast<double>(r.total.right) / r.total.due) : "－";
    retentionBars(chartKinds, "種類別の本当の記憶率（期限の来た問題の正答率、全体 " + total + "）", r.byKind, book.retention,
                  0x0060A040, true);
    retentionBars(chartMonths, "月別の本当の記憶率", r.byMonth, book.retention, 0x00A06040, false);

    const std::int32_t today = session_.today();
    const auto seconds = session_.memory.secondsPerDay(today - 29, today);
    std::vector<std::string> labels(30), tips(30);
    std::vector<int> bars(30);  // seconds
    double sum = 0;
    int most = 0;
    for (int i = 0; i < 30; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (i % 5 == 4) labels[k] = dayLabel(today - 29 + i);
        bars[k] = static_cast<int>(std::lround(seconds[k]));
        most = std::max(most, bars[k]);
        sum += seconds[k];
        const int s = static_cast<int>(std::lround(seconds[k]));
        tips[k] = dayLabel(today - 29 + i) + "：" + std::to_string(s / 60) + "分" + std::to_string(s % 60) + "秒";
    }
    chartTime.setBars("過去30日の解答時間（合計 " + withCommas(std::lround(sum / 60)) + "分）", labels, bars, 0x00806000);
    const int topMinutes = std::max(1, (most + 59) / 60);
    chartTime.setAxis(topMinutes * 60, std::to_string(topMinutes) + "分");
    chartTime.setTips(tips);
}

void frm2Toukei::cmdToMain_Click() {
    windows_.unload(WindowId::Stats);
    windows_.showMain();
}

}  // namespace tabinowa
