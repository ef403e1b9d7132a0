// SPDX-License-Identifier: GPL-3.0-or-later
#include "islands.h"

namespace makedata {

// Insets: islands so far from the rest that, left in place, they would shrink
// the main area to a speck. Boxes are generous around the island groups.
const std::vector<InsetRule>& insetRules() {
    static const std::vector<InsetRule> rules = {
        // 東京都: the 23 wards and Tama are twice as wide as high and fill the
        // top half; the islands go in three frames below them.
        {13, "伊豆諸島（大島〜御蔵島）", {138.9, 140.5, 33.7, 34.95}, 0.0, 0.535, 0.45, 1.0,
         Qt::AlignLeft | Qt::AlignBottom},
        {13, "八丈島・青ヶ島", {138.9, 140.5, 32.3, 33.3}, 0.45, 0.535, 0.68, 1.0,
         Qt::AlignLeft | Qt::AlignBottom},
        {13, "小笠原諸島", {141.9, 142.5, 26.4, 27.9}, 0.70, 0.535, 1.0, 1.0,
         Qt::AlignRight | Qt::AlignBottom},
        // 鹿児島県: the mainland with 種子島 and 屋久島 is tall and sits on the
        // right; トカラ列島 (十島村) and 奄美群島 go to the west, where there
        // is only sea, in their north-south order.
        {46, "トカラ列島", {128.8, 130.1, 28.7, 30.1}, 0.0, 0.0, 0.36, 0.5, Qt::AlignLeft | Qt::AlignTop},
        {46, "奄美群島", {128.3, 130.2, 26.9, 28.7}, 0.0, 0.52, 0.41, 1.0, Qt::AlignLeft | Qt::AlignBottom},
        // 沖縄県: 沖縄本島 with its nearby islands fills the top; 先島諸島 and
        // 大東諸島 go below it, west and east as they lie.
        {47, "先島諸島", {122.8, 125.6, 23.9, 25.0}, 0.0, 0.72, 0.66, 1.0, Qt::AlignLeft | Qt::AlignBottom},
        {47, "大東諸島", {131.1, 131.4, 25.7, 26.1}, 0.84, 0.76, 1.0, 1.0, Qt::AlignRight | Qt::AlignBottom},
        // 島根県: 隠岐 in the sea north-west of the mainland coast.
        {32, "隠岐", {132.5, 133.5, 35.9, 36.5}, 0.0, 0.0, 0.34, 0.36, Qt::AlignLeft | Qt::AlignTop},
        // 長崎県: 対馬, far north of 壱岐, in the north-west corner.
        {42, "対馬", {129.0, 129.6, 34.0, 34.8}, 0.0, 0.0, 0.3, 0.42, Qt::AlignLeft | Qt::AlignTop},
        // Single small islands 30-40 km off the coast that would take a fifth
        // of the height: 舳倉島 (輪島市) and 沖ノ島 (宗像市).
        {17, "舳倉島", {136.8, 137.0, 37.8, 37.9}, 0.0, 0.0, 0.2, 0.12, Qt::AlignLeft | Qt::AlignTop},
        {40, "沖ノ島", {130.0, 130.2, 34.2, 34.3}, 0.07, 0.0, 0.27, 0.10, Qt::AlignLeft | Qt::AlignTop},
    };
    return rules;
}

// Backdrop: far uninhabited islands that are part of a municipality with
// dots elsewhere; they do not shrink the main area.
const std::vector<BackdropRule>& backdropRules() {
    static const std::vector<BackdropRule> rules = {
        // 小笠原村: 西之島, 火山列島 (硫黄島), 南鳥島, 沖ノ鳥島 lie hundreds of
        // kilometres from 父島; 鳥島 (所属未定地) lies between 伊豆 and 小笠原.
        {13, "西之島・火山列島・南鳥島・沖ノ鳥島・鳥島", {135.0, 155.0, 20.0, 32.3}},
        // 沖縄県: 尖閣諸島 (石垣市), 硫黄鳥島 (久米島町), 沖大東島 (北大東村).
        {47, "尖閣諸島", {123.3, 123.8, 25.6, 26.0}},
        {47, "硫黄鳥島", {128.1, 128.3, 27.8, 27.95}},
        {47, "沖大東島", {131.1, 131.25, 24.3, 24.6}},
        // 鹿児島県: 宇治群島 and 草垣群島 (南さつま市), rocks west of 三島.
        {46, "宇治群島・草垣群島", {129.0, 129.6, 30.3, 31.0}},
        // 長崎県: 男女群島 (五島市), 70 km south-west of 福江島.
        {42, "男女群島", {128.2, 128.5, 31.9, 32.1}},
    };
    return rules;
}

const std::vector<MainAreaRule>& mainAreaRules() {
    static const std::vector<MainAreaRule> rules = {
        {13, 0.0, 0.0, 1.0, 1.0, Qt::AlignTop | Qt::AlignHCenter},
        {46, 0.0, 0.0, 1.0, 1.0, Qt::AlignRight | Qt::AlignVCenter},
        {47, 0.0, 0.0, 1.0, 1.0, Qt::AlignTop | Qt::AlignHCenter},
    };
    return rules;
}

const std::vector<HandDot>& handDots() {
    static const std::vector<HandDot> dots = {
        {13402, "青ヶ島村", 139.7633, 32.4669,
         "the 2000 centroid lies about 100 km south-east of the island; put at the village office"},
        {13421, "小笠原村", 142.1919, 27.0944,
         "the centroid lies in the sea south of 母島 (硫黄島 and 南鳥島 pull it); put at the village office on 父島"},
        {47358, "北大東村", 131.2989, 25.9458,
         "沖大東島 pulls the centroid 12 km south, next to 南大東島; put at the village office"},
        {47361, "具志川村", 126.755, 26.350,
         "硫黄鳥島 pulls the centroid 17 km north of 久米島; put in the west of 久米島, where the village was"},
    };
    return dots;
}

const std::vector<ExtentExclusion>& extentExclusions() {
    static const std::vector<ExtentExclusion> rules = {
        // 歯舞群島 belongs to 根室市 but is part of the Northern Territories, which
        // our data and the questions (北海道（北方領土を除く）) leave out; its
        // islands lie east of 納沙布岬 (145.82°E), beyond the 珸瑤瑁水道.
        {1223, "歯舞群島", {145.83, 146.6, 43.3, 43.8}, "Northern Territories, left out of our data"},
    };
    return rules;
}

const std::vector<ExtentAddition>& extentAdditions() {
    static const std::vector<ExtentAddition> points = {
        // 沖ノ鳥島 (小笠原村), Japan's southernmost land, is too small to survive the
        // simplification of the polygons: 北緯20度25分31秒, 東経136度4分11秒
        // (国土地理院, 日本の東西南北端点の経度緯度).
        {13421, "沖ノ鳥島", 136.0698, 20.4252, "lost to the simplification of the polygons"},
    };
    return points;
}

bool isNorthernTerritory(int code) { return code >= 1695 && code <= 1700; }

}  // namespace makedata
