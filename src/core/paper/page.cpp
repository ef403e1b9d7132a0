// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/paper/page.h"

#include <algorithm>

namespace tabinowa::paper {

namespace {
constexpr double kA4Short = 210, kA4Long = 297, kB4Short = 257, kB4Long = 364;  // JIS B4
}  // namespace

double PaperSize::widthMm() const {
    const double s = kind == PaperKind::A4 ? kA4Short : kB4Short;
    const double l = kind == PaperKind::A4 ? kA4Long : kB4Long;
    return landscape ? l : s;
}

double PaperSize::heightMm() const {
    const double s = kind == PaperKind::A4 ? kA4Short : kB4Short;
    const double l = kind == PaperKind::A4 ? kA4Long : kB4Long;
    return landscape ? s : l;
}

std::string PaperSize::name() const {
    return std::string(kind == PaperKind::A4 ? "Ａ４" : "Ｂ４") + (landscape ? "横" : "縦");
}

const std::vector<PaperSize>& paperSizes() {
    static const std::vector<PaperSize> sizes{{PaperKind::A4, false},
                                              {PaperKind::A4, true},
                                              {PaperKind::B4, false},
                                              {PaperKind::B4, true}};
    return sizes;
}

std::vector<std::string> characters(std::string_view s) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        if (i + n > s.size()) n = 1;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) n = 1;
        out.emplace_back(s.substr(i, n));
        i += n;
    }
    return out;
}

namespace {

double charEm(const std::string& ch) {
    if (ch.size() == 1) return 0.6;
    // Half-width katakana U+FF61..U+FF9F: EF BD A1 .. EF BE 9F.
    if (ch.size() == 3 && static_cast<unsigned char>(ch[0]) == 0xEF) {
        const auto b1 = static_cast<unsigned char>(ch[1]), b2 = static_cast<unsigned char>(ch[2]);
        if ((b1 == 0xBD && b2 >= 0xA1) || (b1 == 0xBE && b2 <= 0x9F)) return 0.6;
    }
    return 1.0;
}

bool noLineStart(const std::string& ch) {
    static const std::vector<std::string> marks{"、", "。", "，", "．", "）", "」", "』", "】", "〕", "・", "ー",
                                                "ぁ", "ぃ", "ぅ", "ぇ", "ぉ", "っ", "ゃ", "ゅ", "ょ", "ァ", "ィ",
                                                "ゥ", "ェ", "ォ", "ッ", "ャ", "ュ", "ョ", "？", "！", ",", ".",
                                                ")", "%", "％", "：", "；"};
    return std::find(marks.begin(), marks.end(), ch) != marks.end();
}

}  // namespace

double textWidthMm(std::string_view utf8, double sizePt) {
    double em = 0;
    for (const auto& ch : characters(utf8)) em += charEm(ch);
    return em * sizePt * kMmPerPoint;
}

Box textBox(const Text& t) {
    const double w = textWidthMm(t.text, t.sizePt);
    const double h = t.sizePt * kMmPerPoint * 1.1;
    double left = t.at.x;
    if (t.align == Align::Centre) left -= w / 2;
    if (t.align == Align::Right) left -= w;
    return {left, t.at.y - h / 2, left + w, t.at.y + h / 2};
}

std::vector<std::string> wrapText(std::string_view utf8, double widthMm, double sizePt) {
    std::vector<std::string> lines;
    std::vector<std::string> current;
    double width = 0;
    const double emMm = sizePt * kMmPerPoint;
    auto flush = [&] {
        std::string s;
        for (const auto& c : current) s += c;
        lines.push_back(std::move(s));
        current.clear();
        width = 0;
    };
    for (const auto& ch : characters(utf8)) {
        const double w = charEm(ch) * emMm;
        if (!current.empty() && width + w > widthMm) {
            if (noLineStart(ch) && current.size() > 1) {
                // Take the character before along, so the mark does not start the line.
                std::string carried = current.back();
                current.pop_back();
                flush();
                current.push_back(carried);
                width = charEm(carried) * emMm;
            } else {
                flush();
            }
        }
        current.push_back(ch);
        width += w;
    }
    if (!current.empty() || lines.empty()) flush();
    return lines;
}

}  // namespace tabinowa::paper
