// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pages for paper: what goes where on a printed page, as plain values in
// millimetres from the page's top left corner. The layouts (blank maps, their
// keys, question sheets) make these; the ui layer draws them to a printer, a
// PDF file or a picture, all from the same values. Standard C++ only.
#include <string>
#include <string_view>
#include <vector>

namespace tabinowa::paper {

enum class PaperKind { A4, B4 };

struct PaperSize {
    PaperKind kind = PaperKind::A4;
    bool landscape = false;
    double widthMm() const;
    double heightMm() const;
    // "Ａ４縦", "Ｂ４横".
    std::string name() const;
    friend bool operator==(const PaperSize&, const PaperSize&) = default;
};

// The four papers offered, in the order the window lists them.
const std::vector<PaperSize>& paperSizes();

// Every side: more than any office printer leaves unprinted (about 5 mm), so
// that nothing drawn is cut.
inline constexpr double kMarginMm = 12.0;
inline constexpr double kMmPerPoint = 25.4 / 72.0;

struct Pt {
    double x = 0;  // mm, right
    double y = 0;  // mm, down
    friend bool operator==(const Pt&, const Pt&) = default;
};

struct Box {
    double left = 0, top = 0, right = 0, bottom = 0;
    double width() const { return right - left; }
    double height() const { return bottom - top; }
    Pt centre() const { return {(left + right) / 2, (top + bottom) / 2}; }
    bool contains(Pt p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }
    // Overlap with `gap` mm kept clear between the two.
    bool overlaps(const Box& o, double gap = 0) const {
        return left < o.right + gap && o.left < right + gap && top < o.bottom + gap && o.top < bottom + gap;
    }
    bool inside(const Box& o) const { return left >= o.left && right <= o.right && top >= o.top && bottom <= o.bottom; }
};

enum class Align { Left, Centre, Right };
enum class Face { Gothic, Mincho };

// One line of text. `at` is the middle of the line's height: its left end,
// its centre or its right end as `align` says.
struct Text {
    Pt at;
    std::string text;
    double sizePt = 10;
    Align align = Align::Left;
    Face face = Face::Gothic;
    bool bold = false;
    bool halo = false;  // a white box behind it (numbers over outlines)
};

struct Line {
    Pt a, b;
    double widthMm = 0.2;
};

struct Page {
    // The map's borders as open lines (each shared border once), and the
    // frames of insets; drawn black.
    std::vector<std::vector<Pt>> borders;
    double borderWidthMm = 0.25;
    std::vector<Box> frames;
    std::vector<Line> lines;  // leader lines, rules, the scale bar
    std::vector<Pt> dots;     // old municipalities
    double dotRadiusMm = 0.45;
    std::vector<Pt> anchors;  // where a leader line starts, inside its place
    double anchorRadiusMm = 0.3;
    std::vector<Text> texts;
};

// The pages of one print or PDF file.
struct Document {
    std::string title;  // the PDF's title, the print job's name
    PaperSize paper;
    std::vector<Page> pages;
};

// ---- text measures (without the fonts: a full-width character is one em,
// anything narrower is taken as 0.6 em, so the estimate is never short for
// the Japanese fonts used)

double textWidthMm(std::string_view utf8, double sizePt);
inline double lineHeightMm(double sizePt) { return sizePt * kMmPerPoint * 1.25; }
// The box a text takes on the page.
Box textBox(const Text& t);

// Breaks a paragraph into lines no wider than `widthMm`, anywhere between two
// characters (Japanese has no spaces), never putting 、。）」 and the like at
// the start of a line. An empty paragraph is one empty line.
std::vector<std::string> wrapText(std::string_view utf8, double widthMm, double sizePt);

// The code points of UTF-8 text (invalid bytes are taken one by one).
std::vector<std::string> characters(std::string_view utf8);

}  // namespace tabinowa::paper
